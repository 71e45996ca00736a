// How actors run their scripts: through one installed runner, which the
// script interpreter backs unless a test installs its own.
#pragma once

#include <cstdint>

class Actor;
struct ScriptRecord;

// Internal query served by every actor: the first live script with the given
// name. Its block in memory is a FindScriptQuery.
inline constexpr uint32_t kCmdFindScript = 219;
struct FindScriptQuery {
    const char* name;     // NUL-terminated
    ScriptRecord* result; // out: the record, or null
};

class ScriptRunner {
public:
    virtual ~ScriptRunner() = default;
    // Runs the record (compiling it first when needed) with local as the
    // "local" actor; 1 when it ran to its end, 0 otherwise.
    virtual int Run(ScriptRecord* record, Actor* local) = 0;
};

// Installs a runner (null: back to the interpreter) and returns the one
// installed before (null for the interpreter).
ScriptRunner* InstallScriptRunner(ScriptRunner* runner);

// Runs a script through the installed runner.
int RunActorScript(ScriptRecord* record, Actor* local);
