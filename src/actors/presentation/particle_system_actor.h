// The Particle System actor (class 18, "Particle"): an emitter of
// camera-facing quads drawn as the quads of a run-time mesh it owns as its
// Mesh Object mesh. Its parameters come from a preset of ParticleTypeTable,
// used as it stands or overridden per actor. The simulation advances only
// while the actor's draw instance is drawn, once per rendered frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "actors/presentation/mesh_object_actor.h"
#include "actors/presentation/particle_type.h"
#include "base/math.h"
#include "core/actors/command_ids.h"

// Answer of a property get whose property is not in force.
inline constexpr int kParticleNotInForce = 8;

// The most slots a particle mesh holds (its indices are 16-bit).
inline constexpr uint32_t kMaxParticleSlots = 16384;

// Entry of the UV table that covers the whole texture.
inline constexpr uint32_t kFullTextureEntry = 16;

enum ParticleOverrideMode : uint32_t {
    kNoOverride = 0,
    kExtendBase = 1,
    kFullOverride = 2,
};

// One particle slot; live while its type is set.
struct Particle {
    Vector3 position;
    Vector3 velocity;
    float spinAngle;
    float spinSpeed;
    float size;
    float opacity;
    uint32_t tile;
    float life;
    float age;
    const ParticleType *type;
};

// The "Extend Base" parameters an actor keeps of its own.
struct ParticleLocalCopy {
    uint32_t maxParticles = 40;
    float emitFlowSpeed = 10.0f;
    float life = 5.0f;
    float size = 5.0f;
    float opacity = 1.0f;
    uint32_t useFullTexture = 0;
    uint32_t tileNr = 0;
    uint32_t tileNrV = 4;
    float emitSpeed = 5.0f;
    float emitSpeedV = 1.0f;
    float emitPosV = 5.0f;
};

class ParticleSystemActor : public MeshObjectActor {
  public:
    ParticleSystemActor();
    ~ParticleSystemActor() override;

    // Fills the class descriptor and builds ParticleTypeTable.
    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    // Steps and fills the quads; runs before every draw of the instance but
    // works once per rendered frame.
    void Slot5() override;
    void CreateRenderInstances() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // Makes the particle slots and the run-time mesh anew for the type in
    // force.
    void RebuildParticleMesh();
    // One step of dt seconds: ageing, movement, death and emission.
    void EmitParticles(float dt);
    // Writes the quads of every slot into the vertex arrays.
    void FillVertices();
    void PushLocalCopy();
    void PullLocalCopy();

    // The particle slots of the built mesh (0 before the first rebuild, and
    // for a type of no particles).
    uint32_t SlotCount() const { return static_cast<uint32_t>(particles.size()); }
    // Whether the vertex arrays exist.
    bool IsBuilt() const { return !positions.empty(); }

    uint32_t typeIndex = 0;
    ParticleType *type = nullptr; // the table entry (mode 0) or ownRecord
    std::unique_ptr<ParticleType> ownRecord;
    float emitAccumulator = 0.0f;
    uint32_t vertexCount = 0;
    uint32_t triangleCount = 0;
    float tileUV[17][4][2] = {};
    std::vector<Vector3> positions;
    std::vector<uint32_t> colours;
    std::vector<float> uvs;
    std::vector<uint16_t> indices;
    uint32_t killPending = 0;
    uint32_t stopPending = 0;
    Vector3 prevEmitterPosition = {1.0f, 0.0f, 0.0f};
    std::vector<uint32_t> freeIndices;
    std::vector<Particle> particles;
    float intensity = 1.0f;
    float actionValue = 1.0f;
    Vector3 boundingCentre = {0.0f, 0.0f, 0.0f};
    float boundingRadius = 0.0f;
    uint32_t overrideMode = kNoOverride;
    ParticleLocalCopy localCopy;

  private:
    // Whether a step already ran in the frame of stepFrame.
    bool stepped = false;
    uint32_t stepFrame = 0;

    // The type record, else (before the first rebuild) the table entry of
    // the type index; null when neither exists.
    const ParticleType *Record() const;
    void InitParticle(const ParticleType &t, Particle &p, const Vector3 &spawn,
                      const Vector3 &direction, const Vector3 &displacement, float scale);
    // Frees the particle slots and the vertex arrays (the mesh stays).
    void FreeParticles();
    void ReleaseOwnRecord();
    int SetOverrideMode(uint32_t mode);
    int Create(ParamBlock block);
    void InvalidateOldEmitterPosition();
    Vector3 EmitterPosition();
    // The parameter commands 1148-1211; -1 for another command.
    int ParameterCommand(uint32_t commandId, ParamBlock block);
};
