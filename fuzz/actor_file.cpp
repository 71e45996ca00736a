// Actor files from untrusted bytes, loaded from memory into a fresh headless actor system through
// both readers (into the recorded ids, and below a container under fresh ids). Loading may fail; it
// must not crash, leak, touch the system actors 0-9 or grow the table past the id limit.
#include <cstdint>
#include <cstdlib>

#include "app/class_list.h"
#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"

namespace {

constexpr size_t kSystemIds = 10;
constexpr size_t kMaxTableSize = kMaxActorId + 1023 + 1;

struct SystemActors {
    Actor *actor[kSystemIds] = {};
    uint32_t classId[kSystemIds] = {};
};

SystemActors Capture() {
    SystemActors s;
    for (size_t id = 0; id < kSystemIds && id < ActorTable.size(); ++id) {
        s.actor[id] = ActorTable[id];
        s.classId[id] = s.actor[id] != nullptr ? s.actor[id]->classId : 0;
    }
    return s;
}

void Check(const SystemActors &before) {
    for (size_t id = 0; id < kSystemIds; ++id) {
        Actor *now = id < ActorTable.size() ? ActorTable[id] : nullptr;
        if (now != before.actor[id] || (now != nullptr && now->classId != before.classId[id])) {
            std::abort();
        }
    }
    if (ActorTable.size() > kMaxTableSize) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    InstallEngineClasses();
    if (size > (1u << 20)) {
        return 0;
    }
    ResetActorWorldForTests();
    if (InitActorSystem() == 0) {
        std::abort();
    }
    const SystemActors before = Capture();
    {
        Archive archive;
        archive.OpenMemory(data, static_cast<uint32_t>(size));
        LoadActorsFrom(archive, kSerializeLoad);
    }
    Check(before);
    if (GetActorSystem()->GetFileVersion() != kNoFileVersion) {
        std::abort();
    }
    Actor *container = CreateActor(0, "F", nullptr, GetActorById(kSceneryRootId), -1, false);
    if (container != nullptr) {
        Archive archive;
        archive.OpenMemory(data, static_cast<uint32_t>(size));
        SerializeFileActors(archive, container);
    }
    Check(before);
    ResetActorWorldForTests();
    return 0;
}
