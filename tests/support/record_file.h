// One actor's record written by its own serializer at a chosen archive
// version, and read back into another actor at a version (the class and
// actor ids at its start are the loader's and are skipped).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"

namespace recordfile {

inline bool Write(Actor &actor, const std::string &path, uint32_t version) {
    Archive out;
    if (!out.Open(path, "wb")) {
        return false;
    }
    out.SetVersion(version);
    const int written = actor.Serialize(out, kSerializeSave);
    out.Close();
    return written == 1;
}

inline int Read(Actor &actor, const std::string &path, uint32_t version) {
    Archive in;
    if (!in.Open(path, "rb")) {
        return 0;
    }
    in.Seek(8, SEEK_SET);
    in.SetVersion(version);
    return actor.Serialize(in, kSerializeLoad);
}

} // namespace recordfile
