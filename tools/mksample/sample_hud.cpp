#include "sample_hud.h"

#include <algorithm>
#include <cmath>

#include "actors/characters/character_actor.h"
#include "actors/characters/game_object_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/qvm_writer.h"
#include "sample_actors.h"
#include "sample_output.h"
#include "sample_weapon.h"

namespace sample {
namespace {

constexpr uint32_t kStride = 32; // position, normal, (u, v)
constexpr float kPi = 3.14159265f;

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (std::min(a, 255u) << 24) | (std::min(r, 255u) << 16) | (std::min(g, 255u) << 8) |
           std::min(b, 255u);
}

void Fill(Image &image, int x0, int y0, int x1, int y1, uint32_t color) {
    for (int y = std::max(y0, 0); y < std::min(y1, int(image.height)); ++y) {
        for (int x = std::max(x0, 0); x < std::min(x1, int(image.width)); ++x) {
            image.At(uint32_t(x), uint32_t(y)) = color;
        }
    }
}

// A gun's outline: boxes filled light grey over a dark rim one pixel wider.
struct Box2 {
    int x0, y0, x1, y1;
};
Image GunIcon(std::initializer_list<Box2> boxes) {
    Image image(64, 64, 0);
    for (const Box2 &b : boxes)
        Fill(image, b.x0 - 1, b.y0 - 1, b.x1 + 1, b.y1 + 1, 0xFF101010u);
    for (const Box2 &b : boxes)
        Fill(image, b.x0, b.y0, b.x1, b.y1, 0xFFC8CCD4u);
    return image;
}

// A glowing star: bright in the middle, fading out along `rays` spikes.
Image Star(uint32_t side, int rays, uint32_t r, uint32_t g, uint32_t b) {
    Image image(side, side, 0);
    const float half = float(side) / 2.0f;
    for (uint32_t y = 0; y < side; ++y) {
        for (uint32_t x = 0; x < side; ++x) {
            const float dx = (float(x) + 0.5f - half) / half;
            const float dy = (float(y) + 0.5f - half) / half;
            const float radius = std::sqrt(dx * dx + dy * dy);
            const float spike =
                std::pow(std::abs(std::cos(float(rays) * 0.5f * std::atan2(dy, dx))), 8.0f);
            const float glow = std::clamp(1.0f - radius / (0.45f + 0.55f * spike), 0.0f, 1.0f);
            const uint32_t level = uint32_t(255.0f * glow * glow);
            image.At(x, y) = Argb(level, r * level / 255, g * level / 255, b * level / 255);
        }
    }
    return image;
}

// Vertices and triangles of one subset; a triangle faces where its normal
// points (corners clockwise seen from there).
struct Builder {
    std::vector<Vector3> positions;
    std::vector<Vector3> normals;
    std::vector<float> us, vs;
    std::vector<uint16_t> indices;

    uint16_t Vertex(const Vector3 &p, const Vector3 &n, float u, float v) {
        positions.push_back(p);
        normals.push_back(n);
        us.push_back(u);
        vs.push_back(v);
        return uint16_t(positions.size() - 1);
    }
    // A flat polygon of three or four corners in order around it.
    template <size_t N> void Face(const Vector3 (&corner)[N], const Vector3 &n) {
        static_assert(N == 3 || N == 4);
        const float u[4] = {0, 1, 1, 0}, v[4] = {1, 1, 0, 0};
        uint16_t at[N];
        for (size_t k = 0; k < N; ++k)
            at[k] = Vertex(corner[k], n, u[k], v[k]);
        const Vector3 a = corner[0], b = corner[1], c = corner[2];
        const Vector3 e1 = {b.x - a.x, b.y - a.y, b.z - a.z},
                      e2 = {c.x - a.x, c.y - a.y, c.z - a.z};
        const Vector3 face = {e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                              e1.x * e2.y - e1.y * e2.x};
        const bool flip = face.x * n.x + face.y * n.y + face.z * n.z < 0.0f;
        for (size_t t = 1; t + 1 < N; ++t) {
            indices.insert(indices.end(), {at[0], at[flip ? t + 1 : t], at[flip ? t : t + 1]});
        }
    }
    void Quad(const Vector3 (&corner)[4], const Vector3 &n) { Face(corner, n); }
    // A box between two corners, each face its own four vertices.
    void Box(const Vector3 &lo, const Vector3 &hi) {
        const Vector3 p[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z},
                              {lo.x, hi.y, lo.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z},
                              {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
        Quad({p[0], p[1], p[2], p[3]}, {0, 0, -1});
        Quad({p[5], p[4], p[7], p[6]}, {0, 0, 1});
        Quad({p[4], p[0], p[3], p[7]}, {-1, 0, 0});
        Quad({p[1], p[5], p[6], p[2]}, {1, 0, 0});
        Quad({p[3], p[2], p[6], p[7]}, {0, 1, 0});
        Quad({p[4], p[5], p[1], p[0]}, {0, -1, 0});
    }
    // A flat ring facing along z about the centre: `sides` blocks between
    // the radii, `depth` thick.
    void Ring(const Vector3 &centre, float inner, float outer, float depth, int sides) {
        const float half = depth / 2.0f;
        for (int s = 0; s < sides; ++s) {
            const float a0 = 2.0f * kPi * float(s) / float(sides);
            const float a1 = 2.0f * kPi * float(s + 1) / float(sides);
            const float mid = (a0 + a1) / 2.0f;
            const auto at = [&](float r, float a, float z) {
                return Vector3{centre.x + r * std::cos(a), centre.y + r * std::sin(a), centre.z + z};
            };
            const Vector3 out = {std::cos(mid), std::sin(mid), 0.0f};
            const Vector3 in = {-out.x, -out.y, 0.0f};
            for (float z : {half, -half}) {
                Quad({at(inner, a0, z), at(outer, a0, z), at(outer, a1, z), at(inner, a1, z)},
                     {0.0f, 0.0f, z > 0.0f ? 1.0f : -1.0f});
            }
            Quad({at(outer, a0, -half), at(outer, a1, -half), at(outer, a1, half),
                  at(outer, a0, half)},
                 out);
            Quad({at(inner, a0, -half), at(inner, a1, -half), at(inner, a1, half),
                  at(inner, a0, half)},
                 in);
        }
    }
    std::vector<uint8_t> Qvm(const std::string &name) const {
        QvmSubsetRecord s;
        s.name = name;
        s.fvf = 0x112;
        s.vertexSize = kStride;
        s.frameCount = 1;
        s.vertexCount = uint32_t(positions.size());
        s.indices = indices;
        for (size_t i = 0; i < positions.size(); ++i) {
            QvmWriter::AppendVertex(s.vertices, kStride, positions[i], normals[i], us[i], vs[i]);
        }
        QvmWriter writer(2, 0);
        writer.subsets.push_back(s);
        return writer.WriteToMemory();
    }
};

} // namespace

Image PistolIconImage() {
    // Barrel and slide to the left, the grip below the back.
    return GunIcon({{8, 20, 52, 30}, {38, 30, 52, 50}, {30, 30, 38, 36}});
}

Image RifleIconImage() {
    // Long barrel, body, stock to the right and a short grip.
    return GunIcon({{2, 26, 40, 30}, {22, 23, 48, 33}, {48, 25, 62, 36}, {38, 33, 44, 44}});
}

Image LoadingBackImage() {
    Image image(256, 256);
    for (uint32_t y = 0; y < 256; ++y) {
        for (uint32_t x = 0; x < 256; ++x) {
            image.At(x, y) = Argb(64 + x * 191 / 255, 0x10 + y * 0x20 / 255, 0x30 + y * 0x30 / 255,
                                  0x70 + y * 0x50 / 255);
        }
    }
    return image;
}

Image MuzzleFlashImage() { return Star(64, 6, 255, 224, 140); }

Image HitSparkImage() { return Star(32, 4, 255, 170, 80); }

std::vector<uint8_t> GunQvm(float barrel) {
    Builder b;
    // Barrel, the body over the grip, the grip.
    b.Box({-1.2f, 3.8f, -barrel}, {1.2f, 6.2f, -6.0f});
    b.Box({-2.0f, 2.0f, -10.0f}, {2.0f, 7.5f, 3.0f});
    b.Box({-1.6f, -7.0f, -1.0f}, {1.6f, 2.0f, 3.0f});
    if (barrel > 30.0f) {
        b.Box({-1.8f, -1.0f, 3.0f}, {1.8f, 6.5f, 16.0f}); // the stock
    }
    return b.Qvm("Gun");
}

std::vector<uint8_t> FlashQvm() {
    Builder b;
    // Two crossed quads along the shot and one across it at the muzzle.
    b.Quad({{-9, 0, 0}, {9, 0, 0}, {9, 0, 27}, {-9, 0, 27}}, {0, 1, 0});
    b.Quad({{0, -9, 0}, {0, 9, 0}, {0, 9, 27}, {0, -9, 27}}, {1, 0, 0});
    b.Quad({{-10, -10, 2}, {10, -10, 2}, {10, 10, 2}, {-10, 10, 2}}, {0, 0, 1});
    return b.Qvm("Flash");
}

std::vector<uint8_t> SparkQvm() {
    Builder b;
    b.Quad({{-16, -16, 0}, {16, -16, 0}, {16, 16, 0}, {-16, 16, 0}}, {0, 0, 1});
    b.Quad({{-16, 0, -16}, {16, 0, -16}, {16, 0, 16}, {-16, 0, 16}}, {0, 1, 0});
    b.Quad({{0, -16, -16}, {0, 16, -16}, {0, 16, 16}, {0, -16, 16}}, {1, 0, 0});
    return b.Qvm("Spark");
}

std::vector<uint8_t> KeyQvm() {
    Builder b;
    // The bow at the left, the shaft and two teeth below its far end.
    b.Ring({-26.0f, 0.0f, 0.0f}, 7.0f, 14.5f, 6.0f, 12);
    b.Box({-12.5f, -3.0f, -2.5f}, {36.0f, 3.0f, 2.5f});
    b.Box({19.5f, -13.0f, -2.5f}, {25.5f, -3.0f, 2.5f});
    b.Box({29.5f, -10.0f, -2.5f}, {36.0f, -3.0f, 2.5f});
    return b.Qvm("Key");
}

std::vector<uint8_t> ClipQvm() {
    Builder b;
    // The magazine, its base plate a little wider.
    b.Box({-6.0f, -12.0f, -3.5f}, {6.0f, 10.0f, 3.5f});
    b.Box({-7.0f, -15.0f, -4.5f}, {7.0f, -12.0f, 4.5f});
    return b.Qvm("Clip");
}

std::vector<uint8_t> RoundsQvm() {
    Builder b;
    // Three rounds standing in the magazine's mouth, each with its tip.
    for (float x : {-3.6f, 0.0f, 3.6f}) {
        b.Box({x - 1.5f, 10.0f, -1.5f}, {x + 1.5f, 17.0f, 1.5f});
        b.Box({x - 0.8f, 17.0f, -0.8f}, {x + 0.8f, 20.0f, 0.8f});
    }
    return b.Qvm("Rounds");
}

std::vector<uint8_t> CrystalQvm() {
    Builder b;
    // Two four-sided pyramids base to base, taller than wide.
    const Vector3 top = {0.0f, 17.0f, 0.0f}, bottom = {0.0f, -17.0f, 0.0f};
    const Vector3 ring[4] = {{11.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 11.0f}, {-11.0f, 0.0f, 0.0f},
                             {0.0f, 0.0f, -11.0f}};
    for (int k = 0; k < 4; ++k) {
        const Vector3 &p = ring[k];
        const Vector3 &q = ring[(k + 1) % 4];
        for (const Vector3 &tip : {top, bottom}) {
            const Vector3 n = {(p.x + q.x) / 11.0f, tip.y > 0.0f ? 1.3f : -1.3f,
                               (p.z + q.z) / 11.0f};
            b.Face({p, q, tip}, n);
        }
    }
    return b.Qvm("Crystal");
}

} // namespace sample

namespace {

constexpr float kFireTime = 0.08f;

} // namespace

// Named by slot: meshes do not load without a display.
MeshObjectActor *MeshLook(Actor *parent, const char *name, int32_t id, uint32_t mesh,
                          uint32_t material, const Vector3 &at) {
    auto *look = dynamic_cast<MeshObjectActor *>(
        CreateActor(static_cast<int32_t>(kMeshObjectClassId), name, nullptr, parent, id, true));
    if (look == nullptr || look->subMeshes.size() != 1)
        return nullptr;
    look->meshFlags &= ~(kMeshSyncCollision | kMeshSyncMaterial);
    look->meshIndex = mesh;
    look->subMeshes[0].materialIndex = material;
    look->position = at;
    look->InvalidateTransform();
    return look;
}

bool AddWeaponLooks(GameObjectActor *weapon, int32_t &next, uint32_t mesh, uint32_t icon,
                    float impactLife) {
    using namespace sample;
    if (weapon == nullptr)
        return false;
    for (const char *phase : {"Loaded", "Fire", "BulletLoad", "ClipUnload", "NoClip", "ClipLoad"}) {
        Actor *shown = FindChildByName(weapon, phase);
        if (shown == nullptr)
            shown = CreateActor(0, phase, nullptr, weapon, next++, true);
        if (shown == nullptr ||
            MeshLook(shown, "Gun", next++, mesh, kGunMetalMaterial, kGunAt) == nullptr) {
            return false;
        }
    }
    SendCommandArgs(FindChildByName(weapon, "Fire"), cmd::base::SetActionTime, kFireTime);
    Actor *ammo = FindChildByName(weapon, "Ammo");
    Actor *impact = ammo != nullptr ? FindChildByName(ammo, "Impact") : nullptr;
    MeshObjectActor *spark =
        impact != nullptr ? MeshLook(impact, "Spark", next++, kSparkMesh, kHitSparkMaterial, {})
                          : nullptr;
    if (spark == nullptr ||
        MeshLook(ammo, "Flash", next++, kFlashMesh, kMuzzleFlashMaterial, {}) == nullptr) {
        return false;
    }
    // Held in the gun, the ammunition updates its children, so that the
    // flash is drawn; the impact's spark shows only in a copy at a hit.
    SendCommandArgs(ammo, cmd::game_object::SetState, static_cast<uint32_t>(kItemInHand));
    spark->state &= ~kActorEnabled;
    SendCommandArgs(impact, cmd::base::SetKillDelay, impactLife);
    SendCommandArgs(weapon, cmd::game_object::SetIconMaterialLibID, icon);
    SendCommandArgs(weapon, cmd::game_object::SetIcon2MaterialLibID, icon);
    return true;
}

bool ArmPlayer(SampleOutput &out, const std::string &file, int32_t &next) {
    using namespace sample;
    Actor *hero = FindChildByName(GetActorById(kGlobalRootId), "PlayerCharacter");
    Actor *items = hero != nullptr ? FindDescendantByName(hero, "Items") : nullptr;
    if (items == nullptr)
        return out.Fail(file, "no \"PlayerCharacter\" with \"Items\"");
    SendCommandArgs(hero, cmd::character::SetAmmoCount, 1u, 12u);
    SendCommandArgs(hero, cmd::character::SetAmmoCount, 2u, 10u);
    std::string error;
    if (!AddSampleScript(hero, "stock", cmd::base::StartGame,
                         "this.Add_Ammo(1, 0); this.Add_Ammo(2, 0);",
                         &error)) {
        return out.Fail(file, error);
    }
    GameObjectActor *rifle =
        AddGun(items, "Rifle", next, kItemInInventory, 2, kRifleMuzzle, kShotCopyLife);
    if (rifle == nullptr ||
        !AddWeaponLooks(rifle, next, kRifleMesh, kRifleIconMaterial, kShotCopyLife)) {
        return out.Fail(file, "cannot make actor \"Rifle\"");
    }
    SendCommandArgs(rifle, cmd::game_object::SetWeapon_714, 5u);
    SendCommandArgs(FindChildByName(rifle, "Ammo"), cmd::game_object::SetAmmoBullets, 5u);
    return true;
}
