// The Environment actor: the root at id 14 and presets, what reaches the
// render device and when, and its file record.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "actors/presentation/environment_actor.h"
#include "core/actors/actor_file_bytes.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "platform/os/gfx/types.h"
#include "presentation_fixture.h"

namespace {

using namespace presentationtest;
namespace RenderState = gfx::RenderState;

class EnvironmentTest : public PresentationTest {
  protected:
    void SetUp() override {
        PresentationTest::SetUp();
        root = dynamic_cast<EnvironmentActor *>(GetActorById(kRootEnvironmentId));
        ASSERT_NE(root, nullptr);
    }
    int SetColor(Actor *actor, uint32_t command, float r, float g, float b, float a) {
        float color[4] = {r, g, b, a};
        return actor->HandleCommand(command, ParamBlock(color, sizeof(color)));
    }
    // Ambient, fog enable, fog colour, fog start and end, clear colour.
    std::tuple<uint32_t, uint32_t, uint32_t, float, float, uint32_t> Device() const {
        return {RenderState(RenderState::Ambient),
                RenderState(RenderState::FogEnable),
                RenderState(RenderState::FogColor),
                std::bit_cast<float>(RenderState(RenderState::FogStart)),
                std::bit_cast<float>(RenderState(RenderState::FogEnd)),
                library.GetClearColor()};
    }
    // A preset with values of its own.
    EnvironmentActor *Preset() {
        auto *preset = Make<EnvironmentActor>(kEnvironmentClassId, "preset");
        SetColor(preset, cmd::light::SetAmbientColor, 0.2f, 0.4f, 0.6f, 1.0f);
        SendCommandArgs(preset, cmd::environment::SetGravity, 3.0f);
        SendCommandArgs(preset, cmd::environment::SetAirResistance, 0.5f);
        SendCommandArgs(preset, cmd::environment::SetWind, Vector3{1.0f, 2.0f, 3.0f});
        SendCommandArgs(preset, cmd::environment::SetFogEnable, true);
        SetColor(preset, cmd::environment::SetFogColor, 1.0f, 0.0f, 0.0f, 1.0f);
        SendCommandArgs(preset, cmd::environment::SetFogNear, 100.0f);
        SendCommandArgs(preset, cmd::environment::SetFogFar, 900.0f);
        return preset;
    }
    // The root's stored values.
    std::tuple<float, float, float, float, uint32_t, float, float> RootValues() const {
        return {root->gravity,   root->airResistance, root->wind.z,     root->ambientColor[0],
                root->fogEnable, root->fogNear,       root->fogColor[0]};
    }

    EnvironmentActor *root = nullptr;
};

TEST_F(EnvironmentTest, ColoursArePackedAndClampedForTheDevice) {
    EXPECT_EQ(std::tuple(root->gravity, root->airResistance, root->fogEnable, root->fogNear,
                         root->fogFar, root->ambientColor[3], root->wind.x),
              std::tuple(9.81f, 1.0f, 0u, 1.0f, 5000.0f, 0.0f, 0.0f));
    EXPECT_EQ(SetColor(root, cmd::environment::SetFogColor, 1.5f, 0.5f, -0.2f, 1.0f), 1);
    EXPECT_EQ(std::tuple(RenderState(RenderState::FogColor), library.GetClearColor()),
              std::tuple(0xFFFF8000u, 0xFFFF8000u));
    // Components above 1 do not wrap.
    SetColor(root, cmd::light::SetAmbientColor, 1.5f, 0.5f, -0.2f, 1.0f);
    EXPECT_EQ(RenderState(RenderState::Ambient), 0xFFFF7F00u);
    float color[4] = {};
    root->HandleCommand(cmd::light::GetAmbientColor, ParamBlock(color, sizeof(color)));
    EXPECT_EQ(std::vector<float>(color, color + 4), (std::vector<float>{1.5f, 0.5f, -0.2f, 1.0f}));
}

TEST_F(EnvironmentTest, FogSettersReachTheDeviceOnAnyEnvironment) {
    auto *preset = Make<EnvironmentActor>(kEnvironmentClassId, "preset");
    SendCommandArgs(preset, cmd::environment::SetFogNear, 20.0f);
    SendCommandArgs(preset, cmd::environment::SetFogFar, 700.0f);
    SendCommandArgs(preset, cmd::environment::SetFogEnable, true);
    EXPECT_EQ(std::tuple(RenderState(RenderState::FogEnable),
                         std::bit_cast<float>(RenderState(RenderState::FogStart)),
                         std::bit_cast<float>(RenderState(RenderState::FogEnd))),
              std::tuple(1u, 20.0f, 700.0f));
    // Gravity, air resistance and wind stay with the actor.
    SendCommandArgs(preset, cmd::environment::SetGravity, 2.0f);
    float gravity = 0.0f;
    preset->HandleCommand(cmd::environment::GetGravity, ParamBlock(&gravity, sizeof(gravity)));
    EXPECT_EQ(std::tuple(gravity, root->gravity), std::tuple(2.0f, 9.81f));
}

TEST_F(EnvironmentTest, ActivatingAPresetChangesTheRootAndDeactivatingRestoresIt) {
    EnvironmentActor *preset = Preset();
    EXPECT_EQ(SendCommandArgs(preset, cmd::environment::ActivateEnvironmentParams), 1);
    EXPECT_EQ(RootValues(), std::tuple(3.0f, 0.5f, 3.0f, 0.2f, 1u, 100.0f, 1.0f));
    EXPECT_EQ(Device(), std::tuple(0xFF336699u, 1u, 0xFFFF0000u, 100.0f, 900.0f, 0xFFFF0000u));

    // Deactivation blanks the device; the root keeps its values, so that
    // activating the root restores them exactly.
    preset->HandleCommand(cmd::environment::DeactivateEnvironment, ParamBlock());
    EXPECT_EQ(std::tuple(RenderState(RenderState::Ambient), RenderState(RenderState::FogEnable),
                         RenderState(RenderState::FogColor), library.GetClearColor()),
              std::tuple(0u, 0u, 0u, 0u));
    EXPECT_EQ(RootValues(), std::tuple(3.0f, 0.5f, 3.0f, 0.2f, 1u, 100.0f, 1.0f));
    root->HandleCommand(cmd::environment::ActivateEnvironmentParams, ParamBlock());
    EXPECT_EQ(Device(), std::tuple(0xFF336699u, 1u, 0xFFFF0000u, 100.0f, 900.0f, 0xFFFF0000u));
}

TEST_F(EnvironmentTest, GravityAirAndWindThatAreNotFiniteLeaveTheHeldValues) {
    // Sent to the root, or to a preset that is then activated: the root
    // keeps what it held, the largest float is still taken.
    EnvironmentActor *preset = Preset();
    for (const float bad : {NAN, INFINITY, -INFINITY}) {
        for (EnvironmentActor *target : {root, preset}) {
            SendCommandArgs(target, cmd::environment::SetGravity, bad);
            SendCommandArgs(target, cmd::environment::SetAirResistance, bad);
            SendCommandArgs(target, cmd::environment::SetWind, Vector3{0.0f, 0.0f, bad});
        }
        SendCommandArgs(preset, cmd::environment::ActivateEnvironmentParams);
        EXPECT_EQ(std::tuple(root->gravity, root->airResistance, root->wind.z),
                  std::tuple(3.0f, 0.5f, 3.0f))
            << bad;
    }
    SendCommandArgs(root, cmd::environment::SetGravity, FLT_MAX);
    EXPECT_EQ(root->gravity, FLT_MAX);
}

TEST_F(EnvironmentTest, ApplyUsesTheActorsOwnValuesAndPrecalculateOnlyTheRoots) {
    EnvironmentActor *preset = Preset();
    SetColor(root, cmd::light::SetAmbientColor, 0.0f, 0.0f, 1.0f, 1.0f);
    SendCommandArgs(preset, cmd::environment::LerpEnvironmentParams, 0.25f);
    EXPECT_EQ(Device(), std::tuple(0xFF336699u, 1u, 0xFFFF0000u, 100.0f, 900.0f, 0xFFFF0000u));
    EXPECT_EQ(std::tuple(root->gravity, root->ambientColor[2]), std::tuple(9.81f, 1.0f));

    // "Precalculate" on a preset changes nothing; on the root it applies
    // the root's values.
    SendCommandArgs(preset, 153);
    EXPECT_EQ(RenderState(RenderState::Ambient), 0xFF336699u);
    SendCommandArgs(root, 153);
    EXPECT_EQ(Device(), std::tuple(0xFF0000FFu, 0u, 0u, 1.0f, 5000.0f, 0u));
}

TEST_F(EnvironmentTest, FileRecordPutsWindBeforeAirResistanceAndOldFilesHaveNoFog) {
    EnvironmentActor *preset = Preset();
    const std::string bytes =
        Save(static_cast<uint32_t>(preset->actorId), static_cast<uint32_t>(preset->actorId) + 1);
    FileBytes expected;
    expected.Header(70, 1, static_cast<uint32_t>(preset->actorId), 1);
    const std::string header = expected.str();
    FileBytes tail;
    tail.F32(0.2f).F32(0.4f).F32(0.6f).F32(1.0f).F32(3.0f);
    tail.F32(1.0f).F32(2.0f).F32(3.0f).F32(0.5f).Zeros(16);
    tail.U32(1).F32(1.0f).F32(0.0f).F32(0.0f).F32(1.0f).F32(100.0f).F32(900.0f);
    ASSERT_GT(bytes.size(), tail.size());
    EXPECT_EQ(bytes.substr(0, 16), header);
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail.str());

    // The round trip.
    const int32_t id = preset->actorId;
    ASSERT_EQ(DeleteActor(preset), 1);
    ASSERT_EQ(Load(bytes), 1) << system->errorText;
    auto *loaded = dynamic_cast<EnvironmentActor *>(GetActorById(id));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(std::tuple(loaded->gravity, loaded->airResistance, loaded->wind.y, loaded->fogEnable,
                         loaded->fogFar, loaded->fogColor[0]),
              std::tuple(3.0f, 0.5f, 2.0f, 1u, 900.0f, 1.0f));

    // A version 9 record has no fog fields: they keep the defaults.
    // (An id below 1000, which old files keep as it is.)
    auto *old = dynamic_cast<EnvironmentActor *>(
        CreateActor(kEnvironmentClassId, "old", nullptr, scenery, 500, true));
    SendCommandArgs(old, cmd::environment::SetGravity, 4.0f);
    const std::string v9 = WriteAtVersion(old, 9);
    const int32_t oldId = old->actorId;
    ASSERT_EQ(DeleteActor(old), 1);
    ASSERT_EQ(Load(v9), 1) << system->errorText;
    auto *reread = dynamic_cast<EnvironmentActor *>(GetActorById(oldId));
    ASSERT_NE(reread, nullptr);
    EXPECT_EQ(std::tuple(reread->gravity, reread->fogEnable, reread->fogNear, reread->fogFar),
              std::tuple(4.0f, 0u, 1.0f, 5000.0f));
}

// A record whose gravity, air resistance or wind is not finite loads with
// the actor's own values for them, as the set commands keep them.
TEST_F(EnvironmentTest, ARecordsGravityAirOrWindThatIsNotFiniteLeavesTheHeldValue) {
    EnvironmentActor *preset = Preset();
    const int32_t id = preset->actorId;
    const std::string good = Save(static_cast<uint32_t>(id), static_cast<uint32_t>(id) + 1);
    ASSERT_EQ(DeleteActor(preset), 1);
    // The record's tail from the gravity on: gravity, wind, air resistance,
    // 16 reserved bytes, then the fog's 7 words.
    const size_t gravityAt = good.size() - 4 * 16;
    for (const float bad : {NAN, INFINITY, -INFINITY}) {
        for (const size_t field : {0, 1, 2, 3, 4}) { // gravity, wind x y z, air
            std::string bytes = good;
            std::memcpy(bytes.data() + gravityAt + 4 * field, &bad, 4);
            ASSERT_EQ(Load(bytes), 1) << system->errorText;
            auto *loaded = dynamic_cast<EnvironmentActor *>(GetActorById(id));
            ASSERT_NE(loaded, nullptr);
            const float expected[5] = {9.81f, 0.0f, 0.0f, 0.0f, 1.0f};
            const float read[5] = {loaded->gravity, loaded->wind.x, loaded->wind.y, loaded->wind.z,
                                   loaded->airResistance};
            EXPECT_EQ(read[field], expected[field]) << bad << " in field " << field;
            EXPECT_EQ(loaded->fogFar, 900.0f);
            ASSERT_EQ(DeleteActor(loaded), 1);
        }
    }
}

TEST_F(EnvironmentTest, DescriptorAndSheet) {
    const ActorClassDescriptor &d = ClassDescriptorTable[kEnvironmentClassId];
    EXPECT_EQ(std::tuple(d.name, d.description, d.lineage),
              std::tuple("Environment", "Environment", std::vector<uint32_t>{7}));
    std::vector<std::tuple<std::string, uint32_t, uint32_t, uint32_t>> items;
    for (const PropertyItem &item : d.items) {
        items.emplace_back(item.label, static_cast<uint32_t>(item.kind), item.setCommand,
                           item.getCommand);
    }
    using Row = std::tuple<std::string, uint32_t, uint32_t, uint32_t>;
    EXPECT_EQ(items, (std::vector<Row>{
                         {"Environment Properties", 13, 0, 0},
                         {"Ambient:", 1, 471, 472},
                         {"Gravity:", 4, 517, 518},
                         {"Air Res:", 4, 519, 520},
                         {"Wind:", 8, 521, 522},
                         {"Fog Properties", 12, 0, 0},
                         {"Enable:", 17, 523, 524},
                         {"Near:", 4, 525, 526},
                         {"Far:", 4, 527, 528},
                         {"Color:", 1, 529, 530},
                         {"Activate Environment|Activate|", 14, 531, 0},
                         {"Dectivate Environment|Dectivate|", 14, 532, 0},
                     }));
}

} // namespace
