#include "core/actors/scheduled_command.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/command_registry.h"
#include "core/actors/time_record.h"

// An actor named by pointer in a scheduled block, and where.
struct ScheduledActorGuard {
    size_t offset = 0;
    ActorLink link;
};

ScheduledCommand::ScheduledCommand() = default;
ScheduledCommand::~ScheduledCommand() = default;

namespace {

// One walk over a layer list in progress. When the entry being run is
// unlinked meanwhile, the walk resumes after `anchor`, the entry that stood
// before it (kept up to date when that one goes too), so that it never
// touches the removed entry and still reaches entries appended later.
struct WalkFrame {
    ScheduledCommand *current = nullptr;
    ScheduledCommand *anchor = nullptr;
    bool removed = false;
};

std::vector<WalkFrame *> g_walks;
// Entries and parameter copies deleted while a walk runs; freed when the
// outermost walk ends, since a handler may still read its own block.
std::vector<ScheduledCommand *> g_deadEntries;
std::vector<std::unique_ptr<uint8_t[]>> g_deadParams;

void NoteUnlink(ScheduledCommand *entry) {
    for (WalkFrame *walk : g_walks) {
        if (!walk->removed && walk->current == entry) {
            walk->removed = true;
            walk->anchor = entry->prev;
        } else if (walk->removed && walk->anchor == entry) {
            walk->anchor = entry->prev;
        }
    }
}

void FreeParams(ScheduledCommand *entry) {
    entry->actorGuards.clear();
    if (entry->params && !g_walks.empty()) {
        g_deadParams.push_back(std::move(entry->params));
    }
    entry->params.reset();
    entry->paramSize = 0;
}

class WalkScope {
  public:
    WalkScope() { g_walks.push_back(&frame); }
    ~WalkScope() {
        g_walks.pop_back();
        if (g_walks.empty()) {
            std::vector<ScheduledCommand *> entries = std::move(g_deadEntries);
            g_deadEntries.clear();
            g_deadParams.clear();
            for (ScheduledCommand *entry : entries) {
                delete entry;
            }
        }
    }
    WalkScope(const WalkScope &) = delete;
    WalkScope &operator=(const WalkScope &) = delete;

    // Sets the entry about to run.
    void Enter(ScheduledCommand *entry) {
        frame.current = entry;
        frame.anchor = nullptr;
        frame.removed = false;
    }
    bool Removed() const { return frame.removed; }
    // The entry after the current one, read now.
    ScheduledCommand *Next() const {
        return frame.removed ? frame.anchor->next : frame.current->next;
    }

  private:
    WalkFrame frame;
};

void Run(ScheduledCommand *entry) {
    if ((entry->state & kEntryPortable) != 0 && !MakeScheduledCommandLive(entry)) {
        return; // a block that cannot be used: the entry is cancelled
    }
    DropGoneScheduledActors(entry);
    if (entry->owner != nullptr) {
        entry->owner->HandleCommand(entry->command, entry->Block());
    }
}

void WriteProgress(ScheduledCommand *entry, float value) {
    if (entry->params && entry->paramSize >= sizeof(float)) {
        std::memcpy(entry->params.get(), &value, sizeof(float));
    }
}

float Progress(const ScheduledCommand *entry) {
    return (entry->due - entry->start) / (entry->end - entry->start);
}

// Adds the interval to due; false when due did not move forward (interval
// not positive, absorbed by float precision, or NaN), in which case due is
// set to now and the entry runs no more in this pass.
bool Advance(ScheduledCommand *entry, float now) {
    float before = entry->due;
    entry->due = before + entry->interval;
    if (entry->due > before) {
        return true;
    }
    entry->due = now;
    return false;
}

// Runs one entry of a timed list as its kind says.
void RunTimed(ScheduledCommand *entry, float now, const WalkScope &walk) {
    switch (entry->kind) {
    case kScheduleOnce:
        if (entry->due < now) {
            // Marked before its command runs, so that a save made by that
            // command does not store the entry to run again after a load.
            entry->state |= kEntryFired;
            Run(entry);
            if (!walk.Removed()) {
                ActorSystem::CancelScheduledCommand(entry);
            }
        }
        break;
    case kScheduleRepeat: {
        int runs = 0;
        while (entry->due < now && runs < kMaxCatchUpRuns) {
            bool advanced = Advance(entry, now);
            Run(entry);
            ++runs;
            if (walk.Removed() || !advanced) {
                break;
            }
        }
        break;
    }
    case kScheduleRepeatUntilEnd: {
        int runs = 0;
        while (entry->due < now && runs < kMaxCatchUpRuns) {
            if (entry->end < now) {
                ActorSystem::CancelScheduledCommand(entry);
                break;
            }
            Run(entry);
            ++runs;
            if (walk.Removed() || !Advance(entry, now)) {
                break;
            }
        }
        break;
    }
    case kScheduleInterpolate: {
        int runs = 0;
        while (entry->due < now && runs < kMaxCatchUpRuns) {
            if (entry->end < now) {
                WriteProgress(entry, 1.0f);
                Run(entry);
                if (!walk.Removed()) {
                    ActorSystem::CancelScheduledCommand(entry);
                }
                break;
            }
            WriteProgress(entry, Progress(entry));
            Run(entry);
            ++runs;
            if (walk.Removed() || !Advance(entry, now)) {
                break;
            }
        }
        break;
    }
    case kScheduleRepeatNoCatchUp:
        if (entry->due < now) {
            entry->due = now + entry->interval;
            Run(entry);
        }
        break;
    case kScheduleInterpolateNoCatchUp:
        if (entry->due < now) {
            if (entry->end < now) {
                WriteProgress(entry, 1.0f);
                Run(entry);
                if (!walk.Removed()) {
                    ActorSystem::CancelScheduledCommand(entry);
                }
            } else {
                WriteProgress(entry, Progress(entry));
                Run(entry);
                if (!walk.Removed()) {
                    entry->due = now + entry->interval;
                }
            }
        }
        break;
    default:
        break; // inert
    }
}

void ResetEntry(ScheduledCommand *entry) {
    entry->prev = nullptr;
    entry->next = nullptr;
    entry->owner = nullptr;
    entry->command = 0xFFFFFFFFu;
    entry->params.reset();
    entry->paramSize = 0;
    entry->actorGuards.clear();
    entry->start = entry->end = entry->interval = entry->due = 0.0f;
    entry->tag = 0;
    entry->kind = 0;
    entry->layer = 1;
}

} // namespace

ScheduleLayer::ScheduleLayer() {
    everyPassHead.next = &everyPassTail;
    everyPassTail.prev = &everyPassHead;
    timedHead.next = &timedTail;
    timedTail.prev = &timedHead;
}

ScheduleLayer::~ScheduleLayer() {
    // The linked entries belong to their owners; cut them loose so that none
    // points into a destroyed layer.
    for (ScheduledCommand *head : {&everyPassHead, &timedHead}) {
        ScheduledCommand *tail = head == &everyPassHead ? &everyPassTail : &timedTail;
        ScheduledCommand *entry = head->next;
        while (entry != nullptr && entry != tail) {
            ScheduledCommand *next = entry->next;
            entry->prev = entry->next = nullptr;
            entry->state &= static_cast<uint8_t>(~kEntryLinked);
            entry = next;
        }
    }
}

namespace {

void GuardBlock(ScheduledCommand *entry, uint32_t command, ParamBlock block, int depth) {
    if (depth > kMaxParamNesting) {
        return;
    }
    ParamReader reader(command, block);
    while (!reader.AtEnd()) {
        const uint32_t type = reader.NextType();
        const ParamBlock value = reader.Next();
        if (type == ParamType::ActorPointer || type == ParamType::ActorPointerExt) {
            if (Actor *actor = value.ReadActor(0)) {
                auto guard = std::make_unique<ScheduledActorGuard>();
                guard->offset = static_cast<size_t>(value.data() - entry->params.get());
                guard->link.Assign(actor);
                entry->actorGuards.push_back(std::move(guard));
            }
        } else if (type == ParamType::Command && value.size() >= sizeof(uint32_t)) {
            GuardBlock(entry, value.ReadU32(0), value.Sub(4), depth + 1);
        }
    }
}

} // namespace

void GuardScheduledActors(ScheduledCommand *entry) {
    if (entry == nullptr) {
        return;
    }
    entry->actorGuards.clear();
    if ((entry->state & kEntryPortable) != 0 || !entry->params || entry->paramSize == 0) {
        return;
    }
    GuardBlock(entry, entry->command, ParamBlock(entry->params.get(), entry->paramSize), 0);
}

void DropGoneScheduledActors(ScheduledCommand *entry) {
    if (entry == nullptr) {
        return;
    }
    auto &guards = entry->actorGuards;
    for (auto it = guards.begin(); it != guards.end();) {
        if ((*it)->link.target != nullptr) {
            ++it;
            continue;
        }
        Actor *none = nullptr;
        entry->Block().WriteActor((*it)->offset, none);
        it = guards.erase(it);
    }
}

ScheduledCommand *NewScheduledCommand() {
    auto *entry = new ScheduledCommand();
    entry->state = kEntryAllocated;
    return entry;
}

void DetachScheduledCommand(ScheduledCommand *entry) {
    if (entry == nullptr) {
        return;
    }
    if (entry->prev != nullptr && entry->next != nullptr) {
        NoteUnlink(entry);
        entry->prev->next = entry->next;
        entry->next->prev = entry->prev;
    }
    entry->prev = nullptr;
    entry->next = nullptr;

    if ((entry->state & kEntryUnlisted) != 0) {
        entry->state &= static_cast<uint8_t>(~kEntryUnlisted);
    } else if (entry->owner != nullptr) {
        std::vector<ScheduledCommand *> &list = entry->owner->scheduledCommands;
        auto it = std::find(list.rbegin(), list.rend(), entry);
        if (it != list.rend()) {
            list.erase(std::next(it).base());
        }
    }

    if ((entry->state & kEntryQueued) != 0) {
        // An entry is queued once; searched from the back, where an actor
        // deleting its entries newest first finds them.
        if (ActorSystem *system = GetActorSystem()) {
            auto &queue = system->removalList;
            auto it = std::find(queue.rbegin(), queue.rend(), entry);
            if (it != queue.rend()) {
                queue.erase(std::next(it).base());
            }
        }
        entry->state &= static_cast<uint8_t>(~kEntryQueued);
    }

    entry->state &= static_cast<uint8_t>(~kEntryLinked);
    FreeParams(entry);
}

void ActorSystem::CancelScheduledCommand(ScheduledCommand *entry) {
    ActorSystem *system = GetActorSystem();
    if (entry == nullptr || system == nullptr ||
        (entry->state & (kEntryQueued | kEntryDead)) != 0) {
        return;
    }
    system->removalList.push_back(entry);
    entry->state |= kEntryQueued;
}

void ActorSystem::DeleteScheduledCommand(ScheduledCommand *entry) {
    if (entry == nullptr || (entry->state & kEntryDead) != 0) {
        return;
    }
    // The owner forgets the entry before it goes: a field still naming it
    // would keep "BaseProcess" or "Process" from being scheduled again and
    // a later cancel would read freed memory.
    if (Actor *owner = entry->owner) {
        if (owner->baseProcessEntry == entry) {
            owner->baseProcessEntry = nullptr;
        }
        if (owner->processEntry == entry) {
            owner->processEntry = nullptr;
        }
        owner->ScheduledCommandDeleted(entry);
    }
    Actor *owner = entry->owner;
    DetachScheduledCommand(entry);
    if ((entry->state & kEntryAllocated) == 0) {
        // A caller-owned entry stays with its caller; the one an actor holds
        // for "BaseProcess" becomes free for its next schedule.
        if (owner != nullptr && entry == &owner->ownBaseProcessEntry) {
            entry->owner = nullptr;
        }
        return;
    }
    entry->owner = nullptr;
    if (!g_walks.empty()) {
        entry->state = kEntryDead;
        g_deadEntries.push_back(entry);
    } else {
        delete entry;
    }
}

ScheduledCommand *ScheduleCommand(Actor *owner, uint32_t command, ParamBlock params, uint32_t flags,
                                  float startDelay, float endDelay, float interval,
                                  ScheduledCommand *reuse, uint32_t layer) {
    if (owner == nullptr || command == cmd::base::RecursiveCommand) {
        return nullptr;
    }
    ScheduledCommand *entry;
    if (reuse != nullptr && (reuse->state & kEntryDead) == 0) {
        DetachScheduledCommand(reuse);
        ResetEntry(reuse);
        reuse->state = 0;
        entry = reuse;
    } else {
        entry = NewScheduledCommand();
    }
    if ((flags & kScheduleSaved) != 0) {
        entry->state |= kEntrySaved;
    }

    TimeRecord *record = owner->timeRecord;
    RefreshTimeRecord(record);
    float now = record != nullptr ? record->time : 0.0f;

    entry->owner = owner;
    entry->command = command;
    entry->tag = static_cast<uint8_t>(flags & kScheduleTagMask);
    entry->kind = static_cast<uint8_t>((flags >> kScheduleKindShift) & kScheduleKindMask);
    entry->start = now + startDelay;
    entry->end = now + endDelay;
    entry->interval = interval;
    // A start in the past stays there for an interpolation's progress, but
    // the first run waits for the next pass, never the pass that made the
    // entry (which could then run without end). A start that is NaN never
    // comes due.
    entry->due = entry->start < now ? now : entry->start;
    entry->layer = static_cast<uint8_t>(std::min<uint32_t>(layer, 255));

    uint32_t size = CommandBlockSize(command, params);
    if (size != 0) {
        entry->params = std::make_unique<uint8_t[]>(size); // zero-filled
        size_t available = std::min<size_t>(size, params.size());
        if (available != 0 && params.data() != nullptr) {
            std::memcpy(entry->params.get(), params.data(), available);
        }
        entry->paramSize = size;
        GuardScheduledActors(entry);
    }

    owner->scheduledCommands.push_back(entry);
    LinkScheduledCommand(entry);
    return entry;
}

void LinkScheduledCommand(ScheduledCommand *entry) {
    if (entry == nullptr || entry->kind == kScheduleNeverLinked ||
        (entry->state & (kEntryLinked | kEntryDead)) != 0 || entry->owner == nullptr ||
        entry->owner->timeRecord == nullptr || entry->layer >= kScheduleLayerCount) {
        return;
    }
    TimeRecord *record = entry->owner->timeRecord;
    ScheduleLayer &layer = record->layers[entry->layer];
    bool everyPass = entry->kind == kScheduleEveryPass || entry->kind == kScheduleNextPass;
    ScheduledCommand *tail = everyPass ? &layer.everyPassTail : &layer.timedTail;

    entry->state |= kEntryLinked;
    entry->prev = tail->prev;
    entry->next = tail;
    tail->prev->next = entry;
    tail->prev = entry;

    if ((record->flags & kTimeRecordNotify) != 0 && record->owner != nullptr) {
        uint8_t block[sizeof(ScheduledCommand *)];
        std::memcpy(block, &entry, sizeof(entry));
        record->owner->HandleCommand(cmd::time_instance::TimeinstanceMcmdCreateNotify,
                                     ParamBlock(block, sizeof(block)));
    }
}

ScheduledCommand *FindScheduledCommandByTag(Actor *actor, uint8_t tag) {
    if (actor == nullptr) {
        return nullptr;
    }
    for (ScheduledCommand *entry : actor->scheduledCommands) {
        if (entry->tag == tag && (entry->state & kEntryQueued) == 0) {
            return entry;
        }
    }
    return nullptr;
}

void CancelScheduledCommandsByTag(Actor *actor, uint8_t tag) {
    if (actor == nullptr) {
        return;
    }
    for (ScheduledCommand *entry : actor->scheduledCommands) {
        if (entry->tag == tag) {
            ActorSystem::CancelScheduledCommand(entry);
        }
    }
}

float ScheduledCommandLerpValue(const ScheduledCommand *entry) {
    if (entry == nullptr) {
        return 0.0f;
    }
    float p = entry->end > entry->start ? Progress(entry) : 1.0f;
    float a = 0.0f;
    float b = 0.0f;
    if (entry->params && entry->paramSize >= 12) {
        std::memcpy(&a, entry->params.get() + 8, sizeof(float));
    }
    if (entry->params && entry->paramSize >= 20) {
        std::memcpy(&b, entry->params.get() + 16, sizeof(float));
    }
    return a + p * (b - a);
}

void RunScheduleLayer(ActorSystem * /*system*/, TimeRecord *record, uint32_t layer) {
    if (record == nullptr || layer >= kScheduleLayerCount) {
        return;
    }
    RefreshTimeRecord(record);
    const float now = record->time;
    ScheduleLayer &lists = record->layers[layer];

    // Declared first: actors removed during the pass go after the walk ends.
    ActorDeliveryScope delivery;
    WalkScope walk;
    ScheduledCommand *entry = lists.everyPassHead.next;
    while (entry != nullptr && entry != &lists.everyPassTail) {
        walk.Enter(entry);
        Run(entry);
        ScheduledCommand *next = walk.Next();
        if (!walk.Removed() && entry->kind == kScheduleNextPass) {
            ActorSystem::DeleteScheduledCommand(entry);
        }
        entry = next;
    }

    entry = lists.timedHead.next;
    while (entry != nullptr && entry != &lists.timedTail) {
        walk.Enter(entry);
        RunTimed(entry, now, walk);
        entry = walk.Next();
    }
}

namespace {

// Takes every queued entry off its owner's list, keeping the order of the
// rest, one pass per owner, and marks it as off the list. The owners of
// queued entries are alive: an actor's destructor deletes its entries.
void UnlistQueuedEntries(const std::vector<ScheduledCommand *> &queued) {
    std::vector<Actor *> owners;
    for (ScheduledCommand *entry : queued) {
        if (entry->owner != nullptr && (entry->state & kEntryUnlisted) == 0) {
            entry->state |= kEntryUnlisted;
            owners.push_back(entry->owner);
        }
    }
    std::sort(owners.begin(), owners.end());
    owners.erase(std::unique(owners.begin(), owners.end()), owners.end());
    for (Actor *owner : owners) {
        std::erase_if(owner->scheduledCommands, [owner](const ScheduledCommand *entry) {
            return entry->owner == owner && (entry->state & kEntryUnlisted) != 0;
        });
    }
}

} // namespace

void RunScheduledCommands(ActorSystem *system) {
    if (system == nullptr) {
        return;
    }
    UnlistQueuedEntries(system->removalList);
    while (!system->removalList.empty()) {
        ScheduledCommand *entry = system->removalList.back();
        system->removalList.pop_back();
        entry->state &= static_cast<uint8_t>(~kEntryQueued);
        ActorSystem::DeleteScheduledCommand(entry);
    }
    for (uint32_t layer = 0; layer < kScheduleLayerCount; ++layer) {
        RunScheduleLayer(system, system->timeRecord, layer);
    }
}
