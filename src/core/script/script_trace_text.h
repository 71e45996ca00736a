// What the interpreter delivers, as text: one line per command,
//   send <target> <id> "<name>" <portable block in hex>
// and one per script call,
//   call "<name>" <target>
// indented two blanks per nesting level. Targets are absolute actor paths or
// the null actors' names, so the text holds no addresses.
#pragma once

#include <string>
#include <string_view>

#include "core/script/script_interpreter.h"

class Actor;

// Collects the lines while it exists (it installs itself as the trace).
class ScriptTraceText : public ScriptTrace {
  public:
    ScriptTraceText();
    ~ScriptTraceText() override;
    ScriptTraceText(const ScriptTraceText &) = delete;
    ScriptTraceText &operator=(const ScriptTraceText &) = delete;

    void Send(int depth, Actor *target, uint32_t commandId, ParamBlock block) override;
    void Call(int depth, std::string_view name, Actor *target) override;

    const std::string &text() const { return text_; }

  private:
    std::string text_;
    ScriptTrace *previous_;
};

// "/" for the actor system, "/Scenery/A" for its descendants, the name for
// the null actors.
std::string ScriptTargetName(Actor *actor);

// Adds source as script "__qvscript" of owner, runs it with no local actor
// and returns the trace lines followed by "result <0|1>".
std::string RunScriptTraced(Actor *owner, std::string_view source);
