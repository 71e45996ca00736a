#include "actor_fixture.h"

#include "core/actors/draw_group_hooks.h"

void ActorCoreTest::SetUp() {
    ResetActorSystemForTests();
    ResetCommandRegistry();
    FillParamTypeTable();
    // Rows as the command table has them.
    RegisterCommand(32, "Set Name", "", 0, 6, {ParamType::String});
    RegisterCommand(57, "TimerCommand", "", 0, 0, {ParamType::Real, ParamType::Command});
    RegisterCommand(63, "Set Position", "", 0, 2, {ParamType::Vector3});
    RegisterCommand(84, "Set Matrix", "", 0, 2, {ParamType::Matrix});
    RegisterCommand(97, "Recursive Command", "", 0, 0, {ParamType::Command});
    RegisterCommand(141, "AddForceInDirectionOf", "", 0, 18,
                    {{ParamType::ActorPointer, "Actor"},
                     {ParamType::Real, "Strength"},
                     {ParamType::Real, "StrengthRand"},
                     {ParamType::Real, "AnlgeRand"}});
    RegisterCommand(167, "Process", "", 0, 0);
    RegisterCommand(168, "BaseProcess", "", 0, 0);
    RegisterCommand(189, "Set Kill Delay", "", 0, 0, {ParamType::Real});
    RegisterCommand(191, "Set Kill Time", "", 0, 0, {ParamType::Real});
    RegisterCommand(205, "Action Start Value", "", 0, 0, {ParamType::Real});
    RegisterCommand(245, "Invalid ActorPointer", "", 0, 0, {ParamType::Pointer});
    RegisterCommand(250, "Command Lerp", "", 0, 0,
                    {ParamType::Real, ParamType::Command, ParamType::Command});
    RegisterCommand(1783, "timeinstance_mcmd_create_notify", "", 47, 0, {ParamType::Pointer});
    FinishCommandRegistration();
    system = new ActorSystem();
    ActorTable.resize(100, nullptr);
}

void ActorCoreTest::TearDown() {
    ResetActorSystemForTests();
    ResetCommandRegistry();
}

RecordingActor* ActorCoreTest::MakeActor(Actor* parent, const char* name) {
    auto* actor = new RecordingActor();
    actor->name = name;
    Actor* owner = parent != nullptr ? parent : system;
    actor->parent = owner;
    actor->parentId = owner->actorId;
    owner->children.push_back(actor);
    for (size_t id = 10; id < ActorTable.size(); ++id) {
        if (ActorTable[id] == nullptr) {
            ActorTable[id] = actor;
            actor->actorId = static_cast<int32_t>(id);
            break;
        }
    }
    return actor;
}

void ActorCoreTest::Frame() {
    ++FrameCounter;
    UpdateTimeRecord(system, RootTimeRecord());
    RunScheduledCommands(system);
}
