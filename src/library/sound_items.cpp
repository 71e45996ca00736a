// Sound items of the resource library: their Load and Release, the library's
// operations on them with the 32 category volumes, and the sound device of
// the display start-up.
#include "library/sound_items.h"

#include <string>

#include "base/math.h"
#include "library/display.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "platform/sound.h"

namespace {

// Capabilities of a 3D duplicate: 3D, frequency and volume control.
constexpr uint32_t kDuplicate3DFlags = 0xB0;

SoundItem* AsSound(LibraryItem* item) {
    return item != nullptr && item->GetClass() == ItemClass::Sound ? static_cast<SoundItem*>(item)
                                                                   : nullptr;
}

int LoadSoundItem(LibraryItem& item) {
    auto& sound = static_cast<SoundItem&>(item);
    if (sound.loaded != 0) {
        return 1;
    }
    ResourceLibrary* library = GetLibrary();
    if (library == nullptr) {
        return 0;
    }
    if (sound.sourceSlot == kNoSlot) {
        if (library->CreateLibrarySound(&sound) != 1) {
            return 0;
        }
        sound.loaded = 1;
        return 1;
    }
    // A private copy: a duplicate of its source's buffer.
    SoundItem* source = AsSound(library->GetItemById(sound.sourceSlot));
    if (source == nullptr) {
        return 0;
    }
    if ((sound.flags & SoundItem::kFlag3D) != 0) {
        source->flags |= SoundItem::kFlag3D;
    }
    library->LoadItem(source);
    if (library->IsSoundEnabled() == 0) {
        sound.loaded = 1; // silent: no buffer, as for the source
        return 1;
    }
    const uint32_t caps = (source->flags & SoundItem::kFlag3D) != 0 ? kDuplicate3DFlags : 0;
    SoundBuffer* buffer = DuplicateSoundBuffer(source->buffer, caps);
    if (buffer == nullptr) {
        return library->ReportLibraryError("%s", GetSoundErrorText());
    }
    sound.buffer = buffer;
    sound.loaded = 1;
    return 1;
}

int ReleaseSoundItem(LibraryItem& item) {
    auto& sound = static_cast<SoundItem&>(item);
    if (sound.loaded == 0) {
        return 1;
    }
    if (sound.sourceSlot != kNoSlot) {
        ResourceLibrary* library = GetLibrary();
        LibraryItem* source = library == nullptr ? nullptr : library->GetItemById(sound.sourceSlot);
        if (AsSound(source) == nullptr) {
            return 0;
        }
        library->ReleaseItem(source);
    }
    ReleaseSoundBuffer(sound.buffer);
    sound.buffer = nullptr;
    sound.loaded = 0;
    return 1;
}

// The display start-up's sound device: false with the sound layer's text
// when none opens, and the engine then runs silent.
bool OpenSoundDevice(EngineWindow* window, uint32_t channels, uint32_t samplesPerSecond,
                     uint32_t bits, std::string* errorText) {
    if (CreateSoundDevice(window, channels, samplesPerSecond, bits) == 1) {
        return true;
    }
    if (errorText != nullptr) {
        *errorText = GetSoundErrorText();
    }
    return false;
}

// Registered whenever this file is part of the program.
[[maybe_unused]] const bool registered = (RegisterSoundServices(), true);

} // namespace

void RegisterSoundServices() {
    SetItemLoader(ItemClass::Sound, {LoadSoundItem, ReleaseSoundItem});
    SetCreateSoundDeviceHook(OpenSoundDevice);
}

// --- ResourceLibrary ---------------------------------------------------------------

namespace {

// The item's sound, made first when it is not yet; null without one.
SoundBuffer* LoadedBuffer(ResourceLibrary& library, SoundItem* sound) {
    if (sound->buffer == nullptr) {
        library.LoadItem(sound);
    }
    return sound->buffer;
}

} // namespace

int ResourceLibrary::CreateLibrarySound(SoundItem* item) {
    if (item == nullptr) {
        return ReportLibraryError("Error: Create Sound Library Sound");
    }
    if (soundEnabled_ == 0) {
        return 1;
    }
    ReleaseSoundBuffer(item->buffer);
    item->buffer = nullptr;
    const std::string path = GetDataFilePath(*item);
    const uint32_t caps = (item->flags & SoundItem::kFlag3D) != 0 ? kSoundFlags3D : kSoundFlags2D;
    if ((item->flags & SoundItem::kFlagWholeFile) != 0) {
        item->buffer = OpenStaticSound(path.c_str(), caps);
    } else {
        item->buffer = OpenStreamedSound(path.c_str(), caps);
    }
    if (item->buffer == nullptr) {
        NoteItemLoadFailure(GetSoundErrorText());
        return ReportLibraryError("%s", GetSoundErrorText());
    }
    return 1;
}

void ResourceLibrary::SetSoundCategoryVolume(uint32_t category, float volume) {
    if (soundEnabled_ == 0 || category >= kSoundCategories) {
        return;
    }
    if (!(volume >= 0.0f)) {
        volume = 0.0f; // below 0 or not a number
    } else if (volume > 1.0f) {
        volume = 1.0f;
    }
    soundCategoryVolumes_[category] = volume;
}

float ResourceLibrary::GetSoundCategoryVolume(uint32_t category) const {
    return category < kSoundCategories ? soundCategoryVolumes_[category] : 1.0f;
}

void ResourceLibrary::PlaySoundItem(LibraryItem* item) {
    SoundItem* sound = AsSound(item);
    if (sound != nullptr && soundEnabled_ != 0) {
        PlaySoundBuffer(LoadedBuffer(*this, sound), 0);
    }
}

void ResourceLibrary::PlaySoundItemLooped(LibraryItem* item) {
    SoundItem* sound = AsSound(item);
    if (sound != nullptr && soundEnabled_ != 0) {
        PlaySoundBuffer(LoadedBuffer(*this, sound), 1);
    }
}

void ResourceLibrary::StopSoundItem(LibraryItem* item) {
    SoundItem* sound = AsSound(item);
    if (sound != nullptr && soundEnabled_ != 0) {
        StopSoundBuffer(sound->buffer);
    }
}

void ResourceLibrary::PauseSoundItem(LibraryItem* item) {
    SoundItem* sound = AsSound(item);
    if (sound != nullptr && soundEnabled_ != 0) {
        PauseSoundBuffer(sound->buffer);
    }
}

uint32_t ResourceLibrary::IsSoundItemPlaying(LibraryItem* item) {
    SoundItem* sound = AsSound(item);
    if (sound == nullptr || soundEnabled_ == 0) {
        return 0;
    }
    return IsSoundBufferPlaying(sound->buffer);
}

float ResourceLibrary::GetSoundItemLength(LibraryItem* item) {
    SoundItem* sound = AsSound(item);
    if (sound == nullptr || soundEnabled_ == 0) {
        return 0.0f;
    }
    return GetSoundLength(LoadedBuffer(*this, sound));
}

void ResourceLibrary::SetSoundItemVolume(LibraryItem* item, float volume) {
    SoundItem* sound = AsSound(item);
    if (sound == nullptr || soundEnabled_ == 0) {
        return;
    }
    SoundBuffer* buffer = LoadedBuffer(*this, sound);
    // A category read from the file may lie beyond the table: full volume.
    SetSoundVolume(buffer, GetSoundCategoryVolume(sound->category) * sound->volume * volume);
}

void ResourceLibrary::SetSoundItemFrequency(LibraryItem* item, float factor) {
    SoundItem* sound = AsSound(item);
    if (sound != nullptr && soundEnabled_ != 0) {
        SetSoundFrequency(LoadedBuffer(*this, sound), factor);
    }
}

void ResourceLibrary::SetSoundItemPosition(LibraryItem* item, const Vector3& position) {
    SoundItem* sound = AsSound(item);
    if (sound != nullptr && soundEnabled_ != 0) {
        SetSoundPosition(LoadedBuffer(*this, sound), position);
    }
}

void ResourceLibrary::SetSoundItemDistances(LibraryItem* item, float minDistance,
                                            float maxDistance) {
    SoundItem* sound = AsSound(item);
    if (sound != nullptr && soundEnabled_ != 0) {
        SetSoundDistances(LoadedBuffer(*this, sound), minDistance, maxDistance);
    }
}

void ResourceLibrary::TraceSound(uint32_t value) { (void)value; }
