// Queries through the sending helpers: the preset is the answer unless the
// handler writes over it, and nothing is sent to a null actor.
#include <gtest/gtest.h>

#include "core/actors/actor.h"
#include "core/actors/actor_sends.h"

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
