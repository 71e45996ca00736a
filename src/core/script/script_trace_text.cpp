#include "core/script/script_trace_text.h"

#include <memory>

#include "core/actors/actor.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_registry.h"
#include "core/actors/null_actor.h"
#include "core/actors/param_convert.h"

namespace {

std::string HexBytes(const uint8_t *data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * size);
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

} // namespace

ScriptTraceText::ScriptTraceText() : previous_(InstallScriptTrace(this)) {}

ScriptTraceText::~ScriptTraceText() { InstallScriptTrace(previous_); }

void ScriptTraceText::Send(int depth, Actor *target, uint32_t commandId, ParamBlock block) {
    const CommandInfo *info = FindCommandInfo(commandId);
    ParamBlockResult portable;
    std::string hex = ParamBlockToPortable(target, &portable, commandId, block)
                          ? HexBytes(portable.data(), portable.size())
                          : "?";
    text_ += std::string(2 * static_cast<size_t>(depth), ' ') + "send " + ScriptTargetName(target) +
             " " + std::to_string(commandId) + " \"" +
             (info != nullptr ? info->name : std::string()) + "\"";
    if (!hex.empty()) {
        text_ += " " + hex;
    }
    text_ += "\n";
}

void ScriptTraceText::Call(int depth, std::string_view name, Actor *target) {
    text_ += std::string(2 * static_cast<size_t>(depth), ' ') + "call \"" + std::string(name) +
             "\" " + ScriptTargetName(target) + "\n";
}

std::string ScriptTargetName(Actor *actor) {
    if (actor == nullptr) {
        return "-";
    }
    if (actor == GetNullActor(false) || actor == GetNullActor(true)) {
        return actor->name;
    }
    std::string path;
    for (Actor *at = actor; at != nullptr && at != GetActorSystem(); at = at->parent) {
        path = "/" + at->name + path;
    }
    return path.empty() ? "/" : path;
}

std::string RunScriptTraced(Actor *owner, std::string_view source) {
    auto record = std::make_unique<ScriptRecord>();
    record->name = "__qvscript";
    record->source = std::string(source);
    record->owner = owner;
    ScriptRecord *script = record.get();
    owner->scripts.push_back(std::move(record));
    ScriptTraceText trace;
    int result = RunScript(script, nullptr);
    return trace.text() + "result " + std::to_string(result) + "\n";
}
