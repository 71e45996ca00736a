#include "world_fixture.h"

#include <cstring>

#include "core/actors/actor_services.h"
#include "core/actors/class_factory.h"
#include "core/actors/command_ids.h"
#include "core/actors/param_block.h"
#include "core/actors/placeholder_actor.h"

namespace {

Actor *NewRecorder() { return new WorldRecorder(); }

} // namespace

std::vector<Delivery> &DeliveryLog() {
    static std::vector<Delivery> log;
    return log;
}

Actor *Delivery::PointerAt(size_t offset) const { return Read<Actor *>(offset, block); }

int32_t Delivery::InnerI32() const { return Read<int32_t>(0, innerBlock); }

// Deliveries made while a recorder handles a command (the base handler's own
// follow-ups) are not logged: the log holds what the services sent.
static int g_recorderDepth = 0;

int WorldRecorder::HandleCommand(uint32_t commandId, ParamBlock block) {
    struct DepthScope {
        DepthScope() { ++g_recorderDepth; }
        ~DepthScope() { --g_recorderDepth; }
    } scope;
    Delivery d{actorId, name, commandId, {block.data(), block.data() + block.size()}, 0, {}};
    if (commandId == kRecursiveCommandId) {
        auto params = block.Read<RecursiveCommandParams>(0);
        d.innerId = params.commandId;
        if (params.block != nullptr)
            d.innerBlock.assign(params.block->data(), params.block->data() + params.block->size());
    }
    if (g_recorderDepth == 1)
        DeliveryLog().push_back(std::move(d));
    const bool refuse = commandId == cmd::base::Create && name == "refuse";
    if (onCommand) {
        // The handler may destroy this actor: it runs from a copy, and the
        // actor is not touched afterwards when its slot lost it.
        const int32_t id = actorId;
        auto handler = onCommand;
        handler(commandId, block);
        if (id >= 0 && ActorTableEntry(id) != this)
            return 1;
    }
    if (refuse)
        return 0;
    return Actor::HandleCommand(commandId, block);
}

void ActorWorldTest::SetUp() {
    ResetActorWorldForTests();
    DeliveryLog().clear();
    SetActorClassRowForTests(kRecorderClass,
                             {0, &NewRecorder, &RegisterPlaceholderClassOf<kRecorderClass>});
    ASSERT_EQ(InitActorSystem(), 1);
    system = GetActorSystem();
    global = GetActorById(1);
    scenery = GetActorById(2);
    clipboard = GetActorById(3);
}

void ActorWorldTest::TearDown() {
    ResetActorWorldForTests();
    DeliveryLog().clear();
}

WorldRecorder *ActorWorldTest::Make(const char *name, Actor *parent, int32_t id) {
    Actor *actor = CreateActor(kRecorderClass, name, nullptr, parent ? parent : scenery, id, false);
    return static_cast<WorldRecorder *>(actor);
}

std::vector<Delivery> ActorWorldTest::TakeLog() {
    std::vector<Delivery> log = std::move(DeliveryLog());
    DeliveryLog().clear();
    return log;
}

std::vector<std::string> ActorWorldTest::Trace(const std::vector<Delivery> &log) {
    std::vector<std::string> out;
    for (const Delivery &d : log)
        out.push_back(d.actorName + " " + std::to_string(d.commandId));
    return out;
}

std::vector<std::string> ActorWorldTest::Names(const std::vector<Delivery> &log,
                                               uint32_t commandId) {
    std::vector<std::string> out;
    for (const Delivery &d : log) {
        if (d.commandId == commandId)
            out.push_back(d.actorName);
    }
    return out;
}

std::vector<uint32_t> ActorWorldTest::Ids(const std::vector<Delivery> &log) {
    std::vector<uint32_t> ids;
    for (const Delivery &d : log)
        ids.push_back(d.commandId);
    return ids;
}
