// The sample game's library "DAZedirad.qvf" and the data files its items
// name.
#include <cmath>
#include <memory>
#include <tuple>
#include <utility>

#include "end_to_end_folder.h"
#include "library/bitmap_font.h"
#include "library/key_track.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/name_table.h"
#include "platform/os/video/film_writer.h"
#include "sample_actors.h"
#include "sample_ai.h"
#include "sample_aim.h"
#include "sample_character.h"
#include "sample_dialogs.h"
#include "sample_font.h"
#include "sample_game.h"
#include "sample_guard.h"
#include "sample_guidance.h"
#include "sample_hero.h"
#include "sample_hud.h"
#include "sample_level_parts.h"
#include "sample_menu.h"
#include "sample_missions.h"
#include "sample_output.h"
#include "sample_presentation.h"
#include "sample_save.h"
#include "sample_textures.h"
#include "sample_weapon.h"

namespace sample {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Key times and motion lengths count in seconds; the worm's motions are drawn
// in frames of 30 a second, the rate meshes are animated at.
constexpr float kFramesPerSecond = 30.0f;

float Frames(float frames) { return frames / kFramesPerSecond; }

std::string DataPath(const std::string& name) { return std::string(kDataFolder) + name; }

// The items of the library, kept alive until the library is written.
class Table {
public:
    template <typename T>
    T& Add(uint32_t slot, const std::string& name, const std::string& file = "") {
        auto item = std::make_unique<T>();
        item->name = name;
        item->fileName = file;
        item->slotIndex = slot;
        T& ref = *item;
        items_.push_back({slot, std::move(item)});
        return ref;
    }

    TextureItem& Texture(uint32_t slot, const std::string& name, const std::string& file,
                         uint32_t width, uint32_t height, uint32_t kind = 0) {
        TextureItem& t = Add<TextureItem>(slot, name, file);
        t.width = width;
        t.height = height;
        t.kind = kind;
        return t;
    }

    MaterialItem& Material(uint32_t slot, const std::string& name, uint32_t blendMode,
                           std::vector<uint32_t> textures) {
        MaterialItem& m = Add<MaterialItem>(slot, name);
        m.material.diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
        m.material.ambient = {1.0f, 1.0f, 1.0f, 1.0f};
        m.blendMode = blendMode;
        m.textureIds = std::move(textures);
        return m;
    }

    MeshItem& Mesh(uint32_t slot, const std::string& name, const std::string& file,
                   uint32_t collisionType, uint32_t material) {
        MeshItem& mesh = Add<MeshItem>(slot, name, file);
        mesh.subsetSettings.resize(1);
        mesh.subsetSettings[0].word0 = collisionType;
        mesh.subsetSettings[0].word1 = material;
        return mesh;
    }

    SoundItem& Sound(uint32_t slot, const std::string& name, const std::string& file,
                     uint32_t flags, uint32_t category) {
        SoundItem& s = Add<SoundItem>(slot, name, file);
        s.flags = flags;
        s.category = category;
        return s;
    }

    void Put(uint32_t slot, std::unique_ptr<LibraryItem> item) {
        items_.push_back({slot, std::move(item)});
    }

    void AddTo(LibraryWriter& writer) {
        for (auto& [slot, item] : items_) {
            writer.AddItem(slot, *item);
        }
    }

private:
    std::vector<std::pair<uint32_t, std::unique_ptr<LibraryItem>>> items_;
};

Quaternion AxisAngle(float x, float y, float z, double angle) {
    const float s = float(std::sin(angle / 2.0));
    return {x * s, y * s, z * s, float(std::cos(angle / 2.0))};
}

// Both bones of the worm swaying about x over 30 frames (a second); with a
// reach, the first (the root) also moves that far along +z.
std::vector<std::unique_ptr<KeyTrack>> WormTracks(double sway, float reach = 0.0f) {
    std::vector<std::unique_ptr<KeyTrack>> tracks;
    for (int b = 0; b < 2; ++b) {
        auto track = std::make_unique<KeyTrack>();
        track->nameId = GetNameTable().FindOrAdd(WormBoneNames()[size_t(b)].c_str());
        track->length = Frames(30.0f);
        for (int k = 0; k <= 3; ++k) {
            const double angle = (b == 0 ? sway : -sway) * std::sin(kPi * k / 1.5);
            track->AddRotationKey(Frames(10.0f * float(k)), AxisAngle(1, 0, 0, angle));
        }
        if (b == 0 && reach != 0.0f) {
            track->AddPositionKey(0.0f, {0, 0, 0});
            track->AddPositionKey(Frames(30.0f), {0, 0, reach});
        }
        tracks.push_back(std::move(track));
    }
    return tracks;
}

// A looping worm motion in the record's own tracks, in place.
void WormMotion(Table& table, uint32_t slot, const std::string& name, double sway) {
    table.Add<MotionItem>(slot, name).recordTracks = WormTracks(sway);
}

// The worm's standing motion: every bone swaying a little about z, 31 keys
// over 30 frames, each bone at its rest place below its parent.
void NeutralTracks(std::vector<std::unique_ptr<KeyTrack>>& tracks) {
    static const Vector3 kLocal[8] = {{0, 0, 0},  {0, 20, 0}, {0, 20, 0}, {0, 20, 0},
                                      {0, 10, 0}, {0, 20, 0}, {15, 5, 0}, {-15, 5, 0}};
    for (size_t b = 0; b < WormBoneNames().size(); ++b) {
        auto track = std::make_unique<KeyTrack>();
        track->nameId = GetNameTable().FindOrAdd(WormBoneNames()[b].c_str());
        track->length = Frames(30.0f);
        for (int k = 0; k <= 30; ++k) {
            const double angle = 0.05 * std::sin(2.0 * kPi * k / 30.0 + 0.5 * double(b));
            track->AddRotationKey(Frames(float(k)), AxisAngle(0, 0, 1, angle));
        }
        track->AddPositionKey(0.0f, kLocal[b]);
        tracks.push_back(std::move(track));
    }
}

// The arms swinging about x over 20 frames; the layer swings further.
void ArmTracks(std::vector<std::unique_ptr<KeyTrack>>& tracks, double swing) {
    const char* arms[2] = {"L_UpperArm", "R_UpperArm"};
    for (int a = 0; a < 2; ++a) {
        auto track = std::make_unique<KeyTrack>();
        track->nameId = GetNameTable().FindOrAdd(arms[a]);
        track->length = Frames(20.0f);
        for (int k = 0; k <= 4; ++k) {
            const double angle = swing * std::sin(2.0 * kPi * k / 4.0) * (a == 0 ? 1.0 : -1.0);
            track->AddRotationKey(Frames(5.0f * float(k)), AxisAngle(1, 0, 0, angle));
        }
        tracks.push_back(std::move(track));
    }
}

std::vector<uint8_t> MotFile(std::vector<std::unique_ptr<KeyTrack>>& tracks,
                             const Vector3& displacement) {
    MotWriter writer(1);
    writer.SetDisplacement(displacement.x, displacement.y, displacement.z);
    for (auto& track : tracks) {
        writer.AddTrack(*track);
    }
    return writer.WriteToMemory();
}

bool WriteImage(SampleOutput& out, const Scratch& scratch, const std::string& name,
                const Image& image) {
    std::vector<uint8_t> bytes;
    if (!EncodeTga(scratch, image, bytes)) {
        return out.Fail(DataPath(name), "cannot encode the image");
    }
    return out.Write(DataPath(name), bytes);
}

bool WriteBytes(SampleOutput& out, const std::string& name, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) {
        return out.Fail(DataPath(name), "cannot encode");
    }
    return out.Write(DataPath(name), bytes);
}

bool WriteFilm(SampleOutput& out, const Scratch& scratch, const std::string& name,
               const filmwriter::FilmSpec& spec) {
    std::string error;
    if (!filmwriter::WriteFilm(scratch.Path(name), spec, &error)) {
        return out.Fail(DataPath(name), error);
    }
    std::vector<uint8_t> bytes;
    if (!scratch.Take(name, bytes)) {
        return out.Fail(DataPath(name), "cannot read the film back");
    }
    return out.Write(DataPath(name), bytes);
}

// The game actor's screen: its font, the fade's black and the head-up
// display's flat pictures (the soul icons frame a clear window in which the
// fill shows; the endurance bar's back frames its marks); the save screen's
// images of slots at missions 1 and 2; and mission 2's floor.
void AddGameScreenItems(Table& table) {
    FontItem& font = table.Add<FontItem>(190, "GameFont");
    font.faceName = "DejaVu Sans";
    font.size = 14;
    table.Texture(220, "hud_flare", "hud_flare.tga", 16, 16);
    table.Texture(221, "hud_soul", "hud_soul.tga", 128, 128);
    table.Texture(222, "hud_soul2", "hud_soul2.tga", 128, 128);
    table.Texture(223, "hud_fill", "hud_fill.tga", 16, 16);
    table.Texture(224, "hud_endurance", "hud_endurance.tga", 64, 16);
    table.Texture(225, "hud_mark", "hud_mark.tga", 4, 16);
    // Flat quads blended by their own alpha: a material alpha below 1 keeps
    // the alpha of the quad's colour.
    const auto flat = [&table](uint32_t slot, const char* name, uint32_t texture) {
        MaterialItem& m = table.Material(slot, name, 0, {texture});
        m.unlit = 1;
        m.fog = 0;
        m.materialAlpha = 1;
        m.material.diffuse.a = 0.5f;
    };
    flat(191, "Black", 2);
    flat(192, "AmmoFlare", 220);
    // The icons take the alpha of their pictures.
    for (auto [slot, name, texture] : {std::tuple{193u, "SoulIcon", 221u}, {194u, "SoulIcon02", 222u}}) {
        MaterialItem& icon = table.Material(slot, name, 1, {texture});
        icon.unlit = 1;
        icon.fog = 0;
    }
    flat(195, "SoulIconFill", 223);
    MaterialItem& back = table.Material(196, "endurance_back", 1, {224});
    back.unlit = 1;
    back.fog = 0;
    flat(197, "endurance_mark", 225);
    table.Material(198, "Menu_SaveSlot_01", 0, {201}).unlit = 1;
    table.Material(199, "Menu_SaveSlot_02", 0, {202}).unlit = 1;
    // Lit, it glows flat cyan whatever the lights add; fog leaves it alone.
    MaterialItem& floor2 = table.Material(226, "Floor2", 0, {2});
    floor2.material.diffuse = {0.0f, 1.0f, 1.0f, 1.0f};
    floor2.material.ambient = {0.0f, 1.0f, 1.0f, 1.0f};
    floor2.material.emissive = {0.0f, 1.0f, 1.0f, 1.0f};
    floor2.fog = 0;
}

// The weapons' looks and the loading screen's background (slots 250-263,
// named in sample_hud.h).
void AddWeaponLookItems(Table &table) {
    table.Texture(kPistolIconTexture, "hud_pistol", "hud_pistol.tga", 64, 64);
    table.Texture(kRifleIconTexture, "hud_rifle", "hud_rifle.tga", 64, 64);
    // Kind 4 keeps the picture's own format, and so its alpha ramp, at
    // every texture quality.
    table.Texture(kLoadingBackTexture, "loading_back", "loading_back.tga", 256, 256, 4);
    table.Texture(kMuzzleFlashTexture, "muzzle_flash", "muzzle_flash.tga", 64, 64);
    table.Texture(kHitSparkTexture, "hit_spark", "hit_spark.tga", 32, 32);
    for (auto [slot, name, texture] :
         {std::tuple{kPistolIconMaterial, "PistolIcon", kPistolIconTexture},
          {kRifleIconMaterial, "RifleIcon", kRifleIconTexture}}) {
        MaterialItem &icon = table.Material(slot, name, 1, {texture});
        icon.unlit = 1;
        icon.fog = 0;
    }
    MaterialItem &metal = table.Material(kGunMetalMaterial, "GunMetal", 0, {2});
    metal.material.diffuse = {0.32f, 0.33f, 0.36f, 1.0f};
    metal.material.ambient = {0.32f, 0.33f, 0.36f, 1.0f};
    // Added on top of the scene from both sides, sorted with the other
    // blended draws.
    for (auto [slot, name, texture] :
         {std::tuple{kMuzzleFlashMaterial, "MuzzleFlash", kMuzzleFlashTexture},
          {kHitSparkMaterial, "HitSpark", kHitSparkTexture}}) {
        MaterialItem &glow = table.Material(slot, name, 3, {texture});
        glow.unlit = 1;
        glow.fog = 0;
        glow.twoSided = 1;
        glow.bucketMask = 1u << 7;
    }
    table.Mesh(kPistolMesh, "pistol", "pistol.qvm", 0, kGunMetalMaterial);
    table.Mesh(kRifleMesh, "rifle", "rifle.qvm", 0, kGunMetalMaterial);
    table.Mesh(kFlashMesh, "flash", "flash.qvm", 0, kMuzzleFlashMaterial);
    table.Mesh(kSparkMesh, "spark", "spark.qvm", 0, kHitSparkMaterial);
}

bool WriteWeaponLookFiles(SampleOutput &out, const Scratch &scratch) {
    return WriteImage(out, scratch, "hud_pistol.tga", PistolIconImage()) &&
           WriteImage(out, scratch, "hud_rifle.tga", RifleIconImage()) &&
           WriteImage(out, scratch, "loading_back.tga", LoadingBackImage()) &&
           WriteImage(out, scratch, "muzzle_flash.tga", MuzzleFlashImage()) &&
           WriteImage(out, scratch, "hit_spark.tga", HitSparkImage()) &&
           WriteBytes(out, "pistol.qvm", GunQvm(kPistolBarrel)) &&
           WriteBytes(out, "rifle.qvm", GunQvm(kRifleBarrel)) &&
           WriteBytes(out, "flash.qvm", FlashQvm()) && WriteBytes(out, "spark.qvm", SparkQvm());
}

// The missions' surfaces (slots 350-369): generated stone, wood, metal,
// tile and brick, lit, and the end screen's cloth, unlit.
void AddLevelSurfaces(Table& table) {
    const std::tuple<uint32_t, const char*, const char*> surfaces[] = {
        {350, "stone", "Stone"}, {351, "wood", "Wood"}, {352, "metal", "Metal"},
        {353, "tile", "Tile"},   {354, "brick", "Brick"}};
    for (const auto& [slot, texture, material] : surfaces) {
        table.Texture(slot, texture, std::string(texture) + ".tga", 128, 128);
        table.Material(slot + 10, material, 0, {slot});
    }
    table.Texture(355, "the_end", "the_end.tga", 256, 64);
    table.Material(365, "TheEnd", 0, {355}).unlit = 1;
}

// What the game tells the player with (slots 370-389): the key's icon, the
// exits' glowing floor, the find's chime, the notices' font, and the looks
// of the pickups lying in the missions: a gold key, a magazine with its
// brass rounds and a glowing crystal.
void AddGuidanceItems(Table& table) {
    table.Texture(kKeyIconTexture, "hud_key", "hud_key.tga", 64, 64);
    table.Texture(kExitTexture, "exit_mark", "exit_mark.tga", 128, 128);
    table.Sound(kChimeSound, "chime", "chime.wav", SoundItem::kFlagWholeFile, 0);
    FontItem& notice = table.Add<FontItem>(kNoticeFont, "Notice");
    notice.faceName = "DejaVu Sans";
    notice.size = 15;
    MaterialItem& key = table.Material(kKeyIconMaterial, "KeyIcon", 1, {kKeyIconTexture});
    key.unlit = 1;
    key.fog = 0;
    MaterialItem& exit = table.Material(kExitMaterial, "Exit", 0, {kExitTexture});
    exit.unlit = 1;
    exit.fog = 0;
    // Lit, with a glow of their own that keeps them bright in a dim corner.
    for (auto [slot, name, color, glow] :
         {std::tuple{kGoldMaterial, "Gold", gfx::ColorValue{1.0f, 0.78f, 0.2f, 1.0f}, 0.35f},
          {kCrystalMaterial, "Crystal", gfx::ColorValue{0.3f, 1.0f, 0.85f, 1.0f}, 0.6f}}) {
        MaterialItem& m = table.Material(slot, name, 0, {2});
        m.material.diffuse = color;
        m.material.ambient = color;
        m.material.emissive = {color.r * glow, color.g * glow, color.b * glow, 1.0f};
    }
    table.Mesh(kKeyMesh, "key", "key.qvm", 0, kGoldMaterial);
    table.Mesh(kClipMesh, "clip", "clip.qvm", 0, kGunMetalMaterial);
    table.Mesh(kRoundsMesh, "rounds", "rounds.qvm", 0, kGoldMaterial);
    table.Mesh(kCrystalMesh, "crystal", "crystal.qvm", 0, kCrystalMaterial);
}

// Every item of the library, in slot order within each class.
void AddItems(Table& table, const PreparedFont& sheetFont) {
    table.Sound(1, "beep", "beep.wav", SoundItem::kFlagWholeFile, 0);
    table.Texture(2, "white", "white.tga", 64, 64);
    // Its pieces take no collision from it: those that stand in the way get
    // boxes of their own (MakeShowpiecesSolid).
    table.Mesh(3, "cube", "cube.qvm", 0, 28);
    table.Texture(7, "checker", "checker.tga", 256, 256);
    table.Texture(8, "font_sheet", "font_sheet.tga", sheetFont.sheet.width,
                  sheetFont.sheet.height, 4);
    table.Texture(10, "grad", "grad.png", 128, 128);
    table.Texture(11, "noise", "noise.jpg", 256, 256);
    table.Texture(12, "ring", "ring.tga", 128, 128);
    table.Texture(13, "envmap", "envmap.tga", 128, 128);
    table.Texture(14, "badge", "badge.tga", 32, 32);
    table.Texture(15, "ui_button", "ui_button.tga", 128, 32, 3);
    table.Texture(16, "raw4", "raw4.tga", 64, 64, 4);
    table.Texture(17, "film", "film.avi", 64, 64);
    table.Texture(110, "ui_cursor", "ui_cursor.tga", 16, 16);
    // The save screen's slot pictures: empty, saved at missions 1 and 2,
    // and at the end.
    table.Texture(200, "slot_empty", "slot_empty.tga", kSlotImageWidth, kSlotImageHeight);
    table.Texture(201, "slot_mission_01", "slot_mission_01.tga", kSlotImageWidth, kSlotImageHeight);
    table.Texture(202, "slot_mission_02", "slot_mission_02.tga", kSlotImageWidth, kSlotImageHeight);
    table.Texture(203, "slot_the_end", "slot_the_end.tga", kSlotImageWidth, kSlotImageHeight);
    // The meshes that collide carry the bounds their files give them.
    FloorBounds(table.Mesh(40, "floor", "floor.qvm", 4, 30).subsetSettings[0]);
    SphereBounds(table.Mesh(41, "sphere", "sphere.qvm", 8, 4).subsetSettings[0]);
    table.Mesh(42, "cylinder", "cylinder.qvm", 0, 4);
    table.Mesh(43, "flag", "flag.anb", 0, 4);
    table.Mesh(44, "worm", "worm.qvm", 0, 4).meshKind = 1;
    table.Mesh(45, "worm_v1", "worm_v1.qvm", 0, 4).meshKind = 1;
    table.Sound(50, "hum3d", "hum3d.wav", SoundItem::kFlagWholeFile | SoundItem::kFlag3D, 0);
    table.Sound(51, "music", "music.wav", 0, 1);

    table.Material(4, "Default", 0, {7});
    table.Material(5, "Menu_Back", 1, {kLoadingBackTexture}).materialAlpha = 1;
    table.Material(6, "Menu_OrskLogo", 1, {12}).materialAlpha = 1;
    // One material per blend mode.
    static const std::vector<uint32_t> kBlendTextures[8] = {{7},  {12},     {11},     {14},
                                                            {13}, {13},     {7, 13},  {13, 12}};
    for (uint32_t mode = 0; mode < 8; ++mode) {
        table.Material(20 + mode, "Blend" + std::to_string(mode), mode, kBlendTextures[mode]);
    }
    // The cube's: casting a stencil shadow (bucket 4) and drawn after the
    // shadows (bucket 5, appended like the normal bucket 3), as the bodies
    // are. Drawn before them, the caps of its volume that face the shadow's
    // light lie on its own lit faces and pass or fail the depth test pixel
    // by pixel: light stripes over a darkened crate.
    table.Material(28, "ShadowCaster", 0, {2}).bucketMask = (1u << 4) | (1u << 5);
    table.Material(29, "TwoSided", 0, {7}).twoSided = 1;
    table.Material(30, "Unlit", 0, {7}).unlit = 1;
    MaterialItem& translucent = table.Material(31, "Translucent", 0, {2});
    translucent.materialAlpha = 1;
    translucent.material.diffuse = {0.2f, 0.6f, 1.0f, 0.5f};
    translucent.bucketMask = 0;
    table.Material(32, "Video", 0, {17}).unlit = 1;
    MaterialItem& sprite = table.Material(33, "Sprite", 0, {14});
    sprite.unlit = 1;
    sprite.fog = 0;
    // The particles' quads: the ring added on top of the scene, sorted far
    // to near with the other blended draws.
    MaterialItem& particleAdd = table.Material(34, "ParticleAdd", 3, {12});
    particleAdd.unlit = 1;
    particleAdd.bucketMask = 1u << 7;
    // The player character's skin: flat magenta. Unlit faces take the vertex
    // colour (white), so it is lit and glows magenta whatever the lights add.
    MaterialItem& hero = table.Material(35, "Hero", 0, {2});
    hero.material.diffuse = {1.0f, 0.0f, 1.0f, 1.0f};
    hero.material.ambient = {1.0f, 0.0f, 1.0f, 1.0f};
    hero.material.emissive = {1.0f, 0.0f, 1.0f, 1.0f};
    // The menus' cursor image, and the flat colour of their bars (backdrops,
    // panels, buttons, highlights), which their sprites' colour gives: a
    // texture, even a white one, would be sampled over every pixel of a
    // full-screen backdrop and show nothing.
    table.Material(111, "Cursor", 0, {110}).unlit = 1;
    table.Material(112, "MenuLight", 0, {}).unlit = 1;
    // The save screen's images of an empty slot and of a slot at the end,
    // mission 26.
    table.Material(150, "Menu_SaveSlot", 0, {200}).unlit = 1;
    table.Material(151, "Menu_SaveSlot_26", 0, {203}).unlit = 1;
    // The lock-on marker: the ring added on top of the scene.
    MaterialItem& aimEffect = table.Material(160, "AimEffect01", 3, {12});
    aimEffect.unlit = 1;
    aimEffect.bucketMask = 1u << 7;

    AddGameScreenItems(table);
    AddWeaponLookItems(table);
    for (auto& [slot, item] : HeroLibraryItems()) {
        table.Put(slot, std::move(item));
    }
    AddLevelSurfaces(table);
    AddGuidanceItems(table);

    table.Add<MotionItem>(60, "N_Neutral", "neutral.mot");
    // The two walking motions come from files, which carry the distance a
    // loop moves the character (along -z, where it looks).
    table.Add<MotionItem>(61, "R_Forward", "r_forward.mot");
    // The character's postures, in slots 64-69.
    table.Add<MotionItem>(64, "N_Forward", "n_forward.mot");
    WormMotion(table, 65, "C_Neutral", 0.02);
    WormMotion(table, 66, "J_Neutral", 0.2);
    WormMotion(table, 67, "J_Forward", 0.2);
    WormMotion(table, 68, "F_Neutral", 0.3);
    WormMotion(table, 69, "N_Relax", 0.05);
    table.Add<MotionItem>(62, "N_WalkBK_arms", "walk_bk.mot");
    table.Add<MotionItem>(63, "N_WalkBL_arms_01", "walk_bl.mot");
    // The guards' walk and run, from the files of the walk and run above: the
    // library keeps no displacement of its own motions, a motion file does.
    table.Add<MotionItem>(120, "GuardWalk", "n_forward.mot");
    table.Add<MotionItem>(121, "GuardRun", "r_forward.mot");

    LightItem& sun = table.Add<LightItem>(70, "Sun");
    sun.light.type = gfx::kLightDirectional;
    sun.light.diffuse = {1.0f, 0.95f, 0.9f, 1.0f};
    sun.light.direction = {-0.3f, -1.0f, 0.4f};
    LightItem& lamp = table.Add<LightItem>(71, "Lamp");
    lamp.light.diffuse = {1.0f, 0.8f, 0.5f, 1.0f};
    lamp.light.position = {0.0f, 200.0f, 0.0f};
    lamp.light.range = 800.0f;
    lamp.light.attenuation0 = 1.0f;

    FontItem& text = table.Add<FontItem>(80, "Text");
    text.faceName = "DejaVu Sans";
    text.size = 12;
    FontItem& sheet = table.Add<FontItem>(81, "Sheet");
    sheet.faceName = "DejaVu Sans Mono";
    sheet.size = 12;
    sheet.glyphTexture = 8;
    sheet.characterSet.assign(reinterpret_cast<const char*>(sheetFont.characterList),
                              sheetFont.glyphCount);
    PrepareFontRecord(sheetFont, *sheet.font);
}

// The files the items name, in slot order.
bool WriteDataFiles(SampleOutput& out, const Scratch& scratch, const PreparedFont& sheetFont) {
    filmwriter::FilmSpec film;
    film.container = filmwriter::Container::Avi;
    film.width = 64;
    film.height = 64;
    film.frameNum = 1;
    film.frameDen = 10;
    film.frames = 10;
    film.picture = [](int k, std::vector<uint8_t>& bgrx) {
        filmwriter::FillColor(bgrx, FilmFrameColor(k));
    };
    film.toneHz = 0.0;

    std::vector<std::unique_ptr<KeyTrack>> neutral;
    NeutralTracks(neutral);
    std::vector<std::unique_ptr<KeyTrack>> back;
    ArmTracks(back, 0.3);
    std::vector<std::unique_ptr<KeyTrack>> layer;
    ArmTracks(layer, 0.6);
    // 300 and 150 units a second over a loop of 30 frames.
    const float loop = Frames(30.0f);
    std::vector<std::unique_ptr<KeyTrack>> run = WormTracks(0.1, 100.0f);
    std::vector<std::unique_ptr<KeyTrack>> walk = WormTracks(0.1);

    return WriteBytes(out, "beep.wav", BeepWave()) &&
           WriteImage(out, scratch, "white.tga", WhiteImage()) &&
           WriteBytes(out, "cube.qvm", CubeQvm()) &&
           WriteImage(out, scratch, "checker.tga", CheckerImage()) &&
           WriteImage(out, scratch, "font_sheet.tga", sheetFont.sheet) &&
           WriteBytes(out, "grad.png", EncodePng(GradImage())) &&
           WriteBytes(out, "noise.jpg", EncodeJpeg(NoiseImage(), 90)) &&
           WriteBytes(out, "ring.tga", EncodeRleTga(RingImage())) &&
           WriteImage(out, scratch, "envmap.tga", EnvmapImage()) &&
           WriteImage(out, scratch, "badge.tga", BadgeImage()) &&
           WriteImage(out, scratch, "ui_button.tga", ButtonImage()) &&
           WriteImage(out, scratch, "raw4.tga", Raw4Image()) &&
           WriteImage(out, scratch, "ui_cursor.tga", CursorImage()) &&
           WriteImage(out, scratch, "slot_empty.tga", EmptySlotImage(sheetFont)) &&
           WriteImage(out, scratch, "slot_mission_01.tga", MissionSlotImage(sheetFont, 1)) &&
           WriteImage(out, scratch, "slot_mission_02.tga", MissionSlotImage(sheetFont, 2)) &&
           WriteImage(out, scratch, "slot_the_end.tga", EndSlotImage(sheetFont)) &&
           WriteFilm(out, scratch, "film.avi", film) &&
           WriteBytes(out, "floor.qvm", FloorQvm()) &&
           WriteBytes(out, "sphere.qvm", SphereQvm()) &&
           WriteBytes(out, "cylinder.qvm", CylinderQvm()) &&
           WriteBytes(out, "flag.anb", FlagAnb()) && WriteBytes(out, "worm.qvm", WormQvm(2)) &&
           WriteBytes(out, "worm_v1.qvm", WormQvm(1)) &&
           WriteBytes(out, "hum3d.wav", HumWave()) && WriteBytes(out, "music.wav", MusicWave()) &&
           WriteBytes(out, "neutral.mot", MotFile(neutral, {0, 0, 0})) &&
           WriteBytes(out, "r_forward.mot", MotFile(run, {0, 0, -300.0f * loop})) &&
           WriteBytes(out, "walk_bk.mot", MotFile(back, {0, 0, 0})) &&
           WriteBytes(out, "walk_bl.mot", MotFile(layer, {0, 0, 0})) &&
           WriteBytes(out, "n_forward.mot", MotFile(walk, {0, 0, -150.0f * loop})) &&
           WriteBytes(out, "guard_walk.mot", MotFile(walk, {0, 0, -150.0f * loop})) &&
           WriteBytes(out, "guard_run.mot", MotFile(walk, {0, 0, -300.0f * loop})) &&
           WriteImage(out, scratch, "hud_flare.tga", Image(16, 16, kAmmoFlareColor)) &&
           WriteImage(out, scratch, "hud_soul.tga", FramedImage(128, 128, 16, kSoulIconColor)) &&
           WriteImage(out, scratch, "hud_soul2.tga", FramedImage(128, 128, 16, 0xFFE0E0FFu)) &&
           WriteImage(out, scratch, "hud_fill.tga", Image(16, 16, 0xFFC02020u)) &&
           WriteImage(out, scratch, "hud_endurance.tga", FramedImage(64, 16, 2, 0xFF404040u)) &&
           WriteImage(out, scratch, "hud_mark.tga", Image(4, 16, 0xFFFFFFFFu)) &&
           WriteImage(out, scratch, "stone.tga", StoneImage()) &&
           WriteImage(out, scratch, "wood.tga", WoodImage()) &&
           WriteImage(out, scratch, "metal.tga", MetalImage()) &&
           WriteImage(out, scratch, "tile.tga", TileImage()) &&
           WriteImage(out, scratch, "brick.tga", BrickImage()) &&
           WriteImage(out, scratch, "the_end.tga", EndImage()) &&
           WriteImage(out, scratch, "hud_key.tga", KeyIconImage()) &&
           WriteImage(out, scratch, "exit_mark.tga", ExitImage()) &&
           WriteBytes(out, "chime.wav", ChimeWave()) && WriteBytes(out, "key.qvm", KeyQvm()) &&
           WriteBytes(out, "clip.qvm", ClipQvm()) && WriteBytes(out, "rounds.qvm", RoundsQvm()) &&
           WriteBytes(out, "crystal.qvm", CrystalQvm());
}

// The globals of the play folder: the actor "Host", which never ends the
// game, the root "Environment" of the demo's globals, the game actor 16, the
// player character (ids 10 to 24) and the guards' template (ids 130 to 132).
bool MakePlayGlobals(SampleOutput& out, const std::string& file) {
    if (!ResetSampleWorld()) {
        return out.Fail(file, "cannot make the actor world");
    }
    if (MakeSampleActor(0, "Host", 1, 10) == nullptr) {
        return out.Fail(file, "cannot make actor \"Host\"");
    }
    int32_t next = 20;
    return AddSampleEnvironment(out, file) && AddInventory(out, file) &&
           AddPlayerCharacter(out, file, next) && ArmPlayer(out, file, next) &&
           AddGuardTemplate(out, file);
}

// The folder "./play.sh" runs: the game folder "../game" with the title
// "Title.qva" as the start-up globals (its "Menu" keeps the scene line from
// being loaded); the missions load with "Globals1_XBox.qva", the play
// globals with the pause menu and the front end's additions.
bool WritePlayFolder(SampleOutput& out) {
    const std::string file = DataPath("Globals1_XBox.qva");
    int32_t end = 0;
    // The pause menu's ids follow the guards' template.
    return WriteTitle(out) && MakePlayGlobals(out, file) && AddPlayerDeath(out, file) &&
           AddPauseMenu(out, file, end) &&
           AddMissionFrontEnd(out, file, end) && AddGuidance(out, file, end) &&
           WriteActorFile(out, file, 10, static_cast<uint32_t>(end)) && WriteMissions(out) &&
           out.WriteText("play/init.txt", CrLfLines({"../game", "Level1.qva", "Title.qva", "Sample"}));
}

// The folder of the character's end-to-end check: the play globals and a
// "Driver" (id 11) that captures, saves and exits 3.5 s into the game; the
// file ends before the guards' template (id 130).
bool WriteCharacterCheck(SampleOutput& out) {
    const std::string file = DataPath("Character.qva");
    return MakePlayGlobals(out, file) && AddCharacterDriver(out, file, 11) &&
           WriteActorFile(out, file, 10, 130) &&
           out.WriteText("e2e/character/init.txt",
                         CrLfLines({"../../game", "Level1.qva", "Character.qva", "Character"}));
}

// The logo film: the engine's name fading in and out, with a 440 Hz tone;
// then the missions' films.
bool WriteLogo(SampleOutput& out, const Scratch& scratch, const PreparedFont& font) {
    filmwriter::FilmSpec logo;
    logo.container = filmwriter::Container::Mpeg;
    logo.width = 320;
    logo.height = 240;
    logo.frameNum = 1;
    logo.frameDen = 25;
    logo.frames = 50;
    logo.picture = [&font](int k, std::vector<uint8_t>& bgrx) {
        LogoFilmFrame(font, k, 50, 320, 240, bgrx);
    };
    logo.toneHz = 440.0;
    logo.channels = 2;
    logo.sampleRate = 44100;
    if (!WriteFilm(out, scratch, "logo_01.mpg", logo)) return false;
    // The missions' films: a second of one colour each.
    for (auto [name, color] : {std::pair{"Mission_01.mpg", 0x2060C0u}, {"Mission_02.mpg", 0xC06020u},
                               {"Mission_26.mpg", 0x601010u}}) {
        filmwriter::FilmSpec film;
        film.frames = 25;
        film.picture = [color = color](int, std::vector<uint8_t>& bgrx) { filmwriter::FillColor(bgrx, color); };
        if (!WriteFilm(out, scratch, name, film)) return false;
    }
    return true;
}

bool WriteAll(SampleOutput& out) {
    Scratch scratch;
    if (!scratch.Ok()) {
        return out.Fail("game", "no temporary folder");
    }
    PreparedFont sheetFont;
    if (!MakeFontSheet("DejaVu Sans Mono", 12, sheetFont)) {
        return out.Fail(DataPath("font_sheet.tga"),
                        "the font \"DejaVu Sans Mono\" cannot be rasterised");
    }
    Table table;
    AddItems(table, sheetFont);
    LibraryWriter writer(7);
    writer.SetWorldScale(100.0f);
    writer.AddGroup({"Sample", "Level1"});
    writer.AddGroup({"Menu", "Menu_Back", "Menu_OrskLogo"});
    table.AddTo(writer);
    const std::vector<uint8_t> library = writer.WriteToMemory();
    if (library.empty()) {
        return out.Fail("game/DAZedirad.qvf", "a record cannot be written");
    }
    // The library and its data files first; the actor files are made on that
    // library, read back.
    return WriteEndToEndFolder(out, library) && WriteDataFiles(out, scratch, sheetFont) &&
           WriteWeaponLookFiles(out, scratch) && WriteHeroFiles(out, scratch) && WriteLogo(out, scratch, sheetFont) &&
           UseSampleLibrary(out, library) && WriteEndToEndActors(out) && WritePlayFolder(out) &&
           WriteCharacterCheck(out) && WriteLevelCheck(out) && WriteMenuCheck(out) &&
           WriteGuardCheck(out) && WriteAICheck(out) && WriteSaveCheck(out) &&
           WriteWeaponCheck(out) && WriteAimCheck(out) && WriteAIPlayerCheck(out);
}

} // namespace
} // namespace sample

bool WriteSampleGame(SampleOutput& out) { return sample::WriteAll(out); }
