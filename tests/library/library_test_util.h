// Helpers for the library tests: raw little-endian file building, reading a
// library from memory and a sample table with one item of every class.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/byte_writer.h"
#include "base/file_system.h"
#include "library/bitmap_font.h"
#include "library/key_track.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/name_table.h"
#include "library/resource_library.h"

namespace libtest {

// Little-endian bytes, built field by field.
class Bytes {
public:
    Bytes& U32(uint32_t v) { ByteWriter(data).U32(v); return *this; }
    Bytes& F32(float f) { ByteWriter(data).F32(f); return *this; }
    Bytes& Text(const std::string& s) { ByteWriter(data).Text(s); return *this; }
    Bytes& Raw(const std::vector<uint8_t>& bytes) { ByteWriter(data).Raw(bytes); return *this; }
    // A version-7 header with no groups and the given item count.
    Bytes& Header(uint32_t items, uint32_t version = 7, float scale = 100.0f) {
        U32(version);
        if (version >= 2) {
            F32(scale).U32(0).U32(0).U32(0).U32(0);
        }
        return U32(0).U32(items);
    }
    // The common record of an item.
    Bytes& Common(const std::string& name, const std::string& file = "") {
        return U32(0).Text(name).Text(file).Text("").U32(0).U32(0);
    }
    std::vector<uint8_t> data;
};

inline int ReadBytes(ResourceLibrary& library, const std::vector<uint8_t>& bytes, int mode = 1,
                     const LibraryReadObserver& observer = {}) {
    Archive archive;
    archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return library.ReadLibraryArchive(archive, mode, observer);
}

inline void PatchU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

// Owns a set of items to write.
struct SampleTable {
    std::vector<std::unique_ptr<LibraryItem>> items;
    std::vector<uint32_t> slots;

    template <typename T>
    T& Add(uint32_t slot, const std::string& name) {
        auto item = std::make_unique<T>();
        item->name = name;
        item->slotIndex = slot;
        T& ref = *item;
        items.push_back(std::move(item));
        slots.push_back(slot);
        return ref;
    }

    std::vector<uint8_t> Write(uint32_t version, float scale = 100.0f) {
        LibraryWriter writer(version);
        writer.SetWorldScale(scale);
        for (size_t i = 0; i < items.size(); ++i) {
            writer.AddItem(slots[i], *items[i]);
        }
        return writer.WriteToMemory();
    }
};

inline std::unique_ptr<KeyTrack> MakeTrack(const char* bone, float base) {
    auto track = std::make_unique<KeyTrack>();
    track->length = 2.0f + base;
    track->nameId = GetNameTable().FindOrAdd(bone);
    track->rotationKeys.push_back({0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0});
    track->rotationKeys.push_back({0.0f, 0.7071f, 0.0f, 0.7071f, 1.0f, 0});
    track->positionKeys.push_back({base, 1.0f, 2.0f, 0.0f, 0});
    track->positionKeys.push_back({base, 1.0f, 2.0f, 1.0f, 0});
    track->scaleKeys.push_back({1.0f, 1.0f, 1.0f, 0.5f, 0});
    MatrixKey m;
    for (int i = 0; i < 16; ++i) {
        m.m[i] = (i % 5 == 0) ? 1.0f : base;
    }
    m.time = 0.25f;
    track->matrixKeys.push_back(m);
    return track;
}

// One item of every class: a material with three textures, a mesh with two subsets, a motion with
// two tracks holding all four key kinds, a font with a glyph section and one without.
inline void FillEveryClass(SampleTable& t) {
    auto& tex = t.Add<TextureItem>(1, "white");
    tex.fileName = "white.tga";
    tex.kind = 1;
    tex.width = 64;
    tex.height = 64;
    tex.settingWords[0] = 3;
    tex.settingWords[1] = 9;
    tex.mipLevels = 2;

    auto& tex2 = t.Add<TextureItem>(2, "stone");
    tex2.fileName = "Stone.tga";
    tex2.kind = 3;
    tex2.width = 256;
    tex2.height = 128;

    auto& mesh = t.Add<MeshItem>(10, "box");
    mesh.fileName = "box.qvm";
    mesh.idWord = 77;
    mesh.meshKind = 1;
    mesh.meshWord = 5;
    mesh.meshScale = 2.5f;
    mesh.subsetSettings.resize(2);
    mesh.subsetSettings[0].word0 = 1;
    mesh.subsetSettings[0].secondTexture = 2;
    mesh.subsetSettings[0].boxMin[0] = -1.0f;
    mesh.subsetSettings[0].boxMax[2] = 3.0f;
    mesh.subsetSettings[0].sphereCentre[1] = 0.5f;
    mesh.subsetSettings[0].sphereRadius = 4.0f;
    mesh.subsetSettings[0].outerRadius = 4.5f;
    mesh.subsetSettings[1].word1 = 7;

    auto& sound = t.Add<SoundItem>(20, "shot");
    sound.fileName = "shot.wav";
    sound.flags = 3;
    sound.volume = 0.5f;
    sound.category = 4;

    auto& mat = t.Add<MaterialItem>(30, "wall");
    mat.material.specular = {0.25f, 0.5f, 0.75f, 1.0f};
    mat.material.power = 8.0f;
    mat.textureIds = {1, 2, kNoSlot};
    mat.blendMode = 2;
    mat.field2 = 11;
    mat.twoSided = 1;
    mat.settingWord8 = 8;
    mat.fog = 0;
    mat.settingWord10 = 10;
    mat.field8 = 12;
    mat.bucketMask = 0x80;

    auto& light = t.Add<LightItem>(40, "sun");
    light.idWord = 4;
    light.filePath = "C:\\lights\\sun";

    auto& motion = t.Add<MotionItem>(50, "R_F_walk");
    motion.fileName = "walk.mot";
    motion.recordTracks.push_back(MakeTrack("Bip01", 0.0f));
    motion.recordTracks.push_back(MakeTrack("Bip01 Spine", 1.0f));
    for (auto& track : motion.recordTracks) {
        track->MarkInterpolatedKeys();
    }

    auto& font = t.Add<FontItem>(60, "GameFont");
    font.faceName = "Arial";
    font.size = 12;
    font.styleFlags = 1;
    font.spacing = 2;
    font.glyphTexture = 2;
    font.font->spacing = 1.0f;
    font.font->sheetWidth = 256;
    font.font->sheetHeight = 128;
    font.font->sheetScale = 1.0f;
    font.font->characterList[0] = 'A';
    font.font->characterList[1] = 'B';
    font.font->glyphs = {{0.0f, 0.0f, 0.25f, 0.5f}, {0.25f, 0.0f, 0.5f, 0.5f}};
    font.font->glyphCount = 2;

    auto& plain = t.Add<FontItem>(61, "Console");
    plain.faceName = "Lucida Console";
    plain.characterSet = "ABC";
}

} // namespace libtest
