// Particle types: the parameters an emitter runs on, and the global table of
// the preset types every Particle System starts from.
#pragma once

#include <cstdint>
#include <vector>

#include "base/math.h"

// Flag bits of a particle type.
inline constexpr uint32_t kParticleStatic = 1u << 0;
inline constexpr uint32_t kParticleLocalSpace = 1u << 1;

struct ParticleType {
    uint32_t maxParticles;
    float emitFlowSpeed;
    float emitFlowSpeedV; // kept and saved; the simulation does not read it
    float emitSpeed;
    float emitSpeedV;
    float emitPosV;
    float emitAngleV;
    float emitSpinAngleV;
    float emitSpinSpeed;
    float emitSpinSpeedV; // kept and saved only
    float life;
    float lifeV;
    float size;
    float sizeV;
    float dSize;  // kept and saved only
    float dSizeV; // kept and saved only
    uint32_t flags;
    float gravityMul;
    float airResMul;
    Vector3 movement;
    Vector3 movementV;
    float opacity;
    float opacityV;
    float sizeInTime;
    float sizeOutTime;
    float fadeInTime;
    float fadeOutTime;
    uint32_t useFullTexture;
    uint32_t tileNr;
    uint32_t tileNrV;
    float motionInheritance;
    float motionInheritanceV;

    ParticleType() { Reset(); }
    // The values of a new record.
    void Reset();
    bool IsStatic() const { return (flags & kParticleStatic) != 0; }
    bool IsLocalSpace() const { return (flags & kParticleLocalSpace) != 0; }
};

inline constexpr uint32_t kParticleTypeCount = 41;

// The preset types (41 records); built by BuildParticleTypeTable and not
// changed afterwards.
extern std::vector<ParticleType> ParticleTypeTable;

// Fills the table with the presets (any earlier contents are dropped).
void BuildParticleTypeTable();
