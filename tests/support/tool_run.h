// Runs a program of the build's tools folder through the shell and keeps
// what it wrote and its exit code.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/file_system.h"

#include <gtest/gtest.h>

namespace toolrun {

struct ToolRun {
    std::string out;
    std::string err;
    int exitCode = -1;  // -1: did not exit normally
};

// A file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::string &path) {
    std::string bytes;
    std::string reason;
    ReadWholeFile(path, &bytes, &reason);
    return bytes;
}

// A committed file below tests/data/.
//
// Paths here are built by appending to one named string: GCC 12 sees a
// temporary string that "+" moves on as a possible out-of-bounds memcpy
// inside char_traits.h (-Warray-bounds, a false positive of that compiler).
inline std::string DataPath(const std::string &relative) {
    std::string path = ENGINE_TEST_SOURCE_DIR;
    path += "/tests/data/";
    path += relative;
    return path;
}

// The text as one shell word.
inline std::string Quote(const std::string &text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The test programs start with the GL drivers preloaded (see
// tests/CMakeLists.txt); their main moves the list to ENGINE_TEST_GL_PRELOAD,
// so that the shells and tools a test starts do not load them. This gives
// the list back as a shell assignment and a space, to put before a program
// that draws (the engine, platform_smoke): its leak check at exit then still
// knows the drivers' frames. Empty when there is no list.
inline std::string GlDrivers() {
    const char *preload = std::getenv("ENGINE_TEST_GL_PRELOAD");
    return preload != nullptr && *preload != '\0' ? "LD_PRELOAD=" + Quote(preload) + " " : "";
}

// Runs tools/<tool> with each argument as one word, in `folder` (the
// current folder when empty), with `env` ("NAME=value ...") before it.
inline ToolRun Run(const std::string &tool, const std::vector<std::string> &args,
                   const std::string &folder = "", const std::string &env = "") {
    const std::string base = ::testing::TempDir() + tool + "_" + std::to_string(getpid());
    const std::string outPath = base + "_out";
    const std::string errPath = base + "_err";
    std::string command = folder.empty() ? "" : "cd " + Quote(folder) + " && ";
    std::string program = ENGINE_TEST_BINARY_DIR;
    program += "/tools/";
    program += tool;
    command += env + (env.empty() ? "" : " ") + Quote(program);
    for (const std::string &arg : args) {
        command += " " + Quote(arg);
    }
    command += " >" + Quote(outPath) + " 2>" + Quote(errPath);
    ToolRun run;
    const int status = std::system(command.c_str());
    if (status != -1 && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
    run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

} // namespace toolrun
