// What a load from untrusted bytes must leave alone, whether it fails or
// not: the system actors 0-9 stay where they are with their classes, and the
// actor table does not grow past the id limit; once the load has returned,
// no file is being read. A breach aborts (a finding).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"

namespace fuzzcheck {

inline constexpr size_t kSystemIds = 10;
inline constexpr size_t kMaxTableSize = kMaxActorId + 1023 + 1;

struct SystemActors {
    Actor *actor[kSystemIds] = {};
    uint32_t classId[kSystemIds] = {};
};

inline SystemActors Capture() {
    SystemActors s;
    for (size_t id = 0; id < kSystemIds && id < ActorTable.size(); ++id) {
        s.actor[id] = ActorTable[id];
        s.classId[id] = s.actor[id] != nullptr ? s.actor[id]->classId : 0;
    }
    return s;
}

inline void Check(const SystemActors &before) {
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

// After a whole load, whether it failed or not.
inline void CheckReadEnded() {
    if (GetActorSystem() != nullptr && GetActorSystem()->GetFileVersion() != kNoFileVersion) {
        std::abort();
    }
}

} // namespace fuzzcheck
