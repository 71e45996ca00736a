#include "library/library_writer.h"

#include <algorithm>
#include <cstring>

#include "base/file_system.h"
#include "library/bitmap_font.h"
#include "library/key_track.h"
#include "library/library_item.h"
#include "library/record_io.h"
#include "library/resource_library.h"

namespace {

// A backend over a growable byte vector, for writing files into memory.
class VectorFileSystem : public FileSystem {
public:
    struct Handle {
        std::vector<uint8_t>* bytes;
        size_t position;
    };

    void* Open(const char* /*name*/, const char* /*mode*/) override { return nullptr; }

    int Close(void* handle) override {
        delete static_cast<Handle*>(handle);
        return 0;
    }

    uint32_t Read(void* buffer, uint32_t size, uint32_t count, void* handle) override {
        auto* h = static_cast<Handle*>(handle);
        if (size == 0) {
            return 0;
        }
        size_t left = h->bytes->size() - std::min(h->position, h->bytes->size());
        size_t whole = std::min<size_t>(count, left / size);
        std::memcpy(buffer, h->bytes->data() + h->position, whole * size);
        h->position += whole * size;
        return static_cast<uint32_t>(whole);
    }

    uint32_t Write(const void* buffer, uint32_t size, uint32_t count, void* handle) override {
        auto* h = static_cast<Handle*>(handle);
        size_t bytes = size_t{size} * count;
        if (h->position + bytes > h->bytes->size()) {
            h->bytes->resize(h->position + bytes);
        }
        if (bytes != 0) {
            std::memcpy(h->bytes->data() + h->position, buffer, bytes);
        }
        h->position += bytes;
        return count;
    }

    int32_t Tell(void* handle) override {
        return static_cast<int32_t>(static_cast<Handle*>(handle)->position);
    }

    int Seek(void* handle, int32_t offset, int origin) override {
        auto* h = static_cast<Handle*>(handle);
        int64_t base = origin == 0 ? 0
                       : origin == 1 ? static_cast<int64_t>(h->position)
                                     : static_cast<int64_t>(h->bytes->size());
        int64_t target = base + offset;
        if (target < 0 || origin < 0 || origin > 2) {
            return -1;
        }
        h->position = static_cast<size_t>(target);
        return 0;
    }

    int Eof(void* handle) override {
        auto* h = static_cast<Handle*>(handle);
        return h->position >= h->bytes->size() ? 1 : 0;
    }

    uint32_t Size(void* handle) override {
        return static_cast<uint32_t>(static_cast<Handle*>(handle)->bytes->size());
    }
};

bool SameBits(float a, float b) {
    uint32_t x = 0;
    uint32_t y = 0;
    std::memcpy(&x, &a, 4);
    std::memcpy(&y, &b, 4);
    return x == y;
}

bool SameBits(const float* a, const float* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (!SameBits(a[i], b[i])) {
            return false;
        }
    }
    return true;
}

bool SameColor(const gfx::ColorValue& a, const gfx::ColorValue& b) {
    return SameBits(a.r, b.r) && SameBits(a.g, b.g) && SameBits(a.b, b.b) && SameBits(a.a, b.a);
}

} // namespace

bool SameKeyTrack(const KeyTrack& a, const KeyTrack& b) {
    if (!SameBits(a.length, b.length) || a.nameId != b.nameId ||
        a.rotationKeys.size() != b.rotationKeys.size() ||
        a.positionKeys.size() != b.positionKeys.size() ||
        a.scaleKeys.size() != b.scaleKeys.size() || a.matrixKeys.size() != b.matrixKeys.size()) {
        return false;
    }
    for (size_t i = 0; i < a.rotationKeys.size(); ++i) {
        const RotationKey& x = a.rotationKeys[i];
        const RotationKey& y = b.rotationKeys[i];
        const float fx[5] = {x.x, x.y, x.z, x.w, x.time};
        const float fy[5] = {y.x, y.y, y.z, y.w, y.time};
        if (!SameBits(fx, fy, 5) || x.interpolate != y.interpolate) {
            return false;
        }
    }
    auto samePositions = [](const std::vector<PositionKey>& p, const std::vector<PositionKey>& q) {
        for (size_t i = 0; i < p.size(); ++i) {
            const float fx[4] = {p[i].x, p[i].y, p[i].z, p[i].time};
            const float fy[4] = {q[i].x, q[i].y, q[i].z, q[i].time};
            if (!SameBits(fx, fy, 4) || p[i].interpolate != q[i].interpolate) {
                return false;
            }
        }
        return true;
    };
    if (!samePositions(a.positionKeys, b.positionKeys) ||
        !samePositions(a.scaleKeys, b.scaleKeys)) {
        return false;
    }
    for (size_t i = 0; i < a.matrixKeys.size(); ++i) {
        if (!SameBits(a.matrixKeys[i].m, b.matrixKeys[i].m, 16) ||
            !SameBits(a.matrixKeys[i].time, b.matrixKeys[i].time)) {
            return false;
        }
    }
    return true;
}

namespace {

// Runs a write into a growable byte vector; empty when the write fails.
template <typename WriteFn>
std::vector<uint8_t> WriteIntoMemory(WriteFn write) {
    static VectorFileSystem backend;
    std::vector<uint8_t> bytes;
    Archive archive(&backend);
    archive.Attach(&backend, new VectorFileSystem::Handle{&bytes, 0}, true);
    int result = write(archive);
    archive.Close();
    if (!result) {
        bytes.clear();
    }
    return bytes;
}

// Writes a file through the write function; the old file stays unless the
// whole write succeeds.
template <typename WriteFn>
int WriteIntoFile(const char* path, WriteFn write) {
    Archive archive;
    if (path == nullptr || !archive.Open(path, "wb")) {
        return 0;
    }
    int result = write(archive);
    if (!result) {
        archive.SetFailed();
    }
    return archive.Close() == 0 ? result : 0;
}

} // namespace

int ArchiveWriter::WriteFile(const char* path) {
    return WriteIntoFile(path, [this](Archive& archive) { return Write(archive); });
}

std::vector<uint8_t> ArchiveWriter::WriteToMemory() {
    return WriteIntoMemory([this](Archive& archive) { return Write(archive); });
}

void LibraryWriter::AddTable(ResourceLibrary& library) {
    for (uint32_t slot = 0; slot < ResourceLibrary::kTableSize; ++slot) {
        if (LibraryItem* item = library.GetItemById(slot)) {
            AddItem(slot, *item);
        }
    }
}

int LibraryWriter::Write(Archive& archive) {
    if (!archive.IsWriting()) {
        return 0;
    }
    archive.SetVersion(version_);
    RecordIo io(archive);
    uint32_t version = version_;
    io.U32(version);
    if (version_ >= 2) {
        io.F32(worldScale_);
        io.Reserved(4);
    }
    auto groupCount = static_cast<uint32_t>(groups_.size());
    io.U32(groupCount);
    for (auto& group : groups_) {
        auto names = static_cast<uint32_t>(group.size());
        io.U32(names);
        for (std::string& name : group) {
            io.Text(name);
        }
    }
    auto itemCount = static_cast<uint32_t>(entries_.size());
    io.U32(itemCount);
    for (Entry& entry : entries_) {
        uint32_t classId = entry.item->classId;
        uint32_t slot = entry.slot;
        io.U32(classId);
        io.U32(slot);
        if (!io.Ok() || !entry.item->Serialize(archive, 1, version_)) {
            return 0;
        }
    }
    return io.Ok() ? 1 : 0;
}

// --- MotWriter ----------------------------------------------------------------

void MotWriter::AddMotion(MotionItem& motion) {
    for (int i = 0; i < 3; ++i) {
        firstVector_[i] = motion.firstVector[i];
        displacement_[i] = motion.displacement[i];
    }
    for (auto& track : motion.tracks) {
        tracks_.push_back(track.get());
    }
}

int MotWriter::Write(Archive& archive) {
    if (!archive.IsWriting()) {
        return 0;
    }
    RecordIo io(archive);
    uint32_t version = version_;
    io.U32(version);
    io.F32s(firstVector_, 3);
    io.F32s(displacement_, 3);
    auto count = static_cast<uint32_t>(tracks_.size());
    io.U32(count);
    if (!io.Ok()) {
        return 0;
    }
    for (KeyTrack* track : tracks_) {
        if (!track->Load(archive, 1, version_)) {
            return 0;
        }
    }
    return io.Ok() ? 1 : 0;
}

bool SameItemRecord(const LibraryItem& a, const LibraryItem& b) {
    if (a.classId != b.classId || a.slotIndex != b.slotIndex || a.idWord != b.idWord ||
        a.name != b.name || a.fileName != b.fileName || a.filePath != b.filePath) {
        return false;
    }
    switch (a.GetClass()) {
    case ItemClass::Texture: {
        const auto& x = static_cast<const TextureItem&>(a);
        const auto& y = static_cast<const TextureItem&>(b);
        return x.settingWords[0] == y.settingWords[0] && x.settingWords[1] == y.settingWords[1] &&
               x.mipLevels == y.mipLevels && x.kind == y.kind && x.width == y.width &&
               x.height == y.height;
    }
    case ItemClass::Mesh: {
        const auto& x = static_cast<const MeshItem&>(a);
        const auto& y = static_cast<const MeshItem&>(b);
        if (x.meshKind != y.meshKind || x.meshWord != y.meshWord ||
            !SameBits(x.meshScale, y.meshScale) ||
            x.subsetSettings.size() != y.subsetSettings.size()) {
            return false;
        }
        for (size_t i = 0; i < x.subsetSettings.size(); ++i) {
            const SubsetSettings& s = x.subsetSettings[i];
            const SubsetSettings& t = y.subsetSettings[i];
            if (s.word0 != t.word0 || s.word1 != t.word1 || s.secondTexture != t.secondTexture ||
                !SameBits(s.boxMin, t.boxMin, 3) || !SameBits(s.boxMax, t.boxMax, 3) ||
                !SameBits(s.sphereCentre, t.sphereCentre, 3) ||
                !SameBits(s.sphereRadius, t.sphereRadius) ||
                !SameBits(s.outerRadius, t.outerRadius)) {
                return false;
            }
        }
        return true;
    }
    case ItemClass::Sound: {
        const auto& x = static_cast<const SoundItem&>(a);
        const auto& y = static_cast<const SoundItem&>(b);
        return x.flags == y.flags && SameBits(x.volume, y.volume) && x.category == y.category &&
               x.sourceSlot == y.sourceSlot;
    }
    case ItemClass::Material: {
        const auto& x = static_cast<const MaterialItem&>(a);
        const auto& y = static_cast<const MaterialItem&>(b);
        return SameColor(x.material.diffuse, y.material.diffuse) &&
               SameColor(x.material.ambient, y.material.ambient) &&
               SameColor(x.material.specular, y.material.specular) &&
               SameColor(x.material.emissive, y.material.emissive) &&
               SameBits(x.material.power, y.material.power) && x.specularFlag == y.specularFlag &&
               x.materialAlpha == y.materialAlpha && x.settingWord3 == y.settingWord3 &&
               x.textureIds == y.textureIds && x.blendMode == y.blendMode &&
               x.twoSided == y.twoSided && x.unlit == y.unlit && x.fog == y.fog &&
               x.settingWord8 == y.settingWord8 && x.field2 == y.field2 &&
               x.settingWord10 == y.settingWord10 && x.field8 == y.field8 &&
               x.bucketMask == y.bucketMask;
    }
    case ItemClass::Light:
        return true;
    case ItemClass::Motion: {
        const auto& x = static_cast<const MotionItem&>(a);
        const auto& y = static_cast<const MotionItem&>(b);
        if (x.recordTracks.size() != y.recordTracks.size() ||
            !SameBits(x.firstVector, y.firstVector, 3) ||
            !SameBits(x.displacement, y.displacement, 3)) {
            return false;
        }
        for (size_t i = 0; i < x.recordTracks.size(); ++i) {
            if (!SameKeyTrack(*x.recordTracks[i], *y.recordTracks[i])) {
                return false;
            }
        }
        return true;
    }
    case ItemClass::Font: {
        const auto& x = static_cast<const FontItem&>(a);
        const auto& y = static_cast<const FontItem&>(b);
        if (x.faceName != y.faceName || x.characterSet != y.characterSet || x.size != y.size ||
            x.spacing != y.spacing || x.styleFlags != y.styleFlags ||
            x.glyphTexture != y.glyphTexture) {
            return false;
        }
        const BitmapFont& f = *x.font;
        const BitmapFont& g = *y.font;
        if (f.sheetWidth != g.sheetWidth || f.sheetHeight != g.sheetHeight ||
            !SameBits(f.sheetScale, g.sheetScale) || !SameBits(f.spacing, g.spacing) ||
            f.glyphCount != g.glyphCount || f.glyphs.size() != g.glyphs.size() ||
            std::memcmp(f.characterList, g.characterList, sizeof f.characterList) != 0) {
            return false;
        }
        for (size_t i = 0; i < f.glyphs.size(); ++i) {
            const float fx[4] = {f.glyphs[i].left, f.glyphs[i].top, f.glyphs[i].right,
                                 f.glyphs[i].bottom};
            const float fy[4] = {g.glyphs[i].left, g.glyphs[i].top, g.glyphs[i].right,
                                 g.glyphs[i].bottom};
            if (!SameBits(fx, fy, 4)) {
                return false;
            }
        }
        return true;
    }
    default:
        return false;
    }
}

bool SameLibraryTables(ResourceLibrary& a, ResourceLibrary& b) {
    for (uint32_t slot = 0; slot < ResourceLibrary::kTableSize; ++slot) {
        const LibraryItem* x = a.GetItemById(slot);
        const LibraryItem* y = b.GetItemById(slot);
        if ((x == nullptr) != (y == nullptr)) {
            return false;
        }
        if (x != nullptr && !SameItemRecord(*x, *y)) {
            return false;
        }
    }
    return true;
}
