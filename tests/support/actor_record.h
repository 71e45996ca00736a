// Actor files of one record for the file-record tests, and the copy of a
// command that recording stand-ins keep.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_system.h"
#include "temp_folder.h"

// A file of one record written by the actor's own serializer at the version
// (header: version, 1 actor, first id, span 1), made as `name` in the folder;
// its bytes.
inline std::string WriteActorAtVersion(Actor *actor, uint32_t version, const TempFolder &folder,
                                       const std::string &name) {
    Archive archive;
    EXPECT_TRUE(archive.Open(folder / name, "wb"));
    archive.SetVersion(version);
    for (uint32_t word : {version, 1u, static_cast<uint32_t>(actor->actorId), 1u}) {
        archive.SerializeU32(word);
    }
    actor->Serialize(archive, kSerializeSave);
    EXPECT_EQ(archive.Close(), 0);
    return folder.Get(name);
}

// Loads a file that WriteActorAtVersion made (its actor replaces the one at
// its id, moved as the file's version moves ids); that actor, or null when
// the load failed.
inline Actor *LoadActorFileBytes(const std::string &bytes, int32_t id) {
    Archive archive;
    EXPECT_TRUE(archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())));
    if (LoadActorsFrom(archive, kSerializeLoad) == 0) {
        return nullptr;
    }
    uint32_t version = 0;
    std::memcpy(&version, bytes.data(), sizeof(version));
    return GetActorById(MoveActorFileId(static_cast<uint32_t>(id), version));
}

// One command as a recorder received it: the frame, the id and a copy of
// its block.
struct RecordedCommand {
    uint32_t frame;
    uint32_t id;
    std::vector<uint8_t> block;

    float F32(size_t offset = 0) const { return Read<float>(offset); }
    template <class T> T Read(size_t offset = 0) const {
        T v{};
        if (offset + sizeof(T) <= block.size()) {
            std::memcpy(&v, block.data() + offset, sizeof(T));
        }
        return v;
    }
};
