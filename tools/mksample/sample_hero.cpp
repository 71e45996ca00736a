#include "sample_hero.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <functional>

#include "actors/presentation/mesh_object_actor.h"
#include "actors/presentation/skin_object_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/key_track.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/motion.h"
#include "library/name_table.h"
#include "library/qvm_writer.h"
#include "library/resource_library.h"
#include "sample_game.h"
#include "sample_output.h"

namespace sample {
namespace {

constexpr float kPi = 3.14159265f;
constexpr float kTau = 2.0f * kPi;
constexpr uint32_t kStride = 32; // position, normal, (u, v)

// --- the skeleton ------------------------------------------------------------------
//
// Model space: y up, the character looks along -z and its left is +x. The
// character's origin is the middle of its collision sphere (radius 23), so
// the soles stand at y = -23.

enum Bone : int {
    kSpine,
    kSpine1,
    kSpine2,
    kSpine3,
    kNeck,
    kHead,
    kLUpperArm,
    kLForearm,
    kLHand,
    kRUpperArm,
    kRForearm,
    kRHand,
    kLThigh,
    kLCalf,
    kLFoot,
    kRThigh,
    kRCalf,
    kRFoot,
    kTailNub,
    kBoneCount
};

struct BoneRest {
    const char *name;
    int parent;
    Vector3 at; // model space
};

const BoneRest kRest[kBoneCount] = {
    {"Spine", -1, {0, 34, 0}},
    {"Spine1", kSpine, {0, 44, 0}},
    {"Spine2", kSpine1, {0, 56, 0}},
    {"Spine3", kSpine2, {0, 67, 0}},
    {"Neck", kSpine3, {0, 77, 0}},
    {"Head", kNeck, {0, 84, 0}},
    {"L_UpperArm", kSpine3, {15, 75, 0}},
    {"L_Forearm", kLUpperArm, {15, 54, 0}},
    {"L_Hand", kLForearm, {15, 36, 0}},
    {"R_UpperArm", kSpine3, {-15, 75, 0}},
    {"R_Forearm", kRUpperArm, {-15, 54, 0}},
    {"R_Hand", kRForearm, {-15, 36, 0}},
    {"L_Thigh", kSpine, {7, 32, 0}},
    {"L_Calf", kLThigh, {7, 6, 0}},
    {"L_Foot", kLCalf, {7, -18, 0}},
    {"R_Thigh", kSpine, {-7, 32, 0}},
    {"R_Calf", kRThigh, {-7, 6, 0}},
    {"R_Foot", kRCalf, {-7, -18, 0}},
    {"TailNub", kSpine, {0, 38, 8}},
};

// The bone on the other side (itself on the middle line).
int Mirrored(int bone) {
    switch (bone) {
    case kLUpperArm:
        return kRUpperArm;
    case kLForearm:
        return kRForearm;
    case kLHand:
        return kRHand;
    case kRUpperArm:
        return kLUpperArm;
    case kRForearm:
        return kLForearm;
    case kRHand:
        return kLHand;
    case kLThigh:
        return kRThigh;
    case kLCalf:
        return kRCalf;
    case kLFoot:
        return kRFoot;
    case kRThigh:
        return kLThigh;
    case kRCalf:
        return kLCalf;
    case kRFoot:
        return kLFoot;
    default:
        return bone;
    }
}

Vector3 Sub(const Vector3 &a, const Vector3 &b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector3 Add(const Vector3 &a, const Vector3 &b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector3 Scale(const Vector3 &a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(const Vector3 &a, const Vector3 &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vector3 Cross(const Vector3 &a, const Vector3 &b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vector3 Unit(const Vector3 &v) {
    const float length = std::sqrt(Dot(v, v));
    return length > 0.0f ? Scale(v, 1.0f / length) : v;
}

// The body is laid out 130 units tall and made 100 tall (the soles stay on
// the floor): a figure of the size the Character's spheres are made for
// (its chest sphere at 40, its collision sphere of 23 about its origin),
// which the follow camera keeps in the lower half of the screen from the
// distance a room leaves it.
constexpr float kBodyScale = 100.0f / 130.0f;
constexpr float kSole = -23.0f;
Vector3 Fit(const Vector3 &p) {
    return {p.x * kBodyScale, (p.y - kSole) * kBodyScale + kSole, p.z * kBodyScale};
}

// --- the palette -------------------------------------------------------------------

enum Cell : int { kSkin, kTunic, kTrousers, kBoots, kHair, kBelt, kGloves, kTrim, kCellCount };

const uint32_t kHeroColors[kCellCount] = {0xFFE8B890u, 0xFFC83CC8u, 0xFF6E2C8Cu, 0xFF5A3A20u,
                                          0xFF3A2414u, 0xFF2A1A10u, 0xFF6A4428u, 0xFFE0B040u};
// The guards: grey-green uniform and trousers, black boots and belt.
const uint32_t kGuardColors[kCellCount] = {0xFFD8A880u, 0xFF586A48u, 0xFF3C4634u, 0xFF202020u,
                                           0xFF181410u, 0xFF141414u, 0xFF303030u, 0xFFB0B0B0u};

// The middle of a cell of the 4 x 4 grid.
float CellU(int cell) { return (float(cell % 4) * 16.0f + 8.0f) / 64.0f; }
float CellV(int cell) { return (float(cell / 4) * 16.0f + 8.0f) / 64.0f; }

// --- the mesh ----------------------------------------------------------------------

// Vertices, skin records and triangles of the body. Triangles face the side
// their normal points to.
struct BodyBuilder {
    std::vector<Vector3> positions;
    std::vector<Vector3> normals;
    std::vector<int> bones;
    std::vector<int> cells;
    std::vector<uint16_t> indices;

    uint16_t Vertex(const Vector3 &p, const Vector3 &n, int bone, int cell) {
        positions.push_back(p);
        normals.push_back(n);
        bones.push_back(bone);
        cells.push_back(cell);
        return uint16_t(positions.size() - 1);
    }

    // The subset, its vertices brought to the body's size.
    QvmSubsetRecord Subset() const {
        QvmSubsetRecord subset;
        subset.name = "Hero";
        subset.vertexSize = kStride;
        subset.vertexCount = uint32_t(positions.size());
        subset.indices = indices;
        for (size_t i = 0; i < positions.size(); ++i) {
            const Vector3 p = Fit(positions[i]);
            QvmWriter::AppendVertex(subset.vertices, kStride, p, normals[i], CellU(cells[i]),
                                    CellV(cells[i]));
            SkinVertex v{};
            v.position = p;
            v.normal = normals[i];
            v.influenceCount = 1;
            v.weights[0] = 1.0f;
            v.bones[0] = uint8_t(bones[i]);
            subset.skin.push_back(v);
        }
        return subset;
    }

    void Triangle(uint16_t a, uint16_t b, uint16_t c, const Vector3 &outward) {
        const Vector3 face =
            Cross(Sub(positions[b], positions[a]), Sub(positions[c], positions[a]));
        if (Dot(face, outward) < 0.0f) {
            std::swap(b, c);
        }
        indices.insert(indices.end(), {a, b, c});
    }

    // A tapered prism of `sides` sides from a to b with elliptic ends
    // (half widths across x and z of the section), closed at both ends.
    void Limb(int bone, const Vector3 &a, const Vector3 &b, float rxA, float rzA, float rxB,
              float rzB, int cell, int sides = 8) {
        const Vector3 axis = Unit(Sub(b, a));
        Vector3 across = std::fabs(axis.x) < 0.7f ? Vector3{1, 0, 0} : Vector3{0, 1, 0};
        const Vector3 depth = Unit(Cross(axis, across));
        across = Unit(Cross(depth, axis));
        const uint16_t first = uint16_t(positions.size());
        for (int end = 0; end < 2; ++end) {
            const Vector3 &centre = end == 0 ? a : b;
            const float rx = end == 0 ? rxA : rxB;
            const float rz = end == 0 ? rzA : rzB;
            for (int s = 0; s < sides; ++s) {
                const float phi = kTau * float(s) / float(sides);
                const float c = std::cos(phi);
                const float d = std::sin(phi);
                const Vector3 p = Add(centre, Add(Scale(across, rx * c), Scale(depth, rz * d)));
                const Vector3 n = Unit(Add(Scale(across, c / rx), Scale(depth, d / rz)));
                Vertex(p, n, bone, cell);
            }
        }
        for (int s = 0; s < sides; ++s) {
            const uint16_t p0 = uint16_t(first + s);
            const uint16_t p1 = uint16_t(first + (s + 1) % sides);
            const Vector3 out = Sub(Scale(Add(positions[p0], positions[p1]), 0.5f), a);
            const Vector3 radial = Sub(out, Scale(axis, Dot(out, axis)));
            Triangle(p0, p1, uint16_t(p1 + sides), radial);
            Triangle(p0, uint16_t(p1 + sides), uint16_t(p0 + sides), radial);
        }
        for (int end = 0; end < 2; ++end) {
            const Vector3 n = end == 0 ? Scale(axis, -1.0f) : axis;
            const uint16_t centre = Vertex(end == 0 ? a : b, n, bone, cell);
            const uint16_t ring = uint16_t(positions.size());
            for (int s = 0; s < sides; ++s) {
                const Vector3 p = positions[size_t(first + end * sides + s)];
                Vertex(p, n, bone, cell);
            }
            for (int s = 0; s < sides; ++s) {
                Triangle(centre, uint16_t(ring + s), uint16_t(ring + (s + 1) % sides), n);
            }
        }
    }

    // A box around the centre with the half extents.
    void Box(int bone, const Vector3 &centre, const Vector3 &half, int cell) {
        const Vector3 axes[6] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                                 {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
        for (const Vector3 &n : axes) {
            const Vector3 u = n.x != 0.0f ? Vector3{0, 1, 0} : Vector3{1, 0, 0};
            const Vector3 v = Cross(n, u);
            const float su[4] = {-1, 1, 1, -1};
            const float sv[4] = {-1, -1, 1, 1};
            uint16_t corner[4];
            for (int k = 0; k < 4; ++k) {
                const Vector3 dir = Add(n, Add(Scale(u, su[k]), Scale(v, sv[k])));
                corner[k] = Vertex({centre.x + half.x * dir.x, centre.y + half.y * dir.y,
                                    centre.z + half.z * dir.z},
                                   n, bone, cell);
            }
            Triangle(corner[0], corner[1], corner[2], n);
            Triangle(corner[0], corner[2], corner[3], n);
        }
    }

    // An ellipsoid from its top down to the polar angle `down` (pi: whole).
    void Ellipsoid(int bone, const Vector3 &centre, const Vector3 &radii, float down, int cell) {
        constexpr int kRings = 7;
        constexpr int kSegments = 10;
        const uint16_t first = uint16_t(positions.size());
        for (int r = 0; r <= kRings; ++r) {
            const float theta = down * float(r) / float(kRings);
            for (int s = 0; s < kSegments; ++s) {
                const float phi = kTau * float(s) / float(kSegments);
                const Vector3 unit = {std::sin(theta) * std::cos(phi), std::cos(theta),
                                      std::sin(theta) * std::sin(phi)};
                const Vector3 p = {centre.x + radii.x * unit.x, centre.y + radii.y * unit.y,
                                   centre.z + radii.z * unit.z};
                const Vector3 n = Unit({unit.x / radii.x, unit.y / radii.y, unit.z / radii.z});
                Vertex(p, n, bone, cell);
            }
        }
        for (int r = 0; r < kRings; ++r) {
            for (int s = 0; s < kSegments; ++s) {
                const uint16_t a = uint16_t(first + r * kSegments + s);
                const uint16_t b = uint16_t(first + r * kSegments + (s + 1) % kSegments);
                const Vector3 out =
                    Sub(Scale(Add(positions[a], positions[uint16_t(b + kSegments)]), 0.5f), centre);
                if (r != 0) {
                    Triangle(a, b, uint16_t(b + kSegments), out);
                }
                if (r != kRings - 1 || down < kPi) {
                    Triangle(a, uint16_t(b + kSegments), uint16_t(a + kSegments), out);
                }
            }
        }
    }

    // A limb of the left side and its twin on the right.
    void LimbPair(int bone, const Vector3 &a, const Vector3 &b, float rA, float rB, int cell) {
        Limb(bone, a, b, rA, rA, rB, rB, cell);
        Limb(Mirrored(bone), {-a.x, a.y, a.z}, {-b.x, b.y, b.z}, rA, rA, rB, rB, cell);
    }
    void BoxPair(int bone, const Vector3 &centre, const Vector3 &half, int cell) {
        Box(bone, centre, half, cell);
        Box(Mirrored(bone), {-centre.x, centre.y, centre.z}, half, cell);
    }
};

// --- poses and motions --------------------------------------------------------------

// Each bone's turn as pitch (about x: a hanging limb swings forward, an
// upright one leans back), yaw (about y) and roll (about z: a hanging limb
// swings to +x), and the root's offset from its rest place.
struct Pose {
    std::array<Vector3, kBoneCount> turn{};
    Vector3 lift{0, 0, 0};

    void Pitch(int bone, float a) { turn[size_t(bone)].x += a; }
    void Yaw(int bone, float a) { turn[size_t(bone)].y += a; }
    void Roll(int bone, float a) { turn[size_t(bone)].z += a; }
    // The same turns on a left bone and, mirrored, on its right twin.
    void Both(int left, float pitch, float roll) {
        Pitch(left, pitch);
        Roll(left, roll);
        Pitch(Mirrored(left), pitch);
        Roll(Mirrored(left), -roll);
    }
};

// The pose seen in a mirror across the middle line.
Pose Mirror(const Pose &pose) {
    Pose out;
    for (int b = 0; b < kBoneCount; ++b) {
        const Vector3 &t = pose.turn[size_t(b)];
        out.turn[size_t(Mirrored(b))] = {t.x, -t.y, -t.z};
    }
    out.lift = {-pose.lift.x, pose.lift.y, pose.lift.z};
    return out;
}

float Wave(float phase, float cycles = 1.0f, float offset = 0.0f) {
    return std::sin(kTau * (phase * cycles + offset));
}
float Cosine(float phase, float cycles = 1.0f) { return std::cos(kTau * phase * cycles); }
float Ease(float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}
// 0 -> 1 over [0, rise), 1 until `hold`, back to 0 by the end.
float Strike(float phase, float rise, float hold) {
    if (phase < rise)
        return Ease(phase / rise);
    if (phase < hold)
        return 1.0f;
    return 1.0f - Ease((phase - hold) / (1.0f - hold));
}

// Standing at ease: arms a little away from the body, elbows soft.
void Stand(Pose &p) {
    p.Both(kLUpperArm, 0.0f, 0.1f);
    p.Both(kLForearm, 0.15f, 0.0f);
}

// Knees bent by `bend` (0: straight, 1: deep), the feet kept flat below.
void Squat(Pose &p, float bend) {
    const float thigh = 1.05f * bend;
    const float calf = -1.7f * bend;
    p.Both(kLThigh, thigh, 0.1f * bend);
    p.Both(kLCalf, calf, 0.0f);
    p.Both(kLFoot, -(thigh + calf), -0.1f * bend);
    p.lift.y -= 18.0f * bend * bend + 2.0f * bend;
}

// Legs stepping along -z: a full cycle is two steps.
void Stride(Pose &p, float phase, float swing, float knee, float lean) {
    const float s = Wave(phase);
    const float c = Cosine(phase);
    const float thighL = swing * s + lean;
    const float thighR = -swing * s + lean;
    const float calfL = -(0.08f + knee * std::max(0.0f, c));
    const float calfR = -(0.08f + knee * std::max(0.0f, -c));
    p.Pitch(kLThigh, thighL);
    p.Pitch(kRThigh, thighR);
    p.Pitch(kLCalf, calfL);
    p.Pitch(kRCalf, calfR);
    p.Pitch(kLFoot, -0.6f * (thighL + calfL) + 0.05f);
    p.Pitch(kRFoot, -0.6f * (thighR + calfR) + 0.05f);
}

// Arms swinging against the legs.
void ArmSwing(Pose &p, float phase, float swing, float elbow) {
    const float s = Wave(phase);
    p.Pitch(kLUpperArm, -swing * s);
    p.Pitch(kRUpperArm, swing * s);
    p.Both(kLUpperArm, 0.0f, 0.1f);
    p.Pitch(kLForearm, elbow + 0.3f * std::max(0.0f, -s));
    p.Pitch(kRForearm, elbow + 0.3f * std::max(0.0f, s));
    p.Yaw(kSpine1, 0.08f * s);
    p.Yaw(kSpine3, -0.12f * s);
}

void Breathe(Pose &p, float phase, float depth) {
    p.Pitch(kSpine2, 0.03f * depth * Wave(phase));
    p.Pitch(kHead, -0.02f * depth * Wave(phase, 1.0f, 0.25f));
    p.Both(kLUpperArm, 0.0f, 0.02f * depth * Wave(phase));
}

void Walk(Pose &p, float phase, float swing) {
    Stride(p, phase, swing, 0.65f, 0.0f);
    ArmSwing(p, phase, 0.8f * swing, 0.25f);
    p.Pitch(kSpine1, -0.05f);
    p.lift.y += 1.5f * Cosine(phase, 2.0f) - 1.0f;
}

void Run(Pose &p, float phase) {
    Stride(p, phase, 0.75f, 1.2f, 0.15f);
    const float s = Wave(phase);
    p.Pitch(kLUpperArm, -0.75f * s);
    p.Pitch(kRUpperArm, 0.75f * s);
    p.Both(kLUpperArm, 0.0f, 0.15f);
    p.Both(kLForearm, 1.3f, 0.0f);
    p.Yaw(kSpine1, 0.14f * s);
    p.Yaw(kSpine3, -0.16f * s);
    p.Pitch(kSpine1, -0.22f);
    p.Pitch(kSpine2, -0.06f);
    p.Pitch(kHead, 0.2f);
    p.lift.y += 2.5f * Cosine(phase, 2.0f) - 3.0f;
}

// Stepping sideways to +x: the left leg opens, the right one follows.
void SideStep(Pose &p, float phase) {
    const float s = Wave(phase);
    const float c = Cosine(phase);
    p.Roll(kLThigh, 0.11f * (1.0f + s));
    p.Roll(kRThigh, 0.06f * (1.0f - s));
    p.Roll(kLFoot, -0.11f * (1.0f + s));
    p.Roll(kRFoot, -0.06f * (1.0f - s));
    p.Pitch(kLThigh, 0.25f * std::max(0.0f, c));
    p.Pitch(kLCalf, -0.45f * std::max(0.0f, c));
    p.Pitch(kLFoot, 0.2f * std::max(0.0f, c));
    p.Pitch(kRThigh, 0.25f * std::max(0.0f, -c));
    p.Pitch(kRCalf, -0.45f * std::max(0.0f, -c));
    p.Pitch(kRFoot, 0.2f * std::max(0.0f, -c));
    p.lift.x += 1.5f * s;
    p.lift.y += Cosine(phase, 2.0f) - 1.0f;
    p.Roll(kSpine1, -0.04f * s);
}

// The fighting stance: left foot forward, knees soft, fists up.
void Guard(Pose &p, float phase) {
    p.Pitch(kLThigh, 0.3f);
    p.Pitch(kLCalf, -0.45f);
    p.Pitch(kLFoot, 0.15f);
    p.Pitch(kRThigh, -0.15f);
    p.Pitch(kRCalf, -0.4f);
    p.Pitch(kRFoot, 0.55f);
    p.Roll(kLThigh, 0.08f);
    p.Roll(kRThigh, -0.08f);
    p.lift.y -= 3.0f - 1.0f * Wave(phase, 2.0f);
    p.Yaw(kSpine1, 0.25f);
    p.Pitch(kSpine1, -0.08f);
    p.Yaw(kSpine3, -0.1f);
    p.Yaw(kHead, -0.15f);
    p.Both(kLUpperArm, 0.55f + 0.04f * Wave(phase, 2.0f), 0.3f);
    p.Both(kLForearm, 2.0f, 0.0f);
}

// Bent forward, a hand on the chest.
void Hurt(Pose &p, float phase) {
    p.Pitch(kSpine1, -0.35f + 0.04f * Wave(phase));
    p.Pitch(kSpine2, -0.1f);
    p.Pitch(kHead, -0.15f);
    p.Pitch(kRUpperArm, 0.5f);
    p.Roll(kRUpperArm, 0.1f);
    p.Pitch(kRForearm, 1.9f);
    p.Both(kLUpperArm, 0.0f, 0.0f);
    p.Pitch(kLUpperArm, 0.15f);
    p.Roll(kLUpperArm, 0.12f);
    p.Pitch(kLForearm, 0.3f);
    Squat(p, 0.25f);
}

struct MotionPlan {
    const char *record;
    float length;     // seconds
    Vector3 velocity; // units a second, in the character's space
    uint8_t playStyle;
    float blendTime;
    std::function<void(Pose &, float)> pose; // at the phase 0..1
};

constexpr uint8_t kLoop = 0;
constexpr uint8_t kHold = 2;
constexpr float kBlend = 0.15f;

const std::vector<MotionPlan> &Plans() {
    static const std::vector<MotionPlan> kPlans = {
        {"N_Neutral",
         2.0f,
         {0, 0, 0},
         kLoop,
         kBlend,
         [](Pose &p, float t) {
             Stand(p);
             Breathe(p, t, 1.0f);
         }},
        {"N_Relax",
         4.0f,
         {0, 0, 0},
         kLoop,
         0.3f,
         [](Pose &p, float t) {
             Stand(p);
             Breathe(p, t * 2.0f, 1.0f);
             p.Yaw(kHead, 0.6f * Wave(t));
             p.Yaw(kNeck, 0.2f * Wave(t));
             p.Pitch(kHead, -0.1f * std::max(0.0f, Wave(t, 2.0f)));
             p.lift.x += 2.0f * Wave(t, 1.0f, 0.25f);
             p.Roll(kSpine1, -0.05f * Wave(t, 1.0f, 0.25f));
             p.Roll(kLThigh, 0.05f * Wave(t, 1.0f, 0.25f));
             p.Roll(kRThigh, 0.05f * Wave(t, 1.0f, 0.25f));
             p.Roll(kLFoot, -0.05f * Wave(t, 1.0f, 0.25f));
             p.Roll(kRFoot, -0.05f * Wave(t, 1.0f, 0.25f));
         }},
        {"N_Forward",
         0.8f,
         {0, 0, -150},
         kLoop,
         kBlend,
         [](Pose &p, float t) { Walk(p, t, 0.45f); }},
        {"R_Forward", 0.6f, {0, 0, -300}, kLoop, kBlend, [](Pose &p, float t) { Run(p, t); }},
        {"R_Forward1", 0.55f, {0, 0, -360}, kLoop, kBlend, [](Pose &p, float t) { Run(p, t); }},
        {"N_Back",
         0.9f,
         {0, 0, 100},
         kLoop,
         kBlend,
         [](Pose &p, float t) {
             const float s = Wave(t);
             p.Pitch(kLThigh, 0.3f * s);
             p.Pitch(kRThigh, -0.3f * s);
             p.Pitch(kLCalf, -(0.1f + 0.5f * std::max(0.0f, -Cosine(t))));
             p.Pitch(kRCalf, -(0.1f + 0.5f * std::max(0.0f, Cosine(t))));
             ArmSwing(p, t, 0.15f, 0.3f);
             p.Pitch(kSpine1, 0.05f);
             p.lift.y += Cosine(t, 2.0f) - 1.0f;
         }},
        {"N_Left",
         0.8f,
         {100, 0, 0},
         kLoop,
         kBlend,
         [](Pose &p, float t) {
             Stand(p);
             SideStep(p, t);
         }},
        {"N_Right",
         0.8f,
         {-100, 0, 0},
         kLoop,
         kBlend,
         [](Pose &p, float t) {
             Pose left;
             Stand(left);
             SideStep(left, t);
             p = Mirror(left);
         }},
        {"C_Neutral",
         2.0f,
         {0, 0, 0},
         kLoop,
         kBlend,
         [](Pose &p, float t) {
             Squat(p, 1.0f);
             p.Pitch(kSpine1, -0.4f);
             p.Pitch(kHead, 0.3f);
             p.Both(kLUpperArm, 0.4f, 0.15f);
             p.Both(kLForearm, 0.8f, 0.0f);
             Breathe(p, t, 1.0f);
         }},
        {"C_Forward",
         1.0f,
         {0, 0, -80},
         kLoop,
         kBlend,
         [](Pose &p, float t) {
             Squat(p, 0.85f);
             Stride(p, t, 0.3f, 0.3f, 0.0f);
             p.Pitch(kSpine1, -0.4f);
             p.Pitch(kHead, 0.3f);
             p.Both(kLUpperArm, 0.4f, 0.15f);
             p.Both(kLForearm, 0.8f, 0.0f);
             ArmSwing(p, t, 0.15f, 0.0f);
         }},
        {"S_Neutral",
         2.0f,
         {0, 0, 0},
         kLoop,
         kBlend,
         [](Pose &p, float t) {
             Squat(p, 0.5f);
             p.Pitch(kSpine1, -0.25f);
             p.Pitch(kHead, 0.15f);
             p.Both(kLUpperArm, 0.4f, 0.3f);
             p.Both(kLForearm, 0.8f, 0.0f);
             Breathe(p, t, 0.5f);
         }},
        {"S_Forward",
         1.2f,
         {0, 0, -75},
         kLoop,
         kBlend,
         [](Pose &p, float t) {
             Squat(p, 0.45f);
             Stride(p, t, 0.3f, 0.4f, 0.0f);
             p.Pitch(kSpine1, -0.25f);
             p.Pitch(kHead, 0.15f);
             p.Both(kLUpperArm, 0.4f, 0.3f);
             p.Both(kLForearm, 0.8f, 0.0f);
         }},
        {"J_Neutral",
         1.0f,
         {0, 0, 0},
         kLoop,
         0.1f,
         [](Pose &p, float t) {
             p.Both(kLThigh, 0.7f, 0.08f);
             p.Both(kLCalf, -1.1f, 0.0f);
             p.Both(kLFoot, 0.3f, 0.0f);
             p.Both(kLUpperArm, 1.3f + 0.1f * Wave(t), 0.35f);
             p.Both(kLForearm, 0.4f, 0.0f);
             p.Pitch(kSpine1, -0.1f);
             p.Pitch(kHead, 0.1f);
         }},
        {"J_Forward",
         1.0f,
         {0, 0, 0},
         kLoop,
         0.1f,
         [](Pose &p, float t) {
             p.Pitch(kLThigh, 0.8f);
             p.Pitch(kLCalf, -0.6f);
             p.Pitch(kRThigh, -0.35f);
             p.Pitch(kRCalf, -0.9f);
             p.Pitch(kLUpperArm, -0.5f);
             p.Pitch(kRUpperArm, 0.9f + 0.1f * Wave(t));
             p.Both(kLUpperArm, 0.0f, 0.3f);
             p.Both(kLForearm, 0.5f, 0.0f);
             p.Pitch(kSpine1, -0.15f);
             p.Pitch(kHead, 0.15f);
         }},
        {"F_Neutral",
         0.8f,
         {0, 0, 0},
         kLoop,
         0.2f,
         [](Pose &p, float t) {
             p.Both(kLUpperArm, 0.3f * Wave(t, 1.0f, 0.25f), 1.3f + 0.25f * Wave(t));
             p.Both(kLForearm, 0.5f, 0.0f);
             p.Pitch(kLThigh, 0.3f + 0.25f * Wave(t));
             p.Pitch(kRThigh, 0.3f - 0.25f * Wave(t));
             p.Both(kLCalf, -0.6f, 0.0f);
             p.Both(kLThigh, 0.0f, 0.12f);
             p.Pitch(kHead, -0.2f);
         }},
        // Landings: the knees take the fall, then the body rises into the
        // motion the landing asked for.
        {"J_Neutral_2_N_Neutral",
         0.35f,
         {0, 0, 0},
         kLoop,
         0.0f,
         [](Pose &p, float t) {
             const float w = std::sin(kPi * t);
             Stand(p);
             Squat(p, 0.55f * w);
             p.Pitch(kSpine1, -0.25f * w);
             p.Both(kLUpperArm, 0.3f * w, 0.25f * w);
             p.Both(kLForearm, 0.4f * w, 0.0f);
         }},
        {"J_Forward_2_N_Neutral",
         0.35f,
         {0, 0, 0},
         kLoop,
         0.0f,
         [](Pose &p, float t) {
             const float w = std::sin(kPi * t);
             Stand(p);
             Squat(p, 0.55f * w);
             p.Pitch(kSpine1, -0.3f * w);
             p.Both(kLUpperArm, 0.3f * w, 0.25f * w);
             p.Both(kLForearm, 0.4f * w, 0.0f);
         }},
        {"J_Forward_2_N_Forward",
         0.3f,
         {0, 0, -150},
         kLoop,
         0.0f,
         [](Pose &p, float t) {
             const float w = std::sin(kPi * t);
             Walk(p, 0.5f * t, 0.45f * (1.0f - w));
             Squat(p, 0.4f * w);
             p.Pitch(kSpine1, -0.2f * w);
         }},
        {"F_Neutral_2_N_Neutral",
         0.45f,
         {0, 0, 0},
         kLoop,
         0.0f,
         [](Pose &p, float t) {
             const float w = std::sin(kPi * t);
             Stand(p);
             Squat(p, 0.7f * w);
             p.Pitch(kSpine1, -0.35f * w);
             p.Pitch(kHead, 0.2f * w);
             p.Both(kLUpperArm, 0.5f * w, 0.35f * w);
             p.Both(kLForearm, 0.5f * w, 0.0f);
         }},
        {"F_Neutral_2_N_Forward",
         0.35f,
         {0, 0, -100},
         kLoop,
         0.0f,
         [](Pose &p, float t) {
             const float w = std::sin(kPi * t);
             Walk(p, 0.5f * t, 0.45f * (1.0f - w));
             Squat(p, 0.55f * w);
             p.Pitch(kSpine1, -0.25f * w);
         }},
        {"N_Gethit0",
         0.5f,
         {0, 0, 0},
         kLoop,
         0.05f,
         [](Pose &p, float t) {
             const float w = Strike(t, 0.3f, 0.5f);
             Stand(p);
             p.Pitch(kSpine1, 0.35f * w);
             p.Pitch(kSpine2, 0.15f * w);
             p.Pitch(kHead, 0.3f * w);
             p.Both(kLUpperArm, -0.3f * w, 0.5f * w);
             p.Both(kLForearm, 0.6f * w, 0.0f);
             Squat(p, 0.2f * w);
             p.lift.z += 4.0f * w;
         }},
        {"N_Damage0", 1.2f, {0, 0, 0}, kLoop, kBlend, [](Pose &p, float t) { Hurt(p, t); }},
        {"N_Die0",
         1.4f,
         {0, 0, 0},
         kLoop,
         0.1f,
         [](Pose &p, float t) {
             const float buckle = Ease(t / 0.35f);
             const float fall = Ease((t - 0.35f) / 0.65f);
             const float down = fall * fall;
             p.Both(kLThigh, 0.6f * buckle * (1.0f - fall) + 0.15f * fall, 0.1f * fall);
             p.Both(kLCalf, -1.1f * buckle * (1.0f - fall) - 0.2f * fall, 0.0f);
             p.Both(kLFoot, 0.5f * buckle * (1.0f - fall) + 0.3f * fall, 0.0f);
             p.Pitch(kSpine, 1.45f * down);
             p.lift.y -= 12.0f * buckle * (1.0f - down) + 50.0f * down;
             p.lift.z += 12.0f * down;
             p.Both(kLUpperArm, 0.3f * buckle, 0.1f + 1.0f * down);
             p.Both(kLForearm, 0.4f * (1.0f - down) + 0.2f, 0.0f);
             p.Pitch(kSpine1, -0.3f * buckle * (1.0f - down));
             p.Pitch(kHead, -0.25f * down);
             p.Yaw(kHead, 0.4f * down);
         }},
        {"N_Dead0",
         1.0f,
         {0, 0, 0},
         kHold,
         0.0f,
         [](Pose &p, float) {
             p.Both(kLThigh, 0.15f, 0.1f);
             p.Both(kLCalf, -0.2f, 0.0f);
             p.Both(kLFoot, 0.3f, 0.0f);
             p.Pitch(kSpine, 1.45f);
             p.lift.y -= 50.0f;
             p.lift.z += 12.0f;
             p.Both(kLUpperArm, 0.0f, 1.1f);
             p.Both(kLForearm, 0.2f, 0.0f);
             p.Pitch(kHead, -0.25f);
             p.Yaw(kHead, 0.4f);
         }},
        {"M_Neutral", 1.0f, {0, 0, 0}, kLoop, kBlend, [](Pose &p, float t) { Guard(p, t); }},
        {"M_Forward",
         0.5f,
         {0, 0, -120},
         kLoop,
         0.1f,
         [](Pose &p, float t) {
             Guard(p, t);
             p.Pitch(kLThigh, 0.15f * Wave(t));
             p.Pitch(kRThigh, -0.15f * Wave(t));
         }},
        {"M_Back",
         0.5f,
         {0, 0, 120},
         kLoop,
         0.1f,
         [](Pose &p, float t) {
             Guard(p, t);
             p.Pitch(kLThigh, -0.15f * Wave(t));
             p.Pitch(kRThigh, 0.15f * Wave(t));
         }},
        {"M_Left",
         0.5f,
         {120, 0, 0},
         kLoop,
         0.1f,
         [](Pose &p, float t) {
             Guard(p, t);
             p.Roll(kLThigh, 0.1f * (1.0f + Wave(t)));
             p.Roll(kRThigh, 0.05f * (1.0f - Wave(t)));
         }},
        {"M_Right",
         0.5f,
         {-120, 0, 0},
         kLoop,
         0.1f,
         [](Pose &p, float t) {
             Guard(p, t);
             p.Roll(kRThigh, -0.1f * (1.0f + Wave(t)));
             p.Roll(kLThigh, -0.05f * (1.0f - Wave(t)));
         }},
        // A right jab.
        {"M_Attack0",
         0.6f,
         {0, 0, 0},
         kLoop,
         0.08f,
         [](Pose &p, float t) {
             const float w = Strike(t, 0.35f, 0.55f);
             Guard(p, t);
             p.Pitch(kRUpperArm, 1.0f * w);
             p.Roll(kRUpperArm, 0.2f * w);
             p.Pitch(kRForearm, -1.85f * w);
             p.Yaw(kSpine1, -0.6f * w);
             p.Pitch(kSpine1, -0.1f * w);
             p.lift.z -= 3.0f * w;
         }},
        // A left hook.
        {"M_Attack1",
         0.6f,
         {0, 0, 0},
         kLoop,
         0.08f,
         [](Pose &p, float t) {
             const float w = Strike(t, 0.35f, 0.55f);
             Guard(p, t);
             p.Pitch(kLUpperArm, 0.9f * w);
             p.Roll(kLUpperArm, 0.9f * w);
             p.Pitch(kLForearm, -0.6f * w);
             p.Yaw(kSpine1, 0.35f * w);
         }},
        // A front kick with the right leg.
        {"M_Attack2",
         0.7f,
         {0, 0, 0},
         kLoop,
         0.08f,
         [](Pose &p, float t) {
             const float w = Strike(t, 0.45f, 0.6f);
             Guard(p, t);
             p.Pitch(kRThigh, 1.55f * w);
             p.Pitch(kRCalf, -1.2f * std::sin(kPi * w));
             p.Pitch(kRFoot, -0.5f * w);
             p.Pitch(kSpine1, 0.25f * w);
             p.lift.y -= 2.0f * w;
         }},
        // Both fists brought down from above the head.
        {"M_Attack3",
         0.8f,
         {0, 0, 0},
         kLoop,
         0.08f,
         [](Pose &p, float t) {
             // The arms go up, then come down fast; the body bows after them.
             const float lift = t < 0.45f ? Ease(t / 0.45f) : 1.0f - Ease((t - 0.45f) / 0.15f);
             const float bow = Strike(std::max(0.0f, t - 0.45f) / 0.55f, 0.25f, 0.5f);
             Guard(p, t);
             p.Both(kLUpperArm, 2.2f * lift + 0.3f * bow, -0.2f * lift);
             p.Both(kLForearm, -1.4f * lift, 0.0f);
             p.Pitch(kSpine1, 0.15f * lift - 0.45f * bow);
         }},
        {"N_Action",
         0.6f,
         {0, 0, 0},
         kLoop,
         0.1f,
         [](Pose &p, float t) {
             const float w = Strike(t, 0.4f, 0.6f);
             Stand(p);
             p.Pitch(kRUpperArm, 1.2f * w);
             p.Pitch(kRForearm, 0.15f * w);
             p.Pitch(kSpine1, -0.15f * w);
         }},
        {"N_Guarding",
         2.0f,
         {0, 0, 0},
         kLoop,
         kBlend,
         [](Pose &p, float t) {
             Stand(p);
             p.Both(kLUpperArm, 0.3f, 0.15f);
             p.Both(kLForearm, 1.2f, 0.0f);
             p.Yaw(kHead, 0.35f * Wave(t));
             p.Both(kLThigh, 0.0f, 0.06f);
             p.Both(kLFoot, 0.0f, -0.06f);
             Breathe(p, t * 2.0f, 1.0f);
         }},
        {"N_Exhausted",
         1.5f,
         {0, 0, 0},
         kLoop,
         kBlend,
         [](Pose &p, float t) {
             Squat(p, 0.3f);
             p.Pitch(kSpine1, -0.6f);
             p.Pitch(kSpine2, -0.15f + 0.06f * Wave(t, 2.0f));
             p.Pitch(kHead, 0.45f);
             p.Both(kLUpperArm, 0.7f, 0.1f);
             p.Both(kLForearm, 0.2f, 0.0f);
         }},
        // Ready to fight; and walking up slowly.
        {"N_Special6", 1.0f, {0, 0, 0}, kLoop, kBlend, [](Pose &p, float t) { Guard(p, t); }},
        {"N_Special7",
         1.0f,
         {0, 0, -60},
         kLoop,
         kBlend,
         [](Pose &p, float t) { Walk(p, t, 0.25f); }},
    };
    return kPlans;
}

// Key rate of the motions' tracks.
constexpr float kKeysPerSecond = 15.0f;

Quaternion Turn(const Vector3 &t) {
    Quaternion q;
    QuaternionRotationYawPitchRoll(&q, t.y, t.x, t.z);
    return q;
}

// One track per bone: its turn at every key and its place below its
// parent (the root's moved by the pose's lift).
std::vector<std::unique_ptr<KeyTrack>> Tracks(const MotionPlan &plan) {
    const int keys = std::max(2, int(std::lround(plan.length * kKeysPerSecond)) + 1);
    std::vector<Pose> poses;
    for (int k = 0; k < keys; ++k) {
        Pose pose;
        plan.pose(pose, float(k) / float(keys - 1));
        poses.push_back(pose);
    }
    std::vector<std::unique_ptr<KeyTrack>> tracks;
    for (int b = 0; b < kBoneCount; ++b) {
        auto track = std::make_unique<KeyTrack>();
        track->nameId = GetNameTable().FindOrAdd(kRest[b].name);
        track->length = plan.length;
        const int parent = kRest[b].parent;
        const Vector3 local =
            parent < 0 ? Fit(kRest[b].at) : Sub(Fit(kRest[b].at), Fit(kRest[parent].at));
        for (int k = 0; k < keys; ++k) {
            const float time = plan.length * float(k) / float(keys - 1);
            track->AddRotationKey(time, Turn(poses[size_t(k)].turn[size_t(b)]));
            if (parent < 0) {
                track->AddPositionKey(time, Add(local, Scale(poses[size_t(k)].lift, kBodyScale)));
            }
        }
        if (parent >= 0) {
            track->AddPositionKey(0.0f, local);
        }
        track->MarkInterpolatedKeys();
        tracks.push_back(std::move(track));
    }
    return tracks;
}

std::vector<uint8_t> MotionFile(const MotionPlan &plan) {
    std::vector<std::unique_ptr<KeyTrack>> tracks = Tracks(plan);
    MotWriter writer(1);
    const Vector3 d = Scale(plan.velocity, plan.length);
    writer.SetDisplacement(d.x, d.y, d.z);
    for (auto &track : tracks) {
        writer.AddTrack(*track);
    }
    return writer.WriteToMemory();
}

std::string Lower(std::string text) {
    for (char &c : text) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string DataPath(const std::string &name) { return std::string(kDataFolder) + name; }

} // namespace

const std::vector<std::string> &HeroBoneNames() {
    static const std::vector<std::string> kNames = [] {
        std::vector<std::string> names;
        for (const BoneRest &bone : kRest) {
            names.push_back(bone.name);
        }
        return names;
    }();
    return kNames;
}

std::vector<uint8_t> HeroQvm() {
    QvmWriter writer(2, 1);
    for (const BoneRest &rest : kRest) {
        QvmBoneRecord bone;
        bone.name = rest.name;
        bone.parent = rest.parent < 0 ? kQvmNoParent : uint32_t(rest.parent);
        bone.offset = kBoneIdentity;
        const Vector3 at = Fit(rest.at);
        bone.offset.m[3][0] = -at.x;
        bone.offset.m[3][1] = -at.y;
        bone.offset.m[3][2] = -at.z;
        writer.bones.push_back(bone);
    }
    BodyBuilder b;
    // Hips, belt, belly, chest and shoulders.
    b.Limb(kSpine, {0, 24, 0}, {0, 43, 0}, 11.0f, 7.5f, 11.0f, 7.0f, kTrousers);
    b.Limb(kSpine1, {0, 41, 0}, {0, 45.5f, 0}, 11.8f, 8.0f, 11.8f, 8.0f, kBelt);
    b.Box(kSpine1, {0, 43.2f, -7.8f}, {2.5f, 2.0f, 0.6f}, kTrim);
    b.Limb(kSpine1, {0, 44, 0}, {0, 58, 0}, 10.5f, 7.0f, 11.5f, 7.5f, kTunic);
    b.Limb(kSpine2, {0, 55, 0}, {0, 69, 0}, 12.0f, 7.5f, 13.5f, 8.5f, kTunic);
    b.Limb(kSpine3, {0, 66, 0}, {0, 78, 0}, 14.5f, 8.5f, 11.0f, 6.5f, kTunic);
    // Neck, head, hair and nose.
    b.Limb(kNeck, {0, 75, 0}, {0, 86, 0}, 4.0f, 4.0f, 4.0f, 4.0f, kSkin);
    b.Ellipsoid(kHead, {0, 93, -0.5f}, {8.5f, 10.5f, 9.5f}, kPi, kSkin);
    b.Ellipsoid(kHead, {0, 94.5f, 0.8f}, {9.3f, 10.6f, 10.0f}, 0.6f * kPi, kHair);
    b.Box(kHead, {0, 91.5f, -10.0f}, {1.0f, 1.8f, 1.2f}, kSkin);
    // Arms: sleeves, bare forearms, gloved hands.
    b.LimbPair(kLUpperArm, {15, 78, 0}, {15, 53, 0}, 4.8f, 4.0f, kTunic);
    b.LimbPair(kLForearm, {15, 55, 0}, {15, 36, 0}, 3.9f, 3.1f, kSkin);
    b.BoxPair(kLHand, {15, 31, -0.5f}, {2.2f, 5.0f, 3.0f}, kGloves);
    // Legs: trousers, boots.
    b.LimbPair(kLThigh, {7, 35, 0}, {7, 5, 0}, 6.2f, 4.8f, kTrousers);
    b.LimbPair(kLCalf, {7, 7, 0}, {7, -8, 0}, 4.7f, 4.1f, kTrousers);
    b.LimbPair(kLCalf, {7, -6, 0}, {7, -19, 0}, 4.4f, 4.0f, kBoots);
    b.BoxPair(kLFoot, {7, -20.5f, -3.5f}, {3.6f, 2.5f, 8.0f}, kBoots);
    // A pouch at the back of the belt.
    b.Box(kTailNub, {0, 38, 9.5f}, {4.0f, 3.5f, 2.0f}, kBelt);

    writer.subsets.push_back(b.Subset());
    return writer.WriteToMemory();
}

Image HeroSkinImage(bool guard) {
    const uint32_t *colors = guard ? kGuardColors : kHeroColors;
    Image image(64, 64, 0xFF808080u);
    for (uint32_t y = 0; y < 64; ++y) {
        for (uint32_t x = 0; x < 64; ++x) {
            const int cell = int(y / 16) * 4 + int(x / 16);
            if (cell < kCellCount) {
                image.At(x, y) = colors[cell];
            }
        }
    }
    return image;
}

const std::vector<HeroMotionInfo> &HeroMotions() {
    static const std::vector<HeroMotionInfo> kMotions = [] {
        std::vector<HeroMotionInfo> motions;
        for (const MotionPlan &plan : Plans()) {
            HeroMotionInfo info;
            info.record = plan.record;
            info.item = std::string("Hero_") + plan.record;
            info.file = "hero_" + Lower(plan.record) + ".mot";
            info.length = plan.length;
            info.playStyle = plan.playStyle;
            info.blendTime = plan.blendTime;
            motions.push_back(std::move(info));
        }
        return motions;
    }();
    return kMotions;
}

std::vector<std::pair<uint32_t, std::unique_ptr<LibraryItem>>> HeroLibraryItems() {
    std::vector<std::pair<uint32_t, std::unique_ptr<LibraryItem>>> items;
    const auto add = [&items](uint32_t slot, std::unique_ptr<LibraryItem> item,
                              const std::string &name, const std::string &file) {
        item->name = name;
        item->fileName = file;
        item->slotIndex = slot;
        items.emplace_back(slot, std::move(item));
    };
    const struct {
        uint32_t mesh, texture, material;
        const char *meshName, *textureName, *file, *materialName;
    } bodies[] = {
        {kHeroMeshSlot, kHeroTextureSlot, kHeroMaterialSlot, kHeroMeshName, "hero_skin",
         "hero_skin.tga", "HeroBody"},
        {kGuardMeshSlot, kGuardTextureSlot, kGuardMaterialSlot, kGuardMeshName, "guard_skin",
         "guard_skin.tga", "GuardBody"},
    };
    for (const auto &body : bodies) {
        auto texture = std::make_unique<TextureItem>();
        texture->width = 64;
        texture->height = 64;
        add(body.texture, std::move(texture), body.textureName, body.file);
        // Lit by the level's lights (a glow of its own keeps its colours in
        // dim rooms) and casting a stencil shadow (bucket 4). The body is
        // drawn after the shadows (bucket 5, appended like the normal bucket
        // 3): drawn before them, its own volume would darken every face
        // turned from the shadow's light and leave the others in full colour,
        // patches over the whole figure.
        auto material = std::make_unique<MaterialItem>();
        material->material.diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
        material->material.ambient = {1.0f, 1.0f, 1.0f, 1.0f};
        material->material.emissive = {0.45f, 0.45f, 0.45f, 1.0f};
        material->textureIds = {body.texture};
        material->bucketMask = (1u << 4) | (1u << 5);
        add(body.material, std::move(material), body.materialName, "");
        // Both bodies read the one mesh file; each keeps its own skinned copy.
        auto mesh = std::make_unique<MeshItem>();
        mesh->meshKind = 1;
        mesh->subsetSettings.resize(1);
        mesh->subsetSettings[0].word0 = 0;
        mesh->subsetSettings[0].word1 = body.material;
        add(body.mesh, std::move(mesh), body.meshName, "hero.qvm");
    }
    uint32_t slot = kHeroFirstMotionSlot;
    for (const HeroMotionInfo &motion : HeroMotions()) {
        add(slot++, std::make_unique<MotionItem>(), motion.item, motion.file);
    }
    return items;
}

bool WriteHeroFiles(SampleOutput &out, const Scratch &scratch) {
    const std::vector<uint8_t> mesh = HeroQvm();
    if (mesh.empty())
        return out.Fail(DataPath("hero.qvm"), "cannot encode");
    if (!out.Write(DataPath("hero.qvm"), mesh))
        return false;
    for (const auto &[name, guard] :
         {std::pair{"hero_skin.tga", false}, {"guard_skin.tga", true}}) {
        std::vector<uint8_t> bytes;
        if (!EncodeTga(scratch, HeroSkinImage(guard), bytes)) {
            return out.Fail(DataPath(name), "cannot encode the image");
        }
        if (!out.Write(DataPath(name), bytes))
            return false;
    }
    const std::vector<HeroMotionInfo> &motions = HeroMotions();
    for (size_t i = 0; i < motions.size(); ++i) {
        const std::vector<uint8_t> bytes = MotionFile(Plans()[i]);
        if (bytes.empty())
            return out.Fail(DataPath(motions[i].file), "cannot encode");
        if (!out.Write(DataPath(motions[i].file), bytes))
            return false;
    }
    return true;
}

} // namespace sample

SkinObjectActor *AddHeroSkin(SampleOutput &out, const std::string &file, Actor *owner,
                             int32_t &next, const char *mesh) {
    // The skin reads the hero's bones from its data file.
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr) {
        out.Fail(file, "no library for the skin");
        return nullptr;
    }
    const std::string folder = library->GetBaseFolder();
    library->SetBaseFolder((out.Root() + "/game").c_str());
    auto *skin = dynamic_cast<SkinObjectActor *>(CreateActor(
        static_cast<int32_t>(kSkinObjectClassId), "Skin", nullptr, owner, next++, true));
    const bool skinned =
        skin != nullptr && SendCommandArgs(skin, cmd::base::SetResource, std::string(mesh)) != 0;
    library->SetBaseFolder(folder.c_str());
    if (!skinned) {
        return nullptr;
    }
    for (const sample::HeroMotionInfo &info : sample::HeroMotions()) {
        const int32_t index = ResourceLibrary::GetItemIndex(
            library->FindItemByName(info.item.c_str(), ItemClass::Motion));
        auto *item = index < 0 ? nullptr
                               : static_cast<MotionItem *>(library->AcquireItem(
                                     static_cast<uint32_t>(index), ItemClass::Motion, 0, 0));
        if (item == nullptr) {
            return nullptr;
        }
        SkinMotion motion;
        motion.item = item;
        motion.index = index;
        motion.name = info.record;
        motion.length = GetMotionLength(item);
        motion.blendTime = info.blendTime;
        motion.playStyle = info.playStyle;
        skin->motions.push_back(std::move(motion));
    }
    return skin;
}
