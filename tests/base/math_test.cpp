#include "base/math.h"
#include "base/random.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <string>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr float kPi = 3.14159265358979f;

// Randomised tests draw from a fixed-seed generator so failures reproduce.
class Draw {
  public:
    explicit Draw(unsigned seed) : gen_(seed) {}
    float Uniform(float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(gen_);
    }
    Vector3 Vec(float lo, float hi) { return {Uniform(lo, hi), Uniform(lo, hi), Uniform(lo, hi)}; }
    Quaternion UnitQuat() {
        Quaternion q = {Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1)};
        QuaternionNormalize(&q, q);
        return q;
    }

  private:
    std::mt19937 gen_;
};

void ExpectVecNear(const Vector3 &a, const Vector3 &b, float tol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

void ExpectVecEq(const Vector3 &a, const Vector3 &b) {
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.z, b.z);
}

void ExpectMatNear(const Matrix &a, const Matrix &b, float tol) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            EXPECT_NEAR(a.m[i][j], b.m[i][j], tol) << "element " << i + 1 << j + 1;
        }
    }
}

void ExpectQuatNearUpToSign(const Quaternion &a, const Quaternion &b, float tol) {
    const float sign = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w < 0 ? -1.0f : 1.0f;
    EXPECT_NEAR(a.x, sign * b.x, tol);
    EXPECT_NEAR(a.y, sign * b.y, tol);
    EXPECT_NEAR(a.z, sign * b.z, tol);
    EXPECT_NEAR(a.w, sign * b.w, tol);
}

// "x y z" with the shortest exact-enough float text.
std::string V(const Vector3 &v) {
    char text[64];
    std::snprintf(text, sizeof text, "%g %g %g", v.x, v.y, v.z);
    return text;
}

std::string Boxes(const BoxList &list) {
    std::string out;
    for (const AABox &box : list) {
        out += (out.empty() ? "" : ", ") + V(box.min) + " / " + V(box.max);
    }
    return out;
}

Matrix Identity() {
    Matrix m;
    MatrixIdentity(&m);
    return m;
}

// Distance from a point to a box (0 inside).
float DistanceToBox(const Vector3 &min, const Vector3 &max, const Vector3 &p) {
    const Vector3 q = {std::fmax(min.x, std::fmin(p.x, max.x)),
                       std::fmax(min.y, std::fmin(p.y, max.y)),
                       std::fmax(min.z, std::fmin(p.z, max.z))};
    return Vec3Length({p.x - q.x, p.y - q.y, p.z - q.z});
}

} // namespace

// --- scalars -----------------------------------------------------------------

TEST(MathScalar, AtLeastRaisesOnlyValuesBelowTheFloor) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(AtLeast(0.0f, 0.01f), 0.01f);
    EXPECT_EQ(AtLeast(-inf, 0.01f), 0.01f);
    EXPECT_EQ(AtLeast(nan, 0.01f), 0.01f);
    EXPECT_EQ(AtLeast(0.01f, 0.01f), 0.01f);
    EXPECT_EQ(AtLeast(5.0f, 0.01f), 5.0f);
    // An endless time stays endless.
    EXPECT_EQ(AtLeast(inf, 0.01f), inf);
    EXPECT_EQ(AtLeast(inf, 1.0f), inf);
}

TEST(MathScalar, TruncateInRangeIsDefinedForEveryFloat) {
    const float inf = std::numeric_limits<float>::infinity(), big = 9223372036854775808.0f; // 2^63
    const int64_t min = std::numeric_limits<int64_t>::min(), max = std::numeric_limits<int64_t>::max();
    for (const float in : {0.0f, 1.9f, -1.9f, -1000.0f, 1999.99f}) {
        EXPECT_EQ(TruncateInRange(in, -1000, 2000), static_cast<int64_t>(in)) << in;
    }
    const std::pair<float, int64_t> edges[] = {{NAN, -1000},    {-inf, -1000},  {inf, 2000},
                                               {2000.5f, 2000}, {-3e9f, -1000}, {1e30f, 2000}};
    for (const auto &[in, out] : edges) {
        EXPECT_EQ(TruncateInRange(in, -1000, 2000), out) << in;
    }
    // The ends of int64_t, and the floats just within and past them.
    EXPECT_EQ((std::vector<int64_t>{TruncateInRange(-big, min, max), TruncateInRange(-FLT_MAX, min, max),
                                    TruncateInRange(std::nextafter(big, 0.0f), min, max),
                                    TruncateInRange(big, min, max)}),
              (std::vector<int64_t>{min, min, 9223371487098961920, max}));
}

// --- vectors -----------------------------------------------------------------

TEST(MathVector, NormalizeKeepsDegenerateInputs) {
    Vector3 out;
    Vec3Normalize(&out, {0, 0, 0});
    ExpectVecEq(out, {0, 0, 0});
    Vec3Normalize(&out, {1e15f, 0, 0});
    ExpectVecEq(out, {1e15f, 0, 0});
    Vec3Normalize(&out, {1e-13f, 0, 0});
    ExpectVecEq(out, {1e-13f, 0, 0});
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Vec3Normalize(&out, {nan, 1, 0});
    EXPECT_TRUE(std::isnan(out.x));
    EXPECT_EQ(out.y, 1.0f);

    Vector3 v = {3, 0, 4};
    Vec3Normalize(&v, v);
    ExpectVecNear(v, {0.6f, 0, 0.8f}, 1e-6f);
}

TEST(MathVector, YawAndPitch) {
    EXPECT_EQ(Vec3Yaw({0, 5, 0}), 0.0f);
    EXPECT_NEAR(Vec3Yaw({-1, 0, 0}), -kPi / 2, 1e-6f);
    EXPECT_NEAR(Vec3Yaw({1, 0, 0}), kPi / 2, 1e-6f);
    EXPECT_NEAR(Vec3Yaw({1, 0, -1}), 3 * kPi / 4, 1e-6f);
    EXPECT_EQ(Vec3Yaw({0, 0, 7}), 0.0f);
    EXPECT_EQ(Vec3Yaw({1e15f, 0, 0}), 0.0f);

    EXPECT_NEAR(Vec3YawFromForward({1, 0, -1}), 3 * kPi / 4, 1e-6f);
    EXPECT_NEAR(Vec3YawFromForward({-2, 3, 0}), -kPi / 2, 1e-6f);
    // A tiny projection is used as it is: acos(0) rather than 0.
    EXPECT_NEAR(Vec3YawFromForward({0, 1, 0}), kPi / 2, 1e-6f);

    EXPECT_NEAR(Vec3Pitch({0, 1, 1}), kPi / 4, 1e-6f);
    EXPECT_NEAR(Vec3Pitch({0, -2, 0}), -kPi / 2, 1e-6f);
    EXPECT_NEAR(YawBetweenPoints({1, 0, 1}, {0, 0, 1}), kPi / 2, 1e-6f);
    EXPECT_NEAR(PitchBetweenPoints({0, 0, 0}, {0, 1, 1}), -kPi / 4, 1e-6f);

    // Rounding never pushes a heading out of range into NaN.
    Draw draw(7);
    for (int i = 0; i < 2000; ++i) {
        const Vector3 v = draw.Vec(-1e3f, 1e3f);
        ASSERT_FALSE(std::isnan(Vec3Yaw(v)));
        ASSERT_FALSE(std::isnan(Vec3YawFromForward(v)));
        ASSERT_FALSE(std::isnan(Vec3Pitch(v)));
    }
}

TEST(MathVector, ProductsAndBlendsInPlace) {
    Vector3 a = {1, 2, 3};
    Vec3Cross(&a, a, {4, 5, 6});
    ExpectVecEq(a, {-3, 6, -3});
    Vector3 b = {4, 5, 6};
    Vec3Cross(&b, {1, 2, 3}, b);
    ExpectVecEq(b, {-3, 6, -3});

    Vector3 m = {1, 5, -2};
    EXPECT_EQ(Vec3Min(&m, m, {3, 2, -2}), &m);
    ExpectVecEq(m, {1, 2, -2});
    m = {1, 5, -2};
    EXPECT_EQ(Vec3Max(&m, m, {3, 2, -1}), &m);
    ExpectVecEq(m, {3, 5, -1});

    Vector3 l = {0, 10, -4};
    Vec3Lerp(&l, l, {10, 20, 4}, 0.25f);
    ExpectVecEq(l, {2.5f, 12.5f, -2});
    Vector4 l4 = {0, 0, 0, 8};
    Vec4Lerp(&l4, l4, {4, 0, 0, 0}, 0.5f);
    EXPECT_EQ(l4.x, 2.0f);
    EXPECT_EQ(l4.w, 4.0f);

    float x = 1;
    float y = 0;
    Rotate2D(&x, &y, kPi / 2);
    EXPECT_NEAR(x, 0.0f, 1e-6f);
    EXPECT_NEAR(y, -1.0f, 1e-6f);
}

TEST(MathVector, SplitAndDropOpposingPart) {
    const Vector3 up = {0, 1, 0};
    Vector3 along, across;
    Vec3SplitAlongAxis({2, -3, 4}, up, &along, &across);
    ExpectVecEq(along, {0, -3, 0});
    ExpectVecEq(across, {2, 0, 4});
    Vec3SplitAlongAxis({2, -3, 4}, up, nullptr, nullptr);

    // Moving into a floor whose normal is up: the downward part is dropped.
    Vector3 v = {2, -3, 4};
    Vec3DropOpposingPart(&v, v, up, &along);
    ExpectVecEq(v, {2, 0, 4});
    ExpectVecEq(along, {0, -3, 0});
    // Moving away from it: unchanged.
    v = {2, 3, 4};
    Vec3DropOpposingPart(&v, v, up, nullptr);
    ExpectVecEq(v, {2, 3, 4});
    // No part along the axis counts as opposing (dot is not > 0).
    Vec3DropOpposingPart(&v, {2, 0, 4}, up, nullptr);
    ExpectVecEq(v, {2, 0, 4});
}

TEST(MathVector, Transforms) {
    Matrix m;
    MatrixTranslation(&m, 10, 20, 30);
    m.m[0][3] = 5; // a w column that TransformCoord must ignore
    Vector3 p = {1, 2, 3};
    Vec3TransformCoord(&p, p, m);
    ExpectVecEq(p, {11, 22, 33});
    Vector3 n = {1, 2, 3};
    Vec3TransformNormal(&n, n, m);
    ExpectVecEq(n, {1, 2, 3});

    MatrixRotationY(&m, kPi / 2);
    Vec3TransformCoord(&p, {1, 0, 0}, m);
    ExpectVecNear(p, {0, 0, -1}, 1e-6f);

    const Basis b = {{{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}};
    Vector3 t = {1, 1, 1};
    Vec3TransformByBasis(&t, t, b);
    ExpectVecEq(t, {12, 15, 19});
}

// --- matrices ----------------------------------------------------------------

TEST(MathMatrix, MultiplyAppliesLeftFirstAndWorksInPlace) {
    Matrix t, r;
    MatrixTranslation(&t, 5, 0, 0);
    MatrixRotationZ(&r, kPi / 2);
    Matrix tr;
    MatrixMultiply(&tr, t, r); // translate, then rotate
    Vector3 p;
    Vec3TransformCoord(&p, {0, 0, 0}, tr);
    ExpectVecNear(p, {0, 5, 0}, 1e-5f);

    Matrix a = t;
    MatrixMultiply(&a, a, r);
    ExpectMatNear(a, tr, 0);
    Matrix b = r;
    MatrixMultiply(&b, t, b);
    ExpectMatNear(b, tr, 0);
}

TEST(MathMatrix, SingularInverseReturnsNullAndCopy) {
    Matrix m;
    MatrixScaling(&m, 1, 1e-6f, 1);
    m.m[3][0] = 7;
    Matrix out;
    EXPECT_EQ(MatrixInverse(&out, m), nullptr);
    ExpectMatNear(out, m, 0);

    Matrix nan = Identity();
    nan.m[1][1] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(MatrixInverse(&out, nan), nullptr);

    // det = 2e-5 is above the threshold.
    MatrixScaling(&m, 1, 2e-5f, 1);
    EXPECT_EQ(MatrixInverse(&out, m), &out);
    EXPECT_NEAR(out.m[1][1], 5e4f, 1.0f);
}

TEST(MathMatrix, RandomInverseTimesMatrixIsIdentity) {
    // Affine transforms built from rotation, scale in [0.5, 2] and
    // translation in [-100, 100]: M^-1 x M within 1e-4 of identity.
    Draw draw(1234);
    for (int i = 0; i < 500; ++i) {
        Matrix rot, scale, m;
        MatrixRotationYawPitchRoll(&rot, draw.Uniform(-kPi, kPi), draw.Uniform(-kPi, kPi),
                                   draw.Uniform(-kPi, kPi));
        MatrixScaling(&scale, draw.Uniform(0.5f, 2), draw.Uniform(0.5f, 2), draw.Uniform(0.5f, 2));
        MatrixMultiply(&m, scale, rot);
        m.m[3][0] = draw.Uniform(-100, 100);
        m.m[3][1] = draw.Uniform(-100, 100);
        m.m[3][2] = draw.Uniform(-100, 100);
        Matrix inv;
        ASSERT_NE(MatrixInverse(&inv, m), nullptr);
        Matrix prod;
        MatrixMultiply(&prod, inv, m);
        ExpectMatNear(prod, Identity(), 1e-4f);
        // In place gives the same result.
        Matrix same = m;
        ASSERT_EQ(MatrixInverse(&same, same), &same);
        ExpectMatNear(same, inv, 0);
    }
    // General (non-affine) matrices with entries in [-1, 1] and |det| > 0.05.
    for (int i = 0; i < 500; ++i) {
        Matrix m;
        for (auto &row : m.m) {
            for (float &e : row) {
                e = draw.Uniform(-1, 1);
            }
        }
        Matrix adj = m;
        MatrixAdjoint(&adj);
        const float det = m.m[0][0] * adj.m[0][0] + m.m[0][1] * adj.m[1][0] +
                          m.m[0][2] * adj.m[2][0] + m.m[0][3] * adj.m[3][0];
        if (std::fabs(det) < 0.05f) {
            continue;
        }
        Matrix inv;
        ASSERT_NE(MatrixInverse(&inv, m), nullptr);
        Matrix prod;
        MatrixMultiply(&prod, inv, m);
        ExpectMatNear(prod, Identity(), 2e-4f);
        // The adjugate is det times the inverse.
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                EXPECT_NEAR(adj.m[r][c], det * inv.m[r][c], 1e-4f);
            }
        }
    }
}

TEST(MathMatrix, YawPitchRollOrder) {
    Matrix ypr, y;
    MatrixRotationYawPitchRoll(&ypr, 0.7f, 0, 0);
    MatrixRotationY(&y, 0.7f);
    ExpectMatNear(ypr, y, 1e-7f);

    // Roll first, then pitch, then yaw.
    Matrix z, x, expected;
    MatrixRotationZ(&z, 0.3f);
    MatrixRotationX(&x, -0.4f);
    MatrixRotationY(&y, 1.1f);
    MatrixMultiply(&expected, z, x);
    MatrixMultiply(&expected, expected, y);
    MatrixRotationYawPitchRoll(&ypr, 1.1f, -0.4f, 0.3f);
    ExpectMatNear(ypr, expected, 1e-6f);

    // Pitch a forward vector up by 90 degrees, then yaw: stays vertical.
    Vector3 p;
    MatrixRotationYawPitchRoll(&ypr, 1.0f, -kPi / 2, 0);
    Vec3TransformNormal(&p, {0, 0, 1}, ypr);
    ExpectVecNear(p, {0, 1, 0}, 1e-6f);
}

TEST(MathMatrix, LookAtMatchesHandComputedView) {
    // The view matrix of a camera with unit axes x, y, z at eye has rows
    // (x.x y.x z.x 0), (x.y y.y z.y 0), (x.z y.z z.z 0), (-x.e -y.e -z.e 1).
    Draw draw(99);
    for (int i = 0; i < 200; ++i) {
        const Vector3 eye = draw.Vec(-50, 50);
        const Vector3 target = draw.Vec(-50, 50);
        const Vector3 up = {0, 1, 0};
        Vector3 z = {target.x - eye.x, target.y - eye.y, target.z - eye.z};
        const float len = Vec3Length(z);
        if (len < 1 || std::fabs(z.y) > 0.95f * len) {
            continue;
        }
        z = {z.x / len, z.y / len, z.z / len};
        Vector3 x = {up.y * z.z - up.z * z.y, up.z * z.x - up.x * z.z, up.x * z.y - up.y * z.x};
        const float xl = Vec3Length(x);
        x = {x.x / xl, x.y / xl, x.z / xl};
        const Vector3 y = {z.y * x.z - z.z * x.y, z.z * x.x - z.x * x.z, z.x * x.y - z.y * x.x};
        const Matrix expected = {{{x.x, y.x, z.x, 0},
                                  {x.y, y.y, z.y, 0},
                                  {x.z, y.z, z.z, 0},
                                  {-Vec3Dot(x, eye), -Vec3Dot(y, eye), -Vec3Dot(z, eye), 1}}};
        Matrix view;
        MatrixLookAt(&view, eye, target, up);
        ExpectMatNear(view, expected, 1e-4f);
        // The target lies straight ahead on the view's +Z axis.
        Vector3 t;
        Vec3TransformCoord(&t, target, view);
        ExpectVecNear(t, {0, 0, len}, 1e-3f);
    }
}

TEST(MathMatrix, LookAtWithEyeOnTargetKeepsCameraMatrix) {
    Matrix view;
    MatrixLookAt(&view, {1, 2, 3}, {1, 2, 3}, {0, 1, 0});
    const Matrix expected = {{{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {1, 2, 3, 1}}};
    ExpectMatNear(view, expected, 0);
}

TEST(MathMatrix, LargestColumnLengthIsTheLongestAxisOfTheUpper3x3) {
    Matrix turn, scale, m;
    MatrixRotationYawPitchRoll(&turn, 0.7f, -0.4f, 1.1f);
    MatrixScaling(&scale, 2.0f, 5.0f, 3.0f);
    MatrixMultiply(&m, turn, scale);
    m.m[3][0] = m.m[3][1] = 1000.0f; // neither the translation row
    m.m[0][3] = 1000.0f;             // nor the fourth column counts
    EXPECT_NEAR(MatrixLargestColumnLength(m), 5.0f, 1e-5f);

    Matrix exact;
    MatrixIdentity(&exact);
    EXPECT_EQ(MatrixLargestColumnLength(exact), 1.0f);
    exact.m[0][0] = 3.0f;
    exact.m[1][0] = 4.0f;
    EXPECT_EQ(MatrixLargestColumnLength(exact), 5.0f);

    // A column that is not a number is passed over; nothing at all gives 0.
    exact.m[2][1] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(MatrixLargestColumnLength(exact), 5.0f);
    Matrix zero = {};
    EXPECT_EQ(MatrixLargestColumnLength(zero), 0.0f);
}

TEST(MathMatrix, PerspectiveFovMatchesHandComputed) {
    const float cases[][4] = {{kPi / 4, 4.0f / 3, 1, 1000}, {1.2f, 16.0f / 9, 0.1f, 50}};
    for (const auto &c : cases) {
        const float h = 1 / std::tan(c[0] / 2);
        const float q = c[3] / (c[3] - c[2]);
        const Matrix expected = {
            {{h / c[1], 0, 0, 0}, {0, h, 0, 0}, {0, 0, q, 1}, {0, 0, -q * c[2], 0}}};
        Matrix m;
        MatrixPerspectiveFov(&m, c[0], c[1], c[2], c[3]);
        ExpectMatNear(m, expected, 1e-5f);
        // Near plane maps to depth 0, far plane to depth 1 after the w divide.
        const float zn = c[2] * m.m[2][2] + m.m[3][2];
        const float zf = c[3] * m.m[2][2] + m.m[3][2];
        EXPECT_NEAR(zn / c[2], 0.0f, 1e-5f);
        EXPECT_NEAR(zf / c[3], 1.0f, 1e-5f);
    }
}

TEST(MathMatrix, BasisInverseAndFromDirection) {
    Basis b = {{{2, 0, 0}, {0, 4, 0}, {1, 0, 1}}};
    Basis inv;
    Matrix3Inverse(&inv, b);
    ExpectVecNear(inv.row[0], {0.5f, 0, 0}, 1e-6f);
    ExpectVecNear(inv.row[1], {0, 0.25f, 0}, 1e-6f);
    ExpectVecNear(inv.row[2], {-0.5f, 0, 1}, 1e-6f);
    Matrix3Inverse(&b, b);
    ExpectVecNear(b.row[2], {-0.5f, 0, 1}, 1e-6f);
    // Singular: comes back unchanged.
    const Basis flat = {{{1, 2, 3}, {2, 4, 6}, {0, 0, 1}}};
    Matrix3Inverse(&inv, flat);
    ExpectVecEq(inv.row[1], {2, 4, 6});

    Basis d;
    BasisFromDirection(&d, {0, 0, 5}, {0, 1, 0});
    ExpectVecNear(d.row[0], {0, 0, 1}, 1e-6f);
    ExpectVecNear(d.row[1], {-1, 0, 0}, 1e-6f);
    ExpectVecNear(d.row[2], {0, 1, 0}, 1e-6f);
}

// --- quaternions -------------------------------------------------------------

TEST(MathQuaternion, ZeroQuaternionNormalizeAndInverseGiveIdentity) {
    Quaternion q = {0, 0, 0, 0};
    QuaternionNormalize(&q, q);
    EXPECT_EQ(q.x, 0.0f);
    EXPECT_EQ(q.w, 1.0f);
    q = {0, 0, 0, 0};
    QuaternionInverse(&q, q);
    EXPECT_EQ(V({q.x, q.y, q.z}) + " " + std::to_string(q.w), "0 0 0 1.000000");

    q = {0, 0, 3, 4};
    QuaternionNormalize(&q, q);
    ExpectQuatNearUpToSign(q, {0, 0, 0.6f, 0.8f}, 1e-6f);
    q = {0, 2, 0, 0};
    QuaternionInverse(&q, q);
    EXPECT_FLOAT_EQ(q.y, -0.5f);
}

TEST(MathQuaternion, MultiplyComposesLikeMatrices) {
    Draw draw(5);
    for (int i = 0; i < 200; ++i) {
        const Quaternion a = draw.UnitQuat();
        const Quaternion b = draw.UnitQuat();
        Quaternion ab;
        QuaternionMultiply(&ab, a, b);
        Matrix ma, mb, mab, expected;
        MatrixFromQuaternion(&ma, a);
        MatrixFromQuaternion(&mb, b);
        MatrixFromQuaternion(&mab, ab);
        MatrixMultiply(&expected, ma, mb);
        ExpectMatNear(mab, expected, 1e-5f);

        Quaternion inPlace = a;
        QuaternionMultiply(&inPlace, inPlace, b);
        ExpectQuatNearUpToSign(inPlace, ab, 0);

        // q x q^-1 is the identity.
        Quaternion inv;
        QuaternionInverse(&inv, a);
        QuaternionMultiply(&inv, a, inv);
        ExpectQuatNearUpToSign(inv, {0, 0, 0, 1}, 1e-6f);
    }
}

TEST(MathQuaternion, FromMatrixRoundTrip) {
    // Random unit quaternions, a quarter of them squeezed towards a half turn
    // (|w| <= 1e-3, 1e-6): the round trip is within 1e-4 per component, up to
    // sign, and rebuilds the matrix within 2e-4 per element.
    Draw draw(42);
    for (int i = 0; i < 4000; ++i) {
        Quaternion q = draw.UnitQuat();
        if (i % 4 == 1) {
            q.w *= 1e-3f;
            QuaternionNormalize(&q, q);
        } else if (i % 4 == 2) {
            q.w *= 1e-6f;
            QuaternionNormalize(&q, q);
        }
        Matrix m;
        MatrixFromQuaternion(&m, q);
        Quaternion back;
        QuaternionFromMatrix(&back, m);
        ExpectQuatNearUpToSign(back, q, 1e-4f);
        Matrix again;
        MatrixFromQuaternion(&again, back);
        ExpectMatNear(again, m, 2e-4f);
    }

    // A half turn built from four eighth turns: the rounded trace is a tiny
    // positive number, and the result is still the half turn.
    Matrix step, turned;
    MatrixRotationY(&step, kPi / 4);
    MatrixIdentity(&turned);
    for (int i = 0; i < 4; ++i) {
        MatrixMultiply(&turned, turned, step);
    }
    Quaternion half;
    QuaternionFromMatrix(&half, turned);
    ExpectQuatNearUpToSign(half, {0, 1, 0, 0}, 1e-6f);
    // A turn 2e-7 short of a half turn about a slanted axis.
    Quaternion nearHalf;
    QuaternionRotationAxis(&nearHalf, {0.3f, 0.8f, -0.5f}, 3.1415925f);
    Matrix nm;
    MatrixFromQuaternion(&nm, nearHalf);
    QuaternionFromMatrix(&half, nm);
    ExpectQuatNearUpToSign(half, nearHalf, 1e-6f);

    // Half turns about X, Y and Z take the three diagonal branches.
    const Quaternion halfTurns[] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0.6f, 0.8f, 0}};
    for (const Quaternion &h : halfTurns) {
        Matrix m, back;
        MatrixFromQuaternion(&m, h);
        QuaternionFromMatrix(&half, m);
        ExpectQuatNearUpToSign(half, h, 1e-6f);
        MatrixFromQuaternion(&back, half);
        ExpectMatNear(back, m, 1e-6f);
    }
}

TEST(MathQuaternion, YawPitchRollMatchesMatrix) {
    Draw draw(11);
    for (int i = 0; i < 200; ++i) {
        const float yaw = draw.Uniform(-kPi, kPi);
        const float pitch = draw.Uniform(-kPi, kPi);
        const float roll = draw.Uniform(-kPi, kPi);
        Quaternion q;
        QuaternionRotationYawPitchRoll(&q, yaw, pitch, roll);
        Matrix fromQ, direct;
        MatrixFromQuaternion(&fromQ, q);
        MatrixRotationYawPitchRoll(&direct, yaw, pitch, roll);
        ExpectMatNear(fromQ, direct, 1e-5f);
    }
}

TEST(MathQuaternion, AxisAngle) {
    Vector3 axis = {9, 9, 9};
    float angle = 9;
    QuaternionToAxisAngle({0, 0, 0, 1}, &axis, &angle);
    EXPECT_EQ(angle, 0.0f);
    ExpectVecEq(axis, {0, 0, 0});

    Quaternion q;
    QuaternionRotationAxis(&q, {0, 0, 0}, kPi / 2);
    Quaternion aboutX;
    QuaternionRotationAxis(&aboutX, {1, 0, 0}, kPi / 2);
    ExpectQuatNearUpToSign(q, aboutX, 0);

    QuaternionRotationAxis(&q, {0, 0, 3}, 1.2f);
    ExpectQuatNearUpToSign(q, {0, 0, std::sin(0.6f), std::cos(0.6f)}, 1e-6f);
    // Not normalised on input: the length is divided out.
    const Quaternion scaled = {0, 0, 2 * std::sin(0.6f), 2 * std::cos(0.6f)};
    QuaternionToAxisAngle(scaled, &axis, &angle);
    EXPECT_NEAR(angle, 1.2f, 1e-5f);
    ExpectVecNear(axis, {0, 0, 1}, 1e-5f);
    QuaternionToAxisAngle(scaled, nullptr, nullptr);

    // Rounding of |w| just above 1 does not turn the result into NaN.
    Draw draw(3);
    for (int i = 0; i < 1000; ++i) {
        Quaternion tiny = {draw.Uniform(-1e-4f, 1e-4f), 0, 0, draw.Uniform(0.5f, 3)};
        QuaternionToAxisAngle(tiny, &axis, &angle);
        ASSERT_FALSE(std::isnan(angle));
        ASSERT_FALSE(std::isnan(axis.x));
    }
}

TEST(MathQuaternion, Slerp) {
    Quaternion a, b;
    QuaternionRotationAxis(&a, {0, 1, 0}, 0.2f);
    QuaternionRotationAxis(&b, {1, 0, 0}, 1.5f);
    Quaternion out;
    QuaternionSlerp(&out, a, b, 0);
    ExpectQuatNearUpToSign(out, a, 1e-6f);
    EXPECT_GT(out.w, 0.0f);
    QuaternionSlerp(&out, a, b, 1);
    ExpectQuatNearUpToSign(out, b, 1e-6f);
    EXPECT_GT(out.w, 0.0f);

    // The midpoint of a slerp between two rotations about one axis.
    QuaternionRotationAxis(&a, {0, 0, 1}, 0.2f);
    QuaternionRotationAxis(&b, {0, 0, 1}, 1.4f);
    QuaternionSlerp(&out, a, b, 0.5f);
    Quaternion mid;
    QuaternionRotationAxis(&mid, {0, 0, 1}, 0.8f);
    ExpectQuatNearUpToSign(out, mid, 1e-5f);

    // Negative dot: the first quaternion's weight is negated.
    const Quaternion negB = {-b.x, -b.y, -b.z, -b.w};
    QuaternionSlerp(&out, a, negB, 0);
    EXPECT_NEAR(out.z, -a.z, 1e-6f);
    EXPECT_NEAR(out.w, -a.w, 1e-6f);
    QuaternionSlerp(&out, a, negB, 0.5f);
    ExpectQuatNearUpToSign(out, mid, 1e-5f);

    // Nearly equal inputs blend linearly; in place works.
    Quaternion c = a;
    QuaternionSlerp(&c, c, a, 0.3f);
    ExpectQuatNearUpToSign(c, a, 1e-6f);
}

TEST(MathQuaternion, LookAtFacesTheDirection) {
    const Vector3 dirs[] = {{0, 0, 1}, {1, 0, 0}, {3, 1, -2}, {-1, -0.5f, -1}};
    for (const Vector3 &dir : dirs) {
        Quaternion q;
        QuaternionLookAt(&q, dir, {0, 1, 0});
        Matrix m;
        MatrixFromQuaternion(&m, q);
        Vector3 forward;
        Vec3TransformNormal(&forward, {0, 0, 1}, m);
        Vector3 unit;
        Vec3Normalize(&unit, dir);
        ExpectVecNear(forward, unit, 1e-5f);
    }
}

// --- planes, boxes, intersections --------------------------------------------

TEST(MathBox, PlaneAndPointInBox) {
    Plane p;
    PlaneFromPointNormal(&p, {1, 2, 3}, {0, 2, 0});
    EXPECT_EQ(p.b, 2.0f);
    EXPECT_EQ(p.d, -4.0f);

    const Vector3 lo = {0, 0, 0};
    const Vector3 hi = {1, 1, 1};
    EXPECT_EQ(PointInBox(lo, hi, {0.5f, 0.5f, 0.5f}), 1);
    EXPECT_EQ(PointInBox(lo, hi, {1, 0.5f, 0.5f}), 0);
    EXPECT_EQ(PointInBox(lo, hi, {0.5f, 0, 0.5f}), 0);
    EXPECT_EQ(PointInBox(lo, hi, {0.5f, 0.5f, 1.5f}), 0);
}

TEST(MathBox, TransformBounds) {
    Matrix m;
    MatrixRotationY(&m, kPi / 2);
    m.m[3][0] = 10;
    Vector3 lo = {0, 0, 0};
    Vector3 hi = {2, 1, 1};
    BoxTransformBounds(&lo, &hi, lo, hi, m);
    ExpectVecNear(lo, {10, 0, -2}, 1e-5f);
    ExpectVecNear(hi, {11, 1, 0}, 1e-5f);
}

TEST(MathBox, RayIntersectSphere) {
    Vector3 hit, normal;
    EXPECT_EQ(RayIntersectSphere({0, 0, -10}, {0, 0, 2}, {0, 0, 0}, 1, &hit, &normal), 1);
    ExpectVecNear(hit, {0, 0, -1}, 1e-6f);
    ExpectVecNear(normal, {0, 0, -1}, 1e-6f);
    // Entirely behind the origin still counts.
    EXPECT_EQ(RayIntersectSphere({0, 0, 10}, {0, 0, 1}, {0, 0, 0}, 1, &hit, nullptr), 1);
    ExpectVecNear(hit, {0, 0, -1}, 1e-6f);
    EXPECT_EQ(RayIntersectSphere({0, 2, -10}, {0, 0, 1}, {0, 0, 0}, 1, &hit, &normal), 0);
    EXPECT_EQ(RayIntersectSphere({0, 0.5f, -10}, {0, 0, 1}, {0, 0, 0}, 1, nullptr, nullptr), 1);
}

TEST(MathBox, RayIntersectBox) {
    const Vector3 lo = {0, 0, 0};
    const Vector3 hi = {1, 1, 1};
    // "hit | normal", or "miss".
    auto ray = [&](Vector3 origin, Vector3 dir) {
        Vector3 hit, normal;
        return RayIntersectBox(origin, dir, lo, hi, &hit, &normal) ? V(hit) + " | " + V(normal)
                                                                   : std::string("miss");
    };
    EXPECT_EQ(ray({0.5f, 0.2f, 0.5f}, {1, 0, 0}), "0.5 0.2 0.5 | 0 1 0"); // from inside
    // Straight hits on each side, with the normal facing the origin.
    EXPECT_EQ(ray({-2, 0.5f, 0.5f}, {1, 0, 0}), "0 0.5 0.5 | -1 0 0");
    EXPECT_EQ(ray({0.25f, 3, 0.75f}, {0, -0.5f, 0}), "0.25 1 0.75 | 0 1 0");
    // Parallel to a slab and outside it; pointing away.
    EXPECT_EQ(ray({-2, 2, 0.5f}, {1, 0, 0}), "miss");
    EXPECT_EQ(RayIntersectBox({2, 0.5f, 0.5f}, {0, 1, 0}, lo, hi, nullptr, nullptr), 0);
    EXPECT_EQ(ray({-2, 0.5f, 0.5f}, {-1, 0, 0}), "miss");
    // A tie between two candidate planes keeps the lower axis; the edge hits.
    EXPECT_EQ(ray({-1, -1, 0.5f}, {1, 1, 0}), "0 0 0.5 | -1 0 0");
    EXPECT_EQ(ray({0.5f, 2, 2}, {0, -1, -1}), "0.5 1 1 | 0 1 0");
    // In place on the origin.
    Vector3 o = {-2, 0.5f, 0.5f};
    EXPECT_EQ(RayIntersectBox(o, {1, 0, 0}, lo, hi, &o, nullptr), 1);
    ExpectVecEq(o, {0, 0.5f, 0.5f});
}

TEST(MathBox, OrientedBoxTestsWorkInBoxSpace) {
    // A unit box turned a quarter about Y and moved to x = 10.
    Matrix boxToWorld;
    MatrixRotationY(&boxToWorld, kPi / 2);
    boxToWorld.m[3][0] = 10;
    Matrix worldToBox;
    ASSERT_NE(MatrixInverse(&worldToBox, boxToWorld), nullptr);
    const Vector3 lo = {-1, -1, -1};
    const Vector3 hi = {1, 1, 1};

    Vector3 hit, normal;
    EXPECT_EQ(RayIntersectOrientedBox({0, 0, 0}, {1, 0, 0}, lo, hi, boxToWorld, worldToBox, &hit,
                                      &normal),
              1);
    ExpectVecNear(hit, {9, 0, 0}, 1e-5f);
    ExpectVecNear(normal, {-1, 0, 0}, 1e-5f);
    EXPECT_EQ(RayIntersectOrientedBox({0, 5, 0}, {1, 0, 0}, lo, hi, boxToWorld, worldToBox, &hit,
                                      &normal),
              0);

    Vector3 sep;
    EXPECT_EQ(
        SphereIntersectOrientedBox(lo, hi, boxToWorld, worldToBox, {8.5f, 0, 0}, 1, &sep, nullptr),
        1);
    EXPECT_NEAR(sep.x, 0.5f * 1.002f, 1e-5f);
    EXPECT_NEAR(sep.z, 0.0f, 1e-5f);
    EXPECT_EQ(
        SphereIntersectOrientedBox(lo, hi, boxToWorld, worldToBox, {7, 0, 0}, 1, &sep, nullptr), 0);
}

TEST(MathBox, SphereIntersectBoxContactRules) {
    const Vector3 lo = {0, 0, 0};
    const Vector3 hi = {2, 2, 2};
    Vector3 sep, point;
    // Touching a face is no contact.
    EXPECT_EQ(SphereIntersectBox(lo, hi, {3, 1, 1}, 1, &sep, &point), 0);
    EXPECT_EQ(SphereIntersectBox(lo, hi, {-0.5f, 1, 1}, 0.5f, nullptr, nullptr), 0);
    // Within the radius on two slabs but not of the edge itself.
    EXPECT_EQ(SphereIntersectBox(lo, hi, {3, 3, 1}, 1.2f, &sep, nullptr), 0);
    // Outside, penetrating by 0.5.
    EXPECT_EQ(SphereIntersectBox(lo, hi, {2.5f, 1, 1}, 1, &sep, nullptr), 1);
    ExpectVecNear(sep, {-0.5f * 1.002f, 0, 0}, 1e-6f);
    // Inside: the nearest face wins, with the push past it enlarged.
    point = {9, 9, 9};
    EXPECT_EQ(SphereIntersectBox(lo, hi, {1, 0.25f, 1.5f}, 0.5f, &sep, &point), 1);
    ExpectVecNear(sep, {0, (0.25f + 0.5f) * 1.001f, 0}, 1e-6f);
    ExpectVecEq(point, {1, 0, 1.5f});
    EXPECT_EQ(SphereIntersectBox(lo, hi, {1, 1, 1.75f}, 0.5f, &sep, &point), 1);
    ExpectVecNear(sep, {0, 0, -(0.25f + 0.5f) * 1.001f}, 1e-6f);
    ExpectVecEq(point, {1, 1, 2});
    EXPECT_EQ(SphereIntersectBox(lo, hi, {1, 1, 1.75f}, 0.5f, nullptr, nullptr), 1);
    // A centre exactly on a face or an edge: contact with a zero separation.
    EXPECT_EQ(SphereIntersectBox(lo, hi, {2, 1, 1}, 0.5f, &sep, nullptr), 1);
    ExpectVecEq(sep, {0, 0, 0});
    EXPECT_EQ(SphereIntersectBox(lo, hi, {0, 0, 1}, 0.5f, &sep, nullptr), 1);
    ExpectVecEq(sep, {0, 0, 0});
}

TEST(MathBox, SpherePushOutClearsTheBoxWithAGap) {
    // Random boxes and spheres: whenever there is contact (centre strictly
    // inside or strictly outside), moving the centre by -separation leaves
    // the sphere out of contact and its surface strictly off the box.
    Draw draw(2024);
    int inside = 0;
    int outside = 0;
    for (int i = 0; i < 20000; ++i) {
        const Vector3 a = draw.Vec(-10, 10);
        const Vector3 b = draw.Vec(-10, 10);
        Vector3 lo, hi;
        Vec3Min(&lo, a, b);
        Vec3Max(&hi, a, b);
        const Vector3 c = draw.Vec(-14, 14);
        const float r = draw.Uniform(0.1f, 5);
        Vector3 sep;
        if (!SphereIntersectBox(lo, hi, c, r, &sep, nullptr)) {
            continue;
        }
        const float dist = DistanceToBox(lo, hi, c);
        if (PointInBox(lo, hi, c)) {
            ++inside;
        } else if (dist > 0 && r - dist > 1e-3f * r) {
            ++outside; // a penetration that float precision can resolve
        } else {
            continue;
        }
        const Vector3 moved = {c.x - sep.x, c.y - sep.y, c.z - sep.z};
        ASSERT_EQ(SphereIntersectBox(lo, hi, moved, r, nullptr, nullptr), 0) << "case " << i;
        EXPECT_GT(DistanceToBox(lo, hi, moved), r) << "case " << i;
    }
    EXPECT_GT(inside, 100);
    EXPECT_GT(outside, 100);
}

TEST(MathBox, NotFiniteInAnyInputIsNoContactAndWritesNothing) {
    // Each case is a contact; then each of its input floats in turn is NaN,
    // +inf and -inf.
    using Test = int (*)(const float *in, Vector3 *first, Vector3 *second);
    const Test raySphere = [](const float *in, Vector3 *first, Vector3 *second) {
        return RayIntersectSphere({in[0], in[1], in[2]}, {in[3], in[4], in[5]},
                                  {in[6], in[7], in[8]}, in[9], first, second);
    };
    const Test rayBox = [](const float *in, Vector3 *first, Vector3 *second) {
        return RayIntersectBox({in[0], in[1], in[2]}, {in[3], in[4], in[5]}, {in[6], in[7], in[8]},
                               {in[9], in[10], in[11]}, first, second);
    };
    const Test sphereBox = [](const float *in, Vector3 *first, Vector3 *second) {
        return SphereIntersectBox({in[0], in[1], in[2]}, {in[3], in[4], in[5]},
                                  {in[6], in[7], in[8]}, in[9], first, second);
    };
    struct Case {
        const char *name;
        Test test;
        std::vector<float> in;
    };
    const Case cases[] = {
        {"ray-sphere", raySphere, {0, 0, -10, 0, 0, 2, 0, 0, 0, 1}},
        {"ray-sphere behind", raySphere, {0, 0, 10, 0, 0, 1, 0, 0, 0, 1}},
        {"ray-box from outside", rayBox, {-2, 0.5f, 0.5f, 1, 0, 0, 0, 0, 0, 1, 1, 1}},
        {"ray-box from inside", rayBox, {0.5f, 0.2f, 0.5f, 1, 0, 0, 0, 0, 0, 1, 1, 1}},
        {"sphere-box outside", sphereBox, {0, 0, 0, 2, 2, 2, 2.5f, 1, 1, 1}},
        {"sphere-box inside", sphereBox, {0, 0, 0, 2, 2, 2, 1, 0.25f, 1.5f, 0.5f}},
    };
    for (const Case &c : cases) {
        Vector3 first;
        Vector3 second;
        ASSERT_EQ(c.test(c.in.data(), &first, &second), 1) << c.name;
        for (size_t i = 0; i < c.in.size(); ++i) {
            for (const float bad : {std::numeric_limits<float>::quiet_NaN(),
                                    std::numeric_limits<float>::infinity(),
                                    -std::numeric_limits<float>::infinity()}) {
                std::vector<float> in = c.in;
                in[i] = bad;
                first = {7, 8, 9};
                second = {7, 8, 9};
                const std::string what =
                    std::string(c.name) + ", input " + std::to_string(i) + " " + std::to_string(bad);
                EXPECT_EQ(c.test(in.data(), &first, &second), 0) << what;
                EXPECT_EQ(V(first) + " / " + V(second), "7 8 9 / 7 8 9") << what;
                EXPECT_EQ(c.test(in.data(), nullptr, nullptr), 0) << what;
            }
        }
    }

    // Finite inputs whose answer would leave the float range: a radius whose
    // square overflows, a ray from near the edge of the range, a direction
    // too short for the distance (infinity times a zero component), pushes
    // out of a box that overflow. No contact, asked for outputs or not.
    const Case overflowing[] = {
        {"ray-sphere, huge radius", raySphere, {0, 0, -10, 0, 0, 1, 0, 0, 0, 1e20f}},
        {"ray-sphere, far origin", raySphere, {-3e38f, 0, 0, 1, 0, 0, 3e38f, 0, 0, 1}},
        {"ray-box, tiny direction", rayBox, {-3e38f, 0.5f, 0.5f, 1e-38f, 0, 0, 0, 0, 0, 1, 1, 1}},
        {"sphere-box inside, huge radius", sphereBox,
         {-FLT_MAX, -1, -1, FLT_MAX, 1, 1, 0, 0, 0, FLT_MAX}},
        {"sphere-box outside, huge radius", sphereBox, {0, 0, 0, 1, 1, 1, -1e19f, 0.5f, 0.5f, 3.4e38f}},
    };
    for (const Case &c : overflowing) {
        Vector3 first = {7, 8, 9};
        Vector3 second = {7, 8, 9};
        EXPECT_EQ(c.test(c.in.data(), &first, &second), 0) << c.name;
        EXPECT_EQ(V(first) + " / " + V(second), "7 8 9 / 7 8 9") << c.name;
        EXPECT_EQ(c.test(c.in.data(), nullptr, nullptr), 0) << c.name;
    }

    // The oriented forms: NaN in the matrix into box space reaches the box
    // test, and nothing comes back.
    Matrix toBox = Identity();
    toBox.m[3][1] = std::numeric_limits<float>::quiet_NaN();
    Vector3 hit = {7, 8, 9};
    Vector3 normal = {7, 8, 9};
    EXPECT_EQ(RayIntersectOrientedBox({-2, 0.5f, 0.5f}, {1, 0, 0}, {0, 0, 0}, {1, 1, 1}, Identity(),
                                      toBox, &hit, &normal),
              0);
    EXPECT_EQ(SphereIntersectOrientedBox({0, 0, 0}, {2, 2, 2}, Identity(), toBox, {1, 1, 1}, 0.5f,
                                         &hit, &normal),
              0);
    EXPECT_EQ(V(hit) + " / " + V(normal), "7 8 9 / 7 8 9");
}

TEST(MathBox, MergeBoxListMergesInOrder) {
    const AABox a = {{0, 0, 0}, {1, 1, 1}};
    const AABox far1 = {{10, 0, 0}, {11, 1, 1}};
    const AABox aNext = {{1, 0, 0}, {2, 1, 1}}; // fills the union with a exactly
    const AABox far2 = {{20, 0, 0}, {21, 1, 1}};
    const AABox far3 = {{30, 0, 0}, {31, 1, 1}};

    BoxList list = {a, far1, aNext, far2, far3};
    MergeBoxList(&list, 99, 1);
    EXPECT_EQ(Boxes(list), "0 0 0 / 2 1 1, 10 0 0 / 11 1 1, 20 0 0 / 21 1 1, 30 0 0 / 31 1 1");

    // A 100 per cent limit needs a ratio above 1: nothing merges.
    list = {a, aNext};
    MergeBoxList(&list, 100, 5);
    EXPECT_EQ(list.size(), 2u);
    // Zero passes do nothing; an empty list is fine.
    list = {a, aNext};
    MergeBoxList(&list, 50, 0);
    EXPECT_EQ(list.size(), 2u);
    list.clear();
    MergeBoxList(&list, 50, 3);
    EXPECT_TRUE(list.empty());
}

TEST(MathBox, MergeBoxListDefersTheBoxThatMovedUp) {
    // Three abutting unit boxes in a row. In the first pass box 0 absorbs
    // box 1; box 2 moves into place 1 and is compared only in the next pass.
    const AABox row[] = {{{0, 0, 0}, {1, 1, 1}}, {{1, 0, 0}, {2, 1, 1}}, {{2, 0, 0}, {3, 1, 1}}};
    BoxList list(std::begin(row), std::end(row));
    MergeBoxList(&list, 90, 1);
    EXPECT_EQ(Boxes(list), "0 0 0 / 2 1 1, 2 0 0 / 3 1 1");
    MergeBoxList(&list, 90, 1);
    EXPECT_EQ(Boxes(list), "0 0 0 / 3 1 1");

    // A sparse pair (two unit boxes at opposite corners of a 3-cube) merges
    // only at a low enough percentage.
    list = {{{0, 0, 0}, {1, 1, 1}}, {{2, 2, 2}, {3, 3, 3}}};
    MergeBoxList(&list, 8, 4); // ratio 2/27 = 7.4 %
    EXPECT_EQ(list.size(), 2u);
    MergeBoxList(&list, 7, 4);
    EXPECT_EQ(list.size(), 1u);
}

// --- noise -------------------------------------------------------------------

class MathNoise : public ::testing::Test {
  protected:
    void SetUp() override {
        SeedRand(1);
        DiscardNoiseTable();
    }
    void TearDown() override { DiscardNoiseTable(); }
};

TEST_F(MathNoise, KnownValuesAfterSeedOne) {
    EXPECT_EQ(Noise1D(0), -0.9599609375f);
    EXPECT_EQ(Rand(), 14122); // the table took exactly 4097 draws
    EXPECT_EQ(Noise1D(1), -0.9658203125f);
    EXPECT_EQ(Noise1D(0.5f), -0.962890625f);
    EXPECT_EQ(Noise1D(-0.5f), -0.95703125f); // extrapolated from entries 0 and 1
    EXPECT_EQ(Noise1D(4095.5f), -0.9453125f);
    EXPECT_EQ(Noise1D(-1.5f), -0.9453125f);
    EXPECT_EQ(Noise1D(4096), Noise1D(0));
}

TEST_F(MathNoise, PeriodAndIntegerPoints) {
    float table[4097];
    for (float &e : table) {
        e = static_cast<float>(Rand() & 2047) / 1024 - 1;
    }
    SeedRand(1);
    for (int n = 0; n < 8192; ++n) {
        ASSERT_EQ(Noise1D(static_cast<float>(n)), table[n & 4095]) << n;
    }
    Draw draw(8);
    for (int i = 0; i < 2000; ++i) {
        // Steps of 1/256 keep x + 4096 exact in a float.
        const float x = std::floor(draw.Uniform(0, 4096 * 256)) / 256;
        ASSERT_EQ(Noise1D(x), Noise1D(x + 4096)) << x;
        const float v = Noise1D(x);
        ASSERT_GE(v, -1.0f);
        ASSERT_LT(v, 1.0f);
    }
}

TEST_F(MathNoise, NonFiniteAndHugeInputs) {
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(Noise1D(std::numeric_limits<float>::quiet_NaN()), 0.0f);
    EXPECT_EQ(Noise1D(inf), 0.0f);
    EXPECT_EQ(Noise1D(-inf), 0.0f);
    for (float x : {1e30f, -1e30f, 2147483648.0f, -2147483648.0f, 3e9f, -3e9f,
                    std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()}) {
        EXPECT_TRUE(std::isfinite(Noise1D(x))) << x;
    }
    // Beyond the int range the value is what unlimited integers would give:
    // 2^32 + 4096 k is entry 0 (fraction 0); -2^32 is entry 0 with fraction 1,
    // that is entry 1; -2^31 - 256 is 3840 modulo 4096, with fraction 1.
    EXPECT_EQ(Noise1D(4294967296.0f), Noise1D(0));
    EXPECT_EQ(Noise1D(-4294967296.0f), Noise1D(1));
    EXPECT_EQ(Noise1D(-2147483648.0f), Noise1D(1));
    EXPECT_EQ(Noise1D(-2147483904.0f), Noise1D(3841));
    // Just inside the int range the ordinary formula agrees with that rule.
    EXPECT_EQ(Noise1D(-2147483520.0f), Noise1D(129)); // 128 mod 4096, plus 1
    EXPECT_EQ(Noise1D(2147483520.0f), Noise1D(3968));
}

TEST_F(MathNoise, DiscardRefillsFromTheCurrentSeed) {
    float seedOne[64];
    for (int n = 0; n < 64; ++n) {
        seedOne[n] = Noise1D(static_cast<float>(n));
    }
    SeedRand(77);
    DiscardNoiseTable();
    int differing = 0;
    for (int n = 0; n < 64; ++n) {
        differing += Noise1D(static_cast<float>(n)) != seedOne[n] ? 1 : 0;
    }
    EXPECT_GT(differing, 32);
    SeedRand(1);
    DiscardNoiseTable();
    EXPECT_EQ(Noise1D(10), seedOne[10]);
}
