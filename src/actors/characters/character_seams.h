// Placeholder services of the characters, AI and items, as far as the engine
// core needs them until those classes are built. Each class's own code
// replaces its part. The hit-effect multiplier and the debug text flag they
// share with the core are declared in core/actors/subsystem_hooks.h: the
// Player sets DebugTextFlag exactly while its debug key chord is held.
#pragma once

#include <cstdint>
#include <span>

#include "core/actors/class_factory.h"
#include "core/actors/subsystem_hooks.h"

class Actor;

// The rows of the class factory for this subsystem's classes.
std::span<const ActorClassRow> CharacterClassRows();
// The hooks the core calls: a new world puts the Players' shared input
// settings back to their start values.
CharacterHooks CharacterSubsystemHooks();

// The character's collision-hold word: while it is not 0, the character's
// touch holds off a door's auto-close. 0 until the Character class exists;
// a test's stand-in character answers through the reader it installs.
uint32_t CharacterCollisionHold(const Actor *character);
using CollisionHoldReader = uint32_t (*)(const Actor *character);
// Installs a reader (null: none) and returns the one before.
CollisionHoldReader SetCollisionHoldReader(CollisionHoldReader reader);
