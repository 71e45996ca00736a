// How actors run their scripts: through one installed runner, which the
// script interpreter backs unless a test installs its own.
#pragma once

#include "core/actors/command_ids.h"

#include <cstdint>
#include <string_view>

class Actor;
struct ScriptRecord;

// Internal query served by every actor: the first live script with the given
// name. Its block in memory is a FindScriptQuery.
struct FindScriptQuery {
    const char *name;     // NUL-terminated
    ScriptRecord *result; // out: the record, or null
};

class ScriptRunner {
  public:
    virtual ~ScriptRunner() = default;
    // Runs the record (compiling it first when needed) with local as the
    // "local" actor; 1 when it ran to its end, 0 otherwise.
    virtual int Run(ScriptRecord *record, Actor *local) = 0;
};

// Installs a runner (null: back to the interpreter) and returns the one
// installed before (null for the interpreter).
ScriptRunner *InstallScriptRunner(ScriptRunner *runner);

// Runs a script through the installed runner (the interpreter's RunScript
// when none is installed). A dead or null record runs nothing (0).
int RunActorScript(ScriptRecord *record, Actor *local);

// Holds the actor's script list still while one of its scripts runs: the
// record addresses stay valid and removals are deferred. When the outermost
// scope of the actor ends, the removed scripts leave the list and, after an
// "Execute Text", the trailing "__tmp" scripts go.
class ScriptRunScope {
  public:
    explicit ScriptRunScope(Actor *actor);
    ~ScriptRunScope();
    ScriptRunScope(const ScriptRunScope &) = delete;
    ScriptRunScope &operator=(const ScriptRunScope &) = delete;

  private:
    Actor *actor_;
};

// Runs a script of `holder` (the actor whose `scripts` list holds it) while
// keeping that list stable: removals requested during the run are carried
// out when the outermost run of the holder's scripts returns. A dead or null
// record runs nothing (0).
int RunHeldScript(Actor *holder, ScriptRecord *record, Actor *local);

// Removes a script of the actor by identity: at once when none of the
// actor's scripts runs, else it is marked dead now and taken off the list
// when the outermost run returns.
void RemoveActorScript(Actor *actor, ScriptRecord *record);

// The first live script of the actor with that name; null when none.
ScriptRecord *FindActorScript(Actor *actor, std::string_view name);
// The first live script of the actor with that serial; null when none.
ScriptRecord *FindScriptBySerial(Actor *actor, uint32_t serial);
