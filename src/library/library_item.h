// Library items: the typed assets of the resource library. An item is a
// record read from the library file plus, once loaded, the device resource
// made from it. Serialize reads or writes the record (the archive's direction
// decides); Load and Release dispatch through a per-class loader table that
// the texture, mesh, sound, material, light, motion and font code fill.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "library/bone.h"
#include "library/mesh_subset.h"
#include "platform/os/gfx/records.h"

class Archive;
class BitmapFont;
class KeyTrack;
class ResourceLibrary;
struct SoundBuffer;
struct TextureObject;

// "No item": the slot word stored for an absent reference.
inline constexpr uint32_t kNoSlot = 0xFFFFFFFFu;

// Class ids as stored in the library file. Id 3 and ids above 7 name no class.
enum class ItemClass : int32_t {
    Any = -1, // look-ups only: any class
    Texture = 0,
    Mesh = 1,
    Sound = 2,
    Material = 4,
    Light = 5,
    Motion = 6,
    Font = 7,
};

inline constexpr uint32_t kItemClassSlots = 8; // ids 0..7, 3 unused

// Whether a stored class id names a class.
bool IsKnownItemClass(uint32_t classId);

// Lower-case class name for dumps ("texture", "mesh", ...); "?" when unknown.
const char* ItemClassName(uint32_t classId);

class LibraryItem {
public:
    virtual ~LibraryItem() = default;
    LibraryItem(const LibraryItem&) = delete;
    LibraryItem& operator=(const LibraryItem&) = delete;

    // Reads or writes the item's record. Mode 1 only transfers the record;
    // mode 0 reading then runs Load for textures, meshes, sounds and fonts,
    // whose failure fails the record. Answers 1, or 0 on any failure.
    virtual int Serialize(Archive& archive, int mode, uint32_t version);

    // Makes or frees the device resource through the loader table. With no
    // loader registered for the class, Load answers 0 and Release 1.
    int Load();
    int Release();

    ItemClass GetClass() const { return static_cast<ItemClass>(classId); }

    uint32_t classId;
    uint32_t slotIndex = 0;
    uint32_t idWord = 0;
    std::string name;
    std::string fileName; // relative to the base folder's "Data" folder
    std::string filePath; // used when fileName is empty
    uint32_t loaded = 0;
    uint32_t used = 0;

protected:
    explicit LibraryItem(ItemClass cls) : classId(static_cast<uint32_t>(cls)) {}

    // The common record (also the whole record of a light).
    int SerializeCommon(Archive& archive);
    // Mode-0 reading step shared by the classes that load at once.
    int LoadAfterRead(Archive& archive, int mode);
    // Runs the registered Release when the item holds its resource; for
    // destructors of classes that own device resources.
    void ReleaseOwnedResource();
};

class TextureItem : public LibraryItem {
public:
    TextureItem() : LibraryItem(ItemClass::Texture) {}
    ~TextureItem() override;
    int Serialize(Archive& archive, int mode, uint32_t version) override;

    uint32_t settingWords[2] = {0, 0};
    uint32_t mipLevels = 0; // 0 = full chain
    uint32_t kind = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    TextureObject* texture = nullptr; // made by the texture loader
};

// Per-subset record read by the 3D pass; one per mesh subset.
struct SubsetSettings {
    uint32_t word0 = 0;
    uint32_t word1 = 4;
    uint32_t secondTexture = kNoSlot; // texture stage 1, or kNoSlot
    float boxMin[3] = {0.0f, 0.0f, 0.0f};
    float boxMax[3] = {0.0f, 0.0f, 0.0f};
    float sphereCentre[3] = {0.0f, 0.0f, 0.0f};
    float sphereRadius = 0.0f;
    float outerRadius = 0.0f;
};
static_assert(sizeof(SubsetSettings) == 56);

// The geometry (subsets, bones) is made by Load from the item's mesh file
// (library/mesh.h) and freed by Release, which the destructor runs for a
// loaded item; subsets left by a failed Load go with the item.
class MeshItem : public LibraryItem {
public:
    MeshItem() : LibraryItem(ItemClass::Mesh) {}
    ~MeshItem() override;
    int Serialize(Archive& archive, int mode, uint32_t version) override;

    uint32_t meshKind = 0; // 1 = skinned; a ".qvm" file stores its own
    uint32_t meshWord = 0;
    float meshScale = 1.0f;
    std::vector<MeshSubset> subsets;
    std::vector<SubsetSettings> subsetSettings; // one per subset once loaded
    std::vector<std::unique_ptr<Bone>> bones;   // rest skeleton, parents by index
};

class SoundItem : public LibraryItem {
public:
    static constexpr uint32_t kFlagWholeFile = 1; // clear: streamed
    static constexpr uint32_t kFlag3D = 2;

    SoundItem() : LibraryItem(ItemClass::Sound) {}
    ~SoundItem() override;
    int Serialize(Archive& archive, int mode, uint32_t version) override;

    SoundBuffer* buffer = nullptr;  // made by the sound loader
    uint32_t sourceSlot = kNoSlot;  // source item of a private copy
    uint32_t flags = kFlagWholeFile;
    float volume = 1.0f;
    uint32_t category = 0;
};

class MaterialItem : public LibraryItem {
public:
    MaterialItem();
    int Serialize(Archive& archive, int mode, uint32_t version) override;

    gfx::Material material;
    uint32_t specularFlag = 0;      // word 1
    uint32_t materialAlpha = 0;     // word 2
    uint32_t settingWord3 = 0;      // word 3
    std::vector<uint32_t> textureIds; // slot per texture stage
    uint32_t blendMode = 0;         // word 4, 0..7
    uint32_t twoSided = 0;          // word 5
    uint32_t unlit = 0;             // word 6
    uint32_t fog = 1;               // word 7
    uint32_t settingWord8 = 0;      // word 8
    uint32_t field2 = 0;            // word 9
    uint32_t settingWord10 = 0;     // word 10
    uint32_t field8 = 15;           // word 11
    uint32_t bucketMask = 8;        // word 12, bit n = draw bucket n
};

class LightItem : public LibraryItem {
public:
    LightItem();
    int Serialize(Archive& archive, int mode, uint32_t version) override;

    uint32_t deviceIndex = 0;
    gfx::Light light;
    uint32_t active = 0;
};

// A motion keeps two track lists. The record's tracks are the ones read from
// (and written to) its library record; they stay absolute and live as long
// as the item. The working tracks are what callers sample: a copy of the
// record's tracks from Serialize on, rebuilt by each Load (from the record,
// or from the ".mot" file the item names), made relative on Load when the
// motion is a blend layer, and emptied by Release.
class MotionItem : public LibraryItem {
public:
    MotionItem();
    ~MotionItem() override;
    // Reading appends each track to both lists; writing writes the record's.
    int Serialize(Archive& archive, int mode, uint32_t version) override;

    // Replaces both track lists by deep copies of the other item's.
    void CopyTracksFrom(const MotionItem& other);
    // Replaces the working tracks by copies of the record's.
    void ResetWorkingTracks();

    std::vector<std::unique_ptr<KeyTrack>> tracks;       // working tracks
    std::vector<std::unique_ptr<KeyTrack>> recordTracks; // from the record
    float firstVector[3] = {0.0f, 0.0f, 0.0f};
    float displacement[3] = {0.0f, 0.0f, 0.0f};
};

class FontItem : public LibraryItem {
public:
    FontItem();
    ~FontItem() override;
    int Serialize(Archive& archive, int mode, uint32_t version) override;

    std::unique_ptr<BitmapFont> font;
    std::string faceName;
    std::string characterSet; // codes 32..255 when new
    uint32_t size = 6;
    uint32_t spacing = 0;
    uint32_t styleFlags = 0;
    uint32_t glyphTexture = kNoSlot;

    // Whether the record carries a glyph section (glyph texture neither 0
    // nor kNoSlot).
    bool HasGlyphSection() const { return glyphTexture != 0 && glyphTexture != kNoSlot; }
};

// A new empty item of a stored class id; null for an unknown id.
std::unique_ptr<LibraryItem> CreateLibraryItem(uint32_t classId);

// Loader table. Each class may register how its items make and free their
// device resources; the functions answer 1 or 0.
struct ItemLoader {
    int (*load)(LibraryItem& item) = nullptr;
    int (*release)(LibraryItem& item) = nullptr;
};

void SetItemLoader(ItemClass cls, ItemLoader loader);
ItemLoader GetItemLoader(ItemClass cls);
