#include "library/library_item.h"

#include "library/bitmap_font.h"
#include "library/key_track.h"
#include "library/record_io.h"
#include "platform/sound.h"

namespace {

// Smallest subset entries: without bounds (before version 3) and with them.
constexpr uint64_t kSubsetEntryBytesV2 = 20;
constexpr uint64_t kSubsetEntryBytes = 64;
constexpr uint64_t kTextureIdBytes = 4;
constexpr uint64_t kGlyphRecordBytes = 16;

std::array<ItemLoader, kItemClassSlots>& LoaderTable() {
    static std::array<ItemLoader, kItemClassSlots> table{};
    return table;
}

void ColorIo(RecordIo& io, gfx::ColorValue& c) {
    io.F32(c.r);
    io.F32(c.g);
    io.F32(c.b);
    io.F32(c.a);
}

} // namespace

bool IsKnownItemClass(uint32_t classId) { return classId <= 7 && classId != 3; }

const char* ItemClassName(uint32_t classId) {
    switch (classId) {
    case 0:
        return "texture";
    case 1:
        return "mesh";
    case 2:
        return "sound";
    case 4:
        return "material";
    case 5:
        return "light";
    case 6:
        return "motion";
    case 7:
        return "font";
    default:
        return "?";
    }
}

std::unique_ptr<LibraryItem> CreateLibraryItem(uint32_t classId) {
    switch (classId) {
    case 0:
        return std::make_unique<TextureItem>();
    case 1:
        return std::make_unique<MeshItem>();
    case 2:
        return std::make_unique<SoundItem>();
    case 4:
        return std::make_unique<MaterialItem>();
    case 5:
        return std::make_unique<LightItem>();
    case 6:
        return std::make_unique<MotionItem>();
    case 7:
        return std::make_unique<FontItem>();
    default:
        return nullptr;
    }
}

void SetItemLoader(ItemClass cls, ItemLoader loader) {
    auto id = static_cast<uint32_t>(cls);
    if (IsKnownItemClass(id)) {
        LoaderTable()[id] = loader;
    }
}

ItemLoader GetItemLoader(ItemClass cls) {
    auto id = static_cast<uint32_t>(cls);
    return IsKnownItemClass(id) ? LoaderTable()[id] : ItemLoader{};
}

// --- LibraryItem ------------------------------------------------------------

int LibraryItem::Load() {
    ItemLoader loader = GetItemLoader(GetClass());
    return loader.load ? loader.load(*this) : 0;
}

int LibraryItem::Release() {
    ItemLoader loader = GetItemLoader(GetClass());
    return loader.release ? loader.release(*this) : 1;
}

void LibraryItem::ReleaseOwnedResource() {
    if (loaded != 0) {
        Release();
    }
}

int LibraryItem::SerializeCommon(Archive& archive) {
    RecordIo io(archive);
    io.U32(idWord);
    io.Text(name);
    io.Text(fileName);
    io.Text(filePath);
    io.Reserved(2);
    return io.Ok() ? 1 : 0;
}

int LibraryItem::Serialize(Archive& archive, int /*mode*/, uint32_t /*version*/) {
    return SerializeCommon(archive);
}

int LibraryItem::LoadAfterRead(Archive& archive, int mode) {
    if (mode != 0 || RecordIo(archive).Writing()) {
        return 1;
    }
    return Load() != 0 ? 1 : 0;
}

// --- TextureItem ------------------------------------------------------------

TextureItem::~TextureItem() { ReleaseOwnedResource(); }

int TextureItem::Serialize(Archive& archive, int mode, uint32_t version) {
    if (!SerializeCommon(archive)) {
        return 0;
    }
    RecordIo io(archive);
    io.U32(settingWords[0]);
    io.U32(settingWords[1]);
    io.U32(mipLevels);
    io.U32(kind);
    io.U32(width);
    io.U32(height);
    if (!io.Ok()) {
        return 0;
    }
    if (io.Reading() && version < 3 && kind == 0) {
        kind = 1;
    }
    return LoadAfterRead(archive, mode);
}

// --- MeshItem ---------------------------------------------------------------

MeshItem::~MeshItem() { ReleaseOwnedResource(); }

int MeshItem::Serialize(Archive& archive, int mode, uint32_t version) {
    if (!SerializeCommon(archive)) {
        return 0;
    }
    RecordIo io(archive);
    auto count = static_cast<uint32_t>(subsetSettings.size());
    if (!io.Count(count, version < 3 ? kSubsetEntryBytesV2 : kSubsetEntryBytes)) {
        return 0;
    }
    if (io.Reading()) {
        subsetSettings.resize(count);
    }
    for (SubsetSettings& s : subsetSettings) {
        io.U32(s.word0);
        io.U32(s.word1);
        if (version >= 3) {
            io.F32s(s.boxMin, 3);
            io.F32s(s.boxMax, 3);
            io.F32s(s.sphereCentre, 3);
            io.F32(s.sphereRadius);
            io.F32(s.outerRadius);
        }
        io.U32(s.secondTexture);
        io.Reserved(2);
        if (!io.Ok()) {
            return 0;
        }
        if (io.Reading()) {
            if (s.word1 == 0) {
                s.word1 = 4;
            }
            if (version < 7) {
                s.secondTexture = kNoSlot;
            }
        }
    }
    io.U32(meshKind);
    if (version >= 4) {
        io.U32(meshWord);
    }
    if (version >= 6) {
        io.F32(meshScale);
    }
    if (!io.Ok()) {
        return 0;
    }
    return LoadAfterRead(archive, mode);
}

// --- SoundItem --------------------------------------------------------------

SoundItem::~SoundItem() {
    // A private copy frees its own duplicate only: Release would release
    // the table item it was copied from too, which plays on.
    if (sourceSlot != kNoSlot) {
        ReleaseSoundBuffer(buffer);
        return;
    }
    ReleaseOwnedResource();
}

int SoundItem::Serialize(Archive& archive, int mode, uint32_t version) {
    if (!SerializeCommon(archive)) {
        return 0;
    }
    RecordIo io(archive);
    io.U32(flags);
    io.F32(volume);
    io.U32(category);
    if (!io.Ok()) {
        return 0;
    }
    if (io.Reading() && version < 5) {
        volume = 1.0f;
    }
    return LoadAfterRead(archive, mode);
}

// --- MaterialItem -----------------------------------------------------------

MaterialItem::MaterialItem() : LibraryItem(ItemClass::Material) {
    material.diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    material.ambient = {1.0f, 1.0f, 1.0f, 0.0f};
}

int MaterialItem::Serialize(Archive& archive, int /*mode*/, uint32_t /*version*/) {
    if (!SerializeCommon(archive)) {
        return 0;
    }
    RecordIo io(archive);
    ColorIo(io, material.diffuse);
    ColorIo(io, material.ambient);
    ColorIo(io, material.specular);
    ColorIo(io, material.emissive);
    io.F32(material.power);
    io.U32(specularFlag);
    io.U32(materialAlpha);
    io.U32(settingWord3);
    auto count = static_cast<uint32_t>(textureIds.size());
    if (!io.Count(count, kTextureIdBytes)) {
        return 0;
    }
    if (io.Reading()) {
        textureIds.resize(count);
    }
    for (uint32_t& id : textureIds) {
        io.U32(id);
    }
    // The words are stored in the order 4, 9, 5, 6, 8, 7, 10, 11, 12.
    io.U32(blendMode);
    io.U32(field2);
    io.U32(twoSided);
    io.U32(unlit);
    io.U32(settingWord8);
    io.U32(fog);
    io.U32(settingWord10);
    io.U32(field8);
    io.U32(bucketMask);
    io.Reserved(1);
    if (!io.Ok()) {
        return 0;
    }
    if (io.Reading() && bucketMask == 0) {
        bucketMask = (materialAlpha != 0 || blendMode != 0) ? 128u : 8u;
    }
    return 1;
}

// --- LightItem --------------------------------------------------------------

LightItem::LightItem() : LibraryItem(ItemClass::Light) {
    light.type = gfx::kLightPoint;
    light.diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.specular = {1.0f, 1.0f, 1.0f, 0.0f};
    light.direction = {0.0f, 0.0f, 1.0f};
    light.range = 200.0f;
    light.attenuation0 = 1.0f;
    light.attenuation1 = 0.001f;
}

int LightItem::Serialize(Archive& archive, int /*mode*/, uint32_t /*version*/) {
    return SerializeCommon(archive);
}

// --- MotionItem -------------------------------------------------------------

MotionItem::MotionItem() : LibraryItem(ItemClass::Motion) {}

MotionItem::~MotionItem() { ReleaseOwnedResource(); }

int MotionItem::Serialize(Archive& archive, int mode, uint32_t version) {
    if (!SerializeCommon(archive)) {
        return 0;
    }
    RecordIo io(archive);
    auto count = static_cast<uint32_t>(recordTracks.size());
    if (!io.Count(count, KeyTrack::kMinRecordBytes)) {
        return 0;
    }
    if (io.Writing()) {
        for (auto& track : recordTracks) {
            if (!track->Load(archive, mode, version)) {
                return 0;
            }
        }
        return 1;
    }
    recordTracks.reserve(recordTracks.size() + count);
    tracks.reserve(tracks.size() + count);
    for (uint32_t i = 0; i < count; ++i) {
        auto track = std::make_unique<KeyTrack>();
        if (!track->Load(archive, mode, version)) {
            return 0; // tracks read before stay with the item
        }
        tracks.push_back(std::make_unique<KeyTrack>(*track));
        recordTracks.push_back(std::move(track));
    }
    return 1;
}

namespace {

void CopyTrackList(std::vector<std::unique_ptr<KeyTrack>>& to,
                   const std::vector<std::unique_ptr<KeyTrack>>& from) {
    std::vector<std::unique_ptr<KeyTrack>> copy;
    copy.reserve(from.size());
    for (const auto& track : from) {
        copy.push_back(std::make_unique<KeyTrack>(*track));
    }
    to = std::move(copy);
}

} // namespace

void MotionItem::CopyTracksFrom(const MotionItem& other) {
    if (&other == this) {
        return;
    }
    CopyTrackList(tracks, other.tracks);
    CopyTrackList(recordTracks, other.recordTracks);
}

void MotionItem::ResetWorkingTracks() { CopyTrackList(tracks, recordTracks); }

// --- FontItem ---------------------------------------------------------------

FontItem::FontItem() : LibraryItem(ItemClass::Font), font(std::make_unique<BitmapFont>()) {
    for (int c = 32; c <= 255; ++c) {
        characterSet.push_back(static_cast<char>(c));
    }
}

FontItem::~FontItem() { ReleaseOwnedResource(); }

int FontItem::Serialize(Archive& archive, int mode, uint32_t /*version*/) {
    if (!SerializeCommon(archive)) {
        return 0;
    }
    RecordIo io(archive);
    io.Text(faceName);
    if (io.Writing() && characterSet.empty()) {
        // A length of 0 would read back as the default set: store one 0
        // byte, which reads as the empty text.
        uint32_t length = 1;
        unsigned char terminator = 0;
        io.U32(length);
        io.Bytes(&terminator, 1);
    } else {
        io.Text(characterSet);
    }
    io.U32(size);
    io.Reserved(1);
    io.U32(styleFlags);
    io.U32(glyphTexture);
    io.U32(spacing);
    if (!io.Ok()) {
        return 0;
    }
    if (HasGlyphSection()) {
        BitmapFont& f = *font;
        io.F32(f.spacing);
        io.U32(f.sheetHeight);
        io.U32(f.sheetWidth);
        uint32_t count = io.Writing() ? static_cast<uint32_t>(f.glyphs.size()) : 0;
        // The character list and the glyph map hold 256 entries.
        if (!io.Count(count, kGlyphRecordBytes) || count > BitmapFont::kMaxGlyphs) {
            return 0;
        }
        io.F32(f.sheetScale);
        io.Bytes(f.characterList, sizeof f.characterList);
        if (!io.Ok()) {
            return 0;
        }
        if (io.Reading()) {
            f.glyphs.assign(count, GlyphRecord{});
            f.glyphCount = count;
        }
        for (GlyphRecord& g : f.glyphs) {
            io.F32(g.left);
            io.F32(g.top);
            io.F32(g.right);
            io.F32(g.bottom);
        }
        if (!io.Ok()) {
            return 0;
        }
    }
    return LoadAfterRead(archive, mode);
}
