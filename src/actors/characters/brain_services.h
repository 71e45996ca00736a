// Helpers that the brains (Guard, AI Player, AI Player 2) share: the edited
// lists of hit effects and attacks with their numbered labels, the draw of
// an attack by weight, the sampled trail of a leader, and the collection of
// the AI Helper markers of a draw group.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/math.h"
#include "core/actors/param_block.h"

// The labels of a list selector, "Hit Effect %d" or "Attack%d" formatted
// with 0..count-1: rebuilt into `names` and copied into the caller's list
// that the block points at (null: none).
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
// A field of the selected list entry: odd ids set it, even ids answer it
// when `setIsOdd`; the other way round otherwise.
template <class T> void EntryField(uint32_t commandId, ParamBlock block, T &field, bool setIsOdd) {
    if (((commandId & 1u) != 0) == setIsOdd) {
        field = block.Read<T>(0);
    } else {
        block.Write(0, field);
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
