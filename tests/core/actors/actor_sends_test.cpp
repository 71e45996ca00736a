// Queries through the sending helpers: the preset is the answer unless the
// handler writes over it, and nothing is sent to a null actor.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "core/script/script_compiler.h"
#include "world_fixture.h"

namespace {

constexpr uint32_t kAnswerCommand = 0xFFFF0001u; // writes 42.5 and answers 7
constexpr uint32_t kSilentCommand = 0xFFFF0002u; // leaves the block, answers 3

class Answerer : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        ++calls;
        seenSize = block.size();
        if (commandId == kAnswerCommand) {
            block.WriteF32(0, 42.5f);
            return 7;
        }
        return 3;
    }
    int calls = 0;
    size_t seenSize = 0;
};

TEST(ActorSends, QueryKeepsThePresetUnlessTheHandlerAnswers) {
    Answerer actor;
    EXPECT_EQ(Query(&actor, kAnswerCommand, -1.0f), 42.5f);
    EXPECT_EQ(actor.seenSize, sizeof(float));
    EXPECT_EQ(Query(&actor, kSilentCommand, -1.0f), -1.0f);
    EXPECT_EQ(Query<uint32_t>(&actor, kSilentCommand), 0u);
    const Vector3 preset = {1.0f, 2.0f, 3.0f};
    const Vector3 kept = Query(&actor, kSilentCommand, preset);
    EXPECT_EQ(actor.seenSize, sizeof(Vector3));
    EXPECT_EQ(kept.x, 1.0f);
    EXPECT_EQ(kept.z, 3.0f);
    EXPECT_EQ(actor.calls, 4);

    EXPECT_EQ(Query<Actor *>(nullptr, kAnswerCommand, &actor), &actor);
    EXPECT_EQ(Query(nullptr, kAnswerCommand, 5.0f), 5.0f);

    float word = 0.0f;
    EXPECT_EQ(SendBlock(&actor, kAnswerCommand, ParamBlock(&word, sizeof(word))), 7);
    EXPECT_EQ(word, 42.5f);
    EXPECT_EQ(SendBlock(nullptr, kAnswerCommand, ParamBlock(&word, sizeof(word))), 0);
    EXPECT_EQ(actor.calls, 5);
}

} // namespace

namespace {

// A tree whose actors, as the event reaches them, change it: recorders that
// delete actors, make new ones, give others spies or scripts, and move them
// about; plain actors, some watched by spies, some with a script on the
// event. Everything is drawn from one seeded sequence and named in order.
class EventWorld {
  public:
    explicit EventWorld(uint32_t seed) : random_(seed) {}

    Actor *root = nullptr;
    std::vector<std::string> log;

    size_t Pick(size_t n) { return static_cast<size_t>(random_() % n); }

    Actor *Make(Actor *parent) {
        const std::string name = "a" + std::to_string(made_++);
        const size_t kind = Pick(10);
        Actor *actor = nullptr;
        if (kind < 4) {
            auto *recorder = static_cast<WorldRecorder *>(
                CreateActor(kRecorderClass, name, nullptr, parent, -1, false));
            recorder->onCommand = [this, recorder](uint32_t commandId, ParamBlock) {
                if (commandId == cmd::base::OnLoadResourceGroup) {
                    React(recorder);
                }
            };
            actor = recorder;
        } else {
            actor = CreateActor(0, name, nullptr, parent, -1, false);
            if (kind == 8) {
                Watch(actor);
            } else if (kind == 9) {
                GiveScript(actor);
            }
        }
        actors_.push_back({actor->actorId, name});
        return actor;
    }

    // A live actor of the tree, the root excluded; null when none is left.
    Actor *Some() {
        while (!actors_.empty()) {
            const size_t at = Pick(actors_.size());
            const auto &[id, name] = actors_[at];
            Actor *actor = GetActorById(static_cast<uint32_t>(id));
            if (actor != nullptr && actor->name == name) {
                return actor;
            }
            actors_.erase(actors_.begin() + static_cast<std::ptrdiff_t>(at));
        }
        return nullptr;
    }

    // The tree as it ends: names, depths and where the scripts put them.
    void Dump(const Actor *actor, int depth) {
        log.push_back(std::string(static_cast<size_t>(depth), ' ') + actor->name + " " +
                      std::to_string(actor->position.x));
        for (const Actor *child : actor->children) {
            Dump(child, depth + 1);
        }
    }

  private:
    void Watch(Actor *actor) {
        auto *spy = static_cast<WorldRecorder *>(
            CreateActor(kRecorderClass, "spy" + std::to_string(made_++), nullptr, root, -1, false));
        AddCommandSpy(actor, spy);
    }
    void GiveScript(Actor *actor) {
        auto record = std::make_unique<ScriptRecord>();
        record->name = "moved";
        record->eventId = cmd::base::OnLoadResourceGroup;
        record->source = "this.Set_Position((" + std::to_string(made_++) + ",0,0));";
        record->owner = actor;
        std::string error;
        size_t position = 0;
        ASSERT_EQ(CompileScript(record.get(), actor, &error, &position), 1) << error;
        actor->scripts.push_back(std::move(record));
    }
    void React(Actor *self) {
        log.push_back("react " + self->name);
        Actor *other = Some();
        switch (Pick(9)) {
        case 0:
            if (other != nullptr) {
                DeleteActor(other);
            }
            break;
        case 1:
        case 2:
            Make(other != nullptr ? other : root);
            break;
        case 3:
            if (other != nullptr) {
                Watch(other);
            }
            break;
        case 4:
            if (other != nullptr) {
                GiveScript(other);
            }
            break;
        case 5:
            if (Actor *to = Some(); other != nullptr && to != nullptr) {
                ReparentActor(other, to);
            }
            break;
        default:
            break;
        }
    }

    std::mt19937 random_;
    int made_ = 0;
    // Each actor made, by id and name: one made later may take a deleted
    // one's id and address, never its name.
    std::vector<std::pair<int32_t, std::string>> actors_;
};

using RecursiveEventTest = ActorWorldTest;

TEST_F(RecursiveEventTest, ReachesWhatTheRecursiveCommandReachesInItsOrder) {
    const auto run = [&](uint32_t seed, bool passingOver) {
        EventWorld world(seed);
        world.root = CreateActor(0, "root", nullptr, scenery, -1, false);
        for (int i = 0; i < 70; ++i) {
            Actor *parent = world.Some();
            world.Make(parent != nullptr && world.Pick(4) != 0 ? parent : world.root);
        }
        TakeLog();
        for (int round = 0; round < 3; ++round) {
            // As the frame delivers it: what is deleted goes afterwards.
            ActorDeliveryScope delivery;
            if (passingOver) {
                SendRecursiveEvent(world.root, cmd::base::OnLoadResourceGroup);
            } else {
                SendRecursive(world.root, cmd::base::OnLoadResourceGroup, nullptr);
            }
            for (const std::string &line : Trace(TakeLog())) {
                world.log.push_back(line);
            }
        }
        world.Dump(world.root, 0);
        DeleteActor(world.root);
        TakeLog();
        return world.log;
    };
    for (uint32_t seed = 1; seed <= 16; ++seed) {
        const std::vector<std::string> before = run(seed, false);
        const std::vector<std::string> now = run(seed, true);
        ASSERT_GT(before.size(), 100u);
        ASSERT_EQ(now, before) << "seed " << seed;
    }
}

} // namespace
