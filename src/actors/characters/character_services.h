// Small shared services of the characters: the movement and bone name
// tables, the angle wrap and smoothing steps, and the command helpers the
// character code and its brains use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/param_block.h"

// The movement table: 64 names and "?" at index 64. A motion name is a
// posture letter, "_" and a movement name ("N_Neutral", "R_Forward").
inline constexpr uint32_t kMovementCount = 65;
inline constexpr uint32_t kUnknownMovement = 64; // "?"

// The index of a movement name, compared without regard to case over all 65
// entries; kMovementCount when there is none.
uint32_t FindMovement(std::string_view name);
// The name of a movement; null from kMovementCount up.
const char *MovementName(uint32_t index);

// The bones whose records a character keeps, in this order.
inline constexpr size_t kCharacterBoneCount = 15;
inline constexpr size_t kNeckBone = 4;
inline constexpr size_t kHeadBone = 5;
extern const char *const BoneNames[kCharacterBoneCount];

inline constexpr float kPi = 3.1415927f;
inline constexpr float kTwoPi = 6.2831855f;

// Brings an angle into [-pi, pi] by whole turns (whole turns counted
// towards zero).
float Wrap(float angle);
// Moves `current` towards `target` by at most `step` the short way round
// (both wrapped first; a difference above 3.1414928 goes the other way) and
// answers the wrapped result. A step of 0 or less answers `current`
// unchanged.
float TurnToward(float current, float target, float step);
// Moves value towards target by at most step, never past it.
void ApproachValue(float &value, float target, float step);

// Sets the actor's local matrix (position, rotation and scale taken from
// it) through the base command 85. Nothing for a null actor.
void SendSetMatrix(Actor *target, const Matrix &matrix);
// Sends the command when the actor is there: 1, else 0.
int SendIfPresent(Actor *actor, uint32_t commandId, ParamBlock block);

// A class that owns no fields and no commands of its own: every command
// goes to the base handler, and its record is the base record with four
// spare words.
template <uint32_t Id> class SpareWordsActor : public Actor {
  public:
    SpareWordsActor() { classId = Id; }
    int Serialize(Archive &archive, uint32_t mode) override {
        return SerializeWithFourSpareWords(*this, archive, mode);
    }
};

// Names the class's descriptor from the class table, with the lineage
// [0, id] and one page title as its sheet.
void RegisterSinglePageClass(uint32_t classId, const char *pageTitle);

// Gives the actor a box collision object named `name` from `min` to `max`
// that only carries events: active, causing and taking them, with the
// groups, material and fill of a new object.
void AddEventColObj(Actor &owner, const char *name, const Vector3 &min, const Vector3 &max);
