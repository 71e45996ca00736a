// Scheduled commands: delayed, repeating, interpolated and every-pass
// commands that wait in the four layers of a time record and are run once per
// frame by RunScheduledCommands.
//
// Entry kinds ((flags >> 8) & 15):
//   1  every pass                 7  next pass only, then deleted
//   2  once when due              3  repeat, catching up
//   4  repeat until end, catching up
//   5  interpolate, catching up   11 repeat, no catching up
//   13 interpolate, no catching up
//   6  listed with its owner but never linked; every other kind is inert.
// An entry is due when its due time is strictly before the record's time.
// Cancelling only queues an entry; the queue is drained, last cancelled
// first, at the start of the next pump. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/actors/command_ids.h"
#include "core/actors/param_block.h"

class Actor;
class ActorSystem;
struct ScheduledActorGuard;
struct TimeRecord;

// Schedule flags: bits 0-7 tag, bits 8-11 kind, bit 12 saved with the owner.
inline constexpr uint32_t kScheduleTagMask = 0xFF;
inline constexpr uint32_t kScheduleKindShift = 8;
inline constexpr uint32_t kScheduleKindMask = 0xF;
inline constexpr uint32_t kScheduleSaved = 0x1000;

// Kinds.
inline constexpr uint8_t kScheduleEveryPass = 1;
inline constexpr uint8_t kScheduleOnce = 2;
inline constexpr uint8_t kScheduleRepeat = 3;
inline constexpr uint8_t kScheduleRepeatUntilEnd = 4;
inline constexpr uint8_t kScheduleInterpolate = 5;
inline constexpr uint8_t kScheduleNeverLinked = 6;
inline constexpr uint8_t kScheduleNextPass = 7;
inline constexpr uint8_t kScheduleRepeatNoCatchUp = 11;
inline constexpr uint8_t kScheduleInterpolateNoCatchUp = 13;

// Entry state bits.
inline constexpr uint8_t kEntryAllocated = 1;   // made by the scheduler, freed on delete
inline constexpr uint8_t kEntrySaved = 2;       // written and read with its owner
inline constexpr uint8_t kEntryQueued = 4;      // on the removal list
inline constexpr uint8_t kEntryLinked = 8;      // in a layer list
inline constexpr uint8_t kEntryPortable = 0x10; // params still in the portable layout (as read)
inline constexpr uint8_t kEntryFired = 0x20;    // a once-entry whose command is running: not saved
inline constexpr uint8_t kEntryUnlisted = 0x40; // queued and already off its owner's list
inline constexpr uint8_t kEntryDead = 0x80;     // deleted during a walk, freed after it

inline constexpr uint32_t kScheduleLayerCount = 4;

struct ScheduledCommand {
    ScheduledCommand();
    ~ScheduledCommand();
    ScheduledCommand(const ScheduledCommand &) = delete;
    ScheduledCommand &operator=(const ScheduledCommand &) = delete;

    ScheduledCommand *prev = nullptr; // null while unlinked
    ScheduledCommand *next = nullptr; // null while unlinked
    Actor *owner = nullptr;           // receives the command; null once deleted
    uint32_t command = 0xFFFFFFFFu;
    std::unique_ptr<uint8_t[]> params; // private copy of the block; null when empty
    uint32_t paramSize = 0;            // bytes in params
    float start = 0.0f;                // owner's time at scheduling + start delay
    float end = 0.0f;                  // owner's time at scheduling + end delay
    float interval = 0.0f;
    float due = 0.0f;
    uint8_t tag = 0;
    uint8_t kind = 0;
    uint8_t layer = 1;
    uint8_t state = 0;
    // One link per actor that the live params name by pointer, with the
    // pointer's offset: a pointer whose actor is gone reads as null when the
    // block is delivered or saved. Empty while the params are portable.
    std::vector<std::unique_ptr<ScheduledActorGuard>> actorGuards;

    // Bounded view of the parameter copy.
    ParamBlock Block() { return ParamBlock(params.get(), paramSize); }
};

// One layer of a time record: the every-pass list (kinds 1 and 7) and the
// timed list (every other linked kind), each closed by a head and a tail
// sentinel. The linked entries belong to their owners.
struct ScheduleLayer {
    ScheduleLayer();
    ~ScheduleLayer();
    ScheduleLayer(const ScheduleLayer &) = delete;
    ScheduleLayer &operator=(const ScheduleLayer &) = delete;

    ScheduledCommand everyPassHead, everyPassTail;
    ScheduledCommand timedHead, timedTail;

    bool Empty() const {
        return everyPassHead.next == &everyPassTail && timedHead.next == &timedTail;
    }
};

// A fresh allocated entry: links null, owner null, command -1, no params,
// times 0, tag 0, kind 0, layer 1.
ScheduledCommand *NewScheduledCommand();

// Creates (or, with reuse, resets) an entry for owner and links it into layer
// `layer` of the owner's time record. The parameter bytes are copied: the
// command's native size, or for a variable layout the walk over `params`;
// what `params` lacks is zero-filled. A start in the past (a negative start
// delay) is kept for the progress; the entry is due now, so it runs in the
// next pass.
// Returns null when owner is null and for "Recursive Command", whose block
// refers to memory of the sender.
ScheduledCommand *ScheduleCommand(Actor *owner, uint32_t command, ParamBlock params, uint32_t flags,
                                  float startDelay, float endDelay, float interval,
                                  ScheduledCommand *reuse, uint32_t layer);

// Hangs an entry into its layer list of its owner's current time record.
// Kind 6, an already linked entry, a missing owner or record and a layer
// above 3 leave it unlinked.
void LinkScheduledCommand(ScheduledCommand *entry);

// The first entry of the actor whose tag matches and that is not queued for
// removal; null when none.
ScheduledCommand *FindScheduledCommandByTag(Actor *actor, uint8_t tag);
// Cancels every entry of the actor with that tag.
void CancelScheduledCommandsByTag(Actor *actor, uint8_t tag);

// a + p * (b - a), p = (due - start) / (end - start) (1.0 when end <= start),
// a and b the floats at bytes 8 and 16 of the entry's params (0 when short).
float ScheduledCommandLerpValue(const ScheduledCommand *entry);

// Runs one layer of one record.
void RunScheduleLayer(ActorSystem *system, TimeRecord *record, uint32_t layer);

// The per-frame pump: drain the removal list, then layers 0-3 of the
// system's own record. The drain takes the queued entries off their owners'
// lists in one pass per owner first, so that an actor holding many entries
// does not pay a search of its list for each.
void RunScheduledCommands(ActorSystem *system);

// Upper bound on catching-up runs of one entry in one pass; the rest follow
// in later passes.
inline constexpr int kMaxCatchUpRuns = 10000;

// Turns the params of an entry marked portable (kEntryPortable, set by the
// actor reader) into the native layout, resolving actor paths from the
// owner, and clears the mark; nothing for an entry without the mark. Runs at
// the owner's "Precalculate" or before the entry first fires, whichever
// comes first. False when the block cannot be converted: the entry is then
// cancelled, keeps its mark and is never delivered.
bool MakeScheduledCommandLive(ScheduledCommand *entry);

// Links every actor that the entry's live params name by pointer (nested
// commands included) so that its deletion is noticed; nothing while the
// params are portable. Called whenever the params become live.
void GuardScheduledActors(ScheduledCommand *entry);
// Writes null over every pointer of the params whose actor is gone.
void DropGoneScheduledActors(ScheduledCommand *entry);

// Internal: unlink (joining the neighbours), drop from the owner's list and
// the removal list, free params. Steps shared by deletion and reuse.
void DetachScheduledCommand(ScheduledCommand *entry);
