// Fixture of the interpreter tests: the world made by InitActorSystem, a
// script-holding actor class the factory makes for class 12, a path resolver
// over child names, and a trace of what the interpreter delivers.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_system.h"
#include "core/actors/param_convert.h"
#include "core/script/script_interpreter.h"

inline constexpr int32_t kScriptActorClass = 12;

struct Received {
    Actor *actor;
    uint32_t id;
    std::vector<uint8_t> block;
    const uint8_t *address; // where the block was

    template <class T> T Read(size_t offset) const {
        T v{};
        if (offset + sizeof(T) <= block.size())
            std::memcpy(&v, block.data() + offset, sizeof(T));
        return v;
    }
    static std::vector<std::string> Texts(const std::vector<Received> &all) {
        std::vector<std::string> out;
        for (const Received &r : all)
            out.push_back(r.Text());
        return out;
    }
    std::string Text(size_t offset = 0) const {
        std::string s;
        for (size_t i = offset; i < block.size() && block[i] != 0; ++i)
            s += static_cast<char>(block[i]);
        return s;
    }
};

// Records every command into the fixture's log, then answers through the
// base handler.
class ScriptActor : public Actor {
  public:
    ScriptActor() { classId = kScriptActorClass; }
    int HandleCommand(uint32_t commandId, ParamBlock block) override;

    ScriptRecord *AddScript(const std::string &name, const std::string &source);

    std::function<void(uint32_t, ParamBlock)> onCommand;
};

// Paths of child names separated by '/', ".." for the parent, a leading '/'
// for the actor system.
class ChildNameResolver : public ActorPathResolver {
  public:
    Actor *FindActorByPath(std::string_view path, Actor *context) const override;
    std::string ActorRelativePath(Actor *actor, Actor *context) const override;
};

class ScriptRunTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    ScriptActor *Make(const char *name, Actor *parent = nullptr);
    // Runs source as a new script of owner.
    int Run(ScriptActor *owner, const std::string &source, Actor *local = nullptr);
    // Runs hand-made byte code as a script of owner.
    int RunCode(ScriptActor *owner, const std::vector<uint8_t> &code, Actor *local = nullptr);
    std::vector<Received> Take(uint32_t id = 0); // 0: every command
    std::vector<uint32_t> Ids();

    ActorSystem *system = nullptr;
    Actor *scenery = nullptr;
    ChildNameResolver resolver;
    const ActorPathResolver *previousResolver = nullptr;
};

std::vector<Received> &ReceivedLog();
