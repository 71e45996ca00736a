#include "sample_actors.h"

#include <memory>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/script/script_compiler.h"
#include "sample_game.h"
#include "sample_output.h"

namespace {

// The actor-file writer writes files only: they are made in a scratch
// folder of the process and read back.
const sample::Scratch& ActorScratch() {
    static const sample::Scratch scratch;
    return scratch;
}

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

bool MoveSampleActorId(Actor* actor, int32_t id) {
    if (actor == nullptr || id < kFirstUserActorId || static_cast<size_t>(id) >= ActorTable.size() ||
        ActorTable[static_cast<size_t>(id)] != nullptr || ActorTableEntry(actor->actorId) != actor) {
        return false;
    }
    ActorTable[static_cast<size_t>(actor->actorId)] = nullptr;
    SetActorTableEntry(static_cast<size_t>(id), actor);
    actor->actorId = id;
    for (Actor* child : actor->children) {
        if (child != nullptr) child->parentId = id;
    }
    return true;
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
    const sample::Scratch& scratch = ActorScratch();
    if (!scratch.Ok()) return out.Fail(relPath, "no scratch folder for the actor-file writer");
    if (SaveActors(scratch.Path("actors.qva"), first, end, kSerializeSave) == 0) {
        const ActorSystem* system = GetActorSystem();
        return out.Fail(relPath, system != nullptr ? system->errorText : "no actor system");
    }
    std::vector<uint8_t> bytes;
    if (!scratch.Take("actors.qva", bytes)) {
        return out.Fail(relPath, "cannot read back the written actor file");
    }
    return out.Write(relPath, bytes);
}

void AddSolidBox(Actor* actor, const char* name, const Vector3& min, const Vector3& max) {
    ColObj box(actor);
    box.name = name;
    box.type = 2;
    box.flags = kColObjActive | kColObjSolid;
    box.boxMin = min;
    box.boxMax = max;
    actor->AddColObj(box);
}

Actor* MakeFloorRoom(int32_t& next) {
    Actor* room = MakeSampleActor(kDrawGroupClassId, "Room", kSceneryRootId, next++);
    Actor* floor = room == nullptr ? nullptr : CreateActor(0, "Floor", nullptr, room, next++, true);
    if (floor == nullptr) return nullptr;
    SendCommandArgs(room, cmd::base::SetBoxMin, Vector3{-1000.0f, -100.0f, -1000.0f});
    SendCommandArgs(room, cmd::base::SetBoxMax, Vector3{1000.0f, 500.0f, 1000.0f});
    AddSolidBox(floor, "Floor", {-900.0f, -20.0f, -900.0f}, {900.0f, 0.0f, 900.0f});
    return room;
}
