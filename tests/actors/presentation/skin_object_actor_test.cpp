// The SkinObject: motion selection on its layer records, the motion step,
// posing, bone sync, the Bip01 output, callbacks and its file record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "actors/presentation/skin_object_actor.h"
#include "base/random.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "library/motion.h"
#include "library/name_table.h"
#include "library/skeleton.h"
#include "presentation_fixture.h"
#include "support/skin_items.h"

namespace {

using namespace presentationtest;
using namespace skintest;

constexpr int32_t kId = 600;

class SkinObjectTest : public PresentationTest {
  protected:
    void SetUp() override {
        PresentationTest::SetUp();
        ASSERT_TRUE(LoadSkinItems(library));
    }

    SkinObjectActor *NewSkin(const char *name = "skin", Actor *parent = nullptr, int32_t id = -1) {
        auto *skin = dynamic_cast<SkinObjectActor *>(CreateActor(
            kSkinObjectClassId, name, nullptr, parent != nullptr ? parent : scenery, id, true));
        LibraryItem *worm = library.GetItemById(kWormSlot);
        skin->HandleCommand(cmd::mesh_object::SetMesh, ParamBlock(&worm, sizeof(worm)));
        return skin;
    }

    SkinMotion &AddMotion(SkinObjectActor *skin, const char *name, float blend = 0.0f,
                          uint8_t style = kSkinLoop) {
        SkinMotion m;
        m.item = dynamic_cast<MotionItem *>(library.FindItemByName(name, ItemClass::Motion));
        m.index = ResourceLibrary::GetItemIndex(m.item);
        m.name = name;
        m.length = GetMotionLength(m.item);
        m.blendTime = blend;
        m.playStyle = style;
        skin->motions.push_back(m);
        return skin->motions.back();
    }

    static int Play(SkinObjectActor *skin, const char *name) {
        return SendCommandArgs(skin, cmd::skin_object::SetMotion, std::string(name));
    }
    static std::string Playing(SkinObjectActor *skin, uint32_t record = 0) {
        const SkinLayer &layer = skin->layers[record];
        return layer.motion < 0 ? "" : skin->motions[static_cast<size_t>(layer.motion)].name;
    }
    // One frame and a motion step.
    void StepSkin(SkinObjectActor *skin, float dt) {
        Step(dt);
        skin->HandleCommand(cmd::base::Update, ParamBlock());
    }
};

TEST_F(SkinObjectTest, DescriptorAndDefaults) {
    const ActorClassDescriptor &d = ClassDescriptorTable[kSkinObjectClassId];
    EXPECT_EQ(d.name, "SkinObject");
    EXPECT_EQ(d.lineage, (std::vector<uint32_t>{0, kSkinObjectClassId}));
    ASSERT_EQ(d.items.size(), 21u);
    EXPECT_EQ(d.items[2].label, "Motion:");
    EXPECT_EQ(d.items[13].label, "Speed:|%|");
    EXPECT_EQ(d.items[13].displayScale, 100.0f);
    EXPECT_EQ(d.items[20].setCommand, cmd::skin_object::ResyncBones);

    SkinObjectActor *skin = NewSkin();
    EXPECT_EQ(skin->classId, kSkinObjectClassId);
    for (uint32_t k = 0; k < kSkinLayerCount; ++k) {
        EXPECT_EQ(skin->layers[k].Number(), k);
        EXPECT_EQ(skin->layers[k].requested, "N_Neutral");
        EXPECT_EQ(skin->layers[k].time, 999.0f);
    }
    SendCommandArgs(skin, cmd::skin_object::AddMotion);
    ASSERT_EQ(skin->motions.size(), 1u);
    EXPECT_EQ(skin->motions[0].name, "Unassigned Motion");
    EXPECT_EQ(skin->motions[0].layer, kNoLayer);
}

TEST_F(SkinObjectTest, SelectedRecordCommandsAndLayerLimits) {
    SkinObjectActor *skin = NewSkin();
    AddMotion(skin, "N_Walk");
    AddMotion(skin, "N_Run");
    // Nothing selected: the record commands answer 0.
    EXPECT_EQ(SendCommandArgs(skin, cmd::skin_object::SetMotionLayer, 3u), 0);
    EXPECT_EQ(SendCommandArgs(skin, cmd::skin_object::DeleteMotion), 0);
    EXPECT_EQ(SendCommandArgs(skin, cmd::skin_object::SetMotionStringList_1095,
                              std::string("N_Run")), 1);
    EXPECT_EQ(skin->selected, 1);
    EXPECT_EQ(Playing(skin), "N_Run");
    SendCommandArgs(skin, cmd::skin_object::SetMotionLayer, 11u);
    uint32_t layer = 0;
    skin->HandleCommand(cmd::skin_object::GetMotionLayer, ParamBlock(&layer, sizeof(layer)));
    EXPECT_EQ(layer, 255u);
    SendCommandArgs(skin, cmd::skin_object::SetMotionLayer, 10u);
    skin->HandleCommand(cmd::skin_object::GetMotionLayer, ParamBlock(&layer, sizeof(layer)));
    EXPECT_EQ(layer, 10u);
    float blend = 0.25f;
    EXPECT_EQ(skin->HandleCommand(cmd::skin_object::SetMotionBlendTime, ParamBlock(&blend, 4)), 1);
    EXPECT_EQ(skin->motions[1].blendTime, 0.25f);
    uint32_t style = 2;
    skin->HandleCommand(cmd::skin_object::SetMotionPlayStyle, ParamBlock(&style, 4));
    EXPECT_EQ(skin->motions[1].playStyle, 2);

    // Records 0-10 only: above, nothing changes.
    EXPECT_EQ(SendCommandArgs(skin, cmd::skin_object::SetCurrentLayer, 11u), 0);
    EXPECT_EQ(skin->currentLayer, 0u);
    EXPECT_EQ(SendCommandArgs(skin, cmd::skin_object::BlendMotion, std::string("N_Walk"), 11u), 0);
    EXPECT_EQ(Playing(skin), "N_Run");
    EXPECT_EQ(SendCommandArgs(skin, cmd::skin_object::BlendMotion, std::string("N_Walk"), 4u), 1);
    EXPECT_EQ(Playing(skin, 4), "N_Walk");
    EXPECT_EQ(skin->currentLayer, 0u);

    std::vector<std::string> names;
    void *out = &names;
    skin->HandleCommand(cmd::skin_object::SetMotionStringList_1096, ParamBlock(&out, sizeof(out)));
    EXPECT_EQ(names, (std::vector<std::string>{"N_Walk", "N_Run"}));
}

TEST_F(SkinObjectTest, DeletingRecordsKeepsTheLayersOnTheirMotions) {
    SkinObjectActor *skin = NewSkin();
    AddMotion(skin, "N_Walk");
    AddMotion(skin, "N_Run");
    AddMotion(skin, "N_Neutral");
    Play(skin, "N_Neutral");
    SendCommandArgs(skin, cmd::skin_object::BlendMotion, std::string("N_Run"), 2u);
    skin->selected = 0;
    EXPECT_EQ(SendCommandArgs(skin, cmd::skin_object::DeleteMotion), 1);
    EXPECT_EQ(Playing(skin), "N_Neutral");
    EXPECT_EQ(Playing(skin, 2), "N_Run");
    skin->selected = 0; // N_Run
    SendCommandArgs(skin, cmd::skin_object::DeleteMotion);
    EXPECT_EQ(skin->layers[2].motion, -1);
    EXPECT_EQ(Playing(skin), "N_Neutral");
    // Erasing the list empties every record.
    SendCommandArgs(skin, cmd::skin_object::BlendMotion, std::string("N_Neutral"), 3u);
    skin->HandleCommand(cmd::skin_object::DeleteAllMotions, ParamBlock());
    EXPECT_TRUE(skin->motions.empty());
    for (const SkinLayer &layer : skin->layers) {
        EXPECT_EQ(layer.motion, -1);
    }
    // So does an auto-assignment.
    AddMotion(skin, "N_Walk");
    Play(skin, "N_Walk");
    SendCommandArgs(skin, cmd::skin_object::BlendMotion, std::string("N_Walk"), 5u);
    SendCommandArgs(skin, cmd::skin_object::SetAutoAssignName, std::string("N_D"));
    SendCommandArgs(skin, cmd::skin_object::AutoAssignMotions);
    ASSERT_EQ(skin->motions.size(), 2u);
    EXPECT_EQ(skin->motions[0].name, "N_Die0");
    EXPECT_EQ(skin->motions[0].blendTime, 0.1f);
    EXPECT_EQ(skin->motions[0].playStyle, kSkinLoop);
    EXPECT_EQ(skin->motions[1].name, "N_Dead");
    EXPECT_EQ(skin->motions[1].playStyle, kSkinOnceThenHold);
    for (const SkinLayer &layer : skin->layers) {
        EXPECT_EQ(layer.motion, -1);
    }
}

// An auto-assignment answers 1 when it took its motions and 0 when they
// cannot be acquired: without a library the list is only emptied.
TEST_F(SkinObjectTest, AutoAssignAnswersWhetherTheMotionsWereTaken) {
    SkinObjectActor *skin = NewSkin();
    SendCommandArgs(skin, cmd::skin_object::SetAutoAssignName, std::string("N_D"));
    EXPECT_EQ(SendCommandArgs(skin, cmd::skin_object::AutoAssignMotions), 1);
    EXPECT_EQ(skin->motions.size(), 2u);
    ReplaceLibraryForTests(nullptr);
    const int answer = SendCommandArgs(skin, cmd::skin_object::AutoAssignMotions);
    ReplaceLibraryForTests(&library);
    EXPECT_EQ(answer, 0);
    EXPECT_TRUE(skin->motions.empty());
}

TEST_F(SkinObjectTest, RestartRaisesTheLoopEventOnTheCallbackActor) {
    Actor *holder = Make<Actor>(0, "holder");
    CommandSpy *parentSpy = SpyOn(holder);
    SkinObjectActor *skin = NewSkin("skin", holder);
    AddMotion(skin, "N_Walk");
    AddMotion(skin, "N_Run");
    SendCommandArgs(skin, cmd::skin_object::CreateBoneSyncActors_1137);
    Actor *root = FindChildByName(skin, "Activate0");
    ASSERT_NE(root, nullptr);
    Actor *walk = FindChildByName(root, "N_Walk");
    Actor *run = FindChildByName(root, "N_Run");
    ASSERT_NE(walk, nullptr);
    ASSERT_NE(run, nullptr);
    CommandSpy *walkSpy = SpyOn(walk);
    CommandSpy *runSpy = SpyOn(run);
    SendCommandArgs(skin, cmd::skin_object::ResyncBones);
    EXPECT_NE(skin->skinFlags & kSkinSelfCallbacks, 0u);

    Play(skin, "N_Walk");
    EXPECT_EQ(walkSpy->Count(208), 1u);
    EXPECT_EQ(parentSpy->Count(cmd::skin_object::CallbackMotionSet), 1u);
    skin->layers[0].time = 0.5f;
    Play(skin, "N_Walk");
    EXPECT_EQ(skin->layers[0].time, 0.0f);
    EXPECT_EQ(walkSpy->Count(cmd::base::OnAnimationLoop), 1u);
    EXPECT_EQ(parentSpy->Count(cmd::skin_object::CallbackMotionSet), 1u);
    // A change: the old callback actor stops, the new one starts.
    Play(skin, "N_Run");
    EXPECT_EQ(walkSpy->Count(209), 1u);
    EXPECT_EQ(runSpy->Count(208), 1u);
    // After "Kill" neither kind of callback.
    SendCommandArgs(skin, 213);
    Play(skin, "N_Run");
    Play(skin, "N_Walk");
    EXPECT_EQ(runSpy->Count(cmd::base::OnAnimationLoop), 0u);
    EXPECT_EQ(walkSpy->Count(208), 1u);
}

TEST_F(SkinObjectTest, VariantsAreChosenAtRandomWithoutGaps) {
    SkinObjectActor *skin = NewSkin();
    for (const char *name : {"N_Walk", "N_Walk_00", "N_Walk_01", "N_Walk_02", "N_Walk_04"}) {
        AddMotion(skin, name);
    }
    AddMotion(skin, "N_Run");
    SeedRand(7);
    std::map<std::string, int> seen;
    for (int i = 0; i < 300; ++i) {
        Play(skin, "N_Run");
        Play(skin, "N_Walk");
        ++seen[Playing(skin)];
        EXPECT_EQ(skin->layers[0].requested, "N_Walk");
    }
    EXPECT_GT(seen["N_Walk"], 50);
    EXPECT_GT(seen["N_Walk_01"], 50);
    EXPECT_GT(seen["N_Walk_02"], 50);
    EXPECT_EQ(seen.count("N_Walk_00"), 0u);
    EXPECT_EQ(seen.count("N_Walk_04"), 0u);
}

TEST_F(SkinObjectTest, TransitionMotionHandsOverAtItsEnd) {
    SkinObjectActor *skin = NewSkin();
    AddMotion(skin, "N_Walk");
    AddMotion(skin, "N_Walk_2_N_Run");
    AddMotion(skin, "N_Run");
    Play(skin, "N_Walk");
    EXPECT_EQ(Play(skin, "N_Run"), 1);
    EXPECT_EQ(Playing(skin), "N_Walk_2_N_Run");
    EXPECT_NE(skin->layers[0].flags & kLayerTransition, 0u);
    EXPECT_EQ(skin->layers[0].next, "N_Run");
    uint32_t playing = 0;
    skin->HandleCommand(cmd::skin_object::IsTransitionPlaying, ParamBlock(&playing, 4));
    EXPECT_EQ(playing, 1u);
    StepSkin(skin, 0.1f);
    StepSkin(skin, 0.3f);
    EXPECT_EQ(Playing(skin), "N_Walk_2_N_Run");
    StepSkin(skin, 0.2f);
    EXPECT_EQ(Playing(skin), "N_Run");
    EXPECT_EQ(skin->layers[0].flags & kLayerTransition, 0u);
    EXPECT_EQ(skin->layers[0].next, "");
}

TEST_F(SkinObjectTest, BlendTimeFadesTheOldMotionOnTheNextRecord) {
    SkinObjectActor *skin = NewSkin();
    AddMotion(skin, "N_Neutral");
    AddMotion(skin, "N_Run", 0.3f);
    AddMotion(skin, "N_Walk");
    Play(skin, "N_Neutral");
    // Blend time 0: at once, nothing on record 1.
    Play(skin, "N_Walk");
    EXPECT_EQ(skin->layers[1].mask, 0u);
    EXPECT_EQ(skin->skinFlags & kSkinLayersInUse, 0u);
    Play(skin, "N_Neutral");
    StepSkin(skin, 0.05f);
    Play(skin, "N_Run");
    EXPECT_EQ(Playing(skin), "N_Run");
    EXPECT_EQ(Playing(skin, 1), "N_Neutral");
    EXPECT_EQ(skin->layers[1].Number(), 1u);
    EXPECT_EQ(skin->layers[1].BlendMode(), 1u);
    EXPECT_EQ(skin->layers[1].mask, 255u);
    EXPECT_EQ(skin->layers[1].weight, 1.0f);
    EXPECT_NE(skin->layers[1].flags & kLayerFading, 0u);
    EXPECT_NE(skin->skinFlags & kSkinLayersInUse, 0u);
    StepSkin(skin, 0.15f);
    EXPECT_NEAR(skin->layers[1].weight, 0.5f, 1e-5f);
    EXPECT_NEAR(skin->layers[0].time, 0.15f, 1e-5f);
    // Half faded: the run's velocity blends with the still motion's.
    Vector3 half{};
    skin->HandleCommand(cmd::character::GetMotionVector, ParamBlock(&half, sizeof(half)));
    EXPECT_NEAR(half.x, 5.0f, 1e-4f);
    skin->HandleCommand(cmd::skin_object::UpdateBones, ParamBlock());
    EXPECT_NE(skin->layers[1].skeletonLayer, nullptr);
    StepSkin(skin, 0.15f);
    EXPECT_EQ(skin->layers[1].weight, 0.0f);
    EXPECT_EQ(skin->layers[1].flags & (kLayerFading | kLayerRamp), 0u);
    // The fading record takes part in the motion vector: 849 blends it out.
    Vector3 v{};
    skin->HandleCommand(cmd::character::GetMotionVector, ParamBlock(&v, sizeof(v)));
    EXPECT_NEAR(v.x, 10.0f, 1e-4f);
}

TEST_F(SkinObjectTest, PlayStylesAtTheEnd) {
    Actor *holder = Make<Actor>(0, "holder");
    CommandSpy *parentSpy = SpyOn(holder);
    SkinObjectActor *skin = NewSkin("skin", holder);
    AddMotion(skin, "N_Neutral");
    AddMotion(skin, "N_Walk", 0.0f, kSkinOnce);
    AddMotion(skin, "N_Run", 0.0f, kSkinOnceThenHold);
    Play(skin, "N_Walk");
    // Once on record 0 runs past its end.
    StepSkin(skin, 0.6f);
    StepSkin(skin, 0.6f);
    EXPECT_EQ(Playing(skin), "N_Walk");
    EXPECT_GT(skin->layers[0].time, 1.19f);
    // On record 2 it empties the record and says "_None".
    SendCommandArgs(skin, cmd::skin_object::CreateBoneSyncActors_1137);
    Actor *slotRoot = CreateActor(0, "Activate2", nullptr, skin, -1, true);
    Actor *walk = CreateActor(0, "N_Walk", nullptr, slotRoot, -1, true);
    CommandSpy *walkSpy = SpyOn(walk);
    SendCommandArgs(skin, cmd::skin_object::SetCurrentLayer, 2u);
    SendCommandArgs(skin, cmd::skin_object::SetLayerMask, 1u);
    Play(skin, "N_Walk");
    SendCommandArgs(skin, cmd::skin_object::ResyncBones);
    SendCommandArgs(skin, cmd::skin_object::SetCurrentLayer, 0u);
    EXPECT_EQ(skin->callbacks[2].current.target, walk);
    StepSkin(skin, 1.1f);
    EXPECT_EQ(skin->layers[2].motion, -1);
    EXPECT_EQ(walkSpy->Count(209), 1u);
    EXPECT_EQ(skin->callbacks[2].current.target, nullptr);
    // OnceThenHold stops at the length.
    Play(skin, "N_Run");
    StepSkin(skin, 1.5f);
    EXPECT_EQ(skin->layers[0].time, 1.0f);
    Vector3 v{1, 1, 1};
    skin->HandleCommand(cmd::character::GetMotionVector, ParamBlock(&v, sizeof(v)));
    EXPECT_EQ(v.x, 0.0f);
    // A loop end tells the parent the record's number.
    Play(skin, "N_Neutral");
    const size_t before = parentSpy->Count(cmd::skin_object::CallbackSkinLooping);
    StepSkin(skin, 2.1f);
    EXPECT_EQ(parentSpy->Count(cmd::skin_object::CallbackSkinLooping), before + 1);
    EXPECT_EQ(Playing(skin), "N_Neutral");
    EXPECT_EQ(skin->layers[0].time, 0.0f);
}

TEST_F(SkinObjectTest, TimesAndMotionVector) {
    SkinObjectActor *skin = NewSkin();
    AddMotion(skin, "N_Run");
    Play(skin, "N_Run");
    SendCommandArgs(skin, 254, 0.5f);
    EXPECT_EQ(skin->layers[0].time, 0.5f);
    float value = 0.0f;
    EXPECT_EQ(skin->HandleCommand(255, ParamBlock(&value, 4)), 1);
    EXPECT_EQ(value, 0.5f);
    SendCommandArgs(skin, cmd::skin_object::SetMotionSpeed, 2.0f);
    Vector3 v{};
    skin->HandleCommand(cmd::character::GetMotionVector, ParamBlock(&v, sizeof(v)));
    EXPECT_NEAR(v.x, 20.0f, 1e-4f);
    // A motion of length 0 answers 0, not a division by zero.
    skin->motions[0].length = 0.0f;
    value = -1.0f;
    EXPECT_EQ(skin->HandleCommand(255, ParamBlock(&value, 4)), 1);
    EXPECT_EQ(value, 0.0f);
}

TEST_F(SkinObjectTest, OneStepPoseAndSkinningPerFrame) {
    SkinObjectActor *skin = NewSkin();
    AddMotion(skin, "N_Neutral");
    SendCommandArgs(skin, 36);
    Step(0.25f);
    // Two draws and a shadow build.
    skin->Slot5();
    skin->Slot5();
    skin->Slot5();
    EXPECT_EQ(Playing(skin), "N_Neutral");
    EXPECT_NEAR(skin->layers[0].time, 0.255f, 1e-5f);
    Step(0.25f);
    skin->Slot5();
    skin->Slot5();
    EXPECT_NEAR(skin->layers[0].time, 0.505f, 1e-5f);
    EXPECT_EQ(skin->poseStamp, FrameCounter);
    EXPECT_EQ(skin->skinStamp, FrameCounter);
    ASSERT_NE(skin->boneMatrices, nullptr);
    EXPECT_EQ(skin->boneMatrices->Count(), 3u);
    // Undrawn and without a Bip01 output it stands still.
    Step(0.25f);
    skin->Update();
    EXPECT_NEAR(skin->layers[0].time, 0.505f, 1e-5f);
}

TEST_F(SkinObjectTest, BoneSyncActorsFollowTheirBones) {
    SkinObjectActor *skin = NewSkin();
    AddMotion(skin, "N_Neutral");
    // Without "Bones" the list stays as it is.
    SendCommandArgs(skin, cmd::skin_object::ResyncBones);
    EXPECT_TRUE(skin->boneSync.empty());
    EXPECT_EQ(skin->HandleCommand(cmd::skin_object::CreateBoneSyncActors_1136, ParamBlock()), 2);
    Actor *bones = FindChildByName(skin, "Bones");
    ASSERT_NE(bones, nullptr);
    ASSERT_EQ(bones->children.size(), 3u);
    EXPECT_EQ(skin->boneSync.size(), 3u);
    Actor *head = FindChildByName(bones, "Head");
    ASSERT_NE(head, nullptr);
    CreateActor(3, "hat", nullptr, head, -1, true);
    EXPECT_EQ(skin->totalTime, 2.0f);

    Play(skin, "N_Neutral");
    skin->layers[0].time = 1.0f;
    ++FrameCounter;
    skin->HandleCommand(cmd::skin_object::UpdateBones, ParamBlock());
    // The same pose made apart.
    MeshItem *worm = Mesh(kWormSlot);
    Skeleton *reference = CreateSkeleton(worm);
    BoneMatrices *matrices = AllocBoneMatrices(worm);
    ComputeBonePose(reference, skin->motions[0].item, matrices, 1.0f);
    Matrix expected;
    GetBoneMatrix(FindBoneByName(reference, "Head"), &expected);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(head->localMatrix.m[r][c], expected.m[r][c], 1e-4f) << r << c;
        }
    }
    EXPECT_NEAR(head->position.y, 21.0f, 1e-3f);
    FreeBoneMatrices(matrices);
    DestroySkeleton(reference);
    // A bone actor that goes leaves the list.
    DeleteActor(head);
    EXPECT_EQ(skin->boneSync.size(), 2u);
    ++FrameCounter;
    skin->HandleCommand(cmd::skin_object::UpdateBones, ParamBlock());
    // "Bones" made again only where missing.
    EXPECT_EQ(skin->HandleCommand(cmd::skin_object::CreateBoneSyncActors_1136, ParamBlock()), 2);
    EXPECT_EQ(FindChildByName(skin, "Bones")->children.size(), 3u);
}

TEST_F(SkinObjectTest, Bip01OutputFollowsItsTrack) {
    SkinObjectActor *skin = NewSkin();
    AddMotion(skin, "N_Run");
    Actor *output = Make<Actor>(0, "out");
    Play(skin, "N_Run");
    SendCommandArgs(skin, 36);
    SendCommandArgs(skin, cmd::skin_object::SetBip01Output, output);
    Bone *bip = FindBoneByName(skin->skeleton, "Bip01");
    ASSERT_NE(bip, nullptr);
    EXPECT_EQ(bip->layers[3].mode, 1u);
    EXPECT_EQ(bip->layers[3].weight, 1.0f);
    bip->layers[3].weight = 0.5f;
    // The same actor again changes nothing.
    SendCommandArgs(skin, cmd::skin_object::SetBip01Output, output);
    EXPECT_EQ(bip->layers[3].weight, 0.5f);
    Actor *answer = nullptr;
    skin->HandleCommand(cmd::skin_object::GetBip01Output, ParamBlock(&answer, sizeof(answer)));
    EXPECT_EQ(answer, output);
    // Its Update steps the motion even undrawn.
    Step(0.5f);
    skin->Update();
    EXPECT_NEAR(skin->layers[0].time, 0.505f, 1e-5f);
    EXPECT_NEAR(output->position.x, 5.05f, 1e-3f);
    DeleteActor(output);
    EXPECT_EQ(skin->bip01.target, nullptr);
}

TEST_F(SkinObjectTest, ANewMeshGetsASkeletonOfItsOwnBones) {
    SkinObjectActor *skin = NewSkin();
    AddMotion(skin, "N_Neutral");
    ASSERT_EQ(skin->HandleCommand(cmd::skin_object::CreateBoneSyncActors_1136, ParamBlock()), 2);
    ASSERT_EQ(skin->boneSync.size(), 3u);
    SendCommandArgs(skin, cmd::skin_object::SetBip01Output, Make<Actor>(0, "out"));
    Play(skin, "N_Neutral");
    ++FrameCounter;
    skin->HandleCommand(cmd::skin_object::UpdateBones, ParamBlock());
    ASSERT_EQ(GetSkeletonBoneCount(skin->skeleton), 3u);
    // A mesh of one bone, "Bip01", whose rest place differs from the worm's.
    MeshItem *box = Mesh(kBoxSlot);
    auto bone = std::make_unique<Bone>();
    bone->nameId = GetNameTable().FindOrAdd("Bip01");
    bone->offset.m[3][1] = -5.0f;
    box->bones.push_back(std::move(bone));
    auto syncedBone = [skin](const char *name) -> Bone * {
        for (const auto &entry : skin->boneSync) {
            if (entry->link.target != nullptr && entry->link.target->name == name) {
                return entry->bone;
            }
        }
        return nullptr;
    };
    LibraryItem *item = box;
    skin->HandleCommand(cmd::mesh_object::SetMesh, ParamBlock(&item, sizeof(item)));
    EXPECT_EQ(GetSkeletonBoneCount(skin->skeleton), 1u);
    Bone *bip = GetSkeletonBone(skin->skeleton, 0);
    ASSERT_NE(bip, nullptr);
    EXPECT_EQ(FindBoneByName(skin->skeleton, "Head"), nullptr);
    EXPECT_EQ(std::tuple(bip->layers[3].mode, bip->layers[3].weight), std::tuple(1u, 1.0f));
    ASSERT_EQ(skin->boneSync.size(), 3u);
    EXPECT_EQ(syncedBone("Bip01"), bip);
    EXPECT_EQ(syncedBone("Head"), nullptr);
    // Posed with its own bone: Bip01 held at the root by the output's
    // layer, its matrix is the new bone's rest offset.
    ++FrameCounter;
    skin->HandleCommand(cmd::skin_object::UpdateBones, ParamBlock());
    ASSERT_NE(skin->boneMatrices, nullptr);
    ASSERT_EQ(skin->boneMatrices->Count(), 1u);
    EXPECT_NEAR(skin->boneMatrices->matrices[0].m[3][1], -5.0f, 1e-5f);
    // Back on the worm, every bone-sync actor has its bone again.
    LibraryItem *worm = library.GetItemById(kWormSlot);
    skin->HandleCommand(cmd::mesh_object::SetMesh, ParamBlock(&worm, sizeof(worm)));
    ASSERT_EQ(GetSkeletonBoneCount(skin->skeleton), 3u);
    EXPECT_EQ(syncedBone("Head"), FindBoneByName(skin->skeleton, "Head"));
    EXPECT_NE(syncedBone("Head"), nullptr);
    EXPECT_EQ(FindBoneByName(skin->skeleton, "Bip01")->layers[3].mode, 1u);
}

TEST_F(SkinObjectTest, SlaveSkinsFindTheirMaster) {
    SkinObjectActor *master = NewSkin("master");
    AddMotion(master, "N_Neutral");
    SkinObjectActor *slave = NewSkin("slave", master);
    SendCommandArgs(slave, cmd::skin_object::SetSkinSlave, true);
    SendCommandArgs(slave, 153);
    EXPECT_EQ(slave->master.target, master);
    master->Slot5();
    Step(0.1f);
    slave->Slot5();
    EXPECT_EQ(slave->boneMatrices, nullptr);
    EXPECT_EQ(slave->poseStamp, 0xFFFFFFFFu);
    // A slave without a master skins with identity matrices of its own.
    SkinObjectActor *alone = NewSkin("alone");
    SendCommandArgs(alone, cmd::skin_object::SetSkinSlave, true);
    SendCommandArgs(alone, 153);
    alone->Slot5();
    ASSERT_NE(alone->boneMatrices, nullptr);
    EXPECT_EQ(alone->boneMatrices->matrices[1].m[3][1], 0.0f);
    DeleteActor(master);
}

TEST_F(SkinObjectTest, ReleasedMotionsAreLoadedAgainForThePose) {
    RegisterMotionLoader();
    SkinObjectActor *skin = NewSkin();
    AddMotion(skin, "N_Neutral");
    AddMotion(skin, "N_Walk", 0.5f);
    Play(skin, "N_Neutral");
    SendCommandArgs(skin, 226);
    Play(skin, "N_Walk");
    SendCommandArgs(skin, 227);
    EXPECT_TRUE(skin->motions[0].item->tracks.empty());
    ++FrameCounter;
    skin->HandleCommand(cmd::skin_object::UpdateBones, ParamBlock());
    EXPECT_FALSE(skin->motions[0].item->tracks.empty());
}

TEST_F(SkinObjectTest, CommandsAnswerAndRoundTrip) {
    SkinObjectActor *skin = NewSkin();
    AddMotion(skin, "N_Walk");
    AddMotion(skin, "N_Neutral");
    // "Set Motion H" replaces the item of the record the current layer plays.
    LibraryItem *run = library.GetItemById(kRunSlot);
    EXPECT_EQ(skin->HandleCommand(cmd::skin_object::SetMotionH, ParamBlock(&run, sizeof(run))), 0);
    Play(skin, "N_Walk");
    EXPECT_EQ(skin->HandleCommand(cmd::skin_object::SetMotionH, ParamBlock(&run, sizeof(run))), 1);
    EXPECT_EQ(skin->motions[0].name, "N_Run");
    EXPECT_EQ(skin->motions[0].index, static_cast<int32_t>(kRunSlot));
    LibraryItem *answer = nullptr;
    skin->HandleCommand(cmd::skin_object::GetMotionH, ParamBlock(&answer, sizeof(answer)));
    EXPECT_EQ(answer, run);
    // The selected record's name and priority.
    skin->selected = 1;
    SendCommandArgs(skin, cmd::skin_object::SetMotionName, std::string("Idle"));
    char name[32] = {};
    skin->HandleCommand(cmd::skin_object::GetMotionName, ParamBlock(name, sizeof(name)));
    EXPECT_STREQ(name, "Idle");
    SendCommandArgs(skin, cmd::skin_object::SetMotionPriority, 0x1234u);
    uint32_t priority = 0;
    skin->HandleCommand(cmd::skin_object::GetMotionPriority, ParamBlock(&priority, 4));
    EXPECT_EQ(priority, 0x34u);
    SendCommandArgs(skin, cmd::skin_object::SetAutoAssignName, std::string("N_W"));
    skin->HandleCommand(cmd::skin_object::GetAutoAssignName, ParamBlock(name, sizeof(name)));
    EXPECT_STREQ(name, "N_W");
    SendCommandArgs(skin, cmd::skin_object::SetSkinSlave, true);
    uint32_t slave = 0;
    skin->HandleCommand(cmd::skin_object::GetSkinSlave, ParamBlock(&slave, 4));
    EXPECT_EQ(slave, 1u);
    SendCommandArgs(skin, cmd::skin_object::SetSkinSlave, false);
    // Clipping sphere: set and read back, and handed to the skinning.
    SendCommandArgs(skin, cmd::skin_object::SetSkinClippingSphere, Vector3{1, 2, 3}, 4.0f);
    struct {
        Vector3 centre;
        float radius;
    } sphere{};
    skin->HandleCommand(cmd::skin_object::GetSkinClippingSphere,
                        ParamBlock(&sphere, sizeof(sphere)));
    EXPECT_EQ(sphere.centre.y, 2.0f);
    EXPECT_EQ(sphere.radius, 4.0f);
    EXPECT_EQ(skin->clipSphere, skin->sphere);
    // "Get Bone" answers the skeleton's bone after the name pointer.
    struct {
        const char *bone;
        Bone *out;
    } query{"Head", nullptr};
    EXPECT_EQ(skin->HandleCommand(cmd::skin_object::GetBone, ParamBlock(&query, sizeof(query))), 1);
    ASSERT_NE(query.out, nullptr);
    EXPECT_EQ(query.out, FindBoneByName(skin->skeleton, "Head"));
    // The destination bone layer is the flags' low byte.
    SendCommandArgs(skin, cmd::skin_object::SetCurrentLayer, 3u);
    SendCommandArgs(skin, cmd::skin_object::SetLayerDestBoneLayer, 2u);
    EXPECT_EQ(skin->layers[3].BoneLayer(), 2u);
    EXPECT_EQ(skin->layers[3].Number(), 3u);
    SendCommandArgs(skin, cmd::skin_object::SetLayerBlendValue, 0.25f);
    EXPECT_EQ(skin->layers[3].weight, 0.25f);
    SendCommandArgs(skin, cmd::skin_object::LerpLayerBlendValue, 0.5f, 0.75f);
    EXPECT_NE(skin->layers[3].flags & kLayerRamp, 0u);
    EXPECT_EQ(skin->layers[3].rate, 1.0f);
    SendCommandArgs(skin, cmd::skin_object::SetCurrentLayer, 0u);
    // Record 0 takes no blend value.
    SendCommandArgs(skin, cmd::skin_object::SetLayerBlendValue, 0.25f);
    EXPECT_EQ(skin->layers[0].weight, 1.0f);
    // Times of the current layer.
    SendCommandArgs(skin, 251, 0.5f);
    EXPECT_EQ(skin->layers[0].time, 0.5f);
    float time = 0.0f;
    skin->HandleCommand(252, ParamBlock(&time, 4));
    EXPECT_EQ(time, 0.5f);
    // Start and "Set Visible" put the step clock just behind the actor's.
    Step(0.5f);
    SendCommandArgs(skin, 456, true);
    EXPECT_NEAR(skin->lastStepTime, skin->timeRecord->time - 0.005f, 1e-6f);
    // Resources: loaded once, released once.
    SendCommandArgs(skin, 226);
    EXPECT_NE(skin->skinFlags & kSkinResourcesLoaded, 0u);
    SendCommandArgs(skin, 227);
    EXPECT_EQ(skin->skinFlags & kSkinResourcesLoaded, 0u);
    // A new mesh frees the bone matrices.
    skin->Slot5();
    EXPECT_NE(skin->boneMatrices, nullptr);
    LibraryItem *worm = library.GetItemById(kWormSlot);
    skin->HandleCommand(cmd::mesh_object::SetMesh, ParamBlock(&worm, sizeof(worm)));
    EXPECT_EQ(skin->boneMatrices, nullptr);
}

TEST_F(SkinObjectTest, CreateCopiesTheListsFromItsTemplate) {
    SkinObjectActor *source = NewSkin("source");
    AddMotion(source, "N_Walk", 0.2f);
    AddMotion(source, "N_Neutral");
    Play(source, "N_Walk");
    source->autoAssignName = "N_";
    source->Slot5();
    auto *copy = dynamic_cast<SkinObjectActor *>(
        CreateActor(kSkinObjectClassId, "copy", source, scenery, -1, true));
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->motions.size(), 2u);
    EXPECT_EQ(copy->motions[0].name, "N_Walk");
    EXPECT_EQ(copy->motions[0].blendTime, 0.2f);
    EXPECT_EQ(copy->layers[0].motion, 0);
    EXPECT_EQ(copy->autoAssignName, "N_");
    EXPECT_EQ(copy->boneMatrices, nullptr);
    EXPECT_EQ(copy->skeleton, nullptr);
    EXPECT_NE(copy->skinFlags & kSkinResourcesLoaded, 0u); // loaded again for itself
    copy->Slot5();
    DeleteActor(source);
    ++FrameCounter;
    copy->HandleCommand(cmd::skin_object::UpdateBones, ParamBlock());
}

} // namespace

namespace {

class SkinObjectFileTest : public SkinObjectTest {
  protected:
    SkinObjectActor *Prepared() {
        SkinObjectActor *skin = NewSkin("s", nullptr, kId);
        AddMotion(skin, "N_Die0");
        AddMotion(skin, "N_Dead");
        AddMotion(skin, "N_BL_Wave");
        SkinMotion &walk = AddMotion(skin, "N_Walk", 0.4f, kSkinOnce);
        walk.layer = 3;
        walk.priority = 7;
        walk.extra = 9;
        Play(skin, "N_Walk");
        SendCommandArgs(skin, cmd::skin_object::SetCurrentLayer, 2u);
        SendCommandArgs(skin, cmd::skin_object::SetLayerMask, 4u);
        Play(skin, "N_Dead");
        SendCommandArgs(skin, cmd::skin_object::SetMotionSpeed, 0.5f);
        SendCommandArgs(skin, cmd::skin_object::SetCurrentLayer, 0u);
        return skin;
    }
    SkinObjectActor *Reload(Actor *actor, const std::string &bytes) {
        EXPECT_EQ(DeleteActor(actor), 1);
        EXPECT_EQ(Load(bytes), 1) << system->errorText;
        Actor *back = GetActorById(kId);
        if (back != nullptr) {
            back->HandleCommand(153, ParamBlock());
        }
        return dynamic_cast<SkinObjectActor *>(back);
    }
    // The offset of the skin's motion count in a saved file.
    static size_t MotionCountAt(const std::string &bytes, uint32_t count, uint32_t firstIndex) {
        const uint32_t words[4] = {0, 0, count, firstIndex};
        const std::string pattern(reinterpret_cast<const char *>(words), sizeof(words));
        const size_t at = bytes.rfind(pattern);
        return at == std::string::npos ? at : at + 8;
    }
};

TEST_F(SkinObjectFileTest, CurrentVersionRoundTrips) {
    SkinObjectActor *skin = Prepared();
    const std::string bytes = Save(kId, kId + 1);
    SkinObjectActor *back = Reload(skin, bytes);
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->motions.size(), 4u);
    const SkinMotion &walk = back->motions[3];
    EXPECT_EQ(walk.name, "N_Walk");
    EXPECT_EQ(walk.item, library.GetItemById(kWalkSlot));
    EXPECT_EQ(walk.blendTime, 0.4f);
    EXPECT_EQ(walk.layer, 3);
    EXPECT_EQ(walk.priority, 7);
    EXPECT_EQ(walk.extra, 9);
    EXPECT_EQ(walk.playStyle, kSkinOnce);
    EXPECT_EQ(back->layers[0].motion, 3);
    EXPECT_EQ(back->layers[0].requested, "N_Walk");
    EXPECT_EQ(back->layers[2].mask, 4u);
    EXPECT_EQ(back->layers[2].motion, 1);
    EXPECT_EQ(back->layers[2].speed, 0.5f);
    // Dumped with a line per motion record and per saved layer record.
    std::vector<std::string> lines;
    back->DumpClassFields(lines);
    ASSERT_EQ(lines.size(), 3u + 4u + 11u);
    EXPECT_EQ(lines[2], "skin slave 0 motions 4 layers 11");
    EXPECT_EQ(lines[6],
              "motion 3 index 51 name \"N_Walk\" blend 0.4 priority 7 layer 3 style 1 extra 9");
    EXPECT_EQ(lines[9], "layer 2 mask 4 motion 1 requested \"N_Dead\" next \"\" speed 0.5 time 0 "
                        "transition 0");
}

TEST_F(SkinObjectFileTest, OlderVersionsAndTheNameRules) {
    struct Case {
        uint32_t version;
        const char *walkName; // record 3's name after the load
        uint8_t walkLayer;
        float dieBlend;
        uint8_t dieStyle, deadStyle, waveStyle;
        int32_t layer0; // record 0's motion
    };
    const Case cases[] = {
        {36, "N_Walk", 255, 0.1f, 2, 2, 1, -1},  // names from the library, no layers
        {37, "renamed", 255, 0.1f, 2, 2, 1, -1}, // names from the file
        {41, "renamed", 255, 0.1f, 2, 2, 1, -1},
        {42, "renamed", 255, 0.1f, 2, 2, 1, 3}, // layers from here on
        {66, "renamed", 255, 0.1f, 2, 2, 1, 3},
        {67, "renamed", 3, 0.1f, 2, 0, 0, 3}, // "Die" alone
        {70, "renamed", 3, 0.0f, 0, 0, 0, 3}, // stored as they are
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.version);
        SkinObjectActor *skin = Prepared();
        skin->motions[3].name = "renamed";
        const std::string bytes = WriteAtVersion(skin, c.version);
        SkinObjectActor *back = Reload(skin, bytes);
        ASSERT_NE(back, nullptr);
        ASSERT_EQ(back->motions.size(), 4u);
        EXPECT_EQ(back->motions[3].name, c.walkName);
        EXPECT_EQ(back->motions[3].layer, c.walkLayer);
        EXPECT_EQ(back->motions[0].blendTime, c.dieBlend);
        EXPECT_EQ(back->motions[0].playStyle, c.dieStyle);
        EXPECT_EQ(back->motions[1].playStyle, c.deadStyle);
        EXPECT_EQ(back->motions[2].playStyle, c.waveStyle);
        EXPECT_EQ(back->layers[0].motion, c.layer0);
        EXPECT_EQ(back->motions[3].item, library.GetItemById(kWalkSlot));
        ASSERT_EQ(DeleteActor(back), 1);
    }
}

TEST_F(SkinObjectFileTest, DamagedRecordsAreRefused) {
    // A layer naming a record the list does not have names none.
    SkinObjectActor *skin = Prepared();
    skin->layers[2].motion = 9;
    SkinObjectActor *back = Reload(skin, Save(kId, kId + 1));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->layers[2].motion, -1);
    EXPECT_EQ(back->layers[0].motion, 3);

    const std::string bytes = Save(kId, kId + 1);
    const size_t at = MotionCountAt(bytes, 4, kDieSlot);
    ASSERT_NE(at, std::string::npos);
    for (uint32_t count : {0x10000000u, 0xFFFFFFFFu}) {
        std::string damaged = bytes;
        std::memcpy(damaged.data() + at, &count, 4);
        EXPECT_EQ(Load(damaged), 0);
        EXPECT_STREQ(system->errorText, "Serialize Error");
    }
    // The layer count: after the last motion record's name and a spare word.
    const std::string lastName = std::string("\x06\0\0\0", 4) + "N_Walk";
    const size_t name = bytes.find(lastName);
    ASSERT_NE(name, std::string::npos);
    const size_t layerCount = name + lastName.size() + 4;
    uint32_t stored = 0;
    std::memcpy(&stored, bytes.data() + layerCount, 4);
    ASSERT_EQ(stored, 11u);
    std::string damaged = bytes;
    const uint32_t huge = 0x40000000u;
    std::memcpy(damaged.data() + layerCount, &huge, 4);
    EXPECT_EQ(Load(damaged), 0);
    // Records beyond the eleventh are read and dropped: twelve records of
    // mask 0 where eleven were.
    const uint32_t twelve = 12;
    std::string extended = bytes.substr(0, layerCount);
    extended.append(reinterpret_cast<const char *>(&twelve), 4);
    extended.append(bytes.substr(layerCount + 4));
    extended.append(std::string(4, '\0'));
    if (Actor *left = GetActorById(kId)) {
        DeleteActor(left);
    }
    EXPECT_EQ(Load(extended), 1) << system->errorText;
    auto *again = dynamic_cast<SkinObjectActor *>(GetActorById(kId));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->layers[2].mask, 4u);
}

} // namespace
