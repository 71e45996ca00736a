#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/math.h"
#include "library/motion.h"
#include "library_test_util.h"
#include "support/temp_folder.h"

using libtest::ReadBytes;
using libtest::SampleTable;

namespace {

constexpr char kTrackError[] = "Error - Saving Loading motion data.";
constexpr char kOpenError[] = "Error - Saving Motion";

// Serves one block of memory under every name and counts open handles.
class OneFileSystem : public FileSystem {
public:
    explicit OneFileSystem(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    void* Open(const char* /*name*/, const char* mode) override {
        if (mode == nullptr || std::strchr(mode, 'w') != nullptr) {
            return nullptr;
        }
        ++open;
        return NewReadOnlyMemoryHandle(bytes_.data(), static_cast<uint32_t>(bytes_.size()));
    }
    int Close(void* h) override {
        --open;
        return Mem()->Close(h);
    }
    uint32_t Read(void* b, uint32_t s, uint32_t c, void* h) override {
        return Mem()->Read(b, s, c, h);
    }
    uint32_t Write(const void* b, uint32_t s, uint32_t c, void* h) override {
        return Mem()->Write(b, s, c, h);
    }
    int32_t Tell(void* h) override { return Mem()->Tell(h); }
    int Seek(void* h, int32_t o, int origin) override { return Mem()->Seek(h, o, origin); }
    int Eof(void* h) override { return Mem()->Eof(h); }
    uint32_t Size(void* h) override { return Mem()->Size(h); }

    int open = 0;

private:
    static MemoryFileSystem* Mem() { return GetMemoryFileSystem(); }
    std::vector<uint8_t> bytes_;
};

// Makes a file system current for the scope of a test.
class CurrentFileSystem {
public:
    explicit CurrentFileSystem(FileSystem* fs) : previous_(GetCurrentFileSystem()) {
        SetCurrentFileSystem(fs);
    }
    ~CurrentFileSystem() { SetCurrentFileSystem(previous_); }

private:
    FileSystem* previous_;
};

const Quaternion kIdentity{0.0f, 0.0f, 0.0f, 1.0f};
const Quaternion kYaw90{0.0f, 0.70710678f, 0.0f, 0.70710678f};
const Quaternion kPitch90{0.70710678f, 0.0f, 0.0f, 0.70710678f};

// A track of every key kind, with keys that differ so that flags are set.
std::unique_ptr<KeyTrack> Track(const char* bone, float length, const Vector3& p0,
                                const Quaternion& q0) {
    auto t = std::make_unique<KeyTrack>();
    t->nameId = GetNameTable().FindOrAdd(bone);
    t->length = length;
    t->AddRotationKey(0.0f, q0);
    t->AddRotationKey(1.0f, kPitch90);
    t->AddPositionKey(0.0f, p0);
    t->AddPositionKey(1.0f, {p0.x + 1.0f, p0.y, p0.z});
    t->AddScaleKey(0.0f, {1.0f, 2.0f, 3.0f});
    t->AddScaleKey(0.5f, {1.0f, 2.0f, 3.0f});
    Matrix m;
    MatrixTranslation(&m, p0.x, 5.0f, 6.0f);
    t->AddMatrixKey(0.25f, m);
    t->MarkInterpolatedKeys();
    return t;
}

// Keys and times of two track lists, bit for bit (flags included: both
// sides come from MarkInterpolatedKeys).
void ExpectSameTracks(const std::vector<std::unique_ptr<KeyTrack>>& a,
                      const std::vector<std::unique_ptr<KeyTrack>>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_TRUE(SameKeyTrack(*a[i], *b[i])) << "track " << i;
    }
}

// The same rotation, either sign.
void ExpectSameRotation(const RotationKey& k, const Quaternion& q) {
    float dot = k.x * q.x + k.y * q.y + k.z * q.z + k.w * q.w;
    EXPECT_NEAR(std::fabs(dot), 1.0f, 1e-5f) << k.x << " " << k.y << " " << k.z << " " << k.w;
}

class MotionTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = ReplaceLibraryForTests(&lib);
        RegisterMotionLoader();
        lib.SetBaseFolder(folder.Path().c_str());
    }
    void TearDown() override { ReplaceLibraryForTests(previous_); }

    // Writes a ".mot" file below the data folder.
    void PutMot(const std::string& name, MotWriter& writer) {
        std::vector<uint8_t> bytes = writer.WriteToMemory();
        folder.Put("Data/" + name, std::string(bytes.begin(), bytes.end()));
    }

    MotionItem* Motion(uint32_t slot) { return static_cast<MotionItem*>(lib.GetItemById(slot)); }

    TempFolder folder;
    ResourceLibrary lib;
    ResourceLibrary* previous_ = nullptr;
};

} // namespace

// --- ".mot" files -------------------------------------------------------------

TEST_F(MotionTest, MotRoundTripKeepsTracksAndVectorsAndWritesTheSameBytes) {
    std::vector<std::unique_ptr<KeyTrack>> source;
    source.push_back(Track("mt_Root", 2.5f, {1.0f, 2.0f, 3.0f}, kYaw90));
    source.push_back(Track("mt_Spine", 2.5f, {0.0f, 1.0f, 0.0f}, kIdentity));
    source.push_back(std::make_unique<KeyTrack>()); // no keys, empty name
    MotWriter writer(3);
    writer.SetFirstVector(0.5f, 0.25f, -1.0f);
    writer.SetDisplacement(10.0f, 0.0f, -5.0f);
    for (auto& t : source) {
        writer.AddTrack(*t);
    }
    std::vector<uint8_t> bytes = writer.WriteToMemory();
    // Each track: 24 + name + 20 per rotation key + 16 per position and scale
    // key + 68 per matrix key.
    ASSERT_EQ(bytes.size(), kMotHeaderBytes + (196 + 7) + (196 + 8) + 24);
    folder.Put("Data/walk.mot", std::string(bytes.begin(), bytes.end()));

    MotionItem item;
    std::string path = folder.Path() + "\\Data\\walk.mot";
    ASSERT_EQ(LoadMotionData(&lib, &item, path.c_str()), 1) << lib.GetLastError();
    ExpectSameTracks(item.tracks, source);
    EXPECT_STREQ(GetTrackName(item.tracks[1].get()), "mt_Spine");
    EXPECT_EQ(item.tracks[2]->nameId, 0u);
    const float first[3] = {0.5f, 0.25f, -1.0f};
    const float displacement[3] = {10.0f, 0.0f, -5.0f};
    EXPECT_EQ(std::memcmp(item.firstVector, first, sizeof first), 0);
    EXPECT_EQ(std::memcmp(item.displacement, displacement, sizeof displacement), 0);

    MotWriter again(3);
    again.AddMotion(item);
    EXPECT_EQ(again.WriteToMemory(), bytes);
}

TEST_F(MotionTest, EmptyMotLoadsWithNoTracks) {
    MotWriter writer;
    writer.SetDisplacement(1.0f, 2.0f, 3.0f);
    OneFileSystem fs(writer.WriteToMemory());
    CurrentFileSystem current(&fs);
    MotionItem item;
    EXPECT_EQ(LoadMotionData(&lib, &item, "empty.mot"), 1);
    EXPECT_TRUE(item.tracks.empty());
    EXPECT_EQ(item.displacement[2], 3.0f);
    EXPECT_EQ(fs.open, 0);
}

// A ".mot" header is read field by field and never trusted: a short header
// or a track count beyond the bytes left fails before anything is allocated.
TEST_F(MotionTest, UntrustedHeaderAndTrackCountFailCleanly) {
    auto track = Track("mt_Root", 1.0f, {1.0f, 2.0f, 3.0f}, kYaw90);
    MotWriter writer;
    writer.SetFirstVector(7.0f, 7.0f, 7.0f);
    writer.AddTrack(*track);
    const std::vector<uint8_t> good = writer.WriteToMemory();

    for (size_t cut : {0, 4, 20, 31}) {
        OneFileSystem fs(std::vector<uint8_t>(good.begin(), good.begin() + cut));
        CurrentFileSystem current(&fs);
        MotionItem item;
        lib.ReportLibraryError("none");
        EXPECT_EQ(LoadMotionData(&lib, &item, "cut.mot"), 0) << cut;
        EXPECT_STREQ(lib.GetLastError(), kTrackError);
        EXPECT_EQ(item.tracks.capacity(), 0u);
        EXPECT_EQ(item.firstVector[0], 0.0f); // vectors only from a whole header
        EXPECT_EQ(fs.open, 0);
    }
    for (uint32_t count : {0xFFFFFFFFu, 2u}) {
        std::vector<uint8_t> bytes = good;
        libtest::PatchU32(bytes, 28, count);
        OneFileSystem fs(bytes);
        CurrentFileSystem current(&fs);
        MotionItem item;
        lib.ReportLibraryError("none");
        EXPECT_EQ(LoadMotionData(&lib, &item, "count.mot"), 0) << count;
        EXPECT_STREQ(lib.GetLastError(), kTrackError);
        EXPECT_EQ(item.tracks.capacity(), count == 2u ? 2u : 0u);
        EXPECT_EQ(item.tracks.size(), count == 2u ? 1u : 0u); // the good track stays
        EXPECT_EQ(fs.open, 0);
    }
}

TEST_F(MotionTest, FailingTrackKeepsTheTracksReadBeforeIt) {
    auto a = Track("mt_Root", 1.0f, {1.0f, 2.0f, 3.0f}, kYaw90);
    auto b = Track("mt_Spine", 1.0f, {0.0f, 0.0f, 0.0f}, kIdentity);
    MotWriter writer;
    writer.AddTrack(*a);
    writer.AddTrack(*b);
    std::vector<uint8_t> bytes = writer.WriteToMemory();
    bytes.resize(bytes.size() - 10); // the second track's matrix key is cut
    OneFileSystem fs(bytes);
    CurrentFileSystem current(&fs);
    MotionItem item;
    EXPECT_EQ(LoadMotionData(&lib, &item, "cut.mot"), 0);
    EXPECT_STREQ(lib.GetLastError(), kTrackError);
    ASSERT_EQ(item.tracks.size(), 1u);
    EXPECT_TRUE(SameKeyTrack(*item.tracks[0], *a));
    EXPECT_EQ(fs.open, 0);
}

TEST_F(MotionTest, MissingFileAndNullItemsReportTheirTexts) {
    MotionItem item;
    EXPECT_EQ(LoadMotionData(&lib, &item, (folder / "none.mot").c_str()), 0);
    EXPECT_STREQ(lib.GetLastError(), kOpenError);
    EXPECT_EQ(LoadMotionData(&lib, nullptr, "x.mot"), 0);
    EXPECT_STREQ(lib.GetLastError(), "Error Can't Load Motion");
    EXPECT_EQ(LoadMotionFile(&lib, nullptr), 0);
    EXPECT_STREQ(lib.GetLastError(), "Error: Load Motion From File");
}

// --- MotionItem Load and Release ----------------------------------------------

TEST_F(MotionTest, LoadReadsTheMotFileInAnyCaseAndReleaseEmptiesTheTracks) {
    auto track = Track("mt_Root", 4.0f, {1.0f, 2.0f, 3.0f}, kYaw90);
    MotWriter writer;
    writer.SetDisplacement(8.0f, 0.0f, 0.0f);
    writer.AddTrack(*track);
    PutMot("run.mot", writer);

    SampleTable t;
    t.Add<MotionItem>(5, "mt_run").fileName = "RUN.MOT";
    ASSERT_EQ(ReadBytes(lib, t.Write(7)), 1);
    MotionItem* m = Motion(5);
    EXPECT_EQ(m->Load(), 1);
    EXPECT_EQ(m->loaded, 1u);
    ASSERT_EQ(m->tracks.size(), 1u);
    EXPECT_TRUE(SameKeyTrack(*m->tracks[0], *track));
    EXPECT_FLOAT_EQ(GetMotionLength(m), 4.0f);

    EXPECT_EQ(m->Release(), 1);
    EXPECT_EQ(m->loaded, 0u);
    EXPECT_TRUE(m->tracks.empty());
    // The queries load again.
    EXPECT_EQ(GetMotionTrackCount(m), 1u);
    EXPECT_EQ(m->loaded, 1u);
}

TEST_F(MotionTest, MissingMotLoadAnswersOneAndRetriesAtEachQuery) {
    SampleTable t;
    t.Add<MotionItem>(5, "mt_gone").fileName = "gone.mot";
    ASSERT_EQ(ReadBytes(lib, t.Write(7)), 1);
    MotionItem* m = Motion(5);
    EXPECT_EQ(m->Load(), 1);
    EXPECT_EQ(m->loaded, 0u);
    EXPECT_STREQ(lib.GetLastError(), kOpenError);

    lib.ReportLibraryError("none");
    EXPECT_EQ(GetMotionTrackCount(m), 0u);
    EXPECT_STREQ(lib.GetLastError(), kOpenError);
    lib.ReportLibraryError("none");
    EXPECT_EQ(FindMotionTrack(m, "mt_Root"), nullptr);
    EXPECT_STREQ(lib.GetLastError(), kOpenError);
    lib.ReportLibraryError("none");
    EXPECT_EQ(GetMotionLength(m), 0.0f);
    EXPECT_STREQ(lib.GetLastError(), kOpenError);
    // Velocity does not load.
    lib.ReportLibraryError("none");
    Vector3 v{1.0f, 1.0f, 1.0f};
    GetMotionVelocity(m, &v);
    EXPECT_STREQ(lib.GetLastError(), "none");
    EXPECT_EQ(v.x, 0.0f);

    // Once the file exists the next query reads it.
    auto track = Track("mt_Root", 1.0f, {0.0f, 0.0f, 0.0f}, kIdentity);
    MotWriter writer;
    writer.AddTrack(*track);
    PutMot("gone.mot", writer);
    EXPECT_NE(FindMotionTrack(m, "mt_Root"), nullptr);
}

TEST_F(MotionTest, QueriesFindTracksByExactNameInListOrder) {
    SampleTable t;
    auto& item = t.Add<MotionItem>(5, "mt_inline");
    item.recordTracks.push_back(Track("mt_Root", 3.0f, {0.0f, 0.0f, 0.0f}, kIdentity));
    item.recordTracks.push_back(Track("mt_Spine", 9.0f, {0.0f, 0.0f, 0.0f}, kIdentity));
    item.recordTracks.push_back(Track("mt_Root", 5.0f, {0.0f, 0.0f, 0.0f}, kIdentity));
    ASSERT_EQ(ReadBytes(lib, t.Write(7)), 1);
    MotionItem* m = Motion(5);

    ASSERT_EQ(GetMotionTrackCount(m), 3u);
    KeyTrack* out[4] = {nullptr, nullptr, nullptr, nullptr};
    GetMotionTracks(out, m);
    EXPECT_EQ(out[0], m->tracks[0].get());
    EXPECT_EQ(out[2], m->tracks[2].get());
    EXPECT_EQ(out[3], nullptr);
    EXPECT_EQ(FindMotionTrack(m, "mt_Root"), out[0]);
    EXPECT_EQ(FindMotionTrack(m, "mt_Spine"), out[1]);
    EXPECT_EQ(FindMotionTrack(m, "MT_ROOT"), nullptr);
    EXPECT_EQ(FindMotionTrack(m, "mt_Roo"), nullptr);
    EXPECT_STREQ(GetTrackName(out[1]), "mt_Spine");
    EXPECT_FLOAT_EQ(GetMotionLength(m), 3.0f);

    // Null arguments answer neutrally.
    EXPECT_EQ(GetMotionTrackCount(nullptr), 0u);
    GetMotionTracks(out, nullptr);
    GetMotionTracks(nullptr, m);
    EXPECT_EQ(FindMotionTrack(nullptr, "mt_Root"), nullptr);
    EXPECT_EQ(FindMotionTrack(m, nullptr), nullptr);
    EXPECT_EQ(GetMotionLength(nullptr), 0.0f);
    MotionItem none; // no file, no tracks
    EXPECT_EQ(GetMotionLength(&none), 0.0f);
}

// Velocity: displacement over the first track's length, read without
// loading; a motion without tracks or of length 0 stands still.
TEST_F(MotionTest, VelocityIsDisplacementOverLengthOrZero) {
    MotionItem m;
    m.displacement[0] = 6.0f;
    m.displacement[2] = -3.0f;
    Vector3 v{9.0f, 9.0f, 9.0f};
    GetMotionVelocity(&m, &v);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.z, 0.0f);

    m.tracks.push_back(std::make_unique<KeyTrack>()); // length 0
    v = {9.0f, 9.0f, 9.0f};
    GetMotionVelocity(&m, &v);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_FALSE(std::isnan(v.z));

    m.tracks[0]->length = 3.0f;
    GetMotionVelocity(&m, &v);
    EXPECT_FLOAT_EQ(v.x, 2.0f);
    EXPECT_FLOAT_EQ(v.z, -1.0f);
    EXPECT_EQ(m.loaded, 0u);

    v = {9.0f, 9.0f, 9.0f};
    GetMotionVelocity(nullptr, &v);
    EXPECT_EQ(v.x, 9.0f);
    GetMotionVelocity(&m, nullptr);
}

// --- blend layers ---------------------------------------------------------------

TEST(BlendLayerNames, BaseNameTakesKAndCutsAtTheFirstUnderscoreFromNine) {
    EXPECT_EQ(BlendLayerBaseName("abcdefBL_walk_01"), "abcdefBK_walk");
    EXPECT_EQ(BlendLayerBaseName("abcdefBL_walk"), "abcdefBK_walk");
    EXPECT_EQ(BlendLayerBaseName("abcdefBL_"), "abcdefBK_");
    EXPECT_EQ(BlendLayerBaseName("abcdefBL__x"), "abcdefBK_");
    // Names shorter than nine characters are no blend layers.
    EXPECT_EQ(BlendLayerBaseName("abcdeBL_"), "");
    EXPECT_EQ(BlendLayerBaseName("BL_"), "");
    EXPECT_EQ(BlendLayerBaseName(""), "");
    EXPECT_EQ(BlendLayerBaseName("abcdefbl_walk"), ""); // case counts
    EXPECT_EQ(BlendLayerBaseName("abcdefBK_walk"), "");
}

namespace {

// A library with a texture named like the base before the motions, the base
// motion "abcdefBK_walk" and its layer "abcdefBL_walk_01", both inline.
class BlendLayerTest : public MotionTest {
protected:
    void Build(bool withBase = true) {
        t.Add<TextureItem>(1, "abcdefBK_walk");
        if (withBase) {
            auto& base = t.Add<MotionItem>(2, "abcdefBK_walk");
            base.recordTracks.push_back(Track("bl_Root", 1.0f, kBaseRoot, kYaw90));
            base.recordTracks.push_back(Track("bl_Spine", 1.0f, kBaseSpine, kPitch90));
        }
        auto& layer = t.Add<MotionItem>(3, "abcdefBL_walk_01");
        layer.recordTracks.push_back(Track("bl_Root", 1.0f, {4.0f, 4.0f, 4.0f}, kPitch90));
        layer.recordTracks.push_back(Track("bl_Spine", 1.0f, {1.0f, 0.0f, 0.0f}, kYaw90));
        bytes = t.Write(7);
        ASSERT_EQ(ReadBytes(lib, bytes), 1) << lib.GetLastError();
    }

    static constexpr Vector3 kBaseRoot{1.0f, 2.0f, 3.0f};
    static constexpr Vector3 kBaseSpine{0.0f, 0.5f, 0.0f};
    SampleTable t;
    std::vector<uint8_t> bytes;
};

// q followed by the inverse of the base's first rotation.
Quaternion Relative(const Quaternion& q, const Quaternion& base) {
    Quaternion inverse;
    QuaternionInverse(&inverse, base);
    Quaternion out;
    QuaternionMultiply(&out, q, inverse);
    return out;
}

} // namespace

TEST_F(BlendLayerTest, LayerBecomesRelativeToItsBaseMotion) {
    Build();
    MotionItem* layer = Motion(3);
    MotionItem* base = Motion(2);
    layer->Load();
    EXPECT_EQ(layer->loaded, 1u);
    EXPECT_EQ(base->loaded, 1u); // loaded for the layer
    EXPECT_EQ(lib.GetItemById(1)->used, 0u); // the texture is not looked at

    const KeyTrack& root = *layer->tracks[0];
    const KeyTrack& original = *layer->recordTracks[0];
    // Every position minus the base track's first position key.
    EXPECT_FLOAT_EQ(root.positionKeys[0].x, 3.0f);
    EXPECT_FLOAT_EQ(root.positionKeys[0].y, 2.0f);
    EXPECT_FLOAT_EQ(root.positionKeys[0].z, 1.0f);
    EXPECT_FLOAT_EQ(root.positionKeys[1].x, 4.0f);
    // Every rotation followed by the inverse of the base's first rotation.
    ExpectSameRotation(root.rotationKeys[0], Relative(kPitch90, kYaw90));
    ExpectSameRotation(root.rotationKeys[1], Relative(kPitch90, kYaw90));
    const KeyTrack& spine = *layer->tracks[1];
    ExpectSameRotation(spine.rotationKeys[0], Relative(kYaw90, kPitch90));
    EXPECT_FLOAT_EQ(spine.positionKeys[0].y, -0.5f);
    // Scale keys, matrix keys, times and flags stay.
    for (size_t i = 0; i < root.rotationKeys.size(); ++i) {
        EXPECT_EQ(root.rotationKeys[i].time, original.rotationKeys[i].time);
        EXPECT_EQ(root.rotationKeys[i].interpolate, original.rotationKeys[i].interpolate);
    }
    EXPECT_EQ(root.positionKeys[0].interpolate, original.positionKeys[0].interpolate);
    EXPECT_EQ(std::memcmp(root.scaleKeys.data(), original.scaleKeys.data(),
                          sizeof(PositionKey) * original.scaleKeys.size()),
              0);
    EXPECT_EQ(std::memcmp(root.matrixKeys.data(), original.matrixKeys.data(), sizeof(MatrixKey)),
              0);
    // The base itself stays absolute.
    ExpectSameTracks(base->tracks, base->recordTracks);
}

TEST_F(BlendLayerTest, WithoutAMotionBaseTheLayerStaysAbsolute) {
    Build(false); // only the texture carries the base's name
    MotionItem* layer = Motion(3);
    layer->Load();
    EXPECT_EQ(layer->loaded, 1u);
    ExpectSameTracks(layer->tracks, layer->recordTracks);
    EXPECT_EQ(lib.GetItemById(1)->used, 0u);
}

// Inline tracks survive Release: each Load starts again from the record's
// absolute tracks, so the layer is made relative exactly once, and the
// library writes back what it read.
TEST_F(BlendLayerTest, ReleaseAndLoadAgainGiveTheSameRelativeTracks) {
    Build();
    MotionItem* layer = Motion(3);
    // Inline tracks are there from the record on, before any Load.
    ASSERT_EQ(layer->tracks.size(), 2u);
    Vector3 v{};
    layer->displacement[0] = 2.0f;
    GetMotionVelocity(layer, &v);
    EXPECT_FLOAT_EQ(v.x, 2.0f);
    EXPECT_EQ(layer->loaded, 0u);

    layer->Load();
    std::vector<std::unique_ptr<KeyTrack>> once;
    for (auto& track : layer->tracks) {
        once.push_back(std::make_unique<KeyTrack>(*track));
    }
    lib.ReleaseItem(layer);
    EXPECT_TRUE(layer->tracks.empty());
    EXPECT_EQ(layer->recordTracks.size(), 2u);
    lib.ReleaseItem(Motion(2));
    lib.LoadItem(layer);
    ExpectSameTracks(layer->tracks, once);
    // A Load of a loaded item changes nothing.
    lib.LoadItem(layer);
    ExpectSameTracks(layer->tracks, once);

    LibraryWriter writer(7);
    writer.AddTable(lib);
    EXPECT_EQ(writer.WriteToMemory(), bytes);
}

TEST_F(BlendLayerTest, LayerWhoseMotIsMissingIsNotMadeRelative) {
    Build();
    MotionItem* layer = Motion(3);
    layer->fileName = "missing.mot";
    layer->Load();
    EXPECT_EQ(layer->loaded, 0u);
    EXPECT_TRUE(layer->tracks.empty());
    EXPECT_EQ(Motion(2)->loaded, 0u); // the base step never ran
    EXPECT_STREQ(lib.GetLastError(), kOpenError);
}

// --- MakeMotionRelative ---------------------------------------------------------

TEST(MakeMotionRelative, MatchingFollowsListOrderAndStopsAtAMiss) {
    MotionItem base;
    base.tracks.push_back(Track("mr_A", 1.0f, {1.0f, 0.0f, 0.0f}, kIdentity));
    base.tracks.push_back(Track("mr_B", 1.0f, {2.0f, 0.0f, 0.0f}, kIdentity));
    MotionItem motion;
    motion.tracks.push_back(Track("mr_A", 1.0f, {5.0f, 0.0f, 0.0f}, kIdentity));
    motion.tracks.push_back(Track("mr_X", 1.0f, {5.0f, 0.0f, 0.0f}, kIdentity));
    motion.tracks.push_back(Track("mr_B", 1.0f, {5.0f, 0.0f, 0.0f}, kIdentity));
    MakeMotionRelative(&motion, &base);
    EXPECT_FLOAT_EQ(motion.tracks[0]->positionKeys[0].x, 4.0f);
    EXPECT_FLOAT_EQ(motion.tracks[1]->positionKeys[0].x, 5.0f);
    EXPECT_FLOAT_EQ(motion.tracks[2]->positionKeys[0].x, 5.0f); // matching stopped at mr_X

    // A base track passed over is not looked at again.
    MotionItem reversed;
    reversed.tracks.push_back(Track("mr_B", 1.0f, {5.0f, 0.0f, 0.0f}, kIdentity));
    reversed.tracks.push_back(Track("mr_A", 1.0f, {5.0f, 0.0f, 0.0f}, kIdentity));
    MakeMotionRelative(&reversed, &base);
    EXPECT_FLOAT_EQ(reversed.tracks[0]->positionKeys[0].x, 3.0f);
    EXPECT_FLOAT_EQ(reversed.tracks[1]->positionKeys[0].x, 5.0f);

    MotionItem empty;
    MakeMotionRelative(&empty, &base);
    MakeMotionRelative(nullptr, &base);
    MakeMotionRelative(&motion, nullptr);
    EXPECT_TRUE(empty.tracks.empty());
}

// A base track without position keys leaves positions alone; without
// rotation keys, rotations.
TEST(MakeMotionRelative, BaseTrackWithoutKeysOfAKindLeavesThatKind) {
    MotionItem base;
    base.tracks.push_back(std::make_unique<KeyTrack>());
    base.tracks[0]->nameId = GetNameTable().FindOrAdd("mr_A");
    base.tracks[0]->AddRotationKey(0.0f, kYaw90);
    base.tracks.push_back(std::make_unique<KeyTrack>());
    base.tracks[1]->nameId = GetNameTable().FindOrAdd("mr_B");
    base.tracks[1]->AddPositionKey(0.0f, {1.0f, 1.0f, 1.0f});

    MotionItem motion;
    motion.tracks.push_back(Track("mr_A", 1.0f, {5.0f, 0.0f, 0.0f}, kIdentity));
    motion.tracks.push_back(Track("mr_B", 1.0f, {5.0f, 0.0f, 0.0f}, kPitch90));
    MakeMotionRelative(&motion, &base);
    EXPECT_FLOAT_EQ(motion.tracks[0]->positionKeys[0].x, 5.0f);
    ExpectSameRotation(motion.tracks[0]->rotationKeys[0], Relative(kIdentity, kYaw90));
    EXPECT_FLOAT_EQ(motion.tracks[1]->positionKeys[0].x, 4.0f);
    ExpectSameRotation(motion.tracks[1]->rotationKeys[0], kPitch90);
}

// --- copies ---------------------------------------------------------------------

TEST_F(MotionTest, CopyOwnsItsTracksAndIsDeletedWhenLetGo) {
    SampleTable t;
    auto& item = t.Add<MotionItem>(5, "mt_copied");
    item.recordTracks.push_back(Track("mt_Root", 1.0f, {1.0f, 1.0f, 1.0f}, kIdentity));
    ASSERT_EQ(ReadBytes(lib, t.Write(7)), 1);
    MotionItem* source = Motion(5);
    source->Load();

    auto* copy = static_cast<MotionItem*>(lib.AcquireItem(5, ItemClass::Motion, 1, 0));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->loaded, 1u);
    ASSERT_EQ(copy->tracks.size(), 1u);
    copy->tracks[0]->positionKeys[0].x = 42.0f;
    EXPECT_FLOAT_EQ(source->tracks[0]->positionKeys[0].x, 1.0f);
    lib.ReleaseItem(source);
    ASSERT_EQ(copy->tracks.size(), 1u);
    EXPECT_FLOAT_EQ(FindMotionTrack(copy, "mt_Root")->positionKeys[0].x, 42.0f);
    // The copy reloads from its own record tracks.
    lib.ReleaseItem(copy);
    EXPECT_EQ(GetMotionTrackCount(copy), 1u);
    EXPECT_FLOAT_EQ(copy->tracks[0]->positionKeys[0].x, 1.0f);
    lib.DeleteItemIfUnused(copy); // freed; the leak check would see it otherwise
}
