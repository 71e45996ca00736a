// The hero: the figure the player's character wears. A skinned body on the
// full bone set a Character binds (plus the right arm and the calves), lit
// and casting a shadow, with a motion for every posture and movement the
// controller, the Player and the brains ask its skin for. The guards wear
// the same body in their own colours.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class Actor;
class LibraryItem;
class SampleOutput;
class SkinObjectActor;

namespace sample {

class Scratch;
struct Image;

// Library slots of the hero's items.
inline constexpr uint32_t kHeroMeshSlot = 300;
inline constexpr uint32_t kHeroTextureSlot = 301;
inline constexpr uint32_t kHeroMaterialSlot = 302;
inline constexpr uint32_t kGuardMeshSlot = 303;
inline constexpr uint32_t kGuardTextureSlot = 304;
inline constexpr uint32_t kGuardMaterialSlot = 305;
inline constexpr uint32_t kHeroFirstMotionSlot = 310;

// The mesh items' names.
inline constexpr const char *kHeroMeshName = "hero";
inline constexpr const char *kGuardMeshName = "hero_guard";

// The hero's bones, parents first.
const std::vector<std::string> &HeroBoneNames();

// The hero's mesh file: one subset, every vertex on one bone.
std::vector<uint8_t> HeroQvm();

// The palette the body's parts are coloured from (64 x 64, 4 x 4 cells);
// the guards' has a uniform where the hero has his tunic.
Image HeroSkinImage(bool guard);

// One motion of the hero's skin: the record's name, its library item and
// file, and how the record plays it.
struct HeroMotionInfo {
    std::string record;
    std::string item;
    std::string file;
    float length = 0.0f;
    uint8_t playStyle = 0;
    float blendTime = 0.0f;
};
const std::vector<HeroMotionInfo> &HeroMotions();

// The hero's library items with their slots: the meshes, textures and
// materials of the hero and the guards, and one motion per record.
std::vector<std::pair<uint32_t, std::unique_ptr<LibraryItem>>> HeroLibraryItems();

// Writes the mesh, the palettes and the motion files into the data folder.
bool WriteHeroFiles(SampleOutput &out, const Scratch &scratch);

} // namespace sample

// The SkinObject "Skin" below the owner at `next` on the mesh item `mesh`
// (kHeroMeshName or kGuardMeshName) with every motion of HeroMotions().
// Null when it cannot be made (the output is told of a missing library).
SkinObjectActor *AddHeroSkin(SampleOutput &out, const std::string &file, Actor *owner,
                             int32_t &next, const char *mesh);
