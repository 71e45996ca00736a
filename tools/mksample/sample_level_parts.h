// The pieces the missions' levels are built from: textured slabs for walls,
// floors and ceilings, the solid boxes that keep characters inside, and the
// exit that reports the level completed.
#pragma once

#include <cstdint>
#include <string>

#include "base/math.h"

class Actor;
class SampleOutput;

// An axis-aligned box between two corners.
struct Slab {
    Vector3 min;
    Vector3 max;
};

// The library slot of the named material; -1 when the library has none.
int32_t SampleMaterialSlot(const std::string &name);

// A Mesh Object "cube" stretched over the box below `parent`, wearing the
// material, cut along its longer sides into pieces of at most `tile` units
// so that the texture keeps its size. It takes no collision from its mesh.
// Each piece takes the next id. False when a piece cannot be made.
bool AddSlabMeshes(Actor *parent, const std::string &name, int32_t &next, const Slab &slab,
                   const std::string &material, float tile = 200.0f);

// A plain actor below `room` holding one solid box per slab, in world units
// (the actor stays at the origin). Null when it cannot be made.
Actor *AddSolidSlabs(Actor *room, const std::string &name, int32_t id, const Slab *slabs,
                     size_t count);

// A wall, floor or ceiling: its meshes and its solid box. The meshes go
// below `room` at the next ids; the box is added to `solids`.
bool AddWall(Actor *room, Actor *solids, const std::string &name, int32_t &next, const Slab &slab,
             const std::string &material);

// An exit: a trigger of the radius that reports the level completed to the
// game actor as a solid body (a character's, not its sight or hearing)
// enters it.
bool AddMissionExit(SampleOutput &out, const std::string &file, Actor *room, int32_t id,
                    const Vector3 &at, uint32_t level, float radius);

// "MissionRestart" below "Scenery" at `id`: its "Action Start" loads the
// play globals with the scene again, the mission from its start.
bool AddMissionRestart(SampleOutput &out, const std::string &file, int32_t id,
                       const std::string &scene);

// The play globals' "PlayerCharacter": once dead, it lies still for three
// seconds, then "/Global/DeathMenu" offers to start the mission again
// ("/Scenery/MissionRestart") or to load a saved game.
bool AddPlayerDeath(SampleOutput &out, const std::string &file);
