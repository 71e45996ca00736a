// ".mot" motion files from untrusted bytes, read through the motion loader's own path on an
// in-memory file: reading must fail cleanly or succeed; a motion that was read must write back and
// read again unchanged, and its tracks must sample and make relative without faults.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "base/file_system.h"
#include "library/key_track.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/motion.h"
#include "library/resource_library.h"

namespace {

// Serves one block of memory, read-only, under every name.
class BlockFileSystem : public FileSystem {
public:
    BlockFileSystem(const void* data, uint32_t size) : data_(data), size_(size) {}
    void* Open(const char* /*name*/, const char* /*mode*/) override {
        return NewReadOnlyMemoryHandle(data_, size_);
    }
    int Close(void* h) override { return Mem()->Close(h); }
    uint32_t Read(void* b, uint32_t s, uint32_t c, void* h) override {
        return Mem()->Read(b, s, c, h);
    }
    uint32_t Write(const void* b, uint32_t s, uint32_t c, void* h) override {
        return Mem()->Write(b, s, c, h);
    }
    int32_t Tell(void* h) override { return Mem()->Tell(h); }
    int Seek(void* h, int32_t o, int origin) override { return Mem()->Seek(h, o, origin); }
    int Eof(void* h) override { return Mem()->Eof(h); }
    uint32_t Size(void* h) override { return Mem()->Size(h); }

private:
    static MemoryFileSystem* Mem() { return GetMemoryFileSystem(); }
    const void* data_;
    uint32_t size_;
};

int ReadMot(ResourceLibrary& library, MotionItem& item, const void* data, uint32_t size) {
    BlockFileSystem fs(data, size);
    FileSystem* previous = GetCurrentFileSystem();
    SetCurrentFileSystem(&fs);
    int result = LoadMotionData(&library, &item, "fuzz.mot");
    SetCurrentFileSystem(previous);
    return result;
}

void SampleEveryTrack(const MotionItem& item) {
    volatile float sink = 0.0f;
    for (const auto& track : item.tracks) {
        const float times[] = {0.0f, 0.5f, 1.0f, 1e30f, -1.0f,
                               std::numeric_limits<float>::quiet_NaN(), track->length};
        for (float t : times) {
            Quaternion q = track->SampleRotation(t);
            Vector3 p = track->SamplePosition(t);
            Vector3 s = track->SampleScale(t);
            sink = sink + q.w + p.x + s.y;
        }
    }
    Vector3 v{};
    GetMotionVelocity(&item, &v);
    sink = sink + v.x;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) {
        return 0;
    }
    ResourceLibrary library;
    MotionItem item;
    int read = ReadMot(library, item, data, static_cast<uint32_t>(size));
    SampleEveryTrack(item);
    if (read != 1) {
        return 0;
    }
    uint32_t version = 0;
    std::memcpy(&version, data, sizeof version);
    MotWriter writer(version);
    writer.AddMotion(item);
    std::vector<uint8_t> written = writer.WriteToMemory();
    if (written.empty()) {
        std::abort(); // a motion that was read can always be written
    }
    MotionItem again;
    if (ReadMot(library, again, written.data(), static_cast<uint32_t>(written.size())) != 1 ||
        again.tracks.size() != item.tracks.size() ||
        std::memcmp(again.firstVector, item.firstVector, sizeof item.firstVector) != 0 ||
        std::memcmp(again.displacement, item.displacement, sizeof item.displacement) != 0) {
        std::abort();
    }
    for (size_t i = 0; i < item.tracks.size(); ++i) {
        if (!SameKeyTrack(*again.tracks[i], *item.tracks[i])) {
            std::abort();
        }
    }
    MakeMotionRelative(&again, &item);
    MakeMotionRelative(&item, &item);
    SampleEveryTrack(again);
    return 0;
}
