// Placeholder services of the characters, AI and items, as far as the engine
// core needs them until those classes are built. Each class's own code
// replaces its part.
#pragma once

#include <cstdint>
#include <span>

#include "core/actors/class_factory.h"

// Scales the hit effects of the AI players; 1.0 until set.
extern float GlobalHitEffectMultiplier;
// Non-zero while the player's debug key chord is held.
extern uint32_t DebugTextFlag;

// The rows of the class factory for this subsystem's classes.
std::span<const ActorClassRow> CharacterClassRows();

// Back to the start values.
void ResetCharacterSeams();
