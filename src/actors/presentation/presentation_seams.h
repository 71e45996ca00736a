// Placeholder services of the presentation actors (camera, environment,
// meshes, sounds...), as far as the engine core needs them until those
// classes are built. Each class's own code replaces its part.
#pragma once

#include <span>

#include "core/actors/class_factory.h"
#include "core/actors/placeholder_actor.h"
#include "core/actors/subsystem_hooks.h"

// Placeholder of the Camera actor (class 19).
class CameraActor : public PlaceholderActor {
  public:
    CameraActor() : PlaceholderActor(19) {}
    // Moves the camera by its type and targets, once per normal frame.
    void FrameUpdate() {}
    // Set when the global gamma block changed; the camera applies it.
    uint32_t gammaRefresh = 0;
};

// The rows of the class factory for this subsystem's classes.
std::span<const ActorClassRow> PresentationClassRows();

// The hooks this subsystem fills in the engine core.
PresentationHooks PresentationSubsystemHooks();
