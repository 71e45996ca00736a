// One compiled script statement that finds an actor by path and sends it a
// command, "/Scenery/Box.Set_Position((1,2,3));", run by the interpreter,
// side by side with Lua running "Scenery.Box.Set_Position(1, 2, 3)": a
// look-up through two tables and the call of a C function with three
// numbers. Without Lua the interpreter's statement runs alone.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/class_list.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/script/script_compiler.h"
#include "core/script/script_interpreter.h"
#include "side_by_side.h"

#ifdef ENGINE_BENCH_HAVE_LUA
extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}
#endif

namespace {

constexpr const char *kStatement = "/Scenery/Box.Set_Position((1,2,3));";

constexpr int kStatementsPerScript = 1000;

struct World {
    Actor *box = nullptr;
    Actor *owner = nullptr;
    ScriptRecord *record = nullptr;
    // The same statement 1,000 times in one script.
    ScriptRecord *longRecord = nullptr;
    bool ok = false;

    World() {
        InstallEngineClasses();
        if (InitActorSystem() == 0) {
            std::fprintf(stderr, "bench_script: no actor system\n");
            return;
        }
        Actor *scenery = GetActorById(static_cast<uint32_t>(kSceneryRootId));
        box = CreateActor(0, "Box", nullptr, scenery, -1, true);
        owner = CreateActor(0, "Owner", nullptr, scenery, -1, true);
        if (box == nullptr || owner == nullptr) {
            std::fprintf(stderr, "bench_script: the actors could not be made\n");
            return;
        }
        auto script = std::make_unique<ScriptRecord>();
        script->name = "bench";
        script->source = kStatement;
        script->owner = owner;
        std::string error;
        size_t position = 0;
        if (CompileScript(script.get(), owner, &error, &position) == 0) {
            std::fprintf(stderr, "bench_script: %s at %zu\n", error.c_str(), position);
            return;
        }
        record = script.get();
        owner->scripts.push_back(std::move(script));
        auto longScript = std::make_unique<ScriptRecord>();
        longScript->name = "bench_long";
        for (int i = 0; i < kStatementsPerScript; ++i) {
            longScript->source += kStatement;
            longScript->source += '\n';
        }
        longScript->owner = owner;
        if (CompileScript(longScript.get(), owner, &error, &position) == 0) {
            std::fprintf(stderr, "bench_script: %s at %zu\n", error.c_str(), position);
            return;
        }
        longRecord = longScript.get();
        owner->scripts.push_back(std::move(longScript));
        // One run to check that the statement reaches the box.
        ok = RunScript(record, nullptr) == 1 && box->position.x == 1.0f &&
             box->position.y == 2.0f && box->position.z == 3.0f;
        if (!ok) {
            std::fprintf(stderr, "bench_script: the statement did not move the box\n");
        }
    }
};

World &TheWorld() {
    static World world;
    return world;
}

#ifdef ENGINE_BENCH_HAVE_LUA

float g_position[3] = {};

int LuaSetPosition(lua_State *state) {
    g_position[0] = static_cast<float>(luaL_checknumber(state, 1));
    g_position[1] = static_cast<float>(luaL_checknumber(state, 2));
    g_position[2] = static_cast<float>(luaL_checknumber(state, 3));
    return 0;
}

struct Lua {
    lua_State *state = luaL_newstate();
    int chunk = LUA_NOREF;

    // The chunk runs the call `lines` times, one line each.
    explicit Lua(int lines = 1) {
        if (state == nullptr) {
            return;
        }
        // Scenery = { Box = { Set_Position = <C function> } }
        lua_newtable(state);
        lua_newtable(state);
        lua_pushcfunction(state, &LuaSetPosition);
        lua_setfield(state, -2, "Set_Position");
        lua_setfield(state, -2, "Box");
        lua_setglobal(state, "Scenery");
        std::string source;
        for (int i = 0; i < lines; ++i) {
            source += "Scenery.Box.Set_Position(1, 2, 3)\n";
        }
        if (luaL_loadstring(state, source.c_str()) != LUA_OK) {
            std::fprintf(stderr, "bench_script: %s\n", lua_tostring(state, -1));
            return;
        }
        chunk = luaL_ref(state, LUA_REGISTRYINDEX);
    }
    ~Lua() {
        if (state != nullptr) {
            lua_close(state);
        }
    }
    bool Ok() const { return state != nullptr && chunk != LUA_NOREF; }
    void Run() {
        lua_rawgeti(state, LUA_REGISTRYINDEX, chunk);
        lua_call(state, 0, 0);
    }
};

void BM_ScriptStatement_vs_Lua(benchmark::State &state) {
    World &world = TheWorld();
    Lua lua;
    if (!world.ok || !lua.Ok()) {
        state.SkipWithError("the statement or its Lua twin could not be made");
        return;
    }
    lua.Run();
    if (g_position[0] != 1.0f || g_position[1] != 2.0f || g_position[2] != 3.0f) {
        state.SkipWithError("the Lua statement did not reach its function");
        return;
    }
    bench::SideBySide(
        state, 1000, [&] { benchmark::DoNotOptimize(RunScript(world.record, nullptr)); },
        [&] { lua.Run(); });
}
BENCHMARK(BM_ScriptStatement_vs_Lua)->UseManualTime();

// 1,000 statements in one script beside a 1,000-line Lua chunk.
void BM_Script1000Statements_vs_Lua(benchmark::State &state) {
    World &world = TheWorld();
    Lua lua(kStatementsPerScript);
    if (!world.ok || world.longRecord == nullptr || !lua.Ok()) {
        state.SkipWithError("the script or its Lua twin could not be made");
        return;
    }
    bench::SideBySide(
        state, 1, [&] { benchmark::DoNotOptimize(RunScript(world.longRecord, nullptr)); },
        [&] { lua.Run(); });
}
BENCHMARK(BM_Script1000Statements_vs_Lua)->UseManualTime();

#else

void BM_ScriptStatement(benchmark::State &state) {
    World &world = TheWorld();
    if (!world.ok) {
        state.SkipWithError("the statement could not be made");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(RunScript(world.record, nullptr));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScriptStatement);

const bool g_noLuaNote = [] {
    std::fprintf(stderr, "bench_script: built without Lua 5.4 (liblua5.4-dev): the Lua "
                         "reference is skipped\n");
    return true;
}();

#endif

} // namespace
