// The Character's command handler on a loaded scene with a scripted skin:
// properties, answers, look, health, motions, hands, ammunition, binding,
// contacts, and the unsound inputs it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "actors/presentation/mesh_object_actor.h"
#include "actors/world/collision.h"
#include "actors/world/door_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "core/actors/command_table.h"
#include "core/actors/scheduled_command.h"
#include "library/bone.h"
#include "library/library_item.h"
#include "support/game_fixture.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class CharacterCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        Actor *room = game::Room(builder, "RoomA", {-500, -100, -500}, {500, 400, 500});
        game::BoxWall(builder, "Floor", {-400, -20, -400}, {400, 0, 400}, room);
        game::Door(builder, "DoorA", {200, 0, -50}, {220, 100, 50}, room);
        game::MakeCharacter(builder, "Hero", {0, 30, 0}, room);
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        hero = dynamic_cast<CharacterActor *>(scene::SceneBuilder::Find("Hero"));
        ASSERT_NE(hero, nullptr);
        skin = dynamic_cast<game::ScriptedSkin *>(hero->skin.target);
        ASSERT_NE(skin, nullptr);
        spy = new game::Recorder();
        AddCommandSpy(hero, spy);
    }
    void TearDown() override { delete spy; }

    // The ids the hero heard, in order.
    std::vector<uint32_t> Heard() const {
        std::vector<uint32_t> ids;
        for (const RecordedCommand &entry : spy->Of(93)) {
            ids.push_back(entry.Read<uint32_t>(0));
        }
        return ids;
    }
    size_t HeardCount(uint32_t id) const {
        const std::vector<uint32_t> ids = Heard();
        return static_cast<size_t>(std::count(ids.begin(), ids.end(), id));
    }
    template <class T> T Get(uint32_t id) {
        T value{};
        hero->HandleCommand(id, ParamBlock(&value, sizeof(value)));
        return value;
    }
    int Text(uint32_t id, std::string text) {
        return hero->HandleCommand(id, ParamBlock(text.data(), text.size() + 1));
    }
    std::string Movement() {
        char text[32] = {};
        hero->HandleCommand(846, ParamBlock(text, sizeof(text)));
        return text;
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    game::RecorderClass skins{game::kSkinClassId, &game::NewScriptedSkin};
    game::RecorderClass frontEnds{game::kFrontEndClassId};
    CharacterActor *hero = nullptr;
    game::ScriptedSkin *skin = nullptr;
    game::Recorder *spy = nullptr;
};

TEST_F(CharacterCommandsTest, PlainPropertiesRoundTripAndAnswers) {
    // Set id, get id, a value that each would keep.
    const std::tuple<uint32_t, uint32_t, float> reals[] = {
        {854, 855, 2.5f},    {1017, 1018, 55.0f}, {1021, 1022, 7.0f},   {1023, 1024, 8.0f},
        {1027, 1028, 3.0f},  {1029, 1030, 4.0f},  {980, 981, 0.25f},    {978, 979, 1.25f},
        {984, 985, 5.0f},    {986, 987, 6.0f},    {1056, 1057, 310.0f}, {1058, 1059, 1300.0f},
        {1060, 1061, 90.0f}, {994, 995, 0.75f},   {996, 997, 1.5f},     {976, 977, 0.5f},
        {1007, 1008, 2.0f},  {1009, 1010, 3.0f},  {856, 857, 0.0f},
    };
    hero->HandleCommand(856, ParamBlock()); // unlocks input for 976
    for (const auto &[set, get, value] : reals) {
        SendCommandArgs(hero, set, value);
        EXPECT_EQ(Get<float>(get), value) << set;
    }
    const std::tuple<uint32_t, uint32_t, uint32_t> words[] = {
        {839, 840, 77}, {860, 861, 0x11}, {858, 859, 9},
        {967, 968, 3},  {1031, 1032, 1},  {544, 545, 1},
    };
    for (const auto &[set, get, value] : words) {
        SendCommandArgs(hero, set, value);
        EXPECT_EQ(Get<uint32_t>(get), value) << set;
    }
    uint32_t two = 2;
    hero->HandleCommand(852, ParamBlock(&two, sizeof(two)));
    EXPECT_EQ(Get<uint32_t>(853), 0u);
    SendCommandArgs(hero, 862, uint32_t{3}, uint32_t{1});
    EXPECT_EQ(Get<uint32_t>(861), 0x15u);
    // Parameters: answered x100, stored x0.01; the colour and jump changes
    // are absolute, the others relative.
    SendCommandArgs(hero, 920, 250.0f);
    EXPECT_FLOAT_EQ(hero->paramBase[kParamStrength], 2.5f);
    EXPECT_FLOAT_EQ(Get<float>(898), 250.0f);
    SendCommandArgs(hero, 933, 40.0f);
    EXPECT_FLOAT_EQ(Get<float>(911), 40.0f);
    SendCommandArgs(hero, 942, 50.0f, 2.0f);
    SendCommandArgs(hero, 950, 30.0f, 1.0f);
    hero->HandleCommand(954, ParamBlock(std::array<float, 2>{20.0f, 0.5f}.data(), 8));
    EXPECT_FLOAT_EQ(hero->paramChanged[kParamStrength], 1.25f);
    EXPECT_FLOAT_EQ(hero->paramBlendStep[kParamStrength], 0.05f);
    EXPECT_FLOAT_EQ(hero->paramChanged[kParamGammaGAdd], 0.3f);
    EXPECT_FLOAT_EQ(hero->paramChanged[kParamJumpForce], 0.2f);
    SendCommandArgs(hero, 962, -0.5f);
    EXPECT_FLOAT_EQ(hero->capacity, 0.5f);
    EXPECT_FLOAT_EQ(Get<float>(1076), 0.5f);
    hero->HandleCommand(953, ParamBlock(std::array<float, 1>{50.0f}.data(), 4));
    EXPECT_EQ(std::tuple(hero->dropCount, hero->dropTimer), std::tuple(1u, -1.5f));
    // Answers.
    char state[4] = {};
    hero->HandleCommand(842, ParamBlock(state, sizeof(state)));
    EXPECT_STREQ(state, "N");
    EXPECT_EQ(Movement(), "Neutral");
    EXPECT_EQ(std::tuple(Get<uint32_t>(863), Get<uint32_t>(864), Get<uint32_t>(868)),
              std::tuple(1u, 0u, 0u));
    hero->lookRotYOffset = 0.75f;
    EXPECT_EQ(Get<float>(988), 0.75f);
    EXPECT_EQ(std::tuple(hero->HandleCommand(866, ParamBlock()),
                         hero->HandleCommand(226, ParamBlock()),
                         hero->HandleCommand(227, ParamBlock())),
              std::tuple(1, 1, 1));
    // Dead lock: clearing it ends the hold.
    SendCommandArgs(hero, 856, 5.0f);
    SendCommandArgs(hero, 1045, uint32_t{1});
    SendCommandArgs(hero, 856, 0.0f);
    EXPECT_EQ(hero->holdTime, 5.0f);
    SendCommandArgs(hero, 1045, uint32_t{0});
    EXPECT_EQ(std::tuple(hero->holdTime, hero->charFlags & kCharInputLocked), std::tuple(0.0f, 0u));
}

TEST_F(CharacterCommandsTest, LookAimAndDesiredMovement) {
    for (auto [type, limit] :
         {std::pair{kCharacterFirstPerson, 1.55f}, std::pair{kCharacterThirdPersonShooter, 1.35f},
          std::pair{kCharacterCustom, 1.0f}}) {
        hero->characterType = type;
        hero->look.rotX = hero->aim.rotX = 0.0f;
        SendCommandArgs(hero, 983, 3.0f);
        hero->HandleCommand(1006, ParamBlock(std::array<float, 1>{-3.0f}.data(), 4));
        EXPECT_EQ(std::tuple(hero->look.rotX, hero->aim.rotX), std::tuple(limit, -limit)) << type;
    }
    hero->HandleCommand(1001, ParamBlock(std::array<float, 1>{kPi + 1.0f}.data(), 4));
    hero->HandleCommand(1003, ParamBlock(std::array<float, 1>{-kPi - 1.0f}.data(), 4));
    EXPECT_NEAR(hero->aim.rotY, 1.0f - kPi, 1e-5f);
    EXPECT_NEAR(hero->aim.rotX, kPi - 1.0f, 1e-5f);

    SendCommandArgs(hero, 856, 0.0f);
    hero->inputQueue.clear();
    hero->directionBehaviour = 2;
    SendCommandArgs(hero, 1026, Vector3{0.0f, 0.0f, 0.0005f});
    EXPECT_TRUE(hero->inputQueue.empty());
    SendCommandArgs(hero, 1026, Vector3{1.0f, 0.0f, 0.0f});
    EXPECT_NEAR(hero->rotY, kPi / 2, 1e-5f);
    SendCommandArgs(hero, 1026, Vector3{-2.0f, 0.0f, 0.0f});
    EXPECT_NEAR(hero->rotY, -kPi / 2, 1e-5f);
    EXPECT_EQ(hero->desiredMoveLength, 2.0f);
    EXPECT_EQ(hero->inputQueue, (std::vector<uint32_t>{877, 877}));

    // "Set Matrix": position and the yaw of the forward row turned round;
    // no base (the actor's own rotation stays).
    Matrix matrix;
    MatrixRotationYawPitchRoll(&matrix, 0.5f, 0.0f, 0.0f);
    matrix.m[3][0] = 10.0f;
    matrix.m[3][1] = 20.0f;
    matrix.m[3][2] = 30.0f;
    EXPECT_EQ(hero->HandleCommand(cmd::base::SetMatrix, ParamBlock(&matrix, sizeof(matrix))), 1);
    EXPECT_EQ(hero->lastSafePosition.z, 30.0f);
    EXPECT_NEAR(Wrap(hero->rotY),
                Wrap(Vec3YawFromForward({matrix.m[2][0], matrix.m[2][1], matrix.m[2][2]}) + kPi),
                1e-5f);

    // Body yaw: ignored while locked or in the air; not answered while locked.
    SendCommandArgs(hero, 976, 0.25f);
    hero->charFlags |= kCharInAir;
    SendCommandArgs(hero, 976, 0.75f);
    hero->charFlags &= ~kCharInAir;
    SendCommandArgs(hero, 856, 3.0f);
    SendCommandArgs(hero, 976, 0.75f);
    float answer = -1.0f;
    hero->HandleCommand(977, ParamBlock(&answer, sizeof(answer)));
    EXPECT_EQ(std::tuple(hero->rotY, answer), std::tuple(0.25f, -1.0f));

    // Recoil acts only on a motion-driven FirstPerson character.
    hero->characterType = kCharacterCustom;
    SendCommandArgs(hero, 1040, 1.0f);
    EXPECT_EQ(hero->recoilPitchVelocity, 0.0f);
    SendCommandArgs(hero, 837, kCharacterFirstPerson);
    SendCommandArgs(hero, 1040, 1.0f);
    EXPECT_FLOAT_EQ(hero->recoilPitchVelocity, 0.4f);
}

TEST_F(CharacterCommandsTest, HealthRisesDecaysHealsAndDies) {
    hero->flags |= kActorMaster;
    hero->health = 98.0f;
    SendCommandArgs(hero, 952, 10.0f, 0.0f);
    EXPECT_EQ(hero->health, 108.0f);
    EXPECT_NE(FindScheduledCommandByTag(hero, 252), nullptr);
    runner.Step(420);
    EXPECT_EQ(hero->health, 99.0f);
    EXPECT_EQ(std::tuple(HeardCount(1091), HeardCount(1092)), std::tuple(size_t{1}, size_t{1}));
    EXPECT_EQ(FindScheduledCommandByTag(hero, 252), nullptr);

    hero->health = 40.0f;
    SendCommandArgs(hero, 966, 50.0f, 60.0f);
    EXPECT_EQ(hero->health, 60.0f);
    hero->health = 70.0f;
    SendCommandArgs(hero, 966, 50.0f, 60.0f);
    EXPECT_EQ(hero->health, 70.0f);

    skin->motions.push_back("N_Die2");
    SendCommandArgs(hero, 965, 80.0f, uint32_t{2});
    EXPECT_EQ(std::tuple(hero->health, skin->motion, hero->holdTime, hero->dieIndex),
              std::tuple(0.0f, std::string("N_Die2"), 100000000.0f, 2u));
    EXPECT_NE(hero->charFlags & kCharDeadLock, 0u);
    ASSERT_EQ(hero->motionQueue.size(), 1u);
    EXPECT_EQ(hero->colObjs[0]->excludeGroups & 0x0400025Cu, 0x0400025Cu);
    const size_t died = HeardCount(1062);
    SendCommandArgs(hero, 964, 5.0f);
    EXPECT_EQ(std::tuple(hero->health, HeardCount(1062)), std::tuple(0.0f, died));
}

TEST_F(CharacterCommandsTest, MotionQueueAndActivation) {
    hero->flags |= kActorMaster;
    SendCommandArgs(hero, 856, 0.0f);
    // Posture-only words take the movement current at the pop; words pushed
    // to the front take it at the push.
    Text(1033, "R");
    Text(845, "Forward");
    EXPECT_EQ(skin->motion, ""); // not in the skin: the state stays
    EXPECT_EQ(hero->movement, 0u);
    skin->motions.push_back("N_Forward");
    Text(845, "Forward");
    EXPECT_EQ(std::tuple(skin->motion, hero->posture), std::tuple(std::string("N_Forward"), 'N'));
    hero->HandleCommand(1036, ParamBlock());
    EXPECT_EQ(skin->motion, "R_Forward");
    EXPECT_EQ(HeardCount(1039), 1u);
    Text(1034, "N");
    Text(845, "Neutral"); // "R_Neutral" is missing: "N_Neutral", posture 'N'
    EXPECT_EQ(std::tuple(skin->motion, hero->posture), std::tuple(std::string("N_Neutral"), 'N'));
    hero->HandleCommand(1036, ParamBlock());
    EXPECT_EQ(skin->motion, "N_Forward");
    // A master tells the network of its motion changes.
    static std::vector<uint32_t> sent;
    sent.clear();
    NetTransport transport;
    transport.send = [](const NetMessage &message) {
        uint32_t id = 0;
        std::memcpy(&id, message.bytes.data(), sizeof(id));
        sent.push_back(id);
        return 1;
    };
    const NetTransport before = InstallNetTransport(transport);
    const uint32_t enabled = g_NetworkEnabled;
    g_NetworkEnabled = 1;
    Text(841, "R");
    Text(845, "Neutral");
    g_NetworkEnabled = enabled;
    InstallNetTransport(before);
    EXPECT_EQ(sent, (std::vector<uint32_t>{893, 893}));
    // A loop on a master on the ground pops the next; 1122 stores the name.
    Text(1033, "R_Forward");
    skin->SendLooping(1);
    EXPECT_EQ(std::tuple(skin->motion, hero->stateText),
              std::tuple(std::string("R_Forward"), std::string("R_Forward")));

    // Activation: by name, by name without its "_07", by movement.
    game::RecorderClass parts{27};
    Actor *group = CreateActor(0, "Activate", nullptr, hero, -1, true);
    auto *walk =
        dynamic_cast<game::Recorder *>(CreateActor(27, "Forward", nullptr, group, -1, true));
    auto *jump = dynamic_cast<game::Recorder *>(CreateActor(27, "Jump", nullptr, group, -1, true));
    ASSERT_TRUE(walk != nullptr && jump != nullptr);
    hero->activateTarget.Assign(group);
    Text(1025, "Jump_07");
    Text(1025, "Unknown");
    EXPECT_EQ(hero->activatedChild.target, walk);
    EXPECT_EQ(std::tuple(jump->Of(208).size(), jump->Of(209).size(), walk->Of(208).size()),
              std::tuple(size_t{1}, size_t{1}, size_t{1}));
}

TEST_F(CharacterCommandsTest, HandsGrabAndAmmunition) {
    game::RecorderClass items{12};
    Actor *right = hero->rightHand.target;
    Actor *left = hero->leftHand.target;
    auto *held = dynamic_cast<game::Recorder *>(CreateActor(12, "Old", nullptr, right, -1, true));
    auto *gun = dynamic_cast<game::Recorder *>(
        CreateActor(12, "Gun", nullptr, hero->itemsActor.target, -1, true));
    auto *knife = dynamic_cast<game::Recorder *>(CreateActor(12, "Knife", nullptr, left, -1, true));
    ASSERT_TRUE(held != nullptr && gun != nullptr && knife != nullptr);
    // A second grab cancels the first; the move comes 0.5666667 s later.
    SendCommandArgs(hero, 1072, static_cast<Actor *>(knife));
    SendCommandArgs(hero, 1072, static_cast<Actor *>(gun));
    EXPECT_EQ(held->Of(752).size(), 2u);
    runner.Step(10);
    EXPECT_TRUE(gun->Of(619).empty());
    runner.Step(30);
    EXPECT_EQ(std::tuple(knife->Of(619).size(), gun->Of(619).size(), gun->Of(751).size(),
                         held->Of(617).size()),
              std::tuple(size_t{0}, size_t{1}, size_t{1}, size_t{1}));
    EXPECT_EQ(gun->Of(619)[0].Read<uint32_t>(4), 2u);
    EXPECT_EQ(hero->charFlags & kCharRightGrabPending, 0u);
    // Equip by name under "Items".
    Text(1071, "Gun");
    EXPECT_EQ(gun->Of(619).back().Read<uint32_t>(4), 1u);
    hero->HandleCommand(1049, ParamBlock());
    EXPECT_EQ(std::tuple(held->Of(750).size(), knife->Of(750).size()),
              std::tuple(size_t{1}, size_t{1}));
    EXPECT_EQ(knife->Of(750)[0].F32(), 1.0f);
    // The front end holding actions back.
    game::Recorder *front = game::MakeFrontEnd();
    SendCommandArgs(hero, 856, 0.0f);
    hero->inputQueue.clear();
    hero->HandleCommand(878, ParamBlock());
    EXPECT_TRUE(hero->inputQueue.empty());
    front->Answer(547, uint32_t{0});
    hero->HandleCommand(878, ParamBlock());
    EXPECT_EQ(hero->inputQueue, (std::vector<uint32_t>{878}));

    // Ammunition: the request counts types from 0.
    uint32_t request[3] = {0, 5, 0};
    SendCommandArgs(hero, 1041, uint32_t{1}, uint32_t{3});
    hero->HandleCommand(1044, ParamBlock(request, sizeof(request)));
    EXPECT_EQ(std::tuple(request[2], hero->ammoCount[0]), std::tuple(3u, 0u));
    SendCommandArgs(hero, 1043, uint32_t{1}, int32_t{5});
    request[1] = 10;
    hero->HandleCommand(1044, ParamBlock(request, sizeof(request)));
    EXPECT_EQ(std::tuple(request[2], hero->ammoCount[0]), std::tuple(5u, 0u));
    // Types outside 1-32 touch nothing; past the table the cap still holds;
    // a negative addition never wraps.
    uint32_t get[2] = {33, 7};
    SendCommandArgs(hero, 1041, uint32_t{0}, uint32_t{3});
    hero->HandleCommand(1042, ParamBlock(get, sizeof(get)));
    EXPECT_EQ(get[1], 0u);
    uint32_t far[3] = {32, 1, 9};
    hero->HandleCommand(1044, ParamBlock(far, sizeof(far)));
    EXPECT_EQ(far[2], 0u);
    SendCommandArgs(hero, 1043, uint32_t{20}, int32_t{2000000000});
    SendCommandArgs(hero, 1043, uint32_t{20}, int32_t{2000000000});
    SendCommandArgs(hero, 1043, uint32_t{2}, int32_t{-5});
    EXPECT_EQ(std::tuple(hero->ammoCount[19], hero->ammoCount[1], hero->ammoPresent[1]),
              std::tuple(999999999u, 0u, 0u));
}

TEST_F(CharacterCommandsTest, AnItemDeletedDuringTheGrabIsSkipped) {
    game::RecorderClass items{12};
    Actor *right = hero->rightHand.target;
    auto *held = dynamic_cast<game::Recorder *>(CreateActor(12, "Old", nullptr, right, -1, true));
    Actor *key = CreateActor(12, "Key", nullptr, hero->itemsActor.target, -1, true);
    Actor *gem = CreateActor(12, "Gem", nullptr, hero->itemsActor.target, -1, true);
    ASSERT_TRUE(held != nullptr && key != nullptr && gem != nullptr);
    SendCommandArgs(hero, 1072, key);
    runner.Step(10);
    key->HandleCommand(48, ParamBlock());
    runner.Step(40);
    EXPECT_EQ(std::tuple(held->Of(617).size(), hero->charFlags & kCharRightGrabPending),
              std::tuple(size_t{1}, 0u));
    // A grab a script put off, its item gone before it runs.
    struct {
        float delay;
        uint32_t command;
        Actor *item;
    } later = {0.2f, 1073, gem};
    hero->HandleCommand(57, ParamBlock(&later, sizeof(later)));
    DeleteActor(gem);
    runner.Step(60);
    EXPECT_EQ(hero->charFlags & kCharLeftGrabPending, 0u);
    EXPECT_EQ(hero->FindScheduledCommand(1075), nullptr);
}

TEST_F(CharacterCommandsTest, BindingFindsPartsAndSetsUp) {
    EXPECT_EQ(std::tuple(hero->ActionColObj() != nullptr, hero->ChestColObj()->boxMin.z,
                         hero->colObjs[0]->factor),
              std::tuple(true, 0.0f, 10.0f));
    EXPECT_NE(hero->processEntry, nullptr);
    // A ThirdPerson character with wall, kick and relax motions and a light
    // sensor, rebound.
    skin->motions = {"W_Climb", "k_Kick", "N_Relax"};
    Actor *sensor = CreateActor(0, "LightSensor", nullptr, hero, -1, true);
    ColObj push(hero);
    push.name = "pushchar";
    push.groups = 0x4000001u;
    hero->AddColObj(push);
    hero->characterType = kCharacterThirdPerson;
    ScheduledCommand *process = hero->processEntry;
    hero->HandleCommand(153, ParamBlock());
    EXPECT_EQ(hero->processEntry, process);
    EXPECT_EQ(hero->sensorTarget.target, sensor);
    EXPECT_NE(hero->FindScheduledCommand(1090), nullptr);
    const uint32_t wanted = kCharWallClimbEnable | kCharKickAllowed | kCharMotionDriven;
    EXPECT_EQ(hero->charFlags & wanted, wanted);
    EXPECT_NE(hero->charFlags2 & kChar2RelaxAllowed, 0u);
    EXPECT_EQ(hero->colObjs.back()->groups, 0x4000001u & ~0x4000000u);
    EXPECT_NE(hero->colObjs[0]->groups & 0x80000u, 0u);
    std::vector<uint32_t> layers;
    for (const RecordedCommand &entry : skin->log) {
        if (entry.id == 1133 || entry.id == 1129) {
            layers.push_back(entry.id * 10 + entry.Read<uint32_t>(0));
        }
    }
    EXPECT_EQ(layers, (std::vector<uint32_t>{11332, 11291, 11330}));
    // FirstPerson turns without delay.
    SendCommandArgs(hero, 837, kCharacterFirstPerson);
    EXPECT_EQ(std::tuple(hero->turnSpeed, hero->charFlags & (1u << 29)),
              std::tuple(9999999827968.0f, 1u << 29));
    // No skin: a plain one is made.
    DeleteActor(skin);
    hero->HandleCommand(153, ParamBlock());
    ASSERT_NE(hero->skin.target, nullptr);
    EXPECT_EQ(std::tuple(hero->skin.target->classId, hero->skin.target->name),
              std::tuple(43u, std::string("Skin")));
}

TEST_F(CharacterCommandsTest, BindingTakesTheSurfaceOfTheSkinsFirstMaterial) {
    DeleteActor(skin);
    auto *mesh = dynamic_cast<MeshObjectActor *>(
        CreateActor(kMeshObjectClassId, "Skin", nullptr, hero, -1, true));
    ASSERT_NE(mesh, nullptr);
    MaterialItem first;
    MaterialItem second;
    first.field2 = 7;
    second.field2 = 3;
    auto surfaces = [&] {
        hero->HandleCommand(153, ParamBlock());
        std::vector<std::pair<uint32_t, float>> seen;
        for (const auto &object : hero->colObjs) {
            seen.emplace_back(object->material, object->factor);
        }
        return seen;
    };
    const size_t count = hero->colObjs.size();
    ASSERT_GT(count, 1u);
    mesh->subMeshes.resize(2);
    mesh->subMeshes[0].material = &first;
    mesh->subMeshes[1].material = &second;
    EXPECT_EQ(surfaces(), (std::vector<std::pair<uint32_t, float>>(count, {7u, 10.0f})));
    // No material listed: 0.
    mesh->subMeshes.clear();
    EXPECT_EQ(surfaces(), (std::vector<std::pair<uint32_t, float>>(count, {0u, 10.0f})));
}

TEST_F(CharacterCommandsTest, ContactsPushesAndActions) {
    hero->flags |= kActorMaster;
    // 358 with the jump held lifts and widens, and 1093 restores.
    const float body = hero->BodyColObj()->boxMax.x;
    const float y = hero->position.y;
    EXPECT_EQ(hero->HandleCommand(358, ParamBlock()), 1);
    EXPECT_EQ(hero->position.y, y);
    hero->charFlags |= kCharJumpHeld;
    hero->HandleCommand(358, ParamBlock());
    EXPECT_EQ(std::tuple(hero->position.y, hero->BodyColObj()->boxMax.x, hero->syncCounter),
              std::tuple(y + 12.0f, body * 1.04f, 1u));
    hero->charFlags &= ~kCharJumpHeld;
    runner.Step(60);
    EXPECT_EQ(std::tuple(hero->BodyColObj()->boxMax.x, hero->syncCounter), std::tuple(body, 0u));

    // A push once per 5 s.
    SendCommandArgs(hero, 856, 0.0f);
    skin->motions.push_back("N_Gethit0");
    hero->HandleCommand(1082, ParamBlock());
    hero->HandleCommand(1082, ParamBlock());
    EXPECT_EQ(std::tuple(skin->motion, hero->holdTime, hero->charFlags & kCharPushEnabled),
              std::tuple(std::string("N_Gethit0"), 4.0f, 0u));
    EXPECT_NE(hero->FindScheduledCommand(1083), nullptr);
    runner.Step(320);
    EXPECT_NE(hero->charFlags & kCharPushEnabled, 0u);

    // An "Action" contact opens the door with no item in the left hand.
    SendCommandArgs(hero, 856, 0.0f);
    auto *door = dynamic_cast<DoorActor *>(scene::SceneBuilder::Find("DoorA"));
    ASSERT_NE(door, nullptr);
    runner.Step(40);
    skin->motions.push_back("N_Action");
    ColObj *action = hero->ActionColObj();
    action->flags |= kColObjActive;
    void *pair[2] = {door->colObjs[0].get(), action};
    action->busy = 1;
    EXPECT_EQ(hero->HandleCommand(171, ParamBlock(pair, sizeof(pair))), 0);
    action->busy = 0;
    EXPECT_EQ(hero->HandleCommand(171, ParamBlock(pair, sizeof(pair))), 1);
    EXPECT_NE(door->doorState, kDoorClosed);
    EXPECT_EQ(std::tuple(action->flags & kColObjActive, skin->motion),
              std::tuple(0u, std::string("N_Action")));
    void *floor[2] = {scene::SceneBuilder::Find("Floor")->colObjs[0].get(), action};
    EXPECT_EQ(hero->HandleCommand(171, ParamBlock(floor, sizeof(floor))), 0);
}

TEST_F(CharacterCommandsTest, ASightRayMeetsTheRadiiAsTheyAreWritten) {
    // The query keeps its index of the movers from ray to ray; a ray across
    // the body's centre passes at `across` from it.
    runner.Step(2);
    const size_t saved = SetCollisionGridMinimum(0);
    ColObj *body = hero->BodyColObj();
    ASSERT_NE(body, nullptr);
    const float radius = body->worldMax.x;
    auto ray = [&](float across) {
        const uint32_t masks[3] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0};
        const Vector3 c = body->worldMin;
        return GetActorSystem()->CollisionQuery(
            {c.x - 30, c.y, c.z + across}, {c.x + 30, c.y, c.z + across}, masks, nullptr, nullptr);
    };
    EXPECT_EQ(ray(radius * 0.5f), body);
    EXPECT_NE(ray(radius * 1.035f), body);
    // Widened by 358 with the jump held: met in the same frame.
    hero->charFlags |= kCharJumpHeld;
    hero->HandleCommand(cmd::base::PoseRestored, ParamBlock());
    EXPECT_EQ(ray(radius * 1.035f), body);
    // The radii written back by the scheduled restore.
    float radii[2] = {radius * 1.1f, hero->ChestColObj()->boxMax.x};
    hero->HandleCommand(cmd::character::Hjfhhdt, ParamBlock(radii, sizeof(radii)));
    EXPECT_EQ(ray(radius * 1.08f), body);
    SetCollisionGridMinimum(saved);
}

TEST_F(CharacterCommandsTest, UnsoundInputsChangeNothing) {
    // A movement index past the table.
    hero->movement = 65;
    EXPECT_EQ(Movement(), "?");
    hero->movement = 0;
    SendCommandArgs(hero, 893, uint32_t{'N' | (65u << 8)});
    SendCommandArgs(hero, 893, uint32_t{0xFFFFFFFFu});
    EXPECT_EQ(std::tuple(hero->movement, hero->posture), std::tuple(0u, 'N'));
    // A matrix into a 16-byte block keeps to it.
    float small[8] = {};
    std::fill(std::begin(small), std::end(small), -7.0f);
    hero->HandleCommand(989, ParamBlock(small, 16));
    EXPECT_EQ(small[4], -7.0f);
    EXPECT_NE(small[0], -7.0f);
    // Negative or NaN blend times change at once.
    for (float seconds : {-1.0f, kNaN}) {
        SendCommandArgs(hero, 940, 50.0f, seconds);
        EXPECT_EQ(hero->paramBlendStep[kParamSpeed], std::numeric_limits<float>::infinity());
    }
    // A Constitution of 0: no change, except that minus infinity still kills.
    hero->flags |= kActorMaster;
    hero->health = 50.0f;
    hero->paramValue[kParamConstitution] = 0.0f;
    SendCommandArgs(hero, 952, 10.0f, 0.0f);
    SendCommandArgs(hero, 952, 0.0f, 0.0f);
    EXPECT_EQ(hero->health, 50.0f);
    SendCommandArgs(hero, 964, 10.0f);
    EXPECT_EQ(hero->health, 0.0f);
    // Group bits 0 and 33 do not exist.
    SendCommandArgs(hero, 860, uint32_t{0xF0F0F0F0u});
    SendCommandArgs(hero, 862, uint32_t{0}, uint32_t{1});
    SendCommandArgs(hero, 862, uint32_t{33}, uint32_t{1});
    EXPECT_EQ(hero->characterGroup, 0xF0F0F0F0u);
    // A copy outlives its template and binds its own parts.
    auto *copy = dynamic_cast<CharacterActor *>(CopyActorTree(hero, hero->parent));
    ASSERT_NE(copy, nullptr);
    ASSERT_TRUE(copy->skin.target != nullptr && copy->rightHand.target != nullptr);
    EXPECT_EQ(
        std::tuple(copy->skin.target->parent, copy->rightHand.target->parent, copy->bones.size()),
        std::tuple(static_cast<Actor *>(copy), static_cast<Actor *>(copy), size_t{0}));
    DeleteActor(hero);
    copy->HandleCommand(153, ParamBlock());
    ASSERT_NE(copy->skin.target, nullptr);
    copy->HandleCommand(1000, ParamBlock());
    copy->HandleCommand(351, ParamBlock(small, 12));
}

TEST_F(CharacterCommandsTest, CharacterSyncTakesTheVelocity) {
    float sync[15] = {1, 2, 3, 40, -5, 60, 0.5f, 0.25f, 1.5f, 0.75f, 0.1f, 0, 0, 2.0f, 70.0f};
    hero->HandleCommand(865, ParamBlock(sync, sizeof(sync)));
    EXPECT_EQ(std::tuple(hero->deltaPosition.x, hero->deltaPosition.y, hero->deltaPosition.z,
                         hero->position.x, hero->rotY),
              std::tuple(40.0f, -5.0f, 60.0f, 1.0f, 0.5f));
}

TEST_F(CharacterCommandsTest, AnswersFollowThePostureAndBaseCommandsServe) {
    // Visibility and noise by posture and movement; with a light sensor the
    // visibility scales by its colour.
    hero->paramValue[kParamNoiselevel] = 1.0f;
    hero->posture = 'R';
    hero->movement = 4;
    EXPECT_FLOAT_EQ(Get<float>(975), 0.8f);
    const std::pair<char, float> noise[] = {{'C', 0.2f}, {'N', 0.5f}, {'R', 1.0f}};
    for (const auto &[letter, expected] : noise) {
        hero->posture = letter;
        EXPECT_FLOAT_EQ(Get<float>(974), expected) << letter;
    }
    hero->movement = 0;
    EXPECT_FLOAT_EQ(Get<float>(974), 0.1f);
    const char *letters = "JFKWCRMN";
    for (const char *letter = letters; *letter != '\0'; ++letter) {
        hero->posture = *letter;
        const uint32_t answers[] = {Get<uint32_t>(1084), Get<uint32_t>(1086), Get<uint32_t>(1087),
                                    Get<uint32_t>(1088), Get<uint32_t>(1089)};
        const std::string air = "JFK";
        const uint32_t expected[] = {air.find(*letter) != std::string::npos, *letter == 'W',
                                     *letter == 'C', *letter == 'R', *letter == 'M'};
        EXPECT_TRUE(std::equal(std::begin(answers), std::end(answers), std::begin(expected)))
            << *letter;
    }
    game::RecorderClass sensors{12};
    auto *sensor =
        dynamic_cast<game::Recorder *>(CreateActor(12, "LightSensor", nullptr, hero, -1, true));
    ASSERT_NE(sensor, nullptr);
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    sensor->Answer(354, grey);
    hero->HandleCommand(153, ParamBlock());
    hero->posture = 'R';
    hero->movement = 4;
    EXPECT_FLOAT_EQ(Get<float>(975), 0.4f);
    // "Get Color" blends from the values last sent by the time left.
    hero->HandleCommand(1090, ParamBlock());
    ScheduledCommand *update = hero->FindScheduledCommand(1090);
    ASSERT_NE(update, nullptr);
    hero->SetScheduledCommandTime(update, 0.25f);
    std::array<float, 4> color = Get<std::array<float, 4>>(354);
    hero->HandleCommand(1090, ParamBlock());
    color = Get<std::array<float, 4>>(354);
    EXPECT_FLOAT_EQ(color[0], 0.5f);

    // Centre, forceback, sync, resync.
    const Vector3 at = hero->GetWorldPosition();
    const Vector3 centre = Get<Vector3>(350);
    EXPECT_EQ(std::tuple(centre.x, centre.y, centre.z), std::tuple(at.x, at.y + 40.0f, at.z));
    hero->rotation = {0.0f, 0.0f, 0.0f, 1.0f};
    hero->InvalidateTransform();
    SendCommandArgs(hero, 867, 2.0f, 0.0f);
    EXPECT_FLOAT_EQ(hero->pendingImpulse.y, 2.0f);
    EXPECT_FLOAT_EQ(hero->pendingImpulse.z, 20.0f);
    float sync[15] = {1, 2, 3, 0, 0, 0, 0.5f, 0.25f, 1.5f, 0.75f, 0.1f, 0, 0, 2.0f, 70.0f};
    hero->HandleCommand(865, ParamBlock(sync, sizeof(sync)));
    EXPECT_EQ(std::tuple(hero->position.z, hero->rotY, hero->look.rotXSmooth, hero->rotYSmooth,
                         hero->speedFactor, hero->health),
              std::tuple(3.0f, 0.5f, 0.25f, 0.75f, 2.0f, 70.0f));
    EXPECT_FLOAT_EQ(hero->lookRotYOffset, 0.75f);
    Bone record;
    hero->bones.assign(kCharacterBoneCount, &record);
    hero->HandleCommand(1000, ParamBlock());
    EXPECT_EQ(std::tuple(hero->skin.target, hero->bones.size()),
              std::tuple(static_cast<Actor *>(skin), size_t{0}));
    // Loading levels the pitch; invalidating brings the smoothed angles.
    hero->look.rotX = 0.5f;
    hero->HandleCommand(65, ParamBlock());
    EXPECT_EQ(hero->look.rotXSmooth, 0.5f);
    hero->HandleCommand(45, ParamBlock());
    EXPECT_EQ(std::tuple(hero->look.rotX, hero->look.rotXSmooth), std::tuple(0.0f, 0.0f));
    hero->HandleCommand(251, ParamBlock());
    EXPECT_EQ(skin->Of(251).size(), 1u);

    // A weapon in the right hand arms it.
    game::Recorder *weapon = dynamic_cast<game::Recorder *>(
        CreateActor(12, "Rifle", nullptr, hero->itemsActor.target, -1, true));
    ASSERT_NE(weapon, nullptr);
    weapon->Answer(603, uint32_t{4});
    ReparentActor(weapon, hero->rightHand.target);
    EXPECT_NE(hero->charFlags & kCharRightHandArmed, 0u);
    ReparentActor(weapon, hero->itemsActor.target);
    EXPECT_EQ(hero->charFlags & kCharRightHandArmed, 0u);

    // Sleeping stops the simulation and the collisions; waking restarts them.
    hero->HandleCommand(1054, ParamBlock());
    EXPECT_EQ(std::tuple(hero->charFlags & kCharSuspended, hero->HasFlag(kActorSimulated),
                         hero->HasFlag(kActorCollisionEnabled)),
              std::tuple(kCharSuspended, false, false));
    EXPECT_EQ(Get<float>(1052), 1.0f);
    SendCommandArgs(hero, 63, Vector3{5.0f, 30.0f, 5.0f});
    EXPECT_EQ(hero->lastSafePosition.x, 5.0f);
    hero->HandleCommand(1055, ParamBlock());
    EXPECT_EQ(std::tuple(hero->charFlags & kCharSuspended, hero->HasFlag(kActorSimulated),
                         hero->HasFlag(kActorCollisionEnabled)),
              std::tuple(0u, true, true));
}

} // namespace
