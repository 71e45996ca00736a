// Command dispatch: "SendCommand" of a command with a two-value block to an
// actor whose handler answers 1, side by side with a direct virtual call of
// the same handler and with a std::function call of a function doing the
// same work; a command the handler passes on to the base handler; and a
// command sent to each of 1,000 children against a loop of direct calls.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/class_list.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_factory.h"
#include "core/actors/command_ids.h"
#include "core/actors/placeholder_actor.h"
#include "core/actors/scheduled_command.h"
#include "side_by_side.h"

namespace {

constexpr int kChildren = 1000;

uint32_t g_sink = 0;

int Beep(uint32_t commandId, ParamBlock block) {
    (void)commandId;
    g_sink += block.Read<uint32_t>(0) + block.Read<uint32_t>(4);
    return 1;
}

class BenchActor : public Actor {
  public:
    BenchActor() { classId = kGameObjectClassId; }
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == cmd::base::DebugBeep) {
            return Beep(commandId, block);
        }
        return Actor::HandleCommand(commandId, block);
    }
};

Actor *NewBenchActor() { return new BenchActor; }

struct World {
    BenchActor *target = nullptr;
    Actor *parent = nullptr;
    std::vector<Actor *> children;
    bool ok = false;

    World() {
        InstallEngineClasses();
        SetActorClassRowForTests(kGameObjectClassId,
                                 {0, &NewBenchActor,
                                  &RegisterPlaceholderClassOf<kGameObjectClassId>});
        if (InitActorSystem() == 0) {
            return;
        }
        Actor *scenery = GetActorById(static_cast<uint32_t>(kSceneryRootId));
        target = static_cast<BenchActor *>(
            CreateActor(kGameObjectClassId, "Target", nullptr, scenery, -1, true));
        parent = CreateActor(0, "Parent", nullptr, scenery, -1, true);
        for (int i = 0; parent != nullptr && i < kChildren; ++i) {
            Actor *child = CreateActor(kGameObjectClassId, "Child", nullptr, parent, -1, true);
            if (child == nullptr) {
                return;
            }
            children.push_back(child);
        }
        ok = target != nullptr && parent != nullptr;
        if (!ok) {
            std::fprintf(stderr, "bench_commands: the actor world could not be made\n");
        }
    }
};

World &TheWorld() {
    static World world;
    return world;
}

// The handler behind a base-class pointer the compiler cannot see through.
CommandTarget *Opaque(CommandTarget *target) {
    benchmark::DoNotOptimize(target);
    return target;
}

void BM_SendCommand_vs_VirtualCall(benchmark::State &state) {
    World &world = TheWorld();
    if (!world.ok) {
        state.SkipWithError("no actor world");
        return;
    }
    uint32_t values[2] = {1, 2};
    ParamBlock block(values, sizeof values);
    const uint32_t id = static_cast<uint32_t>(world.target->actorId);
    CommandTarget *direct = Opaque(world.target);
    bench::SideBySide(
        state, 1000,
        [&] { benchmark::DoNotOptimize(SendCommand(id, cmd::base::DebugBeep, block)); },
        [&] { benchmark::DoNotOptimize(direct->HandleCommand(cmd::base::DebugBeep, block)); });
}
BENCHMARK(BM_SendCommand_vs_VirtualCall)->UseManualTime();

void BM_SendCommand_vs_StdFunction(benchmark::State &state) {
    World &world = TheWorld();
    if (!world.ok) {
        state.SkipWithError("no actor world");
        return;
    }
    uint32_t values[2] = {1, 2};
    ParamBlock block(values, sizeof values);
    const uint32_t id = static_cast<uint32_t>(world.target->actorId);
    std::function<int(uint32_t, ParamBlock)> function = &Beep;
    benchmark::DoNotOptimize(function);
    bench::SideBySide(
        state, 1000,
        [&] { benchmark::DoNotOptimize(SendCommand(id, cmd::base::DebugBeep, block)); },
        [&] { benchmark::DoNotOptimize(function(cmd::base::DebugBeep, block)); });
}
BENCHMARK(BM_SendCommand_vs_StdFunction)->UseManualTime();

// "Set Position" is not the handler's own: it goes on to the base handler.
void BM_SendCommandToBase_vs_VirtualCall(benchmark::State &state) {
    World &world = TheWorld();
    if (!world.ok) {
        state.SkipWithError("no actor world");
        return;
    }
    float position[3] = {1.0f, 2.0f, 3.0f};
    ParamBlock block(position, sizeof position);
    const uint32_t id = static_cast<uint32_t>(world.target->actorId);
    CommandTarget *direct = Opaque(world.target);
    bench::SideBySide(
        state, 1000,
        [&] { benchmark::DoNotOptimize(SendCommand(id, cmd::base::SetPosition, block)); },
        [&] { benchmark::DoNotOptimize(direct->HandleCommand(cmd::base::SetPosition, block)); });
}
BENCHMARK(BM_SendCommandToBase_vs_VirtualCall)->UseManualTime();

// One operation: the command to each of the 1,000 children.
void BM_SendToChildren_vs_VirtualLoop(benchmark::State &state) {
    World &world = TheWorld();
    if (!world.ok || world.children.size() != kChildren) {
        state.SkipWithError("no actor world");
        return;
    }
    uint32_t values[2] = {1, 2};
    ParamBlock block(values, sizeof values);
    Actor *parent = world.parent;
    std::vector<CommandTarget *> direct(world.children.begin(), world.children.end());
    bench::SideBySide(
        state, 10,
        [&] { benchmark::DoNotOptimize(SendCommandToChildren(parent, cmd::base::DebugBeep,
                                                             block)); },
        [&] {
            for (CommandTarget *child : direct) {
                benchmark::DoNotOptimize(Opaque(child)->HandleCommand(cmd::base::DebugBeep, block));
            }
        });
}
BENCHMARK(BM_SendToChildren_vs_VirtualLoop)->UseManualTime();

// One operation: the pump's drain of n entries that one actor's timers
// fired, while the actor holds n newer ones (a script that schedules itself
// again from every run). Grows with n, not with its square.
void BM_DrainOfOneActorsFiredEntries(benchmark::State &state) {
    World &world = TheWorld();
    if (!world.ok) {
        state.SkipWithError("no actor world");
        return;
    }
    const auto n = static_cast<size_t>(state.range(0));
    const uint32_t once = uint32_t{kScheduleOnce} << kScheduleKindShift;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<ScheduledCommand *> fired;
        for (size_t i = 0; i < 2 * n; ++i) {
            ScheduledCommand *entry = world.target->ScheduleCommand(cmd::base::DebugBeep, ParamBlock(),
                                                                    once, 1000.0f, 0.0f, 0.0f);
            if (i < n) fired.push_back(entry);
        }
        for (ScheduledCommand *entry : fired) ActorSystem::CancelScheduledCommand(entry);
        state.ResumeTiming();
        RunScheduledCommands(GetActorSystem());
        state.PauseTiming();
        for (ScheduledCommand *entry : std::vector<ScheduledCommand *>(world.target->scheduledCommands)) {
            ActorSystem::DeleteScheduledCommand(entry);
        }
        state.ResumeTiming();
    }
    state.SetComplexityN(static_cast<int64_t>(n));
}
BENCHMARK(BM_DrainOfOneActorsFiredEntries)->Range(1000, 64000)->Complexity();

} // namespace
