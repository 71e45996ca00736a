// The looks of the sample's weapons and of its screens around the missions:
// the guns' meshes, their muzzle flash and hit spark, the icons of the hand
// panel and the ammunition selector, the loading screen's gradient; and the
// player's weapons and ammunition stock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/math.h"
#include "sample_game.h"

class Actor;
class GameObjectActor;
class SampleOutput;

namespace sample {

// Library slots of the items below.
inline constexpr uint32_t kPistolIconTexture = 250;
inline constexpr uint32_t kRifleIconTexture = 251;
inline constexpr uint32_t kLoadingBackTexture = 252;
inline constexpr uint32_t kMuzzleFlashTexture = 253;
inline constexpr uint32_t kHitSparkTexture = 254;
inline constexpr uint32_t kPistolIconMaterial = 255;
inline constexpr uint32_t kRifleIconMaterial = 256;
inline constexpr uint32_t kGunMetalMaterial = 257;
inline constexpr uint32_t kMuzzleFlashMaterial = 258;
inline constexpr uint32_t kHitSparkMaterial = 259;
inline constexpr uint32_t kPistolMesh = 260;
inline constexpr uint32_t kRifleMesh = 261;
inline constexpr uint32_t kFlashMesh = 262;
inline constexpr uint32_t kSparkMesh = 263;

// Where a held gun's grip sits in its holder (the holder at the character's
// feet, the character looking along -z): at the right hand; and the muzzles
// of the pistol and the rifle, whose barrels reach 22 and 44 units ahead.
inline constexpr Vector3 kGunAt = {-17.0f, 33.0f, -6.0f};
inline constexpr float kPistolBarrel = 22.0f;
inline constexpr float kRifleBarrel = 44.0f;
inline constexpr Vector3 kPistolMuzzle = {kGunAt.x, kGunAt.y + 5.0f, kGunAt.z - kPistolBarrel};
inline constexpr Vector3 kRifleMuzzle = {kGunAt.x, kGunAt.y + 5.0f, kGunAt.z - kRifleBarrel};
// How long a shot's impact and shell stay.
inline constexpr float kShotCopyLife = 0.4f;

// Pictures: the guns' outlines on clear (64 x 64), the loading screen's
// background (256 x 256: its alpha rises from left to right, its blue from
// top to bottom; written as a 32-bit picture kept as it is at every texture
// quality), the flash's and the spark's glowing stars.
Image PistolIconImage();
Image RifleIconImage();
Image LoadingBackImage();
Image MuzzleFlashImage(); // 64 x 64
Image HitSparkImage();    // 32 x 32

// Meshes: a gun of boxes with its grip at the origin and its muzzle
// `barrel` units along -z; the flash's crossed quads reaching 27 units along
// +z from the origin; the spark's three crossed quads about the origin.
std::vector<uint8_t> GunQvm(float barrel);
std::vector<uint8_t> FlashQvm();
std::vector<uint8_t> SparkQvm();

// The pickups' meshes, about the origin, each one subset: the key (76 long
// along x, its bow at -x, its teeth below), a magazine 30 high and the three
// rounds in its mouth, a crystal 34 high and 22 wide.
std::vector<uint8_t> KeyQvm();
std::vector<uint8_t> ClipQvm();
std::vector<uint8_t> RoundsQvm();
std::vector<uint8_t> CrystalQvm();

} // namespace sample

class MeshObjectActor;

// A Mesh Object below `parent` showing the library mesh at `mesh` (its one
// subset in the material at `material`) at `at`, taking neither collision
// nor material from the mesh. Null when it cannot be made.
MeshObjectActor *MeshLook(Actor *parent, const char *name, int32_t id, uint32_t mesh,
                          uint32_t material, const Vector3 &at);

// A weapon's looks, children at ids from next on: a gun of the mesh shown
// by every phase that holds it ("Loaded", "Fire", "BulletLoad", "ClipUnload",
// "NoClip", "ClipLoad"; made where missing), the muzzle flash under its
// ammunition, a spark in its impact that lives `impactLife` seconds, and
// both icons. The fire phase lasts 0.08 s. False when a child cannot be made.
bool AddWeaponLooks(GameObjectActor *weapon, int32_t &next, uint32_t mesh, uint32_t icon,
                    float impactLife);

// The player's arms in the globals being made: a stock of 12 pistol bullets
// (type 1) and 10 rifle bullets (type 2), which it takes up again on "Start
// Game" (the count alone is kept in the file); the rifle "Rifle" in its
// items, for the ammunition selector to offer.
bool ArmPlayer(SampleOutput &out, const std::string &file, int32_t &next);
