#include "actor_file_damage.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <unordered_map>

#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"

namespace actorfiles {

namespace {

// The reader's archive and the records seen so far, for the progress
// callback, which is told of each record once it has been read.
Archive *g_reading = nullptr;
uint32_t g_size = 0;
std::vector<size_t> *g_ends = nullptr;

void NoteRecordEnd(uint32_t) {
    if (g_reading != nullptr && g_ends != nullptr) {
        g_ends->push_back(g_size - g_reading->BytesLeft());
    }
}

uint32_t WordAt(const std::string &bytes, size_t offset) {
    uint32_t value = 0;
    if (offset + 4 <= bytes.size()) {
        std::memcpy(&value, bytes.data() + offset, 4);
    }
    return value;
}

void PutWord(std::string &bytes, size_t offset, uint32_t value) {
    std::memcpy(bytes.data() + offset, &value, 4);
}

} // namespace

std::vector<Record> ReadRecords(const std::string &bytes) {
    std::vector<size_t> ends;
    Archive archive;
    if (!archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()))) {
        return {};
    }
    g_reading = &archive;
    g_size = static_cast<uint32_t>(bytes.size());
    g_ends = &ends;
    const ActorLoadProgress previous = SetActorLoadProgress(&NoteRecordEnd);
    const int loaded = LoadActorsFrom(archive, kSerializeLoad);
    SetActorLoadProgress(previous);
    g_reading = nullptr;
    g_ends = nullptr;
    if (loaded == 0 || ends.size() != WordAt(bytes, 4)) {
        return {};
    }
    std::vector<Record> records;
    size_t begin = kActorFileHeaderSize;
    for (size_t end : ends) {
        records.push_back({begin, end, WordAt(bytes, begin + 4), WordAt(bytes, begin + 8)});
        begin = end;
    }
    return records;
}

std::vector<DamagedFile> DamagedCopies(const std::string &bytes,
                                       const std::vector<Record> &records) {
    std::unordered_map<uint32_t, size_t> byId;
    for (size_t i = 0; i < records.size(); ++i) {
        byId.emplace(records[i].id, i);
    }
    std::vector<DamagedFile> copies;
    const auto add = [&](const char *what, size_t record, std::string damaged) {
        copies.push_back({std::string(what) + " " + std::to_string(record + 1), std::move(damaged)});
    };
    for (size_t i = 0; i < records.size(); ++i) {
        const Record &record = records[i];
        const auto parent = byId.find(record.parentId);
        if (parent != byId.end() && parent->second != i) {
            std::string damaged = bytes;
            PutWord(damaged, record.begin + 4, records[parent->second].parentId);
            add("id := grandparent's id", i, std::move(damaged));

            damaged = bytes;
            PutWord(damaged, records[parent->second].begin + 8, record.id);
            add("parent loop", i, std::move(damaged));
        }
        std::string twice = bytes;
        twice.insert(record.end, bytes, record.begin, record.end - record.begin);
        PutWord(twice, 4, static_cast<uint32_t>(records.size() + 1));
        add("id twice", i, std::move(twice));
    }
    if (!records.empty()) {
        std::string shortCount = bytes;
        PutWord(shortCount, 4, static_cast<uint32_t>(records.size() - 1));
        add("count one short", records.size() - 1, std::move(shortCount));
        std::string trailing = bytes;
        for (int i = 0; i < 100; ++i) {
            trailing += static_cast<char>(0xA5 ^ i);
        }
        add("trailing bytes", records.size() - 1, std::move(trailing));
    }
    return copies;
}

std::string SaveAfterLoading(const std::vector<std::string> &files, const std::string &folder) {
    ResetActorWorldForTests();
    if (InitActorSystem() == 0) {
        return {};
    }
    for (const std::string &file : files) {
        if (LoadActors(file, kSerializeLoad) == 0) {
            return {};
        }
    }
    ActorSystem *system = GetActorSystem();
    system->baseFolder = folder;
    if (SendCommandArgs(system, cmd::actor_system::SaveGame, std::string("sample.sav")) == 0) {
        return {};
    }
    return ReadWholeFile(folder + "/sample.sav");
}

std::string ReadWholeFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace actorfiles
