// The AI Player on a loaded scene: binding to its character, the commands
// that drive the character, the think and its states, the spy reactions and
// perception, following, fighting and landing hits, the draw-group memory
// and routes, steering, and what it does when actors it knows go away.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "actors/characters/ai_helper_actor.h"
#include "actors/characters/ai_player_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "actors/world/draw_groups.h"
#include "base/random.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "core/actors/subsystem_hooks.h"
#include "support/game_fixture.h"

namespace {

// One command a watched actor received: its id, text (when the block starts
// with one) and the first two reals.
struct Heard {
    std::string actor;
    uint32_t id = 0;
    std::string text;
    float reals[2] = {0.0f, 0.0f};
};

// Spies on actors and keeps what they receive.
class Tape : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId != 93) {
            return 1;
        }
        const auto notice = block.Read<CommandSpyNotice>(0);
        Heard h;
        h.actor = notice.actor->name;
        h.id = notice.commandId;
        const ParamBlock b = *notice.block;
        if (b.size() > 0 && b.data()[0] >= 'A' && b.data()[0] <= 'z') {
            h.text = std::string(b.ReadString(0));
        }
        h.reals[0] = b.ReadF32(0);
        h.reals[1] = b.ReadF32(4);
        heard.push_back(h);
        return 1;
    }
    // The ids one actor received within the range, then all is forgotten.
    std::vector<uint32_t> Ids(const std::string &actor, uint32_t low = 0, uint32_t high = ~0u) {
        std::vector<uint32_t> ids;
        for (const Heard &h : heard) {
            if (h.actor == actor && h.id >= low && h.id <= high) {
                ids.push_back(h.id);
            }
        }
        heard.clear();
        return ids;
    }
    // The texts one actor received with the command, then all is forgotten.
    std::vector<std::string> Texts(const std::string &actor, uint32_t id) {
        std::vector<std::string> texts;
        for (const Heard &h : heard) {
            if (h.actor == actor && h.id == id) {
                texts.push_back(h.text);
            }
        }
        heard.clear();
        return texts;
    }
    std::vector<Heard> heard;
};

class AIPlayerScene : public ::testing::Test {
  protected:
    // The scene; `extra` adds parts to RoomA before it is loaded.
    void Build(const std::function<void(Actor *)> &extra = {}) {
        ASSERT_TRUE(runner.Ready());
        room = game::Room(builder, "RoomA", {-2000, -100, -2000}, {2000, 600, 2000});
        game::Room(builder, "RoomB", {2000, -100, -2000}, {4000, 600, 2000});
        game::BoxWall(builder, "Floor", {-1900, -20, -1900}, {3900, 0, 1900}, room);
        follower = game::MakeCharacter(builder, "Follower", {0, 30, 0}, room);
        follower->characterGroup = 2;
        builder.Make(kAIPlayerClassId, "Brain", follower);
        player = game::MakeCharacter(builder, "GA1_Player", {0, 30, 600}, room);
        player->characterGroup = 1;
        if (extra) {
            extra(room);
        }
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        follower = dynamic_cast<CharacterActor *>(Find("Follower"));
        player = dynamic_cast<CharacterActor *>(Find("GA1_Player"));
        brain = dynamic_cast<AIPlayerActor *>(Find("Brain"));
        ASSERT_NE(brain, nullptr);
        follower->health = 100.0f;
        player->health = 50.0f;
        runner.Step();
        for (Actor *watched : {static_cast<Actor *>(brain), static_cast<Actor *>(follower),
                               static_cast<Actor *>(player)}) {
            AddCommandSpy(watched, &tape);
        }
        tape.heard.clear();
    }
    void TearDown() override { NotifyActorGone(&tape); }

    static Actor *Find(const std::string &name) { return scene::SceneBuilder::Find(name); }
    void Think(int times = 1) {
        for (int i = 0; i < times; ++i) {
            brain->Process();
        }
    }
    // Seconds of thinking at the frame time of 1/60 s.
    void ThinkFor(float seconds) { Think(static_cast<int>(std::lround(seconds * 60.0f))); }
    // What the brain hears when its character receives the command.
    void Notice(uint32_t commandId, ParamBlock block) {
        CommandSpyNotice notice = {commandId, &block, follower};
        brain->HandleCommand(93, ParamBlock(&notice, sizeof(notice)));
    }
    void NoticeText(uint32_t commandId, std::string text) {
        Notice(commandId, ParamBlock(text.data(), text.size() + 1));
    }
    void Touch(const ColObj &other, const ColObj &own) {
        const void *pair[2] = {&other, &own};
        Notice(cmd::base::CollisionEvent, ParamBlock(pair, sizeof(pair)));
    }
    void ActionBy(Actor *actor) {
        int32_t id = actor->actorId;
        Notice(971, ParamBlock(&id, sizeof(id)));
    }
    // The brain's events since the last call.
    std::vector<uint32_t> Events() { return tape.Ids("Brain", 1521, 1537); }
    void Follow(Actor *leader) {
        brain->targetLink.Assign(leader);
        brain->SetState(kAIPFollow);
    }
    void Fight(Actor *foe) {
        brain->targetLink.Assign(foe);
        brain->SetState(kAIPFight);
    }
    void Place(Actor *actor,
               const Vector3 &at) { SendCommandArgs(actor, cmd::base::SetPosition, at); }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    game::RecorderClass skins{game::kSkinClassId, &game::NewScriptedSkin};
    game::RecorderClass frontEnds{game::kFrontEndClassId};
    Actor *room = nullptr;
    CharacterActor *follower = nullptr;
    CharacterActor *player = nullptr;
    AIPlayerActor *brain = nullptr;
    Tape tape;
};

// --- binding ------------------------------------------------------------------------------

TEST_F(AIPlayerScene, BindingTakesOverTheCharacter) {
    Build([this](Actor *r) {
        auto *marker = builder.Make(kAIHelperClassId, "Stair", r);
        SendCommandArgs(marker, cmd::base::SetPosition, Vector3{300, 30, 0});
        // A brain whose parent is no Character binds nothing.
        builder.Make(kAIPlayerClassId, "Loose", r);
    });
    EXPECT_EQ(follower->spies, (std::vector<Actor *>{brain, &tape}));
    EXPECT_EQ(follower->brain.target, brain);
    EXPECT_EQ(std::tuple(brain->characterId, brain->startHealth, brain->hasJumpMotion,
                         follower->characterType, follower->directionBehaviour),
              std::tuple(follower->actorId, 1.0f, 1u, 2u, 0u));
    // The character's group was entered before the brain spied on it.
    EXPECT_EQ(brain->markerIds, std::vector<int32_t>{Find("Stair")->actorId});
    auto *loose = dynamic_cast<AIPlayerActor *>(Find("Loose"));
    EXPECT_EQ(std::tuple(loose->characterId, loose->Character()), std::tuple(-1, nullptr));

    // Bound again (the tape spying on the character is dropped): Follow
    // goes back to Idle without events, and the movement outside the names
    // leaves the character's movement query safe.
    follower->holdTime = 2.0f;
    follower->health = 70.0f;
    // A skin without "N_Neutral" leaves the movement as the binding set it.
    auto *skin = dynamic_cast<game::ScriptedSkin *>(follower->skin.target);
    skin->motions = {"R_Forward", "J_Forward"};
    skin->motion.clear();
    brain->aiState = kAIPFollow;
    brain->HandleCommand(cmd::base::Precalculate, ParamBlock());
    EXPECT_EQ(follower->spies, std::vector<Actor *>{brain});
    EXPECT_EQ(std::tuple(brain->aiState, brain->previousState, brain->startHealth,
                         follower->holdTime, follower->movement),
              std::tuple(kAIPIdle, -1, 70.0f, 0.0f, 0xFFFFFFFFu));
    EXPECT_EQ(skin->motion, "");
    char answer[64] = {};
    follower->HandleCommand(846, ParamBlock(answer, sizeof(answer)));
    EXPECT_EQ(Events(), std::vector<uint32_t>{});
}

TEST_F(AIPlayerScene, AttacksAreDrawnAsTheExpandedPoolWouldDrawThem) {
    Build();
    brain->attacks = {{1, 1.0f, 0.0f}, {3, 1.0f, 0.0f}};
    for (int i = 0; i < 3; ++i) {
        brain->HandleCommand(cmd::base::Precalculate, ParamBlock());
    }
    brain->targetVisible = 1;
    const int pool[] = {0, 1, 1, 1};
    for (uint32_t seed = 1; seed < 40; ++seed) {
        SeedRand(seed);
        Rand(); // the pattern
        const int expected = pool[Rand() % 4];
        SeedRand(seed);
        brain->ChooseAttackMotion();
        EXPECT_EQ(brain->selectedAttack, expected) << seed;
    }
    // Weights of 0: every attack as likely; a huge weight allocates nothing.
    brain->attacks = {{0, 1.0f, 0.0f}, {0, 1.0f, 0.0f}, {0xFFFFFFFFu, 1.0f, 0.0f}};
    brain->HandleCommand(cmd::base::Precalculate, ParamBlock());
    EXPECT_EQ(brain->attackPool.size(), 3u);
    brain->ChooseAttackMotion();
    EXPECT_EQ(brain->selectedAttack, 2);
    brain->attacks[2].weight = 0;
    brain->HandleCommand(cmd::base::Precalculate, ParamBlock());
    SeedRand(5);
    Rand();
    const int uniform = Rand() % 3;
    SeedRand(5);
    brain->ChooseAttackMotion();
    EXPECT_EQ(brain->selectedAttack, uniform);
}

// --- commands that drive the character ------------------------------------------------------

TEST_F(AIPlayerScene, GoToObstacleJumpAndKillCommands) {
    Build();
    SendCommandArgs(brain, cmd::ai_player::AIPlayerGoToPosition, Vector3{500, 30, 0});
    EXPECT_EQ(std::tuple(brain->goToPoints.size(), brain->goToMotion, brain->aiState),
              std::tuple(size_t{1}, 0u, kAIPGoTo));
    SendCommandArgs(brain, cmd::ai_player::AIPlayerWalkToActor, static_cast<Actor *>(player));
    EXPECT_EQ(std::tuple(brain->goToPoints.at(0).z, brain->goToMotion), std::tuple(600.0f, 3u));
    for (uint32_t id : {cmd::ai_player::AIPlayerGoToActor, cmd::ai_player::AIPlayerWalkToActor,
                        cmd::ai_player::AIPlayerRunToActor}) {
        SendCommandArgs(brain, id, static_cast<Actor *>(nullptr));
    }
    EXPECT_EQ(std::tuple(brain->goToPoints.at(0).z, brain->goToMotion), std::tuple(600.0f, 3u));

    tape.heard.clear();
    SendCommandArgs(brain, cmd::ai_player::AIPlayerObstacle);
    EXPECT_EQ(std::tuple(brain->actionCountdown, brain->aiState), std::tuple(5.0f, kAIPIdle));
    std::vector<uint32_t> sent = tape.Ids("Follower", 1033, 1035);
    EXPECT_EQ(sent, (std::vector<uint32_t>{1035, 1033}));

    brain->hasJumpMotion = 0;
    SendCommandArgs(brain, cmd::ai_player::AIPlayerObstacleJump);
    EXPECT_EQ(tape.Ids("Follower"), std::vector<uint32_t>{});
    brain->aiState = kAIPFollow;
    SendCommandArgs(brain, cmd::ai_player::AIPlayerShaftJump);
    EXPECT_EQ(tape.Texts("Follower", 1033), std::vector<std::string>{"M_Back"});
    EXPECT_EQ(brain->aiState, kAIPIdle);
    brain->hasJumpMotion = 1;
    SendCommandArgs(brain, cmd::ai_player::AIPlayerShaftJump);
    EXPECT_EQ(tape.Ids("Follower", 869, 1035), std::vector<uint32_t>{869});

    SendCommandArgs(brain, cmd::base::Kill);
    EXPECT_TRUE(follower->spies.empty());
}

// --- the think ------------------------------------------------------------------------------

TEST_F(AIPlayerScene, HealthDieAndSuspensionDecideTheThink) {
    Build();
    Follow(player);
    Events();
    follower->health = 0.0f;
    Think();
    EXPECT_EQ(brain->aiState, kAIPDead);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1522, 1535}));

    follower->health = 100.0f;
    brain->SetState(kAIPIdle);
    Events();
    Notice(1062, ParamBlock());
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1533, 1535}));

    // Suspended: only the Dead state thinks on.
    follower->charFlags |= kCharSuspended;
    const float timer = brain->stateTimer;
    Think();
    EXPECT_GT(brain->stateTimer, timer);
    brain->SetState(kAIPScared);
    Think(200);
    EXPECT_EQ(std::tuple(brain->aiState, brain->stateTimer), std::tuple(kAIPScared, 0.0f));
    follower->charFlags &= ~kCharSuspended;
    ThinkFor(2.1f);
    EXPECT_EQ(brain->aiState, kAIPIdle);
}

TEST_F(AIPlayerScene, NotDrawnTimerDeletesOrRaisesItsEvent) {
    Build();
    Notice(cmd::base::OnDrawStop, ParamBlock());
    brain->deleteIfNotDrawn = 1;
    brain->deleteIfNotDrawnTime = 3.0f;
    ThinkFor(2.95f);
    EXPECT_EQ(tape.Ids("Follower", 964, 964), std::vector<uint32_t>{});
    ThinkFor(0.1f);
    EXPECT_EQ(tape.Ids("Follower", 964, 964), std::vector<uint32_t>{964});
    EXPECT_EQ(std::tuple(brain->aiState, brain->deleteIfNotDrawn), std::tuple(kAIPGone, 0u));

    brain->aiState = kAIPIdle;
    follower->health = 100.0f;
    Events();
    brain->notDrawnEventTime = 2.0f;
    ThinkFor(6.3f);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1537, 1537, 1537}));
    // The event and the deletion share the timer: an event time below the
    // deletion time keeps the deletion from ever coming.
    brain->deleteIfNotDrawn = 1;
    ThinkFor(6.0f);
    EXPECT_EQ(brain->aiState, kAIPIdle);
    EXPECT_EQ(tape.Ids("Follower", 964, 964), std::vector<uint32_t>{});
    brain->deleteIfNotDrawn = 0;
    // Drawn again: no count.
    Notice(cmd::base::OnDrawStart, ParamBlock());
    ThinkFor(3.0f);
    EXPECT_EQ(Events(), std::vector<uint32_t>{});
    // "On Draw Stop" without doors sends the brain to Idle; in Dead it stays.
    brain->canOpenDoor = 0;
    brain->SetState(kAIPScared);
    Notice(cmd::base::OnDrawStop, ParamBlock());
    EXPECT_EQ(brain->aiState, kAIPIdle);
}

TEST_F(AIPlayerScene, DeathTypesActAfterTheDelayWhenNotDrawn) {
    Build();
    brain->deathDelay = 1.0f;
    brain->startHealth = 80.0f;
    brain->deathType = 2;
    brain->SetState(kAIPDead);
    Notice(cmd::base::OnDrawStart, ParamBlock());
    ThinkFor(1.5f);
    EXPECT_EQ(brain->aiState, kAIPDead);
    Notice(cmd::base::OnDrawStop, ParamBlock());
    tape.heard.clear();
    Think();
    EXPECT_EQ(tape.Ids("Follower", 1017, 1045), (std::vector<uint32_t>{1017, 1045}));
    EXPECT_EQ(std::tuple(brain->aiState, follower->health), std::tuple(kAIPIdle, 80.0f));

    brain->deathType = 1;
    brain->SetState(kAIPDead);
    ThinkFor(1.1f);
    EXPECT_EQ(brain->aiState, kAIPGone);
    EXPECT_EQ(tape.Ids("Follower", 213, 213), std::vector<uint32_t>{213});
}

TEST_F(AIPlayerScene, StateChangesRaiseTheirEventsInOrder) {
    Build();
    brain->stateTimer = 1.0f;
    brain->SetState(kAIPIdle);
    EXPECT_EQ(std::tuple(brain->stateTimer, Events()), std::tuple(1.0f, std::vector<uint32_t>{}));
    Follow(player);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1533, 1534, 1521}));
    Fight(player);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1522, 1525, 1530}));
    brain->SetState(kAIPScared);
    brain->SetState(kAIPFollow);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{1531, 1526, 1527, 1529, 1521}));
}

// --- spy reactions and perception --------------------------------------------------------------

TEST_F(AIPlayerScene, ActionTogglesFollowingWithinTheGroup) {
    Build();
    brain->startFollow = 2; // not asked by "Action"
    player->characterGroup = 4; // outside followGroup 1
    ActionBy(player);
    EXPECT_EQ(brain->aiState, kAIPIdle);
    player->characterGroup = 1;
    ActionBy(player);
    EXPECT_EQ(std::tuple(brain->aiState, brain->Target()),
              std::tuple(kAIPFollow, static_cast<Actor *>(player)));
    ThinkFor(4.9f);
    ActionBy(player);
    EXPECT_EQ(brain->aiState, kAIPFollow);
    ThinkFor(0.2f);
    ActionBy(player);
    EXPECT_EQ(std::tuple(brain->aiState, brain->Target(), brain->trailLeaderId),
              std::tuple(kAIPIdle, nullptr, -1));
}

TEST_F(AIPlayerScene, HurtDoorAndAttackMotionNotices) {
    Build([this](Actor *r) { game::Door(builder, "Door", {-50, 0, 100}, {50, 200, 120}, r); });
    brain->fightGroup = 1;
    float change[2] = {-10.0f, 0.0f};
    Notice(952, ParamBlock(change, sizeof(change)));
    EXPECT_EQ(std::tuple(brain->aiState, brain->Target()),
              std::tuple(kAIPFight, static_cast<Actor *>(player)));

    // 1122 arms the hit test with the selected attack's delay; an invalid
    // selection takes a quarter second.
    brain->attacks = {{1, 1.0f, 0.7f}, {1, 1.0f, 0.4f}};
    for (const auto &[selected, delay] :
         std::initializer_list<std::pair<int32_t, float>>{{1, 0.4f}, {-1, 0.25f}, {7, 0.25f}}) {
        brain->selectedAttack = selected;
        brain->evalCountdown = kAINoEvaluation;
        NoticeText(1122, "M_Attack2");
        EXPECT_EQ(brain->evalCountdown, delay) << selected;
    }
    brain->evalCountdown = kAINoEvaluation;
    NoticeText(1122, "M_Attack4");
    EXPECT_EQ(brain->evalCountdown, kAINoEvaluation);

    // A Door touched by the dynamic object in Follow gets "Action".
    Actor *door = Find("Door");
    ColObj own(follower);
    own.name = "Body";
    own.flags = kColObjActive | kColObjDynamic;
    Follow(player);
    scene::SpyLog doorLog;
    doorLog.Watch(door);
    Touch(*door->colObjs.at(0), own);
    std::vector<int32_t> actions;
    for (const scene::SpyNotice &n : doorLog.Take()) {
        if (n.command == 971) {
            actions.push_back(n.value);
        }
    }
    EXPECT_EQ(actions, std::vector<int32_t>{follower->actorId});
}

TEST_F(AIPlayerScene, PerceptionNeedsTheGroupsAndAClearLine) {
    Build([this](Actor *r) {
        game::BoxWall(builder, "Wall", {-300, 0, 1000}, {300, 300, 1020}, r);
        CharacterActor *rival = game::MakeCharacter(builder, "Rival", {0, 30, 1500}, r);
        builder.Make(kAIPlayerClassId, "RivalBrain", rival);
    });
    auto *rival = dynamic_cast<CharacterActor *>(Find("Rival"));
    rival->characterGroup = 1;
    rival->health = 50.0f;
    ColObj vision(follower);
    vision.name = "Vision";
    brain->startFollow = 2;
    // Bodies tall enough for the line between the chests to meet them.
    for (CharacterActor *body : {player, rival}) {
        body->BodyColObj()->boxMax = {60.0f, 60.0f, 60.0f};
        UpdateShapeBounds(body);
    }
    Touch(*rival->colObjs.at(0), vision);
    EXPECT_EQ(brain->aiState, kAIPIdle); // behind the wall
    Touch(*player->colObjs.at(0), vision);
    EXPECT_EQ(std::tuple(brain->aiState, brain->Target()),
              std::tuple(kAIPFollow, static_cast<Actor *>(player)));

    // Following with fightGroup 0: another AI Player's character hostile to
    // this one, in sight for over 2 s, scares the brain.
    brain->fightGroup = 0;
    dynamic_cast<AIPlayerActor *>(Find("RivalBrain"))->fightGroup = 2;
    Place(rival, {200, 30, 400});
    runner.Step();
    Think(); // this frame's delta
    brain->actionCountdown = 0.0f;
    for (int i = 0; i < 200 && brain->aiState == kAIPFollow; ++i) {
        Touch(*rival->colObjs.at(0), vision);
    }
    EXPECT_EQ(std::tuple(brain->aiState, brain->scaredAcc), std::tuple(kAIPScared, 0.0f));
}

// --- following ----------------------------------------------------------------------------

TEST_F(AIPlayerScene, FollowPaceByDistanceAndTheStuckDetector) {
    Build();
    struct Case {
        float z;
        uint32_t motion;
        uint32_t cap;
    };
    for (const Case &c : {Case{700, kAIMotionRun, 32}, {200, kAIMotionWalk, 8},
                          {100, kAIMotionStand, 2}}) {
        Place(player, {0, 30, c.z});
        Follow(player);
        brain->trail = {{0, 30, 50}};
        Think();
        EXPECT_EQ(std::tuple(brain->wantedMotion, brain->trailCap), std::tuple(c.motion, c.cap))
            << c.z;
        brain->SetState(kAIPIdle);
    }
    EXPECT_TRUE(brain->trail.empty());

    // On a moving motion without getting anywhere: Idle after 2.5 s, or
    // with a jump motion a jump from 1.5 s on and Idle after 3.0 s.
    Place(player, {0, 30, 400});
    for (uint32_t jump : {0u, 1u}) {
        brain->hasJumpMotion = jump;
        brain->stuckTime = 0.0f;
        Follow(player);
        brain->standingMotion = 0;
        tape.heard.clear();
        ThinkFor(jump != 0 ? 1.45f : 2.45f);
        EXPECT_EQ(tape.Ids("Follower", 869, 869).empty(), true) << jump;
        ThinkFor(jump != 0 ? 1.5f : 0.1f);
        EXPECT_EQ(brain->aiState, jump != 0 ? kAIPFollow : kAIPIdle) << jump;
        if (jump != 0) {
            EXPECT_FALSE(tape.Ids("Follower", 869, 869).empty());
            ThinkFor(0.1f);
            EXPECT_EQ(brain->aiState, kAIPIdle);
        }
    }
}

TEST_F(AIPlayerScene, TrailSamplesAndCutsLoops) {
    Build();
    Place(player, {0, 30, 400});
    Follow(player);
    brain->trailCap = 64;
    brain->trailLeaderId = player->actorId;
    auto sample = [&](float x, float z) {
        Place(player, {x, 30, z});
        brain->trailSampleAcc = 1.0f;
        Think();
        brain->trailCap = 64;
    };
    sample(0, 400);
    sample(10, 400); // within 20 units: no point
    EXPECT_EQ(brain->trail.size(), 1u);
    for (int i = 1; i <= 9; ++i) {
        sample(0, 400.0f + 150.0f * static_cast<float>(i));
    }
    ASSERT_EQ(brain->trail.size(), 10u);
    sample(60, 700); // back near the third point: cut to the first two
    EXPECT_EQ(brain->trail.size(), 2u);
}

// --- fighting --------------------------------------------------------------------------------

TEST_F(AIPlayerScene, FightEndsOnTheTargetsDeathOrLostSight) {
    Build([this](Actor *r) { game::BoxWall(builder, "Wall", {-300, 0, 300}, {300, 300, 320}, r); });
    Fight(player);
    player->health = 0.0f;
    Think();
    EXPECT_EQ(std::tuple(brain->aiState, brain->Target()), std::tuple(kAIPIdle, nullptr));

    // Behind the wall for more than 6 s. The Normal fighter counts from the
    // check where sight is lost (the first one, a half second in), the
    // Static one from the start, restarting only where sight comes back.
    player->health = 50.0f;
    for (uint32_t type : {0u, 1u}) {
        brain->aiType = type;
        brain->halfSecondAcc = brain->sinceSightLost = brain->sinceSightRegained = 0.0f;
        Fight(player);
        ThinkFor(6.4f);
        EXPECT_EQ(brain->aiState, kAIPFight) << type;
        ThinkFor(0.5f);
        EXPECT_EQ(brain->aiState, type == 1 ? kAIPIdle : kAIPFight) << type;
        ThinkFor(0.7f);
        EXPECT_EQ(brain->aiState, kAIPIdle) << type;
    }
}

TEST_F(AIPlayerScene, AFighterClimbsTheStairMarkersToItsTarget) {
    Build([this](Actor *r) {
        for (const auto &[name, at] : {std::pair{"StairBottom", Vector3{0, 30, 300}},
                                       std::pair{"StairTop", Vector3{0, 330, 600}}}) {
            SendCommandArgs(builder.Make(kAIHelperClassId, name, r), cmd::base::SetPosition, at);
        }
    });
    Place(player, {0, 330, 900});
    Place(follower, {0, 30, 0});
    brain->targetLink.Assign(player);
    ASSERT_EQ(brain->PlanLevel(player), 1u);
    EXPECT_EQ(std::tuple(brain->markerIndex, brain->markerStep), std::tuple(0, 1));
    brain->aiState = kAIPFight;
    Think();
    EXPECT_EQ(std::tuple(brain->markerIndex, brain->wantedMotion), std::tuple(0, kAIMotionWalk));
    Place(follower, {0, 30, 250});
    Think();
    EXPECT_EQ(brain->markerIndex, 1);
    // Past the last marker, on the target's level: the walk ends.
    Place(follower, {0, 330, 580});
    Think();
    EXPECT_EQ(brain->markerIndex, -1);
    // The markers of the current group only: a group left behind has none.
    brain->markerIds.clear();
    EXPECT_EQ(brain->PlanLevel(player), 0u);
}

TEST_F(AIPlayerScene, AttackPatternsByTheFirstDraw) {
    Build();
    Place(player, {0, 30, 400});
    brain->targetLink.Assign(player);
    brain->aiState = kAIPFight;
    brain->targetVisible = 1;
    const std::vector<std::vector<std::string>> patterns = {
        {"A", "M_Forward"}, {"A", "M_Back", "M_Forward"}, {"A", "M_Back"},
        {"A", "M_Right"},   {"A", "M_Left", "M_Left"},    {"A", "M_Right", "M_Right"}};
    std::vector<bool> seen(6, false);
    for (uint32_t seed = 1; seed < 200; ++seed) {
        SeedRand(seed);
        const int r = Rand() % 6;
        const std::string a = "M_Attack" + std::to_string(Rand() % 4);
        SeedRand(seed);
        tape.heard.clear();
        brain->ChooseAttackMotion();
        std::vector<std::string> expected = patterns[static_cast<size_t>(r)];
        expected[0] = a;
        EXPECT_EQ(tape.Texts("Follower", 1033), expected) << seed;
        seen[static_cast<size_t>(r)] = true;
    }
    EXPECT_EQ(seen, std::vector<bool>(6, true));
    // Beyond the fight distance it runs.
    Place(player, {0, 30, 900});
    brain->ChooseAttackMotion();
    EXPECT_EQ(tape.Texts("Follower", 1033), std::vector<std::string>{"R_Forward"});
}

TEST_F(AIPlayerScene, ALandedHitAppliesTheEffectsScaled) {
    Build();
    Place(player, {0, 30, 100});
    brain->targetLink.Assign(player);
    brain->aiState = kAIPFight;
    brain->hitGethitId = 2;
    brain->hitDamageId = 1;
    brain->hitHoldTime = 0.5f;
    brain->hitEffects = {{0, 10.0f, 2.0f}, {99, 1.0f, 1.0f}, {12, -4.0f, 1.0f}};
    brain->attacks = {{1, 1.5f, 0.0f}};
    brain->selectedAttack = 0;
    GlobalHitEffectMultiplier = 2.0f;
    brain->EvaluateHit();
    GlobalHitEffectMultiplier = 1.0f;
    std::vector<Heard> toPlayer;
    std::vector<std::string> toSelf;
    for (const Heard &h : tape.heard) {
        const bool sentByBrain = h.id == 845 || h.id == 847 || h.id == 856 || h.id == 857 ||
                                 (h.id >= 940 && h.id <= 954);
        if (h.actor == "GA1_Player" && sentByBrain) {
            toPlayer.push_back(h);
        } else if (h.actor == "Follower" && (h.id == 1035 || h.id == 1033)) {
            toSelf.push_back(h.id == 1035 ? "clear" : h.text);
        }
    }
    tape.heard.clear();
    ASSERT_EQ(toPlayer.size(), 7u);
    std::vector<std::tuple<uint32_t, std::string>> named;
    for (const Heard &h : toPlayer) {
        named.emplace_back(h.id, h.id == 845 || h.id == 847 ? h.text : "");
    }
    EXPECT_EQ(named, (std::vector<std::tuple<uint32_t, std::string>>{
                         {857, ""}, {857, ""}, {845, "Gethit1"}, {847, "Damage0"}, {856, ""},
                         {940, ""}, {952, ""}}));
    EXPECT_EQ(std::tuple(toPlayer[5].reals[0], toPlayer[5].reals[1]), std::tuple(30.0f, 6.0f));
    EXPECT_EQ(toSelf, (std::vector<std::string>{"clear", "M_Back"}));
    EXPECT_EQ(brain->evalCountdown, kAINoEvaluation);

    // A held target takes nothing.
    player->holdTime = 1.0f;
    brain->EvaluateHit();
    EXPECT_EQ(tape.Ids("GA1_Player", 845, 954), std::vector<uint32_t>{857});
}

// An effect whose scaled value or time is not finite (from a record or the
// list commands) is not sent: the struck character's values stay finite.
// Nor does "Change CP Health" take a change that is not finite.
TEST_F(AIPlayerScene, AHitEffectThatIsNotFiniteIsNotSent) {
    Build();
    Place(player, {0, 30, 100});
    brain->targetLink.Assign(player);
    brain->hitEffects = {{0, NAN, 2.0f}, {0, 10.0f, INFINITY}, {1, -INFINITY, 1.0f}, {2, FLT_MAX, 1.0f},
                         {12, -4.0f, 1.0f}};
    brain->HitReaction(player, 2.0f); // FLT_MAX doubled is no number either
    std::vector<uint32_t> effects;
    for (const Heard &h : tape.heard) {
        if (h.actor == "GA1_Player" && h.id >= 940 && h.id <= 954) effects.push_back(h.id);
    }
    EXPECT_EQ(effects, std::vector<uint32_t>{952});
    runner.Step(10);
    for (size_t i = 0; i < kCharacterParamCount; ++i) {
        EXPECT_TRUE(std::isfinite(player->paramValue[i]) && std::isfinite(player->paramChanged[i])) << i;
    }
    const float health = player->health;
    for (const float bad : {NAN, INFINITY, -INFINITY}) {
        SendCommandArgs(player, cmd::character::ChangeCPHealth, bad, 1.0f);
        EXPECT_EQ(player->health, health) << bad;
    }
}

// --- memory, routes, steering ------------------------------------------------------------------

TEST_F(AIPlayerScene, MemoryCountsConnectorPassesAndExploresTheUnused) {
    Build([this](Actor *) {
        for (const auto &[name, z] : {std::pair{"PortalNear", 0.0f}, {"PortalFar", 1200.0f}}) {
            Actor *portal = builder.Make(kDrawGroupConnectorClassId, name);
            SendCommandArgs(portal, cmd::base::SetPosition, Vector3{2000, 30, z});
        }
    });
    brain->useMemory = 1;
    brain->aiState = kAIPExplore;
    Place(follower, {2050, 30, 0});
    runner.Step();
    const int32_t groupB = follower->drawGroupId;
    brain->memory.clear();
    Notice(98, ParamBlock(const_cast<int32_t *>(&groupB), sizeof(groupB)));
    ASSERT_EQ(brain->memory.size(), 1u);
    EXPECT_EQ(brain->memory[0].exits, (std::vector<uint32_t>{1, 0}));
    EXPECT_EQ(brain->exploreExitId, Find("PortalFar")->actorId);

    // A record made when the group had fewer connectors grows first.
    brain->memory[0].exits = {0};
    Notice(99, ParamBlock(const_cast<int32_t *>(&groupB), sizeof(groupB)));
    EXPECT_EQ(brain->memory[0].exits, (std::vector<uint32_t>{1, 0}));
    brain->memory.clear();
    brain->currentMemory = -1;
    Notice(99, ParamBlock(const_cast<int32_t *>(&groupB), sizeof(groupB)));
    EXPECT_EQ(brain->memory.size(), 1u);
}

TEST_F(AIPlayerScene, RoutesAndGoToPoints) {
    Build([this](Actor *r) {
        Actor *portal = builder.Make(kDrawGroupConnectorClassId, "Portal");
        SendCommandArgs(portal, cmd::base::SetPosition, Vector3{2000, 30, 0});
        Actor *goal = builder.Make(0, "Goal", Find("RoomB"));
        SendCommandArgs(goal, cmd::base::SetPosition, Vector3{3000, 30, 0});
        Actor *island = builder.Make(0, "Island", game::Room(builder, "RoomC", {6000, -100, -500},
                                                             {7000, 600, 500}));
        SendCommandArgs(island, cmd::base::SetPosition, Vector3{6500, 30, 0});
        (void)r;
    });
    runner.Step();
    brain->goToPoints = {{1, 1, 1}};
    std::string name = "Goal";
    brain->HandleCommand(cmd::ai_player::AIPlayerSearchAndGoToActor,
                         ParamBlock(name.data(), name.size() + 1));
    ASSERT_EQ(brain->goToPoints.size(), 2u);
    EXPECT_EQ(std::tuple(brain->goToPoints[0].x, brain->goToPoints[1].x, brain->aiState),
              std::tuple(2000.0f, 3000.0f, kAIPGoTo));
    // The first point lies within 200 of the character only after a walk.
    Think();
    EXPECT_EQ(brain->goToPoints.size(), 2u);
    Place(follower, {1850, 30, 0});
    Think();
    EXPECT_EQ(brain->goToPoints.size(), 1u);

    // A name that finds nothing changes nothing; a group without a way to
    // it empties the points and keeps the state.
    brain->SetState(kAIPIdle);
    brain->goToPoints = {{1, 1, 1}};
    for (const char *text : {"Nobody", "Island"}) {
        name = text;
        brain->HandleCommand(cmd::ai_player::AIPlayerSearchAndGoToActor,
                             ParamBlock(name.data(), name.size() + 1));
    }
    EXPECT_EQ(std::tuple(brain->goToPoints.size(), brain->aiState), std::tuple(size_t{0}, kAIPIdle));
}

TEST_F(AIPlayerScene, SteeringSendsHeadingTurnAndLookSpeeds) {
    Build();
    std::vector<std::tuple<uint32_t, float>> sent;
    brain->turnSpeed = 2.0f;
    follower->look.rotYSmooth = 0.0f;
    const Vector3 c = follower->GetWorldPosition();
    const Vector3 ahead = {c.x, c.y, c.z + 260.0f};
    for (const Vector3 &point : {ahead, c}) {
        tape.heard.clear();
        brain->SteerTo(point, 4.0f);
        sent.clear();
        for (const Heard &h : tape.heard) {
            if (h.actor == "Follower") {
                sent.emplace_back(h.id, h.reals[0]);
            }
        }
        ASSERT_EQ(sent.size(), 5u);
        EXPECT_EQ(std::get<0>(sent[0]), 976u);
        EXPECT_EQ(sent[1], std::tuple(1027u, 8.0f));
        EXPECT_EQ(std::get<0>(sent[2]), 980u);
        for (const auto &[id, value] : sent) {
            EXPECT_TRUE(std::isfinite(value)) << id;
        }
    }
    // 260 units ahead (the heading of the other point within 0.3 of the
    // look): s = 1 x k, k = 1.
    tape.heard.clear();
    follower->look.rotYSmooth = YawBetweenPoints(c, ahead);
    brain->SteerTo(ahead, 4.0f);
    std::vector<float> speeds;
    for (const Heard &h : tape.heard) {
        if (h.id == 986 || h.id == 984) {
            speeds.push_back(h.reals[0]);
        }
    }
    EXPECT_EQ(speeds, (std::vector<float>{1.0f, 0.02f}));
}

TEST_F(AIPlayerScene, ALeaderDeletedInFollowLeavesNothingBehind) {
    Build([this](Actor *r) { game::MakeCharacter(builder, "Leader", {0, 30, 500}, r); });
    Actor *leader = Find("Leader");
    Follow(leader);
    ThinkFor(1.0f);
    ASSERT_EQ(brain->trailLeaderId, leader->actorId);
    DeleteActor(leader);
    EXPECT_EQ(std::tuple(brain->aiState, brain->Target(), brain->trailLeaderId),
              std::tuple(kAIPInactive, nullptr, -1));
    ThinkFor(1.0f);
    runner.Step(3);
}

} // namespace
