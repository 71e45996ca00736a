// What the menu element classes (UI System, Window, Button, Text, Sprite)
// share: their property-sheet rows, float-to-pixel conversion, the distance
// fade of 3D labels, alignment shifts and the resolving of actors kept by id.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/math.h"
#include "core/actors/param_block.h"
#include "core/actors/class_descriptor.h"

class Actor;
class Archive;
class LibraryItem;
class MaterialItem;

// Commands of the base table the element classes serve or send.
inline constexpr uint32_t kUiCmdStart = 36;
inline constexpr uint32_t kUiCmdStop = 37;
inline constexpr uint32_t kUiCmdSetPosition = 63;
inline constexpr uint32_t kUiCmdSetResource = 91;
inline constexpr uint32_t kUiCmdScreenRect = 92;
inline constexpr uint32_t kUiCmdPrecalculate = 153;
inline constexpr uint32_t kUiCmdActionStartValue = 205;
inline constexpr uint32_t kUiCmdActionStopValue = 206;
inline constexpr uint32_t kUiCmdKillValue = 207;
inline constexpr uint32_t kUiCmdActionStart = 211;
inline constexpr uint32_t kUiCmdActionStop = 212;
inline constexpr uint32_t kUiCmdActionStartPost = 214;
inline constexpr uint32_t kUiCmdActionStopPost = 215;
// The pointer event of a menu: {i32 x, i32 y, u32 released, u32 pressed}.
inline constexpr uint32_t kUiCmdPointerEvent = 1607;

using UiSheetRow = BasicSheetRow;

// Names the class's descriptor, gives it the lineage [0, id] and the rows.
inline void RegisterUiClass(uint32_t classId, std::span<const UiSheetRow> rows) {
    RegisterBasicClassSheet(classId, rows);
}

// Truncated toward zero and held to the i32 range; NaN gives 0.
int32_t SaturateToI32(double value);

// How far an aligned box reaches back from its origin: 0 (left or top),
// half the size (centred) or the whole size (right or bottom).
float AlignShift(uint32_t align, float size);

// Visibility of a 3D label at p: 1 without a max distance, 0 at or beyond
// it, 1 below the fade distance, and a linear fade between.
float LabelVisibility(const Vector3 &p, float maxDistance, float fadeDistance);

// The actor at the id when it has the class; null otherwise.
Actor *ActorOfClass(int32_t id, uint32_t classId);

// The Enabled bit of the actor's state as a word, and setting it from one.
uint32_t EnabledWord(const Actor &actor);
void SetEnabled(Actor &actor, bool on);

// The name of the library item at the id ("" when there is none).
std::string LibraryItemName(int32_t id);
// The item when it is a material; null otherwise.
MaterialItem *AsMaterial(LibraryItem *item);

// The text table's entry for the key; the key itself without a table.
std::string Translate(const std::string &key);

// The actor's id; -1 for null.
int32_t IdOf(const Actor *actor);

// A colour as four f32 words (red, green, blue, alpha).
void SerializeColor(Archive &archive, Vector4 *color);

// The word of older files that says whether the element is enabled: written
// as 1 or 0, read as enabled when it is not 0.
void SerializeEnabledWord(Archive &archive, Actor &actor);

// What a text and a sprite share: colour, alignment, the fade factor of the
// base action commands, and the 3D-label style with its distances.
struct UiLook {
    Vector4 color = {1.0f, 1.0f, 1.0f, 1.0f};
    uint32_t alignX = 0; // 0 left, 1 centre, 2 right
    uint32_t alignY = 0; // 0 top, 1 middle, 2 bottom
    float fade = 1.0f;
    uint32_t style = 0; // 0 2D label, 1 3D label, 2 3D
    float maxDistance = 0.0f;
    float fadeDistance = 0.0f;
};

// A class's ids of the look's commands, set and get in pairs.
struct UiLookCommands {
    uint32_t color, alignX, alignY, style, fadeDistance, maxDistance;
};

// Serves the look's commands and Start / Stop / "Action Start" / "Action
// Stop Post" (the Enabled bit); false for any other command.
bool ServeUiLook(Actor &actor, UiLook &look, const UiLookCommands &ids, uint32_t commandId,
                 ParamBlock block);
