// The Player on a loaded scene with scripted input: what it sends its
// character by scheme and type, tuning keys and debug chord, time scale,
// key actors and Esc; then its commands, copy and actor-file record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "actors/characters/character_seams.h"
#include "actors/characters/player_actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/actor_system_commands.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/time_record.h"
#include "platform/input.h"
#include "support/actor_record.h"
#include "support/game_fixture.h"

namespace {

using Ids = std::vector<uint32_t>;
constexpr uint32_t kStandInClass = 50; // key actors, gauges, time instance, camera
constexpr InputCode kW = 0x57, kA = 0x41, kS = 0x53, kD = 0x44, kE = 0x45, kSpace = 0x20;
constexpr InputCode kShift = 0x92, kCtrl = 0x91, kEsc = 0x1B, kTab = 0x68;
constexpr InputCode kTimeKey = 0x54, kYKey = 0x59, kLeftButton = 256, kRightButton = 257;

bool IsLook(uint32_t id) { return id == 982 || id == 983 || id == 1005 || id == 1006 || id == 1026; }

// A character that logs what a Player sends it.
class LoggedCharacter : public CharacterActor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if ((commandId >= 869 && commandId <= 886) || IsLook(commandId) || commandId == 976 ||
            commandId == 1027 || commandId == 1097) {
            angleAtTravel = commandId == 1026 && Of(1026).empty() ? moveAngle : angleAtTravel;
            const uint8_t *bytes = block.data();
            log.push_back({FrameCounter, commandId, {bytes, bytes + (bytes ? block.size() : 0)}});
        }
        return CharacterActor::HandleCommand(commandId, block);
    }
    // The ids, without the look and travel ones unless asked.
    Ids Sent(bool withLook = false) const {
        Ids ids;
        for (const RecordedCommand &entry : log) {
            if (entry.id != 877 && (withLook || !IsLook(entry.id))) {
                ids.push_back(entry.id);
            }
        }
        return ids;
    }
    std::vector<RecordedCommand> Of(uint32_t commandId) const {
        std::vector<RecordedCommand> found;
        std::copy_if(log.begin(), log.end(), std::back_inserter(found),
                     [commandId](const RecordedCommand &entry) { return entry.id == commandId; });
        return found;
    }
    std::vector<RecordedCommand> log;
    float angleAtTravel = 0.0f; // moveAngle when the first "Set Desired Movement" came
};
Actor *NewLoggedCharacter() { return new LoggedCharacter(); }

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        game::MakeCharacter(builder, "Hero", {0, 30, 0},
                            game::Room(builder, "RoomA", {-500, -100, -500}, {500, 400, 500}));
        builder.Make(kPlayerClassId, "P1");
        ASSERT_TRUE(builder.Load());
        hero = dynamic_cast<LoggedCharacter *>(scene::SceneBuilder::Find("Hero"));
        player = dynamic_cast<PlayerActor *>(scene::SceneBuilder::Find("P1"));
        ASSERT_TRUE(hero != nullptr && player != nullptr);
        ActorSystem::CancelScheduledCommand(hero->processEntry); // its own frame stays out
        hero->processEntry = nullptr;
        front = game::MakeFrontEnd();
        front->Answer(457, uint32_t{0});
        runner.SetCamera({0, 100, -300}); // looking down +z
        BindDefaultActions();
        BindAction(28, kTimeKey, 0);
        BindAction(27, kYKey, 0);
    }
    void TearDown() override { GetActorSystem()->runMode = GetActorSystem()->runFlags = 0; }

    void SetType(uint32_t type) {
        SendCommandArgs(hero, 837, type);
        Actor *character = hero;
        player->HandleCommand(538, ParamBlock(&character, sizeof(character)));
    }
    // The hero of the type, driven by the master Player from 0.4 s on.
    void Drive(uint32_t type) {
        SetType(type);
        player->flags |= kActorMaster;
        while (player->runTime < 0.4f) {
            runner.Step();
        }
        hero->log.clear();
    }
    // Holds or lets go of a key or mouse button from the next frame on.
    void Hold(InputCode code, bool down) {
        if (code == kLeftButton || code == kRightButton) {
            keys.backend.SetKey(code == kLeftButton ? 1 : 2, down);
            WindowMessage message;
            message.kind = down ? MessageKind::ButtonDown : MessageKind::ButtonUp;
            message.button = code;
            HandleInputMessage(message);
        } else {
            keys.Key(InputCodeToVirtualKey(code), down);
        }
    }
    // Pressed in one frame, released in the next; what the hero got.
    Ids Tap(InputCode code) {
        hero->log.clear();
        Hold(code, true);
        runner.Step();
        Hold(code, false);
        runner.Step();
        return hero->Sent();
    }
    // A recording stand-in at the path below "/Global", made with the
    // actors on the way.
    game::Recorder *StandIn(const std::string &path) {
        Actor *at = GetActorById(1);
        for (size_t start = 8; start <= path.size();) {
            const size_t end = std::min(path.find('/', start), path.size());
            const std::string name = path.substr(start, end - start);
            Actor *child = FindChildByName(at, name.c_str());
            at = child != nullptr ? child : CreateActor(kStandInClass, name, nullptr, at, -1, true);
            start = end + 1;
        }
        return dynamic_cast<game::Recorder *>(at);
    }
    void Cursor(int dx, int dy) { keys.backend.SetCursorPos(512 + dx, 384 + dy); }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    game::RecorderClass characters{kCharacterClassId, &NewLoggedCharacter};
    game::RecorderClass skins{game::kSkinClassId, &game::NewScriptedSkin};
    game::RecorderClass frontEnds{game::kFrontEndClassId};
    game::RecorderClass standIns{kStandInClass};
    game::ScriptedKeys keys{runner};
    LoggedCharacter *hero = nullptr;
    PlayerActor *player = nullptr;
    game::Recorder *front = nullptr;
};

TEST_F(PlayerTest, SendsNothingEarlyForOtherTypesUnlessMasterOrWithoutCharacter) {
    SetType(kCharacterThirdPerson);
    player->flags |= kActorMaster;
    player->runTime = 0.0f;
    Hold(kW, true);
    size_t early = 0;
    for (runner.Step(); player->runTime < 0.4f; runner.Step()) {
        early += hero->log.size();
    }
    EXPECT_EQ(early, 0u);
    EXPECT_FALSE(hero->log.empty()) << "from 0.4 s";
    for (uint32_t type : {kCharacterCustom, kCharacterGuard, kCharacterThirdPerson}) {
        SetType(type);
        player->flags &= type == kCharacterThirdPerson ? ~kActorMaster : ~0u;
        hero->log.clear();
        runner.Step(2);
        EXPECT_TRUE(hero->log.empty()) << type;
    }
    // Not a character: type 0.
    Actor *other = front;
    player->HandleCommand(538, ParamBlock(&other, sizeof(other)));
    EXPECT_EQ(player->characterTypeCopy, 0u);
    // A script deletes the character: the link lets go and nothing is sent.
    SetType(kCharacterThirdPerson);
    player->flags |= kActorMaster;
    DeleteActor(hero);
    Actor *answer = player;
    player->HandleCommand(539, ParamBlock(&answer, sizeof(answer)));
    EXPECT_EQ(answer, nullptr);
    runner.Step(2);
}

TEST_F(PlayerTest, TuningKeysAndTheDebugChord) {
    Drive(kCharacterThirdPerson);
    for (int i = 0; i < 25; ++i) {
        Tap(113);
    }
    EXPECT_FLOAT_EQ(PlayerInput.mouseSensitivity, 0.07f);
    PlayerInput.mouseSensitivity = 4.99f;
    Tap(114);
    EXPECT_FLOAT_EQ(PlayerInput.mouseSensitivity, 5.0f);
    auto pitch = [&]() {
        hero->log.clear();
        Cursor(0, 10);
        runner.Step();
        return hero->Of(983).at(0).F32();
    };
    const float before = pitch();
    EXPECT_GT(before, 0.0f) << "inverted from the start";
    Tap(112);
    EXPECT_FLOAT_EQ(pitch(), -before);

    for (InputCode code : {117u, 118u, 119u}) {
        Hold(code, true);
    }
    runner.Step();
    EXPECT_EQ(DebugTextFlag, 0u);
    Hold(120, true);
    runner.Step();
    EXPECT_EQ(std::tuple(DebugTextFlag, GetActionBinding(28, 0)), std::tuple(1u, 258u));
    Hold(118, false);
    runner.Step();
    EXPECT_EQ(DebugTextFlag, 0u);
}

TEST_F(PlayerTest, PostureKeysMovementLookAndTheFrontEndMode) {
    Drive(kCharacterThirdPersonShooter);
    EXPECT_EQ(Tap(kShift), (Ids{872, 873}));
    EXPECT_EQ(Tap(kCtrl), (Ids{871, 873}));
    for (uint32_t type : {kCharacterFirstPerson, kCharacterThirdPerson}) {
        SetType(type);
        hero->posture = 'N';
        EXPECT_EQ(Tap(kCtrl), (Ids{871, 872})) << type;
        EXPECT_EQ(Tap(kShift), (Ids{873, 872})) << type;
        hero->posture = 'C';
        EXPECT_EQ(Tap(kShift), (Ids{872})) << type;
    }

    // Camera forward (0, 0, 1): the travel and the key vector's heading.
    const float side = std::acos(0.05f / std::sqrt(1.0025f));
    const std::tuple<InputCode, Vector3, float> rows[] = {{kW, {0, 0, -1}, 0.0f},
                                                          {kA, {1, 0, -0.05f}, -side},
                                                          {kS, {0, 0, 1}, kPi},
                                                          {kD, {-1, 0, -0.05f}, side}};
    for (const auto &[key, travel, angle] : rows) {
        Tap(key);
        const Vector3 sent = hero->Of(1026).at(0).Read<Vector3>();
        EXPECT_NEAR(sent.x, travel.x, 1e-6f) << key;
        EXPECT_NEAR(sent.z, travel.z, 1e-6f) << key;
        EXPECT_NEAR(hero->angleAtTravel, angle, 1e-5f) << key;
    }
    PlayerInput.mouseSensitivity = 2.0f;
    PlayerInput.mouseInverted = 0;
    hero->log.clear();
    Cursor(10, 5);
    runner.Step();
    const float dx = ActionValue(1, 0) * 2.0f * 0.05f, dy = -ActionValue(2, 0) * 2.0f * 0.05f;
    ASSERT_TRUE(dx != 0.0f && dy != 0.0f);
    EXPECT_EQ(hero->Sent(true), (Ids{982, 983, 1005, 1006, 1026}));
    EXPECT_EQ(std::tuple(hero->Of(982)[0].F32(), hero->Of(1005)[0].F32(), hero->Of(983)[0].F32(),
                         hero->Of(1006)[0].F32()),
              std::tuple(dx, dx, dy, dy));

    // Front-end mode (the normal frame still running): only the look.
    GetActorSystem()->runMode = GetActorSystem()->runFlags = 1;
    for (InputCode key : {kW, kCtrl, kSpace, kLeftButton}) {
        Tap(key);
        EXPECT_EQ(hero->Sent(true), (Ids{982, 983, 1005, 1006, 982, 983, 1005, 1006})) << key;
    }
}

// Run and crouch follow the keys' held state since the Player last looked:
// a key held through the first 0.4 s counts as pressed when it first looks.
TEST_F(PlayerTest, APostureKeyHeldFromTheStartCountsWhenThePlayerFirstLooks) {
    SetType(kCharacterThirdPerson);
    player->flags |= kActorMaster;
    // From run time 0 with the key held from the first frame: what the hero
    // got by the first frame the Player looks, after three more frames held,
    // and after letting go and three frames more.
    auto heldFromTheStart = [&](InputCode key) {
        player->runTime = 0.0f;
        hero->posture = 'N';
        hero->log.clear();
        Hold(key, true);
        while (player->runTime < 0.4f) {
            runner.Step();
        }
        const Ids first = hero->Sent();
        runner.Step(3);
        const Ids held = hero->Sent();
        Hold(key, false);
        runner.Step(3);
        return std::tuple(first, held, hero->Sent());
    };
    EXPECT_EQ(heldFromTheStart(kShift), std::tuple(Ids{873}, Ids{873}, Ids{873, 872}));
    EXPECT_EQ(heldFromTheStart(kCtrl), std::tuple(Ids{871}, Ids{871}, Ids{871, 872}));

    // Pressed and let go within the first 0.4 s: nothing, then or later.
    player->runTime = 0.0f;
    hero->log.clear();
    for (InputCode key : {kShift, kCtrl}) {
        Hold(key, true);
        runner.Step();
        Hold(key, false);
        runner.Step();
    }
    while (player->runTime < 0.4f) {
        runner.Step();
    }
    runner.Step(2);
    EXPECT_EQ(hero->Sent(), Ids{});

    // Pressed and let go within one frame: pressed and released, as ever.
    for (const auto &[key, sent] :
         {std::pair(kShift, Ids{873, 872}), std::pair(kCtrl, Ids{871, 872})}) {
        hero->posture = 'N';
        hero->log.clear();
        Hold(key, true);
        Hold(key, false);
        runner.Step();
        EXPECT_EQ(hero->Sent(), sent) << key;
    }

    // The shooter's posture keys alike.
    SetType(kCharacterThirdPersonShooter);
    EXPECT_EQ(heldFromTheStart(kShift), std::tuple(Ids{872}, Ids{872}, Ids{872, 873}));
    EXPECT_EQ(heldFromTheStart(kCtrl), std::tuple(Ids{871}, Ids{871}, Ids{871, 873}));
}

TEST_F(PlayerTest, FireAndUseWaitForTheHiddenFrontEnd) {
    game::Recorder *mouse = StandIn("/Global/Inventory/RMouseButton");
    front->Answer(457, uint32_t{1});
    Drive(kCharacterThirdPersonShooter);
    EXPECT_EQ(Tap(kLeftButton), Ids{});
    EXPECT_EQ(Tap(kRightButton), Ids{});
    EXPECT_TRUE(mouse->Of(208).empty() && mouse->Of(209).empty());
    SetType(kCharacterFirstPerson);
    EXPECT_EQ(Tap(kE), (Ids{886, 884, 885}));

    front->Answer(457, uint32_t{0});
    EXPECT_EQ(Tap(kLeftButton), (Ids{880, 878, 879}));
    EXPECT_EQ(Tap(kRightButton), (Ids{883, 881, 882}));
    EXPECT_EQ(std::tuple(mouse->Of(208).size(), mouse->Of(209).size()), std::tuple(1u, 1u));
    SetType(kCharacterThirdPerson);
    EXPECT_EQ(Tap(kE), (Ids{880, 886, 878, 884, 879, 885}));
    SetType(kCharacterThirdPersonShooter);
    EXPECT_EQ(Tap(kLeftButton), (Ids{886, 884, 885}));
    EXPECT_EQ(Tap(kRightButton), (Ids{880, 878, 879}));
    EXPECT_EQ(Tap(kSpace), (Ids{869, 870}));
}

TEST_F(PlayerTest, TimeScaleSlowsFreezesAndDrainsTheGauge) {
    Drive(kCharacterThirdPerson);
    const float g = 1.0f / 60.0f;
    Hold(kTimeKey, true); // without a gauge: 999.0, never written
    runner.Step(200);
    EXPECT_EQ(std::tuple(PlayerInput.timeScale, RootTimeRecord()->multiplier),
              std::tuple(0.1f, 0.1f));
    Hold(kTimeKey, false);
    runner.Step();
    EXPECT_FLOAT_EQ(PlayerInput.timeScale, 0.1f * (1.0f + g));
    runner.Step(300);
    EXPECT_EQ(PlayerInput.timeScale, 1.0f);

    game::Recorder *amount = StandIn("/Global/ScriptSoul/Amount");
    StandIn("/Global/ScriptSoul/ConsumeMul")->Answer(252, 2.0f);
    game::Recorder *instance = StandIn("/Global/ti_ga1");
    amount->Answer(252, 50.0f);
    Hold(kTimeKey, true);
    runner.Step();
    const float drained = 50.0f - g * 2.0f * 0.111f;
    ASSERT_EQ(amount->Of(251).size(), 1u);
    EXPECT_FLOAT_EQ(amount->Of(251)[0].F32(), drained);
    Ids ids;
    for (const RecordedCommand &entry : instance->log) {
        if (entry.id == 1777 || entry.id == 1779) {
            ids.push_back(entry.id);
            EXPECT_EQ(entry.block.size(), 4u);
            EXPECT_FLOAT_EQ(entry.F32(), std::sqrt(1.0f - g));
        }
    }
    EXPECT_EQ(ids, (Ids{1779, 1777}));

    // Released, pressed again within 0.2 s: frozen for 0.5 s.
    Hold(kTimeKey, false);
    runner.Step(5);
    amount->log.clear();
    Hold(kTimeKey, true);
    runner.Step();
    Hold(kTimeKey, false);
    EXPECT_EQ(std::tuple(PlayerInput.timeScale, RootTimeRecord()->multiplier, PlayerInput.blend),
              std::tuple(0.0f, 0.0f, 1.0f));
    ASSERT_EQ(amount->Of(251).size(), 2u) << "the held frame's drain, then the freeze's";
    EXPECT_FLOAT_EQ(amount->Of(251)[1].F32(), drained - 2.0f * 0.5f);
    int frozen = 0;
    for (; PlayerInput.freezing != 0 && frozen < 100; ++frozen) {
        runner.Step();
    }
    EXPECT_NEAR(frozen, 30, 1);
    EXPECT_EQ(PlayerInput.timeScale, 0.005f);
}

TEST_F(PlayerTest, KeyActorsStartAndStopAndEscWaitsThenQuitsOrTellsItsActor) {
    int closes = 0;
    GetActorSystemHooks().requestClose = [&closes] { ++closes; };
    Drive(kCharacterThirdPerson);
    Tap(kEsc);
    EXPECT_EQ(closes, 0) << "in the first second";
    std::vector<std::tuple<std::string, InputCode, size_t>> rows = {
        {"QuickLoad", 116, 0}, {"Tab", kTab, 1}, {"E", kYKey, 1}, {"Q", 0x47, 1},
        {"Return", 98, 1}, {"RMouseButton", kRightButton, 1}, {"pow2", 0x52, 1}};
    for (InputCode i = 0; i < 10; ++i) {
        rows.emplace_back("PAD" + std::to_string(i), 135 + i, 1);
    }
    for (InputCode i = 1; i <= 4; ++i) {
        rows.emplace_back("F" + std::to_string(i), 110 + i, 1);
    }
    Tap(115); // "QuickSave" is missing: skipped
    for (const auto &[name, code, stops] : rows) {
        game::Recorder *actor = StandIn("/Global/Inventory/" + name);
        Tap(code);
        EXPECT_EQ(std::tuple(actor->Of(208).size(), actor->Of(209).size()), std::tuple(1u, stops))
            << name;
    }
    game::Recorder *pow2 = StandIn("/Global/Inventory/pow2");
    Hold(kE, true);
    Tap(0x52);
    Hold(kE, false);
    EXPECT_EQ(pow2->Of(208).size(), 1u) << "not while action 16 is held";

    ASSERT_GT(player->runTime, 1.0f);
    Tap(kEsc);
    EXPECT_EQ(closes, 1);
    game::Recorder *esc = StandIn("/Global/Inventory/Esc");
    auto *slot = dynamic_cast<game::Recorder *>(
        CreateActor(kStandInClass, "GA1", nullptr, GetActorById(2), -1, true));
    slot->BindGlobalSlot();
    slot->log.clear();
    Tap(kEsc);
    Ids told = slot->Ids();
    told.resize(3);
    EXPECT_EQ(told, (Ids{879, 882, 885}));
    EXPECT_EQ(std::tuple(esc->Of(208).size(), esc->Of(209).size(), closes),
              std::tuple(1u, 1u, 1));
    ResetActorSystemHooks();
}

TEST_F(PlayerTest, ConsoleSchemeSteersByTheStick) {
    Drive(kCharacterConsole);
    auto *camera = dynamic_cast<game::Recorder *>(
        CreateActor(kStandInClass, "Cam", nullptr, GetActorById(2), -1, true));
    hero->notifyCamera.Assign(camera);
    auto *skin = dynamic_cast<game::ScriptedSkin *>(hero->skin.target);
    // The camera stick on a joystick: action 6 on its x axis, 7 on its z.
    const int pad = keys.backend.AddJoystick();
    InitInput(&keys.backend);
    BindDefaultActions();
    BindAction(6, kJoystickAxis0, 0);
    BindAction(7, kJoystickAxis0 + 2, 0);
    keys.backend.Joystick(pad).axes[0] = 2048;
    keys.backend.Joystick(pad).axes[2] = -1024;
    // Cursor offsets for stick lengths of about 0.6, 0.3, 0.2 and 0.05.
    const std::tuple<int, int, const char *, float, float> rows[] = {
        {18, 5, "R_Forward", 15.0f, 0.68f}, {9, 3, "N_Forward", 10.0f, 0.55f},
        {6, 2, "N_Forward", 5.0f, 0.4f}, {1, 1, "N_Neutral", 0.0f, 1.0f}};
    for (const auto &[x, y, motion, turn, speed] : rows) {
        hero->log.clear();
        skin->log.clear();
        camera->log.clear();
        Cursor(x, y);
        runner.Step();
        const std::vector<uint8_t> text = hero->Of(1097).at(0).block;
        EXPECT_EQ(std::string(text.begin(), std::find(text.begin(), text.end(), 0)), motion);
        ASSERT_EQ(hero->Of(1027).size(), turn > 0.0f ? 1u : 0u) << motion;
        if (turn > 0.0f) {
            EXPECT_EQ(hero->Of(1027)[0].F32(), turn);
        }
        EXPECT_NEAR(skin->Of(1123).at(0).F32(), speed, 0.01f) << motion;
        const float sx = ActionValue(1, 0), sz = -ActionValue(2, 0);
        const float length = std::sqrt(sx * sx + sz * sz);
        if (length > 0.1f) { // the heading kept: the camera's (0) plus the stick's
            EXPECT_NEAR(hero->Of(976).at(0).F32(), std::copysign(std::acos(sz / length), sx), 1e-5f);
        }
        EXPECT_EQ(hero->Sent(true).back(), 976u);
        for (auto [id, action] : {std::pair{1240u, 6}, std::pair{1239u, 7}}) {
            ASSERT_EQ(camera->Of(id).size(), length < 0.14f ? 1u : 0u) << motion;
            if (length < 0.14f) {
                EXPECT_FLOAT_EQ(camera->Of(id)[0].F32(),
                                ActionValue(action, 0) * player->timeRecord->delta * 2.0f);
            }
        }
    }
    game::Recorder *tab = StandIn("/Global/Inventory/Tab");
    runner.Step(40);
    Tap(kTab);
    Tap(kEsc);
    EXPECT_TRUE(tab->Of(208).empty() && tab->Of(209).empty()) << "no key actors";
}

// A Player made mid-game leaves the world's time alone and copies its
// template. Its record (three words and the path) reads back; a cut one
// fails, and a failed base record stops the read before the path is emptied.
TEST_F(PlayerTest, CommandsCopyAndRecord) {
    EXPECT_EQ(ClassDescriptorTable[kPlayerClassId].items.size(), 4u);
    TempFolder folder;
    const std::string none = WriteActorAtVersion(player, 70, folder, "none.qva");
    EXPECT_EQ(none.substr(none.size() - 16), std::string(16, '\0'));
    for (uint32_t set : {534u, 536u, 544u}) {
        SendCommandArgs(player, set, uint32_t{set == 544 ? 1 : set - 533});
        uint32_t value = 0;
        player->HandleCommand(set + 1, ParamBlock(&value, sizeof(value)));
        EXPECT_EQ(value, set == 544 ? 1 : set - 533);
    }
    SetType(kCharacterThirdPersonShooter);
    Actor *answer = nullptr;
    player->HandleCommand(539, ParamBlock(&answer, sizeof(answer)));
    EXPECT_EQ(answer, hero);
    runner.Step(5);
    TimeRecord *root = RootTimeRecord();
    root->multiplier = 0.5f;
    const std::tuple<float, float> clock = {root->time, root->delta};
    auto *copy = dynamic_cast<PlayerActor *>(
        CreateActor(kPlayerClassId, "P2", player, GetActorById(2), -1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(root->time, root->delta, root->multiplier),
              std::tuple_cat(clock, std::tuple(1.0f)));
    EXPECT_EQ(std::tuple(copy->playerType, copy->characterTypeCopy, copy->playerHost,
                         copy->controllerSet, copy->controlledCharacter.target,
                         copy->controlledCharacter.origin),
              std::tuple(1u, kCharacterThirdPersonShooter, 1u, 3u, static_cast<Actor *>(hero),
                         static_cast<Actor *>(copy)));

    const std::string bytes = WriteActorAtVersion(copy, 70, folder, "p.qva");
    std::vector<std::string> lines;
    copy->DumpClassFields(lines);
    EXPECT_EQ(lines, std::vector<std::string>{
                         "player type 1 charactertype 4 control 3 path \"../Hero\""});
    const int32_t id = copy->actorId;
    auto load = [](const std::string &file) {
        Archive archive;
        EXPECT_TRUE(archive.OpenMemory(file.data(), static_cast<uint32_t>(file.size())));
        return LoadActorsFrom(archive, kSerializeLoad);
    };
    ASSERT_NE(load(bytes), 0);
    auto *back = dynamic_cast<PlayerActor *>(GetActorById(static_cast<uint32_t>(id)));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::tie(back->characterTypeCopy, back->playerHost, back->characterPath),
              std::make_tuple(kCharacterThirdPersonShooter, 0u, std::string("../Hero")));
    back->HandleCommand(cmd::base::Precalculate, ParamBlock());
    EXPECT_EQ(back->controlledCharacter.target, hero);

    EXPECT_EQ(load(bytes.substr(0, bytes.size() - 4)), 0);
    EXPECT_EQ(std::string(GetActorSystem()->errorText), "Serialize Error");
    player->characterPath = "kept";
    Archive cut;
    ASSERT_TRUE(cut.OpenMemory(bytes.data() + 16, 24));
    cut.SetVersion(70);
    EXPECT_EQ(player->Serialize(cut, kSerializeLoad), 0);
    EXPECT_EQ(player->characterPath, "kept");
}

} // namespace
