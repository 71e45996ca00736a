// The Animation actor: its clock and play styles, binding children to the
// motion's tracks, AutoCreate, released motions and its file record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "actors/presentation/animation_actor.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "library/motion.h"
#include "presentation_fixture.h"
#include "support/skin_items.h"

namespace {

using namespace presentationtest;
using namespace skintest;

constexpr int32_t kId = 700;

class AnimationTest : public PresentationTest {
  protected:
    void SetUp() override {
        PresentationTest::SetUp();
        ASSERT_TRUE(LoadSkinItems(library));
    }
    // An Animation on "N_Neutral" (length 2) with the children "Head" and
    // "Spine1".
    AnimationActor *NewRig(bool withChildren = true) {
        auto *rig = dynamic_cast<AnimationActor *>(
            CreateActor(kAnimationClassId, "rig", nullptr, scenery, kId, true));
        if (withChildren) {
            head = CreateActor(0, "Head", nullptr, rig, -1, true);
            spine = CreateActor(0, "Spine1", nullptr, rig, -1, true);
        }
        SendCommandArgs(rig, 1097, std::string("N_Neutral"));
        return rig;
    }
    void Frame(AnimationActor *rig, float dt) {
        Step(dt);
        rig->Update();
    }
    static float Get(Actor *actor, uint32_t command) {
        float value = -1.0f;
        actor->HandleCommand(command, ParamBlock(&value, sizeof(value)));
        return value;
    }
    Actor *head = nullptr;
    Actor *spine = nullptr;
};

TEST_F(AnimationTest, DescriptorAndBinding) {
    const ActorClassDescriptor &d = ClassDescriptorTable[kAnimationClassId];
    EXPECT_EQ(d.name, "Animation");
    EXPECT_EQ(d.lineage, (std::vector<uint32_t>{0, kAnimationClassId}));
    ASSERT_EQ(d.items.size(), 10u);
    EXPECT_EQ(d.items[1].label, "Animation Motion");
    EXPECT_EQ(d.items[1].getCommand, 1098u);
    EXPECT_EQ(d.items[4].displayScale, 100.0f);
    EXPECT_EQ(d.items[9].setCommand, cmd::animation::AnimationAutoCreate);

    AnimationActor *rig = NewRig();
    EXPECT_EQ(rig->style, 3u);
    EXPECT_EQ(rig->state & kActorEnabled, 0u);
    EXPECT_EQ(rig->totalTime, 2.0f);
    ASSERT_EQ(rig->targets.nodes.size(), 2u);
    EXPECT_EQ(rig->targets.nodes.front().link.target, spine);
    EXPECT_EQ(rig->targets.nodes.back().link.target, head);
    // The same name again: no rebind, no reset.
    rig->currentTime = 0.5f;
    rig->targets.Clear();
    SendCommandArgs(rig, 1097, std::string("N_Neutral"));
    EXPECT_EQ(rig->currentTime, 0.5f);
    EXPECT_TRUE(rig->targets.nodes.empty());
    // A new name binds again at time 0; an unknown one leaves it bound.
    SendCommandArgs(rig, 1097, std::string("N_Walk"));
    EXPECT_EQ(rig->currentTime, 0.0f);
    EXPECT_EQ(rig->totalTime, 1.0f);
    ASSERT_EQ(rig->targets.nodes.size(), 1u);
    SendCommandArgs(rig, 1097, std::string("nothing"));
    EXPECT_EQ(rig->targets.nodes.size(), 1u);
    EXPECT_EQ(rig->totalTime, 1.0f);
    // Init Copy empties the nodes.
    SendCommandArgs(rig, 46);
    EXPECT_TRUE(rig->targets.nodes.empty());
}

TEST_F(AnimationTest, ClockCommands) {
    AnimationActor *rig = NewRig();
    SendCommandArgs(rig, 251, 2.0f);
    EXPECT_EQ(rig->currentTime, 2.0f); // 2 - 1e-9 in single precision
    rig->totalTime = 0.01f;
    SendCommandArgs(rig, 251, 0.5f);
    EXPECT_EQ(rig->currentTime, 0.01f - 1e-9f);
    EXPECT_LT(rig->currentTime, 0.01f);
    rig->totalTime = 2.0f;
    EXPECT_EQ(SendCommandArgs(rig, 254, 0.25f), 1);
    EXPECT_EQ(rig->currentTime, 0.5f);
    EXPECT_EQ(Get(rig, 255), 0.25f);
    EXPECT_EQ(Get(rig, 257), 2.0f);
    // 203: the larger of the value and the time one run takes.
    SendCommandArgs(rig, 265, 0.5f);
    EXPECT_EQ(Get(rig, 266), 0.5f);
    float wait = 1.0f;
    rig->HandleCommand(203, ParamBlock(&wait, 4));
    EXPECT_EQ(wait, 4.0f);
    SendCommandArgs(rig, 265, 0.0f);
    wait = 1.0f;
    rig->HandleCommand(203, ParamBlock(&wait, 4));
    EXPECT_EQ(wait, 1.0f);
    SendCommandArgs(rig, 265, -1.0f);
    rig->HandleCommand(203, ParamBlock(&wait, 4));
    EXPECT_EQ(wait, 1.0f);
    for (uint32_t command : {205u, 206u, 207u}) {
        SendCommandArgs(rig, command, 3.0f);
        EXPECT_EQ(rig->speedFactor, 3.0f);
        SendCommandArgs(rig, 214);
        EXPECT_EQ(rig->speedFactor, 1.0f);
    }
    // Styles reset the clock; a style above 5 is only stored.
    SendCommandArgs(rig, 258, 1u);
    EXPECT_EQ(rig->direction, 1u);
    EXPECT_EQ(rig->currentTime, 2.0f - 1e-9f);
    SendCommandArgs(rig, 258, 5u);
    EXPECT_EQ(rig->direction, 0u);
    EXPECT_EQ(rig->currentTime, 0.0f);
    rig->currentTime = 1.5f;
    SendCommandArgs(rig, 258, 9u);
    EXPECT_EQ(rig->currentTime, 1.5f);
    uint32_t style = 0;
    rig->HandleCommand(259, ParamBlock(&style, 4));
    EXPECT_EQ(style, 9u);
    SendCommandArgs(rig, 264);
    EXPECT_EQ(rig->currentTime, 1.5f);
    // Play, stop, and play on start game.
    SendCommandArgs(rig, 262);
    EXPECT_NE(rig->state & kActorEnabled, 0u);
    SendCommandArgs(rig, 37);
    EXPECT_EQ(rig->state & kActorEnabled, 0u);
    SendCommandArgs(rig, 154);
    EXPECT_EQ(rig->state & kActorEnabled, 0u);
    SendCommandArgs(rig, 260, true);
    SendCommandArgs(rig, 154);
    EXPECT_NE(rig->state & kActorEnabled, 0u);
    // Unbound: no division by a total time of 0.
    rig->totalTime = 0.0f;
    EXPECT_EQ(Get(rig, 255), 0.0f);
}

TEST_F(AnimationTest, MotionTextIsBoundedByTheBlock) {
    AnimationActor *rig = NewRig(false);
    rig->motionName = std::string(300, 'm');
    char big[512];
    std::memset(big, 'x', sizeof(big));
    rig->HandleCommand(1098, ParamBlock(big, sizeof(big)));
    EXPECT_EQ(std::string(big), std::string(127, 'm'));
    char small[8];
    std::memset(small, 'x', sizeof(small));
    char guard = 'g';
    rig->HandleCommand(1098, ParamBlock(small, sizeof(small)));
    EXPECT_EQ(std::string(small, 7), std::string(7, 'm'));
    EXPECT_EQ(small[7], '\0');
    EXPECT_EQ(guard, 'g');
}

TEST_F(AnimationTest, ForwardOnceHoldsTheLastPose) {
    AnimationActor *rig = NewRig();
    CommandSpy *spy = SpyOn(rig);
    SendCommandArgs(rig, 258, 0u);
    SendCommandArgs(rig, 36);
    Frame(rig, 1.0f);
    EXPECT_NEAR(rig->currentTime, 1.0f, 1e-6f);
    // Half way: the head turned 45 degrees and rose to 11.
    EXPECT_NEAR(head->position.y, 11.0f, 1e-3f);
    EXPECT_NEAR(head->rotation.z, std::sin(3.14159265f / 8.0f), 1e-3f);
    EXPECT_NEAR(spine->position.y, 10.0f, 1e-6f);
    Frame(rig, 1.5f);
    EXPECT_EQ(rig->currentTime, 2.0f - 1e-9f);
    EXPECT_EQ(rig->state & kActorEnabled, 0u);
    EXPECT_EQ(spy->Count(268), 1u);
    EXPECT_NEAR(head->position.y, 12.0f, 1e-3f);
    Frame(rig, 0.5f);
    EXPECT_EQ(spy->Count(268), 1u);
}

TEST_F(AnimationTest, LoopsAndTurns) {
    AnimationActor *rig = NewRig();
    CommandSpy *spy = SpyOn(rig);
    SendCommandArgs(rig, 262);
    Frame(rig, 2.5f);
    EXPECT_NEAR(rig->currentTime, 0.5f, 1e-6f);
    EXPECT_EQ(spy->Count(267), 1u);
    Frame(rig, 5.0f);
    EXPECT_EQ(rig->currentTime, 0.0f);
    EXPECT_EQ(spy->Count(267), 2u);

    SendCommandArgs(rig, 258, 5u);
    Frame(rig, 2.5f);
    EXPECT_EQ(rig->direction, 1u);
    EXPECT_EQ(spy->Count(269), 1u);
    Frame(rig, 1.0f);
    EXPECT_NEAR(rig->currentTime, 1.0f, 1e-6f);
    Frame(rig, 1.5f);
    EXPECT_EQ(rig->direction, 0u);
    EXPECT_EQ(rig->currentTime, 1e-9f);
    EXPECT_EQ(spy->Count(267), 3u);
    Frame(rig, 0.5f);
    EXPECT_NEAR(rig->currentTime, 0.5f, 1e-6f);

    // Backward Once from the end down to 0.
    SendCommandArgs(rig, 258, 1u);
    Frame(rig, 1.5f);
    EXPECT_NEAR(rig->currentTime, 0.5f, 1e-6f);
    Frame(rig, 1.0f);
    EXPECT_EQ(rig->currentTime, 0.0f);
    EXPECT_EQ(rig->state & kActorEnabled, 0u);
    EXPECT_EQ(spy->Count(268), 1u);
    // Stopped, the clock stands.
    Frame(rig, 1.0f);
    EXPECT_EQ(rig->currentTime, 0.0f);
}

TEST_F(AnimationTest, ChildrenThatGoAndReleasedMotions) {
    RegisterMotionLoader();
    AnimationActor *rig = NewRig();
    SendCommandArgs(rig, 262);
    SendCommandArgs(rig, 226);
    Frame(rig, 0.5f);
    ASSERT_EQ(DeleteActor(spine), 1);
    ASSERT_EQ(rig->targets.nodes.size(), 1u);
    Frame(rig, 0.5f);
    EXPECT_NEAR(head->position.y, 11.0f, 1e-3f);
    // Released, the motion's tracks are gone until it loads again.
    SendCommandArgs(rig, 227);
    EXPECT_TRUE(rig->motion->tracks.empty());
    Frame(rig, 0.5f);
    EXPECT_FALSE(rig->motion->tracks.empty());
    EXPECT_NEAR(head->position.y, 11.5f, 1e-3f);
}

TEST_F(AnimationTest, AutoCreateMakesChildrenFromTrackNames) {
    auto *rig = dynamic_cast<AnimationActor *>(
        CreateActor(kAnimationClassId, "rig", nullptr, scenery, kId, true));
    rig->motionName = "Obj_Anim";
    EXPECT_EQ(rig->HandleCommand(cmd::animation::AnimationAutoCreate, ParamBlock()), 2);
    auto *box = dynamic_cast<MeshObjectActor *>(FindChildByName(rig, "Obj_Box_01"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->meshIndex, kBoxSlot);
    // Too short for a prefix: a Base child, no resource asked for.
    Actor *shortName = FindChildByName(rig, "Hd");
    ASSERT_NE(shortName, nullptr);
    EXPECT_EQ(shortName->classId, 0u);
    auto *nothing = dynamic_cast<MeshObjectActor *>(FindChildByName(rig, "Obj_Nothing"));
    ASSERT_NE(nothing, nullptr);
    EXPECT_EQ(nothing->meshIndex, kDefaultMeshSlot);
    EXPECT_EQ(rig->targets.nodes.size(), 3u);
    SendCommandArgs(rig, 1764);
    EXPECT_EQ(box->position.y, 2.0f);
    // Again: nothing new.
    rig->HandleCommand(cmd::animation::AnimationAutoCreate, ParamBlock());
    EXPECT_EQ(rig->children.size(), 3u);
}

TEST_F(AnimationTest, FileRecord) {
    AnimationActor *rig = NewRig(false);
    SendCommandArgs(rig, 258, 4u);
    SendCommandArgs(rig, 260, true);
    SendCommandArgs(rig, 265, 0.5f);
    SendCommandArgs(rig, 262);
    rig->currentTime = 0.75f;
    std::vector<std::string> lines;
    rig->DumpClassFields(lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "animation motion \"N_Neutral\" style 4 playonstart 1 speed 0.5 time 0.75 "
                        "direction 1 playing 1");
    const std::string at63 = WriteAtVersion(rig, 63);
    const std::string at64 = WriteAtVersion(rig, 64);
    EXPECT_EQ(at63.size(), at64.size() + 4);
    for (uint32_t version : {63u, 64u}) {
        SCOPED_TRACE(version);
        std::string bytes = version == 63 ? at63 : at64;
        if (version == 63) {
            // The playing word, after the speed: cleared here, read there.
            const size_t word = bytes.size() - 12;
            ASSERT_EQ(bytes.substr(word, 4), std::string("\x01\0\0\0", 4));
            bytes.replace(word, 4, std::string(4, '\0'));
        }
        ASSERT_EQ(DeleteActor(rig), 1);
        ASSERT_EQ(Load(bytes), 1) << system->errorText;
        rig = dynamic_cast<AnimationActor *>(GetActorById(kId));
        ASSERT_NE(rig, nullptr);
        EXPECT_EQ(rig->motionName, "N_Neutral");
        EXPECT_EQ(rig->style, 4u);
        EXPECT_EQ(rig->speed, 0.5f);
        EXPECT_EQ(rig->currentTime, 0.75f);
        EXPECT_EQ(rig->direction, 1u);
        uint32_t onStart = 0;
        rig->HandleCommand(261, ParamBlock(&onStart, 4));
        EXPECT_EQ(onStart, 1u);
        // Before 64 the record's own word decides; from 64 the base record.
        EXPECT_EQ((rig->state & kActorEnabled) != 0, version == 64);
        EXPECT_EQ(rig->motion, nullptr);
        SendCommandArgs(rig, 153);
        EXPECT_EQ(rig->totalTime, 2.0f);
        SendCommandArgs(rig, 262);
    }
}

} // namespace
