// The pack archive: a FileSystem backend that serves the entries of one
// archive file ("pack.csa") and passes every other name, and every write, on
// to the backend beneath it.
//
// File layout (little-endian): "MORV", 12 header bytes the reader ignores,
// u32 entry count, then per entry {u32 offset, u32 size, 128-byte name,
// 0-terminated, '\' separators}, then the data at the given offsets. Names
// match without regard to A-Z case.
//
// Entries smaller than 16384 bytes are copied into memory when opened, in up
// to 32 cache slots kept for the most often opened entries; larger ones are
// read in place from the archive file. Cached copies are shared with the
// handles reading them, so eviction and ReleaseEntryBuffers never pull data
// from under an open handle. Open entry handles also keep the archive's file
// and directory alive after DeletePackArchive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_system.h"

struct PackEntry {
    uint32_t useCount = 0; // opens since the last ReleaseEntryBuffers
    std::shared_ptr<const std::vector<uint8_t>> copy; // the cache's copy, or null
    uint32_t offset = 0;
    uint32_t size = 0;
    std::string storedName; // as in the file, up to its first 0
    std::string key;        // storedName with A-Z lower-cased
    bool indexed = false;   // false when its bytes lie outside the file
};

struct PackState;

class PackArchive : public FileSystem {
public:
    static constexpr uint32_t kHeaderSize = 16;
    static constexpr uint32_t kEntrySize = 136;
    static constexpr uint32_t kNameSize = 128;
    static constexpr uint32_t kBuckets = 4096;
    static constexpr int kCacheSlots = 32;
    static constexpr uint32_t kCacheLimit = 16384; // entries below this size are cached

    ~PackArchive() override;

    // An entry of the archive when the name ('/' or '\' separators, any case)
    // names one and the mode does not write; otherwise the underlying
    // backend's file of that name, converted to '\' and lower case.
    void* Open(const char* name, const char* mode) override;
    int Close(void* handle) override;
    uint32_t Read(void* buffer, uint32_t size, uint32_t count, void* handle) override;
    uint32_t Write(const void* buffer, uint32_t size, uint32_t count, void* handle) override;
    int32_t Tell(void* handle) override;
    int Seek(void* handle, int32_t offset, int origin) override;
    int Eof(void* handle) override;
    uint32_t Size(void* handle) override;
    FileSystem* HandleBackend() override;
    void Abandon(void* handle) override;

    // Drops every cached copy and starts every use count again at 0.
    void ReleaseEntryBuffers();

    // The index of the entry a name opens, or -1.
    int Find(std::string_view name) const;
    const std::vector<PackEntry>& Entries() const;
    // What is wrong with an archive that opened: the first entry whose bytes
    // do not lie inside the file (a file cut short), or empty when every
    // entry does. Such entries are left to the underlying backend.
    const std::string& Damage() const;
    // The entry a cache slot points at, or -1.
    int CacheSlot(int slot) const;
    // False while an in-place entry reads through the archive's own handle.
    bool SharedHandleAvailable() const;

private:
    friend PackArchive* CreatePackArchive(const char* name, FileSystem* underlying,
                                          std::string* damage);
    PackArchive() = default;

    std::shared_ptr<PackState> state_;
};

// Opens an archive through underlying (null: the operating system's files).
// Null when the file does not open, its magic is wrong, or its directory does
// not fit in it. When the file opens but is no usable archive, `damage` (if
// given) says what is wrong with it; otherwise it is left empty.
PackArchive* CreatePackArchive(const char* name, FileSystem* underlying,
                               std::string* damage = nullptr);
// Also resets the current file system to none when it was this archive.
void DeletePackArchive(PackArchive* archive);

// The index hash: h = h * 65599 + byte over the name with A-Z lower-cased,
// bytes taken as signed.
uint32_t PackNameHash(std::string_view name);

// The extension of a file name as the resource library picks loaders by it:
// '.' followed by what follows the last '.' found among the last 14
// characters (never the first); without a '.' there, those characters.
std::string GetFileExtension(std::string_view name);
