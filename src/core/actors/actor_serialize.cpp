// The base record of an actor in an actor file, with its collision-object,
// script and scheduled-command sub-records, and the record of an ActorLink.
//
// Fields are gated on the archive's version: a field newer than the file is
// neither written nor read and keeps its value. Writing always uses the
// current version, so every field is written. Reading refuses counts that
// cannot fit the bytes left and stops at the archive's first failure.
#include <algorithm>
#include <cstring>
#include <vector>

#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_path.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_registry.h"
#include "core/actors/param_convert.h"
#include "core/actors/time_record.h"

namespace {

// ColObj flag bits kept in the file.
constexpr uint32_t kColObjEventReport = 1u << 1;
constexpr uint32_t kColObjEvent = 1u << 2;
constexpr uint32_t kColObjGeometryEvent = 1u << 4;
constexpr uint32_t kColObjFromMesh = 1u << 7;

// The words of SimParams after the style, in file order.
constexpr size_t kSimWords[] = {1, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
constexpr size_t kSimFlagWord = 15;

bool Since(const Archive &archive, uint32_t version) { return archive.Version() >= version; }

// A u32 field, gated on the version.
void Word(Archive &archive, uint32_t since, uint32_t *word) {
    if (Since(archive, since)) {
        archive.SerializeWord(word);
    }
}

void Float(Archive &archive, uint32_t since, float *value) {
    if (Since(archive, since)) {
        archive.SerializeWords(value, 1);
    }
}

void Floats(Archive &archive, uint32_t since, float *values, uint32_t count) {
    if (Since(archive, since)) {
        archive.SerializeWords(values, count);
    }
}

// One bit of a flag word as a bool: written 0 or 1, read as non-zero. Inline:
// every actor record reads six.
[[gnu::always_inline]] inline void FlagBit(Archive &archive, uint32_t since, uint32_t *flags,
                                           uint32_t bit) {
    if (!Since(archive, since)) {
        return;
    }
    uint32_t value = (*flags & bit) != 0 ? 1 : 0;
    archive.SerializeWord(&value);
    if (!archive.IsWriting() && !archive.Failed()) {
        *flags = value != 0 ? (*flags | bit) : (*flags & ~bit);
    }
}

// A word that is written as 0 and ignored on reading.
void Reserved(Archive &archive, uint32_t since) {
    uint32_t zero = 0;
    Word(archive, since, &zero);
}

float OwnerClock(Actor &actor) {
    TimeRecord *record = actor.timeRecord;
    if (record == nullptr) {
        return 0.0f;
    }
    RefreshTimeRecord(record);
    return record->time;
}

uint32_t TimeCount(uint8_t kind) {
    switch (kind & 7) {
    case 2:
        return 1;
    case 3:
        return 2;
    case 4:
    case 5:
        return 4;
    default:
        return 0;
    }
}

// Smallest bytes of one record of each kind at the file's version, so that a
// count can be checked against the bytes left before anything is made.
uint32_t MinColObjRecord(uint32_t version) {
    uint32_t size = 52;
    if (version >= 2) {
        size += 24;
    }
    if (version >= 6) {
        size += 12;
    }
    if (version >= 11) {
        size += 8;
    }
    return size;
}

uint32_t MinScriptRecord(uint32_t version) { return version >= 15 ? 16 : 12; }

uint32_t MinScheduledRecord(uint32_t version) { return version >= 50 ? 11 : 10; }

// A scheduled entry as it is written: the block already in portable form.
struct SavedEntry {
    const ScheduledCommand *entry;
    std::vector<uint8_t> block;
};

bool IsSavedNow(const ScheduledCommand *entry, const Actor *owner) {
    return entry != nullptr && entry->owner == owner && (entry->state & kEntrySaved) != 0 &&
           (entry->state & (kEntryQueued | kEntryFired | kEntryDead)) == 0;
}

std::vector<SavedEntry> EntriesToSave(Actor &actor) {
    std::vector<SavedEntry> saved;
    for (ScheduledCommand *entry : actor.scheduledCommands) {
        if (!IsSavedNow(entry, &actor)) {
            continue;
        }
        DropGoneScheduledActors(entry);
        ParamBlock block = ParamBlock::ReadOnly(entry->params.get(), entry->paramSize);
        if ((entry->state & kEntryPortable) != 0) {
            // Read from a file and not yet made live: still portable.
            saved.push_back({entry, {block.data(), block.data() + block.size()}});
            continue;
        }
        ParamBlockResult portable;
        if (!ParamBlockToPortable(&actor, &portable, entry->command, block)) {
            continue; // a block that cannot be stored is not saved
        }
        saved.push_back({entry, portable.ToVector()});
    }
    return saved;
}

void WriteEntry(Archive &archive, const SavedEntry &saved, float now) {
    const ScheduledCommand &entry = *saved.entry;
    archive.SerializeByte(entry.kind);
    archive.SerializeByte(entry.layer);
    archive.SerializeByte(entry.tag);
    archive.SerializeU32(entry.command);
    archive.SerializeU32(static_cast<uint32_t>(saved.block.size()));
    if (!saved.block.empty()) {
        std::vector<uint8_t> bytes = saved.block;
        archive.SerializeBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    // Times are stored relative to the owner's clock, so that a load at any
    // clock keeps what was left to wait.
    float times[4] = {entry.due - now, entry.interval, entry.start - now, entry.end - now};
    archive.SerializeWords(times, TimeCount(entry.kind));
}

// Reads one scheduled record. False fails the whole actor record; an entry
// for a command the table does not know is read and dropped.
bool ReadEntry(Archive &archive, Actor &actor, float now) {
    const uint8_t kind = archive.SerializeByte(0);
    const uint8_t layer = archive.SerializeByte(0);
    const uint8_t tag = Since(archive, 50) ? archive.SerializeByte(0) : 0;
    const uint32_t command = archive.SerializeU32(0);
    const uint32_t size = archive.SerializeU32(0);
    if (archive.Failed() || size > archive.BytesLeft()) {
        archive.SetFailed();
        return false;
    }
    std::vector<uint8_t> block(size);
    if (size != 0) {
        archive.SerializeBytes(block.data(), size);
    }
    float times[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    archive.SerializeWords(times, TimeCount(kind));
    if (archive.Failed()) {
        return false;
    }
    if (layer >= kScheduleLayerCount || kind > kScheduleKindMask) {
        archive.SetFailed();
        return false;
    }
    const CommandInfo *info = FindCommandInfo(command);
    if (info == nullptr || !info->registered()) {
        return true;
    }
    // An interpolating entry writes its progress over the first four bytes
    // of its block at each run: only a command whose first parameter is a
    // float takes that. (The engine saves such entries only for "Command
    // Lerp".) Any other is dropped: no run writes a number over an address.
    if ((kind == kScheduleInterpolate || kind == kScheduleInterpolateNoCatchUp) &&
        (info->paramTypes.empty() || info->paramTypes[0] != ParamType::Real)) {
        return true;
    }
    // A plain block shorter than the command's parameters reads as zeros
    // beyond what was stored.
    if (info->Has(CommandFlags::PlainBlock) && info->nativeParamBytes > 0 &&
        block.size() < static_cast<size_t>(info->nativeParamBytes)) {
        block.resize(static_cast<size_t>(info->nativeParamBytes), 0);
    }

    ScheduledCommand *entry = NewScheduledCommand();
    entry->owner = &actor;
    entry->command = command;
    entry->kind = kind;
    entry->layer = layer;
    entry->tag = tag;
    entry->state |= kEntrySaved | kEntryPortable;
    switch (TimeCount(kind)) {
    case 4:
        entry->start = times[2] + now;
        entry->end = times[3] + now;
        [[fallthrough]];
    case 2:
        entry->interval = times[1];
        [[fallthrough]];
    case 1:
        entry->due = times[0] + now;
        break;
    default:
        break;
    }
    if (!block.empty()) {
        entry->params = std::make_unique<uint8_t[]>(block.size());
        std::memcpy(entry->params.get(), block.data(), block.size());
        entry->paramSize = static_cast<uint32_t>(block.size());
    }
    actor.scheduledCommands.push_back(entry);
    return true;
}

int SerializeScript(Archive &archive, ScriptRecord &script) {
    archive.SerializeWord(&script.eventId);
    if (Since(archive, 15)) {
        std::string eventName;
        if (archive.IsWriting()) {
            const CommandInfo *info = FindCommandInfo(script.eventId);
            if (info != nullptr) {
                eventName = info->name;
            }
        }
        archive.SerializeString(eventName);
        if (!archive.IsWriting()) {
            script.eventId = FindEventCommandByName(eventName);
        }
    }
    archive.SerializeString(script.name);
    archive.SerializeString(script.source);
    if (!archive.IsWriting()) {
        script.compiled.reset();
    }
    return archive.Failed() ? 0 : 1;
}

// Refuses a count that cannot fit the bytes left.
bool CountFits(Archive &archive, uint32_t count, uint32_t minRecord) {
    if (archive.IsWriting()) {
        return true;
    }
    if (archive.Failed() || uint64_t{count} * minRecord > archive.BytesLeft()) {
        archive.SetFailed();
        return false;
    }
    return true;
}

} // namespace

namespace {

int SerializeWithSpareWords(Actor &actor, Archive &archive, uint32_t mode, uint32_t count) {
    if (actor.Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (Since(archive, 1)) {
        uint32_t spare[8] = {};
        archive.SerializeWords(spare, count);
    }
    return archive.Failed() ? 0 : 1;
}

} // namespace

int SerializeWithFourSpareWords(Actor &actor, Archive &archive, uint32_t mode) {
    return SerializeWithSpareWords(actor, archive, mode, 4);
}

int SerializeWithEightSpareWords(Actor &actor, Archive &archive, uint32_t mode) {
    return SerializeWithSpareWords(actor, archive, mode, 8);
}

int ColObj::Serialize(Archive &archive, uint32_t /*mode*/) {
    NoteColObjShapeChange(); // a load may give it another kind
    archive.SerializeString(name);
    Word(archive, 1, &type);
    Word(archive, 1, &material);
    Word(archive, 1, &fill);
    Float(archive, 1, &factor);
    Floats(archive, 1, &boxMin.x, 3);
    Floats(archive, 1, &boxMax.x, 3);
    uint32_t ref = static_cast<uint32_t>(reference);
    Word(archive, 1, &ref);
    reference = static_cast<int32_t>(ref);
    Word(archive, 1, &hitEffect);
    FlagBit(archive, 2, &flags, kColObjDynamic);
    FlagBit(archive, 2, &flags, kColObjSolid);
    FlagBit(archive, 2, &flags, kColObjEvent);
    FlagBit(archive, 2, &flags, kColObjEventReport);
    if (Since(archive, 66)) {
        FlagBit(archive, 66, &flags, kColObjGeometryEvent);
    } else {
        Reserved(archive, 2);
    }
    Reserved(archive, 2);
    FlagBit(archive, 6, &flags, kColObjActive);
    Word(archive, 6, &groups);
    Word(archive, 6, &excludeGroups);
    Word(archive, 11, &receiveGroups);
    Reserved(archive, 11);
    if (!archive.IsWriting() && !Since(archive, 11)) {
        groups = 1;
        receiveGroups = 1;
        excludeGroups = 0;
    }
    return archive.Failed() ? 0 : 1;
}

int ActorLink::Serialize(Archive &archive) {
    if (archive.IsWriting()) {
        // A held actor is saved by a path that names it: the link's own
        // while it still does, else the actor's path from the top.
        std::string written = path;
        if (target != nullptr && (path.empty() || ResolveActorName(origin, path) != target)) {
            written = ActorRelativePath(target, nullptr);
        }
        archive.SerializeString(written);
    } else {
        archive.SerializeString(path);
    }
    return archive.Failed() ? 0 : 1;
}

int Actor::Serialize(Archive &archive, uint32_t mode) {
    const bool writing = archive.IsWriting();
    if (!writing && archive.Failed()) {
        return 0;
    }

    // 1. Header words and the transform.
    if (writing) {
        archive.SerializeU32(classId);
        archive.SerializeU32(static_cast<uint32_t>(actorId));
        if (parent != nullptr) {
            parentId = parent->actorId;
        }
    }
    uint32_t parentWord = static_cast<uint32_t>(parentId);
    archive.SerializeWord(&parentWord);
    parentId = static_cast<int32_t>(parentWord);
    archive.SerializeString(name);
    archive.SerializeWords(&position.x, 3);
    archive.SerializeWords(&scale.x, 3);
    archive.SerializeWords(&rotation.x, 4);
    FlagBit(archive, 1, &flags, kActorFlag18);
    FlagBit(archive, 6, &flags, kActorCollisionEnabled);
    Word(archive, 6, &actionFlags);
    Reserved(archive, 6);
    Reserved(archive, 1);
    if (!writing && archive.Failed()) {
        return 0;
    }

    // 2. Collision objects; those synchronised from a mesh are rebuilt by
    // their class and never stored.
    uint32_t colObjCount = 0;
    if (writing) {
        colObjCount = static_cast<uint32_t>(
            std::count_if(colObjs.begin(), colObjs.end(),
                          [](const auto &object) { return (object->flags & kColObjFromMesh) == 0; }));
    }
    archive.SerializeWord(&colObjCount);
    if (!CountFits(archive, colObjCount, MinColObjRecord(archive.Version()))) {
        return 0;
    }
    if (writing) {
        for (auto &object : colObjs) {
            if ((object->flags & kColObjFromMesh) == 0) {
                object->Serialize(archive, mode);
            }
        }
    } else {
        while (colObjs.size() > colObjCount) {
            RemoveColObj(colObjs.size() - 1);
        }
        while (colObjs.size() < colObjCount) {
            auto fresh = std::make_unique<ColObj>(this);
            fresh->type = 0;
            AddColObj(std::move(fresh));
        }
        for (auto &object : colObjs) {
            object->owner = this;
            if (object->Serialize(archive, mode) == 0) {
                return 0;
            }
        }
    }

    // 3. Scripts.
    uint32_t scriptCount = static_cast<uint32_t>(scripts.size());
    archive.SerializeWord(&scriptCount);
    if (!CountFits(archive, scriptCount, MinScriptRecord(archive.Version()))) {
        return 0;
    }
    if (!writing) {
        scripts.resize(scriptCount);
    }
    for (auto &script : scripts) {
        if (!script) {
            script = std::make_unique<ScriptRecord>();
        }
        script->owner = this;
        if (SerializeScript(archive, *script) == 0 && !writing) {
            return 0;
        }
    }

    // 4. State and times.
    archive.SerializeWord(&state);
    float times[7] = {killDelay,       killTime,      actionStartDelay, actionStartTime,
                      actionStopDelay, actionStopTime, actionTime};
    archive.SerializeWords(times, 7);
    if (!writing && !archive.Failed()) {
        killDelay = times[0];
        killTime = times[1];
        actionStartDelay = times[2];
        actionStartTime = times[3];
        actionStopDelay = times[4];
        actionStopTime = times[5];
        actionTime = times[6];
    }
    FlagBit(archive, 1, &flags, kActorMaster);
    archive.SerializeWord(&userWord);
    Reserved(archive, 1);
    if (!writing && archive.Failed()) {
        return 0;
    }

    // 5. Scheduled commands marked to be saved with their owner.
    if (Since(archive, 46)) {
        const float now = OwnerClock(*this);
        if (writing) {
            std::vector<SavedEntry> saved = EntriesToSave(*this);
            archive.SerializeU32(static_cast<uint32_t>(saved.size()));
            for (const SavedEntry &entry : saved) {
                WriteEntry(archive, entry, now);
            }
        } else {
            const uint32_t count = archive.SerializeU32(0);
            if (!CountFits(archive, count, MinScheduledRecord(archive.Version()))) {
                return 0;
            }
            for (uint32_t i = 0; i < count; ++i) {
                if (!ReadEntry(archive, *this, now)) {
                    return 0;
                }
            }
        }
    }

    // 6. Simulation settings.
    if (Since(archive, 61)) {
        uint32_t style = simParams ? simParams->words[0] : 0;
        archive.SerializeWord(&style);
        if (!writing && archive.Failed()) {
            return 0;
        }
        if (style != 0) {
            if (!writing && !simParams) {
                simParams = std::make_unique<SimParams>();
            }
            uint32_t words[std::size(kSimWords)];
            for (size_t i = 0; i < std::size(kSimWords); ++i) {
                words[i] = simParams->words[kSimWords[i]];
            }
            uint32_t bit = simParams->words[kSimFlagWord] & 1u;
            archive.SerializeWords(words, static_cast<uint32_t>(std::size(kSimWords)));
            archive.SerializeWord(&bit);
            if (!writing && !archive.Failed()) {
                simParams->words[0] = style;
                for (size_t i = 0; i < std::size(kSimWords); ++i) {
                    simParams->words[kSimWords[i]] = words[i];
                }
                simParams->words[kSimFlagWord] =
                    (simParams->words[kSimFlagWord] & ~1u) | (bit != 0 ? 1u : 0u);
            }
        }
    }
    return archive.Failed() ? 0 : 1;
}
