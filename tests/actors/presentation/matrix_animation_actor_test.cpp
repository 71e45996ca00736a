// The Matrix Animation actor: its sheet and commands, the layer list, the
// sine, noise and turn channels on its clock, switching it on and off, and
// its file record with the upgrades of older files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "actors/presentation/matrix_animation_actor.h"
#include "base/byte_writer.h"
#include "base/random.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "presentation_fixture.h"

namespace {

using namespace presentationtest;

constexpr int32_t kId = 600;
constexpr float kPi = 3.14159265f;

void SendVector(Actor *actor, uint32_t command, Vector3 v) {
    actor->HandleCommand(command, ParamBlock(&v, sizeof(v)));
}
Vector3 AskVector(Actor *actor, uint32_t command) {
    Vector3 v = {-7.0f, -7.0f, -7.0f};
    actor->HandleCommand(command, ParamBlock(&v, sizeof(v)));
    return v;
}
int SendWord(Actor *actor, uint32_t command, uint32_t value) {
    return actor->HandleCommand(command, ParamBlock(&value, sizeof(value)));
}
void SendText(Actor *actor, uint32_t command, const char *text) {
    std::string block(text);
    block.push_back('\0');
    actor->HandleCommand(command, ParamBlock(block.data(), block.size()));
}

class MatrixAnimationTest : public PresentationTest {
  protected:
    MatrixAnimationActor *NewAnimation(Actor *parent = nullptr, int32_t id = kId) {
        return dynamic_cast<MatrixAnimationActor *>(
            CreateActor(kMatrixAnimationClassId, "spin", nullptr,
                        parent != nullptr ? parent : scenery, id, true));
    }
    // One layer, selected, with vector k of the sheet set.
    void SetLayerVector(MatrixAnimationActor *m, uint32_t k, Vector3 v) {
        SendVector(m, cmd::matrix_animation::FirstLayerVector + 2 * k, v);
    }
    void Frame(Actor *actor) {
        Step();
        actor->Update();
    }
    MatrixAnimationActor *Reload(MatrixAnimationActor *actor, const std::string &bytes) {
        EXPECT_EQ(DeleteActor(actor), 1);
        EXPECT_EQ(Load(bytes), 1) << system->errorText;
        return dynamic_cast<MatrixAnimationActor *>(GetActorById(kId));
    }
};

// Sheet rows (k): rotation 0-4, position 5-9, scale 10-14.
constexpr uint32_t kRotSinMul = 1;
constexpr uint32_t kRotNoiseMul = 3;
constexpr uint32_t kPosSinMul = 6;
constexpr uint32_t kPosSinFreq = 7;
constexpr uint32_t kPosNoiseMul = 8;
constexpr uint32_t kPosNoiseFreq = 9;
constexpr uint32_t kScaleSinOff = 10;

TEST_F(MatrixAnimationTest, DescriptorDefaultsAndSheetRoundTrips) {
    const ActorClassDescriptor &d = ClassDescriptorTable[kMatrixAnimationClassId];
    EXPECT_EQ(d.name, "Matrix Animation");
    EXPECT_EQ(d.lineage, (std::vector<uint32_t>{0, 28}));
    ASSERT_EQ(d.items.size(), 27u);
    EXPECT_EQ(d.items[9].kind, PropertyKind::Heading);
    EXPECT_EQ(d.items[26].setCommand, 1412u);
    EXPECT_EQ(d.items[26].getCommand, 1413u);

    MatrixAnimationActor *m = NewAnimation();
    ASSERT_NE(m, nullptr);
    EXPECT_NE(m->state & kActorEnabled, 0u);
    EXPECT_TRUE(m->layers.empty());
    EXPECT_EQ(m->currentLayer, -1);
    EXPECT_EQ(m->speed, 1.0f);

    SendVector(m, cmd::matrix_animation::SetMatrixAnimPosition, {1, 2, 3});
    SendVector(m, cmd::matrix_animation::SetMatrixAnimRotation, {4, 5, 6});
    EXPECT_EQ(AskVector(m, cmd::matrix_animation::GetMatrixAnimPosition).z, 3.0f);
    EXPECT_EQ(AskVector(m, cmd::matrix_animation::GetMatrixAnimRotation).x, 4.0f);
    SendWord(m, cmd::matrix_animation::SetDirByMov, 3);
    SendWord(m, cmd::matrix_animation::SetDirByWsMov, 1);
    EXPECT_EQ(m->matrixAnimFlags, 3u);
    uint32_t bit = 7;
    m->HandleCommand(cmd::matrix_animation::GetDirByMov, ParamBlock(&bit, sizeof(bit)));
    EXPECT_EQ(bit, 1u);
    SendWord(m, cmd::matrix_animation::SetDirByMov, 2); // only bit 0 counts
    EXPECT_EQ(m->matrixAnimFlags, kMatrixAnimDirByWsMov);

    // Without a selection the layer commands touch nothing.
    m->HandleCommand(cmd::matrix_animation::AddMatrixAnimLayer, ParamBlock());
    SetLayerVector(m, 0, {9, 9, 9});
    EXPECT_EQ(AskVector(m, cmd::matrix_animation::FirstLayerVector + 1).x, -7.0f);
    SendText(m, cmd::matrix_animation::SetParamLayer, "Layer 0");
    for (uint32_t k = 0; k < 15; ++k) {
        const float f = static_cast<float>(k);
        SetLayerVector(m, k, {f, f + 0.5f, -f});
        EXPECT_EQ(AskVector(m, cmd::matrix_animation::FirstLayerVector + 2 * k + 1).y,
                  f + 0.5f) << k;
    }
    EXPECT_EQ(m->layers[0].At(kMatrixRotation, kSinOffset).x, 0.0f);
    EXPECT_EQ(m->layers[0].At(kMatrixPosition, kSinOffset).x, 5.0f);
    EXPECT_EQ(m->layers[0].At(kMatrixScale, kNoiseFreq).x, 14.0f);
}

TEST_F(MatrixAnimationTest, LayerListSelectionAndPrecalculate) {
    MatrixAnimationActor *m = NewAnimation();
    for (int i = 0; i < 3; ++i) {
        m->HandleCommand(cmd::matrix_animation::AddMatrixAnimLayer, ParamBlock());
    }
    EXPECT_EQ(m->currentLayer, -1);
    const MatrixAnimLayer &fresh = m->layers[2];
    EXPECT_EQ(fresh.At(kMatrixScale, kSinFreq).y, 1.0f);
    EXPECT_EQ(fresh.At(kMatrixPosition, kNoiseFreq).z, 1.0f);
    for (uint32_t s : fresh.switches) {
        EXPECT_EQ(s, 1u);
    }
    std::vector<std::string> names = {"stale"};
    std::vector<std::string> *list = &names;
    m->HandleCommand(cmd::matrix_animation::GetParamLayer, ParamBlock(&list, sizeof(list)));
    EXPECT_EQ(names, (std::vector<std::string>{"Layer 0", "Layer 1", "Layer 2"}));

    m->HandleCommand(cmd::matrix_animation::DeleteMatrixAnimLayer, ParamBlock());
    EXPECT_EQ(m->layers.size(), 3u);
    SendText(m, cmd::matrix_animation::SetParamLayer, "Layer 7");
    EXPECT_EQ(m->currentLayer, -1);
    SendText(m, cmd::matrix_animation::SetParamLayer, "Layer 1");
    EXPECT_EQ(m->currentLayer, 1);
    SetLayerVector(m, kPosSinMul, {0, 10, 0});
    m->HandleCommand(cmd::matrix_animation::DeleteMatrixAnimLayer, ParamBlock());
    EXPECT_EQ(m->currentLayer, -1);
    ASSERT_EQ(m->layers.size(), 2u);
    EXPECT_EQ(m->layers[1].At(kMatrixPosition, kSinMul).y, 0.0f); // the old layer 2 moved down
    SendText(m, cmd::matrix_animation::SetParamLayer, "Layer 1");
    m->HandleCommand(cmd::matrix_animation::DeleteMatrixAnimLayer, ParamBlock());
    EXPECT_EQ(m->currentLayer, -1);
    EXPECT_EQ(m->layers.size(), 1u);

    // Precalculate keeps the channels that have a multiplier and restarts the
    // clock.
    SendText(m, cmd::matrix_animation::SetParamLayer, "Layer 0");
    SetLayerVector(m, kPosNoiseMul, {0, 0, 1});
    SetLayerVector(m, kScaleSinOff, {1, 1, 1}); // an offset alone switches nothing on
    Frame(m);
    EXPECT_GT(m->time, 0.0f);
    m->HandleCommand(153, ParamBlock());
    EXPECT_EQ(m->time, 0.0f);
    const uint32_t expected[6] = {0, 1, 0, 0, 0, 0};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(m->layers[0].switches[i], expected[i]) << i;
    }
}

TEST_F(MatrixAnimationTest, SineAndTurnFollowTheClock) {
    MatrixAnimationActor *m = NewAnimation();
    SendVector(m, cmd::matrix_animation::SetMatrixAnimPosition, {5, 20, -5});
    m->HandleCommand(cmd::matrix_animation::AddMatrixAnimLayer, ParamBlock());
    SendText(m, cmd::matrix_animation::SetParamLayer, "Layer 0");
    SetLayerVector(m, kPosSinMul, {0, 10, 0});
    SetLayerVector(m, kPosSinFreq, {1, 2, 1});
    for (int i = 1; i <= 90; ++i) {
        Frame(m);
        const float t = m->time;
        EXPECT_NEAR(t, i / 60.0f, 1e-4f);
        EXPECT_NEAR(m->position.y, 20.0f + 10.0f * std::sin(2.0f * t), 1e-4f) << i;
        EXPECT_EQ(m->position.x, 5.0f);
    }

    // Half a turn about y per second; speed 2 through 205 makes it a whole one.
    for (float speed : {1.0f, 2.0f}) {
        MatrixAnimationActor *turn = NewAnimation(nullptr, kId + 1 + static_cast<int>(speed));
        SendVector(turn, cmd::matrix_animation::SetMatrixAnimRotation, {0, 3.14159f, 0});
        float value = speed;
        turn->HandleCommand(205, ParamBlock(&value, sizeof(value)));
        for (int i = 0; i < 60; ++i) {
            Frame(turn);
        }
        const float angle = 2.0f * std::atan2(std::fabs(turn->rotation.y), turn->rotation.w);
        EXPECT_NEAR(angle, speed * kPi, 1e-3f) << speed;
    }
}

TEST_F(MatrixAnimationTest, NoiseAndChannelsAddUp) {
    SeedRand(5);
    DiscardNoiseTable();
    MatrixAnimationActor *m = NewAnimation();
    m->HandleCommand(cmd::matrix_animation::AddMatrixAnimLayer, ParamBlock());
    m->HandleCommand(cmd::matrix_animation::AddMatrixAnimLayer, ParamBlock());
    SendText(m, cmd::matrix_animation::SetParamLayer, "Layer 0");
    SetLayerVector(m, kPosNoiseMul, {3, 0, 0});
    SetLayerVector(m, kPosNoiseFreq, {1.5f, 1, 1});
    SetLayerVector(m, kPosSinMul, {2, 0, 0});
    SendText(m, cmd::matrix_animation::SetParamLayer, "Layer 1");
    SetLayerVector(m, kRotSinMul, {0, 0.5f, 0});
    SetLayerVector(m, kRotNoiseMul, {0, 0.25f, 0});
    m->HandleCommand(153, ParamBlock());
    for (int i = 0; i < 40; ++i) {
        Frame(m);
        const float t = m->time;
        EXPECT_NEAR(m->position.x, std::sin(t) * 2.0f + Noise1D(t * 1.5f) * 3.0f, 1e-5f);
        Quaternion q;
        QuaternionRotationYawPitchRoll(&q, std::sin(t) * 0.5f + Noise1D(t) * 0.25f, 0.0f, 0.0f);
        EXPECT_NEAR(m->rotation.y, q.y, 1e-5f);
        EXPECT_NEAR(m->rotation.w, q.w, 1e-5f);
        EXPECT_EQ(m->scale.x, 1.0f);
    }
    DiscardNoiseTable();
}

TEST_F(MatrixAnimationTest, SwitchingOffKeepsTheClockAndTheChildrenRun) {
    MatrixAnimationActor *outer = NewAnimation();
    MatrixAnimationActor *inner = NewAnimation(outer, kId + 1);
    SendVector(outer, cmd::matrix_animation::SetMatrixAnimRotation, {0, 1, 0});
    Frame(outer);
    const float innerTime = inner->time;
    EXPECT_GT(innerTime, 0.0f);
    for (uint32_t stop : {37u, 215u}) {
        outer->HandleCommand(stop, ParamBlock());
        const Quaternion held = outer->rotation;
        const float time = outer->time;
        Frame(outer);
        EXPECT_EQ(outer->rotation.y, held.y);
        EXPECT_EQ(outer->time, time);
        EXPECT_GT(inner->time, innerTime);
        outer->HandleCommand(stop == 37u ? 36u : 211u, ParamBlock());
        Frame(outer);
        EXPECT_NEAR(outer->time, time + 1.0f / 60.0f, 1e-6f);
    }
    // Not operational: neither moves.
    outer->state &= ~kActorOperational;
    const float before = inner->time;
    Frame(outer);
    EXPECT_EQ(inner->time, before);
}

TEST_F(MatrixAnimationTest, FileRecordAndOlderFiles) {
    MatrixAnimationActor *m = NewAnimation();
    SendVector(m, cmd::matrix_animation::SetMatrixAnimRotation, {0.5f, 1, 2});
    SendVector(m, cmd::matrix_animation::SetMatrixAnimPosition, {3, 4, 5});
    SendWord(m, cmd::matrix_animation::SetDirByWsMov, 1);
    m->HandleCommand(cmd::matrix_animation::AddMatrixAnimLayer, ParamBlock());
    SendText(m, cmd::matrix_animation::SetParamLayer, "Layer 0");
    for (uint32_t k = 0; k < 15; ++k) {
        SetLayerVector(m, k, {static_cast<float>(k), 0, 0});
    }
    std::vector<uint8_t> tail;
    ByteWriter w(tail);
    for (float f : {0.5f, 1.0f, 2.0f})
        w.F32(f);
    w.U32(2);
    for (float f : {3.0f, 4.0f, 5.0f})
        w.F32(f);
    w.U32(0);
    w.U32(0);
    w.U32(1);
    for (uint32_t k = 0; k < 15; ++k) {
        w.F32(static_cast<float>(k));
        w.F32(0.0f);
        w.F32(0.0f);
    }
    const std::string bytes = Save(kId, kId + 1);
    ASSERT_GE(bytes.size(), tail.size());
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), std::string(tail.begin(), tail.end()));

    // The current version keeps everything; a selection beyond the layers
    // read is none.
    m->currentLayer = 4;
    m = Reload(m, bytes);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->layers.size(), 1u);
    EXPECT_EQ(m->layers[0].At(kMatrixScale, kNoiseFreq).x, 14.0f);
    EXPECT_EQ(m->basePosition.y, 4.0f);
    m->currentLayer = 4;
    SetLayerVector(m, 0, {1, 1, 1});
    m->HandleCommand(cmd::matrix_animation::DeleteMatrixAnimLayer, ParamBlock());
    EXPECT_EQ(m->layers.size(), 1u);

    // Version 62: ten vectors a layer; position cleared, enabled, scale reset.
    m->state &= ~kActorEnabled;
    const std::string at62 = WriteAtVersion(m, 62);
    EXPECT_EQ(at62.size() + 60, WriteAtVersion(m, 63).size());
    m = Reload(m, at62);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->basePosition.x, 0.0f);
    EXPECT_NE(m->state & kActorEnabled, 0u);
    EXPECT_EQ(m->matrixAnimFlags, kMatrixAnimDirByWsMov);
    EXPECT_EQ(m->layers[0].At(kMatrixPosition, kNoiseFreq).x, 9.0f);
    EXPECT_EQ(m->layers[0].At(kMatrixScale, kSinFreq).x, 1.0f);

    // Version 63: bit 2 is the enabled state, then cleared; scale reset.
    for (uint32_t enabled : {0u, 1u}) {
        m->layers[0].At(kMatrixScale, kSinMul) = {2, 2, 2};
        m->matrixAnimFlags = enabled != 0 ? kMatrixAnimEnabledV63 : 0u;
        m->state |= kActorEnabled;
        m = Reload(m, WriteAtVersion(m, 63));
        ASSERT_NE(m, nullptr);
        EXPECT_EQ((m->state & kActorEnabled) != 0, enabled != 0);
        EXPECT_EQ(m->matrixAnimFlags, 0u);
        EXPECT_EQ(m->layers[0].At(kMatrixScale, kSinMul).x, 0.0f);
    }

    // A layer count the bytes left cannot hold fails the read.
    std::string huge = Save(kId, kId + 1);
    const uint32_t count = 0x01000000u;
    std::memcpy(huge.data() + huge.size() - 15 * 12 - 4, &count, 4);
    ASSERT_EQ(DeleteActor(m), 1);
    EXPECT_EQ(Load(huge), 0);
    EXPECT_STREQ(system->errorText, "Serialize Error");
    EXPECT_EQ(GetActorById(kId), nullptr);
}

} // namespace
