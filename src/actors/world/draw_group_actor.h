// The Draw Group actor (class 15): a box-shaped visibility cell. Its entry in
// the draw-group registry is its draw-group id (Actor::drawGroupId). The
// visibility walk (draw_groups.h) draws it and updates the actors listed in
// its Members; it spreads "On Draw Start", "On Draw Stop" and "Load
// Resources" over its contents and answers route queries between groups
// through its connectors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/command_ids.h"
#include "core/actors/pointer_list.h"

// The most members one broadcast reaches.
inline constexpr size_t kBroadcastMemberLimit = 1024;

class DrawGroupConnectorActor;

class DrawGroupActor : public Actor {
  public:
    // Appends itself to the registry; its index becomes its draw-group id.
    DrawGroupActor();
    // A system group: put at its registry slot (0 or 1), outside the actor
    // table.
    explicit DrawGroupActor(int32_t systemSlot);
    // Empties its registry entry, leaves the started list and lets its
    // members go (they forget their entries).
    ~DrawGroupActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override {} // only through Draw
    void Draw(float step) override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // The route query: clears the walk marks of every registry group, then
    // walks from this group. True when the target was reached; the route
    // then holds the world positions of the connectors passed.
    bool ClearWalkMarks(int32_t target, std::vector<Vector3> &route);
    void Walk(int32_t target, bool *found, std::vector<Vector3> &route);

    // The box in world space.
    void WorldBox(Vector3 *min, Vector3 *max);
    float BoxDiagonal() const;

    Vector3 boxMin = {0.0f, 0.0f, 0.0f};
    Vector3 boxMax = {0.0f, 0.0f, 0.0f};
    std::vector<uint32_t> connectorIds;
    uint32_t visible = 0;
    uint32_t open = 0;
    uint32_t showBox = 0;
    uint32_t inherit = 0;
    PointerList<Actor> members;
    float size = 0.0f;
    uint32_t started = 0;
    uint32_t resourcesLoaded = 0;
    uint32_t walkMark = 0;
    // Set when this frame's visibility walk entered the group (cleared with
    // Visible; not copied): the walk enters a group at most once a frame.
    uint32_t entered = 0;
    // The link in the started list.
    DrawGroupActor *startedNext = nullptr;
    DrawGroupActor *startedPrev = nullptr;
    bool startedLinked = false;
    // The visibility walk's casts of the connectors of connectorIds, by
    // position, made while connectorCastsStamp was the count of destroyed
    // groups and connectors (draw_groups.cpp).
    struct ConnectorCast {
        uint32_t id;
        Actor *actor;
        DrawGroupConnectorActor *connector;
    };
    std::vector<ConnectorCast> connectorCasts;
    uint64_t connectorCastsStamp = 0;

  private:
    void CopyGroupFields(const DrawGroupActor &source);
    int AssignDrawGroupId(ParamBlock block);
    void CalculateBox();
    void StartDrawing();
    void StopDrawing();
    void CommandNeighbours(ParamBlock block);
    // The group this inheriting group forwards to; null when it does not
    // inherit or has no group.
    DrawGroupActor *ForwardTarget();
};

// Sends the command over what the actor contains: each child (skipping
// non-inheriting Draw Groups and what lies below them) and its subtree, then,
// for a Draw Group, the first 1024 members through "Recursive Command" with
// no parameters.
void BroadcastInDrawGroup(Actor *actor, uint32_t commandId, ParamBlock block);
// "Load Resources" over the group, the doors of its connectors and, through
// every connector that is not a load point, the groups behind them.
void LoadGroupResources(DrawGroupActor *group);
