// Feeds the input as "pack.csa" through an in-memory backend, opens every
// indexed name and a few others, reads with seeks, and checks that an open
// entry serves exactly its bytes and that Tell, Size and Eof agree.
#include "base/file_system.h"
#include "base/pack_archive.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Serves the fuzz input under the one name "pack.csa"; nothing else exists.
class InputFiles : public MemoryFileSystem {
public:
    InputFiles(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}
    void* Open(const char* name, const char* mode) override {
        if (std::strcmp(name, "pack.csa") != 0 || std::strchr(mode, 'w') != nullptr) {
            return nullptr;
        }
        return NewReadOnlyMemoryHandle(data_, size_);
    }

private:
    const uint8_t* data_;
    uint32_t size_;
};

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// Reads a whole open entry in pieces and compares it with its bytes.
void ReadAndCompare(FileHandle& file, const uint8_t* expected, uint32_t size, uint8_t step) {
    Check(file.Size() == size, "size");
    Check(file.Tell() == 0, "starts at 0");
    std::vector<uint8_t> got(size);
    const uint32_t chunk = 1 + step % 97;
    uint32_t done = 0;
    while (done < size) {
        const uint32_t n = std::min(chunk, size - done);
        Check(file.Read(got.data() + done, n) == 1, "read inside the entry");
        done += n;
        Check(file.Tell() == static_cast<int32_t>(done), "tell follows reads");
    }
    Check(size == 0 || std::memcmp(got.data(), expected, size) == 0, "entry bytes");
    Check(file.Eof(), "eof at the end");
    uint8_t extra;
    Check(file.Read(&extra, 1) == 0, "no byte past the end");
    Check(file.Tell() == static_cast<int32_t>(size), "tell at the end");

    // Seeks stay inside the entry.
    file.Seek(static_cast<int32_t>(size / 2), 0);
    Check(file.Tell() == static_cast<int32_t>(size / 2), "seek set");
    file.Seek(-1000000, 1);
    Check(file.Tell() == 0, "seek clamps at 0");
    file.Seek(1000000, 2);
    Check(file.Tell() == static_cast<int32_t>(size), "seek clamps at the end");
    if (size > 0) {
        file.Seek(-1, 2);
        Check(file.Read(&extra, 1) == 1 && extra == expected[size - 1], "last byte");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) {
        return 0;
    }
    InputFiles files(data, static_cast<uint32_t>(size));
    PackArchive* archive = CreatePackArchive("pack.csa", &files);
    if (archive == nullptr) {
        return 0;
    }
    std::vector<std::string> names;
    for (const PackEntry& entry : archive->Entries()) {
        names.push_back(entry.storedName);
    }
    names.insert(names.end(), {"missing", "", "PACK.CSA"});

    const uint8_t step = size > 20 ? data[20] : 0;
    for (int round = 0; round < 3; ++round) {
        // One handle stays open across the round, so later opens need the
        // second archive handle or the cache.
        FileHandle held(archive);
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string& name = names[i];
            const int index = archive->Find(name);
            FileHandle file(archive);
            const bool opened = file.Open(name, "rb");
            if (index < 0) {
                // Only the loose file "pack.csa" exists beside the archive.
                Check(!opened || file.Size() == size, "misses reach the underlying files");
                continue;
            }
            Check(opened, "an indexed entry opens");
            const PackEntry& entry = archive->Entries()[index];
            Check(uint64_t{entry.offset} + entry.size <= size, "indexed entries lie inside");
            ReadAndCompare(file, data + entry.offset, entry.size, static_cast<uint8_t>(step + i));
            if (!held.IsOpen() && (i + round) % 2 == 0) {
                held.Open(name, "rb");
            }
        }
        if (round == 1) {
            archive->ReleaseEntryBuffers();
        }
    }
    FileHandle late(archive);
    late.Open(names.front(), "rb");
    DeletePackArchive(archive);
    if (late.IsOpen()) {
        uint8_t byte;
        late.Read(&byte, 1);
    }
    return 0;
}
