// Writes library files (the header and every entry through the items' own
// Serialize) and ".mot" motion files (through KeyTrack's serializer), so a
// written file reads back exactly. For tests, fuzz seeds and data
// generators; the engine itself never writes these files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Archive;
class KeyTrack;
class LibraryItem;
class MotionItem;
class ResourceLibrary;

// A writer of one kind of file: Write fills an archive open for writing; the
// file and memory forms go through it.
class ArchiveWriter {
public:
    virtual ~ArchiveWriter() = default;

    // Writes to an archive open for writing. 1 or 0.
    virtual int Write(Archive& archive) = 0;
    // Writes a file (replaced only when the whole write succeeds). 1 or 0.
    int WriteFile(const char* path);
    // Writes into memory; an empty result when a record cannot be written.
    std::vector<uint8_t> WriteToMemory();
};

class LibraryWriter : public ArchiveWriter {
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
    int Write(Archive& archive) override;

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

// Writes ".mot" motion files: version, first vector, displacement vector,
// track count, then every track through KeyTrack's own serializer. For
// tests, fuzz seeds and data generators.
class MotWriter : public ArchiveWriter {
public:
    explicit MotWriter(uint32_t version = 1) : version_(version) {}

    void SetFirstVector(float x, float y, float z) {
        firstVector_[0] = x;
        firstVector_[1] = y;
        firstVector_[2] = z;
    }
    void SetDisplacement(float x, float y, float z) {
        displacement_[0] = x;
        displacement_[1] = y;
        displacement_[2] = z;
    }
    // The caller keeps the track alive until the write.
    void AddTrack(KeyTrack& track) { tracks_.push_back(&track); }
    // The motion's two vectors and its working tracks.
    void AddMotion(MotionItem& motion);

    // Writes to an archive open for writing. 1 or 0.
    int Write(Archive& archive) override;

private:
    uint32_t version_;
    float firstVector_[3] = {0.0f, 0.0f, 0.0f};
    float displacement_[3] = {0.0f, 0.0f, 0.0f};
    std::vector<KeyTrack*> tracks_;
};

// Whether two tracks are equal: name id, length, every key and flag, floats
// compared bit for bit.
bool SameKeyTrack(const KeyTrack& a, const KeyTrack& b);

// Whether two items hold the same record: class, slot, common record and
// class fields, floats compared bit for bit. Loaded and used flags and
// device resources are not compared.
bool SameItemRecord(const LibraryItem& a, const LibraryItem& b);

// Whether two libraries hold equal records in every slot.
bool SameLibraryTables(ResourceLibrary& a, ResourceLibrary& b);
