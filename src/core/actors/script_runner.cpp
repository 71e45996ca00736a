#include "core/actors/script_runner.h"

#include "core/actors/actor.h"

namespace {
ScriptRunner* gInstalledRunner = nullptr;
uint32_t gLastScriptSerial = 0;
} // namespace

uint32_t NextScriptSerial() {
    if (++gLastScriptSerial == 0) {
        gLastScriptSerial = 1;
    }
    return gLastScriptSerial;
}

ScriptRunner* InstallScriptRunner(ScriptRunner* runner) {
    ScriptRunner* previous = gInstalledRunner;
    gInstalledRunner = runner;
    return previous;
}

int RunActorScript(ScriptRecord* record, Actor* local) {
    if (gInstalledRunner == nullptr || record == nullptr) {
        return 0;
    }
    return gInstalledRunner->Run(record, local);
}
