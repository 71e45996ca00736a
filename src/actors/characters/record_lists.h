// Counted lists of 16-byte records in actor files, shared by the classes of
// the characters room: the count, then each entry's three words and a spare
// word. The brains' lists of hit effects and attacks are two of them.
#pragma once

#include <cstdint>
#include <vector>

#include "base/file_system.h"

// The most entries a stored list may hold.
inline constexpr uint32_t kRecordListMaxEntries = 4096;

// A read count above the limit or larger than the bytes left fails the
// archive before anything is allocated; a list that the version does not
// hold is emptied. New entries take T's defaults. false when the archive
// failed.
template <class T, class Fields>
bool SerializeRecordList(Archive &archive, uint32_t since, std::vector<T> &list, Fields fields) {
    if (archive.Version() < since) {
        if (!archive.IsWriting()) {
            list.clear();
        }
        return true;
    }
    uint32_t count = static_cast<uint32_t>(list.size());
    archive.SerializeWord(&count);
    if (!archive.IsWriting()) {
        if (archive.Failed() || count > kRecordListMaxEntries || !archive.CountFits(count, 16)) {
            archive.SetFailed();
            return false;
        }
        list.resize(count);
    }
    for (T &entry : list) {
        fields(entry);
        archive.SerializeSpareWords(1);
    }
    return !archive.Failed();
}

// One effect on a struck character: the parameter (type), the change and
// its time.
struct HitEffect {
    uint32_t type = 0;
    float value = 100.0f;
    float time = 5.0f;
};

// One attack of a fighter: tickets in the draw, multiplier of the hit
// effects, seconds from the start of the attack motion to the hit test.
struct AttackParam {
    uint32_t weight = 1;
    float effectMul = 1.0f;
    float evalDelay = 0.0f;
};

inline bool SerializeHitEffects(Archive &archive, uint32_t since, std::vector<HitEffect> &list) {
    return SerializeRecordList(archive, since, list, [&](HitEffect &e) {
        archive.SerializeWord(&e.type);
        archive.SerializeFloat(&e.value);
        archive.SerializeFloat(&e.time);
    });
}

inline bool SerializeAttacks(Archive &archive, uint32_t since, std::vector<AttackParam> &list) {
    return SerializeRecordList(archive, since, list, [&](AttackParam &a) {
        archive.SerializeWord(&a.weight);
        archive.SerializeFloat(&a.effectMul);
        archive.SerializeFloat(&a.evalDelay);
    });
}
