#include "sample_actors.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/script/script_compiler.h"
#include "sample_output.h"

namespace {

// A private scratch folder for the actor-file writer, which writes files
// only; removed at exit.
class ScratchFolder {
public:
    ~ScratchFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& Path() {
        if (path_.empty()) {
            std::error_code ec;
            std::filesystem::path base = std::filesystem::temp_directory_path(ec);
            if (ec) base = "/tmp";
            std::string pattern = (base / "mksample-XXXXXX").string();
            std::vector<char> buffer(pattern.begin(), pattern.end());
            buffer.push_back('\0');
            if (mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
        }
        return path_;
    }

private:
    std::string path_;
};

ScratchFolder g_scratch;

}  // namespace

bool ResetSampleWorld() {
    if (GetActorSystem() == nullptr && InitActorSystem() == 0) return false;
    for (int32_t rootId : {kGlobalRootId, kSceneryRootId, kClipboardRootId}) {
        Actor* root = GetActorById(static_cast<uint32_t>(rootId));
        while (root != nullptr && !root->children.empty()) {
            if (DeleteActor(root->children.back()) == 0) return false;
        }
    }
    return true;
}

Actor* MakeSampleActor(int32_t classId, const std::string& name, int32_t rootId, int32_t id) {
    Actor* root = GetActorById(static_cast<uint32_t>(rootId));
    if (root == nullptr) return nullptr;
    return CreateActor(classId, name, nullptr, root, id, true);
}

bool AddSampleScript(Actor* actor, const std::string& name, uint32_t eventId,
                     const std::string& source, std::string* error) {
    auto record = std::make_unique<ScriptRecord>();
    record->name = name;
    record->eventId = eventId;
    record->source = source;
    record->owner = actor;
    std::string message;
    size_t position = 0;
    if (CompileScript(record.get(), actor, &message, &position) == 0) {
        *error = "script \"" + name + "\": " + message + " at " + std::to_string(position);
        return false;
    }
    actor->scripts.push_back(std::move(record));
    return true;
}

bool WriteActorFile(SampleOutput& out, const std::string& relPath, uint32_t first, uint32_t end) {
    const std::string& scratch = g_scratch.Path();
    if (scratch.empty()) return out.Fail(relPath, "no scratch folder for the actor-file writer");
    const std::string path = scratch + "/actors.qva";
    if (SaveActors(path, first, end, kSerializeSave) == 0) {
        const ActorSystem* system = GetActorSystem();
        return out.Fail(relPath, system != nullptr ? system->errorText : "no actor system");
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return out.Fail(relPath, "cannot read back the written actor file");
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return out.Write(relPath, bytes);
}
