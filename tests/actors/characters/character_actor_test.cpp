// The Character body: defaults and the shared lists, the name tables, the
// descriptor, the file record at old and current versions, capacity
// changes, and the angle and time helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "../../core/actors/actor_file_bytes.h"
#include "actors/characters/aim_target_actor.h"
#include "actors/characters/character2_actor.h"
#include "actors/characters/character_actor.h"
#include "actors/characters/player2_actor.h"
#include "actors/presentation/skin_object_actor.h"
#include "base/file_system.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/script_runner.h"
#include "library/bone.h"
#include "library/library_item.h"
#include "library/name_table.h"
#include "library/skeleton.h"
#include "support/actor_record.h"
#include "support/scene_harness.h"
#include "support/temp_folder.h"

namespace {

constexpr int32_t kId = 3000;

class CharacterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetActorWorldForTests();
        ASSERT_EQ(InitActorSystem(), 1);
        ResetCharacterModuleForTests();
    }
    void TearDown() override { ResetActorWorldForTests(); }

    CharacterActor *Make(const char *name = "hero", int32_t id = kId) {
        return static_cast<CharacterActor *>(
            CreateActor(kCharacterClassId, name, nullptr, GetActorById(kSceneryRootId), id, true));
    }
    std::string Write(Actor *actor, uint32_t version) {
        return WriteActorAtVersion(actor, version, folder, "c.qva");
    }
    // A file of a default base record at the version followed by the tail.
    std::string Hand(uint32_t version, const FileBytes &tail) {
        Actor plain;
        plain.classId = kCharacterClassId;
        plain.actorId = kId;
        plain.parentId = kSceneryRootId;
        return Write(&plain, version) + tail.str();
    }
    // Loads the bytes; the character at kId (as the version moves it), or
    // null.
    CharacterActor *Load(const std::string &bytes, uint32_t version = 70) {
        return dynamic_cast<CharacterActor *>(LoadActor(bytes, version));
    }
    Actor *LoadActor(const std::string &bytes, uint32_t version = 70) {
        Archive archive;
        EXPECT_TRUE(archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())));
        if (LoadActorsFrom(archive, kSerializeLoad) == 0) {
            return nullptr;
        }
        return GetActorById(MoveActorFileId(kId, version));
    }

    TempFolder folder;
};

void ExpectAll(const float *values, float expected, size_t count = kCharacterParamCount) {
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(values[i], expected) << i;
    }
}

TEST_F(CharacterTest, NewCharacterDefaultsAndSharedLists) {
    CharacterActor *c = Make();
    for (const float *array : {c->paramBase, c->paramChanged, c->paramBlend, c->paramBlendStep,
                               c->paramPrevious, c->paramValue}) {
        ExpectAll(array, 1.0f);
    }
    EXPECT_EQ(std::tuple(c->health, c->healthLimit, c->capacity, c->capacityPrevious),
              std::tuple(1.0f, 99.0f, 1.0f, 1.0f));
    EXPECT_EQ(std::string({c->posture, c->requestedPosture, c->lastSetPosture, c->returnPosture}),
              "NNNN");
    EXPECT_EQ(std::tuple(c->characterType, c->networkSessionId, c->directionBehaviour),
              std::tuple(0xFFFFFFFFu, 0xFFFFFFFFu, 2u));
    for (const LookRecord &r : {c->look, c->aim}) {
        const float angles[] = {r.rotX, r.rotXSmooth, r.rotXSpeed,
                                r.rotY, r.rotYSmooth, r.rotYSpeed};
        EXPECT_EQ(std::vector<float>(angles, angles + 6),
                  (std::vector<float>{0.35f, 3.1415927f, 100.0f, 0.0f, 0.0f, 1000.0f}));
    }
    EXPECT_EQ(std::tuple(c->turnSpeed, c->moveChangeTime, c->groundChangeTime, c->fallStartTime,
                         c->lastGroundTime),
              std::tuple(20.0f, -1.0f, 10.0f, 10.0f, 10.0f));
    EXPECT_EQ(std::tuple(c->fallDamageStart, c->fallDamageStop, c->fallDamageValue,
                         c->moveOnFallMul, c->kickMul),
              std::tuple(300.0f, 1200.0f, 100.0f, 0.5f, 1.0f));
    EXPECT_EQ(std::tuple(c->charFlags, c->charFlags2, c->iconLibId),
              std::tuple(0x0C100008u, 0u, 0u));
    EXPECT_EQ(CharacterActor().flags, 0x9800u); // before creation adds its own bits
    ASSERT_EQ(c->colObjs.size(), 1u);
    const ColObj &body = *c->colObjs[0];
    EXPECT_EQ(std::tuple(body.name, body.type, body.boxMax.x, body.boxMin.x, body.groups,
                         body.receiveGroups, body.excludeGroups, body.flags, body.owner),
              std::tuple(std::string("Character Col"), 1u, 23.0f, 0.0f, 1u, 1u, 0u, 0x67u,
                         static_cast<Actor *>(c)));

    // Every construction resets the shared maxima; the list keeps the live
    // characters in order and loses the first entry equal to a gone one.
    MaxAmmo[3] = 5;
    CharacterActor *d = Make("second", kId + 1);
    EXPECT_EQ(MaxAmmo[3], 999999999u);
    EXPECT_EQ(MaxAmmo[15], 999999999u);
    CharacterList.insert(CharacterList.begin(), d);
    CharacterActor *e = Make("third", kId + 2);
    EXPECT_EQ(CharacterList, (std::vector<CharacterActor *>{d, c, d, e}));
    DeleteActor(d);
    EXPECT_EQ(CharacterList, (std::vector<CharacterActor *>{c, d, e}));
    CharacterList.erase(CharacterList.begin() + 1);
}

TEST(CharacterNames, MovementsAndBones) {
    const std::pair<const char *, uint32_t> movements[] = {
        {"forward", 4},    {"FORWARD", 4}, {"?", 64},         {"Relax", 57},
        {"Die5", 42},      {"Dead2", 45},  {"Special15", 63}, {"Neutral", 0},
        {"Special10", 58}, {"Walk", 65},   {"", 65},
    };
    for (const auto &[name, index] : movements) {
        EXPECT_EQ(FindMovement(name), index) << name;
    }
    EXPECT_STREQ(MovementName(57), "Relax");
    EXPECT_STREQ(MovementName(64), "?");
    EXPECT_EQ(MovementName(FindMovement("Walk")), nullptr);
    EXPECT_EQ(MovementName(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(std::vector<std::string>(
                  {BoneNames[0], BoneNames[kNeckBone], BoneNames[kHeadBone], BoneNames[14]}),
              (std::vector<std::string>{"Spine", "Neck", "Head", "TailNub"}));
}

TEST_F(CharacterTest, Descriptor) {
    const ActorClassDescriptor &d = ClassDescriptorTable[kCharacterClassId];
    EXPECT_EQ(d.name + "/" + d.description, "Character/Character");
    EXPECT_EQ(d.lineage, (std::vector<uint32_t>{0, 16}));
    std::vector<std::string> items;
    for (const PropertyItem &item : d.items) {
        items.push_back(std::to_string(static_cast<int>(item.kind)) + " " +
                        std::to_string(item.setCommand) + " " + std::to_string(item.getCommand));
        EXPECT_EQ(std::tuple(item.ranged, item.displayScale), std::tuple(0u, 1.0f));
    }
    EXPECT_EQ(items, (std::vector<std::string>{
                         "13 0 0",     "16 837 838",  "27 858 859",  "12 0 0",      "4 1017 1018",
                         "32 860 861", "13 0 0",      "4 918 896",   "4 919 897",   "4 920 898",
                         "4 921 899",  "4 922 900",   "4 923 901",   "4 924 902",   "13 0 0",
                         "4 925 903",  "4 926 904",   "4 930 908",   "4 996 997",   "4 931 909",
                         "4 932 910",  "4 994 995",   "4 927 905",   "4 928 906",   "4 929 907",
                         "4 933 911",  "4 1056 1057", "4 1058 1059", "4 1060 1061", "17 1051 1052",
                     }));
    ASSERT_EQ(d.items.size(), 30u);
    EXPECT_EQ(d.items[1].label, "Type:|Custom|0|FirstPerson|1|Guard|2|ThirdPerson|3|"
                                "ThirdPersonShooter|4|Console|5|Undef6|6|Undef7|7|Undef8|8|");
    EXPECT_EQ(std::tuple(d.items[2].label, d.items[25].label, d.items[29].label),
              std::tuple(std::string("Pick Character Icon Material:"),
                         std::string("FallDamage1 Mul:"), std::string("Suspend Mode:")));
}

TEST_F(CharacterTest, OldRecordsKeepTheDefaultsOfLaterFields) {
    // Version 3: the four first words only.
    FileBytes v3;
    v3.U32(3).U32(7).F32(50.0f).U32(9);
    CharacterActor *c = Load(Hand(3, v3), 3);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(std::tuple(c->characterType, c->iconLibId, c->health, c->reserved),
              std::tuple(3u, 7u, 50.0f, 9u));
    ExpectAll(c->paramBase, 1.0f);

    // Versions 40 and 41: the ammunition comes with 41.
    for (const auto &[version, first, last, turn] :
         {std::tuple(40u, 0u, 0u, 20.0f), std::tuple(41u, 1u, 32u, 5.0f)}) {
        c = Make();
        for (uint32_t i = 0; i < kAmmoTypeCount; ++i) {
            c->ammoCount[i] = i + 1;
        }
        c->turnSpeed = 5.0f;
        c = Load(Write(c, version), version);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(std::tuple(c->ammoCount[0], c->ammoCount[31], c->turnSpeed),
                  std::tuple(first, last, turn))
            << version;
    }

    // Version 61: the jump moves of 62 stay at their defaults.
    c->paramBase[kParamMoveOnJump] = 0.25f;
    c->moveOnFallMul = 0.75f;
    c->kickMul = 2.0f;
    c->capacity = 0.5f;
    c = Load(Write(c, 61), 61);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(std::tuple(c->paramBase[kParamMoveOnJump], c->moveOnFallMul, c->kickMul, c->capacity),
              std::tuple(1.0f, 0.5f, 1.0f, 0.5f));
}

TEST_F(CharacterTest, CurrentRecordRoundTripsAndMatchesItsBytes) {
    CharacterActor *c = Make();
    for (uint32_t i = 0; i < kCharacterParamCount; ++i) {
        c->paramBase[i] = 0.5f + static_cast<float>(i);
    }
    c->characterType = kCharacterThirdPerson;
    c->iconLibId = 4;
    c->health = 100.0f;
    c->reserved = 6;
    c->fallDamageStart = 310.0f;
    c->fallDamageStop = 1210.0f;
    c->fallDamageValue = 90.0f;
    c->characterGroup = 0x12;
    c->ammoCount[0] = 3;
    c->ammoCount[31] = 8;
    c->look = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    c->rotY = 1.5f;
    c->rotYSmooth = 1.25f;
    c->turnSpeed = 12.0f;
    c->holdTime = 2.5f;
    c->capacity = 0.75f;
    c->capacityPrevious = 0.8f;
    c->moveOnFallMul = 0.25f;
    c->kickMul = 3.0f;
    c->charFlags = (c->charFlags | kCharSuspended | kCharDeadLock) & ~kCharInputLocked;
    const std::string bytes = Write(c, 70);

    FileBytes tail;
    tail.U32(3).U32(4).F32(100.0f).U32(6);
    for (int i = 0; i <= 8; ++i) {
        tail.F32(0.5f + static_cast<float>(i));
    }
    tail.U32(0).U32(0).U32(0).F32(9.5f).F32(10.5f).F32(11.5f);
    tail.F32(12.5f).F32(14.5f);
    tail.F32(15.5f).F32(310.0f).F32(1210.0f).F32(90.0f).U32(1);
    tail.U32(0x12);
    tail.U32(3).Zeros(30 * 4).U32(8);
    tail.F32(0.1f).F32(0.2f).F32(0.3f).F32(0.4f).F32(0.5f).F32(0.6f);
    tail.F32(1.5f).F32(1.25f).F32(12.0f);
    tail.F32(2.5f).U32(1).U32(0);
    tail.F32(0.75f).F32(0.8f);
    tail.F32(13.5f).F32(0.25f).F32(3.0f);
    ASSERT_EQ(tail.size(), 304u);
    ASSERT_GT(bytes.size(), tail.size());
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail.str());

    CharacterActor *back = Load(bytes);
    ASSERT_NE(back, nullptr);
    EXPECT_NE(back, c);
    for (uint32_t i = 0; i < kCharacterParamCount; ++i) {
        EXPECT_EQ(back->paramBase[i], 0.5f + static_cast<float>(i)) << i;
    }
    ExpectAll(back->paramValue, 1.0f);
    // Loading levels the look pitch and brings the smoothed angles to the
    // read ones.
    EXPECT_EQ(std::tuple(back->look.rotX, back->look.rotYSpeed, back->rotY, back->rotYSmooth,
                         back->turnSpeed, back->holdTime, back->capacity, back->capacityPrevious),
              std::tuple(0.0f, 0.6f, 1.5f, 1.5f, 12.0f, 2.5f, 0.75f, 0.8f));
    EXPECT_EQ(back->charFlags & (kCharSuspended | kCharDeadLock | kCharInputLocked),
              kCharSuspended | kCharDeadLock);

    // A record cut short fails the load.
    EXPECT_EQ(Load(bytes.substr(0, bytes.size() - 4)), nullptr);
    EXPECT_EQ(std::string(GetActorSystem()->errorText), "Serialize Error");
}

TEST_F(CharacterTest, CapacityChangesScaleByEnduranceAndStayInRange) {
    CharacterActor *c = Make();
    scene::SpyLog spy;
    spy.Watch(c);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Row {
        float endurance, start, amount, expected;
        size_t exhausts;
    };
    const Row rows[] = {
        {2.0f, 1.0f, -0.1f, 0.95f, 0}, {2.0f, 0.5f, 0.1f, 0.7f, 0},
        {1.0f, 0.1f, -0.2f, 0.05f, 1}, {1.0f, 0.05f, -0.01f, 0.05f, 1}, // each time at the floor
        {1.0f, 0.95f, 0.2f, 1.0f, 0},  {0.0f, 0.5f, 0.0f, 0.5f, 0},     // 0 / 0 changes nothing
        {1.0f, 0.5f, nan, 0.5f, 0},    {inf, 0.5f, 0.0f, 0.5f, 0},
        {0.0f, 0.5f, -0.1f, 0.05f, 1}, // -infinity floors
    };
    for (const Row &r : rows) {
        c->paramValue[kParamEndurance] = r.endurance;
        c->capacity = r.start;
        spy.Take();
        c->ChangeCapacity(r.amount);
        EXPECT_NEAR(c->capacity, r.expected, 1e-6f) << r.endurance << " " << r.amount;
        EXPECT_EQ(spy.Count("hero", cmd::character::Exhaust100), r.exhausts);
    }
}

TEST_F(CharacterTest, AnglesApproachAndStaleMatricesAndTimes) {
    EXPECT_NEAR(Wrap(3.5f), -2.7831853f, 1e-6f);
    EXPECT_NEAR(Wrap(-7.0f), -0.7168147f, 1e-6f);
    EXPECT_EQ(Wrap(1.0f), 1.0f);
    float c = 3.0f;
    std::vector<float> path;
    for (int i = 0; i < 3; ++i) {
        c = TurnToward(c, -3.0f, 0.1f);
        path.push_back(c);
    }
    EXPECT_NEAR(path[0], 3.1f, 1e-4f);
    EXPECT_NEAR(path[1], -3.0832f, 1e-4f);
    EXPECT_EQ(path[2], -3.0f);
    EXPECT_EQ(TurnToward(7.0f, 0.0f, 0.0f), 7.0f);
    EXPECT_EQ(TurnToward(0.5f, -0.5f, 0.2f), 0.3f);
    for (auto [value, target, step, expected] :
         {std::tuple(0.0f, 1.0f, 0.4f, 0.4f), std::tuple(0.8f, 1.0f, 0.4f, 1.0f),
          std::tuple(1.0f, -1.0f, 0.5f, 0.5f), std::tuple(-0.8f, -1.0f, 0.5f, -1.0f)}) {
        ApproachValue(value, target, step);
        EXPECT_EQ(value, expected);
    }

    CharacterActor *a = Make();
    a->GetLocalMatrix();
    a->position = {5.0f, 6.0f, 7.0f};
    a->flags &= ~(kActorLocalMatrixValid | kActorWorldMatrixValid);
    EXPECT_EQ(a->GetLocalMatrix().m[3][1], 6.0f);
    EXPECT_EQ(a->GetWorldMatrix().m[3][2], 7.0f);

    // On a clock of its own, brought up to date once per frame; a fixed
    // clock stands.
    TimeRecord own;
    own.owner = a;
    a->timeRecord = &own;
    FrameDelta = 0.25f;
    const float before = a->GetCurrentTime();
    ++FrameCounter;
    EXPECT_FLOAT_EQ(a->GetCurrentTime() - before, 0.25f);
    EXPECT_FLOAT_EQ(a->GetCurrentTime() - before, 0.25f);
    own.flags |= kTimeRecordFixed;
    ++FrameCounter;
    EXPECT_FLOAT_EQ(a->GetCurrentTime() - before, 0.25f);
    a->timeRecord = RootTimeRecord();
}

} // namespace

namespace {

TEST_F(CharacterTest, RelationsAndOwnCollisionObjectsNeverDangle) {
    CharacterActor *c = Make();
    Actor *scenery = GetActorById(kSceneryRootId);
    auto child = [&](const char *name) { return CreateActor(0, name, nullptr, c, -1, true); };
    Actor *skin = child("Skin");
    Actor *items = child("Items");
    Actor *left = child("LeftHand");
    Actor *right = child("RightHand");
    Actor *activated = child("Activated");
    Actor *camera = CreateActor(19, "Camera", nullptr, scenery, -1, true);
    Actor *look = CreateActor(19, "LookCamera", nullptr, scenery, -1, true);
    Actor *brain = CreateActor(0, "Brain", nullptr, scenery, -1, true);
    Actor *bone = CreateActor(0, "Head", nullptr, c, -1, true);
    Bone record;
    c->SetSkin(skin);
    c->bones.assign(kCharacterBoneCount, &record);
    c->itemsActor.Assign(items);
    c->leftHand.Assign(left);
    c->rightHand.Assign(right);
    c->activatedChild.Assign(activated);
    c->notifyCamera.Assign(camera);
    c->lookCamera.Assign(look);
    c->brain.Assign(brain);
    c->activateTarget.Assign(brain);
    c->boneActors[kHeadBone].Assign(bone);

    // Each goes in turn; only its own link clears, and the skin takes the
    // bone records with it.
    const std::pair<Actor *, ActorLink *> gone[] = {
        {skin, &c->skin},
        {right, &c->rightHand},
        {camera, &c->notifyCamera},
        {items, &c->itemsActor},
        {activated, &c->activatedChild},
        {look, &c->lookCamera},
        {left, &c->leftHand},
        {bone, &c->boneActors[kHeadBone]},
    };
    for (const auto &[actor, link] : gone) {
        ASSERT_EQ(link->target, actor);
        DeleteActor(actor);
        EXPECT_EQ(link->target, nullptr);
    }
    EXPECT_TRUE(c->bones.empty());
    EXPECT_EQ(c->brain.target, brain);
    // A new skin replaces the records too.
    Actor *second = child("Skin");
    c->bones.assign(kCharacterBoneCount, &record);
    c->SetSkin(second);
    EXPECT_TRUE(c->bones.empty());
    // A copy takes the fields and links its relations to the same targets,
    // as its own origin; never the bone records.
    c->characterType = kCharacterThirdPerson;
    c->health = 100.0f;
    c->motionQueue = {5, 6};
    c->bones.assign(kCharacterBoneCount, &record);
    auto *copy = dynamic_cast<CharacterActor *>(CopyActorTree(c, scenery));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->characterType, copy->health, copy->motionQueue.size(),
                         copy->brain.target, copy->brain.origin, copy->bones.size()),
              std::tuple(kCharacterThirdPerson, 100.0f, 2u, brain, static_cast<Actor *>(copy), 0u));
    // The brain keeps the copy's link; binding found the copy's own
    // (missing) activation group in place of the brain.
    EXPECT_EQ(std::tuple(brain->backLinks.size(), copy->activateTarget.target),
              std::tuple(size_t{3}, static_cast<Actor *>(nullptr)));
    DeleteActor(copy);
    // The character goes before the brain: the brain keeps no link to it.
    DeleteActor(c);
    EXPECT_TRUE(brain->backLinks.empty());

    // Own collision objects by index: a removed "Chest" counts as none, and
    // so does "Action" once it is no longer where its index says.
    CharacterActor *d = Make("other", kId + 1);
    for (const char *name : {"Chest", "Action"}) {
        ColObj object(d);
        object.name = name;
        d->AddColObj(object);
    }
    d->bodyColObj = d->FindOwnColObj("Character Col");
    d->chestColObj = d->FindOwnColObj("Chest");
    d->actionColObj = d->FindOwnColObj("Action");
    EXPECT_EQ(std::tuple(d->bodyColObj, d->chestColObj, d->actionColObj), std::tuple(0, 1, 2));
    EXPECT_NE(d->ChestColObj(), nullptr);
    std::string chest = "Chest";
    d->HandleCommand(112, ParamBlock(chest.data(), chest.size() + 1));
    d->HandleCommand(109, ParamBlock());
    ASSERT_EQ(d->colObjs.size(), 2u);
    EXPECT_EQ(d->ChestColObj(), nullptr);
    EXPECT_EQ(d->ActionColObj(), nullptr);
    EXPECT_EQ(d->BodyColObj(), d->colObjs[0].get());
    EXPECT_EQ(d->FindOwnColObj("Missing"), -1);
}

} // namespace

namespace {

class CountingRunner : public ScriptRunner {
  public:
    int Run(ScriptRecord *record, Actor *) override {
        ran.push_back(record->name);
        return 1;
    }
    std::vector<std::string> ran;
};

TEST_F(CharacterTest, BoneRecordsOfASkeletonMadeAnewAreTakenAgain) {
    CharacterActor *c = Make();
    auto *skin = dynamic_cast<SkinObjectActor *>(
        CreateActor(kSkinObjectClassId, "Skin", nullptr, c, -1, false));
    ASSERT_NE(skin, nullptr);
    // The skin's skeleton, made from a mesh whose head stands 50 up.
    MeshItem mesh;
    mesh.loaded = 1;
    for (const char *name : BoneNames) {
        auto bone = std::make_unique<Bone>();
        bone->nameId = GetNameTable().FindOrAdd(name);
        bone->local.m[3][1] = 50.0f;
        mesh.bones.push_back(std::move(bone));
    }
    skin->skeleton = CreateSkeleton(&mesh);
    c->SetSkin(skin);
    c->bones.assign(kCharacterBoneCount, nullptr);
    c->bones[kHeadBone] = FindBoneByName(skin->skeleton, BoneNames[kHeadBone]);
    ASSERT_NE(c->bones[kHeadBone], nullptr);
    auto visionPoint = [c] {
        Vector3 point{};
        c->HandleCommand(cmd::base::GetVisionPoint, ParamBlock(&point, sizeof(point)));
        return point.y;
    };
    EXPECT_EQ(visionPoint(), 50.0f);
    // A new mesh takes the skeleton with it: the records of its bones go.
    LibraryItem *none = nullptr;
    skin->HandleCommand(cmd::mesh_object::SetMesh, ParamBlock(&none, sizeof(none)));
    EXPECT_EQ(skin->skeleton, nullptr);
    EXPECT_EQ(visionPoint(), 0.0f);
    EXPECT_TRUE(c->bones.empty());
}

TEST_F(CharacterTest, PlaceholderClassesServeOnlyTheBaseAndKeepFourSpareWords) {
    const std::tuple<uint32_t, const char *, const char *> classes[] = {
        {kAimTargetClassId, "Aim Target", "Aim Target Properties"},
        {kPlayer2ClassId, "Player 2", "Player 2 Properties"},
        {kCharacter2ClassId, "Character 2", "Character 2 Properties"},
    };
    CountingRunner runner;
    ScriptRunner *previous = InstallScriptRunner(&runner);
    for (const auto &[id, name, title] : classes) {
        const ActorClassDescriptor &d = ClassDescriptorTable[id];
        EXPECT_EQ(std::tuple(d.name, d.description, d.lineage),
                  std::tuple(std::string(name), std::string("Do Not Use This!!!"),
                             std::vector<uint32_t>{0, id}));
        ASSERT_EQ(d.items.size(), 1u);
        EXPECT_EQ(std::tuple(d.items[0].label, d.items[0].kind),
                  std::tuple(std::string(title), PropertyKind::PageTitle));

        // Any command reaches the base: a script bound to an event runs.
        Actor *a = CreateActor(static_cast<int32_t>(id), name, nullptr,
                               GetActorById(kSceneryRootId), kId, true);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->classId, id);
        auto script = std::make_unique<ScriptRecord>();
        script->name = name;
        script->eventId = cmd::character::Exhaust100;
        script->owner = a;
        a->scripts.push_back(std::move(script));
        a->HandleCommand(cmd::character::Exhaust100, ParamBlock());
        a->HandleCommand(1017, ParamBlock()); // a Character's own command does nothing here
    }
    InstallScriptRunner(previous);
    EXPECT_EQ(runner.ran, (std::vector<std::string>{"Aim Target", "Player 2", "Character 2"}));

    // The record: the base record, then four spare words, written as 0 and
    // read whatever they hold.
    Actor *aim =
        CreateActor(kAimTargetClassId, "AimSpot", nullptr, GetActorById(kSceneryRootId), kId, true);
    aim->position = {1.0f, 2.0f, 3.0f};
    std::string bytes = Write(aim, 70);
    FileBytes spare;
    spare.Zeros(16);
    EXPECT_EQ(bytes.substr(bytes.size() - 16), spare.str());
    bytes.replace(bytes.size() - 16, 16, std::string(16, '\xFF'));
    Actor *back = LoadActor(bytes);
    ASSERT_NE(back, nullptr);
    EXPECT_NE(back, aim);
    EXPECT_EQ(std::tuple(back->classId, back->name, back->position.z),
              std::tuple(kAimTargetClassId, std::string("AimSpot"), 3.0f));
    EXPECT_EQ(LoadActor(bytes.substr(0, bytes.size() - 4)), nullptr);
}

} // namespace
