#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "core/math.h"
#include "library/key_track.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

const Quaternion kQ0{0.0f, 0.0f, 0.0f, 1.0f};
const Quaternion kQ1{0.0f, 0.70710678f, 0.0f, 0.70710678f}; // 90 degrees about Y
const Quaternion kQ2{0.0f, 1.0f, 0.0f, 0.0f};               // 180 degrees about Y

// Keys at times 1, 2 and 3 of every kind.
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
    t.AddScaleKey(3.0f, {2.0f, 2.0f, 2.0f});
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
    // Flags 0: each key holds until the next.
    ExpectVec(t.SamplePosition(0.5f), {0.0f, 0.0f, 0.0f});
    ExpectVec(t.SamplePosition(1.9f), {0.0f, 0.0f, 0.0f});
    ExpectVec(t.SamplePosition(2.0f), {10.0f, 20.0f, 30.0f});
    ExpectQuat(t.SampleRotation(2.5f), kQ1);
    ExpectVec(t.SampleScale(2.99f), {3.0f, 1.0f, 1.0f});

    t.MarkInterpolatedKeys(); // every key differs from the next: 1, 1, 0
    // Before key 1: the blend from key 0 toward key 1 with s = -0.5.
    ExpectVec(t.SamplePosition(0.5f), {-5.0f, -10.0f, -15.0f});
    ExpectVec(t.SampleScale(0.5f), {0.0f, 1.0f, 1.0f});
    Quaternion expected;
    QuaternionSlerp(&expected, kQ0, kQ1, -0.5f);
    ExpectQuat(t.SampleRotation(0.5f), expected);
    // Between keys 1 and 2.
    ExpectVec(t.SamplePosition(2.25f), {6.5f, 15.0f, 22.75f});
    QuaternionSlerp(&expected, kQ1, kQ2, 0.5f);
    ExpectQuat(t.SampleRotation(2.5f), expected);
    // After the last key: the last key.
    ExpectVec(t.SamplePosition(9.0f), {-4.0f, 0.0f, 1.0f});
    ExpectQuat(t.SampleRotation(9.0f), kQ2);
    ExpectVec(t.SampleScale(9.0f), {2.0f, 2.0f, 2.0f});
}

TEST(KeyTrackSampling, NegativeAndNaNTimesSampleAsZero) {
    KeyTrack t = ThreeKeyTrack();
    t.MarkInterpolatedKeys();
    Vector3 atZero = t.SamplePosition(0.0f);
    ExpectVec(atZero, {-10.0f, -20.0f, -30.0f});
    ExpectVec(t.SamplePosition(-7.0f), atZero);
    ExpectVec(t.SamplePosition(kNaN), atZero);
    ExpectVec(t.SamplePosition(-std::numeric_limits<float>::infinity()), atZero);
    ExpectQuat(t.SampleRotation(kNaN), t.SampleRotation(0.0f));
    ExpectVec(t.SampleScale(-1.0f), t.SampleScale(0.0f));
}

TEST(KeyTrackSampling, EqualConsecutiveKeysHoldTheFirstUntilTheSecond) {
    KeyTrack t;
    t.AddRotationKey(0.0f, kQ1);
    t.AddRotationKey(1.0f, kQ1);
    t.AddRotationKey(2.0f, kQ2);
    t.AddPositionKey(0.0f, {1.0f, 2.0f, 3.0f});
    t.AddPositionKey(1.0f, {1.0f, 2.0f, 3.0f});
    t.AddPositionKey(2.0f, {3.0f, 2.0f, 1.0f});
    t.MarkInterpolatedKeys();
    ExpectQuat(t.SampleRotation(0.9f), kQ1);
    ExpectVec(t.SamplePosition(0.9f), {1.0f, 2.0f, 3.0f});
    ExpectVec(t.SamplePosition(1.5f), {2.0f, 2.0f, 2.0f});
    Quaternion expected;
    QuaternionSlerp(&expected, kQ1, kQ2, 0.5f);
    ExpectQuat(t.SampleRotation(1.5f), expected);
}

TEST(KeyTrackSampling, WithoutRotationKeysPositionsHoldUntilTheNextKey) {
    KeyTrack t;
    t.AddPositionKey(0.0f, {0.0f, 0.0f, 0.0f});
    t.AddPositionKey(1.0f, {5.0f, 0.0f, 0.0f});
    t.AddPositionKey(2.0f, {9.0f, 0.0f, 0.0f});
    t.MarkInterpolatedKeys();
    ExpectVec(t.SamplePosition(0.99f), {0.0f, 0.0f, 0.0f});
    ExpectVec(t.SamplePosition(1.5f), {5.0f, 0.0f, 0.0f});
    ExpectVec(t.SamplePosition(2.5f), {9.0f, 0.0f, 0.0f});
    // ...and the rotation is the identity.
    ExpectQuat(t.SampleRotation(1.0f), kQ0);
}

// Sampling a track without keys of a kind gives the neutral value.
TEST(KeyTrackSampling, EmptyKeyVectorsGiveNeutralValues) {
    KeyTrack t;
    ExpectQuat(t.SampleRotation(1.0f), kQ0);
    ExpectVec(t.SamplePosition(1.0f), {0.0f, 0.0f, 0.0f});
    ExpectVec(t.SampleScale(1.0f), {1.0f, 1.0f, 1.0f});

    Quaternion q{9.0f, 9.0f, 9.0f, 9.0f};
    Vector3 p{9.0f, 9.0f, 9.0f};
    Vector3 s{9.0f, 9.0f, 9.0f};
    SampleTrackRotation(&q, nullptr, 1.0f);
    SampleTrackPosition(&p, nullptr, 1.0f);
    SampleTrackScale(&s, nullptr, 1.0f);
    ExpectQuat(q, kQ0);
    ExpectVec(p, {0.0f, 0.0f, 0.0f});
    ExpectVec(s, {1.0f, 1.0f, 1.0f});
    SampleTrackRotation(nullptr, &t, 1.0f); // ignored
    EXPECT_EQ(GetTrackName(nullptr), nullptr);

    KeyTrack k = ThreeKeyTrack();
    SampleTrackPosition(&p, &k, 2.0f);
    ExpectVec(p, {10.0f, 20.0f, 30.0f});
}

// Equal key times with the first key blending: a time before key 1 would
// divide by zero; key 0's value stands.
TEST(KeyTrackSampling, EqualKeyTimesGiveTheEarlierKey) {
    KeyTrack t;
    t.AddRotationKey(1.0f, kQ0);
    t.AddRotationKey(1.0f, kQ1);
    t.AddPositionKey(1.0f, {1.0f, 0.0f, 0.0f});
    t.AddPositionKey(1.0f, {2.0f, 0.0f, 0.0f});
    t.MarkInterpolatedKeys();
    ASSERT_EQ(t.positionKeys[0].interpolate, 1u);
    ExpectVec(t.SamplePosition(0.5f), {1.0f, 0.0f, 0.0f});
    ExpectQuat(t.SampleRotation(0.5f), kQ0);
    // At and after the shared time, the later key.
    ExpectVec(t.SamplePosition(1.0f), {2.0f, 0.0f, 0.0f});
}

// A flag set on the last key (by hand; loading never does) must not make
// the sampler read past the end.
TEST(KeyTrackSampling, LastKeyHoldsWhateverItsFlag) {
    KeyTrack t = ThreeKeyTrack();
    t.positionKeys.back().interpolate = 1;
    t.rotationKeys.back().interpolate = 1;
    ExpectVec(t.SamplePosition(5.0f), {-4.0f, 0.0f, 1.0f});
    ExpectQuat(t.SampleRotation(5.0f), kQ2);
}

TEST(KeyTrackSampling, AppendedKeysCarryFlagZeroAndTheirValues) {
    KeyTrack t;
    Matrix m;
    MatrixTranslation(&m, 1.0f, 2.0f, 3.0f);
    t.AddMatrixKey(4.0f, m);
    t.AddRotationKey(0.5f, kQ1);
    t.AddScaleKey(0.25f, {2.0f, 3.0f, 4.0f});
    ASSERT_EQ(t.matrixKeys.size(), 1u);
    EXPECT_EQ(t.matrixKeys[0].time, 4.0f);
    EXPECT_EQ(t.matrixKeys[0].m[12], 1.0f); // fourth row: the translation
    EXPECT_EQ(t.matrixKeys[0].m[14], 3.0f);
    EXPECT_EQ(t.matrixKeys[0].m[15], 1.0f);
    EXPECT_EQ(t.rotationKeys[0].interpolate, 0u);
    EXPECT_EQ(t.rotationKeys[0].time, 0.5f);
    EXPECT_EQ(t.rotationKeys[0].y, kQ1.y);
    EXPECT_EQ(t.scaleKeys[0].interpolate, 0u);
    EXPECT_EQ(t.scaleKeys[0].z, 4.0f);
}
