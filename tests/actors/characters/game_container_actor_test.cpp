// The Game Container in the Game Object scene: its layouts, the touch, the
// "Action" (search, insertion, empty), trap setting, listening, the event
// box, children looked up again after a rebuild or a copy, and its record.
#include <array>
#include <tuple>

#include "actors/characters/game_container_actor.h"
#include "actors/presentation/sound_actor.h"
#include "core/actors/command_ids.h"
#include "game_object_fixture.h"

namespace {

constexpr uint32_t kSoundClassId = 2;

class GameContainerTest : public GameObjectTest {
  protected:
    // A container at the point, its sounds recorders, bound.
    GameContainerActor *Container(const Vector3 &at = {0, 0, 100}, Actor *from = nullptr) {
        game::RecorderClass sounds(kSoundClassId);
        auto *box = dynamic_cast<GameContainerActor *>(
            CreateActor(kGameContainerClassId, "Box", from, room, -1, true));
        SendCommandArgs(box, cmd::base::SetPosition, at);
        box->HandleCommand(cmd::base::Precalculate, ParamBlock());
        return box;
    }
    static game::Recorder *Sound(GameContainerActor *box, const char *name) {
        return dynamic_cast<game::Recorder *>(FindChildByName(box, name));
    }
    static std::vector<std::string> Names(const Actor *actor) {
        std::vector<std::string> names;
        for (const Actor *child : actor->children) {
            names.push_back(child->name + ":" + std::to_string(child->classId));
        }
        return names;
    }
    int Action(GameContainerActor *box, Actor *who, Actor *item = nullptr) {
        uint32_t words[2] = {static_cast<uint32_t>(who->actorId),
                             item != nullptr ? static_cast<uint32_t>(item->actorId) : 0xFFFFFFFFu};
        return box->HandleCommand(cmd::character::Action, ParamBlock(words, sizeof(words)));
    }
    // Sends "Action" in every frame before `frames` runs out, then steps
    // `after` frames more.
    void Hold(GameContainerActor *box, Actor *item, int frames, int after = 30) {
        runner.preStep = [&, frames](uint32_t) {
            if (held++ < frames) {
                Action(box, body, item);
            }
        };
        held = 0;
        runner.Step(frames + after);
        runner.preStep = nullptr;
    }
    GameObjectActor *Content(GameContainerActor *box, uint32_t type) {
        return Item(type, box->Spawn());
    }

    int held = 0;
};

TEST_F(GameContainerTest, LayoutsAndTheirEventBox) {
    GameContainerActor *box = Container();
    EXPECT_EQ(Names(box), (std::vector<std::string>{"Object:3", "Spawn:21", "Empty Sound:2",
                                                    "Item Sound:2", "Trap Sound:2"}));
    for (const char *sound : {"Empty Sound", "Item Sound", "Trap Sound"}) {
        ASSERT_EQ(Sound(box, sound)->Of(179).size(), 1u) << sound;
        EXPECT_EQ(Sound(box, sound)->Of(179)[0].Read<uint32_t>(), 1u);
    }
    auto expectEventBox = [&] {
        ASSERT_EQ(box->colObjs.size(), 1u);
        const ColObj &event = *box->colObjs[0];
        EXPECT_EQ(std::tuple(event.name, event.type, event.groups, event.receiveGroups,
                             event.excludeGroups, event.fill, event.boxMin.x, event.boxMin.y,
                             event.boxMax.y, event.boxMax.z),
                  std::tuple(std::string("Event"), 2u, 1u, 1u, 0u, 7u, -20.0f, 10.0f, 60.0f, 20.0f));
    };
    expectEventBox();
    SendCommandArgs(box, cmd::game_container::SetContainerType, uint32_t{2});
    EXPECT_EQ(Names(box), (std::vector<std::string>{"Trigger:3", "Spawn:21", "Wire:3"}));
    expectEventBox();
}

TEST_F(GameContainerTest, CollisionTriggerActivatesOnlyForItsType) {
    for (const auto &[type, fires] : {std::tuple(1u, true), std::tuple(2u, false)}) {
        GameContainerActor *box = Container();
        GameObjectActor *content = Content(box, kItemPowerUp);
        SendCommandArgs(box, cmd::game_container::SetTriggerType, type);
        runner.Step();
        Touch(box, &AddObject(body, kColObjActive | kColObjDynamic), box->colObjs[0].get());
        EXPECT_EQ(content->itemState == kItemActivate, fires) << type;
        EXPECT_FLOAT_EQ(box->touchCountdown, fires ? 4.0f : box->touchCountdown);
    }
}

TEST_F(GameContainerTest, ActionOpensEmptyAndIgnoresARepeatWithinTwoSeconds) {
    GameContainerActor *box = Container();
    box->searchTime = 0.0f;
    runner.Step(61);
    game::Recorder *empty = Sound(box, "Empty Sound");
    Action(box, body);
    EXPECT_EQ(std::tuple(empty->Of(cmd::sound::PlaySound).size(), empty->Of(768).size()),
              std::tuple(size_t{1}, size_t{1}));
    runner.Step(100);
    Action(box, body);
    EXPECT_EQ(empty->Of(cmd::sound::PlaySound).size(), 1u);
    runner.Step(25);
    Action(box, body);
    EXPECT_EQ(empty->Of(cmd::sound::PlaySound).size(), 2u);
}

TEST_F(GameContainerTest, HeldSearchActivatesAfterTheSearchTime) {
    for (const auto &[frames, activated] : {std::tuple(40, false), std::tuple(70, true)}) {
        GameContainerActor *box = Container();
        GameObjectActor *content = Content(box, kItemPowerUp);
        runner.Step(61);
        Hold(box, nullptr, frames, 2);
        EXPECT_EQ(content->itemState == kItemActivate, activated) << frames;
        EXPECT_EQ(box->searching, 0u);
    }
}

TEST_F(GameContainerTest, SwitchedOffContainerNeitherCountsNorSearches) {
    GameContainerActor *box = Container();
    GameObjectActor *content = Content(box, kItemPowerUp);
    runner.Step(61);
    SendCommandArgs(box, cmd::base::SetOperational, false);
    Hold(box, nullptr, 70, 2);
    // The action starts the search; the countdowns and the search stand still.
    EXPECT_NE(content->itemState, kItemActivate);
    EXPECT_EQ(std::tuple(box->touchCountdown, box->searchElapsed), std::tuple(0.2f, 0.0f));
    // Switched on again, the same search hands the content out.
    SendCommandArgs(box, cmd::base::SetOperational, true);
    runner.Step(61);
    Hold(box, nullptr, 70, 2);
    EXPECT_EQ(content->itemState, kItemActivate);
}

TEST_F(GameContainerTest, OfferedItemsGoUnderSpawn) {
    GameContainerActor *box = Container();
    runner.Step(61);
    GameObjectActor *offered = Item(kItemValuable, body);
    offered->itemState = kItemInHand;
    Action(box, body, offered);
    EXPECT_EQ(std::tuple(offered->parent, offered->itemState),
              std::tuple(box->Spawn(), uint32_t{kItemInContainer}));

    // 812 takes only an item that is not In Container; an id of no Game
    // Object inserts nothing.
    GameContainerActor *other = Container();
    GameObjectActor *loose = Item(kItemValuable);
    loose->itemState = kItemInScene;
    for (Actor *item : {static_cast<Actor *>(offered), static_cast<Actor *>(body),
                        static_cast<Actor *>(loose)}) {
        uint32_t words[2] = {static_cast<uint32_t>(body->actorId),
                             static_cast<uint32_t>(item->actorId)};
        other->HandleCommand(cmd::game_container::InsertContent, ParamBlock(words, sizeof(words)));
    }
    EXPECT_EQ(std::tuple(offered->parent, loose->parent, body->parent),
              std::tuple(box->Spawn(), other->Spawn(), room));
}

TEST_F(GameContainerTest, DeleteAfterActivationQueuesTheContainer) {
    GameContainerActor *box = Container();
    Content(box, kItemPowerUp);
    SendCommandArgs(box, cmd::game_container::SetDeleteAfterActivation, true);
    SendCommandArgs(box, cmd::game_container::ActivateContent,
                    static_cast<uint32_t>(body->actorId));
    EXPECT_TRUE(box->HasFlag(kActorQueuedForDeletion));
}

TEST_F(GameContainerTest, EventBoxFitsTheChildrenInContainerSpace) {
    GameContainerActor *box = Container({100, 0, 0});
    // No child with bounds (a kind without children): the old box stays.
    SendCommandArgs(box, cmd::game_container::SetContainerType, uint32_t{99});
    box->HandleCommand(cmd::game_container::CalculateEventBox, ParamBlock());
    EXPECT_EQ(std::tuple(box->colObjs[0]->boxMin.x, box->colObjs[0]->boxMax.y),
              std::tuple(-20.0f, 60.0f));
    // A child that gives world bounds, as a mesh does.
    auto *shelf = dynamic_cast<game::Recorder *>(
        CreateActor(kWatcherClassId, "Shelf", nullptr, box, -1, true));
    shelf->Answer(151, std::array<Vector3, 2>{Vector3{70, 0, -5}, Vector3{130, 80, 5}});
    box->HandleCommand(cmd::game_container::CalculateEventBox, ParamBlock());
    EXPECT_NEAR(box->colObjs[0]->boxMin.x, -30.0f, 1e-3f);
    EXPECT_NEAR(box->colObjs[0]->boxMax.y, 80.0f, 1e-3f);
}

TEST_F(GameContainerTest, TrapSettingScalesByTheTimeHeld) {
    struct Case {
        int frames;
        bool inserted;
        float quality;
    };
    for (const Case &c : {Case{30, false, 0.0f}, Case{90, true, 0.75f}, Case{150, true, 1.0f}}) {
        GameContainerActor *box = Container();
        GameObjectActor *trap = Item(kItemTrap, body);
        trap->itemState = kItemInHand;
        trap->effects = {{0, 100.0f, 10.0f}};
        runner.Step(61);
        Hold(box, trap, c.frames, 10);
        EXPECT_EQ(trap->parent == box->Spawn(), c.inserted) << c.frames;
        if (c.inserted) {
            // Held past the most: just above 1.0.
            EXPECT_NEAR(trap->effects[0].value, 100.0f * c.quality, 2.0f) << c.frames;
            EXPECT_GE(trap->effects[0].value, 100.0f * c.quality - 1e-3f);
            EXPECT_NEAR(trap->effects[0].value / 10.0f, trap->effects[0].time, 1e-4f);
            EXPECT_GT(box->trapCountdown, 2.0f);
            EXPECT_EQ(Net(trap->actorId), (std::vector<uint32_t>{657, 749}));
        }
    }
    EXPECT_EQ(TrapQuality(1.5f, 1.0f, 1.0f), 1.0f);
    EXPECT_EQ(TrapQuality(0.0f, 2.0f, 1.0f), 1.0f);
}

TEST_F(GameContainerTest, ListeningPicksTheSound) {
    struct Case {
        uint32_t type; // 99: empty
        const char *sound;
    };
    for (const Case &c : {Case{99, "Empty Sound"}, Case{kItemTrap, "Trap Sound"},
                          Case{kItemKey, "Item Sound"}}) {
        GameContainerActor *box = Container();
        if (c.type != 99) {
            Content(box, c.type);
        }
        box->HandleCommand(cmd::game_container::ListenToContainer, ParamBlock());
        game::Recorder *sound = Sound(box, c.sound);
        const std::vector<uint32_t> expected =
            c.type == kItemTrap ? std::vector<uint32_t>{cmd::sound::SetFrequency,
                                                        cmd::sound::PlaySound}
                                : std::vector<uint32_t>{cmd::sound::PlaySound};
        std::vector<uint32_t> ids;
        for (uint32_t id : sound->Ids()) {
            if (id == cmd::sound::SetFrequency || id == cmd::sound::PlaySound) {
                ids.push_back(id);
            }
        }
        EXPECT_EQ(ids, expected) << c.sound;
        if (c.type == kItemTrap) {
            EXPECT_FLOAT_EQ(sound->Of(cmd::sound::SetFrequency)[0].F32(), 1.2f);
        }
    }
}

TEST_F(GameContainerTest, RebuiltAndCopiedContainersUseTheirOwnChildren) {
    GameContainerActor *box = Container();
    game::Recorder *oldEmpty = Sound(box, "Empty Sound");
    box->searchTime = 0.0f;
    GameContainerActor *copy = Container({0, 0, 300}, box);
    EXPECT_EQ(copy->searchTime, 0.0f);
    runner.Step(61);
    copy->HandleCommand(cmd::game_container::ListenToContainer, ParamBlock());
    Action(copy, body);
    EXPECT_EQ(oldEmpty->Of(cmd::sound::PlaySound).size(), 0u);

    {
        game::RecorderClass sounds(kSoundClassId);
        SendCommandArgs(box, cmd::game_container::SetContainerType, uint32_t{0});
    }
    game::Recorder *fresh = Sound(box, "Empty Sound");
    box->HandleCommand(cmd::game_container::ListenToContainer, ParamBlock());
    EXPECT_EQ(fresh != nullptr && fresh->Of(cmd::sound::PlaySound).size() == 1u, true);
    SendCommandArgs(box, cmd::game_container::SetContainerType, uint32_t{2});
    box->HandleCommand(cmd::game_container::ListenToContainer, ParamBlock());
    Action(box, body);
    EXPECT_EQ(box->EmptySound(), nullptr);
}

TEST_F(GameContainerTest, RecordGatesTheTriggerWordsOnVersionFour) {
    GameContainerActor *box = Container();
    box->contentType = 5;
    box->contentActorId = 77;
    box->searchTime = 2.5f;
    box->triggerType = 1;
    box->triggerTime = 3.0f;
    box->deleteAfterActivation = 1;
    TempFolder folder;
    for (uint32_t version : {3u, 4u}) {
        const std::string bytes = WriteActorAtVersion(box, version, folder, "box.qva");
        auto *back = dynamic_cast<GameContainerActor *>(LoadActorFileBytes(bytes, box->actorId));
        ASSERT_NE(back, nullptr);
        const bool v4 = version == 4;
        EXPECT_EQ(std::tuple(back->containerKind, back->contentType, back->contentActorId,
                             back->searchTime, back->triggerType, back->triggerTime,
                             back->deleteAfterActivation),
                  std::tuple(0u, 5u, 77u, 2.5f, v4 ? 1u : 0u, v4 ? 3.0f : 0.0f, v4 ? 1u : 0u));
        if (v4) {
            EXPECT_EQ(bytes.substr(bytes.size() - 28), std::string(28, '\0'));
            std::vector<std::string> lines;
            back->DumpClassFields(lines);
            EXPECT_EQ(lines, std::vector<std::string>{"gamecontainer kind 0 contenttype 5 contentid "
                                                      "77 search 2.5 trigger 1 triggertime 3 "
                                                      "delete 1"});
        }
        box = back;
        box->triggerType = 1;
        box->triggerTime = 3.0f;
        box->deleteAfterActivation = 1;
    }
}

} // namespace
