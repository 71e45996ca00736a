#include "actor_fixture.h"

#include "core/actors/command_table.h"
#include "core/actors/draw_group_hooks.h"

void ActorCoreTest::SetUp() {
    ResetActorSystemForTests();
    ResetCommandTablesForTest();
    std::string error;
    ASSERT_TRUE(RegisterAllCommands(&error)) << error;
    system = new ActorSystem();
    ActorTable.resize(100, nullptr);
}

void ActorCoreTest::TearDown() {
    ResetActorSystemForTests();
    ResetCommandTablesForTest();
}

RecordingActor *ActorCoreTest::MakeActor(Actor *parent, const char *name) {
    auto *actor = new RecordingActor();
    actor->name = name;
    Actor *owner = parent != nullptr ? parent : system;
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

void ActorCoreTest::Destroy(Actor *actor) {
    if (actor->parent != nullptr) {
        auto &siblings = actor->parent->children;
        siblings.erase(std::find(siblings.begin(), siblings.end(), actor));
    }
    if (actor->actorId >= 0 && ActorTable[actor->actorId] == actor)
        ActorTable[actor->actorId] = nullptr;
    delete actor;
}
