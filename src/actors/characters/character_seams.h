// The characters, AI and items as the engine core sees them: their class
// factory rows and the hooks they fill. The hit-effect multiplier and the
// debug text flag they share with the core are declared in
// core/actors/subsystem_hooks.h: the Player sets DebugTextFlag exactly while
// its debug key chord is held.
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
// touch holds off a door's auto-close. The Character keeps no such word and
// answers 0; a test's stand-in character answers through the reader it
// installs.
uint32_t CharacterCollisionHold(const Actor *character);
using CollisionHoldReader = uint32_t (*)(const Actor *character);
// Installs a reader (null: none) and returns the one before.
CollisionHoldReader SetCollisionHoldReader(CollisionHoldReader reader);
