#include "actors/presentation/ambient_sound_actor.h"

#include <cmath>
#include <cstdio>

#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/process_entry.h"
#include "core/actors/scheduled_command.h"
#include "core/actors/time_record.h"
#include "library/library_item.h"
#include "library/resource_library.h"

namespace {

// An every-pass entry on layer 2 keeps "Process" running.

// A saved entry: the name's length word and eight more words.
constexpr uint64_t kEntryRecordBytes = 36;
constexpr uint32_t kNameBytes = 128;

// Parameter offsets of "ASound Play" and "ASound Play Looping".
constexpr size_t kPlayChannel = kNameBytes;
constexpr size_t kPlayTime = kNameBytes + 4;

// Fade times that are not numbers count as no fade.
float FadeTime(float t) { return std::isfinite(t) ? t : 0.0f; }

} // namespace

AmbientSoundActor::AmbientSoundActor() : entries(kAmbientChannelCount) {
    classId = kAmbientSoundClassId;
}

AmbientSoundActor::~AmbientSoundActor() {
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr) {
        return;
    }
    for (AmbientSoundEntry &entry : entries) {
        // The items are the library's own: one that another Ambient Sound
        // still plays goes on playing.
        if (entry.item != nullptr && !PlayedByAnother(entry.item)) {
            library->StopSoundItem(entry.item);
            library->ReleaseItem(entry.item);
        }
    }
}

bool AmbientSoundActor::PlayedByAnother(const LibraryItem *item) const {
    for (size_t id = NextActorId(0); id < ActorTable.size(); id = NextActorId(id + 1)) {
        const Actor *actor = ActorTable[id];
        if (actor == this || actor->classId != kAmbientSoundClassId) {
            continue;
        }
        const auto *other = static_cast<const AmbientSoundActor *>(actor);
        for (const AmbientSoundEntry &entry : other->entries) {
            if (entry.item == item) {
                return true;
            }
        }
    }
    return false;
}

void AmbientSoundActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kAmbientSoundClassId);
    descriptor.lineage = {0, kAmbientSoundClassId};
    descriptor.items.clear();
    descriptor.items.push_back(
        PropertyItem::PropertyItemBasic("Ambient Sound Properties", PropertyKind::PageTitle, 0, 0));
}

void AmbientSoundActor::SendVolume(const AmbientSoundEntry &entry) {
    if (ResourceLibrary *library = GetLibrary()) {
        library->SetSoundItemVolume(entry.item, entry.volume * entry.fade);
    }
}

void AmbientSoundActor::SendAllVolumes() {
    for (const AmbientSoundEntry &entry : entries) {
        if (entry.item != nullptr) {
            SendVolume(entry);
        }
    }
}

void AmbientSoundActor::PlayItem(const AmbientSoundEntry &entry) {
    if (ResourceLibrary *library = GetLibrary()) {
        if (entry.looping != 0) {
            library->PlaySoundItemLooped(entry.item);
        } else {
            library->PlaySoundItem(entry.item);
        }
    }
}

void AmbientSoundActor::Release(const AmbientSoundEntry &entry, float fadeTime) {
    AmbientSoundEntry released;
    released.item = entry.item;
    released.name = entry.name;
    released.volume = entry.volume;
    released.looping = entry.looping;
    released.fade = 1.0f;
    released.frequency = 1.0f;
    released.state = kAmbientReleased;
    // The rate is positive for either sign of the time, so the sound always
    // dies away.
    released.fadeRate = 1.0f / (std::fabs(fadeTime) + 0.001f);
    entries.push_back(released);
}

void AmbientSoundActor::Play(const std::string &name, uint32_t channel, float fadeTime, bool loop) {
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr || !IsChannel(channel)) {
        return;
    }
    LibraryItem *found = library->FindItemByName(name.c_str(), ItemClass::Sound);
    if (found == nullptr) {
        return;
    }
    for (size_t i = channelCount; i < entries.size(); ++i) {
        if (entries[i].item == found) {
            return; // still fading out
        }
    }
    const float t = FadeTime(fadeTime);
    AmbientSoundEntry &e = entries[channel - 1];
    if (e.useRefCount != 0) {
        ++e.refCount;
    }
    if (e.item != nullptr) {
        if (ResourceLibrary::GetItemIndex(e.item) == ResourceLibrary::GetItemIndex(found)) {
            return;
        }
        if (t < 0.0f) {
            // The push may move the list: e is looked up again below.
            const AmbientSoundEntry old = e;
            Release(old, t);
        } else {
            library->StopSoundItem(e.item);
        }
    }
    AmbientSoundEntry &entry = entries[channel - 1];
    entry.item = found;
    entry.name = name;
    entry.frequency = 1.0f;
    entry.channel = channel - 1;
    if (t > 0.0f) {
        entry.fade = 0.0f;
        entry.fadeRate = 1.0f / t;
        entry.state = kAmbientFadingIn;
    } else {
        entry.fade = 1.0f;
        entry.state = kAmbientPlaying;
    }
    SendVolume(entry);
    entry.looping = loop ? 1 : 0;
    PlayItem(entry);
}

void AmbientSoundActor::Stop(uint32_t channel, float fadeTime) {
    if (!IsChannel(channel)) {
        return;
    }
    AmbientSoundEntry &e = entries[channel - 1];
    if (e.useRefCount != 0) {
        --e.refCount;
        if (e.refCount > 0) {
            return;
        }
    }
    const float t = FadeTime(fadeTime);
    if (t != 0.0f) {
        const AmbientSoundEntry old = e;
        Release(old, t);
    } else if (ResourceLibrary *library = GetLibrary()) {
        library->StopSoundItem(e.item);
    }
    AmbientSoundEntry &entry = entries[channel - 1];
    entry.item = nullptr;
    entry.name.clear();
    entry.state = kAmbientFree;
}

int AmbientSoundActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    ResourceLibrary *library = GetLibrary();
    switch (commandId) {
    case cmd::ambient_sound::ASoundPlay:
    case cmd::ambient_sound::ASoundPlayLooping:
        if (!block.empty()) {
            const std::string name(block.Sub(0, kNameBytes).ReadString(0));
            Play(name, block.ReadU32(kPlayChannel), block.ReadF32(kPlayTime),
                 commandId == cmd::ambient_sound::ASoundPlayLooping);
        }
        break;
    case cmd::ambient_sound::ASoundStop:
        if (!block.empty()) {
            Stop(block.ReadU32(0), block.ReadF32(4));
        }
        break;
    case cmd::ambient_sound::ASoundVolume: {
        const uint32_t channel = block.ReadU32(0);
        // A volume change over time is not supported: only time 0.0 acts.
        if (!block.empty() && IsChannel(channel) && block.ReadF32(8) == 0.0f) {
            AmbientSoundEntry &entry = entries[channel - 1];
            entry.volume = static_cast<float>(block.ReadI32(4)) * 0.01f;
            if (entry.item != nullptr) {
                SendVolume(entry);
            }
        }
        break;
    }
    case cmd::ambient_sound::ASoundPan:
    case cmd::ambient_sound::ASoundFrequency:
        break; // the channel is all they carry that counts: no effect
    case cmd::ambient_sound::ASoundPreLoad:
        if (library != nullptr && !block.empty()) {
            const std::string name(block.ReadString(0));
            library->FindItemByName(name.c_str(), ItemClass::Sound);
        }
        break;
    case cmd::ambient_sound::ASoundUseRefcount: {
        const uint32_t channel = block.ReadU32(0);
        if (!block.empty() && IsChannel(channel)) {
            entries[channel - 1].useRefCount = block.ReadU32(4) != 0 ? 1 : 0;
        }
        break;
    }
    case cmd::ambient_sound::ASoundUpdateVolumes:
    case cmd::sound::SoundUpdatePlayingSoundParams:
        SendAllVolumes();
        break;
    case cmd::ambient_sound::ASoundPause:
        state &= ~kActorOperational;
        if (library != nullptr) {
            for (const AmbientSoundEntry &entry : entries) {
                if (entry.item != nullptr) {
                    library->StopSoundItem(entry.item);
                }
            }
        }
        break;
    case cmd::ambient_sound::ASoundResume:
        state |= kActorOperational;
        for (const AmbientSoundEntry &entry : entries) {
            if (entry.item != nullptr) {
                PlayItem(entry);
            }
        }
        break;
    case cmd::base::Precalculate:
        for (AmbientSoundEntry &entry : entries) {
            if (entry.name.empty()) {
                continue;
            }
            LibraryItem *found = library != nullptr
                                     ? library->FindItemByName(entry.name.c_str(), ItemClass::Sound)
                                     : nullptr;
            if (found == nullptr) {
                entry = AmbientSoundEntry();
                continue;
            }
            entry.item = found;
            PlayItem(entry);
        }
        EnsureProcessEntry(*this);
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void AmbientSoundActor::Process() {
    if (!IsOperational()) {
        return;
    }
    float delta = 0.0f;
    float rate = 1.0f;
    if (timeRecord != nullptr) {
        RefreshTimeRecord(timeRecord);
        delta = timeRecord->delta;
        rate = timeRecord->effectiveMultiplier;
    }
    ResourceLibrary *library = GetLibrary();
    size_t i = 0;
    while (i < entries.size()) {
        AmbientSoundEntry &entry = entries[i];
        if (entry.item != nullptr && library != nullptr) {
            library->SetSoundItemFrequency(entry.item, rate * entry.frequency);
        }
        switch (entry.state) {
        case kAmbientPlaying:
            if (entry.looping == 0 &&
                (library == nullptr || library->IsSoundItemPlaying(entry.item) == 0)) {
                if (library != nullptr) {
                    library->StopSoundItem(entry.item);
                }
                entry.item = nullptr;
                entry.name.clear();
                entry.state = kAmbientFree;
            }
            break;
        case kAmbientFadingIn:
            entry.fade += entry.fadeRate * delta;
            if (entry.fade > 1.0f) {
                entry.fade = 1.0f;
                entry.state = kAmbientPlaying;
            }
            SendVolume(entry);
            break;
        case kAmbientReleased:
            entry.fade -= entry.fadeRate * delta;
            SendVolume(entry);
            if (entry.fade < 0.0f) {
                if (library != nullptr) {
                    library->StopSoundItem(entry.item);
                }
                entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            break;
        default:
            break;
        }
        ++i;
    }
}

int AmbientSoundActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    const uint32_t version = archive.Version();
    const bool reading = !archive.IsWriting();
    if (version >= 1) {
        uint32_t unused[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        archive.SerializeWords(unused, 8);
    }
    uint32_t count = 0;
    if (version >= 41) {
        count = archive.SerializeU32(static_cast<uint32_t>(entries.size()));
    }
    if (reading) {
        // A count that the rest of the file cannot hold is a broken file.
        if (archive.Failed() || uint64_t{count} * kEntryRecordBytes > archive.BytesLeft()) {
            archive.SetFailed();
            return 0;
        }
        entries.assign(count, AmbientSoundEntry());
    }
    if (version >= 41) {
        for (AmbientSoundEntry &entry : entries) {
            if (reading) {
                entry.name.clear(); // an empty stored name leaves the text as it was
            }
            archive.SerializeString(entry.name);
            archive.SerializeFloat(&entry.fade);
            archive.SerializeFloat(&entry.fadeRate);
            archive.SerializeFloat(&entry.frequency);
            archive.SerializeWord(&entry.state);
            archive.SerializeWord(&entry.looping);
            archive.SerializeWords(&entry.refCount, 1);
            archive.SerializeWord(&entry.useRefCount);
            archive.SerializeWord(&entry.channel);
        }
    }
    if (reading && entries.size() < channelCount) {
        entries.resize(channelCount);
    }
    return archive.Failed() ? 0 : 1;
}

void AmbientSoundActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("ambientsound entries " + std::to_string(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const AmbientSoundEntry &e = entries[i];
        lines.push_back("ambiententry " + std::to_string(i) + " name " + DumpText(e.name) +
                        " fade " + DumpNumber(e.fade) + " rate " + DumpNumber(e.fadeRate) +
                        " frequency " + DumpNumber(e.frequency) + " state " +
                        std::to_string(e.state) + " looping " + std::to_string(e.looping) +
                        " refcount " + std::to_string(e.refCount) + " userefcount " +
                        std::to_string(e.useRefCount) + " channel " + std::to_string(e.channel));
    }
}
