// Script interpreter: runs compiled scripts.
//
// Per statement the interpreter resolves the target actor, builds the
// command's parameter block in the argument buffer and hands it to the
// target's HandleCommand. Runs nest (a handler may run scripts, a script may
// call scripts): each run saves and restores "this", "local" and the
// argument position. Main thread only.
//
// The argument buffer is a fixed area of kScriptArgumentAreaSize bytes. A
// statement's block starts where the run started; a nested run starts after
// the block of the statement whose handler runs it, so blocks that handlers
// hold are never overwritten. A statement that outgrows the area gets a heap
// block of its own for that statement only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/actors/param_block.h"

class Actor;
struct ScriptRecord;

inline constexpr size_t kScriptArgumentAreaSize = 8192;
// A run nested deeper than this answers 0 and does nothing.
inline constexpr int kMaxScriptRunDepth = 64;

// Compiles the record when it holds no byte code (a failed compile leaves
// none, so the next run tries again) and runs it with the record's owner as
// "this" and local as "local". 1 when the run reached the end mark; 0 for a
// failed compile, a run nested too deep or past the frame's count, or a run
// ended by invalid byte code (an invalid access kind or word, an
// unregistered command id, code that ends early).
int RunScript(ScriptRecord *record, Actor *local);

// Within a run (called by the run itself; null or 0 outside one).
// Reads one access at the run position and finds its actor: null for a
// missing "this" or "local", a null actor for targets not found.
Actor *ResolveActorAccess();
// Reads one parameter item at the run position and appends its value to the
// argument buffer; 0 (and the run's error flag) for invalid byte code.
int EvalScriptParam(uint32_t type);

// Depth of the innermost active run (1 for an outermost run, 0 when none).
int CurrentScriptRunDepth();

// Runs between two frame steps (the start-up and a level load count with the
// frame they happen in) past this many answer 0 and do nothing; the first
// refused run of a frame says so on stderr. The sample runs seven scripts
// in a frame at the most, and a send to 20,000 scripted actors runs every one;
// a script that runs itself twice, or schedules itself again from each run,
// would otherwise multiply its runs from frame to frame without end.
inline constexpr uint64_t kMaxScriptRunsPerFrame = 50000;
// Begins the count of a new frame (the frame step calls it first).
void BeginScriptRunFrame();

// Observes what the interpreter delivers (the qvscript tool prints it).
// depth is 0 for lines of an outermost run.
class ScriptTrace {
  public:
    virtual ~ScriptTrace() = default;
    // Before target->HandleCommand(commandId, block).
    virtual void Send(int depth, Actor *target, uint32_t commandId, ParamBlock block) = 0;
    // Before the scripts named name of target run (one line per call).
    virtual void Call(int depth, std::string_view name, Actor *target) = 0;
};
// Installs a trace (null: none) and returns the previous one.
ScriptTrace *InstallScriptTrace(ScriptTrace *trace);
