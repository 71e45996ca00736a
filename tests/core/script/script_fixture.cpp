#include "script_fixture.h"

#include <cstring>

#include "core/actors/actor_services.h"
#include "core/actors/class_factory.h"
#include "core/actors/placeholder_actor.h"
#include "core/actors/script_runner.h"
#include "core/script/byte_buffer.h"

namespace {

Actor *NewScriptActor() { return new ScriptActor(); }

} // namespace

std::vector<Received> &ReceivedLog() {
    static std::vector<Received> log;
    return log;
}

ScriptRecord *ScriptActor::AddScript(const std::string &scriptName, const std::string &source) {
    auto record = std::make_unique<ScriptRecord>();
    record->name = scriptName;
    record->source = source;
    record->owner = this;
    scripts.push_back(std::move(record));
    return scripts.back().get();
}

int ScriptActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    ReceivedLog().push_back(
        {this, commandId, {block.data(), block.data() + block.size()}, block.data()});
    if (onCommand)
        onCommand(commandId, block);
    return Actor::HandleCommand(commandId, block);
}

Actor *ChildNameResolver::FindActorByPath(std::string_view path, Actor *context) const {
    Actor *at = context;
    if (!path.empty() && path[0] == '/') {
        at = GetActorSystem();
        path.remove_prefix(1);
    }
    while (at != nullptr && !path.empty()) {
        size_t slash = path.find('/');
        std::string_view segment = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (segment.empty())
            continue;
        if (segment == "..") {
            at = at->parent;
            continue;
        }
        Actor *next = nullptr;
        for (Actor *child : at->children) {
            if (child->name == segment) {
                next = child;
                break;
            }
        }
        at = next;
    }
    return at;
}

std::string ChildNameResolver::ActorRelativePath(Actor *actor, Actor *) const {
    std::string path;
    for (Actor *at = actor; at != nullptr && at->parent != nullptr; at = at->parent)
        path = "/" + at->name + path;
    return path.empty() ? "/" : path;
}

void ScriptRunTest::SetUp() {
    ResetActorWorldForTests();
    ReceivedLog().clear();
    SetActorClassRowForTests(kScriptActorClass,
                             {0, &NewScriptActor, &RegisterPlaceholderClassOf<kScriptActorClass>});
    ASSERT_EQ(InitActorSystem(), 1);
    system = GetActorSystem();
    scenery = GetActorById(2);
    previousResolver = InstallActorPathResolver(&resolver);
}

void ScriptRunTest::TearDown() {
    InstallActorPathResolver(previousResolver);
    ResetActorWorldForTests();
    ReceivedLog().clear();
}

ScriptActor *ScriptRunTest::Make(const char *name, Actor *parent) {
    Actor *actor =
        CreateActor(kScriptActorClass, name, nullptr, parent ? parent : scenery, -1, false);
    return static_cast<ScriptActor *>(actor);
}

int ScriptRunTest::Run(ScriptActor *owner, const std::string &source, Actor *local) {
    ScriptRecord *record = owner->AddScript("__test", source);
    int result = RunScript(record, local);
    EXPECT_NE(record->compiled, nullptr) << "did not compile: " << source;
    return result;
}

int ScriptRunTest::RunCode(ScriptActor *owner, const std::vector<uint8_t> &code, Actor *local) {
    ScriptRecord *record = owner->AddScript("__code", "");
    auto buffer = std::make_shared<ByteBuffer>();
    buffer->Append(code.data(), code.size());
    record->compiled = buffer;
    return RunScript(record, local);
}

std::vector<Received> ScriptRunTest::Take(uint32_t id) {
    std::vector<Received> out;
    for (const Received &r : ReceivedLog()) {
        if (id == 0 || r.id == id)
            out.push_back(r);
    }
    ReceivedLog().clear();
    return out;
}

std::vector<uint32_t> ScriptRunTest::Ids() {
    std::vector<uint32_t> ids;
    for (const Received &r : ReceivedLog())
        ids.push_back(r.id);
    return ids;
}
