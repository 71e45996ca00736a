// The Matrix Animation actor (class 28): animates its own transform, and so
// its children, from a base position, a constant turn and any number of
// layers of sine waves and smooth noise on position, angles and scale, on
// its own clock. Its sheet is served by number (1372-1413): scripts cannot
// name those commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

// 1384 + 2k sets and 1385 + 2k gets vector k of the selected layer, k in
// sheet order: rotation, position, scale, each sine offset, sine
// multiplier, sine frequency, noise multiplier, noise frequency.
// Ids: cmd::matrix_animation::FirstLayerVector, cmd::matrix_animation::LastLayerVector.

// MatrixAnimFlags bits.
inline constexpr uint32_t kMatrixAnimDirByMov = 1u << 0;
inline constexpr uint32_t kMatrixAnimDirByWsMov = 1u << 1;
inline constexpr uint32_t kMatrixAnimEnabledV63 = 1u << 2;

// The channels of a layer and the vectors of each.
enum MatrixAnimChannel : uint32_t { kMatrixPosition = 0, kMatrixRotation = 1, kMatrixScale = 2 };
enum MatrixAnimVector : uint32_t {
    kSinOffset = 0,
    kSinMul = 1,
    kSinFreq = 2,
    kNoiseMul = 3,
    kNoiseFreq = 4,
};

struct MatrixAnimLayer {
    MatrixAnimLayer();

    // Vector v of channel c.
    Vector3 &At(uint32_t channel, uint32_t vector) { return vectors[channel * 5 + vector]; }
    const Vector3 &At(uint32_t channel, uint32_t vector) const {
        return vectors[channel * 5 + vector];
    }
    // Offsets and multipliers 0, frequencies 1.
    void ResetChannel(uint32_t channel);

    // Position, rotation, scale; five vectors each (MatrixAnimVector).
    Vector3 vectors[15];
    // Position sine, position noise, rotation sine, rotation noise, scale
    // sine, scale noise: non-zero evaluates the channel.
    uint32_t switches[6];
};

// A matrix animation's fields: what a "Create" copies from a source
// actor.
struct MatrixAnimationFields {
    Vector3 basePosition = {0.0f, 0.0f, 0.0f};
    Vector3 rotationSpeed = {0.0f, 0.0f, 0.0f};
    float speed = 1.0f;
    uint32_t matrixAnimFlags = 0;
    std::vector<MatrixAnimLayer> layers;
    int32_t currentLayer = -1;
    // The animation clock in seconds; not saved.
    float time = 0.0f;
};

class MatrixAnimationActor : public Actor, public MatrixAnimationFields {
  public:
    MatrixAnimationActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // The selected layer, or null when none is (or the selection lies beyond
    // the layers).
    MatrixAnimLayer *Selected();

  private:
    void Precalculate();
    void InitLoad();
    void LayerVector(uint32_t commandId, ParamBlock block);
};
