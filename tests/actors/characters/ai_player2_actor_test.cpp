// The AI Player 2 on a loaded scene with scripted skins: its commands, the
// binding to its character, the markers, the state machine, the think,
// perception and aiming, the trail and walls, the shelter search, and what
// it does when actors it knows are deleted.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "actors/characters/ai_helper_actor.h"
#include "actors/characters/ai_player2_actor.h"
#include "base/random.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "library/bone.h"
#include "support/game_fixture.h"

namespace {

constexpr uint32_t kCmdSetMotion = 1097;
constexpr uint32_t kCmdSetCurrentLayer = 1133;
constexpr uint32_t kCmdSetLayerBlend = 1130;

// Hears the notices of the actors it spies on: "<actor> <command>" in
// order, and calls `onNotice` with each.
class Tape : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == 93) {
            const auto notice = block.Read<CommandSpyNotice>(0);
            heard.push_back(notice.actor->name + " " + std::to_string(notice.commandId));
            if (onNotice) {
                onNotice(notice.actor, notice.commandId, *notice.block);
            }
        }
        return 1;
    }
    // The ids the actor heard (in the range), in order, then forgotten.
    std::vector<uint32_t> Take(const std::string &actor, uint32_t low = 0, uint32_t high = ~0u) {
        std::vector<uint32_t> ids;
        for (const std::string &entry : heard) {
            const size_t blank = entry.rfind(' ');
            const uint32_t id = static_cast<uint32_t>(std::stoul(entry.substr(blank + 1)));
            if (entry.substr(0, blank) == actor && id >= low && id <= high) {
                ids.push_back(id);
            }
        }
        heard.clear();
        return ids;
    }
    std::vector<std::string> heard;
    std::function<void(Actor *, uint32_t, ParamBlock)> onNotice;
};

// A stand-in target outside the world: answers health, posture and points.
class Dummy : public game::Recorder {
  public:
    explicit Dummy(const Vector3 &at) {
        name = "Dummy";
        position = at;
        InvalidateTransform();
        Answer(1018, 50.0f);
        Answer(842, 'N');
    }
};

ColObj EventSphere(Actor *owner, float radius) {
    ColObj object(owner);
    object.name = owner->name;
    object.type = 1;
    object.flags = kColObjActive | kColObjTakesEvents;
    object.receiveGroups = 0;
    object.boxMin = {0.0f, 40.0f, 0.0f};
    object.boxMax = {radius, radius, radius};
    return object;
}

class AIPlayer2Test : public ::testing::Test {
  protected:
    // The scene; `extra` adds parts to RoomA before it is loaded.
    void Build(bool skinned = true, const std::function<void(Actor *)> &extra = {}) {
        ASSERT_TRUE(runner.Ready());
        Actor *room = game::Room(builder, "RoomA", {-2000, -100, -2000}, {2000, 600, 2000});
        Actor *roomB = game::Room(builder, "RoomB", {3000, -100, -500}, {4000, 600, 500});
        game::BoxWall(builder, "Floor", {-1900, -20, -1900}, {1900, 0, 1900}, room);
        Actor *lookout = nullptr;
        if (skinned) {
            lookout = game::MakeCharacter(builder, "Lookout", {0, 30, 0}, room);
        } else {
            lookout = builder.Make(kCharacterClassId, "Lookout", room);
            SendCommandArgs(lookout, cmd::base::SetPosition, Vector3{0, 30, 0});
        }
        builder.Make(kAIPlayer2ClassId, "Brain", lookout);
        for (const char *sensor : {"Vision", "Hearing"}) {
            Actor *s = builder.Make(0, sensor, lookout);
            s->AddColObj(EventSphere(s, 50.0f));
        }
        CharacterActor *intruder = game::MakeCharacter(builder, "Intruder", {0, 30, 600}, room);
        intruder->characterGroup = 1;
        intruder->health = 50.0f;
        Marker("ShelterA", {400, 30, 300}, room);
        game::BoxWall(builder, "Pillar", {220, 0, 365}, {300, 100, 445}, room);
        Marker("NodeC", {0, 30, -300}, builder.Make(0, "Markers", room))->type = kAIHelperNode;
        Marker("ShelterB", {-400, 30, 300}, room)->radius = 40.0f;
        Marker("FarShelter", {3500, 30, 0}, builder.Make(0, "Far", roomB));
        if (extra) {
            extra(room);
        }
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        this->lookout = dynamic_cast<CharacterActor *>(Find("Lookout"));
        this->intruder = dynamic_cast<CharacterActor *>(Find("Intruder"));
        brain = dynamic_cast<AIPlayer2Actor *>(Find("Brain"));
        ASSERT_NE(this->lookout, nullptr);
        ASSERT_NE(brain, nullptr);
        this->lookout->health = 100.0f;
        skin = dynamic_cast<game::ScriptedSkin *>(this->lookout->skin.target);
        // The first frame puts the characters into their draw group.
        runner.Step();
        for (Actor *watched : {static_cast<Actor *>(brain), static_cast<Actor *>(this->lookout)}) {
            AddCommandSpy(watched, &tape);
        }
    }
    void TearDown() override { NotifyActorGone(&tape); }

    AIHelperActor *Marker(const std::string &name, const Vector3 &at, Actor *parent) {
        auto *marker = dynamic_cast<AIHelperActor *>(builder.Make(kAIHelperClassId, name, parent));
        SendCommandArgs(marker, cmd::base::SetPosition, at);
        return marker;
    }
    static Actor *Find(const std::string &name) { return scene::SceneBuilder::Find(name); }
    // The brain's events since the last call.
    std::vector<uint32_t> Events() { return tape.Take("Brain", 1570, 1600); }
    int32_t IdOf(const std::string &name) { return Find(name)->actorId; }
    void Think(int times = 1) {
        for (int i = 0; i < times; ++i) {
            brain->Process();
        }
    }
    // Skin commands of the ids since the log was last cleared.
    std::vector<std::pair<uint32_t, float>> SkinLayerLog() {
        std::vector<std::pair<uint32_t, float>> entries;
        for (const RecordedCommand &c : skin->log) {
            if (c.id == kCmdSetCurrentLayer) {
                entries.emplace_back(c.id, static_cast<float>(c.Read<uint32_t>()));
            } else if (c.id == kCmdSetLayerBlend || c.id == cmd::base::SetCurrentNormalizedTime) {
                entries.emplace_back(c.id, c.F32());
            }
        }
        return entries;
    }
    // The motion names the lookout was sent, then forgotten.
    std::vector<std::string> SentMotions() {
        std::vector<std::string> motions;
        std::swap(motions, sentMotions);
        return motions;
    }
    void RecordMotions() {
        tape.onNotice = [this](Actor *actor, uint32_t id, ParamBlock block) {
            if (actor == lookout && id == kCmdSetMotion) {
                sentMotions.emplace_back(block.ReadString(0));
            }
        };
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    game::RecorderClass skins{game::kSkinClassId, &game::NewScriptedSkin};
    game::RecorderClass frontEnds{game::kFrontEndClassId};
    CharacterActor *lookout = nullptr;
    CharacterActor *intruder = nullptr;
    AIPlayer2Actor *brain = nullptr;
    game::ScriptedSkin *skin = nullptr;
    Tape tape;
    std::vector<std::string> sentMotions;
};

// --- commands ---------------------------------------------------------------------------

TEST_F(AIPlayer2Test, GoToOrdersNeedIdleOrGoToAndTheGroup) {
    Build();
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateFight, static_cast<Actor *>(intruder));
    SendCommandArgs(brain, cmd::ai_player2::AIPlayer2GoToActor, Find("NodeC"), uint32_t{3});
    EXPECT_EQ(std::tuple(brain->aiState, brain->goTo.target), std::tuple(3u, nullptr));

    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateIdle);
    Events();
    SendCommandArgs(brain, cmd::ai_player2::AIPlayer2GoToActor, Find("NodeC"), uint32_t{3});
    EXPECT_EQ(std::tuple(brain->aiState, brain->goTo.target), std::tuple(0u, Find("NodeC")));
    brain->goToGroup = 0x4;
    SendCommandArgs(brain, cmd::ai_player2::AIPlayer2RunToActor, Find("NodeC"), uint32_t{3});
    EXPECT_EQ(std::tuple(brain->aiState, brain->run), std::tuple(1u, 1u));
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1573, 1574}));
    // A null actor is stored and enters nothing.
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateIdle);
    SendCommandArgs(brain, cmd::ai_player2::AIPlayer2GoToActor, static_cast<Actor *>(nullptr),
                    uint32_t{3});
    EXPECT_EQ(std::tuple(brain->aiState, brain->goTo.target), std::tuple(0u, nullptr));
}

TEST_F(AIPlayer2Test, StateCommandsAndVoiceCommands) {
    Build();
    RecordMotions();
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StatePreFight,
                    static_cast<Actor *>(intruder));
    EXPECT_EQ(brain->aiState, 3u);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1573, 1584}));
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateFollow, static_cast<Actor *>(nullptr));
    EXPECT_EQ(brain->aiState, 3u);

    // Voice 1: the follow starts (event, motion) before the target is set.
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateIdle);
    brain->target.Release();
    Actor *targetAtMotion = intruder;
    tape.onNotice = [&](Actor *actor, uint32_t id, ParamBlock block) {
        if (actor == lookout && id == kCmdSetMotion && block.ReadString(0) == "N_Forward") {
            targetAtMotion = brain->target.target;
        }
    };
    Events();
    SendCommandArgs(brain, cmd::ai_player2::AIPlayer2VoiceCommand, static_cast<Actor *>(intruder),
                    uint32_t{1});
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1573, 1580}));
    EXPECT_EQ(targetAtMotion, nullptr);
    EXPECT_EQ(std::tuple(brain->aiState, brain->target.target, brain->trailOn),
              std::tuple(4u, static_cast<Actor *>(intruder), 1u));
    // Voice 2 does nothing; voice 3 without a hidden shelter hides.
    tape.heard.clear();
    SendCommandArgs(brain, cmd::ai_player2::AIPlayer2VoiceCommand, static_cast<Actor *>(intruder),
                    uint32_t{2});
    EXPECT_TRUE(tape.heard.size() == 1 && brain->aiState == 4u);
    SendCommandArgs(brain, cmd::ai_player2::AIPlayer2VoiceCommand, static_cast<Actor *>(intruder),
                    uint32_t{3});
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1581, 1586}));
    EXPECT_EQ(std::tuple(brain->aiState, brain->target.target, brain->motionName),
              std::tuple(6u, nullptr, std::string("C_Neutral")));

    // The state commands without an actor, each from Hide.
    const std::pair<uint32_t, uint32_t> states[] = {
        {cmd::ai_player2::SetAIPlayer2StateScared, 5},
        {cmd::ai_player2::SetAIPlayer2StateRelease, 13},
        {cmd::ai_player2::SetAIPlayer2StateInactive, 9},
        {cmd::ai_player2::SetAIPlayer2StateIdle, 0},   {cmd::ai_player2::SetAIPlayer2StateHide, 6},
    };
    for (const auto &[command, expected] : states) {
        SendCommandArgs(brain, command);
        EXPECT_EQ(brain->aiState, expected) << command;
    }
}

TEST_F(AIPlayer2Test, SoundNoticesGroupBitsAndCopies) {
    Build();
    SendCommandArgs(brain, cmd::ai_player2::AIPlayer2SoundNotify, static_cast<Actor *>(lookout),
                    1.0f, 2.0f);
    EXPECT_EQ(std::tuple(brain->soundNotice, Events()), std::tuple(0u, std::vector<uint32_t>{}));
    SendCommandArgs(brain, cmd::ai_player2::AIPlayer2SoundNotify, static_cast<Actor *>(intruder),
                    1.0f, 2.0f);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1600}));
    const Vector3 at = intruder->GetWorldPosition();
    EXPECT_EQ(std::tuple(brain->soundNotice, brain->soundTimer, brain->soundSourceName,
                         brain->soundValues[1], brain->soundPosition.z),
              std::tuple(1u, 3.0f, std::string("Intruder"), 2.0f, at.z));

    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2FightGroup_1545, uint32_t{3}, true);
    EXPECT_EQ(brain->fightGroup, 0x4u);
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2GotoGroup_1548, uint32_t{32}, true);
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2GotoGroup_1548, uint32_t{33}, true);
    EXPECT_EQ(brain->goToGroup, 0x80000000u);
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2FightGroup_1545, uint32_t{3}, false);
    EXPECT_EQ(brain->fightGroup, 0u);

    // A copy shares the link targets; its links are its own after Init Copy.
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateFight, static_cast<Actor *>(intruder));
    brain->findShelterRadius = 77.0f;
    auto *copy = dynamic_cast<AIPlayer2Actor *>(
        CreateActor(kAIPlayer2ClassId, "Copy", brain, lookout, -1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->target.target, copy->findShelterRadius, copy->aiState),
              std::tuple(static_cast<Actor *>(intruder), 77.0f, 3u));
    EXPECT_EQ(std::count(intruder->backLinks.begin(), intruder->backLinks.end(), &copy->target), 1);
    copy->HandleCommand(cmd::base::InitCopy, ParamBlock());
    for (ActorLink *link :
         {&copy->seen, &copy->heard, &copy->goTo, &copy->target, &copy->pendingEnemy}) {
        EXPECT_EQ(link->origin, copy);
    }
    DeleteActor(copy);
    EXPECT_EQ(std::count(intruder->backLinks.begin(), intruder->backLinks.end(), &brain->target),
              1);
}

// --- binding and markers --------------------------------------------------------------

TEST_F(AIPlayer2Test, BindingSpiesOnceAndTakesTheStartingMarkers) {
    Build();
    ASSERT_EQ(brain->aimLayers.size(), 2u);
    EXPECT_EQ(std::tuple(brain->aimLayers[0].layer, brain->aimLayers[0].time,
                         brain->aimLayers[1].layer, brain->aimLayers[1].time),
              std::tuple(2u, 0.5f, 3u, 0.5f));
    EXPECT_EQ(brain->markerIds,
              (std::vector<int32_t>{IdOf("ShelterA"), IdOf("NodeC"), IdOf("ShelterB")}));
    EXPECT_EQ(std::tuple(brain->VisionSensor(), brain->HearingSensor(), brain->characterId),
              std::tuple(Find("Vision"), Find("Hearing"), lookout->actorId));
    EXPECT_NE(brain->processEntry, nullptr);
    EXPECT_NE(brain->headBone, nullptr);

    // A second binding takes the markers of the character's group at once,
    // sends the same again, and leaves one registration each.
    brain->markerIds.clear();
    std::vector<std::pair<uint32_t, int32_t>> sent;
    tape.onNotice = [&](Actor *actor, uint32_t id, ParamBlock block) {
        if (actor == lookout &&
            (id == 41 || id == 856 || id == 1031 || id == 837 || id == 94 || id == 95)) {
            sent.emplace_back(id, id == 856 ? static_cast<int32_t>(block.ReadF32(0))
                                            : block.ReadI32(0));
        }
    };
    brain->HandleCommand(cmd::base::Precalculate, ParamBlock());
    const std::vector<std::pair<uint32_t, int32_t>> expected = {
        {41, 1}, {856, 0}, {1031, 2}, {837, 2}, {95, brain->actorId}, {94, brain->actorId}};
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(brain->markerIds.size(), 3u);
    for (Actor *spied : {static_cast<Actor *>(lookout), Find("Vision"), Find("Hearing")}) {
        EXPECT_EQ(std::count(spied->spies.begin(), spied->spies.end(), brain), 1) << spied->name;
    }
}

TEST_F(AIPlayer2Test, WithoutSkinnedBodyTheBrainOnlyChangesState) {
    Build(false);
    EXPECT_EQ(std::tuple(brain->aimLayers.size(), brain->visionSensorId, brain->processEntry),
              std::tuple(size_t{0}, -1, nullptr));
    EXPECT_EQ(brain->markerIds.size(), 3u);
    const std::pair<uint32_t, uint32_t> states[] = {
        {cmd::ai_player2::SetAIPlayer2StateScared, 5},
        {cmd::ai_player2::SetAIPlayer2StateInactive, 9},
        {cmd::ai_player2::SetAIPlayer2StateHide, 6},
        {cmd::ai_player2::SetAIPlayer2StateFight, 3},
        {cmd::ai_player2::SetAIPlayer2StateFollow, 4},
        {cmd::ai_player2::SetAIPlayer2StatePreFight, 3},
        {cmd::ai_player2::SetAIPlayer2StateRelease, 13},
        {cmd::ai_player2::SetAIPlayer2StateIdle, 0},
    };
    for (const auto &[command, expected] : states) {
        if (command >= cmd::ai_player2::SetAIPlayer2StateFollow &&
            command <= cmd::ai_player2::SetAIPlayer2StateFight) {
            SendCommandArgs(brain, command, static_cast<Actor *>(intruder));
        } else {
            SendCommandArgs(brain, command);
        }
        EXPECT_EQ(brain->aiState, expected) << command;
    }
    brain->SetState(kAI2Dead);
    EXPECT_EQ(Events().back(), 1590u);
}

TEST_F(AIPlayer2Test, EnteringAGroupRefillsTheMarkers) {
    Build();
    const int32_t roomB = Find("RoomB")->drawGroupId;
    ASSERT_GE(roomB, 2);
    SendCommandArgs(lookout, 98, uint32_t{999});
    EXPECT_EQ(brain->markerIds.size(), 3u);
    lookout->HandleCommand(98, ParamBlock(const_cast<int32_t *>(&roomB), sizeof(roomB)));
    EXPECT_EQ(brain->markerIds, (std::vector<int32_t>{IdOf("FarShelter")}));

    // The marker's own commands and copies.
    auto *marker = dynamic_cast<AIHelperActor *>(Find("FarShelter"));
    SendCommandArgs(marker, cmd::ai_helper::SetAIHelperType, uint32_t{2});
    SendCommandArgs(marker, cmd::ai_helper::SetAIHelperRadius, 12.5f);
    SendCommandArgs(marker, cmd::ai_helper::SetAIHelperBox, Vector3{1, 2, 3});
    uint32_t type = 0;
    float radius = 0.0f;
    Vector3 box = {};
    marker->HandleCommand(cmd::ai_helper::GetAIHelperType, ParamBlock(&type, sizeof(type)));
    marker->HandleCommand(cmd::ai_helper::GetAIHelperRadius, ParamBlock(&radius, sizeof(radius)));
    marker->HandleCommand(cmd::ai_helper::GetAIHelperBox, ParamBlock(&box, sizeof(box)));
    EXPECT_EQ(std::tuple(type, radius, box.x, box.y, box.z), std::tuple(2u, 12.5f, 1.f, 2.f, 3.f));
    auto *copy = dynamic_cast<AIHelperActor *>(
        CreateActor(kAIHelperClassId, "Copy", marker, Find("RoomB"), -1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->type, copy->radius, copy->box.z), std::tuple(2u, 12.5f, 3.0f));
}

// --- state machine ----------------------------------------------------------------------

TEST_F(AIPlayer2Test, StateChangesRaiseTheirEventsAndActions) {
    Build();
    brain->stateTimer = 2.0f;
    brain->SetState(kAI2Idle);
    EXPECT_EQ(std::tuple(brain->stateTimer, Events()), std::tuple(2.0f, std::vector<uint32_t>{}));

    brain->SetState(kAI2Fight);
    brain->SetState(kAI2Follow);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1573, 1584, 1585, 1571, 1580}));

    skin->log.clear();
    brain->SetState(kAI2Dead);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1581, 1590}));
    const std::vector<std::pair<uint32_t, float>> layersOff = {
        {1133, 2.0f}, {1130, 0.0f}, {1133, 3.0f}, {1130, 0.0f}, {1133, 0.0f}};
    EXPECT_EQ(SkinLayerLog(), layersOff);
    // Leaving Dead switches nothing on; leaving Inactive does.
    skin->log.clear();
    brain->SetState(kAI2Inactive);
    brain->SetState(kAI2Idle);
    ASSERT_EQ(SkinLayerLog().size(), 10u);
    EXPECT_EQ(SkinLayerLog()[6], (std::pair<uint32_t, float>{1130, 1.0f}));
}

TEST_F(AIPlayer2Test, InactiveAndDeadThinkOnlyTheFirstSteps) {
    Build();
    RecordMotions();
    for (uint32_t quiet : {kAI2Inactive, kAI2Dead}) {
        brain->SetState(quiet);
        brain->seen.Assign(intruder);
        brain->soundNotice = 1;
        brain->soundTimer = 0.0f;
        skin->log.clear();
        Think();
        EXPECT_EQ(std::tuple(brain->seen.target, brain->soundNotice, SkinLayerLog().size()),
                  std::tuple(static_cast<Actor *>(intruder), 1u, size_t{0}))
            << quiet;
    }
    // Motion loops: only a zero parameter outside Inactive sends the motion.
    brain->SetState(kAI2Inactive);
    brain->SetMotionName("N_Forward");
    skin->SendLooping(0);
    brain->SetState(kAI2Idle);
    brain->SetMotionName("N_Forward");
    skin->SendLooping(1);
    skin->SendLooping(0);
    EXPECT_EQ(SentMotions(), (std::vector<std::string>{"N_Forward"}));

    // A character without health is dead at the next think.
    lookout->health = 0.0f;
    Think();
    EXPECT_EQ(brain->aiState, 10u);
}

// --- think ---------------------------------------------------------------------------------

TEST_F(AIPlayer2Test, TargetTrackingAndAttacks) {
    Build();
    // A target that does not answer its health is dropped at once.
    Actor *mute = Find("Markers");
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateFollow, mute);
    Think();
    EXPECT_EQ(brain->target.target, nullptr);

    brain->rayGroup = 0xFFFFFFFF;
    brain->rayReceive = 0x10000;
    brain->fightGroup = 1;
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateFight, static_cast<Actor *>(intruder));
    brain->findShelterEnable = 0;
    Events();
    brain->aimError = 0.7f;
    brain->sightCheckTimer = 0.5f;
    Think();
    EXPECT_GT(brain->visibleTime, 0.0f);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{}));
    brain->aimError = 0.2f;
    Think();
    EXPECT_EQ(std::tuple(Events(), brain->attacking), std::tuple(std::vector<uint32_t>{1570}, 1u));
    brain->aimError = 1.5f;
    Think();
    EXPECT_EQ(std::tuple(Events(), brain->attacking), std::tuple(std::vector<uint32_t>{1571}, 0u));

    // A pending enemy takes over every 4 s while it lives.
    Dummy pending({0, 30, -200});
    brain->pendingEnemy.Assign(&pending);
    brain->stateTimer = 4.5f;
    brain->pendingTimer = 4.5f;
    Think();
    EXPECT_EQ(std::tuple(brain->target.target, brain->pendingEnemy.target, brain->pendingTimer),
              std::tuple(static_cast<Actor *>(&pending), static_cast<Actor *>(&pending), 0.0f));
    pending.Answer(1018, 0.0f);
    brain->pendingTimer = 4.5f;
    Think();
    EXPECT_EQ(brain->pendingEnemy.target, nullptr);
}

TEST_F(AIPlayer2Test, FollowAndGoToChooseTheirMotionsAndFacing) {
    Build();
    Think();
    const Vector3 self = brain->ownPosition;
    Dummy followed(self);
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateFollow,
                    static_cast<Actor *>(&followed));
    const std::tuple<float, char, const char *> table[] = {
        {219.0f, 'N', "N_Neutral"}, {220.0f, 'N', "N_Forward"}, {599.0f, 'N', "N_Forward"},
        {600.0f, 'N', "R_Forward"}, {219.0f, 'C', "C_Neutral"}, {220.0f, 'C', "C_Forward"},
    };
    for (const auto &[d, posture, motion] : table) {
        followed.position = {self.x, self.y, self.z + d};
        followed.InvalidateTransform();
        followed.Answer(842, posture);
        Think();
        EXPECT_EQ(brain->motionName, motion) << d << posture;
    }
    brain->unseenTime = 20.5f;
    brain->sightCheckTimer = -10.0f;
    Think();
    EXPECT_EQ(brain->aiState, 0u);

    // GoTo: face at 8.0 running, 2.0 walking.
    std::vector<float> turnSpeeds;
    tape.onNotice = [&](Actor *actor, uint32_t id, ParamBlock block) {
        if (actor == lookout && id == 1027) {
            turnSpeeds.push_back(block.ReadF32(0));
        }
    };
    brain->goToGroup = 1;
    for (uint32_t command : {cmd::ai_player2::AIPlayer2RunToActor,
                             cmd::ai_player2::AIPlayer2GoToActor}) {
        SendCommandArgs(brain, command, Find("NodeC"), uint32_t{1});
        Think();
        EXPECT_EQ(brain->motionName,
                  command == cmd::ai_player2::AIPlayer2RunToActor ? "R_Forward" : "S_Forward");
    }
    EXPECT_EQ(turnSpeeds, (std::vector<float>{8.0f * 0.4f, 2.0f * 0.4f}));
}

TEST_F(AIPlayer2Test, PreFightGoToShelterAndShelterSteps) {
    Build();
    brain->preFightTime = 0.5f;
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StatePreFight,
                    static_cast<Actor *>(intruder));
    Think();
    EXPECT_EQ(std::tuple(brain->aiState, brain->motionName),
              std::tuple(2u, std::string("N_Special6")));
    brain->stateTimer = 0.6f;
    Think();
    EXPECT_EQ(brain->aiState, 3u);

    brain->SetState(kAI2GoToShelter);
    const Vector3 self = brain->ownPosition;
    const std::tuple<float, const char *, uint32_t> steps[] = {{500.0f, "R_Forward", 11},
                                                               {399.0f, "N_Forward", 11},
                                                               {139.0f, "N_Special7", 11},
                                                               {99.0f, "C_Neutral", 12}};
    for (const auto &[d, motion, expected] : steps) {
        brain->shelterPoint = {self.x + d, self.y, self.z};
        Think();
        if (expected == 12) {
            Think(); // Shelter's own motion
        }
        EXPECT_EQ(std::tuple(brain->motionName, brain->aiState),
                  std::tuple(std::string(motion), expected))
            << d;
    }
    // Without a fight group a shelter ends in Hide after 4 s.
    brain->fightGroup = 0;
    brain->stateTimer = 4.1f;
    Think();
    EXPECT_EQ(brain->aiState, 6u);
}

// --- perception and aiming -----------------------------------------------------------

TEST_F(AIPlayer2Test, SensorNoticesStartFightsOnlyForEnemies) {
    Build();
    brain->rayGroup = 0xFFFFFFFF;
    brain->rayReceive = 0x10000;
    brain->fightGroup = 1;
    lookout->characterGroup = 2;
    ColObj *intruderBody = intruder->BodyColObj();
    ASSERT_NE(intruderBody, nullptr);
    auto touch = [&](const char *sensor) {
        Actor *s = Find(sensor);
        ColObj *pair[2] = {intruderBody, s->colObjs[0].get()};
        s->HandleCommand(cmd::base::CollisionEvent, ParamBlock(pair, sizeof(pair)));
    };
    // Too faint for the hearing radius: heard, no fight.
    touch("Hearing");
    EXPECT_EQ(std::tuple(brain->heard.target, brain->aiState),
              std::tuple(static_cast<Actor *>(intruder), 0u));
    // An enemy that shares a group with the own character is not taken.
    lookout->characterGroup = 3;
    touch("Vision");
    EXPECT_EQ(brain->aiState, 0u);
    // Barely visible or dead candidates are refused.
    lookout->characterGroup = 2;
    intruder->health = 0.0f;
    touch("Vision");
    EXPECT_EQ(brain->aiState, 0u);
    intruder->health = 50.0f;
    Dummy shade({0, 0, 0});
    shade.Answer(354, std::array<float, 4>{0.05f, 0.05f, 0.05f, 1.0f});
    intruder->sensorTarget.Assign(&shade);
    touch("Vision");
    EXPECT_EQ(brain->aiState, 0u);
    intruder->sensorTarget.Release();
    touch("Vision");
    EXPECT_EQ(std::tuple(brain->aiState, brain->target.target),
              std::tuple(3u, static_cast<Actor *>(intruder)));
    // After a think the sensor links are empty again.
    Think();
    EXPECT_EQ(std::tuple(brain->seen.target, brain->heard.target), std::tuple(nullptr, nullptr));
}

TEST_F(AIPlayer2Test, SightAndAiming) {
    Build(true, [this](Actor *room) {
        game::BoxWall(builder, "Wall", {-100, 0, 280}, {100, 200, 320}, room);
    });
    brain->rayGroup = 0xFFFFFFFF;
    brain->rayReceive = 0x10000;
    EXPECT_FALSE(brain->CanSee(intruder));

    std::vector<std::pair<uint32_t, float>> sent;
    tape.onNotice = [&](Actor *actor, uint32_t id, ParamBlock block) {
        if (actor == lookout && id >= 976 && id <= 1027 && id != 979 && id != 981) {
            sent.emplace_back(id, block.ReadF32(0));
        }
    };
    Think(); // the delta of this frame
    sent.clear();
    const Matrix &w = lookout->GetWorldMatrix();
    const Vector3 ahead = {w.m[0][2] * 500.0f, 60.0f, w.m[2][2] * 500.0f};
    brain->AimBodyAt({-ahead.x, 60.0f, -ahead.z}, 1.0f);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ((std::vector<uint32_t>{sent[0].first, sent[1].first, sent[2].first, sent[3].first}),
              (std::vector<uint32_t>{984, 986, 980, 978}));
    EXPECT_EQ(sent[0].second, 100.0f);
    // A point behind: slow look, aim back to the centre.
    sent.clear();
    brain->aimYaw = 0.3f;
    brain->AimBodyAt(ahead, 1.0f);
    EXPECT_EQ(std::tuple(sent[0].second, sent[1].second), std::tuple(20.0f, 20.0f));
    EXPECT_LT(std::fabs(brain->aimYaw), 0.3f);

    // The head never turns past a quarter turn.
    for (int i = 0; i < 16; ++i) {
        const float a = static_cast<float>(i) * 0.3927f;
        for (int j = 0; j < 30; ++j) {
            brain->AimHeadAt(
                {1000.0f * std::sin(a), 30.0f + 300.0f * std::cos(a * 3.0f), 1000.0f * std::cos(a)},
                100.0f);
        }
        EXPECT_LE(std::fabs(brain->headAngles[0]), 0.7854f);
        EXPECT_LE(std::fabs(brain->headAngles[1]), 0.7854f);
    }
    sent.clear();
    brain->FacePoint({0, 0, 100}, 10.0f);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(std::tuple(sent[0].first, sent[0].second, sent[1].first),
              std::tuple(1027u, 4.0f, 976u));
}

// --- trail and walls ---------------------------------------------------------------------

TEST_F(AIPlayer2Test, TrailSamplesAndWallContacts) {
    Build();
    Think();
    Dummy followed(brain->ownPosition);
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateFight,
                    static_cast<Actor *>(&followed));
    brain->findShelterEnable = 0;
    // Frames of 1/60 s: a sample after 0.25 s, only when it moved 10 units.
    for (int frame = 0; frame < 60; ++frame) {
        runner.Step();
    }
    EXPECT_EQ(brain->trail.size(), 1u);
    for (int i = 1; i <= 60; ++i) {
        followed.position.x += 11.0f;
        followed.InvalidateTransform();
        brain->trailTimer = 1.0f;
        Think();
    }
    ASSERT_EQ(brain->trail.size(), 40u);
    EXPECT_EQ(brain->trail.back().x, followed.position.x);
    EXPECT_EQ(brain->trailInterval, 0.25f);

    // A near-vertical contact normal sets the avoid direction for 0.2 s.
    if (lookout->simState == nullptr) {
        lookout->simState = std::make_unique<SimState>();
    }
    TouchRecord wall;
    wall.normal = {1.0f, 0.05f, 0.0f};
    lookout->simState->touches = {wall};
    ColObj *pair[2] = {intruder->BodyColObj(), lookout->BodyColObj()};
    lookout->HandleCommand(cmd::base::CollisionEvent, ParamBlock(pair, sizeof(pair)));
    EXPECT_EQ(std::tuple(brain->avoiding, brain->avoidTimer), std::tuple(1u, 0.2f));
    EXPECT_NEAR(Vec3Length(brain->avoidDirection), 1.0f, 1e-5f);
    lookout->posture = 'R';
    Think();
    EXPECT_EQ(std::tuple(brain->avoiding, brain->avoidDirection.x), std::tuple(0u, 0.0f));
}

// --- shelter search --------------------------------------------------------------------

TEST_F(AIPlayer2Test, ShelterSearch) {
    Build();
    brain->rayGroup = 0xFFFFFFFF;
    brain->rayReceive = 0x10000;
    Think();
    const Vector3 threat = intruder->GetWorldPosition();
    // Only ShelterA is hidden behind the pillar.
    ASSERT_TRUE(brain->FindShelter(threat, 1200.0f));
    EXPECT_EQ(brain->currentShelterId, IdOf("ShelterA"));
    EXPECT_EQ(brain->shelterPoint.y, Find("ShelterA")->GetWorldPosition().y);
    // The current shelter is skipped: nothing else is hidden.
    EXPECT_FALSE(brain->FindShelter(threat, 1200.0f));
    EXPECT_EQ(brain->currentShelterId, IdOf("ShelterA"));
    // Beyond the radius, or of another type, a marker is never chosen.
    brain->currentShelterId = -1;
    EXPECT_FALSE(brain->FindShelter(threat, 400.0f));
    dynamic_cast<AIHelperActor *>(Find("ShelterA"))->type = kAIHelperNode;
    EXPECT_FALSE(brain->FindShelter(threat, 1200.0f));
}

TEST_F(AIPlayer2Test, ShelterSearchBetweenTwoHiddenShelters) {
    // ShelterB behind a second pillar: its point sits half its radius lower.
    Build(true, [this](Actor *room) {
        game::BoxWall(builder, "Pillar2", {-300, 0, 365}, {-220, 100, 445}, room);
    });
    brain->rayGroup = 0xFFFFFFFF;
    brain->rayReceive = 0x10000;
    Think();
    const Vector3 threat = intruder->GetWorldPosition();
    std::vector<int32_t> first;
    for (int run = 0; run < 2; ++run) {
        SeedRand(7);
        brain->currentShelterId = -1;
        ASSERT_TRUE(brain->FindShelter(threat, 1200.0f));
        first.push_back(brain->currentShelterId);
    }
    EXPECT_EQ(first[0], first[1]);
    brain->currentShelterId = IdOf("ShelterA");
    ASSERT_TRUE(brain->FindShelter(threat, 1200.0f));
    EXPECT_EQ(brain->currentShelterId, IdOf("ShelterB"));
    EXPECT_EQ(brain->shelterPoint.y, Find("ShelterB")->GetWorldPosition().y - 20.0f);

    // From 5 s in GoTo Shelter on, each think searches again: the two
    // hidden shelters take turns.
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateFight, static_cast<Actor *>(intruder));
    brain->SetState(kAI2GoToShelter);
    brain->stateTimer = 6.0f;
    Think();
    EXPECT_EQ(brain->currentShelterId, IdOf("ShelterA"));
    Think();
    EXPECT_EQ(std::tuple(brain->currentShelterId, brain->aiState),
              std::tuple(IdOf("ShelterB"), 11u));
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateIdle);

    // Voice command 3 with a shelter found heads there.
    brain->currentShelterId = -1;
    brain->targetPosition = threat;
    SendCommandArgs(brain, cmd::ai_player2::AIPlayer2VoiceCommand, static_cast<Actor *>(intruder),
                    uint32_t{3});
    EXPECT_EQ(brain->aiState, 11u);
}

TEST_F(AIPlayer2Test, DeletedMarkersShelterAndSensorsAreNone) {
    Build();
    brain->rayGroup = 0xFFFFFFFF;
    brain->rayReceive = 0x10000;
    brain->fightGroup = 1;
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateFight, static_cast<Actor *>(intruder));
    Think();
    const Vector3 threat = intruder->GetWorldPosition();
    ASSERT_TRUE(brain->FindShelter(threat, 1200.0f));
    brain->SetState(kAI2GoToShelter);
    DeleteActor(Find("ShelterA"));
    DeleteActor(Find("NodeC"));
    DeleteActor(Find("Vision"));
    EXPECT_EQ(std::tuple(brain->CurrentShelter(), brain->VisionSensor(), brain->Markers().size()),
              std::tuple(nullptr, nullptr, size_t{1}));
    brain->stateTimer = 6.0f;
    runner.Step(3);
    EXPECT_FALSE(brain->FindShelter(threat, 1200.0f));
    DeleteActor(Find("ShelterB"));
    runner.Step(3);
    EXPECT_TRUE(brain->Markers().empty());
}

} // namespace
