// The State and Developer actors: the State as a plain node, the Developer's
// dart throw at a master Character with its cooldown, the Developer 2's
// remembered look target and voice command, the Developer 3's subscription,
// the spare-word records, and the mended faults of dangling dart and target
// pointers and truncated spare-word records.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "actors/world/developer2_actor.h"
#include "actors/world/developer3_actor.h"
#include "actors/world/developer_actor.h"
#include "actors/world/state_actor.h"
#include "base/file_system.h"
#include "base/random.h"
#include "core/actors/actor_file.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/class_factory.h"
#include "core/actors/command_ids.h"
#include "support/scene_harness.h"
#include "support/temp_folder.h"
#include "support/test_character.h"
#include "time_fixture.h"

using namespace timetest;
using testcharacter::TestCharacter;

namespace {

constexpr uint32_t kCmdPerformAction = 636;
constexpr uint32_t kCmdAiVoiceCommand = 1540;
constexpr uint32_t kCharacterClass = 16;
constexpr uint32_t kCmdTimerOnly = 596; // "Start Timer": a command of another class
constexpr uint32_t kDartClass = 5;      // any class whose row a test may take

std::vector<std::string> g_heard;

// Logs "Perform Action" and the AI voice command.
class Listener : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == kCmdPerformAction) {
            g_heard.push_back(name + " action " + std::to_string(block.ReadU32(0)));
        } else if (commandId == kCmdAiVoiceCommand) {
            const auto *from = static_cast<Actor *>(block.ReadPointer(0));
            g_heard.push_back(name + " voice " + (from != nullptr ? from->name : "-") + " " +
                              std::to_string(block.ReadU32(8)));
        }
        return Actor::HandleCommand(commandId, block);
    }
};

Actor *NewListener() {
    auto *listener = new Listener();
    listener->classId = kDartClass;
    return listener;
}

class LogicActorsTest : public TimeWorldTest {
  protected:
    void SetUp() override {
        TimeWorldTest::SetUp();
        characterClass = std::make_unique<testcharacter::TestCharacterClass>();
        g_heard.clear();
        previousDart = SetActorClassRowForTests(kDartClass, {kDartClass, &NewListener, nullptr});
        SeedRand(1);
    }
    void TearDown() override {
        SetActorClassRowForTests(kDartClass, previousDart);
        characterClass.reset();
        TimeWorldTest::TearDown();
    }
    Actor *At(Actor *actor, Vector3 position) {
        actor->HandleCommand(cmd::base::SetPosition, ParamBlock(&position, sizeof(position)));
        return actor;
    }
    TestCharacter *Character(const char *name, bool master, Vector3 position) {
        auto *character = static_cast<TestCharacter *>(Make(kCharacterClass, name));
        character->SetMaster(master);
        At(character, position);
        character->AddCharacterCol();
        return character;
    }
    static int Touch(Actor *receiver, ColObj *other) {
        ColObj *own = receiver->colObjs.empty() ? nullptr : receiver->colObjs[0].get();
        void *block[2] = {other, own};
        return receiver->HandleCommand(cmd::base::CollisionEvent, ParamBlock(block, sizeof(block)));
    }
    // The darts thrown so far: scenery children named "Dart" after the first.
    std::vector<Actor *> Darts() const {
        std::vector<Actor *> out;
        for (Actor *child : scenery->children) {
            if (child->name == "Dart") {
                out.push_back(child);
            }
        }
        if (!out.empty()) {
            out.erase(out.begin());
        }
        return out;
    }

    // Made after the world's reset, which restores the class rows.
    std::unique_ptr<testcharacter::TestCharacterClass> characterClass;
    ActorClassRow previousDart;
};

TEST_F(LogicActorsTest, DeveloperThrowsAtAMasterCharacterOncePerCooldown) {
    At(Make(kDartClass, "Dart"), {0.0f, 50.0f, 0.0f});
    auto *developer = static_cast<DeveloperActor *>(Make(kDeveloperClassId, "developer"));
    At(developer, {10.0f, 0.0f, 0.0f});
    SendWord(developer, cmd::base::Precalculate, 0);
    ASSERT_NE(developer->processEntry, nullptr);
    ScheduledCommand *subscription = developer->processEntry;
    SendWord(developer, cmd::base::Precalculate, 0);
    EXPECT_EQ(developer->processEntry, subscription);

    TestCharacter *plain = Character("plain", false, {10.0f, 0.0f, 100.0f});
    Touch(developer, plain->colObjs[0].get());
    Actor *notCharacter = Make(0, "thing");
    notCharacter->flags |= kActorMaster;
    notCharacter->AddColObj(ColObj(notCharacter));
    Touch(developer, notCharacter->colObjs[0].get());
    EXPECT_TRUE(Darts().empty());

    TestCharacter *master = Character("master", true, {10.0f, 0.0f, 100.0f});
    Touch(developer, master->colObjs[0].get());
    ASSERT_EQ(Darts().size(), 1u);
    Actor *dart = Darts()[0];
    EXPECT_EQ(dart->parent, scenery);
    const Vector3 at = dart->GetWorldPosition();
    EXPECT_FLOAT_EQ(at.x, 10.0f);
    EXPECT_FLOAT_EQ(at.y, 0.0f);
    EXPECT_FLOAT_EQ(at.z, 0.0f);
    EXPECT_FLOAT_EQ(dart->deltaPosition.x, 0.0f);
    EXPECT_FLOAT_EQ(dart->deltaPosition.z, 400.0f);
    EXPECT_EQ(g_heard,
              (std::vector<std::string>{"Dart action " + std::to_string(developer->actorId)}));
    // After SeedRand(1) the first draw is 41.
    EXPECT_FLOAT_EQ(developer->cooldown, 7.0f);

    // Not again while the cooldown runs, again once it has run out.
    RunFor(6.9f);
    Touch(developer, master->colObjs[0].get());
    EXPECT_EQ(Darts().size(), 1u);
    RunFor(0.2f);
    Touch(developer, master->colObjs[0].get());
    EXPECT_EQ(Darts().size(), 2u);
}

TEST_F(LogicActorsTest, DeveloperWithoutADartNeverThrows) {
    auto *developer = static_cast<DeveloperActor *>(Make(kDeveloperClassId, "developer"));
    SendWord(developer, cmd::base::Precalculate, 0);
    TestCharacter *master = Character("master", true, {0.0f, 0.0f, 100.0f});
    Touch(developer, master->colObjs[0].get());
    SendWord(developer, cmd::developer::ThrowDart, static_cast<uint32_t>(master->actorId));
    EXPECT_TRUE(Darts().empty());
    EXPECT_FLOAT_EQ(developer->cooldown, 0.0f);
}

// The dart was held as a raw pointer: one destroyed after "Precalculate"
// was copied from freed memory by the next throw.
TEST_F(LogicActorsTest, DeveloperForgetsADestroyedDart) {
    Actor *dart = Make(kDartClass, "Dart");
    auto *developer = static_cast<DeveloperActor *>(Make(kDeveloperClassId, "developer"));
    SendWord(developer, cmd::base::Precalculate, 0);
    ASSERT_EQ(developer->dart.target, dart);
    DeleteActor(dart);
    EXPECT_EQ(developer->dart.target, nullptr);
    TestCharacter *master = Character("master", true, {0.0f, 0.0f, 100.0f});
    SendWord(developer, cmd::developer::ThrowDart, static_cast<uint32_t>(master->actorId));
    Touch(developer, master->colObjs[0].get());
    EXPECT_EQ(scenery->children.size(), 2u); // the developer and the master
    // An unknown target id throws nothing either.
    Make(kDartClass, "Dart");
    SendWord(developer, cmd::base::Precalculate, 0);
    SendWord(developer, cmd::developer::ThrowDart, 99999);
    EXPECT_TRUE(Darts().empty());
}

TEST_F(LogicActorsTest, Developer2RemembersWhatItsParentLooksAtForTwoFrames) {
    auto *parentStub = static_cast<TestCharacter *>(Make(kCharacterClass, "player"));
    auto *developer =
        static_cast<Developer2Actor *>(Make(kDeveloper2ClassId, "developer 2", parentStub));
    Actor *other = Make(0, "other");
    Actor *ai = Make(kDartClass, "AI", Make(0, "brain", other));
    ColObj touching(other);
    touching.worldMin = {-1.0f, -1.0f, 99.0f};
    touching.worldMax = {1.0f, 1.0f, 101.0f};

    // Looking away (a dot product of 0.5 is not enough): nothing.
    parentStub->lookDirection = {0.8660254f, 0.0f, 0.5f};
    Touch(developer, &touching);
    EXPECT_EQ(developer->lookedAt.target, nullptr);
    SendWord(developer, cmd::developer2::SendAiPlayer2VoiceCommand, 3);
    EXPECT_TRUE(g_heard.empty());

    parentStub->lookDirection = {0.0f, 0.0f, 1.0f};
    Touch(developer, &touching);
    EXPECT_EQ(developer->lookedAt.target, other);
    SendWord(developer, cmd::developer2::SendAiPlayer2VoiceCommand, 5);
    EXPECT_EQ(g_heard, (std::vector<std::string>{"AI voice player 5"}));
    (void)ai;
    developer->Update();
    EXPECT_EQ(developer->lookedAt.target, other);
    developer->Update();
    EXPECT_EQ(developer->lookedAt.target, nullptr);

    // A remembered actor that is destroyed is forgotten at once.
    Touch(developer, &touching);
    DeleteActor(other);
    EXPECT_EQ(developer->lookedAt.target, nullptr);
    SendWord(developer, cmd::developer2::SendAiPlayer2VoiceCommand, 6);
    EXPECT_EQ(g_heard.size(), 1u);
}

// The direction goes to the shape's world centre: a sphere keeps it in
// worldMin (worldMax holds its radius), a box halfway between its corners.
TEST_F(LogicActorsTest, Developer2LooksAtTheCentreOfEveryShape) {
    auto *parentStub = static_cast<TestCharacter *>(Make(kCharacterClass, "player"));
    auto *developer =
        static_cast<Developer2Actor *>(Make(kDeveloper2ClassId, "developer 2", parentStub));
    Actor *other = Make(0, "other");
    parentStub->lookDirection = {0.0f, 0.0f, 1.0f};
    const auto remembers = [&](uint32_t type, Vector3 min, Vector3 max) {
        ColObj touching(other);
        touching.type = type;
        touching.worldMin = min;
        touching.worldMax = max;
        developer->lookedAt.Release();
        Touch(developer, &touching);
        return developer->lookedAt.target == other;
    };
    for (const float at : {1000.0f, -1000.0f}) {
        SCOPED_TRACE(at);
        At(parentStub, {at, 0.0f, at});
        // Spheres of radius 40 and boxes, 100 ahead and 100 behind.
        EXPECT_TRUE(remembers(1, {at, 0, at + 100}, {40, 40, 40}));
        EXPECT_FALSE(remembers(1, {at, 0, at - 100}, {40, 40, 40}));
        EXPECT_TRUE(remembers(2, {at - 40, -40, at + 60}, {at + 40, 40, at + 140}));
        EXPECT_FALSE(remembers(2, {at - 40, -40, at - 140}, {at + 40, 40, at - 60}));
    }
}

TEST_F(LogicActorsTest, Developer3StaysSubscribed) {
    Actor *developer = Make(kDeveloper3ClassId, "developer 3");
    SendWord(developer, cmd::base::Precalculate, 0);
    ScheduledCommand *entry = developer->processEntry;
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->kind, kScheduleEveryPass);
    SendWord(developer, cmd::base::Precalculate, 0);
    EXPECT_EQ(developer->processEntry, entry);
    RunFor(0.1f);
    EXPECT_EQ(developer->processEntry, entry);
}

TEST_F(LogicActorsTest, StateIsAPlainNode) {
    Actor *state = Make(kStateClassId, "Logic");
    EXPECT_NE(dynamic_cast<StateActor *>(state), nullptr);
    EXPECT_EQ(ClassDescriptorTable[kStateClassId].description, "State");
    EXPECT_EQ(ClassDescriptorTable[kStateClassId].lineage, (std::vector<uint32_t>{0, 53}));
    scene::SpyLog spies;
    spies.Watch(state);
    EXPECT_EQ(SendWord(state, kCmdTimerOnly, 0), 1);
    EXPECT_EQ(spies.Count("Logic", kCmdTimerOnly), 1u);
}

// --- spare-word records -------------------------------------------------------------

class SpareWordTest : public LogicActorsTest {
  protected:
    std::string Write(Actor *actor, uint32_t version = kActorFileVersion) {
        const std::string path = (folder / (actor->name + ".bin"));
        Archive archive;
        EXPECT_TRUE(archive.Open(path, "wb"));
        archive.SetVersion(version);
        EXPECT_EQ(actor->Serialize(archive, kSerializeSave), 1);
        archive.Close();
        return path;
    }
    int Read(Actor *actor, const std::string &path, uint32_t version = kActorFileVersion) {
        Archive archive;
        EXPECT_TRUE(archive.Open(path, "rb"));
        archive.Seek(8, SEEK_SET); // the class and actor ids are the reader's
        archive.SetVersion(version);
        const int result = actor->Serialize(archive, kSerializeLoad);
        archive.Close();
        return result;
    }
    TempFolder folder;
};

TEST_F(SpareWordTest, FourAndEightSpareWordsAfterTheBaseRecord) {
    Actor *plain = Make(0, "plain");
    const auto base = std::filesystem::file_size(Write(plain));
    struct Case {
        int32_t classId;
        uint64_t spare;
    };
    for (Case c : {Case{kStateClassId, 16}, Case{kDeveloperClassId, 16},
                   Case{kDeveloper2ClassId, 32}, Case{kDeveloper3ClassId, 32}, Case{47, 16}}) {
        Actor *actor = Make(c.classId, "plain");
        At(actor, {1.0f, 2.0f, 3.0f});
        const std::string path = Write(actor);
        EXPECT_EQ(std::filesystem::file_size(path), base + c.spare) << c.classId;
        std::string bytes;
        {
            std::ifstream in(path, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
        EXPECT_EQ(bytes.substr(bytes.size() - c.spare), std::string(c.spare, '\0'));
        // Whatever the spare words hold, the base fields read back.
        std::memset(bytes.data() + bytes.size() - c.spare, 0x5A, c.spare);
        std::ofstream(path, std::ios::binary) << bytes;
        Actor *back = Make(c.classId, "other");
        EXPECT_EQ(Read(back, path), 1) << c.classId;
        EXPECT_EQ(back->name, "plain");
        EXPECT_FLOAT_EQ(back->position.z, 3.0f);
        DeleteActor(actor);
        DeleteActor(back);
    }
    // Version 0 has no spare words.
    Actor *state = Make(kStateClassId, "state");
    EXPECT_EQ(std::filesystem::file_size(Write(state, 0)),
              std::filesystem::file_size(Write(plain, 0)));
}

// A truncated record used to read as success.
TEST_F(SpareWordTest, ATruncatedRecordFails) {
    Actor *state = Make(kStateClassId, "state");
    const std::string path = Write(state);
    const auto size = std::filesystem::file_size(path);
    for (uint64_t cut : {uint64_t{4}, uint64_t{16}, uint64_t{40}}) {
        std::filesystem::resize_file(path, size - cut);
        Actor *back = Make(kStateClassId, "back");
        EXPECT_EQ(Read(back, path), 0) << cut;
        DeleteActor(back);
    }
}

} // namespace
