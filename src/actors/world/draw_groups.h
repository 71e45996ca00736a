// The draw-group registry's services: which group holds a point, entering
// actors into their group's member list and into the collision lists,
// moving them between groups, the connectivity test of the AI, the world
// bounds of collision objects and the per-frame visibility walk.
//
// The walk starts at the group that holds the library's camera, passes
// through open connectors (and from an open group into the next group that
// holds the camera), enters each group at most once a frame, draws every
// reached group and connector, updates the members of every reached group
// and then the game actor (id 16), and sends "On Draw Stop" to each group
// started earlier that it missed.
#pragma once

#include <cstdint>

#include "base/math.h"
#include "core/actors/pointer_list.h"

class Actor;
class ActorSystem;
class DrawGroupActor;
class DrawGroupConnectorActor;

// Movers in a draw group with collision on: those with an active object
// that takes all events or is dynamic, and the others.
extern PointerList<Actor> ActiveColliderList;
extern PointerList<Actor> PassiveColliderList;

// The group at a registry index; null outside the registry, for an empty
// entry or an entry that is no Draw Group.
DrawGroupActor *DrawGroupAt(int64_t id);
// The connector at an actor id; null when there is none.
DrawGroupConnectorActor *ConnectorAt(uint32_t actorId);
// Told by the destruction of every Draw Group and Draw Group Connector:
// the casts kept of them (DrawGroupAt, the walk) are made again.
void NoteDrawGroupPartDestroyed();
// Told before a group's connector list is replaced whole: a walk going over
// it goes on over the list as it was.
void NoteConnectorListReplaced(DrawGroupActor *group);

// The draw-group id of the first group from index `first` on whose world
// box strictly holds the point; -1 when none does.
int32_t FindDrawGroupAt(const Vector3 &point, uint32_t first);
// The registry index of that group (an inheriting group's id is its
// ancestor's); -1 when none does.
int32_t FindDrawGroupEntryAt(const Vector3 &point, uint32_t first);

// Membership. Add does nothing for an actor already entered (unless
// forced) or without a group; Remove nothing for an actor not entered
// (unless forced) or without a group, and leaves its id as it is.
void EnterDrawGroup(Actor *actor, uint32_t forced);
void LeaveDrawGroup(Actor *actor, uint32_t forced);
// Moves the actor to the group that holds its world position, telling it
// "On Exit DrawGroup", then "On Enter DrawGroup" or "On Invalid Drawgroup".
void MoveToDrawGroup(Actor *actor);

// 1 when a equals b, either is -1, or group a has an open connector joining
// b; else 0.
uint32_t AreDrawGroupsConnected(int32_t a, int32_t b);

// Recomputes the world fields of every collision object of the actor.
void UpdateShapeBounds(Actor *actor);

// The per-frame walk; 0 when the camera is in no group, else 1.
int DrawVisibleGroups(ActorSystem *system, float step);
void TraverseDrawGroupPortals(ActorSystem *system, int32_t index, float step);

// The camera position the walk uses (the library's; the origin without
// one).
Vector3 WalkCameraPosition();

// The started list: groups that received "On Draw Start" and not yet "On
// Draw Stop", the last started first.
DrawGroupActor *FirstStartedDrawGroup();
void LinkStartedDrawGroup(DrawGroupActor *group);
void UnlinkStartedDrawGroup(DrawGroupActor *group);

// Back to the start: the two system groups made anew in registry entries 0
// and 1, the started list and the collider lists emptied.
void ResetDrawGroups();
