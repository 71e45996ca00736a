// A scheduled entry as the actor reader leaves it: saved with its owner, its
// block the bytes a file stored (not yet made live), in the owner's list and
// not yet linked. A save writes such a block byte for byte, so a test can
// write a file holding any bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/scheduled_command.h"

inline ScheduledCommand *AddStoredEntry(Actor *owner, uint32_t command, uint8_t kind,
                                        const std::vector<uint8_t> &bytes, float due) {
    ScheduledCommand *entry = NewScheduledCommand();
    entry->owner = owner;
    entry->command = command;
    entry->kind = kind;
    entry->start = entry->due = due;
    entry->state |= kEntrySaved | kEntryPortable;
    if (!bytes.empty()) {
        entry->params = std::make_unique<uint8_t[]>(bytes.size());
        std::memcpy(entry->params.get(), bytes.data(), bytes.size());
        entry->paramSize = static_cast<uint32_t>(bytes.size());
    }
    owner->scheduledCommands.push_back(entry);
    return entry;
}
