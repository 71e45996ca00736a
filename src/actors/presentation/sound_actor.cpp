#include "actors/presentation/sound_actor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/file_system.h"
#include "base/random.h"
#include "core/actors/actor_services.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/scheduled_command.h"
#include "core/actors/time_record.h"
#include "library/library_item.h"
#include "library/resource_library.h"

namespace {


// Interpolated without catch-up, tag 0, not saved; and a one-shot entry.
constexpr uint32_t kFadeFlags = 0xD00;
constexpr uint32_t kOnceFlags = 0x200;
constexpr float kFadeTime = 1.0f;
constexpr float kFadeStep = 1.0f / 30.0f;
constexpr float kRestartFadeRate = 10.0f;

// clang-format off
const BasicSheetRow kSheet[] = {
    {"Sound Properties", PropertyKind::PageTitle, 0, 0},
    {"Set Sound:", PropertyKind::SoundPick, cmd::sound::SetSound, cmd::sound::GetSound},
    {"Type:|2D Sound|0|3D Sound|1|", PropertyKind::Enumeration, cmd::sound::SetSoundType, cmd::sound::GetSoundType},
    {"Play:|Once|0|Loop|1|Loop Times|2|", PropertyKind::Enumeration, cmd::sound::SetSoundPlayStyle, cmd::sound::GetSoundPlayStyle},
    {"Loop Count:", PropertyKind::WholeNumber, cmd::sound::SetLoopCount, cmd::sound::GetLoopCount},
    {"Play On Start Game", PropertyKind::CheckBox, cmd::sound::SetStartPlaying, cmd::sound::GetStartPlaying},
    {"Range:", PropertyKind::Real, cmd::sound::SetSoundRadius, cmd::sound::GetSoundRadius},
    {"Min:", PropertyKind::Real, cmd::sound::SetSoundMinRadius, cmd::sound::GetSoundMinRadius},
    {"3D Effect:", PropertyKind::Real, cmd::sound::Set3DPosEffect, cmd::sound::Get3DPosEffect},
    {"Sound Volume, Pan, Frequency", PropertyKind::PageTitle, 0, 0},
    {"Volume:", static_cast<PropertyKind>(41), cmd::sound::SetVolume, cmd::sound::GetVolume},
    {"Pan:", PropertyKind::Real, cmd::sound::SetPan, cmd::sound::GetPan},
    {"Frequency:|%|", PropertyKind::Real, cmd::sound::SetFrequency, cmd::sound::GetFrequency, 100.0f},
    {"Random Variation", PropertyKind::Caption, 0, 0},
    {"Volume:", static_cast<PropertyKind>(41), cmd::sound::SetVolumeV, cmd::sound::GetVolumeV},
    {"Pan:", static_cast<PropertyKind>(41), cmd::sound::SetPanV, cmd::sound::GetPanV},
    {"Frequency:", static_cast<PropertyKind>(41), cmd::sound::SetFrequencyV, cmd::sound::GetFrequencyV},
    {"Sound Control", PropertyKind::PageTitle, 0, 0},
    {"Play:", PropertyKind::Button, cmd::sound::PlaySound, 0},
    {"Pause:", PropertyKind::Button, cmd::sound::PauseSound, 0},
    {"Stop:", PropertyKind::Button, cmd::sound::StopSound, 0},
};
// clang-format on

// The first "Pan:" row, the base pan: ranged as the value is kept.
constexpr size_t kPanRow = 11;

void SendSelf(Actor &actor, uint32_t commandId) { actor.HandleCommand(commandId, ParamBlock()); }

} // namespace

SoundActor::SoundActor() { classId = kSoundClassId; }

SoundActor::~SoundActor() { ReleaseItem(); }

void SoundActor::RegisterClass() {
    RegisterBasicClassSheet(kSoundClassId, kSheet);
    PropertyItem &pan = NameClassDescriptor(kSoundClassId).items[kPanRow];
    pan.ranged = 1;
    pan.minimum = -1.0f;
    pan.maximum = 1.0f;
}

float SoundActor::TimeRate() {
    if (timeRecord == nullptr) {
        return 1.0f;
    }
    RefreshTimeRecord(timeRecord);
    return timeRecord->simMultiplier * timeRecord->effectiveMultiplier;
}

void SoundActor::ReleaseItem() {
    if (item != nullptr) {
        if (ResourceLibrary *library = GetLibrary()) {
            library->DeleteItemIfUnused(item);
        }
        item = nullptr;
    }
}

LibraryItem *SoundActor::AcquireAt(uint32_t index) {
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr) {
        return nullptr;
    }
    return library->AcquireItem(index, ItemClass::Sound, 1, PlayFlag());
}

void SoundActor::SendVolume(float value) {
    if (ResourceLibrary *library = GetLibrary()) {
        library->SetSoundItemVolume(item, value);
    }
}

void SoundActor::SendFrequency(float value) {
    if (ResourceLibrary *library = GetLibrary()) {
        library->SetSoundItemFrequency(item, value);
    }
}

int SoundActor::SetSound(LibraryItem *newItem) {
    // The index is taken before the old item goes: a property sheet writes
    // back the item that 406 gave, which is our own copy.
    int32_t index = newItem != nullptr ? ResourceLibrary::GetItemIndex(newItem) : -1;
    if (auto *sound = dynamic_cast<SoundItem *>(newItem); sound != nullptr &&
                                                          sound->sourceSlot != kNoSlot) {
        index = static_cast<int32_t>(sound->sourceSlot);
    }
    ReleaseItem();
    if (index < 0) {
        return 0;
    }
    itemIndex = static_cast<uint32_t>(index);
    item = AcquireAt(itemIndex);
    if (item == nullptr) {
        return 0;
    }
    ResourceLibrary *library = GetLibrary();
    if (playStyle == kSoundLoop) {
        library->PlaySoundItemLooped(item);
    }
    SendVolume(restartFade * currentVolume);
    SendFrequency(TimeRate() * currentFrequency);
    return 1;
}

void SoundActor::RandomizeParameters() {
    const int r1 = Rand() % 10000;
    const int r2 = Rand() % 10000;
    const int r3 = Rand() % 10000;
    currentFrequency =
        frequency * (1.0f - (static_cast<float>(r1) * 0.0002f - 1.0f) * frequencyVariation);
    currentVolume = volume * (1.0f - static_cast<float>(r2) * 0.0001f * volumeVariation);
    currentPan = pan + (static_cast<float>(r3) * 0.0002f - 1.0f) * panVariation;
}

void SoundActor::StartPlaying(bool loop) {
    playing = 1;
    RandomizeParameters();
    if (ResourceLibrary *library = GetLibrary()) {
        if (loop) {
            library->PlaySoundItemLooped(item);
        } else {
            library->PlaySoundItem(item);
        }
    }
    SendVolume(restartFade * currentVolume);
    SendFrequency(TimeRate() * currentFrequency);
}

void SoundActor::ScheduleFade(float from, float to) {
    ScheduleLerp(cmd::sound::Sound, from, to, kFadeFlags, kFadeTime, kFadeStep);
}

int SoundActor::Create(ParamBlock block) {
    Actor *sourceActor = block.ReadActor(0);
    auto *source = dynamic_cast<SoundActor *>(sourceActor);
    if (source != nullptr && source != this) {
        CopyFrom(*source);
        // Every field but the item: this copy acquires its own below.
        itemIndex = source->itemIndex;
        type = source->type;
        volume = source->volume;
        pan = source->pan;
        frequency = source->frequency;
        volumeVariation = source->volumeVariation;
        panVariation = source->panVariation;
        frequencyVariation = source->frequencyVariation;
        currentVolume = source->currentVolume;
        currentPan = source->currentPan;
        currentFrequency = source->currentFrequency;
        minRadius = source->minRadius;
        radius = source->radius;
        positionEffect = source->positionEffect;
        playOnStart = source->playOnStart;
        playStyle = source->playStyle;
        loopCount = source->loopCount;
        reserved = source->reserved;
        resourcesLoaded = source->resourcesLoaded;
        lastFrequency = source->lastFrequency;
        spare = source->spare;
        actionVolume = source->actionVolume;
        soundVolume = source->soundVolume;
        // The fresh item below plays nothing: the copy starts idle, with no
        // restart under way, whatever its template was doing.
        playing = 0;
        restartFade = 1.0f;
        restartPending = 0;
    }
    ReleaseItem();
    item = AcquireAt(itemIndex);
    return item != nullptr ? 1 : 0;
}

int SoundActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    ResourceLibrary *library = GetLibrary();
    switch (commandId) {
    case cmd::sound::SetSound:
        if (SetSound(static_cast<LibraryItem *>(block.ReadPointer(0))) == 0) {
            return 0;
        }
        break;
    case cmd::sound::GetSound:
        block.WritePointer(0, item);
        break;
    case cmd::sound::SetSoundType:
        type = block.ReadU32(0);
        break;
    case cmd::sound::GetSoundType:
        block.WriteU32(0, type);
        break;
    case cmd::sound::SetSoundPlayStyle:
        playStyle = block.ReadU32(0);
        break;
    case cmd::sound::GetSoundPlayStyle:
        block.WriteU32(0, playStyle);
        break;
    case cmd::sound::SetLoopCount:
        loopCount = block.ReadU32(0);
        break;
    case cmd::sound::GetLoopCount:
        block.WriteU32(0, loopCount);
        break;
    case cmd::sound::SetStartPlaying:
        playOnStart = block.ReadU32(0);
        if (playOnStart != 0) {
            StartPlaying(false);
        }
        break;
    case cmd::sound::GetStartPlaying:
        block.WriteU32(0, playOnStart);
        break;
    case cmd::sound::SetSoundMinRadius:
        minRadius = std::min(block.ReadF32(0), radius);
        break;
    case cmd::sound::GetSoundMinRadius:
        block.Write(0, minRadius);
        if (type == kSound2D) {
            return 0;
        }
        break;
    case cmd::sound::SetSoundRadius:
        radius = std::max(block.ReadF32(0), 0.0f);
        break;
    case cmd::sound::GetSoundRadius:
        block.Write(0, radius);
        if (type == kSound2D) {
            return 0;
        }
        break;
    case cmd::sound::SetVolume:
        volume = std::clamp(block.ReadF32(0), 0.0f, 1.0f);
        currentVolume = volume;
        break;
    case cmd::sound::GetVolume:
        block.Write(0, volume);
        break;
    case cmd::sound::SetPan:
        pan = std::clamp(block.ReadF32(0), -1.0f, 1.0f);
        currentPan = pan;
        break;
    case cmd::sound::GetPan:
        block.Write(0, pan);
        if (type == kSound3D) {
            return 0;
        }
        break;
    case cmd::sound::SetFrequency:
        frequency = block.ReadF32(0);
        currentFrequency = frequency;
        break;
    case cmd::sound::GetFrequency:
        block.Write(0, frequency);
        break;
    case cmd::sound::SetVolumeV:
        volumeVariation = block.ReadF32(0);
        break;
    case cmd::sound::GetVolumeV:
        block.Write(0, volumeVariation);
        break;
    case cmd::sound::SetPanV:
        panVariation = block.ReadF32(0);
        break;
    case cmd::sound::GetPanV:
        block.Write(0, panVariation);
        break;
    case cmd::sound::SetFrequencyV:
        frequencyVariation = block.ReadF32(0);
        break;
    case cmd::sound::GetFrequencyV:
        block.Write(0, frequencyVariation);
        break;
    case cmd::sound::Set3DPosEffect:
        positionEffect = block.ReadF32(0);
        break;
    case cmd::sound::Get3DPosEffect:
        block.Write(0, positionEffect);
        break;
    case cmd::sound::PlaySoundByName:
    case cmd::sound::PlaySoundWithPriority: {
        const std::string name(block.ReadString(0));
        SendSelf(*this, cmd::sound::StopSound);
        ReleaseItem();
        if (library != nullptr) {
            item = library->AcquireItemByName(name.c_str(), ItemClass::Sound, 1, PlayFlag());
        }
        if (item != nullptr) {
            SendSelf(*this, cmd::sound::PlaySound);
        }
        break;
    }
    case cmd::sound::PlaySound:
        if (playing == 0) {
            StartPlaying(playStyle == kSoundLoop);
        }
        break;
    case cmd::sound::StopSound:
        if (library != nullptr) {
            library->StopSoundItem(item);
        }
        playing = 0;
        break;
    case cmd::sound::PauseSound:
        if (library != nullptr) {
            library->PauseSoundItem(item);
        }
        playing = 0;
        break;
    case cmd::sound::Sound:
        soundVolume = block.ReadF32(0);
        SendVolume(actionVolume * currentVolume * soundVolume);
        break;
    case cmd::sound::SoundUpdatePlayingSoundParams:
        if (playing != 0) {
            SendVolume(restartFade * currentVolume);
            SendFrequency(TimeRate() * currentFrequency);
        }
        break;
    case cmd::sound::SoundPausePlayingSound:
        if (playing != 0 && library != nullptr) {
            library->PauseSoundItem(item);
        }
        break;
    case cmd::sound::SoundResumePlayingSound:
        if (playing != 0) {
            if (library != nullptr) {
                if (playStyle == kSoundLoop) {
                    library->PlaySoundItemLooped(item);
                } else {
                    library->PlaySoundItem(item);
                }
            }
            SendVolume(restartFade * currentVolume);
            SendFrequency(TimeRate() * currentFrequency);
        }
        break;
    case cmd::base::InitLoad:
        if (radius < minRadius) {
            minRadius = radius - 1.0f;
        }
        break;
    case cmd::base::SetResource: {
        if (library == nullptr) {
            return 0;
        }
        const std::string name(block.ReadString(0));
        LibraryItem *found = library->FindItemByName(name.c_str(), ItemClass::Sound);
        if (found == nullptr) {
            return 0;
        }
        LibraryItem *pointer = found;
        HandleCommand(cmd::sound::SetSound, ParamBlock(&pointer, sizeof(pointer)));
        return 1;
    }
    case cmd::base::Create:
        if (Create(block) == 0) {
            return 0;
        }
        break;
    case cmd::base::CalcActionTime_203: {
        // A divisor that is not positive (a variation of 1 or more, or no
        // frequency) gives no length: the value stays.
        const float divisor = (1.0f - frequencyVariation) * frequency;
        if (library != nullptr && divisor > 0.0f) {
            const float length = library->GetSoundItemLength(item) / divisor;
            if (length > block.ReadF32(0)) {
                block.Write(0, length);
            }
        }
        break;
    }
    case cmd::base::ActionStartValue:
    case cmd::base::ActionStopValue:
    case cmd::base::KillValue:
        if (playStyle == kSoundLoop) {
            actionVolume = block.ReadF32(0);
            SendVolume(soundVolume * currentVolume * actionVolume * restartFade);
        }
        break;
    case cmd::base::ActionStart:
        if (playing != 0 && TimeRate() < 0.5f) {
            restartPending = 1;
            restartFade = 1.0f;
        } else {
            SendSelf(*this, cmd::sound::StopSound);
            SendSelf(*this, cmd::sound::PlaySound);
        }
        break;
    case cmd::base::ActionStopPost:
        if (playStyle == kSoundLoop) {
            SendSelf(*this, cmd::sound::StopSound);
        }
        break;
    case cmd::base::LoadResources:
        if (resourcesLoaded == 0) {
            if (library != nullptr) {
                library->LoadItem(item);
            }
            resourcesLoaded = 1;
        }
        break;
    case cmd::base::UnloadResources:
        if (resourcesLoaded != 0) {
            if (library != nullptr) {
                library->ReleaseItem(item);
            }
            resourcesLoaded = 0;
        }
        break;
    case cmd::base::OnDrawStart:
        if (playOnStart != 0) {
            CancelScheduledCommands(cmd::sound::Sound);
            CancelScheduledCommands(cmd::sound::StopSound);
            ScheduleFade(0.0f, 1.0f);
            StartPlaying(playStyle == kSoundLoop);
        }
        break;
    case cmd::base::OnDrawStop:
        if (playing != 0) {
            CancelScheduledCommands(cmd::sound::Sound);
            CancelScheduledCommands(cmd::sound::StopSound);
            ScheduleFade(1.0f, 0.0f);
            ScheduleCommand(cmd::sound::StopSound, ParamBlock(), kOnceFlags, kFadeTime, 0.0f, 0.0f);
        }
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void SoundActor::Update() {
    if (IsOperational()) {
        ResourceLibrary *library = GetLibrary();
        if (type == kSound3D && playing != 0) {
            const float rate = TimeRate() * currentFrequency;
            if (rate != lastFrequency) {
                SendFrequency(rate);
                lastFrequency = rate;
            }
        }
        if (restartPending != 0) {
            restartFade -= FrameDelta * kRestartFadeRate;
            if (restartFade < 0.0f) {
                restartFade = 1.0f;
                restartPending = 0;
                SendSelf(*this, cmd::sound::StopSound);
                SendSelf(*this, cmd::sound::PlaySound);
            }
            SendVolume(currentVolume * restartFade);
        }
        if (type == kSound3D && playing != 0 && library != nullptr) {
            library->SetSoundItemPosition(item, GetWorldPosition());
            library->SetSoundItemDistances(item, minRadius, radius);
            SendVolume(restartFade * currentVolume);
            if (playStyle == kSoundOnce && library->IsSoundItemPlaying(item) == 0) {
                playing = 0;
            }
        }
    }
    Actor::Update();
}

int SoundActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    const uint32_t version = archive.Version();
    if (version >= 1) {
        archive.SerializeWord(&itemIndex);
    }
    if (version >= 58) {
        std::string unused;
        archive.SerializeString(unused);
    }
    if (version >= 1) {
        archive.SerializeWord(&type);
        archive.SerializeFloat(&radius);
    }
    if (version < 36) {
        uint32_t oldPlay = 1;
        uint32_t oldWord = 0;
        float oldReal = 1.0f;
        archive.SerializeWord(&oldPlay);
        archive.SerializeWord(&oldWord);
        archive.SerializeFloat(&oldReal);
    }
    if (version < 36 && !archive.IsWriting()) {
        volume = frequency = 1.0f;
        pan = 0.0f;
        playOnStart = playStyle = loopCount = 0;
        if (type == 1) {
            radius = 4000.0f;
        } else if (type == 2) {
            playOnStart = 1;
            playStyle = kSoundLoop;
            type = kSound3D;
        }
    }
    if (version >= 36) {
        archive.SerializeFloat(&volume);
        archive.SerializeFloat(&pan);
        archive.SerializeFloat(&frequency);
        archive.SerializeFloat(&minRadius);
        archive.SerializeFloat(&volumeVariation);
        archive.SerializeFloat(&panVariation);
        archive.SerializeFloat(&frequencyVariation);
        archive.SerializeWord(&playOnStart);
        archive.SerializeWord(&playStyle);
        archive.SerializeWord(&loopCount);
        archive.SerializeWord(&reserved);
    }
    if (version >= 41) {
        archive.SerializeFloat(&positionEffect);
    }
    if (!archive.IsWriting()) {
        currentVolume = volume;
        currentPan = pan;
        currentFrequency = frequency;
        ReleaseItem();
        item = AcquireAt(itemIndex);
        if (item == nullptr) {
            item = AcquireAt(1);
            itemIndex = 1;
        }
    }
    return archive.Failed() ? 0 : 1;
}

void SoundActor::DumpClassFields(std::vector<std::string> &lines) const {
    char text[320];
    std::snprintf(text, sizeof(text),
                  "sound item %u type %u radius %g volume %g pan %g frequency %g min %g "
                  "variation %g %g %g start %u style %u loops %u reserved %u effect %g",
                  itemIndex, type, radius, volume, pan, frequency, minRadius, volumeVariation,
                  panVariation, frequencyVariation, playOnStart, playStyle, loopCount, reserved,
                  positionEffect);
    lines.push_back(text);
}
