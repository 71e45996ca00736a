#include "base/pack_archive.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/le_bytes.h"

// --- shared state ------------------------------------------------------------

// The archive's file, directory and cache. Owned jointly by the PackArchive
// and its open entry handles; the last of them closes the file.
struct PackState {
    struct Node {
        uint32_t hash;
        uint32_t entry;
        int32_t next;
    };

    FileSystem* underlying = nullptr; // opens names
    FileSystem* fileBackend = nullptr; // serves the archive file's handles
    std::string fileName;
    std::string damage; // the first entry whose bytes lie outside the file
    uint8_t header[PackArchive::kHeaderSize] = {};
    uint32_t fileSize = 0;
    std::vector<PackEntry> entries;
    std::vector<int32_t> buckets;
    std::vector<Node> nodes;
    std::array<int32_t, PackArchive::kCacheSlots> slots;
    void* shared = nullptr;
    bool sharedLent = false;

    PackState() : buckets(PackArchive::kBuckets, -1) { slots.fill(-1); }
    ~PackState() {
        if (shared != nullptr) {
            fileBackend->Close(shared);
        }
    }
    PackState(const PackState&) = delete;
    PackState& operator=(const PackState&) = delete;

    int Find(const std::string& key, uint32_t hash) const {
        for (int32_t n = buckets[hash & (PackArchive::kBuckets - 1)]; n >= 0; n = nodes[n].next) {
            if (nodes[n].hash == hash && entries[nodes[n].entry].key == key) {
                return static_cast<int>(nodes[n].entry);
            }
        }
        return -1;
    }
};

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LookupKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        c = c == '/' ? '\\' : LowerAscii(c);
    }
    return key;
}

// --- entry handles -----------------------------------------------------------

// What PackArchive::Open hands out. Direct: the inner backend serves exactly
// this file (a cached copy or a file of the underlying backend). In place:
// the inner handle is the archive file, positioned inside the entry.
struct EntryHandle {
    bool ownHandle = false;
    bool direct = false;
    FileSystem* inner = nullptr;
    void* innerHandle = nullptr;
    uint32_t offset = 0;
    uint32_t size = 0;
    std::shared_ptr<PackState> state;
    std::shared_ptr<const std::vector<uint8_t>> copy;
};

EntryHandle* AsEntry(void* handle) { return static_cast<EntryHandle*>(handle); }

// Serves entry handles. It outlives every archive, so a FileHandle may
// outlive DeletePackArchive.
class PackEntryFileSystem : public FileSystem {
public:
    void* Open(const char*, const char*) override { return nullptr; }

    int Close(void* handle) override {
        EntryHandle* entry = AsEntry(handle);
        if (entry == nullptr) {
            return 0;
        }
        int result = 0;
        if (entry->ownHandle) {
            result = entry->inner->Close(entry->innerHandle);
        } else if (entry->state) {
            entry->state->sharedLent = false;
        }
        delete entry;
        return result;
    }

    uint32_t Read(void* buffer, uint32_t size, uint32_t count, void* handle) override {
        EntryHandle* entry = AsEntry(handle);
        if (entry == nullptr) {
            return 0;
        }
        if (entry->direct) {
            return entry->inner->Read(buffer, size, count, entry->innerHandle);
        }
        if (size == 0) {
            return 0;
        }
        uint64_t want = uint64_t{size} * count;
        uint64_t bytes = std::min<uint64_t>(want, entry->size - Position(entry));
        uint32_t got = bytes == 0 ? 0
                                  : entry->inner->Read(buffer, 1, static_cast<uint32_t>(bytes),
                                                       entry->innerHandle);
        return got / size;
    }

    uint32_t Write(const void* buffer, uint32_t size, uint32_t count, void* handle) override {
        EntryHandle* entry = AsEntry(handle);
        if (entry == nullptr || !entry->direct) {
            return 0; // entries inside the archive are never written
        }
        return entry->inner->Write(buffer, size, count, entry->innerHandle);
    }

    int32_t Tell(void* handle) override {
        EntryHandle* entry = AsEntry(handle);
        if (entry == nullptr) {
            return -1;
        }
        if (entry->direct) {
            return entry->inner->Tell(entry->innerHandle);
        }
        return static_cast<int32_t>(Position(entry));
    }

    int Seek(void* handle, int32_t offset, int origin) override {
        EntryHandle* entry = AsEntry(handle);
        if (entry == nullptr) {
            return -1;
        }
        if (entry->direct) {
            return entry->inner->Seek(entry->innerHandle, offset, origin);
        }
        int64_t from;
        switch (origin) {
        case 0:
            from = 0;
            break;
        case 1:
            from = Position(entry);
            break;
        case 2:
            from = entry->size;
            break;
        default:
            return 0; // as the archive always did: no move, no error
        }
        int64_t target = std::clamp<int64_t>(from + offset, 0, entry->size);
        return entry->inner->Seek(entry->innerHandle, static_cast<int32_t>(entry->offset + target), 0);
    }

    int Eof(void* handle) override {
        EntryHandle* entry = AsEntry(handle);
        if (entry == nullptr) {
            return 1;
        }
        if (entry->direct) {
            return entry->inner->Eof(entry->innerHandle);
        }
        if (Position(entry) >= entry->size) {
            return 1;
        }
        return entry->inner->Eof(entry->innerHandle);
    }

    uint32_t Size(void* handle) override {
        EntryHandle* entry = AsEntry(handle);
        if (entry == nullptr) {
            return 0;
        }
        return entry->direct ? entry->inner->Size(entry->innerHandle) : entry->size;
    }

    void Abandon(void* handle) override {
        EntryHandle* entry = AsEntry(handle);
        if (entry != nullptr && entry->direct) {
            entry->inner->Abandon(entry->innerHandle);
        }
    }

private:
    // The in-place position relative to the entry, clamped to 0..size.
    static uint32_t Position(EntryHandle* entry) {
        int64_t position = int64_t{entry->inner->Tell(entry->innerHandle)} - entry->offset;
        return static_cast<uint32_t>(std::clamp<int64_t>(position, 0, entry->size));
    }
};

PackEntryFileSystem* EntryBackend() {
    static PackEntryFileSystem* fs = new PackEntryFileSystem;
    return fs;
}

} // namespace

// --- PackArchive -------------------------------------------------------------

uint32_t PackNameHash(std::string_view name) {
    uint32_t hash = 0;
    for (char c : name) {
        hash = hash * 65599u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(LowerAscii(c))));
    }
    return hash;
}

PackArchive* CreatePackArchive(const char* name, FileSystem* underlying, std::string* damage) {
    std::string ignored;
    std::string& what = damage != nullptr ? *damage : ignored;
    what.clear();
    if (name == nullptr) {
        return nullptr;
    }
    if (underlying == nullptr) {
        underlying = GetDefaultFileSystem();
    }
    auto state = std::make_shared<PackState>();
    state->underlying = underlying;
    state->fileBackend = underlying->HandleBackend();
    state->fileName = name;
    state->shared = underlying->Open(name, "rb");
    if (state->shared == nullptr) {
        return nullptr;
    }
    FileSystem* fs = state->fileBackend;
    void* file = state->shared;
    state->fileSize = fs->Size(file);
    fs->Seek(file, 0, 0);

    uint8_t countBytes[4];
    if (state->fileSize < PackArchive::kHeaderSize + 4) {
        what = "too short for an archive header (" + std::to_string(state->fileSize) + " bytes)";
        return nullptr;
    }
    if (fs->Read(state->header, PackArchive::kHeaderSize, 1, file) != 1 ||
        fs->Read(countBytes, 4, 1, file) != 1) {
        what = "the header cannot be read";
        return nullptr;
    }
    if (std::memcmp(state->header, "MORV", 4) != 0) {
        what = "not an archive (it does not start with \"MORV\")";
        return nullptr;
    }
    const uint32_t count = ReadLe32(countBytes);
    const uint64_t directoryBytes = uint64_t{count} * PackArchive::kEntrySize;
    if (directoryBytes > state->fileSize - (PackArchive::kHeaderSize + 4)) {
        what = "the directory of " + std::to_string(count) + " entries does not fit in the file";
        return nullptr;
    }
    std::vector<uint8_t> directory(directoryBytes);
    if (count > 0 && fs->Read(directory.data(), 1, static_cast<uint32_t>(directoryBytes), file) !=
                         directoryBytes) {
        what = "the directory cannot be read";
        return nullptr;
    }

    state->entries.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* record = directory.data() + uint64_t{i} * PackArchive::kEntrySize;
        PackEntry& entry = state->entries[i];
        entry.offset = ReadLe32(record);
        entry.size = ReadLe32(record + 4);
        const char* stored = reinterpret_cast<const char*>(record + 8);
        entry.storedName.assign(stored, strnlen(stored, PackArchive::kNameSize));
        entry.key = entry.storedName;
        for (char& c : entry.key) {
            c = LowerAscii(c);
        }
        // Entries reaching past the end of the file are left to loose files.
        const uint64_t end = uint64_t{entry.offset} + entry.size;
        if (end > state->fileSize || end > static_cast<uint64_t>(INT32_MAX)) {
            if (state->damage.empty()) {
                state->damage = "entry \"" + entry.storedName + "\" (bytes " +
                                std::to_string(entry.offset) + " to " + std::to_string(end) +
                                ") lies past the end of the file (" +
                                std::to_string(state->fileSize) + " bytes)";
            }
            continue;
        }
        entry.indexed = true;
        const uint32_t hash = PackNameHash(entry.key);
        int32_t& bucket = state->buckets[hash & (PackArchive::kBuckets - 1)];
        bool replaced = false;
        for (int32_t n = bucket; n >= 0; n = state->nodes[n].next) {
            PackState::Node& node = state->nodes[n];
            if (node.hash == hash && state->entries[node.entry].key == entry.key) {
                state->entries[node.entry].indexed = false;
                node.entry = i; // a later entry of a name replaces the earlier one
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            state->nodes.push_back({hash, i, bucket});
            bucket = static_cast<int32_t>(state->nodes.size() - 1);
        }
    }

    auto* archive = new PackArchive;
    archive->state_ = std::move(state);
    return archive;
}

void DeletePackArchive(PackArchive* archive) {
    if (archive == nullptr) {
        return;
    }
    if (GetCurrentFileSystem() == archive) {
        SetCurrentFileSystem(nullptr);
    }
    delete archive;
}

PackArchive::~PackArchive() {
    ReleaseEntryBuffers();
    state_.reset();
}

void* PackArchive::Open(const char* name, const char* mode) {
    if (name == nullptr) {
        return nullptr;
    }
    if (mode == nullptr) {
        mode = "";
    }
    PackState& state = *state_;
    const std::string key = LookupKey(name);
    const int index = std::strchr(mode, 'w') != nullptr ? -1 : state.Find(key, PackNameHash(key));

    if (index < 0) {
        // A leading '/' is an absolute Linux path; it must not turn into the
        // leading '\' that means the working folder.
        std::string passed = key;
        if (name[0] == '/') {
            passed[0] = '/';
        }
        void* inner = state.underlying->Open(passed.c_str(), mode);
        if (inner == nullptr) {
            return nullptr;
        }
        auto* handle = new EntryHandle;
        handle->ownHandle = true;
        handle->direct = true;
        handle->inner = state.underlying->HandleBackend();
        handle->innerHandle = inner;
        return handle;
    }

    PackEntry& entry = state.entries[index];
    ++entry.useCount;
    const bool sharedAvailable = state.shared != nullptr && !state.sharedLent;

    if (sharedAvailable && entry.size < kCacheLimit) {
        if (!entry.copy) {
            int slot = -1;
            for (int s = 0; s < kCacheSlots; ++s) {
                if (state.slots[s] < 0 || state.entries[state.slots[s]].useCount < entry.useCount) {
                    slot = s;
                    break;
                }
            }
            if (slot >= 0) {
                if (state.slots[slot] >= 0) {
                    state.entries[state.slots[slot]].copy.reset();
                }
                // One slot per entry: forget any older slot still naming it.
                for (int32_t& other : state.slots) {
                    if (other == index) {
                        other = -1;
                    }
                }
                state.slots[slot] = index;
                auto copy = std::make_shared<std::vector<uint8_t>>(entry.size);
                FileSystem* fs = state.fileBackend;
                if (fs->Seek(state.shared, static_cast<int32_t>(entry.offset), 0) == 0 &&
                    (entry.size == 0 || fs->Read(copy->data(), 1, entry.size, state.shared) == entry.size)) {
                    entry.copy = std::move(copy);
                } else {
                    state.slots[slot] = -1;
                }
            }
        }
        if (entry.copy) {
            auto* handle = new EntryHandle;
            handle->ownHandle = true;
            handle->direct = true;
            handle->inner = GetMemoryFileSystem();
            handle->innerHandle = NewReadOnlyMemoryHandle(entry.copy->data(), entry.size);
            handle->copy = entry.copy;
            handle->state = state_;
            return handle;
        }
    }

    void* file = nullptr;
    bool own = false;
    if (sharedAvailable) {
        file = state.shared;
    } else {
        file = state.underlying->Open(state.fileName.c_str(), "rb");
        own = true;
        if (file == nullptr) {
            return nullptr;
        }
    }
    auto* handle = new EntryHandle;
    handle->ownHandle = own;
    handle->direct = false;
    handle->inner = state.fileBackend;
    handle->innerHandle = file;
    handle->offset = entry.offset;
    handle->size = entry.size;
    handle->state = state_;
    if (!own) {
        state.sharedLent = true;
    }
    state.fileBackend->Seek(file, static_cast<int32_t>(entry.offset), 0);
    return handle;
}

int PackArchive::Close(void* handle) { return EntryBackend()->Close(handle); }

uint32_t PackArchive::Read(void* buffer, uint32_t size, uint32_t count, void* handle) {
    return EntryBackend()->Read(buffer, size, count, handle);
}

uint32_t PackArchive::Write(const void* buffer, uint32_t size, uint32_t count, void* handle) {
    return EntryBackend()->Write(buffer, size, count, handle);
}

int32_t PackArchive::Tell(void* handle) { return EntryBackend()->Tell(handle); }

int PackArchive::Seek(void* handle, int32_t offset, int origin) {
    return EntryBackend()->Seek(handle, offset, origin);
}

int PackArchive::Eof(void* handle) { return EntryBackend()->Eof(handle); }

uint32_t PackArchive::Size(void* handle) { return EntryBackend()->Size(handle); }

FileSystem* PackArchive::HandleBackend() { return EntryBackend(); }

void PackArchive::Abandon(void* handle) { EntryBackend()->Abandon(handle); }

void PackArchive::ReleaseEntryBuffers() {
    for (PackEntry& entry : state_->entries) {
        entry.useCount = 0;
        entry.copy.reset();
    }
}

int PackArchive::Find(std::string_view name) const {
    const std::string key = LookupKey(name);
    return state_->Find(key, PackNameHash(key));
}

const std::vector<PackEntry>& PackArchive::Entries() const { return state_->entries; }

const std::string& PackArchive::Damage() const { return state_->damage; }

int PackArchive::CacheSlot(int slot) const {
    return slot >= 0 && slot < kCacheSlots ? state_->slots[slot] : -1;
}

bool PackArchive::SharedHandleAvailable() const { return state_->shared != nullptr && !state_->sharedLent; }

// --- file extensions ---------------------------------------------------------

std::string GetFileExtension(std::string_view name) {
    const size_t length = std::min(name.size(), name.find('\0'));
    // Positions length (the terminator) down to length - 14, never 0.
    const size_t lowest = length > 14 ? length - 14 : 1;
    size_t i = length;
    for (; i >= lowest && i > 0; --i) {
        if (i < length && name[i] == '.') {
            return "." + std::string(name.substr(i + 1, length - i - 1));
        }
    }
    return "." + std::string(name.substr(std::min(lowest, length), length - std::min(lowest, length)));
}
