// What the game tells the player: a notice that comes up over the game for
// a few seconds (the mission's objective, a locked door, a find), the
// objective again on the pause page, the key shown beside the weapon panel
// once it is taken, the exits marked as exits, the menus' backdrop, and the
// mission clock's end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/math.h"
#include "sample_font.h"
#include "sample_game.h"

class Actor;
class SampleOutput;
struct Slab;

namespace sample {

// Library slots of the items below.
inline constexpr uint32_t kKeyIconTexture = 370;
inline constexpr uint32_t kExitTexture = 371;
inline constexpr uint32_t kChimeSound = 372;
inline constexpr uint32_t kNoticeFont = 373;
inline constexpr uint32_t kKeyIconMaterial = 375;
inline constexpr uint32_t kExitMaterial = 376;
// The pickups' looks: their meshes and the key's gold (also the rounds'
// brass) and the power-up's glowing crystal.
inline constexpr uint32_t kKeyMesh = 380;
inline constexpr uint32_t kClipMesh = 381;
inline constexpr uint32_t kRoundsMesh = 382;
inline constexpr uint32_t kCrystalMesh = 383;
inline constexpr uint32_t kGoldMaterial = 384;
inline constexpr uint32_t kCrystalMaterial = 385;

// A gold key on clear (64 x 64); the exits' floor, a bright green square
// with a light rim and arrows pointing in (128 x 128); the find's chime,
// two rising notes (0.4 s, mono).
Image KeyIconImage();
Image ExitImage();
std::vector<uint8_t> ChimeWave();

// Frame k of `frames` of the logo film: the engine's name, light on a
// plain dark ground, fading in from black and out again.
void LogoFilmFrame(const PreparedFont &font, int k, int frames, uint32_t width, uint32_t height,
                   std::vector<uint8_t> &bgrx);

} // namespace sample

// Script statements: the notice shows `text` (lines split by '\n') for a
// few seconds, replacing any notice still up; the pause page's objective
// line becomes `text`.
std::string ShowNotice(const std::string &text);
std::string SetObjective(const std::string &text);

// In the play globals being made, at ids from 7600 on: below actor 16 the
// notice "Notice" (a dark bar with its "Text", hidden) and the key
// "KeyHeld" (its icon and "Key", hidden); the pause page's "Objective";
// "Saved" in the save offer and on the pause page (shown after a save,
// not with its window); and a key at the end of "MissionTime" that opens
// the death menu titled "Time is up". `end` grows past them.
bool AddGuidance(SampleOutput &out, const std::string &file, int32_t &end);

// Ids of the menus' backdrops in the play globals: a menu's children load
// in the order of their ids, and the backdrop comes first.
inline constexpr int32_t kPauseBackdropId = 6990;
inline constexpr int32_t kOfferBackdropId = 6991;
inline constexpr int32_t kDeathBackdropId = 6992;

// A dark sprite over the whole screen below the menu at `id`, an id below
// those of the menu's other children, so that it lies under the rest of the
// menu. Null when it cannot be made.
Actor *AddMenuBackdrop(Actor *menu, int32_t id);

// "Briefing" below the room at `id`: on "Start Game" it shows the mission
// clock again (the end hides it), sets the pause page's objective and, two
// seconds on, as the fade from black ends, shows the notice.
bool AddBriefing(SampleOutput &out, const std::string &file, Actor *room, int32_t id,
                 const std::string &notice, const std::string &objective);

// An exit's look below the room at ids from `next` on: the square in the
// glowing "Exit" material, a green lamp above it and the word "EXIT"
// floating over it, seen from across the room.
bool AddExitLook(Actor *room, int32_t &next, const Slab &square);

// One mesh of a pickup's look: the library slots of a mesh and of the
// material it wears.
struct PickupPart {
    uint32_t mesh;
    uint32_t material;
};
// How far above an item lying in a mission its look floats.
inline constexpr float kPickupLift = 30.0f;

// A pickup's look below the item at ids from `next` on: "Look", a Matrix
// Animation kPickupLift above it bobbing the parts' Mesh Objects up and
// down (the item itself turns them as it lies in the scene); the word
// "Label" floating over them in the colour, seen from across the room; with
// `lamp`, a light "Light" of the colour above them, which the item switches
// off once it is taken. The hero's body takes the item by touching its
// "Pick" sphere; taken, it hides its parts. False when a part cannot be
// made.
bool AddPickupLook(Actor *item, int32_t &next, const std::vector<PickupPart> &parts,
                   const std::string &word, const Vector4 &color, bool lamp);
