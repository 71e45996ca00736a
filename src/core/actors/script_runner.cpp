#include "core/actors/script_runner.h"

#include <algorithm>

#include "core/actors/actor.h"
#include "core/script/script_interpreter.h"

namespace {

ScriptRunner *g_installedRunner = nullptr;
uint32_t g_lastScriptSerial = 0;

// Carries out what was deferred while the actor's scripts ran.
void SettleScripts(Actor *actor) {
    auto &scripts = actor->scripts;
    scripts.erase(std::remove_if(scripts.begin(), scripts.end(),
                                 [](const auto &script) { return !script || script->dead; }),
                  scripts.end());
    if (actor->trimTempScripts) {
        actor->trimTempScripts = false;
        while (!scripts.empty() && scripts.back()->name == "__tmp") {
            scripts.pop_back();
        }
    }
}

// The first live script of the actor that matches; null without an actor.
template <class Match> ScriptRecord *FindLiveScript(Actor *actor, Match match) {
    if (actor == nullptr) {
        return nullptr;
    }
    for (const auto &script : actor->scripts) {
        if (script && !script->dead && match(*script)) {
            return script.get();
        }
    }
    return nullptr;
}

} // namespace

uint32_t NextScriptSerial() {
    if (++g_lastScriptSerial == 0) {
        g_lastScriptSerial = 1;
    }
    return g_lastScriptSerial;
}

ScriptRunner *InstallScriptRunner(ScriptRunner *runner) {
    ScriptRunner *previous = g_installedRunner;
    g_installedRunner = runner;
    return previous;
}

int RunActorScript(ScriptRecord *record, Actor *local) {
    if (record == nullptr || record->dead) {
        return 0;
    }
    if (g_installedRunner == nullptr) {
        return RunScript(record, local);
    }
    return g_installedRunner->Run(record, local);
}

ScriptRunScope::ScriptRunScope(Actor *actor) : actor_(actor) {
    if (actor_ != nullptr) {
        ++actor_->scriptRunDepth;
    }
}

ScriptRunScope::~ScriptRunScope() {
    if (actor_ != nullptr && --actor_->scriptRunDepth == 0) {
        SettleScripts(actor_);
    }
}

int RunHeldScript(Actor *holder, ScriptRecord *record, Actor *local) {
    if (record == nullptr || record->dead) {
        return 0;
    }
    ScriptRunScope scope(holder);
    return RunActorScript(record, local);
}

void RemoveActorScript(Actor *actor, ScriptRecord *record) {
    if (actor == nullptr || record == nullptr) {
        return;
    }
    record->dead = true;
    if (actor->scriptRunDepth == 0) {
        SettleScripts(actor);
    }
}

ScriptRecord *FindActorScript(Actor *actor, std::string_view name) {
    return FindLiveScript(actor, [name](const ScriptRecord &script) { return script.name == name; });
}

ScriptRecord *FindScriptBySerial(Actor *actor, uint32_t serial) {
    return FindLiveScript(actor,
                          [serial](const ScriptRecord &script) { return script.serial == serial; });
}
