// The Particle System actor: its registration, the preset table, the
// override modes and parameter commands, the base commands with particle
// work, the mesh rebuild, the step and the quads, and its file record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "actors/presentation/particle_system_actor.h"
#include "base/random.h"
#include "core/actors/actor_file_bytes.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/class_factory.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/scheduled_command.h"
#include "library/mesh_geometry.h"
#include "library/render/render_front_end.h"
#include "library/render/shadow_volume.h"
#include "platform/os/gfx/recording_device.h"
#include "presentation_fixture.h"
#include "support/tool_run.h"

namespace {

using namespace presentationtest;

constexpr int32_t kId = 500;

class ParticleTest : public PresentationTest {
  protected:
    ParticleSystemActor *NewParticles(uint32_t typeIndex = 0) {
        auto *actor = dynamic_cast<ParticleSystemActor *>(
            CreateActor(kParticleSystemClassId, "p", nullptr, scenery, kId, true));
        EXPECT_NE(actor, nullptr);
        SendCommandArgs(actor, cmd::particle_system::SetParticleType, typeIndex);
        return actor;
    }
    int Mode(ParticleSystemActor *actor, uint32_t mode) {
        return SendCommandArgs(actor, cmd::particle_system::SetTypeOverride, mode);
    }
    // One frame in which the actor's instance is drawn.
    void Drawn(ParticleSystemActor *actor, float dt) {
        Step(dt);
        actor->Slot5();
    }
    uint32_t Live(const ParticleSystemActor *actor) {
        return actor->SlotCount() - static_cast<uint32_t>(actor->freeIndices.size());
    }
    // A "Fire" on a full override with its own slot count, flow and life.
    ParticleSystemActor *Emitter(uint32_t slots, float flow, float life) {
        ParticleSystemActor *actor = NewParticles(0);
        Mode(actor, 2);
        SendCommandArgs(actor, 1148, slots);
        SendCommandArgs(actor, 1150, flow);
        SendCommandArgs(actor, 1168, life);
        return actor;
    }
    // A get: its answer and the word it wrote.
    std::pair<int, uint32_t> Get(Actor *actor, uint32_t command) {
        uint32_t word = 0xDEADBEEF;
        const int result = actor->HandleCommand(command, ParamBlock(&word, sizeof(word)));
        return {result, word};
    }
    static uint32_t Bits(float v) {
        uint32_t w = 0;
        std::memcpy(&w, &v, sizeof(w));
        return w;
    }
};

TEST_F(ParticleTest, RegistrationAndDefaults) {
    const ActorClassDescriptor *descriptor = &ClassDescriptorTable[kParticleSystemClassId];
    EXPECT_EQ(descriptor->name, "Particle");
    EXPECT_EQ(descriptor->description, "Particle System");
    EXPECT_EQ(descriptor->lineage, (std::vector<uint32_t>{0, 3, 18}));
    ASSERT_EQ(descriptor->items.size(), 38u);
    struct Expect {
        size_t item;
        const char *label;
        PropertyKind kind;
        uint32_t set, get;
    };
    const Expect expected[] = {
        {0, "Particle Properties", PropertyKind::PageTitle, 0, 0},
        {2, "Type Override:|No Override|0|Extend Base|1|Full Overrride|2|",
         PropertyKind::Enumeration, 1146, 1147},
        {4, "Max Particles", PropertyKind::WholeNumber, 1148, 1149},
        {6, "EmitFlowSpeedV", PropertyKind::RealCompanion, 1152, 1153},
        {12, "EmitSpinSpeed|\xC2\xB0/s|", PropertyKind::Angle, 1164, 1165},
        {20, "Movement", PropertyKind::Heading, 0, 0},
        {23, "Movement", PropertyKind::Vector, 1186, 1187},
        {27, "Static", PropertyKind::CheckBox, 1180, 1181},
        {28, "Appearence", PropertyKind::Heading, 0, 0},
        {34, "FadeOutTime", PropertyKind::Time, 1200, 1201},
        {37, "Use Full Texture", PropertyKind::CheckBox, 1202, 1203},
    };
    for (const Expect &e : expected) {
        const PropertyItem &item = descriptor->items[e.item];
        EXPECT_EQ(item.label, e.label) << e.item;
        EXPECT_EQ(item.kind, e.kind) << e.item;
        EXPECT_EQ(item.setCommand, e.set) << e.item;
        EXPECT_EQ(item.getCommand, e.get) << e.item;
    }
    EXPECT_EQ(descriptor->items[1].label.rfind("Type:|Fire|0|Smoke|1|", 0), 0u);

    auto *actor = dynamic_cast<ParticleSystemActor *>(ConstructActorOfClass(kParticleSystemClassId));
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(actor->classId, 18u);
    EXPECT_EQ(actor->meshFlags & kMeshSyncMaterial, 0u);
    EXPECT_EQ(actor->prevEmitterPosition.x, 1.0f);
    EXPECT_EQ(actor->intensity, 1.0f);
    EXPECT_EQ(actor->actionValue, 1.0f);
    EXPECT_EQ(actor->overrideMode, 0u);
    EXPECT_EQ(actor->type, nullptr);
    EXPECT_EQ(actor->localCopy.maxParticles, 40u);
    EXPECT_EQ(actor->localCopy.tileNrV, 4u);
    EXPECT_EQ(actor->localCopy.emitPosV, 5.0f);
    delete actor;
}

TEST_F(ParticleTest, PresetTable) {
    ASSERT_EQ(ParticleTypeTable.size(), 41u);
    const ParticleType defaults;
    for (size_t i = 22; i < 41; ++i) {
        EXPECT_EQ(std::memcmp(&ParticleTypeTable[i], &defaults, sizeof(defaults)), 0) << i;
    }
    for (size_t i = 0; i < 41; ++i) {
        const ParticleType &t = ParticleTypeTable[i];
        EXPECT_EQ(t.flags, i == 2 ? 3u : 0u) << i;
        EXPECT_EQ(t.useFullTexture, i == 2 ? 1u : 0u) << i;
        EXPECT_EQ(t.maxParticles == 1, i == 2 || i == 11 || i == 12) << i;
        EXPECT_LE(t.tileNr + t.tileNrV, 16u) << i;
        EXPECT_EQ(t.emitFlowSpeedV, 0.5f);
        EXPECT_EQ(t.motionInheritance, 1.0f);
        EXPECT_EQ(t.motionInheritanceV, 0.5f);
    }
    auto same = [](size_t a, size_t b) {
        return std::memcmp(&ParticleTypeTable[a], &ParticleTypeTable[b], sizeof(ParticleType)) ==
               0;
    };
    EXPECT_TRUE(same(14, 15));
    EXPECT_TRUE(same(16, 17));
    EXPECT_TRUE(same(16, 18));
    ParticleType wood = ParticleTypeTable[19];
    wood.tileNr = ParticleTypeTable[16].tileNr;
    EXPECT_EQ(std::memcmp(&wood, &ParticleTypeTable[16], sizeof(wood)), 0);
    ParticleType rain = ParticleTypeTable[21];
    rain.tileNr = 0;
    EXPECT_EQ(std::memcmp(&rain, &ParticleTypeTable[20], sizeof(rain)), 0);
    // A few cells of the tables.
    const ParticleType &fire = ParticleTypeTable[0];
    EXPECT_EQ(fire.maxParticles, 60u);
    EXPECT_EQ(fire.emitAngleV, 2.2f);
    EXPECT_EQ(fire.size, 10.2f);
    EXPECT_EQ(fire.movement.y, 22.0f);
    EXPECT_EQ(fire.opacity, 0.47f);
    EXPECT_EQ(fire.tileNrV, 8u);
    const ParticleType &steam = ParticleTypeTable[10];
    EXPECT_EQ(steam.emitSpeed, 70.0f);
    EXPECT_EQ(steam.movementV.y, 0.5f);
    EXPECT_EQ(steam.fadeOutTime, 1.92f);
    EXPECT_EQ(ParticleTypeTable[20].movement.y, -128.0f);
    EXPECT_EQ(ParticleTypeTable[9].emitSpinSpeed, 6.1f);
}

// Every word of the named presets against a table written out apart from
// the code (tests/data/particles/presets.txt).
TEST_F(ParticleTest, PresetWordsMatchTheWrittenTable) {
    static_assert(sizeof(ParticleType) == 36 * 4);
    auto wholeNumber = [](size_t w) { return w == 0 || w == 16 || (w >= 31 && w <= 33); };
    std::istringstream table(toolrun::ReadFile(toolrun::DataPath("particles/presets.txt")));
    std::string line;
    size_t rows = 0;
    while (std::getline(table, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream cells(line);
        size_t index = 0;
        cells >> index;
        ASSERT_LT(index, ParticleTypeTable.size());
        uint32_t words[36];
        std::memcpy(words, &ParticleTypeTable[index], sizeof(words));
        for (size_t w = 0; w < 36; ++w) {
            std::string cell;
            ASSERT_TRUE(cells >> cell) << index;
            const uint32_t expected = wholeNumber(w) ? static_cast<uint32_t>(std::stoul(cell))
                                                     : Bits(std::strtof(cell.c_str(), nullptr));
            EXPECT_EQ(words[w], expected) << "preset " << index << " word " << w;
        }
        ++rows;
    }
    EXPECT_EQ(rows, 22u);
}

TEST_F(ParticleTest, OverrideModesGateTheParameters) {
    ParticleSystemActor *actor = NewParticles(1);
    const ParticleType &smoke = ParticleTypeTable[1];
    // Mode 0: every set refused; gets answer the table and mark "not in force".
    EXPECT_EQ(SendCommandArgs(actor, 1150, 3.0f), 0);
    EXPECT_EQ(SendCommandArgs(actor, 1148, 7u), 0);
    EXPECT_EQ(SendCommandArgs(actor, 1182, 2.0f), 0);
    EXPECT_EQ(ParticleTypeTable[1].emitFlowSpeed, 8.0f);
    EXPECT_EQ(Get(actor, 1151), std::make_pair(8, Bits(smoke.emitFlowSpeed)));
    EXPECT_EQ(Get(actor, 1205), std::make_pair(8, 8u));
    EXPECT_NE(Get(actor, 1149).first, 8);
    EXPECT_EQ(Get(actor, 1149).second, 20u);
    EXPECT_EQ(Get(actor, 1147).second, 0u);
    // 0 -> 1: the eleven values in force before are kept.
    EXPECT_EQ(actor->localCopy.maxParticles, 20u);
    ASSERT_NE(Mode(actor, 1), 0);
    ASSERT_EQ(actor->type, actor->ownRecord.get());
    EXPECT_EQ(actor->type->maxParticles, 20u);
    EXPECT_EQ(actor->type->tileNr, 8u);
    EXPECT_EQ(SendCommandArgs(actor, 1150, 3.0f) != 0, true);
    EXPECT_EQ(actor->type->emitFlowSpeed, 3.0f);
    EXPECT_EQ(actor->localCopy.emitFlowSpeed, 3.0f);
    EXPECT_EQ(SendCommandArgs(actor, 1182, 2.0f), 0);
    EXPECT_EQ(Get(actor, 1183), std::make_pair(8, Bits(0.0f)));
    EXPECT_NE(Get(actor, 1151).first, 8);
    // 1143 in mode 1: new index, rebuilt, own record unchanged.
    EXPECT_NE(SendCommandArgs(actor, cmd::particle_system::SetParticleType, 0u), 0);
    EXPECT_EQ(actor->typeIndex, 0u);
    EXPECT_EQ(actor->type->emitFlowSpeed, 3.0f);
    EXPECT_EQ(actor->SlotCount(), 20u);
    SendCommandArgs(actor, 1148, 5u);
    EXPECT_EQ(actor->SlotCount(), 5u);
    // 1 -> 0: the table's values again.
    ASSERT_NE(Mode(actor, 0), 0);
    EXPECT_EQ(actor->ownRecord, nullptr);
    EXPECT_EQ(actor->type, &ParticleTypeTable[0]);
    EXPECT_EQ(actor->localCopy.emitFlowSpeed, 20.0f);
    EXPECT_EQ(actor->SlotCount(), 60u);
    // Mode 2: everything settable but the type.
    ASSERT_NE(Mode(actor, 2), 0);
    EXPECT_EQ(SendCommandArgs(actor, cmd::particle_system::SetParticleType, 3u), 0);
    EXPECT_EQ(actor->typeIndex, 0u);
    EXPECT_EQ(Get(actor, cmd::particle_system::GetParticleType), std::make_pair(8, 0u));
    EXPECT_NE(SendCommandArgs(actor, 1180, 3u), 0);
    EXPECT_EQ(actor->type->flags, kParticleStatic);
    EXPECT_EQ(Get(actor, 1181).second, 1u);
    const Vector3 wind = {1.0f, 2.0f, 3.0f};
    EXPECT_NE(actor->HandleCommand(1186, ParamBlock(const_cast<Vector3 *>(&wind), sizeof(wind))),
              0);
    Vector3 read{};
    EXPECT_NE(actor->HandleCommand(1187, ParamBlock(&read, sizeof(read))), 8);
    EXPECT_EQ(read.y, 2.0f);
    // A mode past the last is refused and changes nothing.
    EXPECT_EQ(Mode(actor, 3), 0);
    EXPECT_EQ(actor->overrideMode, 2u);
    EXPECT_NE(actor->type, nullptr);
    // 1145 is a setter.
    SendCommandArgs(actor, cmd::particle_system::GetIntensity, 0.25f);
    EXPECT_EQ(actor->intensity, 0.25f);
}

TEST_F(ParticleTest, PushingClampsTheTiles) {
    ParticleSystemActor *actor = NewParticles(0);
    actor->localCopy.tileNr = 20;
    actor->localCopy.tileNrV = 30;
    Mode(actor, 1);
    EXPECT_EQ(actor->type->tileNr, 15u);
    EXPECT_EQ(actor->type->tileNrV, 15u);
    // Sets store unchecked; a particle still takes a tile of the atlas.
    SendCommandArgs(actor, 1204, 40u);
    SendCommandArgs(actor, 1206, 7u);
    SeedRand(1);
    Drawn(actor, 0.1f);
    ASSERT_GT(Live(actor), 0u);
    for (const Particle &p : actor->particles) {
        if (p.type != nullptr) {
            EXPECT_LE(p.tile, 15u);
        }
    }
}

TEST_F(ParticleTest, RebuildLaysOutTheMesh) {
    ParticleSystemActor *actor = NewParticles(0);
    ASSERT_TRUE(actor->IsBuilt());
    ASSERT_EQ(actor->SlotCount(), 60u);
    ASSERT_EQ(actor->freeIndices.size(), 60u);
    EXPECT_EQ(actor->freeIndices.front(), 0u);
    EXPECT_EQ(actor->freeIndices.back(), 59u);
    EXPECT_EQ(actor->vertexCount, 240u);
    EXPECT_EQ(actor->triangleCount, 120u);
    EXPECT_NE(actor->mesh, nullptr);
    EXPECT_EQ(actor->tileUV[5][0][0], 0.2578125f);
    EXPECT_EQ(actor->tileUV[5][0][1], 0.2578125f);
    EXPECT_EQ(actor->tileUV[5][2][0], 0.5f);
    EXPECT_EQ(actor->tileUV[5][2][1], 0.5f);
    EXPECT_EQ(actor->tileUV[16][0][0], 0.01f);
    EXPECT_EQ(actor->tileUV[16][2][1], 0.99f);
    EXPECT_EQ(actor->positions[5].x, 0.05f);
    EXPECT_EQ(actor->positions[6].y, -0.05f);
    EXPECT_EQ(actor->colours[7], 0xFFFFFFFFu);
    EXPECT_EQ(actor->uvs[2], 0.9f);
    EXPECT_EQ(actor->uvs[3], 0.85f);
    const std::vector<uint16_t> second(actor->indices.begin() + 6, actor->indices.begin() + 12);
    EXPECT_EQ(second, (std::vector<uint16_t>{4, 5, 6, 4, 6, 7}));
    // An index past the table falls back to the first record.
    SendCommandArgs(actor, cmd::particle_system::SetParticleType, 41u);
    EXPECT_EQ(actor->typeIndex, 0u);
    SendCommandArgs(actor, cmd::particle_system::SetParticleType, 40u);
    EXPECT_EQ(actor->typeIndex, 40u);
    EXPECT_EQ(actor->SlotCount(), 100u);
}

TEST_F(ParticleTest, SlotCountsStayWithinTheIndexRange) {
    ParticleSystemActor *actor = NewParticles(0);
    Mode(actor, 2);
    SendCommandArgs(actor, 1148, 0u);
    EXPECT_EQ(actor->type->maxParticles, 0u);
    EXPECT_EQ(actor->SlotCount(), 0u);
    EXPECT_EQ(actor->vertexCount, 4u);
    EXPECT_NE(actor->mesh, nullptr);
    SendCommandArgs(actor, 1148, 100000u);
    EXPECT_EQ(Get(actor, 1149).second, 100000u);
    EXPECT_EQ(actor->SlotCount(), kMaxParticleSlots);
    EXPECT_EQ(actor->indices.back(), 4 * kMaxParticleSlots - 1);
}

TEST_F(ParticleTest, NoSlotsEmitNothingAndLetStopAndKillPass) {
    ParticleSystemActor *actor = Emitter(0, 100.0f, 100.0f);
    ASSERT_NE(actor->mesh, nullptr);
    CommandSpy *spy = SpyOn(actor);
    for (int frame = 0; frame < 3; ++frame) {
        Drawn(actor, 0.1f);
    }
    for (const Particle &p : actor->particles) {
        EXPECT_EQ(p.type, nullptr);
    }
    // The mesh draws nothing: every corner it holds sits at the origin.
    for (const Vector3 &v : actor->positions) {
        EXPECT_EQ(Vec3Length(v), 0.0f);
    }
    // A stop is passed on at the next step, a kill at once, as when the
    // last particle has died.
    EXPECT_EQ(SendCommandArgs(actor, 215), 0);
    Drawn(actor, 0.1f);
    EXPECT_EQ(spy->Count(215), 1u);
    SendCommandArgs(actor, 216);
    EXPECT_EQ(spy->Count(216), 1u);
    EXPECT_EQ(actor->killPending, 0u);
}

TEST_F(ParticleTest, EmissionRateCarriesTheFraction) {
    ParticleSystemActor *actor = NewParticles(0);
    Mode(actor, 2);
    SendCommandArgs(actor, 1150, 20.0f);
    SendCommandArgs(actor, 1148, 1000u);
    SendCommandArgs(actor, 1168, 100.0f);
    SendCommandArgs(actor, 1170, 0.0f);
    for (uint32_t step = 1; step <= 5; ++step) {
        Drawn(actor, 0.05f);
        EXPECT_EQ(Live(actor), step);
    }
    // The first particle took the highest slot.
    EXPECT_NE(actor->particles[999].type, nullptr);
    SendCommandArgs(actor, 1148, 1000u);
    for (int step = 0; step < 100; ++step) {
        Drawn(actor, 0.01f);
    }
    EXPECT_NEAR(static_cast<double>(Live(actor)), 20.0, 1.0);
}

TEST_F(ParticleTest, NewParticlesLieOnTheEmittersPath) {
    ParticleSystemActor *actor = NewParticles(0);
    Mode(actor, 2);
    SendCommandArgs(actor, 1158, 0.0f); // EmitPosV
    SendCommandArgs(actor, 1150, 1000.0f);
    actor->position = {0.0f, 0.0f, 0.0f};
    actor->InvalidateTransform();
    SendCommandArgs(actor, cmd::base::InvalidateOldPosition);
    actor->position = {100.0f, 0.0f, 0.0f};
    actor->InvalidateTransform();
    Drawn(actor, 0.01f);
    ASSERT_GT(Live(actor), 0u);
    for (const Particle &p : actor->particles) {
        if (p.type != nullptr) {
            // Launched after this step's move: where it was put.
            EXPECT_GE(p.position.x, 0.0f);
            EXPECT_LT(p.position.x, 100.0f);
            EXPECT_EQ(p.position.y, 0.0f);
            EXPECT_EQ(p.position.z, 0.0f);
        }
    }
    EXPECT_EQ(actor->prevEmitterPosition.x, 100.0f);
}

TEST_F(ParticleTest, NoEmissionKeepsThePreviousPosition) {
    ParticleSystemActor *actor = NewParticles(0);
    Mode(actor, 2);
    SendCommandArgs(actor, 1150, 1.0f);
    actor->position = {0.0f, 0.0f, 0.0f};
    actor->InvalidateTransform();
    SendCommandArgs(actor, cmd::base::InvalidateOldPosition);
    actor->position = {50.0f, 0.0f, 0.0f};
    actor->InvalidateTransform();
    Drawn(actor, 0.01f);
    EXPECT_EQ(Live(actor), 0u);
    EXPECT_EQ(actor->prevEmitterPosition.x, 0.0f);
    // No flow at all: nothing, and no NaN anywhere.
    SendCommandArgs(actor, 1150, 0.0f);
    Drawn(actor, 0.5f);
    EXPECT_EQ(Live(actor), 0u);
    EXPECT_EQ(actor->emitAccumulator, 0.0f);
    SendCommandArgs(actor, 1150, -5.0f);
    Drawn(actor, 0.5f);
    EXPECT_EQ(actor->emitAccumulator, 0.0f);
    EXPECT_FALSE(std::isnan(actor->boundingRadius));
}

TEST_F(ParticleTest, GravityAndDragActOnLiveParticles) {
    ParticleSystemActor *actor = NewParticles(0);
    Mode(actor, 2);
    SendCommandArgs(actor, 1150, 10.0f);
    SendCommandArgs(actor, 1148, 1u);
    SendCommandArgs(actor, 1182, 2.0f); // GravityMul
    SendCommandArgs(actor, 1184, 3.0f); // AirResMul
    SendCommandArgs(actor, 1168, 100.0f);
    Drawn(actor, 0.1f);
    ASSERT_EQ(Live(actor), 1u);
    Particle &p = actor->particles[0];
    p.velocity = {10.0f, 0.0f, 0.0f};
    p.spinSpeed = 1.0f;
    p.spinAngle = 0.0f;
    const Vector3 before = p.position;
    Drawn(actor, 0.1f);
    const float f = 1.0f / (0.1f * 3.0f * 0.1f + 1.0f);
    EXPECT_FLOAT_EQ(p.velocity.x, 10.0f * f);
    EXPECT_FLOAT_EQ(p.velocity.y, -9.81f * 2.0f * 0.1f * 50.0f * f);
    EXPECT_FLOAT_EQ(p.spinSpeed, f);
    EXPECT_FLOAT_EQ(p.spinAngle, f * 0.1f);
    EXPECT_FLOAT_EQ(p.position.x, before.x + p.velocity.x * 0.1f);
    // The sphere spans emitter and particle, widened by the size; its
    // radius is the whole diagonal.
    const float size = actor->type->size;
    const Vector3 e = actor->GetWorldPosition();
    const float dx = std::fabs(p.position.x - e.x) + 2 * size;
    const float dy = std::fabs(p.position.y - e.y) + 2 * size;
    const float dz = std::fabs(p.position.z - e.z) + 2 * size;
    EXPECT_NEAR(actor->boundingRadius, std::sqrt(dx * dx + dy * dy + dz * dz), 1e-2);
}

TEST_F(ParticleTest, StepsOncePerFrame) {
    ParticleSystemActor *actor = NewParticles(0);
    Mode(actor, 2);
    SendCommandArgs(actor, 1150, 20.0f);
    SendCommandArgs(actor, 1168, 100.0f);
    Step(0.05f);
    actor->Slot5();
    actor->Slot5(); // a second bucket
    actor->Slot5(); // a shadow volume
    EXPECT_EQ(Live(actor), 1u);
    Drawn(actor, 0.05f);
    EXPECT_EQ(Live(actor), 2u);
}

// Counts the runs of the instance's hook before passing it on.
int g_hookRuns = 0;
void CountingHook(DrawInstance *instance) {
    ++g_hookRuns;
    ActorDrawHook(instance);
}

TEST_F(ParticleTest, TwoBucketsAndAShadowStillStepOncePerFrame) {
    InstallShadowVolumes(library);
    Material(kDefaultMaterialSlot)->bucketMask = (1u << 3) | (1u << 4) | (1u << 7);
    ParticleSystemActor *actor = Emitter(60, 20.0f, 100.0f);
    actor->position = {0.0f, 0.0f, 200.0f};
    actor->InvalidateTransform();
    for (uint32_t frame = 1; frame <= 3; ++frame) {
        Step(0.05f);
        actor->Update();
        DrawInstance *instance = actor->subMeshes[0].instance;
        ASSERT_NE(instance, nullptr);
        ASSERT_NE(instance->shadowVolume, nullptr);
        instance->preDraw = &CountingHook;
        g_hookRuns = 0;
        library.DrawScene();
        EXPECT_EQ(g_hookRuns, 3) << frame;
        EXPECT_EQ(Live(actor), frame);
    }
}

TEST_F(ParticleTest, StopAndKillWaitForTheLastParticle) {
    ParticleSystemActor *actor = NewParticles(0);
    CommandSpy *spy = SpyOn(actor);
    Drawn(actor, 0.1f);
    ASSERT_GT(Live(actor), 0u);
    // Stop: nothing more is emitted; the stop is passed on once all died.
    EXPECT_EQ(SendCommandArgs(actor, 215), 0);
    EXPECT_EQ(actor->stopPending, 1u);
    EXPECT_EQ(actor->intensity, 0.0f);
    Drawn(actor, 0.1f);
    EXPECT_EQ(spy->Count(215), 0u);
    for (int i = 0; i < 40; ++i) {
        Drawn(actor, 0.1f);
    }
    EXPECT_EQ(Live(actor), 0u);
    const size_t after = spy->Count(215);
    EXPECT_GE(after, 1u);
    Drawn(actor, 0.1f);
    EXPECT_EQ(spy->Count(215), after + 1); // again every drawn frame
    // Action Start clears it and emits again.
    SendCommandArgs(actor, 211);
    EXPECT_EQ(actor->stopPending, 0u);
    Drawn(actor, 0.1f);
    EXPECT_GT(Live(actor), 0u);
    // Kill: deferred by the type's life, once and not saved.
    EXPECT_EQ(SendCommandArgs(actor, 216), 0);
    EXPECT_EQ(actor->killPending, 1u);
    ScheduledCommand *entry = actor->FindScheduledCommand(216);
    ASSERT_NE(entry, nullptr);
    EXPECT_FLOAT_EQ(actor->ScheduledCommandTimeLeft(entry), ParticleTypeTable[0].life);
    EXPECT_EQ(SendCommandArgs(actor, 445), 0);
}

TEST_F(ParticleTest, StaticFlareStaysUntilStopped) {
    ParticleSystemActor *actor = NewParticles(2);
    for (int i = 0; i < 10; ++i) {
        Drawn(actor, 0.5f);
    }
    ASSERT_EQ(Live(actor), 1u);
    EXPECT_EQ(actor->particles[0].age, 0.0f);
    // Static: alpha x the action value, no fades; the full texture.
    SendCommandArgs(actor, 205, 0.5f);
    Drawn(actor, 0.1f);
    EXPECT_EQ(actor->colours[0] >> 24, 127u);
    EXPECT_EQ(actor->uvs[0], 0.01f);
    // An action value past 1 does not spill into the colour.
    SendCommandArgs(actor, 205, 3.0f);
    Drawn(actor, 0.1f);
    EXPECT_EQ(actor->colours[0], 0xFFFFFFFFu);
    EXPECT_NE(SendCommandArgs(actor, 215), 0);
    EXPECT_EQ(Live(actor), 0u);
}

TEST_F(ParticleTest, FadesAndRampsAtChosenAges) {
    ParticleSystemActor *actor = NewParticles(0);
    Mode(actor, 2);
    SendCommandArgs(actor, 1148, 1u);
    SendCommandArgs(actor, 1198, 0.4f); // FadeInTime
    SendCommandArgs(actor, 1200, 0.0f); // FadeOutTime
    SendCommandArgs(actor, 1194, 0.0f); // SizeInTime
    SendCommandArgs(actor, 1196, 0.0f); // SizeOutTime
    Drawn(actor, 0.1f);
    ASSERT_EQ(Live(actor), 1u);
    Particle &p = actor->particles[0];
    p.opacity = 1.0f;
    p.life = 10.0f;
    p.age = 0.0f;
    p.spinAngle = 0.0f;
    p.size = 2.0f;
    p.position = actor->GetWorldPosition();
    p.velocity = {0, 0, 0};
    Drawn(actor, 0.1f);
    // A quarter into the fade-in.
    EXPECT_EQ(actor->colours[0] >> 24, static_cast<uint32_t>(0.25f * 255.0f));
    // Spin 0 and an identity view: the corners at the size.
    EXPECT_NEAR(actor->positions[0].x, -2.0f * (1.0f - 0.0f), 0.05f);
    EXPECT_NEAR(actor->positions[0].y, 2.0f, 0.05f);
    p.age = 9.0f;
    Drawn(actor, 0.1f);
    EXPECT_EQ(actor->colours[0] >> 24, 255u); // FadeOutTime 0: no fade-out
}

TEST_F(ParticleTest, RecordBytesInEachMode) {
    ParticleSystemActor *actor = NewParticles(1);
    {
        const std::string bytes = Save(kId, kId + 1);
        FileBytes tail;
        tail.U32(1).U32(0).F32(1.0f).U32(0);
        EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail.str());
    }
    Mode(actor, 1);
    SendCommandArgs(actor, 1150, 3.0f);
    {
        const std::string bytes = Save(kId, kId + 1);
        FileBytes tail;
        tail.U32(1).U32(0).F32(1.0f).U32(1);
        tail.U32(20).F32(3.0f).F32(2.4f).F32(3.4f).F32(0.5f).U32(0).U32(8).U32(8);
        tail.F32(1.0f).F32(0.6f).F32(0.0f).U32(0);
        EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail.str());
        EXPECT_EQ(DeleteActor(actor), 1);
        ASSERT_EQ(Load(bytes), 1) << system->errorText;
        actor = dynamic_cast<ParticleSystemActor *>(GetActorById(kId));
        ASSERT_NE(actor, nullptr);
        ASSERT_NE(actor->ownRecord, nullptr);
        EXPECT_EQ(actor->type->emitFlowSpeed, 3.0f);
        EXPECT_EQ(actor->type->gravityMul, ParticleTypeTable[1].gravityMul);
    }
    Mode(actor, 2);
    SendCommandArgs(actor, 1180, 1u);
    SendCommandArgs(actor, 1210, 0.25f);
    {
        const std::string bytes = Save(kId, kId + 1);
        FileBytes tail;
        tail.U32(1).U32(0).F32(1.0f).U32(2);
        const ParticleType &t = *actor->type;
        tail.U32(t.maxParticles);
        for (float v : {t.emitFlowSpeed, t.emitFlowSpeedV, t.emitSpeed, t.emitSpeedV, t.emitPosV,
                        t.emitAngleV, t.emitSpinAngleV, t.emitSpinSpeed, t.emitSpinSpeedV, t.life,
                        t.lifeV, t.size, t.sizeV, t.dSize, t.dSizeV}) {
            tail.F32(v);
        }
        tail.U32(1);
        for (float v : {t.gravityMul, t.airResMul, t.movement.x, t.movement.y, t.movement.z,
                        t.movementV.x, t.movementV.y, t.movementV.z, t.opacity, t.opacityV,
                        t.sizeInTime, t.sizeOutTime, t.fadeInTime, t.fadeOutTime}) {
            tail.F32(v);
        }
        tail.U32(t.useFullTexture).U32(t.tileNr).U32(t.tileNrV).F32(1.0f).F32(0.25f);
        EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail.str());
        EXPECT_EQ(DeleteActor(actor), 1);
        ASSERT_EQ(Load(bytes), 1) << system->errorText;
        actor = dynamic_cast<ParticleSystemActor *>(GetActorById(kId));
        ASSERT_NE(actor, nullptr);
        EXPECT_EQ(actor->type->flags, kParticleStatic | kParticleLocalSpace);
        EXPECT_EQ(actor->type->motionInheritanceV, 0.25f);
    }
}

TEST_F(ParticleTest, OutOfRangeIndexAndModeFromAFile) {
    ParticleSystemActor *actor = NewParticles(1);
    Mode(actor, 1);
    std::string bytes = Save(kId, kId + 1);
    // The type index word sits 16 words before the end in mode 1.
    const size_t at = bytes.size() - 16 * 4;
    const uint32_t bad = 1000000;
    std::memcpy(&bytes[at], &bad, 4);
    EXPECT_EQ(DeleteActor(actor), 1);
    ASSERT_EQ(Load(bytes), 1) << system->errorText;
    actor = dynamic_cast<ParticleSystemActor *>(GetActorById(kId));
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(actor->typeIndex, 0u);
    EXPECT_EQ(actor->type->gravityMul, ParticleTypeTable[0].gravityMul);
    // A mode past the last fails the read.
    const uint32_t mode = 7;
    std::memcpy(&bytes[at + 12], &mode, 4);
    EXPECT_EQ(DeleteActor(actor), 1);
    EXPECT_NE(Load(bytes), 1);
}

TEST_F(ParticleTest, LoadedEmitterStartsAtItsOwnPosition) {
    ParticleSystemActor *actor = NewParticles(2);
    actor->position = {300.0f, 0.0f, 0.0f};
    actor->InvalidateTransform();
    const std::string bytes = Save(kId, kId + 1);
    EXPECT_EQ(DeleteActor(actor), 1);
    ASSERT_EQ(Load(bytes), 1) << system->errorText;
    actor = dynamic_cast<ParticleSystemActor *>(GetActorById(kId));
    ASSERT_NE(actor, nullptr);
    SendCommandArgs(actor, cmd::base::InvalidateOldPosition); // with no type yet: world
    EXPECT_EQ(actor->prevEmitterPosition.x, 300.0f);
    actor->CreateRenderInstances(); // as the first drawn frame makes them
    ASSERT_TRUE(actor->IsBuilt());
    // The flare works in local space: its emitter is the origin.
    EXPECT_EQ(actor->prevEmitterPosition.x, 0.0f);
    Drawn(actor, 0.1f);
    ASSERT_EQ(Live(actor), 1u);
    EXPECT_EQ(actor->particles[0].position.x, 0.0f);
}

TEST_F(ParticleTest, DumpLine) {
    ParticleSystemActor *actor = NewParticles(1);
    Mode(actor, 1);
    std::vector<std::string> lines;
    actor->DumpClassFields(lines);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "particle type 1 kill 0 intensity 1 mode 1 max 20 flow 8 life 2.4 "
                            "size 3.4 opacity 0.5 fulltexture 0 tile 8 tilev 8 speed 1 speedv "
                            "0.6 posv 0");
}

TEST_F(ParticleTest, CreateFromATemplateSharesNoRunTimeState) {
    ParticleSystemActor *source = NewParticles(1);
    Mode(source, 2);
    SendCommandArgs(source, 1150, 70.0f);
    Drawn(source, 0.5f);
    ASSERT_GT(Live(source), 0u);
    auto *copy = dynamic_cast<ParticleSystemActor *>(
        CreateActor(kParticleSystemClassId, "copy", source, scenery, 600, true));
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy->ownRecord, nullptr);
    EXPECT_NE(copy->type, source->type);
    EXPECT_EQ(copy->type, copy->ownRecord.get());
    EXPECT_EQ(copy->type->emitFlowSpeed, 70.0f);
    EXPECT_EQ(copy->overrideMode, 2u);
    EXPECT_FALSE(copy->IsBuilt());
    EXPECT_TRUE(copy->freeIndices.empty());
    EXPECT_EQ(copy->emitAccumulator, 0.0f);
    EXPECT_EQ(copy->vertexCount, 0u);
    EXPECT_EQ(copy->mesh, Mesh(kCubeSlot));
    // Its own mesh comes with its first instances; the source's stays.
    copy->CreateRenderInstances();
    EXPECT_TRUE(copy->IsBuilt());
    EXPECT_NE(copy->mesh, source->mesh);
    EXPECT_EQ(DeleteActor(source), 1);
    Drawn(copy, 0.5f);
    EXPECT_GT(Live(copy), 0u);
}

TEST_F(ParticleTest, ACopyOfAStoppedOrKilledEmitterEmitsAsANewOne) {
    ParticleSystemActor *source = NewParticles(0);
    Drawn(source, 0.1f);
    ASSERT_GT(Live(source), 0u);
    SendCommandArgs(source, 215); // stopped
    SendCommandArgs(source, 216); // and killed
    ASSERT_EQ(std::tuple(source->stopPending, source->killPending, source->intensity),
              std::tuple(1u, 1u, 0.0f));
    auto *copy = dynamic_cast<ParticleSystemActor *>(
        CreateActor(kParticleSystemClassId, "copy", source, scenery, 600, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->stopPending, copy->killPending, copy->intensity),
              std::tuple(0u, 0u, 1.0f));
    copy->CreateRenderInstances();
    Drawn(copy, 0.1f);
    ASSERT_EQ(GetActorById(600), copy);
    EXPECT_GT(Live(copy), 0u);
}

TEST_F(ParticleTest, OlderFilesCarryTheLocalBlock) {
    ParticleSystemActor *actor = NewParticles(1);
    Mode(actor, 2);
    SendCommandArgs(actor, 1150, 33.0f);
    const std::string bytes = WriteAtVersion(actor, 57);
    EXPECT_EQ(DeleteActor(actor), 1);
    ASSERT_EQ(Load(bytes), 1) << system->errorText;
    actor = dynamic_cast<ParticleSystemActor *>(GetActorById(kId));
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(actor->overrideMode, 2u);
    EXPECT_EQ(actor->localCopy.emitFlowSpeed, 33.0f);
    // A full override from such a file keeps a record of the defaults.
    ASSERT_NE(actor->ownRecord, nullptr);
    EXPECT_EQ(std::memcmp(actor->ownRecord.get(), &ParticleTypeTable[30], sizeof(ParticleType)),
              0);
}

// A new emitter takes no collision shapes from the cube it starts on, saved
// and loaded or not, though the cube's subset is a box; one told to take them
// keeps that through a file.
TEST_F(ParticleTest, ANewEmitterTakesNoShapesFromTheCube) {
    auto *cube = dynamic_cast<MeshItem *>(library.GetItemById(kCubeSlot));
    ASSERT_NE(cube, nullptr);
    cube->subsetSettings[0].word0 = 2;
    ParticleSystemActor *actor = NewParticles(1);
    for (const bool sync : {false, true}) {
        SCOPED_TRACE(sync);
        if (sync) {
            SendCommandArgs(actor, cmd::mesh_object::SetSyncCollision, true);
        }
        const uint32_t flag = sync ? kMeshSyncCollision : 0u;
        EXPECT_EQ(actor->meshFlags & kMeshSyncCollision, flag);
        const std::string bytes = Save(kId, kId + 1);
        EXPECT_EQ(DeleteActor(actor), 1);
        ASSERT_EQ(Load(bytes), 1) << system->errorText;
        actor = dynamic_cast<ParticleSystemActor *>(GetActorById(kId));
        ASSERT_NE(actor, nullptr);
        EXPECT_EQ(actor->meshFlags & kMeshSyncCollision, flag);
        EXPECT_EQ(actor->colObjs.size(), sync ? 1u : 0u);
    }
}

TEST_F(ParticleTest, AStopScriptRunWhileDrawingLeavesTheRestOfTheSceneDrawn) {
    ParticleSystemActor *actor = NewParticles(0);
    auto *target = Make<MeshObjectActor>(kMeshObjectClassId, "target");
    auto *other = Make<MeshObjectActor>(kMeshObjectClassId, "other");
    float x = 0.0f;
    for (Actor *a : std::initializer_list<Actor *>{actor, target, other}) {
        a->position = {x += 11.0f, 0.0f, 200.0f};
        a->InvalidateTransform();
    }
    // Stopped with nothing alive: the next drawn frame passes the stop on,
    // and its script takes the target's instance, queued earlier, away.
    EXPECT_EQ(SendCommandArgs(actor, 215), 0);
    actor->scripts.push_back(std::make_unique<ScriptRecord>());
    actor->scripts.back()->owner = actor;
    actor->scripts.back()->eventId = 215;
    actor->scripts.back()->name = "stopped";
    actor->scripts.back()->source = "/Scenery/target.Set_Material(\"red\");";
    Step();
    target->Update();
    other->Update();
    actor->Update(); // queued last: drawn first
    ASSERT_NE(target->subMeshes[0].instance, nullptr);

    auto *recording = dynamic_cast<gfx::RecordingDevice *>(device);
    ASSERT_NE(recording, nullptr);
    recording->ClearLog();
    library.DrawScene();
    EXPECT_EQ(target->subMeshes[0].instance, nullptr);
    // The x of every world transform set for a draw at z 200.
    std::vector<int> drawnAt;
    for (const std::string &line : recording->GetLog()) {
        float m[16] = {};
        unsigned state = 0;
        if (std::sscanf(line.c_str(),
                        "SetTransform %u %g %g %g %g %g %g %g %g %g %g %g %g %g %g %g %g", &state,
                        &m[0], &m[1], &m[2], &m[3], &m[4], &m[5], &m[6], &m[7], &m[8], &m[9],
                        &m[10], &m[11], &m[12], &m[13], &m[14], &m[15]) == 17 &&
            m[14] == 200.0f) {
            drawnAt.push_back(static_cast<int>(m[12]));
        }
    }
    EXPECT_EQ(drawnAt, (std::vector<int>{11, 33}));
    // The emitter drew its quads and stays sound for the next frame.
    Step();
    actor->Update();
    library.DrawScene();
    EXPECT_TRUE(actor->IsBuilt());
}

TEST_F(ParticleTest, AFireParticleTakesItsDrawsInOrder) {
    ParticleSystemActor *actor = NewParticles(0);
    SeedRand(1);
    std::vector<int> sequence(60);
    for (int &value : sequence) {
        value = Rand();
    }
    // One particle: 17 draws, then 16 without a random tile.
    SeedRand(1);
    Drawn(actor, 0.05f);
    ASSERT_EQ(Live(actor), 1u);
    EXPECT_EQ(Rand(), sequence[17]);
    Mode(actor, 1);
    SendCommandArgs(actor, 1206, 0u);
    SeedRand(1);
    Drawn(actor, 0.05f);
    ASSERT_EQ(Live(actor), 1u);
    EXPECT_EQ(Rand(), sequence[16]);

    // The first three particles of a seeded "Fire", emitted in one step.
    Mode(actor, 0);
    SeedRand(1);
    Drawn(actor, 0.15f);
    ASSERT_EQ(Live(actor), 3u);
    std::string text;
    for (uint32_t slot = 59; slot >= 57; --slot) {
        const Particle &p = actor->particles[slot];
        char line[400];
        std::snprintf(line, sizeof line,
                      "position %.9g %.9g %.9g velocity %.9g %.9g %.9g spin %.9g %.9g size %.9g "
                      "opacity %.9g tile %u life %.9g\n",
                      p.position.x, p.position.y, p.position.z, p.velocity.x, p.velocity.y,
                      p.velocity.z, p.spinAngle, p.spinSpeed, p.size, p.opacity, p.tile, p.life);
        text += line;
    }
    EXPECT_EQ(text, toolrun::ReadFile(toolrun::DataPath("particles/fire_draws.txt")));
}

TEST_F(ParticleTest, SpinTurnsTheQuadAndFreeSlotsCollapse) {
    ParticleSystemActor *actor = Emitter(2, 10.0f, 100.0f);
    Drawn(actor, 0.1f);
    ASSERT_EQ(Live(actor), 1u);
    Particle &p = actor->particles[1];
    ASSERT_NE(p.type, nullptr);
    p.position = {10.0f, 20.0f, 30.0f};
    p.velocity = {0.0f, 0.0f, 0.0f};
    p.size = 2.0f;
    SendCommandArgs(actor, 1182, 0.0f); // no gravity
    SendCommandArgs(actor, 1150, 0.0f); // no further particle
    const Vector3 unturned[4] = {{-1, 1, 0}, {1, 1, 0}, {1, -1, 0}, {-1, -1, 0}};
    const Vector3 quarter[4] = {{-1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {1, -1, 0}};
    struct Case {
        float angle;
        const Vector3 *corners;
    };
    for (const Case &c : {Case{0.0f, unturned}, Case{1.5707964f, quarter}}) {
        p.spinAngle = c.angle;
        p.spinSpeed = 0.0f;
        Drawn(actor, 0.01f);
        for (int k = 0; k < 4; ++k) {
            const Vector3 &v = actor->positions[4 + k];
            EXPECT_NEAR(v.x, 10.0f + 2.0f * c.corners[k].x, 1e-4f) << c.angle << " " << k;
            EXPECT_NEAR(v.y, 20.0f + 2.0f * c.corners[k].y, 1e-4f) << c.angle << " " << k;
            EXPECT_NEAR(v.z, 30.0f, 1e-4f) << c.angle << " " << k;
        }
        // The free slot sits at the origin, not at its built corners.
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(actor->positions[k].x, 0.0f);
            EXPECT_EQ(actor->positions[k].y, 0.0f);
        }
    }
}

TEST_F(ParticleTest, GravityComesFromTheEnvironmentRoot) {
    ParticleSystemActor *actor = Emitter(1, 100.0f, 100.0f);
    SendCommandArgs(actor, 1182, 1.0f); // GravityMul
    SendCommandArgs(actor, 1184, 0.0f); // no drag
    Actor *root = ActorTable[kEnvironmentActorId];
    ASSERT_NE(root, nullptr);
    Drawn(actor, 0.1f);
    ASSERT_EQ(Live(actor), 1u);
    Particle &p = actor->particles[0];
    struct Case {
        Actor *slot;
        float gravity;
        float expected;
    };
    for (const Case &c : {Case{root, 4.0f, 4.0f}, Case{nullptr, 4.0f, 9.81f}}) {
        SendCommandArgs(root, 517, c.gravity);
        ActorTable[kEnvironmentActorId] = c.slot;
        p.velocity = {0.0f, 0.0f, 0.0f};
        Drawn(actor, 0.1f);
        ActorTable[kEnvironmentActorId] = root;
        EXPECT_FLOAT_EQ(p.velocity.y, -c.expected * 0.1f * 50.0f) << c.expected;
    }
}

TEST_F(ParticleTest, FadesAndRampsInTheFilledQuad) {
    ParticleSystemActor *actor = Emitter(1, 20.0f, 1.4f);
    SendCommandArgs(actor, 1182, 0.0f); // no gravity
    Drawn(actor, 0.1f);
    ASSERT_EQ(Live(actor), 1u);
    SendCommandArgs(actor, 1150, 0.0f); // nothing more emitted
    struct Case {
        float fadeIn, fadeOut, sizeIn, sizeOut, age;
        uint32_t alpha;
        float half;
    };
    const Case cases[] = {
        {0.4f, 0.0f, 0.0f, 0.0f, 0.1f, 63, 2.0f},   // a quarter into the fade-in
        {0.0f, 2.0f, 0.0f, 0.0f, 9.0f, 127, 2.0f},  // half way through the fade-out
        {0.0f, 0.0f, 0.5f, 0.0f, 0.25f, 255, 1.0f}, // half grown
        {0.0f, 0.0f, 0.0f, 4.0f, 9.0f, 255, 0.5f},  // a quarter of the shrink left
        {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 255, 2.0f},  // no ramp at all
    };
    Particle &p = actor->particles[0];
    for (const Case &c : cases) {
        SendCommandArgs(actor, 1198, c.fadeIn);
        SendCommandArgs(actor, 1200, c.fadeOut);
        SendCommandArgs(actor, 1194, c.sizeIn);
        SendCommandArgs(actor, 1196, c.sizeOut);
        p = Particle{};
        p.type = actor->type;
        p.opacity = 1.0f;
        p.size = 2.0f;
        p.life = 10.0f;
        p.age = c.age;
        Drawn(actor, 0.0f);
        EXPECT_EQ(actor->colours[0] >> 24, c.alpha) << c.age;
        EXPECT_NEAR(actor->positions[0].x, -c.half, 1e-5f) << c.age;
        EXPECT_NEAR(actor->positions[0].y, c.half, 1e-5f) << c.age;
    }
}

TEST_F(ParticleTest, AFreedSlotIsTakenNext) {
    ParticleSystemActor *actor = Emitter(3, 10.0f, 100.0f);
    SendCommandArgs(actor, 1170, 0.0f);
    Drawn(actor, 0.1f);
    ASSERT_NE(actor->particles[2].type, nullptr);
    actor->particles[2].life = 0.05f; // dies in the next step, which emits one
    Drawn(actor, 0.1f);
    EXPECT_NE(actor->particles[2].type, nullptr);
    EXPECT_EQ(actor->particles[2].age, 0.0f);
    EXPECT_EQ(actor->particles[1].type, nullptr);
    EXPECT_EQ(actor->freeIndices, (std::vector<uint32_t>{0, 1}));
}

TEST_F(ParticleTest, ValueCommandsOldFilesAndTheDeferredKill) {
    ParticleSystemActor *actor = NewParticles(0);
    for (uint32_t command : {205u, 206u, 207u}) {
        SendCommandArgs(actor, command, 0.125f * static_cast<float>(command - 204));
        EXPECT_EQ(actor->actionValue, 0.125f * static_cast<float>(command - 204)) << command;
    }
    // Intensity and the kill flag read from files before version 52 start
    // afresh on "Init Load"; later files keep them.
    for (uint32_t version : {51u, 57u}) {
        actor->intensity = 0.25f;
        actor->killPending = 1;
        const std::string bytes = WriteAtVersion(actor, version);
        EXPECT_EQ(DeleteActor(actor), 1);
        ASSERT_EQ(Load(bytes), 1) << system->errorText;
        actor = dynamic_cast<ParticleSystemActor *>(GetActorById(kId));
        ASSERT_NE(actor, nullptr);
        EXPECT_EQ(actor->intensity, version < 52 ? 1.0f : 0.25f) << version;
        EXPECT_EQ(actor->killPending, version < 52 ? 0u : 1u) << version;
    }
    // The deferred "Kill Post": once, on layer 1, not saved with the actor.
    actor->killPending = 0;
    actor->CreateRenderInstances();
    Drawn(actor, 0.1f);
    ASSERT_GT(Live(actor), 0u);
    EXPECT_EQ(SendCommandArgs(actor, 216), 0);
    const ScheduledCommand *entry = actor->FindScheduledCommand(216);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->kind, kScheduleOnce);
    EXPECT_EQ(entry->layer, 1u);
    EXPECT_EQ(entry->state & kEntrySaved, 0u);
}

} // namespace
