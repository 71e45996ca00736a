// Mesh files of the sample (".qvm" and ".anb") and its wave files.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "library/anb_writer.h"
#include "library/library_item.h"
#include "library/mesh.h"
#include "library/mesh_subset.h"
#include "library/qvm_writer.h"
#include "platform/wave_file.h"
#include "sample_game.h"

namespace sample {
namespace {

constexpr uint32_t kStride = 32; // position, normal, (u, v)
constexpr double kPi = 3.14159265358979323846;

Vector3 Sub(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vector3 Cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Vertices and triangles of one subset being built. Triangles face the
// side their normal points to: corners clockwise seen from there.
struct Builder {
    std::vector<Vector3> positions;
    std::vector<Vector3> normals;
    std::vector<float> us;
    std::vector<float> vs;
    std::vector<uint16_t> indices;

    uint16_t Vertex(const Vector3& p, const Vector3& n, float u, float v) {
        positions.push_back(p);
        normals.push_back(n);
        us.push_back(u);
        vs.push_back(v);
        return uint16_t(positions.size() - 1);
    }

    void Triangle(uint16_t a, uint16_t b, uint16_t c, const Vector3& outward) {
        const Vector3 face = Cross(Sub(positions[b], positions[a]), Sub(positions[c], positions[a]));
        if (Dot(face, outward) < 0.0f) {
            std::swap(b, c);
        }
        indices.insert(indices.end(), {a, b, c});
    }

    // Quad a b c d (in order around it).
    void Quad(uint16_t a, uint16_t b, uint16_t c, uint16_t d, const Vector3& outward) {
        Triangle(a, b, c, outward);
        Triangle(a, c, d, outward);
    }

    QvmSubsetRecord Subset(const std::string& name, uint32_t word) const {
        QvmSubsetRecord s;
        s.name = name;
        s.subsetWord = word;
        s.fvf = 0x112;
        s.vertexSize = kStride;
        s.frameCount = 1;
        s.vertexCount = uint32_t(positions.size());
        s.indices = indices;
        for (size_t i = 0; i < positions.size(); ++i) {
            QvmWriter::AppendVertex(s.vertices, kStride, positions[i], normals[i], us[i], vs[i]);
        }
        return s;
    }
};

Vector3 Normalised(const Vector3& v) {
    const float length = std::sqrt(Dot(v, v));
    return length > 0.0f ? Vector3{v.x / length, v.y / length, v.z / length} : v;
}

} // namespace

// A 100-unit cube around the origin, four vertices per face.
std::vector<uint8_t> CubeQvm() {
    Builder b;
    const Vector3 axes[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const Vector3& n : axes) {
        // Two directions across the face.
        const Vector3 u = n.x != 0.0f ? Vector3{0, 1, 0} : Vector3{1, 0, 0};
        const Vector3 v = Cross(n, u);
        uint16_t corner[4];
        const float su[4] = {-1, 1, 1, -1};
        const float sv[4] = {-1, -1, 1, 1};
        for (int k = 0; k < 4; ++k) {
            const Vector3 p = {50.0f * (n.x + su[k] * u.x + sv[k] * v.x),
                               50.0f * (n.y + su[k] * u.y + sv[k] * v.y),
                               50.0f * (n.z + su[k] * u.z + sv[k] * v.z)};
            corner[k] = b.Vertex(p, n, su[k] > 0 ? 1.0f : 0.0f, sv[k] > 0 ? 0.0f : 1.0f);
        }
        b.Quad(corner[0], corner[1], corner[2], corner[3], n);
    }
    QvmWriter writer(2, 0);
    writer.subsets.push_back(b.Subset("Cube", 0));
    return writer.WriteToMemory();
}

namespace {

// 20 x 20 cells over 2,000 x 2,000 units at height 0, facing up.
Builder FloorShape() {
    Builder b;
    constexpr int kCells = 20;
    constexpr float kSide = 2000.0f;
    for (int z = 0; z <= kCells; ++z) {
        for (int x = 0; x <= kCells; ++x) {
            b.Vertex({-kSide / 2 + kSide * float(x) / kCells, 0.0f, -kSide / 2 + kSide * float(z) / kCells},
                     {0, 1, 0}, float(x) / 2.0f, float(z) / 2.0f);
        }
    }
    for (int z = 0; z < kCells; ++z) {
        for (int x = 0; x < kCells; ++x) {
            const uint16_t a = uint16_t(z * (kCells + 1) + x);
            b.Quad(a, uint16_t(a + 1), uint16_t(a + kCells + 2), uint16_t(a + kCells + 1), {0, 1, 0});
        }
    }
    return b;
}

// Radius 50: 16 rings of 32 segments.
Builder SphereShape() {
    Builder b;
    constexpr int kRings = 16;
    constexpr int kSegments = 32;
    for (int r = 0; r <= kRings; ++r) {
        const double theta = kPi * r / kRings;
        for (int s = 0; s <= kSegments; ++s) {
            const double phi = 2.0 * kPi * s / kSegments;
            const Vector3 n = {float(std::sin(theta) * std::cos(phi)), float(std::cos(theta)),
                               float(std::sin(theta) * std::sin(phi))};
            b.Vertex({50.0f * n.x, 50.0f * n.y, 50.0f * n.z}, n, float(s) / kSegments,
                     float(r) / kRings);
        }
    }
    for (int r = 0; r < kRings; ++r) {
        for (int s = 0; s < kSegments; ++s) {
            const uint16_t a = uint16_t(r * (kSegments + 1) + s);
            const uint16_t c = uint16_t(a + kSegments + 1);
            const Vector3& pa = b.positions[a];
            const Vector3& pc = b.positions[c + 1];
            const Vector3 out = Normalised({pa.x + pc.x, pa.y + pc.y, pa.z + pc.z});
            if (r != 0) {
                b.Triangle(a, uint16_t(a + 1), uint16_t(c + 1), out);
            }
            if (r != kRings - 1) {
                b.Triangle(a, uint16_t(c + 1), c, out);
            }
        }
    }
    return b;
}

std::vector<uint8_t> OneSubsetQvm(const Builder& b, const std::string& name) {
    QvmWriter writer(2, 0);
    writer.subsets.push_back(b.Subset(name, 0));
    return writer.WriteToMemory();
}

// What loading the file of these vertices gives the subset's settings
// record: the box of its positions and the sphere around that box.
void RecordBounds(const Builder& b, SubsetSettings& record) {
    AABox box = {{1e38f, 1e38f, 1e38f}, {-1e38f, -1e38f, -1e38f}};
    for (const Vector3& p : b.positions) {
        box.min = {std::min(box.min.x, p.x), std::min(box.min.y, p.y), std::min(box.min.z, p.z)};
        box.max = {std::max(box.max.x, p.x), std::max(box.max.y, p.y), std::max(box.max.z, p.z)};
    }
    Vector3 centre;
    SphereOfBox(box, &centre, &record.sphereRadius);
    const auto put = [](float to[3], const Vector3& v) { to[0] = v.x, to[1] = v.y, to[2] = v.z; };
    put(record.boxMin, box.min);
    put(record.boxMax, box.max);
    put(record.sphereCentre, centre);
    record.outerRadius = Vec3Length(centre) + record.sphereRadius;
}

} // namespace

std::vector<uint8_t> FloorQvm() { return OneSubsetQvm(FloorShape(), "Floor"); }
std::vector<uint8_t> SphereQvm() { return OneSubsetQvm(SphereShape(), "Sphere"); }
void FloorBounds(SubsetSettings& record) { RecordBounds(FloorShape(), record); }
void SphereBounds(SubsetSettings& record) { RecordBounds(SphereShape(), record); }

// Radius 30, height 100 from the origin up, 16 sides, both caps.
std::vector<uint8_t> CylinderQvm() {
    Builder b;
    constexpr int kSides = 16;
    for (int s = 0; s <= kSides; ++s) {
        const double phi = 2.0 * kPi * s / kSides;
        const Vector3 n = {float(std::cos(phi)), 0.0f, float(std::sin(phi))};
        b.Vertex({30.0f * n.x, 0.0f, 30.0f * n.z}, n, float(s) / kSides, 1.0f);
        b.Vertex({30.0f * n.x, 100.0f, 30.0f * n.z}, n, float(s) / kSides, 0.0f);
    }
    for (int s = 0; s < kSides; ++s) {
        const uint16_t a = uint16_t(s * 2);
        const Vector3& p = b.positions[a];
        const Vector3& q = b.positions[a + 2];
        b.Quad(a, uint16_t(a + 1), uint16_t(a + 3), uint16_t(a + 2),
               Normalised({p.x + q.x, 0.0f, p.z + q.z}));
    }
    for (int cap = 0; cap < 2; ++cap) {
        const float y = cap == 0 ? 0.0f : 100.0f;
        const Vector3 n = {0.0f, cap == 0 ? -1.0f : 1.0f, 0.0f};
        const uint16_t centre = b.Vertex({0.0f, y, 0.0f}, n, 0.5f, 0.5f);
        const uint16_t first = uint16_t(b.positions.size());
        for (int s = 0; s < kSides; ++s) {
            const double phi = 2.0 * kPi * s / kSides;
            b.Vertex({float(30.0 * std::cos(phi)), y, float(30.0 * std::sin(phi))}, n,
                     float(0.5 + 0.5 * std::cos(phi)), float(0.5 + 0.5 * std::sin(phi)));
        }
        for (int s = 0; s < kSides; ++s) {
            b.Triangle(centre, uint16_t(first + s), uint16_t(first + (s + 1) % kSides), n);
        }
    }
    QvmWriter writer(2, 0);
    writer.subsets.push_back(b.Subset("Cylinder", 0));
    return writer.WriteToMemory();
}

const std::vector<std::string>& WormBoneNames() {
    static const std::vector<std::string> kNames = {"Spine1", "Spine2",     "Spine3",    "Neck",
                                                    "Head",   "HeadNub",    "L_UpperArm",
                                                    "R_UpperArm"};
    return kNames;
}

namespace {

// Rest positions of the worm's bones (model space) and their parents.
const Vector3 kWormBoneAt[8] = {{0, 0, 0},  {0, 20, 0}, {0, 40, 0},  {0, 60, 0},
                                {0, 70, 0}, {0, 90, 0}, {15, 45, 0}, {-15, 45, 0}};
const uint32_t kWormParent[8] = {kQvmNoParent, 0, 1, 2, 3, 4, 2, 2};

} // namespace

// A skinned tube along y (radius 8, rings every 10 units up to 90), each
// vertex bound to the two spine bones around its height.
std::vector<uint8_t> WormQvm(uint32_t version) {
    QvmWriter writer(version, 1);
    for (size_t i = 0; i < 8; ++i) {
        QvmBoneRecord bone;
        bone.name = WormBoneNames()[i];
        bone.parent = kWormParent[i];
        bone.offset = kBoneIdentity;
        bone.offset.m[3][0] = -kWormBoneAt[i].x;
        bone.offset.m[3][1] = -kWormBoneAt[i].y;
        bone.offset.m[3][2] = -kWormBoneAt[i].z;
        writer.bones.push_back(bone);
    }
    Builder b;
    std::vector<SkinVertex> skin;
    constexpr int kRings = 10;
    constexpr int kSides = 8;
    // Spine chain bones (0..5) and their heights.
    const int chain[6] = {0, 1, 2, 3, 4, 5};
    for (int r = 0; r < kRings; ++r) {
        const float y = 10.0f * float(r);
        // The two chain bones around y and the weight of the upper one.
        int lower = 0;
        for (int k = 0; k < 5; ++k) {
            if (y >= kWormBoneAt[chain[k]].y) {
                lower = k;
            }
        }
        const int upper = lower + 1;
        const float span = kWormBoneAt[chain[upper]].y - kWormBoneAt[chain[lower]].y;
        const float t = std::min(1.0f, std::max(0.0f, (y - kWormBoneAt[chain[lower]].y) / span));
        for (int s = 0; s < kSides; ++s) {
            const double phi = 2.0 * kPi * s / kSides;
            const Vector3 n = {float(std::cos(phi)), 0.0f, float(std::sin(phi))};
            const Vector3 p = {8.0f * n.x, y, 8.0f * n.z};
            b.Vertex(p, n, float(s) / kSides, float(r) / (kRings - 1));
            SkinVertex v{};
            v.position = p;
            v.normal = n;
            v.influenceCount = 2;
            v.weights[0] = 1.0f - t;
            v.weights[1] = t;
            v.bones[0] = uint8_t(chain[lower]);
            v.bones[1] = uint8_t(chain[upper]);
            skin.push_back(v);
        }
    }
    for (int r = 0; r + 1 < kRings; ++r) {
        for (int s = 0; s < kSides; ++s) {
            const uint16_t a = uint16_t(r * kSides + s);
            const uint16_t next = uint16_t(r * kSides + (s + 1) % kSides);
            const Vector3& p = b.positions[a];
            const Vector3& q = b.positions[next];
            b.Quad(a, next, uint16_t(next + kSides), uint16_t(a + kSides),
                   Normalised({p.x + q.x, 0.0f, p.z + q.z}));
        }
    }
    QvmSubsetRecord subset = b.Subset("Worm", 0);
    subset.skin = skin;
    writer.subsets.push_back(std::move(subset));
    writer.carrySkin = true;
    return writer.WriteToMemory();
}

// A flag of 8 x 4 cells waving along z over 16 frames, and its pole.
std::vector<uint8_t> FlagAnb() {
    constexpr int kFrames = 16;
    constexpr int kCols = 8;
    constexpr int kRows = 4;
    auto clothAt = [&](int frame, int x, int y) {
        const double wave = std::sin(2.0 * kPi * (double(frame) / kFrames - double(x) / kCols));
        return Vector3{5.0f + 10.0f * float(x), 100.0f - 10.0f * float(y),
                       float(4.0 * wave * x / kCols)};
    };
    AnbWriter writer;
    writer.frameCount = kFrames;
    AnbPart cloth;
    for (int y = 0; y <= kRows; ++y) {
        for (int x = 0; x <= kCols; ++x) {
            cloth.vertices.push_back({clothAt(0, x, y), {0, 0, -1}});
            cloth.texCoords.push_back({float(x) / kCols, float(y) / kRows});
        }
    }
    for (int y = 0; y < kRows; ++y) {
        for (int x = 0; x < kCols; ++x) {
            const uint16_t a = uint16_t(y * (kCols + 1) + x);
            const uint16_t b = uint16_t(a + 1);
            const uint16_t c = uint16_t(a + kCols + 2);
            const uint16_t d = uint16_t(a + kCols + 1);
            cloth.positionIndices.insert(cloth.positionIndices.end(), {a, b, c, a, c, d});
        }
    }
    cloth.textureIndices = cloth.positionIndices;

    AnbPart pole;
    const float half = 2.0f;
    for (int y = 0; y < 2; ++y) {
        for (int k = 0; k < 4; ++k) {
            const float px = (k == 1 || k == 2) ? half : -half;
            const float pz = (k >= 2) ? half : -half;
            pole.vertices.push_back({{px, y == 0 ? 0.0f : 110.0f, pz},
                                     Normalised({px, 0.0f, pz})});
            pole.texCoords.push_back({float(k) / 4.0f, float(y)});
        }
    }
    for (uint16_t k = 0; k < 4; ++k) {
        const uint16_t n = uint16_t((k + 1) % 4);
        pole.positionIndices.insert(pole.positionIndices.end(),
                                    {k, uint16_t(k + 4), uint16_t(n + 4), k, uint16_t(n + 4), n});
    }
    pole.textureIndices = pole.positionIndices;

    writer.parts.push_back(cloth);
    writer.parts.push_back(pole);
    for (int f = 1; f < kFrames; ++f) {
        std::vector<AnbVertex> frame;
        for (int y = 0; y <= kRows; ++y) {
            for (int x = 0; x <= kCols; ++x) {
                frame.push_back({clothAt(f, x, y), {0, 0, -1}});
            }
        }
        frame.insert(frame.end(), pole.vertices.begin(), pole.vertices.end());
        writer.laterFrames.push_back(std::move(frame));
    }
    return writer.WriteToMemory();
}

// --- sounds ---------------------------------------------------------------------

namespace {

int16_t Sample(double value) {
    return int16_t(std::lround(std::max(-1.0, std::min(1.0, value)) * 32767.0));
}

std::vector<uint8_t> Wave(uint16_t channels, const std::vector<int16_t>& samples) {
    WaveWriter writer(channels, 16, 44100);
    std::vector<uint8_t> bytes(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        bytes[i * 2] = uint8_t(uint16_t(samples[i]));
        bytes[i * 2 + 1] = uint8_t(uint16_t(samples[i]) >> 8);
    }
    return writer.Build(bytes.data(), uint32_t(bytes.size()));
}

} // namespace

// 0.25 s of 880 Hz, mono.
std::vector<uint8_t> BeepWave() {
    std::vector<int16_t> samples(11025);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = Sample(0.5 * std::sin(2.0 * kPi * 880.0 * double(i) / 44100.0));
    }
    return Wave(1, samples);
}

// 1 s of 220 Hz and 330 Hz, mono.
std::vector<uint8_t> HumWave() {
    std::vector<int16_t> samples(44100);
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = double(i) / 44100.0;
        samples[i] = Sample(0.3 * std::sin(2.0 * kPi * 220.0 * t) + 0.2 * std::sin(2.0 * kPi * 330.0 * t));
    }
    return Wave(1, samples);
}

// 3.5 s, stereo: seven half-second notes, a fifth above on the right.
std::vector<uint8_t> MusicWave() {
    static const double kNotes[7] = {261.63, 293.66, 329.63, 349.23, 392.0, 440.0, 493.88};
    const size_t frames = 44100 * 7 / 2;
    std::vector<int16_t> samples(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / 44100.0;
        const double note = kNotes[std::min<size_t>(6, i / 22050)];
        const double envelope = 1.0 - double(i % 22050) / 22050.0 * 0.7;
        samples[i * 2] = Sample(0.4 * envelope * std::sin(2.0 * kPi * note * t));
        samples[i * 2 + 1] = Sample(0.4 * envelope * std::sin(2.0 * kPi * note * 1.5 * t));
    }
    return Wave(2, samples);
}

} // namespace sample
