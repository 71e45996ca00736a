#include "core/script/script_interpreter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/le_bytes.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_registry.h"
#include "core/actors/null_actor.h"
#include "core/actors/param_convert.h"
#include "core/actors/script_runner.h"
#include "core/script/byte_buffer.h"
#include "core/script/script_compiler.h"

namespace {

// One active run. Runs form a chain through `outer`.
struct RunState {
    RunState *outer = nullptr;
    const uint8_t *code = nullptr;
    size_t size = 0;
    size_t pos = 0;
    Actor *self = nullptr;  // "this"
    Actor *local = nullptr; // "local"
    bool selfGone = false;  // "this" was destroyed during the run
    bool localGone = false;
    bool error = false;
    ByteBuffer *args = nullptr;  // the statement's argument buffer
    Actor *callTarget = nullptr; // actor whose scripts a call statement runs
    int depth = 0;
};

RunState *gRun = nullptr;
int gRunDepth = 0;
// Runs started since the frame began; past the bound, refused.
uint64_t gFrameRuns = 0;
alignas(16) uint8_t gArgumentArea[kScriptArgumentAreaSize];
size_t gArgumentTop = 0; // where the next run's blocks start in the area
ScriptTrace *gTrace = nullptr;

// Actors destroyed while runs hold them are forgotten by those runs.
void ForgetDestroyedActor(Actor *actor) {
    for (RunState *run = gRun; run != nullptr; run = run->outer) {
        if (run->self == actor) {
            run->self = nullptr;
            run->selfGone = true;
        }
        if (run->local == actor) {
            run->local = nullptr;
            run->localGone = true;
        }
        if (run->callTarget == actor) {
            run->callTarget = nullptr;
        }
    }
}

bool Need(RunState &run, size_t n) {
    if (run.error || n > run.size - run.pos) {
        run.error = true;
        return false;
    }
    return true;
}

uint32_t ReadU32(RunState &run) {
    if (!Need(run, 4)) {
        return 0;
    }
    const uint8_t *p = run.code + run.pos;
    run.pos += 4;
    return ReadLe32(p);
}

uint8_t ReadByte(RunState &run) {
    if (!Need(run, 1)) {
        return 0;
    }
    return run.code[run.pos++];
}

// A NUL-terminated text at the run position; the position moves past it.
std::string_view ReadText(RunState &run) {
    if (run.error) {
        return {};
    }
    const void *nul = std::memchr(run.code + run.pos, 0, run.size - run.pos);
    if (nul == nullptr) {
        run.error = true;
        return {};
    }
    size_t length = static_cast<size_t>(static_cast<const uint8_t *>(nul) - (run.code + run.pos));
    std::string_view text(reinterpret_cast<const char *>(run.code + run.pos), length);
    run.pos += length + 1;
    return text;
}

Actor *NullTarget(uint8_t safe) { return GetNullActor(safe == kScriptSafeAccess); }

Actor *FindByPath(std::string_view path, Actor *from) {
    const ActorPathResolver *resolver = GetActorPathResolver();
    return resolver != nullptr ? resolver->FindActorByPath(path, from) : nullptr;
}

// Reads one access. With resolve clear only steps over it (null result).
Actor *ReadAccess(RunState &run, bool resolve) {
    uint8_t safe = ReadByte(run);
    uint8_t kind = ReadByte(run);
    if (run.error) {
        return nullptr;
    }
    switch (kind) {
    case ScriptAccess::This:
        return resolve ? run.self : nullptr;
    case ScriptAccess::Local:
        return resolve ? run.local : nullptr;
    case ScriptAccess::System:
        return resolve ? GetActorSystem() : nullptr;
    case ScriptAccess::Pointer: {
        if (!Need(run, sizeof(Actor *))) {
            return nullptr;
        }
        Actor *actor;
        std::memcpy(&actor, run.code + run.pos, sizeof(actor));
        run.pos += sizeof(actor);
        return resolve ? actor : nullptr;
    }
    case ScriptAccess::GlobalSlot:
    case ScriptAccess::GlobalSlotPath: {
        uint32_t slot = ReadU32(run);
        std::string_view path;
        if (kind == ScriptAccess::GlobalSlotPath) {
            path = ReadText(run);
        }
        if (run.error || !resolve) {
            return nullptr;
        }
        if (slot == 0 || slot >= static_cast<uint32_t>(kGlobalActorSlotCount)) {
            return GetNullActor(false);
        }
        Actor *actor = GlobalActorSlots[slot];
        if (actor == nullptr) {
            return NullTarget(safe);
        }
        if (kind == ScriptAccess::GlobalSlotPath) {
            actor = FindByPath(path, actor);
        }
        return actor != nullptr ? actor : NullTarget(safe);
    }
    case ScriptAccess::Path:
    case ScriptAccess::LocalPath: {
        std::string_view path = ReadText(run);
        if (run.error || !resolve) {
            return nullptr;
        }
        bool fromLocal = kind == ScriptAccess::LocalPath;
        bool absolute = !path.empty() && path[0] == '/';
        if ((fromLocal ? run.localGone : run.selfGone) && !absolute) {
            return nullptr; // the start actor is gone: nothing to address
        }
        Actor *start = fromLocal ? run.local : run.self;
        if (start == nullptr) {
            start = GetActorSystem();
        }
        Actor *actor = FindByPath(path, start);
        return actor != nullptr ? actor : NullTarget(safe);
    }
    default:
        run.error = true;
        return GetNullActor(false);
    }
}

bool IsPointerSlot(uint32_t type) {
    return type == ParamType::Pointer || type == ParamType::ColObjPointer ||
           type == ParamType::ScriptPointer;
}

// Bytes of a variable-size literal at the run position; false when its end
// is missing.
bool VariableLiteralSize(RunState &run, uint32_t type, size_t *size) {
    const uint8_t *p = run.code + run.pos;
    size_t left = run.size - run.pos;
    switch (type) {
    case ParamType::String: {
        const void *nul = std::memchr(p, 0, left);
        if (nul == nullptr) {
            return false;
        }
        *size = static_cast<size_t>(static_cast<const uint8_t *>(nul) - p) + 1;
        return true;
    }
    case ParamType::DataWithSizeheader: {
        if (left < 4) {
            return false;
        }
        uint32_t n;
        std::memcpy(&n, p, 4);
        if (n > left - 4) {
            return false;
        }
        *size = 4 + static_cast<size_t>(n);
        return true;
    }
    case ParamType::DataNullterminated16:
    case ParamType::DataNullterminated32: {
        size_t unit = type == ParamType::DataNullterminated16 ? 2 : 4;
        for (size_t at = 0; at + unit <= left; at += unit) {
            bool zero = std::all_of(p + at, p + at + unit, [](uint8_t b) { return b == 0; });
            if (zero) {
                *size = at + unit;
                return true;
            }
        }
        return false;
    }
    default:
        return false;
    }
}

void AppendPointer(RunState &run, const void *pointer) {
    run.args->Append(&pointer, sizeof(pointer));
}

bool EvalItem(RunState &run, uint32_t type, bool emit, int depth);

bool EvalLiteral(RunState &run, uint32_t type, bool emit) {
    switch (type) {
    case ParamType::ActorPointer:
    case ParamType::ActorPointerExt: {
        Actor *actor = ReadAccess(run, emit);
        if (run.error) {
            return false;
        }
        if (emit) {
            AppendPointer(run, actor);
            if (type == ParamType::ActorPointerExt) {
                run.args->AppendByte(0); // an empty name
            }
        }
        return true;
    }
    case ParamType::StringPtr: {
        size_t start = run.pos;
        ReadText(run);
        if (run.error) {
            return false;
        }
        if (emit) {
            AppendPointer(run, run.code + start); // the code outlives the statement
        }
        return true;
    }
    case ParamType::Command:
        run.error = true; // no literal form
        return false;
    default:
        break;
    }
    const ParamTypeInfo &info = GetParamTypeTable().Get(type);
    size_t size = 0;
    if (info.nativeSize >= 0) {
        size = static_cast<size_t>(info.nativeSize);
    } else if (!VariableLiteralSize(run, type, &size)) {
        run.error = true;
        return false;
    }
    if (!Need(run, size)) {
        return false;
    }
    if (emit) {
        if (IsPointerSlot(type)) {
            run.args->AppendZeros(size); // never a pointer taken from code
        } else {
            run.args->Append(run.code + run.pos, size);
        }
    }
    run.pos += size;
    return true;
}

bool EvalItem(RunState &run, uint32_t type, bool emit, int depth) {
    if (depth > kMaxParamNesting) {
        run.error = true;
        return false;
    }
    uint32_t tag = ReadU32(run);
    if (run.error) {
        return false;
    }
    switch (tag) {
    case ScriptTag::Literal:
        return EvalLiteral(run, type, emit);
    case ScriptTag::Group: {
        const std::vector<uint32_t> &components = GetParamTypeTable().Get(type).components;
        if (components.empty()) {
            if (emit) {
                run.args->AppendZeros(ScriptZeroValueSize(type));
            }
            return true;
        }
        for (uint32_t component : components) {
            if (!EvalItem(run, component, emit, depth + 1)) {
                return false;
            }
        }
        return true;
    }
    case ScriptTag::Command: {
        uint32_t id = ReadU32(run);
        const CommandInfo *info = FindCommandInfo(id);
        if (run.error || info == nullptr || !info->registered() || id == kRecursiveCommandId) {
            run.error = true;
            return false;
        }
        if (emit) {
            run.args->AppendU32(id);
        }
        for (uint32_t t : info->paramTypes) {
            if (!EvalItem(run, t, emit, depth + 1)) {
                return false;
            }
        }
        return true;
    }
    default:
        return true; // an unknown tag carries nothing
    }
}

bool IsCommandWord(uint32_t word) {
    if (word < ScriptWord::FirstCommand) {
        return false;
    }
    const CommandInfo *info = FindCommandInfo(word);
    return info != nullptr && info->registered() && word != kRecursiveCommandId;
}

// Runs one statement; false ends the run with 0.
bool RunStatement(RunState &run) {
    run.args = nullptr;
    Actor *target = ReadAccess(run, true);
    uint32_t word = ReadU32(run);
    if (run.error) {
        return false;
    }
    if (word == ScriptWord::CallHandle) {
        uint32_t handle = ReadU32(run);
        if (run.error) {
            return false;
        }
        if (target != nullptr && handle != 0) {
            ScriptRecord *record = FindScriptBySerial(run.self, handle);
            if (record != nullptr) {
                if (gTrace != nullptr) {
                    gTrace->Call(run.depth - 1, record->name, run.self);
                }
                RunScript(record, run.self);
            }
        }
        return true;
    }
    if (word == ScriptWord::CallByName || word == ScriptWord::CallByNameSafe) {
        std::string name(ReadText(run));
        if (run.error) {
            return false;
        }
        if (target == nullptr) {
            return true;
        }
        if (gTrace != nullptr) {
            gTrace->Call(run.depth - 1, name, target);
        }
        // The list may change while the scripts run: each is found again
        // by its serial before its turn.
        std::vector<uint32_t> serials;
        for (const auto &script : target->scripts) {
            if (script && !script->dead && script->name == name) {
                serials.push_back(script->serial);
            }
        }
        run.callTarget = target;
        for (uint32_t serial : serials) {
            ScriptRecord *record = FindScriptBySerial(run.callTarget, serial);
            if (record != nullptr) {
                RunScript(record, run.self);
            }
        }
        run.callTarget = nullptr;
        return true;
    }
    if (!IsCommandWord(word)) {
        return false;
    }
    const CommandInfo *info = FindCommandInfo(word);
    if (target == nullptr) {
        // Step over the statement, item by item as the evaluator reads them.
        for (uint32_t type : info->paramTypes) {
            if (!EvalItem(run, type, false, 0)) {
                return false;
            }
        }
        return true;
    }
    size_t start = std::min(gArgumentTop, kScriptArgumentAreaSize);
    ByteBuffer args(gArgumentArea + start, kScriptArgumentAreaSize - start);
    run.args = &args;
    for (uint32_t type : info->paramTypes) {
        if (!EvalItem(run, type, true, 0)) {
            run.args = nullptr;
            return false;
        }
    }
    run.args = nullptr;
    // Nested runs of the handler start after this block (or at the same
    // place when the block moved to the heap).
    gArgumentTop = args.owned() ? start : start + args.position();
    ParamBlock block(args.data(), args.position());
    if (gTrace != nullptr) {
        gTrace->Send(run.depth - 1, target, word, block);
    }
    target->HandleCommand(word, block);
    gArgumentTop = start;
    return true;
}

} // namespace

int RunScript(ScriptRecord *record, Actor *local) {
    if (record == nullptr || record->dead || gRunDepth >= kMaxScriptRunDepth) {
        return 0;
    }
    if (gFrameRuns >= kMaxScriptRunsPerFrame) {
        if (gFrameRuns == kMaxScriptRunsPerFrame) {
            std::fprintf(stderr, "script: more than %llu script runs in one frame; the rest are refused\n",
                         static_cast<unsigned long long>(kMaxScriptRunsPerFrame));
            ++gFrameRuns; // said once a frame
        }
        return 0;
    }
    ++gFrameRuns;
    if (record->compiled == nullptr &&
        CompileScript(record, record->owner, nullptr, nullptr) == 0) {
        return 0;
    }
    // Held for the whole run: actors the script removes are destroyed after
    // it returns, never under it.
    ActorDeliveryScope delivery;
    // The run keeps its byte code even when the record goes meanwhile.
    std::shared_ptr<const ByteBuffer> code = record->compiled;
    AddActorDestroyedHook(ForgetDestroyedActor);

    // While the owner's scripts run, removals from its list wait.
    Actor *owner = record->owner;
    if (owner != nullptr) {
        ++owner->scriptRunDepth;
    }

    RunState run;
    run.outer = gRun;
    run.code = code->data();
    run.size = code->position();
    run.self = record->owner;
    run.local = local;
    run.depth = gRunDepth + 1;
    size_t savedTop = gArgumentTop;
    gRun = &run;
    ++gRunDepth;

    int result = 0;
    for (;;) {
        if (run.size - run.pos >= 4 &&
            std::memcmp(run.code + run.pos, kScriptEndMark, sizeof(kScriptEndMark)) == 0) {
            result = 1;
            break;
        }
        if (!RunStatement(run)) {
            break;
        }
    }

    --gRunDepth;
    gRun = run.outer;
    gArgumentTop = savedTop;
    if (owner != nullptr && !run.selfGone) {
        // Leaving the owner's last run carries out the waiting removals.
        --owner->scriptRunDepth;
        ScriptRunScope settle(owner);
    }
    return result;
}

Actor *ResolveActorAccess() { return gRun != nullptr ? ReadAccess(*gRun, true) : nullptr; }

int EvalScriptParam(uint32_t type) {
    if (gRun == nullptr || gRun->args == nullptr) {
        return 0;
    }
    return EvalItem(*gRun, type, true, 0) ? 1 : 0;
}

int CurrentScriptRunDepth() { return gRunDepth; }

void BeginScriptRunFrame() { gFrameRuns = 0; }

ScriptTrace *InstallScriptTrace(ScriptTrace *trace) {
    ScriptTrace *previous = gTrace;
    gTrace = trace;
    return previous;
}
