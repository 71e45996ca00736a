#include "library/resource_library.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <new>
#include <utility>

#include "base/file_system.h"
#include "library/bitmap_font.h"
#include "library/mesh.h"
#include "library/motion.h"
#include "library/record_io.h"
#include "library/render/font_services.h"
#include "library/render/shadow_volume.h"
#include "library/save_device.h"
#include "library/sound_items.h"
#include "library/texture_items.h"
#include "library/video_items.h"
#include "platform/graphics.h"
#include "platform/timer.h"
#include "platform/video.h"

namespace {

ResourceLibrary* g_library = nullptr;
// The library CreateEngineServices made; it lives until the process ends.
ResourceLibrary* g_servicesLibrary = nullptr;
FontItem* g_defaultFont = nullptr;
DeviceStateHook g_restoreHook = nullptr;

// Smallest records of the file's header sections.
constexpr uint64_t kGroupBytes = 4;     // a group's name count
constexpr uint64_t kGroupNameBytes = 4; // an empty text
constexpr uint64_t kItemEntryBytes = 32; // class, slot, common record

const char kFatalError[] = "Fatal Library Serialization Error";

// The fields every item carries (all but the class and the use count), for
// a private copy.
void CopyItemHeader(const LibraryItem& from, LibraryItem* to) {
    to->slotIndex = from.slotIndex;
    to->idWord = from.idWord;
    to->name = from.name;
    to->fileName = from.fileName;
    to->filePath = from.filePath;
    to->loaded = from.loaded;
}

int FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool EqualNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        int ca = FoldAscii(static_cast<unsigned char>(*a));
        int cb = FoldAscii(static_cast<unsigned char>(*b));
        if (ca != cb) {
            return false;
        }
        if (ca == 0) {
            return true;
        }
    }
}

// The first n characters compare equal ignoring ASCII case; the terminator
// counts as a character.
bool EqualNoCaseN(const char* a, const char* b, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
        int ca = FoldAscii(static_cast<unsigned char>(a[i]));
        int cb = FoldAscii(static_cast<unsigned char>(b[i]));
        if (ca != cb) {
            return false;
        }
        if (ca == 0) {
            return true;
        }
    }
    return true;
}

} // namespace

// --- life and set-up ----------------------------------------------------------

// Any library installs the lost-device path's font release and state
// restore; both act on the library that GetLibrary answers at the time.
ResourceLibrary::ResourceLibrary() : items_(kTableSize, nullptr) {
    LostDeviceHooks hooks;
    hooks.releaseFontTextures = [] {
        if (ResourceLibrary *library = GetLibrary()) library->ReleaseFontTextures();
    };
    hooks.restoreDeviceState = [] {
        if (ResourceLibrary *library = GetLibrary()) library->RestoreDeviceState();
    };
    SetDefaultLostDeviceHooks(std::move(hooks));
}

ResourceLibrary::~ResourceLibrary() {
    for (LibraryItem*& item : items_) {
        delete item;
        item = nullptr;
    }
}

void ResourceLibrary::SetBaseFolder(const char* folder) {
    baseFolder_ = folder ? folder : "";
    SetSaveFolder((baseFolder_ + "\\SaveGames").c_str());
}

uint32_t ResourceLibrary::ReadSavedGameFile(uint32_t device, uint32_t slot, void* buffer,
                                            uint32_t size) {
    return ::ReadSavedGameFile(device, slot, buffer, size);
}

uint32_t ResourceLibrary::IsSaveDeviceAvailable(uint32_t device) {
    return SaveDevice::IsAvailable(device);
}

uint32_t ResourceLibrary::MountSaveDevice(uint32_t device) { return SaveDevice::Mount(device); }

uint32_t ResourceLibrary::GetSaveDeviceState(uint32_t device) {
    return SaveDevice::GetState(device);
}

uint32_t ResourceLibrary::IsSaveDeviceInserted(uint32_t device, uint32_t* out) {
    return SaveDevice::IsInserted(device, out);
}

uint32_t ResourceLibrary::GetSaveDeviceName(uint32_t device, char* buffer, uint32_t size) {
    return SaveDevice::GetName(device, buffer, size);
}

uint32_t ResourceLibrary::GetSaveDeviceSpace(uint32_t device, uint32_t* free, uint32_t* total) {
    return SaveDevice::GetSpace(device, free, total);
}

uint32_t ResourceLibrary::GetSaveDeviceSizeText(uint32_t device, char* buffer, uint32_t size) {
    return SaveDevice::GetSizeText(device, buffer, size);
}

uint32_t ResourceLibrary::WriteSavedGameFile(uint32_t device, const char* name, const void* data,
                                             uint32_t size, uint32_t unused1, uint32_t unused2) {
    return SaveDevice::WriteFile(device, name, data, size, unused1, unused2);
}

uint32_t ResourceLibrary::ListSavedGameFiles(uint32_t device, uint32_t* count) {
    return SaveDevice::ListFiles(device, count);
}

void ResourceLibrary::SetTextureQuality(uint32_t formatMode, uint32_t divisor) {
    textureFormatMode_ = formatMode;
    textureSizeDivisor_ = divisor;
}

int ResourceLibrary::ReportLibraryError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(lastError_, sizeof lastError_, format, args);
    va_end(args);
    return 0;
}

ResourceLibrary* GetLibrary() { return g_library; }

ResourceLibrary* ReplaceLibraryForTests(ResourceLibrary* library) {
    ResourceLibrary* previous = g_library;
    g_library = library;
    return previous;
}

void DestroyEngineServicesLibraryForTests() {
    if (g_library == g_servicesLibrary) {
        g_library = nullptr;
    }
    delete g_servicesLibrary;
    g_servicesLibrary = nullptr;
}

int CreateEngineServices() {
    if (g_library == nullptr) {
        // Lives until the process ends; one made before and since replaced
        // by a test's comes back.
        if (g_servicesLibrary == nullptr) {
            g_servicesLibrary = new (std::nothrow) ResourceLibrary();
        }
        g_library = g_servicesLibrary;
        if (g_library == nullptr) {
            return 0;
        }
    }
    RegisterMotionLoader();
    RegisterMeshLoader();
    RegisterRenderFrontEnd();
    RegisterFontServices();
    RegisterShadowVolumes();
    if (!CreateGraphics()) {
        return 0;
    }
    // A new device starts from its default states, whatever an earlier
    // device of this process was left with.
    ResetBlendModeTracking();
    if (!CreateFrameTimer()) {
        return 0;
    }
    RegisterSoundServices();
    InitSaveDevice(0);
    RegisterTextureItemLoaders();
    InstallVideoHooks();
    return 1;
}

FontItem* GetDefaultFontItem() { return g_defaultFont; }
void SetDefaultFontItem(FontItem* font) { g_defaultFont = font; }
void SetRestoreDeviceStateHook(DeviceStateHook hook) { g_restoreHook = hook; }

// --- library file -------------------------------------------------------------

std::string ResourceLibrary::LibraryFilePath() const { return baseFolder_ + "\\DAZedirad.qvf"; }

int ResourceLibrary::SerializeLibrary(int mode) {
    return ReadLibraryFile(LibraryFilePath().c_str(), mode);
}

int ResourceLibrary::ReadLibraryFile(const char* path, int mode,
                                     const LibraryReadObserver& observer) {
    Archive archive;
    if (path == nullptr || !OpenArchiveForReading(archive, path)) {
        return ReportLibraryError("Serialize File Open Error");
    }
    int result = ReadLibraryArchive(archive, mode, observer);
    CloseArchive(archive);
    return result;
}

int ResourceLibrary::ReadLibraryArchive(Archive& archive, int mode,
                                        const LibraryReadObserver& observer) {
    RecordIo io(archive);
    LibraryFileInfo info;
    io.U32(info.version);
    if (!io.Ok()) {
        return ReportLibraryError(kFatalError);
    }
    SetArchiveVersion(archive, info.version);
    if (info.version >= 2) {
        io.F32(info.worldScale);
        io.Reserved(4);
        if (!io.Ok()) {
            return ReportLibraryError(kFatalError);
        }
        // A scale that is not finite and positive has no usable inverse:
        // keep the defaults.
        if (std::isfinite(info.worldScale) && info.worldScale > 0.0f) {
            float inverse = 1.0f / info.worldScale;
            if (std::isfinite(inverse) && inverse > 0.0f) {
                worldScale_ = info.worldScale;
                inverseWorldScale_ = inverse;
            }
        }
    }

    if (!io.Count(info.groupCount, kGroupBytes)) {
        return ReportLibraryError(kFatalError);
    }
    std::string scratch;
    for (uint32_t g = 0; g < info.groupCount; ++g) {
        uint32_t names = 0;
        if (!io.Count(names, kGroupNameBytes)) {
            return ReportLibraryError(kFatalError);
        }
        for (uint32_t i = 0; i < names && io.Ok(); ++i) {
            io.Text(scratch);
        }
        if (!io.Ok()) {
            return ReportLibraryError(kFatalError);
        }
    }

    if (!io.Count(info.itemCount, kItemEntryBytes)) {
        return ReportLibraryError(kFatalError);
    }
    if (observer.onHeader) {
        observer.onHeader(info);
    }

    for (uint32_t i = 0; i < info.itemCount; ++i) {
        uint32_t classId = 0;
        uint32_t slot = 0;
        io.U32(classId);
        io.U32(slot);
        if (!io.Ok()) {
            return ReportLibraryError(kFatalError);
        }
        if (!IsKnownItemClass(classId)) {
            return ReportLibraryError("Fatal Library Serialization Error - Unknown Class ID");
        }
        // The table has no such slot; no valid file holds one.
        if (!IsItemIndexValid(slot)) {
            return ReportLibraryError(kFatalError);
        }
        std::unique_ptr<LibraryItem> created = CreateLibraryItem(classId);
        LibraryItem* item = created.release();
        StoreItem(slot, item);
        item->slotIndex = slot;
        itemLoadFailure_.clear();
        if (!item->Serialize(archive, mode, info.version)) {
            // The item stays in its slot. A file its loader refused is named.
            if (itemLoadFailure_.empty()) {
                return ReportLibraryError(kFatalError);
            }
            return ReportLibraryError("%s (item \"%s\", file \"%s\": %s)", kFatalError,
                                      item->name.c_str(), GetDataFilePath(*item).c_str(),
                                      itemLoadFailure_.c_str());
        }
        if (observer.onEntry) {
            observer.onEntry(slot, *item);
        }
    }
    return 1;
}

void ResourceLibrary::StoreItem(uint32_t slot, LibraryItem* item) {
    // Nothing refers to the replaced item while the file is read.
    delete items_[slot];
    items_[slot] = item;
}

// --- look-ups -----------------------------------------------------------------

LibraryItem* ResourceLibrary::GetItemById(uint32_t index) {
    if (!IsItemIndexValid(index)) {
        ReportLibraryError("Error Invalid Container ID");
        return nullptr;
    }
    return items_[index];
}

LibraryItem* ResourceLibrary::FindItemByName(const char* name, ItemClass cls) {
    if (name == nullptr) {
        return nullptr;
    }
    for (LibraryItem* item : items_) {
        if (item == nullptr) {
            continue;
        }
        if (cls != ItemClass::Any && item->classId != static_cast<uint32_t>(cls)) {
            continue;
        }
        if (EqualNoCase(item->name.c_str(), name)) {
            item->used = 1;
            return item;
        }
    }
    return nullptr;
}

LibraryItem* ResourceLibrary::UseItem(uint32_t index) {
    if (!IsItemIndexValid(index) || items_[index] == nullptr) {
        return nullptr;
    }
    items_[index]->used = 1;
    return items_[index];
}

std::vector<uint32_t> ResourceLibrary::FindItemsByPrefix(const char* prefix, uint32_t n,
                                                         ItemClass cls) {
    std::vector<uint32_t> found;
    if (prefix == nullptr) {
        return found;
    }
    for (uint32_t slot = 0; slot < kTableSize; ++slot) {
        const LibraryItem* item = items_[slot];
        if (item != nullptr && item->classId == static_cast<uint32_t>(cls) &&
            EqualNoCaseN(item->name.c_str(), prefix, n)) {
            found.push_back(slot);
        }
    }
    return found;
}

int32_t ResourceLibrary::GetItemIndex(const LibraryItem* item) {
    return item ? static_cast<int32_t>(item->slotIndex) : -1;
}

const char* ResourceLibrary::GetItemName(const LibraryItem* item) {
    return item ? item->name.c_str() : nullptr;
}

int ResourceLibrary::LoadItem(LibraryItem* item) {
    if (item != nullptr) {
        item->Load();
    }
    return 1;
}

int ResourceLibrary::ReleaseItem(LibraryItem* item) {
    if (item != nullptr) {
        item->Release();
    }
    return 1;
}

LibraryItem* ResourceLibrary::AcquireItem(uint32_t index, ItemClass cls, uint32_t copy,
                                          uint32_t playFlags) {
    if (!IsItemIndexValid(index) || items_[index] == nullptr) {
        return nullptr;
    }
    LibraryItem* item = items_[index];
    if (item->classId != static_cast<uint32_t>(cls)) {
        return nullptr;
    }
    // Private copies start unused, so that DeleteItemIfUnused frees them.
    if (copy != 0) {
        switch (cls) {
        case ItemClass::Sound: {
            const auto& source = static_cast<const SoundItem&>(*item);
            auto* c = new SoundItem();
            c->sourceSlot = index;
            c->flags = SoundItem::kFlagWholeFile | playFlags;
            c->volume = source.volume;
            c->category = source.category;
            return c;
        }
        case ItemClass::Material: {
            const auto& source = static_cast<const MaterialItem&>(*item);
            auto* c = new MaterialItem();
            CopyItemHeader(source, c);
            c->material = source.material;
            c->specularFlag = source.specularFlag;
            c->materialAlpha = source.materialAlpha;
            c->settingWord3 = source.settingWord3;
            c->textureIds = source.textureIds;
            c->blendMode = source.blendMode;
            c->twoSided = source.twoSided;
            c->unlit = source.unlit;
            c->fog = source.fog;
            c->settingWord8 = source.settingWord8;
            c->field2 = source.field2;
            c->settingWord10 = source.settingWord10;
            c->field8 = source.field8;
            c->bucketMask = source.bucketMask;
            return c;
        }
        case ItemClass::Motion: {
            // Every field, the key tracks copied deeply: each item frees its
            // own tracks.
            const auto& source = static_cast<const MotionItem&>(*item);
            auto* c = new MotionItem();
            CopyItemHeader(source, c);
            for (int i = 0; i < 3; ++i) {
                c->firstVector[i] = source.firstVector[i];
                c->displacement[i] = source.displacement[i];
            }
            c->CopyTracksFrom(source);
            return c;
        }
        default:
            break;
        }
    }
    if (cls == ItemClass::Font) {
        item->Load();
    }
    item->used = 1;
    return item;
}

LibraryItem* ResourceLibrary::AcquireItemByName(const char* name, ItemClass cls, uint32_t copy,
                                                uint32_t playFlags) {
    if (name == nullptr) {
        return nullptr;
    }
    for (uint32_t slot = 0; slot < kTableSize; ++slot) {
        const LibraryItem* item = items_[slot];
        if (item != nullptr && item->classId == static_cast<uint32_t>(cls) &&
            EqualNoCase(item->name.c_str(), name)) {
            return AcquireItem(slot, cls, copy, playFlags);
        }
    }
    return nullptr;
}

void ResourceLibrary::DeleteItemIfUnused(LibraryItem* item) {
    if (item == nullptr || item->used != 0) {
        return;
    }
    // A table item is never deleted, used or not. Copies and run-time items
    // carry any slot word, so the slot is checked before it is compared.
    if (IsItemIndexValid(item->slotIndex) && items_[item->slotIndex] == item) {
        return;
    }
    delete item;
}

std::string ResourceLibrary::GetDataFilePath(const LibraryItem& item) const {
    if (!item.fileName.empty()) {
        return baseFolder_ + "\\Data\\" + item.fileName;
    }
    return item.filePath;
}

// --- device reset -------------------------------------------------------------

void ResourceLibrary::ReleaseFontTextures() {
    for (LibraryItem* item : items_) {
        if (item != nullptr && item->classId == static_cast<uint32_t>(ItemClass::Font)) {
            auto* font = static_cast<FontItem*>(item);
            if (font->font) {
                font->font->ReleaseDeviceObjects();
            }
        }
    }
    if (g_defaultFont != nullptr && g_defaultFont->font) {
        g_defaultFont->font->ReleaseDeviceObjects();
    }
}

void ResourceLibrary::RestoreDeviceState() {
    // A reset device is back at its default states.
    ResetBlendModeTracking();
    if (g_restoreHook != nullptr) {
        g_restoreHook(*this);
    }
}
