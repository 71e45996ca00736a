#include "actors/presentation/particle_type.h"

#include <iterator>

std::vector<ParticleType> ParticleTypeTable;

void ParticleType::Reset() {
    maxParticles = 100;
    emitFlowSpeed = 100.0f;
    emitFlowSpeedV = 0.5f;
    emitSpeed = 1.0f;
    emitSpeedV = 0.5f;
    emitPosV = 0.0f;
    emitAngleV = 0.0f;
    emitSpinAngleV = 0.0f;
    emitSpinSpeed = 0.0f;
    emitSpinSpeedV = 0.0f;
    life = 2.0f;
    lifeV = 0.5f;
    size = 20.0f;
    sizeV = 0.5f;
    dSize = 0.0f;
    dSizeV = 0.0f;
    flags = 0;
    gravityMul = 1.0f;
    airResMul = 1.0f;
    movement = {0.0f, 0.0f, 0.0f};
    movementV = {0.0f, 0.0f, 0.0f};
    opacity = 1.0f;
    opacityV = 0.0f;
    sizeInTime = 0.0f;
    sizeOutTime = 0.0f;
    fadeInTime = 0.0f;
    fadeOutTime = 0.0f;
    useFullTexture = 0;
    tileNr = 0;
    tileNrV = 0;
    motionInheritance = 1.0f;
    motionInheritanceV = 0.5f;
}

namespace {

// One preset: emission, life and size, then movement and appearance.
struct Preset {
    uint32_t maxParticles;
    float emitFlowSpeed, emitSpeed, emitSpeedV, emitPosV, emitAngleV, emitSpinAngleV,
        emitSpinSpeed, emitSpinSpeedV, life, lifeV, size, sizeV;
    uint32_t flags;
    float gravityMul, airResMul;
    Vector3 movement, movementV;
    float opacity, opacityV, sizeInTime, sizeOutTime, fadeInTime, fadeOutTime;
    uint32_t useFullTexture, tileNr, tileNrV;
};

// clang-format off
const Preset kPresets[] = {
    // Fire
    {60, 20, 1, 0.6f, 0, 2.2f, 0, 0, 0, 1.4f, 0.5f, 10.2f, 0.7f,
     0, 0.005f, 2, {1.4f, 22, 1.4f}, {1, 1, 1}, 0.47f, 0.2f, 0, 0.3f, 0.15f, 0.7f, 0, 0, 8},
    // Smoke
    {20, 8, 1, 0.6f, 0, 1, 0, 0, 0, 2.4f, 0.5f, 3.4f, 0.7f,
     0, 0, 2, {0, 5, 0}, {0, 0.5f, 0}, 0.5f, 0.2f, 0, 0, 0.2f, 0.8f, 0, 8, 8},
    // StaticFlare
    {1, 100, 1, 0.5f, 0, 0, 0, 0, 0, 2, 0.5f, 20, 0,
     3, 1, 1, {0, 0, 0}, {0, 0, 0}, 1, 0, 0, 0, 0, 0, 1, 0, 0},
    // FastFire
    {60, 100, 1, 0.6f, 0, 5, 0, 0, 0, 0.5f, 0.9f, 8.4f, 0.4f,
     0, 0.005f, 2, {2.6f, 50, 1}, {1, 0.6f, 1}, 0.6f, 0.9f, 0, 0.2f, 0.05f, 0.1f, 0, 0, 8},
    // SmallFire
    {20, 15, 1, 0.6f, 0, 2.2f, 0, 0, 0, 1.2f, 0.5f, 8, 0.9f,
     0, 0.05f, 2, {2.6f, 30, 1}, {1, 0.7f, 1}, 0.47f, 0.2f, 0, 0.05f, 0.1f, 0.6f, 0, 0, 8},
    // Sparkle
    {30, 15, 1, 0.6f, 0, 1, 0, 0, 0, 2.4f, 0.5f, 1.4f, 0.9f,
     0, 0, 2, {0, 5, 0}, {0, 0.5f, 0}, 0.9f, 0.2f, 0, 0, 0.2f, 0.8f, 0, 8, 8},
    // FastSmoke
    {30, 11, 1, 0.6f, 0, 1, 0, 0, 0, 1.9f, 0.7f, 3.4f, 0.7f,
     0, 0, 2, {0, 5, 0}, {0, 0.5f, 0}, 0.5f, 0.2f, 0, 0, 0.2f, 0.8f, 0, 8, 8},
    // ImpactSmoke
    {10, 60, 24, 0.99f, 0, 0.7f, 0, 0, 0, 2.25f, 0.5f, 24, 0.5f,
     0, 0, 10, {0, 0, 0}, {0, 0, 0}, 0.5f, 0.5f, 0.05f, 0, 0.02f, 1.1f, 0, 8, 4},
    // BlackSmoke
    {40, 30, 24, 0.99f, 0, 0.7f, 0, 0, 0, 3.4f, 0.2f, 60, 0.6f,
     0, 0, 10, {0, 0, 0}, {0, 0, 0}, 1, 0.5f, 0.05f, 0, 0.4f, 2.5f, 0, 4, 4},
    // Blood
    {50, 1000, 15, 0.9f, 5, 0.7f, 1, 6.1f, 1, 1.1f, 0.8f, 2.3f, 0.9f,
     0, 0.15f, 7, {0, 0, 0}, {0, 0, 0}, 0.5f, 0.5f, 0.12f, 0, 0.02f, 0.4f, 0, 12, 4},
    // Steam
    {60, 10, 70, 0.3f, 0, 0.3f, 1, 1.1f, 1, 10, 0.3f, 120, 0.8f,
     0, 0, 1, {10, 160, 10}, {0.3f, 0.5f, 0.3f}, 0.2f, 0, 2, 0, 0.12f, 1.92f, 0, 8, 4},
    // Single Fade
    {1, 100, 1, 0.5f, 0, 0, 0, 0, 0, 0.3f, 0, 18, 0.4f,
     0, 0, 1, {0, 0, 0}, {0, 0, 0}, 1, 0, 0, 0, 0, 0.3f, 0, 12, 4},
    // Single Blood Fade
    {1, 100, 1, 0.5f, 0, 0, 0, 0, 0, 0.3f, 0, 26, 0.4f,
     0, 0, 1, {0, 0, 0}, {0, 0, 0}, 1, 0, 0, 0, 0, 0.3f, 0, 0, 4},
    // Impact Dirt
    {6, 100, 250, 0.3f, 0, 0.3f, 0, 0, 0, 0.7f, 0.3f, 26, 0.4f,
     0, 0, 10, {0, 0, 0}, {0, 0, 0}, 0.3f, 0, 0.05f, 0, 0.02f, 0.45f, 0, 4, 4},
    // Water
    {50, 1000, 15, 0.4f, 5, 0.7f, 0, 0, 0, 1.1f, 0.4f, 8, 0.9f,
     0, 0.15f, 7, {0, 0, 0}, {0, 0, 0}, 0.5f, 0.5f, 0.12f, 0, 0.02f, 0.4f, 0, 12, 4},
    // Pipe Burst
    {50, 1000, 15, 0.4f, 5, 0.7f, 0, 0, 0, 1.1f, 0.4f, 8, 0.9f,
     0, 0.15f, 7, {0, 0, 0}, {0, 0, 0}, 0.5f, 0.5f, 0.12f, 0, 0.02f, 0.4f, 0, 12, 4},
    // GHE Stone
    {6, 1000, 250, 0.9f, 5, 0.3f, 1, 6.1f, 1, 1, 0.8f, 6, 0.8f,
     0, 0.8f, 5, {0, 0, 0}, {0, 0, 0}, 1, 0, 0.1f, 0.3f, 0.05f, 0.1f, 0, 0, 4},
    // GHE Metal
    {6, 1000, 250, 0.9f, 5, 0.3f, 1, 6.1f, 1, 1, 0.8f, 6, 0.8f,
     0, 0.8f, 5, {0, 0, 0}, {0, 0, 0}, 1, 0, 0.1f, 0.3f, 0.05f, 0.1f, 0, 0, 4},
    // GHE Electric
    {6, 1000, 250, 0.9f, 5, 0.3f, 1, 6.1f, 1, 1, 0.8f, 6, 0.8f,
     0, 0.8f, 5, {0, 0, 0}, {0, 0, 0}, 1, 0, 0.1f, 0.3f, 0.05f, 0.1f, 0, 0, 4},
    // GHE Wood
    {6, 1000, 250, 0.9f, 5, 0.3f, 1, 6.1f, 1, 1, 0.8f, 6, 0.8f,
     0, 0.8f, 5, {0, 0, 0}, {0, 0, 0}, 1, 0, 0.1f, 0.3f, 0.05f, 0.1f, 0, 4, 4},
    // Snow
    {500, 250, 5, 0.6f, 250, 2.2f, 0, 0, 0, 2, 0.3f, 2.4f, 0.3f,
     0, 0.005f, 2, {26.4f, -128, 42.4f}, {0.5f, 0.2f, 0.5f}, 0.8f, 0.2f, 0, 0.3f, 0.2f, 1, 0, 0, 8},
    // Rain
    {500, 250, 5, 0.6f, 250, 2.2f, 0, 0, 0, 2, 0.3f, 2.4f, 0.3f,
     0, 0.005f, 2, {26.4f, -128, 42.4f}, {0.5f, 0.2f, 0.5f}, 0.8f, 0.2f, 0, 0.3f, 0.2f, 1, 0, 8, 8},
};
// clang-format on

void Apply(ParticleType &t, const Preset &p) {
    t.maxParticles = p.maxParticles;
    t.emitFlowSpeed = p.emitFlowSpeed;
    t.emitSpeed = p.emitSpeed;
    t.emitSpeedV = p.emitSpeedV;
    t.emitPosV = p.emitPosV;
    t.emitAngleV = p.emitAngleV;
    t.emitSpinAngleV = p.emitSpinAngleV;
    t.emitSpinSpeed = p.emitSpinSpeed;
    t.emitSpinSpeedV = p.emitSpinSpeedV;
    t.life = p.life;
    t.lifeV = p.lifeV;
    t.size = p.size;
    t.sizeV = p.sizeV;
    t.flags = p.flags;
    t.gravityMul = p.gravityMul;
    t.airResMul = p.airResMul;
    t.movement = p.movement;
    t.movementV = p.movementV;
    t.opacity = p.opacity;
    t.opacityV = p.opacityV;
    t.sizeInTime = p.sizeInTime;
    t.sizeOutTime = p.sizeOutTime;
    t.fadeInTime = p.fadeInTime;
    t.fadeOutTime = p.fadeOutTime;
    t.useFullTexture = p.useFullTexture;
    t.tileNr = p.tileNr;
    t.tileNrV = p.tileNrV;
}

} // namespace

void BuildParticleTypeTable() {
    ParticleTypeTable.assign(kParticleTypeCount, ParticleType());
    for (size_t i = 0; i < std::size(kPresets); ++i) {
        Apply(ParticleTypeTable[i], kPresets[i]);
    }
}
