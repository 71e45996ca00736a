// Motions: loading a MotionItem's key tracks (from its library record or its
// ".mot" file), blend-layer motions made relative to their base motion, and
// the queries skeleton and animation code make of a motion.
//
// A ".mot" file, little-endian: version u32 (not consulted), first vector
// 3 x f32, displacement vector 3 x f32, track count u32, then that many key
// track records (KeyTrack::Load).
//
// Track pointers handed out live until the item's next Release, ".mot" Load
// or destruction. Lengths and key times are in the tracks' own units.
#pragma once

#include <cstdint>
#include <string>

#include "base/math.h"

class KeyTrack;
class MotionItem;
class ResourceLibrary;

// Bytes of a ".mot" header.
inline constexpr uint32_t kMotHeaderBytes = 32;

// Puts the motion Load and Release into the library's loader table. Load
// runs LoadMotionFile on the process's library and sets loaded when it
// succeeds; it answers 1 in every case. Release empties the working tracks
// and clears loaded.
void RegisterMotionLoader();

// The MotionItem Load step. For a data file with the extension ".mot" (any
// case) the working tracks are replaced by the file's; with any other
// extension they are rebuilt from the record's tracks. A blend-layer motion
// (name characters 6 to 8 "BL_") is then made relative to its base motion
// (the same name with 'K' at 7, cut before the first '_' from 9 on), looked
// up among motion items and loaded first. 1, or 0 with the library's error
// text set ("Error: Load Motion From File" for a null item, or the failure
// of LoadMotionData; such a motion is not made relative).
int LoadMotionFile(ResourceLibrary* library, MotionItem* item);

// Reads a ".mot" file into the item: stores the two vectors and appends the
// tracks. 1, or 0 with the error text "Error Can't Load Motion" (null item),
// "Error - Saving Motion" (file does not open) or "Error - Saving Loading
// motion data." (a header cut short, a track count beyond the bytes left, or
// a failing track; tracks read before the failing one stay).
int LoadMotionData(ResourceLibrary* library, MotionItem* item, const char* path);

// The base motion's name of a blend-layer motion name; empty when the name
// is no blend layer's.
std::string BlendLayerBaseName(const std::string& name);

// Makes the motion's tracks relative to the base's, matching tracks by name
// in list order: positions lose the base track's first position key,
// rotations are multiplied by the inverse of its first rotation key. A base
// track without position (rotation) keys leaves positions (rotations) alone.
// Matching stops at the first motion track whose name no base track from
// the cursor on carries. Null arguments do nothing.
void MakeMotionRelative(MotionItem* motion, const MotionItem* base);

// These four load the item first when it is not loaded.
// Number of working tracks; 0 for null.
uint32_t GetMotionTrackCount(MotionItem* item);
// Writes a pointer to each working track into out, in list order.
void GetMotionTracks(KeyTrack** out, MotionItem* item);
// The first working track whose name equals the text exactly; null when
// none or for null arguments.
KeyTrack* FindMotionTrack(MotionItem* item, const char* name);
// The first working track with the name id (as the skeleton's bones name
// theirs); null when none. Does not load the item.
const KeyTrack *FindTrackById(const MotionItem &motion, uint32_t nameId);
// The first track's length; 0 for null or an item without tracks.
float GetMotionLength(MotionItem* item);

// The displacement vector divided by the first track's length; the zero
// vector without tracks or with a length of 0. Does not load the item; null
// arguments do nothing.
void GetMotionVelocity(const MotionItem* item, Vector3* out);
