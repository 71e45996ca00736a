// Helpers that the brains (Guard, AI Player, AI Player 2) share: one-value
// queries (the one-value sends come with them), distances, actors by id,
// the set/get commands bound to fields (from field_commands.h), the edited
// lists of hit effects and attacks with their numbered labels, the draw of
// an attack by weight, the sampled trail of a leader, and the collection of
// the AI Helper markers of a draw group.
#pragma once

#include <cmath>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/actor_sends.h"
#include "core/actors/field_commands.h"
#include "core/actors/param_block.h"

// Asks a query whose answer block starts zeroed (0 without an actor).
float QueryReal(Actor *actor, uint32_t commandId);
uint32_t QueryWord(Actor *actor, uint32_t commandId);
Vector3 QueryPoint(Actor *actor, uint32_t commandId);

// The first direct child of the class; null when none.
Actor *FindChildOfClass(Actor *actor, uint32_t classId);
// The actor at the id when there is one (of the class, unless -1).
Actor *ActorAt(int32_t id, int32_t ofClass = -1);

float Distance(const Vector3 &a, const Vector3 &b);
// The distance with the y difference left out.
float HorizontalDistance(const Vector3 &a, const Vector3 &b);

// Whether a motion name (a two-letter prefix, then the movement) names one
// of the attack movements Attack0-Attack3.
bool IsAttackMotion(std::string_view name);

// A caller's list for the labels command of a list selector (an editing
// front end's): while the scope lives, a labels command whose block starts
// with the list's address fills it. The command writes to no other address:
// a block that a file, a script or a saved command made is only bytes.
// Main thread only.
class LabelListScope {
  public:
    explicit LabelListScope(std::vector<std::string> *list);
    ~LabelListScope();
    LabelListScope(const LabelListScope &) = delete;
    LabelListScope &operator=(const LabelListScope &) = delete;

  private:
    std::vector<std::string> *list_;
};

// The labels of a list selector, "Hit Effect %d" or "Attack%d" formatted
// with 0..count-1: rebuilt into `names` and copied into the caller's list
// whose address the block starts with, when a LabelListScope holds that
// list (none otherwise).
void FillIndexedNames(ParamBlock block, std::vector<std::string> &names, const char *format,
                      size_t count);
// The index whose label equals the text exactly; -1 when none.
int32_t FindIndexedName(std::string_view text, const char *format, size_t count);

// The entry at the index; null when it is not a valid index.
template <class T> T *SelectedEntry(std::vector<T> &list, int32_t index) {
    return index >= 0 && static_cast<size_t>(index) < list.size() ? &list[index] : nullptr;
}
// Removes the entry at a valid index (later ones move down) and clears the
// selection; nothing otherwise.
template <class T> void EraseSelectedEntry(std::vector<T> &list, int32_t &index) {
    if (index >= 0 && static_cast<size_t>(index) < list.size()) {
        list.erase(list.begin() + index);
        index = -1;
    }
}

// The commands of an edited list: add an entry (which becomes the
// selected one), delete the selected one, select by label and fill the
// caller's list of labels.
struct IndexedListCommands {
    uint32_t add, remove, select, labels;
};
// Serves the list's commands with labels of the format (see
// FillIndexedNames; `names` keeps the labels handed out); a select whose
// text is no label keeps the selection. False for any other command.
template <class T>
bool ServeIndexedList(const IndexedListCommands &ids, uint32_t commandId, ParamBlock block,
                      std::vector<T> &list, int32_t &index, const char *format,
                      std::vector<std::string> &names) {
    if (commandId == ids.add) {
        list.push_back(T{});
        index = static_cast<int32_t>(list.size()) - 1;
    } else if (commandId == ids.remove) {
        EraseSelectedEntry(list, index);
    } else if (commandId == ids.select) {
        const int32_t found = FindIndexedName(block.ReadString(0), format, list.size());
        index = found >= 0 ? found : index;
    } else if (commandId == ids.labels) {
        FillIndexedNames(block, names, format, list.size());
    } else {
        return false;
    }
    return true;
}

// A field of the selected list entry: odd ids set it, even ids answer it
// when `setIsOdd`; the other way round otherwise.
template <class T> void EntryField(uint32_t commandId, ParamBlock block, T &field, bool setIsOdd) {
    if (((commandId & 1u) != 0) == setIsOdd) {
        field = block.Read<T>(0);
    } else {
        block.Write(0, field);
    }
}

// The six commands of a selected entry's three fields from `first` on, a
// pair (see EntryField) each: the word, then the two reals. Nothing without
// an entry.
template <class T>
void ServeEntryFields(uint32_t commandId, uint32_t first, ParamBlock block, T *entry,
                      uint32_t T::*word, float T::*real1, float T::*real2, bool setIsOdd) {
    if (entry == nullptr) {
        return;
    }
    if (commandId <= first + 1) {
        EntryField(commandId, block, entry->*word, setIsOdd);
    } else {
        EntryField(commandId, block, commandId <= first + 3 ? entry->*real1 : entry->*real2,
                   setIsOdd);
    }
}

// What a landed hit sends the struck character: "Set Movement" (845) with
// "Gethit<n-1>" for a gethit id n > 0 and "Set Next Movement" (847) with
// "Damage<n-1>" for a damage id n > 0.
void SendHitMovements(Actor *victim, uint32_t gethitId, uint32_t damageId);
// Then each effect of types 0-14 as 940 + type with {value, time} times
// the factor (other types are kept in the list, never sent; nor is an
// effect whose scaled value or time is not finite: the struck character's
// values stay its own). The victim's handlers may delete it: each effect
// finds it again by the id it had before the hit began.
template <class Effect>
void SendHitEffects(Actor *victim, int32_t victimId, const std::vector<Effect> &list,
                    float factor) {
    const std::vector<Effect> effects = list;
    for (const Effect &effect : effects) {
        if (ActorAt(victimId) != victim) {
            return;
        }
        float values[2] = {effect.value * factor, effect.time * factor};
        if (effect.type < 15 && std::isfinite(values[0]) && std::isfinite(values[1])) {
            victim->HandleCommand(940 + effect.type, ParamBlock(values, sizeof(values)));
        }
    }
}

// Draws an index by weight, as drawing one entry from a list that holds
// each index `weight` times would: Rand() mod the (64-bit) sum of the
// weights, found on the running sum. -1 when the weights add up to 0; a
// single weighted entry is taken without drawing.
int32_t WeightedDraw(std::span<const uint32_t> weights);
// The same draw that takes Rand() whenever a weight is set, as indexing
// the expanded list always does; -1 (nothing drawn) when all are 0.
int32_t ExpandedPoolDraw(std::span<const uint32_t> weights);

// One sample of a leader's position: the first point is taken as it is,
// later ones only past 20 units from the newest point; after such a point,
// with more than 8 points, a return to within 100 units of an older point
// (not one of the newest four) cuts the trail back to the points before it.
// Then the oldest point goes while more than `cap` are held.
void AddTrailSample(std::deque<Vector3> &trail, const Vector3 &point, size_t cap);

// The actor ids of the AI Helpers below the Draw Group of that registry id
// (depth first, command 172). False, with the list kept, when the id has
// no Draw Group.
bool CollectMarkerIds(int32_t drawGroup, std::vector<int32_t> &ids);
