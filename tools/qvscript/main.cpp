// qvscript: compiles scripts and runs them in a headless actor system.
//
//   qvscript compile [<file>]
//       compiles the text (stdin without a file) with a base actor as owner
//       and prints the byte code as hex, 16 bytes per line; on failure
//       "error: <message> at <position>", exit 1.
//   qvscript run <file.qva> <actor path> [<file>]
//       loads the actor file, adds the text as script "__qvscript" of the
//       actor at the absolute path, runs it with no local actor and prints
//       what the interpreter delivers, then "result <0|1>".
// Usage errors exit 2.
#include <cstdio>
#include <string>

#include "app/class_list.h"
#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/param_convert.h"
#include "core/script/byte_buffer.h"
#include "core/script/script_compiler.h"
#include "core/script/script_trace_text.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: qvscript compile [FILE]\n"
                         "       qvscript run FILE.qva ACTOR_PATH [FILE]\n");
    return 2;
}

// The text of the file, or of standard input without one; false after the
// line that says why not.
bool ReadText(const char *path, std::string *text) {
    std::string reason;
    const bool read = path == nullptr ? ReadWholeDescriptor(0, text, &reason)
                                      : ReadWholeFile(path, text, &reason);
    if (!read) {
        const std::string name = path == nullptr ? "standard input" : path;
        // A file that does not open is told as it always was.
        std::fprintf(stderr, "error: cannot read %s%s\n", name.c_str(),
                     reason == "cannot open" ? "" : (": " + reason).c_str());
    }
    return read;
}

// Reads the script's text, then starts the actor system; false, with the
// line that says why, when either fails.
bool ReadTextAndStart(const char *path, std::string *source) {
    if (!ReadText(path, source)) {
        return false;
    }
    if (InitActorSystem() == 0) {
        std::fprintf(stderr, "error: no actor system\n");
        return false;
    }
    return true;
}

int Compile(const char *path) {
    std::string source;
    if (!ReadTextAndStart(path, &source)) {
        return 1;
    }
    Actor *owner = CreateActor(0, "qvscript", nullptr, GetActorById(2), -1, true);
    ScriptRecord record;
    record.name = "__qvscript";
    record.source = source;
    record.owner = owner;
    std::string error;
    size_t position = 0;
    if (CompileScript(&record, owner, &error, &position) == 0) {
        std::fprintf(stderr, "error: %s at %zu\n", error.c_str(), position);
        return 1;
    }
    std::string out;
    static const char digits[] = "0123456789abcdef";
    std::span<const uint8_t> bytes = record.compiled->bytes();
    for (size_t i = 0; i < bytes.size(); ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
        out += (i % 16 == 15 || i + 1 == bytes.size()) ? '\n' : ' ';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

// Loads an actor file into the world as the dump tool does: the roots are
// emptied first, so the file's actors take the ids it records.
bool LoadActorFile(const char *path, std::string *error) {
    for (int32_t rootId : {kGlobalRootId, kSceneryRootId, kClipboardRootId}) {
        Actor *root = GetActorById(static_cast<uint32_t>(rootId));
        while (root != nullptr && !root->children.empty()) {
            if (DeleteActor(root->children.back()) == 0) {
                root->children.pop_back();
            }
        }
    }
    if (LoadActors(path, kSerializeLoad) == 0) {
        const ActorSystem *system = GetActorSystem();
        *error = std::string("cannot load ") + path + ": " + system->errorText;
        return false;
    }
    return true;
}

int RunLoaded(const char *actorFile, const char *actorPath, const std::string &source) {
    std::string error;
    if (!LoadActorFile(actorFile, &error)) {
        std::fprintf(stderr, "error: %s\n", error.c_str());
        return 1;
    }
    const ActorPathResolver *resolver = GetActorPathResolver();
    Actor *owner = actorPath[0] == '/' && resolver != nullptr
                       ? resolver->FindActorByPath(actorPath, GetActorSystem())
                       : nullptr;
    if (owner == nullptr) {
        std::fprintf(stderr, "error: no actor at %s\n", actorPath);
        return 1;
    }
    std::string out = RunScriptTraced(owner, source);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

int Run(const char *actorFile, const char *actorPath, const char *path) {
    std::string source;
    if (!ReadTextAndStart(path, &source)) {
        return 1;
    }
    const int result = RunLoaded(actorFile, actorPath, source);
    // As the engine ends: the tree lives until the process ends, actors the
    // file left outside it go now.
    DeleteDetachedActors();
    return result;
}

} // namespace

int main(int argc, char **argv) {
    InstallEngineClasses();
    if (argc < 2) {
        return Usage();
    }
    std::string command = argv[1];
    if (command == "compile" && argc <= 3) {
        return Compile(argc == 3 ? argv[2] : nullptr);
    }
    if (command == "run" && (argc == 4 || argc == 5)) {
        return Run(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
    }
    return Usage();
}
