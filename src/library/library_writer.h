// Writes library files: the header and every entry through the items' own
// Serialize, so a written file reads back exactly. For tests, fuzz seeds and
// data generators; the engine itself never writes the library file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Archive;
class LibraryItem;
class ResourceLibrary;

class LibraryWriter {
public:
    explicit LibraryWriter(uint32_t version = 7) : version_(version) {}

    uint32_t Version() const { return version_; }
    // Stored from version 2 on.
    void SetWorldScale(float scale) { worldScale_ = scale; }
    void AddGroup(std::vector<std::string> names) { groups_.push_back(std::move(names)); }
    // The item is written with its class id and this slot; the caller keeps
    // it alive until the write.
    void AddItem(uint32_t slot, LibraryItem& item) { entries_.push_back({slot, &item}); }
    // Every item of the library's table, in slot order.
    void AddTable(ResourceLibrary& library);

    // Writes to an archive open for writing and sets its version. 1 or 0.
    int Write(Archive& archive);
    // Writes a file (replaced only when the whole write succeeds). 1 or 0.
    int WriteFile(const char* path);
    // Writes into memory; an empty result when a record cannot be written.
    std::vector<uint8_t> WriteToMemory();

private:
    struct Entry {
        uint32_t slot;
        LibraryItem* item;
    };

    uint32_t version_;
    float worldScale_ = 100.0f;
    std::vector<std::vector<std::string>> groups_;
    std::vector<Entry> entries_;
};

// Whether two items hold the same record: class, slot, common record and
// class fields, floats compared bit for bit. Loaded and used flags and
// device resources are not compared.
bool SameItemRecord(const LibraryItem& a, const LibraryItem& b);

// Whether two libraries hold equal records in every slot.
bool SameLibraryTables(ResourceLibrary& a, ResourceLibrary& b);
