#include "actors/presentation/particle_system_actor.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "base/file_system.h"
#include "base/random.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "core/actors/time_record.h"
#include "library/mesh_geometry.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"

namespace {

constexpr int32_t kEnvironmentRootId = 14;

// Gravity when no Environment answers.
constexpr float kDefaultGravity = 9.81f;

// The deferred "Kill Post": once, not saved.
constexpr uint32_t kKillPostScheduleFlags = 0x200;

constexpr uint32_t kLastTile = 15;

// clang-format off
const BasicSheetRow kSheet[] = {
    {"Particle Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Fire|0|Smoke|1|StaticFlare|2|FastFire|3|SmallFire|4|Sparkle|5|FastSmoke|6|"
     "ImpactSmoke|7|BlackSmoke|8|Blood|9|Steam|10|Single Fade|11|Single Blood Fade|12|Impact "
     "Dirt|13|Water|14|Pipe Burst|15|GHE Stone|16|GHE Metal|17|GHE Electric|18|GHE Wood|19|Snow|"
     "20|Rain|21|undef22|22|undef23|23|undef24|24|undef25|25|undef26|26|undef27|27|",
     PropertyKind::Enumeration, cmd::particle_system::SetParticleType,
     cmd::particle_system::GetParticleType},
    {"Type Override:|No Override|0|Extend Base|1|Full Overrride|2|", PropertyKind::Enumeration, cmd::particle_system::SetTypeOverride, cmd::particle_system::GetTypeOverride},
    {"Emitter", PropertyKind::Heading, 0, 0},
    {"Max Particles", PropertyKind::WholeNumber, cmd::particle_system::SetMaxParticles, cmd::particle_system::GetMaxParticles},
    {"EmitFlowSpeed|p/s|", PropertyKind::Real, cmd::particle_system::SetEmitFlowSpeed, cmd::particle_system::GetEmitFlowSpeed},
    {"EmitFlowSpeedV", PropertyKind::RealCompanion, cmd::particle_system::SetEmitFlowSpeedV, cmd::particle_system::GetEmitFlowSpeedV},
    {"EmitSpeed|cm/s|", PropertyKind::Real, cmd::particle_system::SetEmitSpeed, cmd::particle_system::GetEmitSpeed},
    {"EmitSpeedV", PropertyKind::Real, cmd::particle_system::SetEmitSpeedV, cmd::particle_system::GetEmitSpeedV},
    {"EmitPosV|cm|", PropertyKind::Real, cmd::particle_system::SetEmitPosV, cmd::particle_system::GetEmitPosV},
    {"EmitAngleV", PropertyKind::Angle, cmd::particle_system::SetEmitAngleV, cmd::particle_system::GetEmitAngleV},
    {"EmitSpinAngleV", PropertyKind::RealCompanion, cmd::particle_system::SetEmitSpinAngleV, cmd::particle_system::GetEmitSpinAngleV},
    {"EmitSpinSpeed|\xC2\xB0/s|", PropertyKind::Angle, cmd::particle_system::SetEmitSpinSpeed, cmd::particle_system::GetEmitSpinSpeed},
    {"EmitSpinSpeedV", PropertyKind::RealCompanion, cmd::particle_system::SetEmitSpinSpeedV, cmd::particle_system::GetEmitSpinSpeedV},
    {"Life", PropertyKind::Time, cmd::particle_system::SetLife, cmd::particle_system::GetLife},
    {"LifeV", PropertyKind::RealCompanion, cmd::particle_system::SetLifeV, cmd::particle_system::GetLifeV},
    {"Size|cm|", PropertyKind::Real, cmd::particle_system::SetSize, cmd::particle_system::GetSize},
    {"SizeV", PropertyKind::RealCompanion, cmd::particle_system::SetSizeV, cmd::particle_system::GetSizeV},
    {"DSize|cm/s|", PropertyKind::Real, cmd::particle_system::SetDSize, cmd::particle_system::GetDSize},
    {"DSizeV", PropertyKind::RealCompanion, cmd::particle_system::SetDSizeV, cmd::particle_system::GetDSizeV},
    {"Movement", PropertyKind::Heading, 0, 0},
    {"GravityMul", PropertyKind::Real, cmd::particle_system::SetGravityMul, cmd::particle_system::GetGravityMul},
    {"AirResMul", PropertyKind::Real, cmd::particle_system::SetAirResMul, cmd::particle_system::GetAirResMul},
    {"Movement", PropertyKind::Vector, cmd::particle_system::SetMovement, cmd::particle_system::GetMovement},
    {"MovementV", PropertyKind::Vector, cmd::particle_system::SetMovementV, cmd::particle_system::GetMovementV},
    {"MotionInheritance", PropertyKind::Real, cmd::particle_system::SetMotionInheritance, cmd::particle_system::GetMotionInheritance},
    {"MotionInheritanceV", PropertyKind::RealCompanion, cmd::particle_system::SetMotionInheritanceV, cmd::particle_system::GetMotionInheritanceV},
    {"Static", PropertyKind::CheckBox, cmd::particle_system::SetStatic, cmd::particle_system::GetStatic},
    {"Appearence", PropertyKind::Heading, 0, 0},
    {"Opacity", PropertyKind::RealCompanion, cmd::particle_system::SetOpacity, cmd::particle_system::GetOpacity},
    {"OpacityV", PropertyKind::RealCompanion, cmd::particle_system::SetOpacityV, cmd::particle_system::GetOpacityV},
    {"SizeInTime", PropertyKind::Time, cmd::particle_system::SetSizeInTime, cmd::particle_system::GetSizeInTime},
    {"SizeOutTime", PropertyKind::Time, cmd::particle_system::SetSizeOutTime, cmd::particle_system::GetSizeOutTime},
    {"FadeInTime", PropertyKind::Time, cmd::particle_system::SetFadeInTime, cmd::particle_system::GetFadeInTime},
    {"FadeOutTime", PropertyKind::Time, cmd::particle_system::SetFadeOutTime, cmd::particle_system::GetFadeOutTime},
    {"TileNr", PropertyKind::WholeNumber, cmd::particle_system::SetTileNr, cmd::particle_system::GetTileNr},
    {"TileNrV", PropertyKind::WholeNumber, cmd::particle_system::SetTileNrV, cmd::particle_system::GetTileNrV},
    {"Use Full Texture", PropertyKind::CheckBox, cmd::particle_system::SetUseFullTexture, cmd::particle_system::GetUseFullTexture},
};
// clang-format on

// How a parameter command reaches its field.
enum class FieldKind { Word, Real, Vector, StaticBit };

struct ParameterRow {
    uint32_t setCommand; // the get command is the next id
    FieldKind kind;
    size_t offset;      // into ParticleType
    bool extendBase;    // settable in mode 1 too (then PullLocalCopy)
};

#define PARAM(id, kind, field, extend) {id, FieldKind::kind, offsetof(ParticleType, field), extend}
const ParameterRow kParameters[] = {
    PARAM(1148, Word, maxParticles, true),
    PARAM(1150, Real, emitFlowSpeed, true),
    PARAM(1152, Real, emitFlowSpeedV, false),
    PARAM(1154, Real, emitSpeed, true),
    PARAM(1156, Real, emitSpeedV, true),
    PARAM(1158, Real, emitPosV, true),
    PARAM(1160, Real, emitAngleV, false),
    PARAM(1162, Real, emitSpinAngleV, false),
    PARAM(1164, Real, emitSpinSpeed, false),
    PARAM(1166, Real, emitSpinSpeedV, false),
    PARAM(1168, Real, life, true),
    PARAM(1170, Real, lifeV, false),
    PARAM(1172, Real, size, true),
    PARAM(1174, Real, sizeV, false),
    PARAM(1176, Real, dSize, false),
    PARAM(1178, Real, dSizeV, false),
    PARAM(1180, StaticBit, flags, false),
    PARAM(1182, Real, gravityMul, false),
    PARAM(1184, Real, airResMul, false),
    PARAM(1186, Vector, movement, false),
    PARAM(1188, Vector, movementV, false),
    PARAM(1190, Real, opacity, true),
    PARAM(1192, Real, opacityV, false),
    PARAM(1194, Real, sizeInTime, false),
    PARAM(1196, Real, sizeOutTime, false),
    PARAM(1198, Real, fadeInTime, false),
    PARAM(1200, Real, fadeOutTime, false),
    PARAM(1202, Word, useFullTexture, true),
    PARAM(1204, Word, tileNr, true),
    PARAM(1206, Word, tileNrV, true),
    PARAM(1208, Real, motionInheritance, false),
    PARAM(1210, Real, motionInheritanceV, false),
};
#undef PARAM

const ParameterRow *FindParameter(uint32_t commandId) {
    for (const ParameterRow &row : kParameters) {
        if (commandId == row.setCommand || commandId == row.setCommand + 1) {
            return &row;
        }
    }
    return nullptr;
}

// Signed spread in [-1, 1).
float Spread() { return static_cast<float>(Rand() % 10000) * 0.0002f - 1.0f; }
// One-sided reduction factor 1 - [0, 1) x v.
float Reduction(float v) { return 1.0f - static_cast<float>(Rand() % 5000) * 0.0002f * v; }

Matrix WithoutTranslation(Matrix m) {
    m.m[3][0] = 0.0f;
    m.m[3][1] = 0.0f;
    m.m[3][2] = 0.0f;
    return m;
}

uint32_t AlphaByte(float a) {
    const float scaled = a * 255.0f;
    if (!(scaled > 0.0f)) {
        return 0;
    }
    return scaled >= 255.0f ? 255u : static_cast<uint32_t>(scaled);
}

const Vector3 kCorners[4] = {{-1.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 0.0f}, {1.0f, -1.0f, 0.0f},
                             {-1.0f, -1.0f, 0.0f}};

} // namespace

ParticleSystemActor::ParticleSystemActor() {
    classId = kParticleSystemClassId;
    // The stand-in mesh a new emitter starts on lends it neither materials
    // nor collision shapes: the quads keep the material chosen for them and
    // collide with nothing.
    meshFlags &= ~(kMeshSyncMaterial | kMeshSyncCollision);
}

ParticleSystemActor::~ParticleSystemActor() {
    // The instances go before the run-time mesh they draw.
    ReleaseRenderInstances();
    FreeParticles();
    ReleaseOwnRecord();
}

void ParticleSystemActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kParticleSystemClassId);
    descriptor.lineage = {0, kMeshObjectClassId, kParticleSystemClassId};
    descriptor.items.clear();
    AppendPropertyRows(descriptor, kSheet);
    BuildParticleTypeTable();
}

const ParticleType *ParticleSystemActor::Record() const {
    if (type != nullptr) {
        return type;
    }
    return typeIndex < ParticleTypeTable.size() ? &ParticleTypeTable[typeIndex] : nullptr;
}

void ParticleSystemActor::FreeParticles() {
    particles.clear();
    particles.shrink_to_fit();
    positions.clear();
    positions.shrink_to_fit();
    colours.clear();
    colours.shrink_to_fit();
    uvs.clear();
    uvs.shrink_to_fit();
    indices.clear();
    indices.shrink_to_fit();
    freeIndices.clear();
    freeIndices.shrink_to_fit();
}

void ParticleSystemActor::ReleaseOwnRecord() {
    // No particle may point at the record that goes.
    FreeParticles();
    if (type == ownRecord.get()) {
        type = nullptr;
    }
    ownRecord.reset();
}

void ParticleSystemActor::PushLocalCopy() {
    localCopy.tileNr = std::min(localCopy.tileNr, kLastTile);
    localCopy.tileNrV = std::min(localCopy.tileNrV, kLastTile);
    if (type == nullptr) {
        return;
    }
    type->maxParticles = localCopy.maxParticles;
    type->emitFlowSpeed = localCopy.emitFlowSpeed;
    type->life = localCopy.life;
    type->size = localCopy.size;
    type->opacity = localCopy.opacity;
    type->useFullTexture = localCopy.useFullTexture;
    type->tileNr = localCopy.tileNr;
    type->tileNrV = localCopy.tileNrV;
    type->emitSpeed = localCopy.emitSpeed;
    type->emitSpeedV = localCopy.emitSpeedV;
    type->emitPosV = localCopy.emitPosV;
}

void ParticleSystemActor::PullLocalCopy() {
    if (type == nullptr) {
        return;
    }
    localCopy.maxParticles = type->maxParticles;
    localCopy.emitFlowSpeed = type->emitFlowSpeed;
    localCopy.life = type->life;
    localCopy.size = type->size;
    localCopy.opacity = type->opacity;
    localCopy.useFullTexture = type->useFullTexture;
    localCopy.tileNr = type->tileNr;
    localCopy.tileNrV = type->tileNrV;
    localCopy.emitSpeed = type->emitSpeed;
    localCopy.emitSpeedV = type->emitSpeedV;
    localCopy.emitPosV = type->emitPosV;
}

Vector3 ParticleSystemActor::EmitterPosition() {
    if (type != nullptr && type->IsLocalSpace()) {
        return {0.0f, 0.0f, 0.0f};
    }
    return GetWorldPosition();
}

void ParticleSystemActor::InvalidateOldEmitterPosition() {
    prevEmitterPosition = EmitterPosition();
}

void ParticleSystemActor::RebuildParticleMesh() {
    ReleaseRenderInstances();
    ReleaseMesh(mesh);
    mesh = nullptr;
    FreeParticles();
    if (typeIndex >= ParticleTypeTable.size()) {
        typeIndex = 0;
    }
    if (overrideMode == kNoOverride) {
        type = typeIndex < ParticleTypeTable.size() ? &ParticleTypeTable[typeIndex] : nullptr;
    }
    if (type == nullptr) {
        return;
    }
    // The stored count stays as it is; the slots are kept within what 16-bit
    // indices reach. A mesh needs one quad at least: without slots it holds
    // one that no particle takes, collapsed at the origin.
    const uint32_t n = std::min(type->maxParticles, kMaxParticleSlots);
    const uint32_t quads = std::max(n, 1u);
    freeIndices.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
        freeIndices.push_back(i);
    }
    vertexCount = 4 * quads;
    triangleCount = 2 * quads;
    particles.assign(n, Particle{});
    positions.resize(vertexCount);
    colours.assign(vertexCount, 0xFFFFFFFFu);
    uvs.resize(2 * size_t{vertexCount});
    indices.resize(3 * size_t{triangleCount});

    for (uint32_t t = 0; t < 16; ++t) {
        const float umin = static_cast<float>(t % 4) * 0.25f + 0.0078125f;
        const float vmin = static_cast<float>(t / 4) * 0.25f + 0.0078125f;
        const float umax = umin + 0.25f - 0.0078125f;
        const float vmax = vmin + 0.25f - 0.0078125f;
        const float corners[4][2] = {{umin, vmin}, {umax, vmin}, {umax, vmax}, {umin, vmax}};
        std::memcpy(tileUV[t], corners, sizeof(corners));
    }
    const float full[4][2] = {{0.01f, 0.01f}, {0.99f, 0.01f}, {0.99f, 0.99f}, {0.01f, 0.99f}};
    std::memcpy(tileUV[kFullTextureEntry], full, sizeof(full));

    const float initialUV[4][2] = {{0.85f, 0.85f}, {0.9f, 0.85f}, {0.9f, 0.9f}, {0.85f, 0.9f}};
    for (uint32_t i = 0; i < quads; ++i) {
        for (uint32_t k = 0; k < 4; ++k) {
            positions[4 * i + k] =
                i < n ? Vec3Scale(kCorners[k], 0.05f) : Vector3{0.0f, 0.0f, 0.0f};
            uvs[2 * (4 * i + k)] = initialUV[k][0];
            uvs[2 * (4 * i + k) + 1] = initialUV[k][1];
        }
        const auto base = static_cast<uint16_t>(4 * i);
        const uint16_t quad[6] = {base, static_cast<uint16_t>(base + 1),
                                  static_cast<uint16_t>(base + 2), base,
                                  static_cast<uint16_t>(base + 2),
                                  static_cast<uint16_t>(base + 3)};
        std::memcpy(&indices[6 * size_t{i}], quad, sizeof(quad));
    }
    mesh = CreateMeshFromArrays(positions.data(), nullptr, colours.data(), uvs.data(),
                                indices.data(), vertexCount, triangleCount);
    ReleaseRenderInstances();
    // The emitter's last position in the space the type now works in.
    InvalidateOldEmitterPosition();
}

void ParticleSystemActor::CreateRenderInstances() {
    if (!IsBuilt()) {
        RebuildParticleMesh();
    }
    MeshObjectActor::CreateRenderInstances();
    if (!subMeshes.empty() && subMeshes.front().instance != nullptr) {
        SetDrawInstancePreDrawCallback(subMeshes.front().instance, &ActorDrawHook);
        SetDrawInstanceOwner(subMeshes.front().instance, this);
    }
}

void ParticleSystemActor::Update() {
    if (IsOperational()) {
        MeshObjectActor::Update();
    }
}

void ParticleSystemActor::Slot5() {
    // Drawn again in the same frame (another bucket, a shadow volume): the
    // quads filled for it stand.
    if (stepped && stepFrame == FrameCounter) {
        return;
    }
    stepped = true;
    stepFrame = FrameCounter;
    RefreshTimeRecord(timeRecord);
    const float dt = timeRecord != nullptr ? timeRecord->delta : 0.0f;
    EmitParticles(dt);
    if (!IsBuilt() || mesh == nullptr) {
        return;
    }
    FillVertices();
    UpdateMeshVertices(mesh, positions.data(), nullptr, colours.data(), uvs.data(), kKeepCount,
                       kKeepCount);
}

void ParticleSystemActor::InitParticle(const ParticleType &t, Particle &p, const Vector3 &spawn,
                                       const Vector3 &direction, const Vector3 &displacement,
                                       float scale) {
    p = Particle{};
    p.position = spawn;
    const float a = Spread();
    const float b = Spread();
    const float c = Spread();
    const float launch = t.emitSpeed * Reduction(t.emitSpeedV) * scale;
    const Vector3 l = {(direction.x + c * t.emitAngleV) * launch,
                       (direction.y + b * t.emitAngleV) * launch,
                       (direction.z + a * t.emitAngleV) * launch};
    const Vector3 m =
        Vec3Scale(displacement, t.motionInheritance * Reduction(t.motionInheritanceV));
    p.velocity = Vec3Add(l, m);
    p.position.x += Spread() * t.emitPosV;
    p.position.y += Spread() * t.emitPosV;
    p.position.z += Spread() * t.emitPosV;
    p.velocity.x += t.movement.x * Reduction(t.movementV.x) * scale;
    p.velocity.y += t.movement.y * Reduction(t.movementV.y) * scale;
    p.velocity.z += t.movement.z * Reduction(t.movementV.z) * scale;
    p.spinSpeed = t.emitSpinSpeed;
    p.spinAngle = Spread() * t.emitSpinAngleV + t.emitSpinSpeed;
    p.size = t.size * Reduction(t.sizeV) * scale;
    p.opacity = t.opacity * Reduction(t.opacityV);
    uint64_t tile = t.tileNr;
    if (t.tileNrV != 0) {
        tile += static_cast<uint32_t>(Rand()) % t.tileNrV;
    }
    // The atlas has 16 tiles; the full texture has its own switch.
    p.tile = static_cast<uint32_t>(std::min<uint64_t>(tile, kLastTile));
    p.life = t.life * Reduction(t.lifeV);
    p.age = 0.0f;
    p.type = &t;
}

void ParticleSystemActor::EmitParticles(float dt) {
    if (!IsBuilt() || type == nullptr) {
        return;
    }
    const ParticleType &t = *type;
    const uint32_t n = SlotCount();
    const Vector3 e = EmitterPosition();
    float g = kDefaultGravity;
    SendCommand(kEnvironmentRootId, cmd::environment::GetGravity, ParamBlock(&g, sizeof(g)));

    Vector3 lo = e;
    Vector3 hi = e;
    if (!t.IsStatic()) {
        for (uint32_t i = 0; i < n; ++i) {
            Particle &p = particles[i];
            if (p.type == nullptr) {
                continue;
            }
            p.age += dt;
            if (!(p.age < p.life)) {
                p.type = nullptr;
                p.size = 0.0f;
                freeIndices.push_back(i);
                continue;
            }
            p.velocity.y -= g * p.type->gravityMul * dt * 50.0f;
            const float f = 1.0f / (dt * p.type->airResMul * 0.1f + 1.0f);
            p.velocity = Vec3Scale(p.velocity, f);
            p.spinSpeed *= f;
            p.spinAngle += p.spinSpeed * dt;
            p.position = Vec3Add(p.position, Vec3Scale(p.velocity, dt));
            lo = {std::min(lo.x, p.position.x), std::min(lo.y, p.position.y),
                  std::min(lo.z, p.position.z)};
            hi = {std::max(hi.x, p.position.x), std::max(hi.y, p.position.y),
                  std::max(hi.z, p.position.z)};
        }
    }
    lo = Vec3Sub(lo, {t.size, t.size, t.size});
    hi = Vec3Add(hi, {t.size, t.size, t.size});
    boundingCentre = Vec3Scale(Vec3Add(lo, hi), 0.5f);
    boundingRadius = Vec3Length(Vec3Sub(lo, hi));

    if (freeIndices.size() == n) {
        if (killPending != 0) {
            MeshObjectActor::HandleCommand(cmd::base::KillPost, ParamBlock());
        } else if (stopPending != 0) {
            MeshObjectActor::HandleCommand(cmd::base::ActionStopPost, ParamBlock());
        }
        // A script run there may have rebuilt or retyped the emitter.
        if (!IsBuilt() || type != &t) {
            return;
        }
    }

    const float strength = intensity * (t.IsStatic() ? 1.0f : actionValue);
    if (strength == 0.0f || freeIndices.empty()) {
        return;
    }
    uint32_t count = 0;
    if (t.emitFlowSpeed > 0.0f) {
        float a = (emitAccumulator + dt) * t.emitFlowSpeed;
        if (!(a >= 0.0f)) {
            a = 0.0f;
        }
        const float whole = std::floor(a);
        emitAccumulator = (a - whole) / t.emitFlowSpeed;
        count = whole >= static_cast<float>(n) ? n : static_cast<uint32_t>(whole);
    } else {
        // No flow: nothing is emitted and nothing carries over.
        emitAccumulator = 0.0f;
    }
    if (count == 0) {
        oldWorldPosition = e;
        return;
    }
    const Vector3 d = Vec3Sub(e, prevEmitterPosition);
    UpdateWorldMatrix();
    Vector3 direction{};
    const Vector3 forward = {0.0f, 0.0f, -1.0f};
    Vec3TransformNormal(&direction, forward, worldMatrix);
    for (uint32_t k = 0; k < count && !freeIndices.empty(); ++k) {
        const uint32_t j = freeIndices.back();
        freeIndices.pop_back();
        const float u = static_cast<float>(Rand() % 5000) * 0.0002f;
        const Vector3 spawn = Vec3Add(prevEmitterPosition, Vec3Scale(d, u));
        if (!HasFlag(kActorBoundingScaleKept)) {
            boundingScale = MatrixLargestColumnLength(worldMatrix);
        }
        Particle &p = particles[j];
        InitParticle(t, p, spawn, direction, d, boundingScale);
        p.velocity = Vec3Scale(p.velocity, 0.9f * strength + 0.1f);
        p.size *= 0.9f * strength + 0.1f;
        p.life *= 0.3f * strength + 0.6f;
    }
    prevEmitterPosition = e;
    oldWorldPosition = e;
}

void ParticleSystemActor::FillVertices() {
    if (!IsBuilt() || type == nullptr) {
        return;
    }
    const ParticleType &t = *type;
    Matrix view{};
    GetViewMatrix(&view);
    view = WithoutTranslation(view);
    UpdateWorldMatrix();
    UpdateInverseWorldMatrix();
    Matrix r{};
    MatrixMultiply(&r, worldMatrix, view);
    r = WithoutTranslation(r);
    Matrix q{};
    if (MatrixInverse(&q, r) == nullptr) {
        MatrixIdentity(&q);
    }
    if (!t.IsStatic() && mesh != nullptr) {
        Vector3 centre{};
        Vec3TransformCoord(&centre, boundingCentre, inverseWorldMatrix);
        const float sphere[4] = {centre.x, centre.y, centre.z, boundingRadius};
        SetSubsetCollisionVector(mesh, 0, sphere);
    }
    Vector3 offsets[4];
    for (int k = 0; k < 4; ++k) {
        Vec3TransformNormal(&offsets[k], kCorners[k], q);
    }
    const uint32_t n = SlotCount();
    for (uint32_t i = 0; i < n; ++i) {
        const Particle &p = particles[i];
        Vector3 *quad = &positions[4 * size_t{i}];
        if (p.type == nullptr) {
            for (int k = 0; k < 4; ++k) {
                quad[k] = {0.0f, 0.0f, 0.0f};
            }
            continue;
        }
        const ParticleType &pt = *p.type;
        float s = p.size;
        float a = p.opacity;
        if (!t.IsStatic()) {
            if (p.age < pt.fadeInTime) {
                a *= 1.0f - (pt.fadeInTime - p.age) / pt.fadeInTime;
            }
            if (p.life - pt.fadeOutTime < p.age) {
                a *= (p.life - p.age) / pt.fadeOutTime;
            }
            if (p.age < pt.sizeInTime) {
                s *= 1.0f - (pt.sizeInTime - p.age) / pt.sizeInTime;
            }
            if (p.life - pt.sizeOutTime < p.age) {
                s *= (p.life - p.age) / pt.sizeOutTime;
            }
        } else {
            a *= actionValue;
        }
        const uint32_t entry =
            pt.useFullTexture != 0 ? kFullTextureEntry : std::min(p.tile, kLastTile);
        float *uv = &uvs[8 * size_t{i}];
        std::memcpy(uv, tileUV[entry], sizeof(tileUV[entry]));
        const uint32_t colour = (AlphaByte(a) << 24) | 0x00FFFFFFu;
        for (int k = 0; k < 4; ++k) {
            colours[4 * size_t{i} + k] = colour;
        }
        Vector3 c = p.position;
        if (!pt.IsLocalSpace()) {
            Vec3TransformCoord(&c, p.position, inverseWorldMatrix);
        }
        if (p.spinAngle == 0.0f) {
            for (int k = 0; k < 4; ++k) {
                quad[k] = Vec3Add(c, Vec3Scale(offsets[k], s));
            }
        } else {
            Matrix spin{};
            MatrixRotationZ(&spin, p.spinAngle);
            Matrix nm{};
            MatrixMultiply(&nm, spin, q);
            nm.m[3][0] = c.x;
            nm.m[3][1] = c.y;
            nm.m[3][2] = c.z;
            for (int k = 0; k < 4; ++k) {
                Vec3TransformCoord(&quad[k], Vec3Scale(kCorners[k], s), nm);
            }
        }
    }
}

int ParticleSystemActor::SetOverrideMode(uint32_t mode) {
    if (mode > kFullOverride) {
        return 0;
    }
    if (mode == overrideMode) {
        return MeshObjectActor::HandleCommand(cmd::particle_system::SetTypeOverride,
                                              ParamBlock(&mode, sizeof(mode)));
    }
    if (overrideMode != kNoOverride) {
        ReleaseOwnRecord();
    }
    type = nullptr;
    overrideMode = mode;
    const uint32_t index = typeIndex < ParticleTypeTable.size() ? typeIndex : 0;
    if (mode == kNoOverride) {
        type = index < ParticleTypeTable.size() ? &ParticleTypeTable[index] : nullptr;
        PullLocalCopy();
    } else {
        ownRecord = std::make_unique<ParticleType>();
        if (index < ParticleTypeTable.size()) {
            *ownRecord = ParticleTypeTable[index];
        }
        type = ownRecord.get();
        PushLocalCopy();
    }
    RebuildParticleMesh();
    return MeshObjectActor::HandleCommand(cmd::particle_system::SetTypeOverride,
                                          ParamBlock(&mode, sizeof(mode)));
}

int ParticleSystemActor::ParameterCommand(uint32_t commandId, ParamBlock block) {
    const ParameterRow *row = FindParameter(commandId);
    if (row == nullptr) {
        return -1;
    }
    const bool isSet = commandId == row->setCommand;
    const bool inForce =
        overrideMode == kFullOverride || (overrideMode == kExtendBase && row->extendBase);
    if (isSet) {
        if (!inForce || type == nullptr) {
            return 0;
        }
        auto *field = reinterpret_cast<unsigned char *>(type) + row->offset;
        switch (row->kind) {
        case FieldKind::Word:
        case FieldKind::Real: {
            const uint32_t word = block.ReadU32(0);
            std::memcpy(field, &word, sizeof(word));
            break;
        }
        case FieldKind::Vector: {
            const Vector3 v = block.Read<Vector3>(0);
            std::memcpy(field, &v, sizeof(v));
            break;
        }
        case FieldKind::StaticBit:
            type->flags = (type->flags & ~kParticleStatic) | (block.ReadU32(0) & 1u);
            break;
        }
        if (row->extendBase) {
            PullLocalCopy();
        }
        if (commandId == cmd::particle_system::SetMaxParticles) {
            RebuildParticleMesh();
        }
        return MeshObjectActor::HandleCommand(commandId, block);
    }
    if (const ParticleType *record = Record()) {
        const auto *field = reinterpret_cast<const unsigned char *>(record) + row->offset;
        switch (row->kind) {
        case FieldKind::Word:
        case FieldKind::Real: {
            uint32_t word = 0;
            std::memcpy(&word, field, sizeof(word));
            block.WriteU32(0, word);
            break;
        }
        case FieldKind::Vector: {
            Vector3 v{};
            std::memcpy(&v, field, sizeof(v));
            block.Write(0, v);
            break;
        }
        case FieldKind::StaticBit:
            block.WriteU32(0, record->IsStatic() ? 1u : 0u);
            break;
        }
    }
    if (!inForce && commandId != cmd::particle_system::GetMaxParticles) {
        return kParticleNotInForce;
    }
    return MeshObjectActor::HandleCommand(commandId, block);
}

int ParticleSystemActor::Create(ParamBlock block) {
    auto *source = CreateSource(*this, block);
    if (source == nullptr) {
        return MeshObjectActor::HandleCommand(cmd::base::Create, block);
    }
    ReleaseOwnRecord();
    typeIndex = source->typeIndex;
    // A copy starts emitting as a new emitter does, whatever the template
    // was told to do (stop, kill, fade) at run time.
    killPending = 0;
    stopPending = 0;
    prevEmitterPosition = source->prevEmitterPosition;
    intensity = 1.0f;
    actionValue = source->actionValue;
    boundingCentre = source->boundingCentre;
    boundingRadius = source->boundingRadius;
    overrideMode = source->overrideMode;
    localCopy = source->localCopy;
    std::memcpy(tileUV, source->tileUV, sizeof(tileUV));
    // Drop the run-time mesh before the Mesh Object part takes the library
    // mesh of the copied index.
    ReleaseRenderInstances();
    const int result = MeshObjectActor::HandleCommand(cmd::base::Create, block);
    emitAccumulator = 0.0f;
    vertexCount = 0;
    triangleCount = 0;
    FreeParticles();
    type = nullptr;
    if (overrideMode == kNoOverride) {
        if (typeIndex < ParticleTypeTable.size()) {
            type = &ParticleTypeTable[typeIndex];
        }
    } else {
        ownRecord = std::make_unique<ParticleType>();
        if (source->type != nullptr) {
            *ownRecord = *source->type;
        }
        type = ownRecord.get();
    }
    return result;
}

int ParticleSystemActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::particle_system::SetParticleType:
        if (overrideMode == kFullOverride) {
            return 0;
        }
        typeIndex = block.ReadU32(0);
        RebuildParticleMesh();
        if (overrideMode == kNoOverride) {
            PullLocalCopy();
        }
        break;
    case cmd::particle_system::GetParticleType:
        block.WriteU32(0, typeIndex);
        if (overrideMode == kFullOverride) {
            return kParticleNotInForce;
        }
        break;
    case cmd::particle_system::GetIntensity:
        intensity = block.ReadF32(0);
        break;
    case cmd::particle_system::SetTypeOverride:
        return SetOverrideMode(block.ReadU32(0));
    case cmd::particle_system::GetTypeOverride:
        block.WriteU32(0, overrideMode);
        break;
    case cmd::base::InitLoad: {
        const ActorSystem *system = GetActorSystem();
        const uint32_t version = system != nullptr ? system->GetFileVersion() : kNoFileVersion;
        if (version < 52) {
            intensity = 1.0f;
            killPending = 0;
        }
        break;
    }
    case cmd::base::InvalidateOldPosition:
        InvalidateOldEmitterPosition();
        break;
    case cmd::base::Create:
        return Create(block);
    case cmd::base::ActionStartValue:
    case cmd::base::ActionStopValue:
    case cmd::base::KillValue:
        actionValue = block.ReadF32(0);
        break;
    case cmd::base::ActionStart:
        killPending = 0;
        stopPending = 0;
        intensity = 1.0f;
        emitAccumulator = 0.0f;
        HandleCommand(cmd::base::InvalidateOldPosition, ParamBlock());
        break;
    case cmd::base::ActionStopPost:
        if (type == nullptr) {
            break;
        }
        if (!type->IsStatic()) {
            intensity = 0.0f;
            stopPending = 1;
            return 0;
        }
        for (uint32_t i = 0; i < SlotCount(); ++i) {
            Particle &p = particles[i];
            if (p.type != nullptr) {
                p.type = nullptr;
                p.size = 0.0f;
                freeIndices.push_back(i);
            }
        }
        break;
    case cmd::base::KillPost:
        if (killPending == 0 && type != nullptr && freeIndices.size() != SlotCount() &&
            !type->IsStatic()) {
            ScheduleCommand(cmd::base::KillPost, ParamBlock(), kKillPostScheduleFlags, type->life,
                            0.0f,
                            0.0f);
            intensity = 0.0f;
            killPending = 1;
            return 0;
        }
        break;
    case cmd::mesh_object::SetMesh:
        return 0;
    default: {
        const int result = ParameterCommand(commandId, block);
        if (result >= 0) {
            return result;
        }
        break;
    }
    }
    return MeshObjectActor::HandleCommand(commandId, block);
}

int ParticleSystemActor::Serialize(Archive &archive, uint32_t mode) {
    if (MeshObjectActor::Serialize(archive, mode) == 0) {
        return 0;
    }
    const bool writing = archive.IsWriting();
    const uint32_t version = archive.Version();
    if (version < 1) {
        return 1;
    }
    uint32_t index = typeIndex;
    uint32_t kill = killPending;
    float strength = intensity;
    uint32_t overrideWord = overrideMode;
    archive.SerializeWord(&index);
    archive.SerializeWord(&kill);
    archive.SerializeWords(&strength, 1);
    archive.SerializeWord(&overrideWord);
    if (!writing) {
        if (archive.Failed() || overrideWord > kFullOverride) {
            archive.SetFailed();
            return 0;
        }
        // The particles point at the record a read replaces.
        ReleaseRenderInstances();
        ReleaseOwnRecord();
        FreeParticles();
        type = nullptr;
        // An index past the table would copy from beyond it.
        typeIndex = index < ParticleTypeTable.size() ? index : 0;
        killPending = kill;
        intensity = strength;
        overrideMode = overrideWord;
        if (overrideMode != kNoOverride) {
            ownRecord = std::make_unique<ParticleType>();
            type = ownRecord.get();
        }
    }
    if (overrideMode == kExtendBase || version < 58) {
        ParticleLocalCopy &l = localCopy;
        archive.SerializeWord(&l.maxParticles);
        archive.SerializeWords(&l.emitFlowSpeed, 1);
        archive.SerializeWords(&l.life, 1);
        archive.SerializeWords(&l.size, 1);
        archive.SerializeWords(&l.opacity, 1);
        archive.SerializeWord(&l.useFullTexture);
        archive.SerializeWord(&l.tileNr);
        archive.SerializeWord(&l.tileNrV);
        archive.SerializeWords(&l.emitSpeed, 1);
        archive.SerializeWords(&l.emitSpeedV, 1);
        archive.SerializeWords(&l.emitPosV, 1);
        archive.SerializeSpareWords(1);
        if (!writing && overrideMode == kExtendBase && !archive.Failed()) {
            *ownRecord = ParticleTypeTable.empty() ? ParticleType()
                                                   : ParticleTypeTable[typeIndex];
            PushLocalCopy();
        }
    } else if (overrideMode == kFullOverride) {
        ParticleType written;
        ParticleType &r = writing ? (type != nullptr ? *type : written) : *ownRecord;
        uint32_t staticWord = r.IsStatic() ? 1u : 0u;
        auto reals = [&archive](std::initializer_list<float *> fields) {
            for (float *field : fields) {
                archive.SerializeWords(field, 1);
            }
        };
        archive.SerializeWord(&r.maxParticles);
        reals({&r.emitFlowSpeed, &r.emitFlowSpeedV, &r.emitSpeed, &r.emitSpeedV, &r.emitPosV,
               &r.emitAngleV, &r.emitSpinAngleV, &r.emitSpinSpeed, &r.emitSpinSpeedV, &r.life,
               &r.lifeV, &r.size, &r.sizeV, &r.dSize, &r.dSizeV});
        archive.SerializeWord(&staticWord);
        reals({&r.gravityMul, &r.airResMul, &r.movement.x, &r.movement.y, &r.movement.z,
               &r.movementV.x, &r.movementV.y, &r.movementV.z, &r.opacity, &r.opacityV,
               &r.sizeInTime, &r.sizeOutTime, &r.fadeInTime, &r.fadeOutTime});
        archive.SerializeWord(&r.useFullTexture);
        archive.SerializeWord(&r.tileNr);
        archive.SerializeWord(&r.tileNrV);
        reals({&r.motionInheritance, &r.motionInheritanceV});
        if (!writing && !archive.Failed()) {
            const uint32_t bit = staticWord & 1u;
            r.flags = bit != 0 ? (kParticleStatic | kParticleLocalSpace) : 0u;
            PullLocalCopy();
        }
    }
    if (!writing && archive.Failed()) {
        return 0;
    }
    return 1;
}

void ParticleSystemActor::DumpClassFields(std::vector<std::string> &lines) const {
    MeshObjectActor::DumpClassFields(lines);
    // The stored words in file order, then the visible "Extend Base" values.
    const ParticleLocalCopy &l = localCopy;
    lines.push_back("particle type " + std::to_string(typeIndex) + " kill " +
                    std::to_string(killPending) + " intensity " + DumpNumber(intensity) +
                    " mode " + std::to_string(overrideMode) + " max " +
                    std::to_string(l.maxParticles) + " flow " + DumpNumber(l.emitFlowSpeed) +
                    " life " + DumpNumber(l.life) + " size " + DumpNumber(l.size) + " opacity " +
                    DumpNumber(l.opacity) + " fulltexture " + std::to_string(l.useFullTexture) +
                    " tile " + std::to_string(l.tileNr) + " tilev " + std::to_string(l.tileNrV) +
                    " speed " + DumpNumber(l.emitSpeed) + " speedv " + DumpNumber(l.emitSpeedV) +
                    " posv " + DumpNumber(l.emitPosV));
}
