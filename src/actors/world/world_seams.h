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
#include "core/actors/subsystem_hooks.h"

// Placeholder of the Draw Group actor (class 15): its entry number in the
// registry and its box.
class DrawGroupActor : public PlaceholderActor {
  public:
    DrawGroupActor() : PlaceholderActor(15) {}

    int32_t DrawGroupID = -1;
    Vector3 boxMin = {0.0f, 0.0f, 0.0f};
    Vector3 boxMax = {0.0f, 0.0f, 0.0f};
};

// The rows of the class factory for this subsystem's classes.
std::span<const ActorClassRow> WorldClassRows();

// The hooks this subsystem fills in the engine core.
WorldHooks WorldSubsystemHooks();
