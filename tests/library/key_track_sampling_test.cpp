#include <limits>

#include <gtest/gtest.h>

#include "base/math.h"
#include "library/key_track.h"

namespace {

const Quaternion kQ0{0.0f, 0.0f, 0.0f, 1.0f};
const Quaternion kQ1{0.0f, 0.70710678f, 0.0f, 0.70710678f};
const Quaternion kQ2{0.0f, 1.0f, 0.0f, 0.0f};

// Keys at times 1, 2 and 3.
KeyTrack ThreeKeyTrack() {
    KeyTrack t;
    t.AddRotationKey(1.0f, kQ0);
    t.AddRotationKey(2.0f, kQ1);
    t.AddRotationKey(3.0f, kQ2);
    t.AddPositionKey(1.0f, {0.0f, 0.0f, 0.0f});
    t.AddPositionKey(2.0f, {10.0f, 20.0f, 30.0f});
    t.AddPositionKey(3.0f, {-4.0f, 0.0f, 1.0f});
    t.AddScaleKey(1.0f, {1.0f, 1.0f, 1.0f});
    t.AddScaleKey(2.0f, {3.0f, 1.0f, 1.0f});
    return t;
}

void ExpectQuat(const Quaternion& a, const Quaternion& b) {
    EXPECT_NEAR(a.x, b.x, 1e-5f);
    EXPECT_NEAR(a.y, b.y, 1e-5f);
    EXPECT_NEAR(a.z, b.z, 1e-5f);
    EXPECT_NEAR(a.w, b.w, 1e-5f);
}

void ExpectVec(const Vector3& a, const Vector3& b) {
    EXPECT_NEAR(a.x, b.x, 1e-5f);
    EXPECT_NEAR(a.y, b.y, 1e-5f);
    EXPECT_NEAR(a.z, b.z, 1e-5f);
}

} // namespace

TEST(KeyTrackSampling, HoldsOrBlendsFromTheLastKeyNotLaterThanTheTime) {
    KeyTrack t = ThreeKeyTrack();
    // Flags 0: each key holds until the next; before key 1, key 0.
    ExpectVec(t.SamplePosition(0.5f), {0.0f, 0.0f, 0.0f});
    ExpectVec(t.SamplePosition(2.0f), {10.0f, 20.0f, 30.0f});
    ExpectQuat(t.SampleRotation(2.9f), kQ1);

    t.MarkInterpolatedKeys(); // flags 1, 1, 0
    // Before key 1: the blend from key 0 toward key 1 with s = -0.5.
    ExpectVec(t.SamplePosition(0.5f), {-5.0f, -10.0f, -15.0f});
    ExpectVec(t.SampleScale(0.5f), {0.0f, 1.0f, 1.0f});
    Quaternion expected;
    QuaternionSlerp(&expected, kQ0, kQ1, -0.5f);
    ExpectQuat(t.SampleRotation(0.5f), expected);
    ExpectVec(t.SamplePosition(2.25f), {6.5f, 15.0f, 22.75f});
    // After the last key: the last key.
    ExpectVec(t.SamplePosition(9.0f), {-4.0f, 0.0f, 1.0f});
    ExpectQuat(t.SampleRotation(9.0f), kQ2);
    // Negative and NaN times sample as 0.
    ExpectVec(t.SamplePosition(0.0f), {-10.0f, -20.0f, -30.0f});
    ExpectVec(t.SamplePosition(-7.0f), {-10.0f, -20.0f, -30.0f});
    ExpectVec(t.SamplePosition(std::numeric_limits<float>::quiet_NaN()), {-10.0f, -20.0f, -30.0f});
    ExpectQuat(t.SampleRotation(std::numeric_limits<float>::quiet_NaN()), t.SampleRotation(0.0f));
}

TEST(KeyTrackSampling, EqualKeysHoldAndTracksWithoutRotationsNeverBlend) {
    KeyTrack t;
    t.AddRotationKey(0.0f, kQ1);
    t.AddRotationKey(1.0f, kQ1);
    t.AddPositionKey(0.0f, {1.0f, 2.0f, 3.0f});
    t.AddPositionKey(1.0f, {1.0f, 2.0f, 3.0f});
    t.AddPositionKey(2.0f, {3.0f, 2.0f, 1.0f});
    t.MarkInterpolatedKeys();
    ExpectVec(t.SamplePosition(0.9f), {1.0f, 2.0f, 3.0f});
    ExpectVec(t.SamplePosition(1.5f), {2.0f, 2.0f, 2.0f});

    KeyTrack positions;
    positions.AddPositionKey(0.0f, {0.0f, 0.0f, 0.0f});
    positions.AddPositionKey(1.0f, {5.0f, 0.0f, 0.0f});
    positions.MarkInterpolatedKeys();
    ExpectVec(positions.SamplePosition(0.99f), {0.0f, 0.0f, 0.0f});
    ExpectVec(positions.SamplePosition(1.5f), {5.0f, 0.0f, 0.0f});
}

// Tracks the callers sample without checking: no keys of a kind, equal key
// times (a division by zero before key 1), a flag on the last key.
TEST(KeyTrackSampling, DegenerateTracksGiveNeutralOrHeldValues) {
    KeyTrack empty;
    ExpectQuat(empty.SampleRotation(1.0f), kQ0);
    ExpectVec(empty.SamplePosition(1.0f), {0.0f, 0.0f, 0.0f});
    ExpectVec(empty.SampleScale(1.0f), {1.0f, 1.0f, 1.0f});
    Quaternion q{9.0f, 9.0f, 9.0f, 9.0f};
    Vector3 s{9.0f, 9.0f, 9.0f};
    SampleTrackRotation(&q, nullptr, 1.0f);
    SampleTrackScale(&s, nullptr, 1.0f);
    ExpectQuat(q, kQ0);
    ExpectVec(s, {1.0f, 1.0f, 1.0f});
    SampleTrackPosition(nullptr, &empty, 1.0f);

    KeyTrack same;
    same.AddRotationKey(1.0f, kQ0);
    same.AddRotationKey(1.0f, kQ1);
    same.AddPositionKey(1.0f, {1.0f, 0.0f, 0.0f});
    same.AddPositionKey(1.0f, {2.0f, 0.0f, 0.0f});
    same.MarkInterpolatedKeys();
    ASSERT_EQ(same.positionKeys[0].interpolate, 1u);
    ExpectVec(same.SamplePosition(0.5f), {1.0f, 0.0f, 0.0f});
    ExpectQuat(same.SampleRotation(0.5f), kQ0);
    ExpectVec(same.SamplePosition(1.0f), {2.0f, 0.0f, 0.0f});

    KeyTrack t = ThreeKeyTrack();
    t.positionKeys.back().interpolate = 1;
    ExpectVec(t.SamplePosition(5.0f), {-4.0f, 0.0f, 1.0f});
}
