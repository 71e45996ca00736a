// The Time Instance actor: connected actors run on its record and their
// entries are pumped from its layers, the global role, the record commands,
// nesting, the broadcast to connected actors, links of destroyed actors, and
// the mended faults of out-of-range layers, a destroyed global instance and
// pumps lost when an instance is moved.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "actors/world/time_instance_actor.h"
#include "actors/world/timer_actor.h"
#include "core/actors/command_ids.h"
#include "time_fixture.h"

using namespace timetest;

namespace {

constexpr uint32_t kCmdConnectToTimeInstance = 355;
constexpr uint32_t kCmdMark = 256; // any command with a word: logged by Logger

std::vector<std::string> g_log;

// Logs kCmdMark with its word; subscribes to "Process" unless subscribed.
class Logger : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == kCmdMark) {
            g_log.push_back(name + ":" + std::to_string(block.ReadU32(0)));
        }
        return Actor::HandleCommand(commandId, block);
    }
    void Subscribe() {
        if (processEntry == nullptr) {
            processEntry = ::ScheduleCommand(this, cmd::base::Process, ParamBlock(), 0x100, 0.0f,
                                             0.0f,
                                             0.0f, nullptr, 2);
        }
    }
    void Process() override { ++processes; }
    int processes = 0;
};

class TimeInstanceTest : public TimeWorldTest {
  protected:
    void SetUp() override {
        TimeWorldTest::SetUp();
        g_log.clear();
    }
    TimeInstanceActor *Instance(const char *name, Actor *parent = nullptr) {
        return static_cast<TimeInstanceActor *>(Make(kTimeInstanceClassId, name, parent));
    }
    Logger *NewLogger(const char *name) {
        auto *logger = new Logger();
        logger->name = name;
        const uint32_t id = FindFreeActorIds(1);
        ActorTable[id] = logger;
        logger->actorId = static_cast<int32_t>(id);
        logger->parent = scenery;
        logger->parentId = scenery->actorId;
        scenery->children.push_back(logger);
        return logger;
    }
    static void Connect(Actor *instance, Actor *actor) {
        SendCommandArgs(instance, cmd::time_instance::TimeinstanceConnectActor, actor);
    }
    static ScheduledCommand *Pump(Actor *instance, uint32_t layer) {
        for (ScheduledCommand *entry : instance->scheduledCommands) {
            if (entry->command == cmd::time_instance::TimeinstanceProcessLayer &&
                entry->Block().ReadU32(0) == layer && (entry->state & kEntryQueued) == 0) {
                return entry;
            }
        }
        return nullptr;
    }
    static bool InLayer(TimeRecord *record, uint32_t layer, const ScheduledCommand *entry) {
        const ScheduleLayer &lists = record->layers[layer];
        for (const ScheduledCommand *e = lists.everyPassHead.next; e != &lists.everyPassTail;
             e = e->next) {
            if (e == entry) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(TimeInstanceTest, HalfSpeedRunsAConnectedTimersKeysThroughItsPump) {
    TimeInstanceActor *instance = Instance("clockwork");
    EXPECT_EQ(instance->recordInUse, &instance->ownRecord);
    EXPECT_EQ(instance->ownRecord.owner, instance);
    // Sent by id as property sheets do: the Real packed as it is.
    SendCommandArgs(instance, cmd::time_instance::SetTimeinstanceMultiplier, 0.5f);
    EXPECT_FLOAT_EQ(Ask<float>(instance, cmd::time_instance::GetTimeinstanceMultiplier), 0.5f);

    auto *timer = static_cast<TimerActor *>(Make(kTimerClassId, "timer"));
    timer->totalTime = 4.0f;
    timer->AddKey(1.0f, "k0", "");
    timer->AddKey(3.0f, "k1", "");
    SendCommandArgs(timer, kCmdConnectToTimeInstance, static_cast<Actor *>(instance));
    EXPECT_EQ(timer->timeRecord, &instance->ownRecord);
    EXPECT_EQ(Ask<uint32_t>(instance, cmd::time_instance::TimeinstanceGetConnectedCount), 1u);
    SendFloat(timer, cmd::base::SetCurrentTime, 0.0f);
    SendWord(timer, cmd::timer::StartTimer, 0);

    // The keys wait in the instance's layer 1; its pump in the root's.
    ASSERT_EQ(instance->layerPumped[1], 1u);
    ScheduledCommand *pump = Pump(instance, 1);
    ASSERT_NE(pump, nullptr);
    EXPECT_TRUE(InLayer(RootTimeRecord(), 1, pump));
    EXPECT_FALSE(instance->ownRecord.layers[1].Empty());

    RunFor(6.1f);
    ASSERT_EQ(runner.names, (std::vector<std::string>{"k0", "k1"}));
    EXPECT_NEAR(runner.times[0], 2.0f, 0.04f);
    EXPECT_NEAR(runner.times[1], 6.0f, 0.04f);
    // The pass that ran the last key ended the pump.
    EXPECT_EQ(instance->layerPumped[1], 0u);
    EXPECT_EQ(Pump(instance, 1), nullptr);
    // The next entry brings it back.
    SendFloat(timer, cmd::base::SetCurrentTime, 0.0f);
    EXPECT_EQ(instance->layerPumped[1], 1u);
    EXPECT_NE(Pump(instance, 1), nullptr);
}

TEST_F(TimeInstanceTest, ConnectingElsewhereUnconnectsFirst) {
    TimeInstanceActor *first = Instance("first");
    TimeInstanceActor *second = Instance("second");
    Logger *logger = NewLogger("logger");
    Connect(first, logger);
    logger->Subscribe();
    logger->ScheduleCommand(kCmdMark, ParamBlock(), 0x200, 5.0f, 0.0f, 0.0f);
    ASSERT_EQ(logger->scheduledCommands.size(), 2u);
    ASSERT_EQ(first->layerPumped[2], 1u);

    Connect(second, logger);
    EXPECT_EQ(logger->timeRecord, &second->ownRecord);
    EXPECT_TRUE(logger->scheduledCommands.empty());
    EXPECT_EQ(logger->processEntry, nullptr);
    EXPECT_EQ(Ask<uint32_t>(first, cmd::time_instance::TimeinstanceGetConnectedCount), 0u);
    EXPECT_EQ(Ask<uint32_t>(second, cmd::time_instance::TimeinstanceGetConnectedCount), 1u);
    // Connecting again to the record it runs on changes nothing.
    Connect(second, logger);
    EXPECT_EQ(second->connected.size(), 1u);

    // Unconnected, it runs on the root record and subscribes again.
    EXPECT_EQ(SendCommandArgs(second, cmd::time_instance::TimeinstanceUnconnect,
                              static_cast<Actor *>(logger)), 1);
    EXPECT_EQ(logger->timeRecord, RootTimeRecord());
    logger->Subscribe();
    ASSERT_NE(logger->processEntry, nullptr);
    Frame();
    EXPECT_EQ(logger->processes, 1);
}

TEST_F(TimeInstanceTest, GlobalRoleMovesFromOneInstanceToTheNext) {
    TimeInstanceActor *first = Instance("first");
    TimeInstanceActor *second = Instance("second");
    EXPECT_EQ(Ask<uint32_t>(first, cmd::time_instance::GetTimeinstanceGlobal), 0u);
    SendWord(first, cmd::time_instance::SetTimeinstanceGlobal, 1);
    EXPECT_EQ(RootTimeRecord()->owner, first);
    EXPECT_EQ(first->recordInUse, RootTimeRecord());
    EXPECT_EQ(Ask<uint32_t>(first, cmd::time_instance::GetTimeinstanceGlobal), 1u);
    SendWord(second, cmd::time_instance::SetTimeinstanceGlobal, 1);
    EXPECT_EQ(RootTimeRecord()->owner, second);
    EXPECT_EQ(first->recordInUse, &first->ownRecord);
    EXPECT_EQ(Ask<uint32_t>(first, cmd::time_instance::GetTimeinstanceGlobal), 0u);
    EXPECT_EQ(Ask<uint32_t>(second, cmd::time_instance::GetTimeinstanceGlobal), 1u);
    // Clearing on one that is not global changes nothing.
    SendWord(first, cmd::time_instance::SetTimeinstanceGlobal, 0);
    EXPECT_EQ(RootTimeRecord()->owner, second);
    // While global its multiplier is the whole game's; the root stays fixed.
    SendCommandArgs(second, cmd::time_instance::SetTimeinstanceMultiplier, 0.25f);
    EXPECT_FLOAT_EQ(RootTimeRecord()->multiplier, 0.25f);
    SendWord(second, cmd::time_instance::SetTimeinstanceCalcFromRawTimeB, 0);
    EXPECT_NE(RootTimeRecord()->flags & kTimeRecordRawTime, 0u);
    SendWord(second, cmd::time_instance::SetTimeinstanceGlobal, 0);
    EXPECT_EQ(RootTimeRecord()->owner, system);
    EXPECT_EQ(second->recordInUse, &second->ownRecord);
}

// Destroying the global instance used to leave the root record owned by
// a dead actor.
TEST_F(TimeInstanceTest, DestroyingTheGlobalInstanceGivesTheRootBack) {
    TimeInstanceActor *global = Instance("global");
    SendWord(global, cmd::time_instance::SetTimeinstanceGlobal, 1);
    DeleteActor(global);
    EXPECT_EQ(RootTimeRecord()->owner, system);
    TimeInstanceActor *next = Instance("next");
    SendWord(next, cmd::time_instance::SetTimeinstanceGlobal, 1);
    EXPECT_EQ(RootTimeRecord()->owner, next);
    // A copy reconnects through the owner of the record it runs on.
    Logger *logger = NewLogger("logger");
    Actor *copy = CreateActor(0, "copy", logger, scenery, -1, true);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->timeRecord, RootTimeRecord());
}

TEST_F(TimeInstanceTest, RecordCommands) {
    TimeInstanceActor *instance = Instance("instance");
    SendWord(instance, cmd::time_instance::SetTimeinstanceCalcFromRawTimeB, 0);
    EXPECT_EQ(instance->ownRecord.flags, kTimeRecordNotify);
    SendWord(instance, cmd::base::Precalculate, 0);
    EXPECT_EQ(instance->ownRecord.flags, kTimeRecordNotify | kTimeRecordRawTime);
    SendWord(instance, cmd::time_instance::SetTimeinstanceCalcFromRawTimeB, 0);
    EXPECT_EQ(Ask<uint32_t>(instance, cmd::time_instance::GetTimeinstanceCalcFromRawTimeB), 0u);
    SendWord(instance, cmd::base::Precalculate, 0);
    EXPECT_EQ(Ask<uint32_t>(instance, cmd::time_instance::GetTimeinstanceCalcFromRawTimeB), 1u);

    SendFloat(instance, cmd::base::SetGTime, 2.0f);
    EXPECT_FLOAT_EQ(instance->ownRecord.time, 2.0f);
    EXPECT_FLOAT_EQ(instance->ownRecord.previousTime, 2.0f - 0.016666668f);
    EXPECT_FLOAT_EQ(instance->ownRecord.earlierTime, 2.0f - 0.033333335f);
    EXPECT_FLOAT_EQ(Ask<float>(instance, cmd::base::GetGTime), 2.0f);

    SendFloat(instance, cmd::time_instance::SetTimeinstanceSimmultiplier, 3.0f);
    EXPECT_FLOAT_EQ(Ask<float>(instance, cmd::time_instance::GetTimeinstanceSimmultiplier), 3.0f);
    // A block too short for a Real leaves the multiplier.
    uint8_t shortBlock[2] = {1, 2};
    instance->HandleCommand(cmd::time_instance::SetTimeinstanceMultiplier,
                            ParamBlock(shortBlock, sizeof(shortBlock)));
    EXPECT_FLOAT_EQ(instance->ownRecord.multiplier, 1.0f);
}

TEST_F(TimeInstanceTest, NestedInstancePumpsThroughTheOuterRecord) {
    TimeInstanceActor *outer = Instance("outer");
    TimeInstanceActor *inner = Instance("inner");
    Connect(outer, inner);
    SendCommandArgs(inner, cmd::time_instance::SetTimeinstanceMultiplier, 0.5f);
    Logger *logger = NewLogger("logger");
    Connect(inner, logger);
    uint32_t word = 7;
    logger->ScheduleCommand(kCmdMark, ParamBlock(&word, sizeof(word)), 0x200, 1.0f, 0.0f, 0.0f);

    ScheduledCommand *innerPump = Pump(inner, 1);
    ASSERT_NE(innerPump, nullptr);
    EXPECT_TRUE(InLayer(&outer->ownRecord, 1, innerPump));
    ScheduledCommand *outerPump = Pump(outer, 1);
    ASSERT_NE(outerPump, nullptr);
    EXPECT_TRUE(InLayer(RootTimeRecord(), 1, outerPump));

    // Half speed: one second of the inner record is two of the root.
    RunFor(1.9f);
    EXPECT_TRUE(g_log.empty());
    RunFor(0.2f);
    EXPECT_EQ(g_log, (std::vector<std::string>{"logger:7"}));
}

// Moving an instance used to delete its pumps and keep its layers marked
// pumped: the entries in them never ran again.
TEST_F(TimeInstanceTest, AMovedInstancePumpsItsLayersAgain) {
    for (bool destroyOuter : {false, true}) {
        g_log.clear();
        TimeInstanceActor *outer = Instance("outer");
        TimeInstanceActor *inner = Instance("inner");
        Connect(outer, inner);
        Logger *logger = NewLogger("logger");
        Connect(inner, logger);
        uint32_t word = 1;
        logger->ScheduleCommand(kCmdMark, ParamBlock(&word, sizeof(word)), 0x200, 0.5f, 0.0f, 0.0f);
        Frame();
        if (destroyOuter) {
            DeleteActor(outer);
        } else {
            SendCommandArgs(outer, cmd::time_instance::TimeinstanceUnconnect,
                            static_cast<Actor *>(inner));
        }
        EXPECT_EQ(inner->timeRecord, RootTimeRecord());
        ScheduledCommand *pump = Pump(inner, 1);
        ASSERT_NE(pump, nullptr) << destroyOuter;
        EXPECT_TRUE(InLayer(RootTimeRecord(), 1, pump));
        EXPECT_EQ(inner->layerPumped[1], 1u);
        RunFor(0.6f);
        EXPECT_EQ(g_log, (std::vector<std::string>{"logger:1"})) << destroyOuter;
        DeleteActor(inner);
        if (!destroyOuter) {
            DeleteActor(outer);
        }
        DeleteActor(logger);
    }
}

// A layer number past the last one used to index past the pump flags and
// the record's layers.
TEST_F(TimeInstanceTest, ALayerPastTheLastIsIgnored) {
    TimeInstanceActor *instance = Instance("instance");
    for (uint32_t layer : {4u, 255u, 0xFFFFFFFFu}) {
        EXPECT_EQ(SendWord(instance, cmd::time_instance::TimeinstanceProcessLayer, layer), 1);
    }
    for (uint32_t pumped : instance->layerPumped) {
        EXPECT_EQ(pumped, 0u);
    }
    // An entry whose layer is out of range asks for no pump.
    ScheduledCommand entry;
    entry.layer = 9;
    ScheduledCommand *pointer = &entry;
    instance->HandleCommand(1783, ParamBlock(&pointer, sizeof(pointer)));
    for (uint32_t layer = 0; layer < 4; ++layer) {
        EXPECT_EQ(Pump(instance, layer), nullptr);
    }
}

// A global instance's pump used to run the root record, which holds the
// pump itself: it ran itself, directly or through an outer instance's pump,
// until the stack overflowed. It runs the entries of its own record.
TEST_F(TimeInstanceTest, AGlobalInstancesPumpRunsItsOwnRecordNotItself) {
    for (bool nested : {false, true}) {
        g_log.clear();
        TimeInstanceActor *outer = Instance("outer");
        TimeInstanceActor *instance = Instance("instance");
        if (nested) {
            Connect(outer, instance);
        }
        Logger *logger = NewLogger("logger");
        Logger *plain = NewLogger("plain"); // on the root record
        Connect(instance, logger);
        uint32_t word = 1;
        logger->ScheduleCommand(kCmdMark, ParamBlock(&word, sizeof(word)), 0x200, 1.0f, 0.0f, 0.0f);
        SendWord(instance, cmd::time_instance::SetTimeinstanceGlobal, 1);
        word = 2;
        plain->ScheduleCommand(kCmdMark, ParamBlock(&word, sizeof(word)), 0x200, 0.5f, 0.0f, 0.0f);
        RunFor(0.6f);
        EXPECT_EQ(g_log, std::vector<std::string>{"plain:2"}) << nested; // the frame's pump alone
        RunFor(0.5f);
        EXPECT_EQ(g_log, (std::vector<std::string>{"plain:2", "logger:1"})) << nested;
        EXPECT_EQ(instance->layerPumped[1], 0u);
        EXPECT_EQ(Pump(instance, 1), nullptr);
    }
}

TEST_F(TimeInstanceTest, SelectionReachesConnectedActorsInOrder) {
    TimeInstanceActor *instance = Instance("instance");
    Logger *a = NewLogger("a");
    Logger *b = NewLogger("b");
    Logger *c = NewLogger("c");
    Connect(instance, c);
    Connect(instance, a);
    Connect(instance, b);
    EXPECT_EQ(Ask<uint32_t>(instance, cmd::time_instance::TimeinstanceGetConnectedCount), 3u);
    uint32_t block[2] = {kCmdMark, 42};
    instance->HandleCommand(cmd::base::CommandSelection, ParamBlock(block, sizeof(block)));
    EXPECT_EQ(g_log, (std::vector<std::string>{"c:42", "a:42", "b:42"}));

    // A destroyed actor's link goes with it.
    DeleteActor(a);
    EXPECT_EQ(Ask<uint32_t>(instance, cmd::time_instance::TimeinstanceGetConnectedCount), 2u);
    ASSERT_EQ(instance->connected.size(), 2u);
    EXPECT_EQ(instance->connected[0]->target, c);
    EXPECT_EQ(instance->connected[1]->target, b);
    // A copy of a connected actor is connected too.
    Actor *copy = CreateActor(0, "copy", b, scenery, -1, true);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->timeRecord, &instance->ownRecord);
    EXPECT_EQ(Ask<uint32_t>(instance, cmd::time_instance::TimeinstanceGetConnectedCount), 3u);
}

TEST_F(TimeInstanceTest, DestroyingAnInstanceUnconnectsEveryActor) {
    TimeInstanceActor *instance = Instance("instance");
    Logger *a = NewLogger("a");
    Logger *b = NewLogger("b");
    Connect(instance, a);
    Connect(instance, b);
    a->Subscribe();
    b->ScheduleCommand(kCmdMark, ParamBlock(), 0x200, 1.0f, 0.0f, 0.0f);
    DeleteActor(instance);
    for (Logger *logger : {a, b}) {
        EXPECT_EQ(logger->timeRecord, RootTimeRecord());
        EXPECT_TRUE(logger->scheduledCommands.empty());
        EXPECT_TRUE(logger->backLinks.empty());
    }
    EXPECT_EQ(a->processEntry, nullptr);
    RunFor(0.1f);
}

// A factor or time that is not finite, sent to an instance for one frame (its
// factors then set back), is refused: the value read back is the old one, and
// the keys of a connected timer run on the frames they run on when nothing is
// sent, for a global instance (the record of the whole world) and for one of
// its own.
TEST_F(TimeInstanceTest, AFactorOrTimeThatIsNotFiniteIsRefused) {
    struct Run {
        float readBack; // just after the send
        std::vector<float> fired; // root times
        float rootTime;
        float clockTime;
        bool operator==(const Run &) const = default;
    };
    struct Setter {
        uint32_t set;
        uint32_t get;
    };
    auto run = [this](bool global, Setter command, const float *value) {
        TearDown();
        SetUp();
        runner.names.clear();
        runner.times.clear();
        TimeInstanceActor *instance = Instance("clock");
        SendWord(instance, cmd::time_instance::SetTimeinstanceGlobal, global ? 1 : 0);
        auto *timer = static_cast<TimerActor *>(Make(kTimerClassId, "timer"));
        timer->totalTime = 4.0f;
        timer->AddKey(1.0f, "k0", "");
        timer->AddKey(2.0f, "k1", "");
        SendCommandArgs(timer, kCmdConnectToTimeInstance, static_cast<Actor *>(instance));
        SendFloat(timer, cmd::base::SetCurrentTime, 0.0f);
        SendWord(timer, cmd::timer::StartTimer, 0);
        RunFor(0.5f);
        if (value != nullptr) {
            SendFloat(instance, command.set, *value);
        }
        const float readBack = Ask<float>(instance, command.get);
        Frame();
        if (value != nullptr && command.set != cmd::base::SetGTime) {
            SendFloat(instance, command.set, 1.0f);
        }
        RunFor(2.5f);
        return Run{readBack, runner.times, Now(), instance->recordInUse->time};
    };
    const float inf = std::numeric_limits<float>::infinity();
    for (const bool global : {true, false}) {
        for (const Setter command :
             {Setter{cmd::time_instance::SetTimeinstanceMultiplier,
                     cmd::time_instance::GetTimeinstanceMultiplier},
              Setter{cmd::time_instance::SetTimeinstanceSimmultiplier,
                     cmd::time_instance::GetTimeinstanceSimmultiplier},
              Setter{cmd::base::SetGTime, cmd::base::GetGTime}}) {
            const Run untouched = run(global, command, nullptr);
            ASSERT_EQ(untouched.fired.size(), 2u);
            for (const float bad : {std::numeric_limits<float>::quiet_NaN(), inf, -inf}) {
                const Run sent = run(global, command, &bad);
                EXPECT_TRUE(sent == untouched)
                    << (global ? "global, " : "own record, ") << "command " << command.set
                    << ", " << bad << ": read back " << sent.readBack << ", keys at "
                    << ::testing::PrintToString(sent.fired) << ", root " << sent.rootTime
                    << ", clock " << sent.clockTime;
            }
        }
    }
}

} // namespace
