// One frame of a full Particle System of 16,384 slots (the most a particle
// mesh holds): the step (ageing, gravity, drag, movement, bounding sphere)
// and the fill of every quad, with the quads facing the view alone and
// with each quad also turned by its own spin.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "actors/presentation/particle_system_actor.h"
#include "app/class_list.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/resource_library.h"

namespace {

void StepAndFill(benchmark::State &state, float spinSpeed) {
    InstallEngineClasses();
    ResourceLibrary library;
    ResourceLibrary *previous = ReplaceLibraryForTests(&library);
    ResetActorWorldForTests();
    InitActorSystem();
    auto *actor = dynamic_cast<ParticleSystemActor *>(
        CreateActor(static_cast<int32_t>(kParticleSystemClassId), "p", nullptr,
                    GetActorById(kSceneryRootId), -1, false));
    if (actor == nullptr) {
        state.SkipWithError("no particle system");
        return;
    }
    SendCommandArgs(actor, cmd::particle_system::SetTypeOverride, 2u);
    SendCommandArgs(actor, cmd::particle_system::SetMaxParticles, kMaxParticleSlots);
    SendCommandArgs(actor, cmd::particle_system::SetEmitFlowSpeed,
                    1.0e7f); // every slot at the first step
    SendCommandArgs(actor, cmd::particle_system::SetLife, 1.0e9f); // and none dies
    SendCommandArgs(actor, cmd::particle_system::SetEmitPosV, 100.0f); // spread out
    SendCommandArgs(actor, cmd::particle_system::SetEmitSpinSpeed, spinSpeed);
    SendCommandArgs(actor, cmd::particle_system::SetFadeInTime,
                    1.0f); // a fade-in and a fade-out to work out
    SendCommandArgs(actor, cmd::particle_system::SetFadeOutTime, 1.0f);
    actor->EmitParticles(1.0f / 60.0f);
    if (!actor->freeIndices.empty()) {
        state.SkipWithError("the slots did not fill");
        return;
    }
    for (auto _ : state) {
        actor->EmitParticles(1.0f / 60.0f);
        actor->FillVertices();
        benchmark::DoNotOptimize(actor->positions.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t{kMaxParticleSlots});
    ResetActorWorldForTests();
    ReplaceLibraryForTests(previous);
}

void BM_StepAndFill16384Facing(benchmark::State &state) { StepAndFill(state, 0.0f); }
void BM_StepAndFill16384Spinning(benchmark::State &state) { StepAndFill(state, 2.0f); }
BENCHMARK(BM_StepAndFill16384Facing)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepAndFill16384Spinning)->Unit(benchmark::kMicrosecond);

} // namespace
