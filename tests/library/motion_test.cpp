#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/math.h"
#include "library/motion.h"
#include "library_test_util.h"
#include "support/temp_folder.h"

using libtest::ReadBytes;
using libtest::SampleTable;

namespace {

constexpr char kTrackError[] = "Error - Saving Loading motion data.";
constexpr char kOpenError[] = "Error - Saving Motion";

const Quaternion kIdentity{0.0f, 0.0f, 0.0f, 1.0f};
const Quaternion kYaw90{0.0f, 0.70710678f, 0.0f, 0.70710678f};
const Quaternion kPitch90{0.70710678f, 0.0f, 0.0f, 0.70710678f};

using Tracks = std::vector<std::unique_ptr<KeyTrack>>;

// A track of every key kind whose first keys are p0 and q0.
std::unique_ptr<KeyTrack> Track(const char* bone, float length, const Vector3& p0,
                                const Quaternion& q0) {
    auto t = std::make_unique<KeyTrack>();
    t->nameId = GetNameTable().FindOrAdd(bone);
    t->length = length;
    t->AddRotationKey(0.0f, q0);
    t->AddRotationKey(1.0f, kPitch90);
    t->AddPositionKey(0.0f, p0);
    t->AddPositionKey(1.0f, {p0.x + 1.0f, p0.y, p0.z});
    t->AddScaleKey(0.5f, {1.0f, 2.0f, 3.0f});
    Matrix m;
    MatrixTranslation(&m, p0.x, 5.0f, 6.0f);
    t->AddMatrixKey(0.25f, m);
    t->MarkInterpolatedKeys();
    return t;
}

void ExpectSameTracks(const Tracks& a, const Tracks& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_TRUE(SameKeyTrack(*a[i], *b[i])) << "track " << i;
    }
}

// The same rotation, either sign.
void ExpectSameRotation(const RotationKey& k, const Quaternion& q) {
    EXPECT_NEAR(std::fabs(k.x * q.x + k.y * q.y + k.z * q.z + k.w * q.w), 1.0f, 1e-5f);
}

// q followed by the inverse of base.
Quaternion Relative(const Quaternion& q, const Quaternion& base) {
    Quaternion inverse;
    Quaternion out;
    QuaternionInverse(&inverse, base);
    QuaternionMultiply(&out, q, inverse);
    return out;
}

// A library of the test's own as the process's library, its data folder in a scratch folder.
class MotionTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = ReplaceLibraryForTests(&lib);
        RegisterMotionLoader();
        lib.SetBaseFolder(folder.Path().c_str());
    }
    void TearDown() override { ReplaceLibraryForTests(previous_); }

    std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) {
        folder.Put("Data/" + name, std::string(bytes.begin(), bytes.end()));
        return folder / ("Data/" + name);
    }
    void Read(SampleTable& t) { ASSERT_EQ(ReadBytes(lib, t.Write(7)), 1) << lib.GetLastError(); }
    MotionItem* Motion(uint32_t slot) { return static_cast<MotionItem*>(lib.GetItemById(slot)); }

    TempFolder folder;
    ResourceLibrary lib;
    ResourceLibrary* previous_ = nullptr;
};

} // namespace

TEST_F(MotionTest, MotRoundTripKeepsTracksAndVectorsAndWritesTheSameBytes) {
    Tracks source;
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
    // 24 + name + 20 per rotation key + 16 per position or scale key + 68 per matrix key.
    ASSERT_EQ(bytes.size(), kMotHeaderBytes + (180 + 7) + (180 + 8) + 24);

    MotionItem item;
    ASSERT_EQ(LoadMotionData(&lib, &item, Put("walk.mot", bytes).c_str()), 1);
    ExpectSameTracks(item.tracks, source);
    EXPECT_STREQ(GetTrackName(item.tracks[1].get()), "mt_Spine");
    EXPECT_EQ(item.firstVector[1], 0.25f);
    EXPECT_EQ(item.displacement[2], -5.0f);
    MotWriter again(3);
    again.AddMotion(item);
    EXPECT_EQ(again.WriteToMemory(), bytes);

    MotWriter empty; // n = 0 is a valid motion
    MotionItem none;
    EXPECT_EQ(LoadMotionData(&lib, &none, Put("empty.mot", empty.WriteToMemory()).c_str()), 1);
    EXPECT_TRUE(none.tracks.empty());
}

// Header and count are never trusted: a short header or a count beyond the bytes left fails before
// anything is allocated; a failing track keeps the tracks before it.
TEST_F(MotionTest, BadMotFilesFailWithTheirTexts) {
    auto a = Track("mt_Root", 1.0f, {1.0f, 2.0f, 3.0f}, kYaw90);
    MotWriter writer;
    writer.SetFirstVector(7.0f, 7.0f, 7.0f);
    writer.AddTrack(*a);
    writer.AddTrack(*a);
    const std::vector<uint8_t> good = writer.WriteToMemory();

    for (size_t cut : {0, 20, 31}) {
        MotionItem item;
        std::string path = Put("cut.mot", {good.begin(), good.begin() + cut});
        EXPECT_EQ(LoadMotionData(&lib, &item, path.c_str()), 0) << cut;
        EXPECT_STREQ(lib.GetLastError(), kTrackError);
        EXPECT_EQ(item.firstVector[0], 0.0f); // vectors only from a whole header
    }
    std::vector<uint8_t> huge = good;
    libtest::PatchU32(huge, 28, 0xFFFFFFFFu);
    MotionItem item;
    lib.ReportLibraryError("none");
    EXPECT_EQ(LoadMotionData(&lib, &item, Put("huge.mot", huge).c_str()), 0);
    EXPECT_STREQ(lib.GetLastError(), kTrackError);
    EXPECT_EQ(item.tracks.capacity(), 0u);

    std::vector<uint8_t> cut(good.begin(), good.end() - 10); // in the second track
    lib.ReportLibraryError("none");
    EXPECT_EQ(LoadMotionData(&lib, &item, Put("cut.mot", cut).c_str()), 0);
    EXPECT_STREQ(lib.GetLastError(), kTrackError);
    ASSERT_EQ(item.tracks.size(), 1u);
    EXPECT_TRUE(SameKeyTrack(*item.tracks[0], *a));

    EXPECT_EQ(LoadMotionData(&lib, &item, (folder / "none.mot").c_str()), 0);
    EXPECT_STREQ(lib.GetLastError(), kOpenError);
    EXPECT_EQ(LoadMotionData(&lib, nullptr, "x.mot"), 0);
    EXPECT_STREQ(lib.GetLastError(), "Error Can't Load Motion");
    EXPECT_EQ(LoadMotionFile(&lib, nullptr), 0);
    EXPECT_STREQ(lib.GetLastError(), "Error: Load Motion From File");
}

TEST_F(MotionTest, LoadReadsTheMotInAnyCaseAndRetriesAMissingOne) {
    auto track = Track("mt_Root", 4.0f, {1.0f, 2.0f, 3.0f}, kYaw90);
    MotWriter writer;
    writer.AddTrack(*track);
    Put("run.mot", writer.WriteToMemory());
    SampleTable t;
    t.Add<MotionItem>(5, "mt_run").fileName = "RUN.MOT";
    t.Add<MotionItem>(6, "mt_gone").fileName = "gone.mot";
    Read(t);

    MotionItem* run = Motion(5);
    EXPECT_EQ(run->Load(), 1);
    EXPECT_EQ(run->loaded, 1u);
    ASSERT_EQ(GetMotionTrackCount(run), 1u);
    EXPECT_TRUE(SameKeyTrack(*run->tracks[0], *track));
    EXPECT_EQ(run->Release(), 1);
    EXPECT_TRUE(run->loaded == 0 && run->tracks.empty());
    EXPECT_FLOAT_EQ(GetMotionLength(run), 4.0f); // loads again

    MotionItem* gone = Motion(6);
    EXPECT_EQ(gone->Load(), 1);
    EXPECT_EQ(gone->loaded, 0u);
    EXPECT_STREQ(lib.GetLastError(), kOpenError);
    lib.ReportLibraryError("none");
    EXPECT_EQ(FindMotionTrack(gone, "mt_Root"), nullptr);
    EXPECT_STREQ(lib.GetLastError(), kOpenError);
    lib.ReportLibraryError("none");
    Vector3 v{};
    GetMotionVelocity(gone, &v); // does not load
    EXPECT_STREQ(lib.GetLastError(), "none");
    Put("gone.mot", writer.WriteToMemory());
    EXPECT_NE(FindMotionTrack(gone, "mt_Root"), nullptr);
}

TEST_F(MotionTest, QueriesAnswerByExactNameInListOrder) {
    SampleTable t;
    auto& item = t.Add<MotionItem>(5, "mt_inline");
    item.recordTracks.push_back(Track("mt_Root", 3.0f, {0.0f, 0.0f, 0.0f}, kIdentity));
    item.recordTracks.push_back(Track("mt_Spine", 9.0f, {0.0f, 0.0f, 0.0f}, kIdentity));
    item.recordTracks.push_back(Track("mt_Root", 5.0f, {0.0f, 0.0f, 0.0f}, kIdentity));
    Read(t);
    MotionItem* m = Motion(5);

    KeyTrack* out[4] = {nullptr, nullptr, nullptr, nullptr};
    GetMotionTracks(out, m);
    EXPECT_EQ(out[2], m->tracks[2].get());
    EXPECT_EQ(out[3], nullptr);
    EXPECT_EQ(FindMotionTrack(m, "mt_Root"), out[0]);
    EXPECT_EQ(FindMotionTrack(m, "mt_Spine"), out[1]);
    EXPECT_EQ(FindMotionTrack(m, "MT_ROOT"), nullptr);
    EXPECT_FLOAT_EQ(GetMotionLength(m), 3.0f);

    EXPECT_EQ(GetMotionTrackCount(nullptr), 0u);
    GetMotionTracks(out, nullptr);
    EXPECT_EQ(FindMotionTrack(m, nullptr), nullptr);
    EXPECT_EQ(GetMotionLength(nullptr), 0.0f);
    MotionItem none;
    EXPECT_EQ(GetMotionLength(&none), 0.0f);
}

// Velocity: displacement over the first track's length; without tracks or
// with a length of 0 the motion stands still.
TEST(MotionVelocity, IsDisplacementOverLengthOrZero) {
    MotionItem m;
    m.displacement[0] = 6.0f;
    for (int tracks = 0; tracks < 2; ++tracks) { // no track, a track of length 0
        Vector3 v{9.0f, 9.0f, 9.0f};
        GetMotionVelocity(&m, &v);
        EXPECT_EQ(v.x, 0.0f) << tracks;
        m.tracks.push_back(std::make_unique<KeyTrack>());
    }
    m.tracks.pop_back();
    Vector3 v{9.0f, 9.0f, 9.0f};
    m.tracks[0]->length = 3.0f;
    GetMotionVelocity(&m, &v);
    EXPECT_FLOAT_EQ(v.x, 2.0f);
    v = {9.0f, 9.0f, 9.0f};
    GetMotionVelocity(nullptr, &v);
    EXPECT_EQ(v.x, 9.0f);
}

TEST(BlendLayerNames, BaseNameTakesKAndCutsAtTheFirstUnderscoreFromNine) {
    // "abcdeBL_" is shorter than nine.
    const std::pair<const char*, const char*> cases[] = {
        {"abcdefBL_walk_01", "abcdefBK_walk"}, {"abcdefBL_", "abcdefBK_"},
        {"abcdefBL__x", "abcdefBK_"},          {"abcdeBL_", ""},
        {"BL_", ""},                           {"abcdefbl_walk", ""}};
    for (const auto& [name, base] : cases) {
        EXPECT_EQ(BlendLayerBaseName(name), base) << name;
    }
}

namespace {

// A texture named like the base motion before it in slot order, the base
// "abcdefBK_walk" and its layer "abcdefBL_walk_01", both with inline tracks.
class BlendLayerTest : public MotionTest {
protected:
    void Build(bool withBase) {
        t.Add<TextureItem>(1, "abcdefBK_walk");
        if (withBase) {
            auto& base = t.Add<MotionItem>(2, "abcdefBK_walk");
            base.recordTracks.push_back(Track("bl_Root", 1.0f, {1.0f, 2.0f, 3.0f}, kYaw90));
            base.recordTracks.push_back(Track("bl_Spine", 1.0f, {0.0f, 0.5f, 0.0f}, kPitch90));
        }
        auto& layer = t.Add<MotionItem>(3, "abcdefBL_walk_01");
        layer.recordTracks.push_back(Track("bl_Root", 1.0f, {4.0f, 4.0f, 4.0f}, kPitch90));
        layer.recordTracks.push_back(Track("bl_Spine", 1.0f, {1.0f, 0.0f, 0.0f}, kYaw90));
        bytes = t.Write(7);
        ASSERT_EQ(ReadBytes(lib, bytes), 1);
    }
    SampleTable t;
    std::vector<uint8_t> bytes;
};

} // namespace

TEST_F(BlendLayerTest, LayerBecomesRelativeToItsBaseMotion) {
    Build(true);
    MotionItem* layer = Motion(3);
    layer->Load();
    EXPECT_EQ(Motion(2)->loaded, 1u);
    EXPECT_EQ(lib.GetItemById(1)->used, 0u); // the texture is not looked at

    const KeyTrack& root = *layer->tracks[0];
    const KeyTrack& absolute = *layer->recordTracks[0];
    EXPECT_EQ(std::vector<float>({root.positionKeys[0].x, root.positionKeys[0].z,
                                  root.positionKeys[1].x}),
              std::vector<float>({3, 1, 4}));
    ExpectSameRotation(root.rotationKeys[0], Relative(kPitch90, kYaw90));
    ExpectSameRotation(layer->tracks[1]->rotationKeys[0], Relative(kYaw90, kPitch90));
    EXPECT_FLOAT_EQ(layer->tracks[1]->positionKeys[0].y, -0.5f);
    // Scale keys, matrix keys, times and flags stay.
    EXPECT_EQ(root.rotationKeys[1].time, absolute.rotationKeys[1].time);
    EXPECT_EQ(root.rotationKeys[0].interpolate * 10 + root.positionKeys[0].interpolate,
              absolute.rotationKeys[0].interpolate * 10 + absolute.positionKeys[0].interpolate);
    EXPECT_EQ(std::memcmp(&root.scaleKeys[0], &absolute.scaleKeys[0], sizeof(PositionKey)), 0);
    EXPECT_EQ(std::memcmp(&root.matrixKeys[0], &absolute.matrixKeys[0], sizeof(MatrixKey)), 0);
    ExpectSameTracks(Motion(2)->tracks, Motion(2)->recordTracks); // the base stays
}

TEST_F(BlendLayerTest, WithoutAMotionBaseTheLayerStaysAbsolute) {
    Build(false);
    Motion(3)->Load();
    EXPECT_EQ(Motion(3)->loaded, 1u);
    ExpectSameTracks(Motion(3)->tracks, Motion(3)->recordTracks);
}

// Inline tracks survive Release: each Load starts again from the record's absolute tracks, so the
// layer is made relative once per Load, and the library writes back what it read.
TEST_F(BlendLayerTest, ReleaseAndLoadAgainGiveTheSameRelativeTracks) {
    Build(true);
    MotionItem* layer = Motion(3);
    ASSERT_EQ(layer->tracks.size(), 2u); // there before any Load
    layer->Load();
    Tracks once;
    for (auto& track : layer->tracks) {
        once.push_back(std::make_unique<KeyTrack>(*track));
    }
    lib.ReleaseItem(layer);
    EXPECT_TRUE(layer->tracks.empty());
    lib.LoadItem(layer);
    lib.LoadItem(layer);
    ExpectSameTracks(layer->tracks, once);

    LibraryWriter writer(7);
    writer.AddTable(lib);
    EXPECT_EQ(writer.WriteToMemory(), bytes);
}

TEST_F(BlendLayerTest, LayerWhoseMotIsMissingIsNotMadeRelative) {
    Build(true);
    Motion(3)->fileName = "missing.mot";
    Motion(3)->Load();
    EXPECT_EQ(Motion(3)->loaded, 0u);
    EXPECT_EQ(Motion(2)->loaded, 0u); // the base step never ran
}

TEST(MakeMotionRelative, MatchesInListOrderAndStopsAtAMiss) {
    MotionItem base;
    base.tracks.push_back(Track("mr_A", 1.0f, {1.0f, 0.0f, 0.0f}, kIdentity));
    base.tracks.push_back(Track("mr_B", 1.0f, {2.0f, 0.0f, 0.0f}, kIdentity));
    MotionItem motion;
    for (const char* name : {"mr_A", "mr_X", "mr_B"}) {
        motion.tracks.push_back(Track(name, 1.0f, {5.0f, 0.0f, 0.0f}, kIdentity));
    }
    MakeMotionRelative(&motion, &base);
    EXPECT_FLOAT_EQ(motion.tracks[0]->positionKeys[0].x, 4.0f);
    EXPECT_FLOAT_EQ(motion.tracks[2]->positionKeys[0].x, 5.0f); // stopped at mr_X

    MotionItem reversed; // a base track passed over is not looked at again
    reversed.tracks.push_back(Track("mr_B", 1.0f, {5.0f, 0.0f, 0.0f}, kIdentity));
    reversed.tracks.push_back(Track("mr_A", 1.0f, {5.0f, 0.0f, 0.0f}, kIdentity));
    MakeMotionRelative(&reversed, &base);
    EXPECT_FLOAT_EQ(reversed.tracks[0]->positionKeys[0].x, 3.0f);
    EXPECT_FLOAT_EQ(reversed.tracks[1]->positionKeys[0].x, 5.0f);
}

// A base track without position keys leaves positions alone; without rotation keys, rotations.
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

TEST_F(MotionTest, CopyOwnsItsTracksAndIsDeletedWhenLetGo) {
    SampleTable t;
    t.Add<MotionItem>(5, "mt_copied")
        .recordTracks.push_back(Track("mt_Root", 1.0f, {1.0f, 1.0f, 1.0f}, kIdentity));
    Read(t);
    MotionItem* source = Motion(5);
    source->Load();
    auto* copy = static_cast<MotionItem*>(lib.AcquireItem(5, ItemClass::Motion, 1, 0));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->loaded, 1u);
    copy->tracks[0]->positionKeys[0].x = 42.0f;
    EXPECT_FLOAT_EQ(source->tracks[0]->positionKeys[0].x, 1.0f);
    lib.ReleaseItem(source);
    EXPECT_FLOAT_EQ(FindMotionTrack(copy, "mt_Root")->positionKeys[0].x, 42.0f);
    lib.DeleteItemIfUnused(copy); // the leak check sees a copy that stays
}
