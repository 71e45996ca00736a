// Placeholder services of the world-structure actors (draw groups, collision,
// File and FileIO actors, Time Instances), as far as the engine core needs
// them until those classes are built. Each class's own code replaces its
// part.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "actors/world/file_io_actor.h"
#include "core/actors/class_factory.h"
#include "core/actors/placeholder_actor.h"

// Placeholder of the Draw Group actor (class 15): its entry number in the
// registry and its box.
class DrawGroupActor : public PlaceholderActor {
  public:
    DrawGroupActor() : PlaceholderActor(15) {}

    int32_t DrawGroupID = -1;
    Vector3 boxMin = {0.0f, 0.0f, 0.0f};
    Vector3 boxMax = {0.0f, 0.0f, 0.0f};
};

// Draw Group actors indexed by draw-group id; entries may be null, entries
// 0 and 1 are the system groups.
extern std::vector<Actor *> DrawGroupRegistry;
inline constexpr size_t kSystemDrawGroupCount = 2;

// The File actors, kept by the File actor code.
extern std::vector<Actor *> FileActorList;

// Recomputes the world bounds of the actor's collision objects (nothing to
// do until collision shapes are built).
void UpdateCollisionShapeBounds(Actor *actor);

// The rows of the class factory for this subsystem's classes.
std::span<const ActorClassRow> WorldClassRows();

// Back to the start values (tests, and the actor system's construction).
void ResetWorldSeams();
