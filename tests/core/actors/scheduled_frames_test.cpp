// Acceptance: a fixed schedule over 100 frames against a log derived by hand.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "actor_fixture.h"
#include "core/actors/command_ids.h"

namespace {

class ScheduledFramesTest : public ActorCoreTest {};

TEST_F(ScheduledFramesTest, HundredFramesMatchTheDerivedLog) {
    RecordingActor *a = MakeActor();
    std::string log;
    a->onCommand = [&](uint32_t id, ParamBlock block) {
        char line[64];
        std::snprintf(line, sizeof(line), "%u %u %.9g\n", FrameCounter, id,
                      static_cast<double>(block.ReadF32(0)));
        log += line;
    };
    FrameDelta = 1.0f / 60.0f;
    float killDelay = 7.0f;
    float killTime = 3.0f;
    float progress = 0.0f;
    a->ScheduleCommand(189, ParamBlock(&killDelay, 4), 512, 0.5f, 0.0f, 0.0f);
    a->ScheduleCommand(191, ParamBlock(&killTime, 4), 768, 0.25f, 0.0f, 0.25f);
    a->ScheduleCommand(205, ParamBlock(&progress, 4), 3328, 0.0f, 1.0f, 0.1f);
    a->processEntry = ScheduleCommand(a, cmd::base::Process, ParamBlock(), 256, 0, 0, 0, nullptr,
                                      2);
    for (int frame = 0; frame < 100; ++frame)
        Frame();
    EXPECT_EQ(a->processCount, 100);

    std::ifstream in(ENGINE_TEST_SOURCE_DIR "/tests/core/actors/data/scheduled_frames.golden");
    ASSERT_TRUE(in.good());
    std::string expected;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != '#')
            expected += line + "\n";
    }
    EXPECT_EQ(log, expected);
    // The once and the interpolated entries are gone; the repeat and the
    // subscription remain.
    ASSERT_EQ(a->scheduledCommands.size(), 2u);
    EXPECT_EQ(a->scheduledCommands[0]->command, 191u);
    EXPECT_EQ(a->scheduledCommands[1], a->processEntry);
}

} // namespace
