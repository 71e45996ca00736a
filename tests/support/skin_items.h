// Skinned items of the presentation tests, added to a library's table: the
// mesh "worm" (bones "Bip01", "Spine1" below it, "Head" below that; loaded,
// bones only), the mesh "Box" and the motions below. Every motion's first
// track is 1 unit long unless named otherwise.
//   "N_Neutral"      tracks Bip01, Spine1, Head; length 2; Head turns about
//                    z from 0 to 90 degrees and rises from 10 to 12
//   "N_Walk", "N_Walk_01", "N_Walk_02", and "N_Walk_00" and "N_Walk_04"
//                    (no "_03"), which are never chosen as variants
//   "N_Walk_2_N_Run" length 0.5, the transition from walk to run
//   "N_Run"          a "Bip01" track moving along x from 0 to 10 over 1 unit
//   "N_Die0", "N_Dead", "N_BL_Wave" for the name rules
//   "Obj_Anim"       tracks "Obj_Box_01" (at (1, 2, 3)), "Hd", "Obj_Nothing"
#pragma once

#include <cstdint>

class ResourceLibrary;

namespace skintest {

inline constexpr uint32_t kWormSlot = 40;
inline constexpr uint32_t kBoxSlot = 41;
inline constexpr uint32_t kNeutralSlot = 50;
inline constexpr uint32_t kWalkSlot = 51;
inline constexpr uint32_t kWalk01Slot = 52;
inline constexpr uint32_t kWalk02Slot = 53;
inline constexpr uint32_t kWalk04Slot = 54;
inline constexpr uint32_t kWalkToRunSlot = 55;
inline constexpr uint32_t kRunSlot = 56;
inline constexpr uint32_t kDieSlot = 57;
inline constexpr uint32_t kDeadSlot = 58;
inline constexpr uint32_t kWaveSlot = 59;
inline constexpr uint32_t kWalk00Slot = 60;
inline constexpr uint32_t kObjectsSlot = 61;

// False when the items do not read.
bool LoadSkinItems(ResourceLibrary &library);

} // namespace skintest
