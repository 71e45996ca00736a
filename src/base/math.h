// The engine's small linear-algebra library.
//
// Conventions used by the whole engine:
// - angles are radians;
// - matrices take row vectors: a point is the row (x, y, z, 1) multiplied on
//   the left, p' = p x M, and the translation stands in the fourth row
//   (m[3][0], m[3][1], m[3][2]);
// - a product A x B applies A first, then B;
// - QuaternionMultiply(a, b) is the rotation a followed by the rotation b;
// - yaw, pitch and roll compose as roll about Z, then pitch about X, then
//   yaw about Y.
//
// Every function is a free function on plain float structures. Outputs come
// first and are pointers (the small vector sums, differences, products and
// unit vectors also come as value forms that return their result); every
// function may be called with an output equal to one of its inputs. Optional
// outputs may be null. Nothing allocates except the noise table, which is
// filled once on first use.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

struct Vector2 {
    float x, y;
};

struct Vector3 {
    float x, y, z;
};

struct Vector4 {
    float x, y, z, w;
};

// Rotation quaternion; w is the scalar part, the identity is (0, 0, 0, 1).
struct Quaternion {
    float x, y, z, w;
};

// 4x4 matrix, row-major: m[0][0] is m11, m[0][1] is m12, ..., m[3][3] is m44.
struct Matrix {
    float m[4][4];
};

// (a, b, c) is the normal; p lies on the plane when a px + b py + c pz + d = 0.
struct Plane {
    float a, b, c, d;
};

// Axis-aligned box.
struct AABox {
    Vector3 min;
    Vector3 max;
};

// 3x3 basis of three row vectors.
struct Basis {
    Vector3 row[3];
};

// A list of boxes that MergeBoxList edits in place.
using BoxList = std::vector<AABox>;

static_assert(sizeof(Vector3) == 12 && sizeof(Quaternion) == 16 && sizeof(Matrix) == 64 &&
              sizeof(AABox) == 24);

// --- vectors -----------------------------------------------------------------

float Vec3Length(const Vector3 &v);
float Vec3LengthSquared(const Vector3 &v);
float Vec3Dot(const Vector3 &a, const Vector3 &b);
void Vec3Cross(Vector3 *out, const Vector3 &a, const Vector3 &b);

// Value forms: a + b, a - b, v s and a x b, component by component.
inline Vector3 Vec3Add(const Vector3 &a, const Vector3 &b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vector3 Vec3Sub(const Vector3 &a, const Vector3 &b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vector3 Vec3Scale(const Vector3 &v, float s) { return {v.x * s, v.y * s, v.z * s}; }
inline Vector3 Vec3Cross(const Vector3 &a, const Vector3 &b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// Whether any component is not a number.
inline bool Vec3HasNaN(const Vector3 &v) { return v.x != v.x || v.y != v.y || v.z != v.z; }
// Whether every component is finite (neither a NaN nor an infinity).
inline bool Vec3IsFinite(const Vector3 &v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
// Whether all sixteen elements are finite.
inline bool MatrixIsFinite(const Matrix &m) {
    for (const auto &row : m.m) {
        for (float element : row) {
            if (!std::isfinite(element)) {
                return false;
            }
        }
    }
    return true;
}

// across = (axis x v) x axis, along = v - across. The axis is used as given
// (pass a unit axis). Either output may be null.
void Vec3SplitAlongAxis(const Vector3 &v, const Vector3 &axis, Vector3 *outAlong,
                        Vector3 *outAcross);

// Removes from v the part that points against the axis: out = v when the along
// part points with the axis, else the across part. outAlong may be null.
void Vec3DropOpposingPart(Vector3 *out, const Vector3 &v, const Vector3 &axis, Vector3 *outAlong);

Vector3 *Vec3Min(Vector3 *out, const Vector3 &a, const Vector3 &b);
Vector3 *Vec3Max(Vector3 *out, const Vector3 &a, const Vector3 &b);
void Vec3Lerp(Vector3 *out, const Vector3 &a, const Vector3 &b, float t);
void Vec4Lerp(Vector4 *out, const Vector4 &a, const Vector4 &b, float t);

// Unit vector of v; a vector longer than 1e14, shorter than 1e-12 or not a
// number is returned unchanged (never zeroed or replaced by an axis).
void Vec3Normalize(Vector3 *out, const Vector3 &v);
// The same as a value.
Vector3 Vec3Normalized(const Vector3 &v);

// (x, y, z, 1) x M, first three components, no division by w.
void Vec3TransformCoord(Vector3 *out, const Vector3 &v, const Matrix &m);
// (x, y, z) x the upper-left 3x3 of M.
void Vec3TransformNormal(Vector3 *out, const Vector3 &v, const Matrix &m);
// out_i = x B[0][i] + y B[1][i] + z B[2][i].
void Vec3TransformByBasis(Vector3 *out, const Vector3 &v, const Basis &b);

// Heading about the Y axis: +Z gives 0, +X gives +pi/2, -X gives -pi/2.
float Vec3Yaw(const Vector3 &v);
float Vec3YawFromForward(const Vector3 &v);
float Vec3Pitch(const Vector3 &v);
float YawBetweenPoints(const Vector3 &a, const Vector3 &b);
float PitchBetweenPoints(const Vector3 &a, const Vector3 &b);

// x' = x cos + y sin, y' = y cos - x sin.
void Rotate2D(float *x, float *y, float angle);

// --- matrices ----------------------------------------------------------------

void MatrixIdentity(Matrix *out);
void MatrixMultiply(Matrix *out, const Matrix &a, const Matrix &b);

// Returns out, or null when |determinant| < 1e-5 (or not a number); out then
// holds an unchanged copy of M.
Matrix *MatrixInverse(Matrix *out, const Matrix &m);

// Replaces M by its adjugate (transposed cofactor matrix).
void MatrixAdjoint(Matrix *m);

// The longest of the three columns of the upper-left 3x3: the largest
// stretch the matrix gives a direction along an axis. A column that is not a
// number is passed over.
float MatrixLargestColumnLength(const Matrix &m);

void MatrixScaling(Matrix *out, float sx, float sy, float sz);
void MatrixTranslation(Matrix *out, float x, float y, float z);
void MatrixRotationX(Matrix *out, float angle);
void MatrixRotationY(Matrix *out, float angle);
void MatrixRotationZ(Matrix *out, float angle);
// RotationZ(roll) x RotationX(pitch) x RotationY(yaw).
void MatrixRotationYawPitchRoll(Matrix *out, float yaw, float pitch, float roll);
void MatrixFromQuaternion(Matrix *out, const Quaternion &q);
// Left-handed view matrix. When eye equals target, out is the (singular)
// camera matrix itself.
void MatrixLookAt(Matrix *out, const Vector3 &eye, const Vector3 &target, const Vector3 &up);
// Left-handed perspective projection.
void MatrixPerspectiveFov(Matrix *out, float fovY, float aspect, float zNear, float zFar);
// Inverse of a 3x3 basis (a singular one comes back unchanged).
void Matrix3Inverse(Basis *out, const Basis &b);
// Rows dir, dir x up, (dir x up) x dir, each normalised.
void BasisFromDirection(Basis *out, const Vector3 &dir, const Vector3 &up);

// --- quaternions -------------------------------------------------------------

void QuaternionIdentity(Quaternion *out);
// Conjugate over squared length; a zero quaternion gives the identity.
void QuaternionInverse(Quaternion *out, const Quaternion &q);
// q over its length; a zero quaternion gives the identity.
void QuaternionNormalize(Quaternion *out, const Quaternion &q);
// The rotation a followed by the rotation b.
void QuaternionMultiply(Quaternion *out, const Quaternion &a, const Quaternion &b);
// A near-zero axis rotates about X.
void QuaternionRotationAxis(Quaternion *out, const Vector3 &axis, float angle);
// Either output may be null. The identity gives angle 0 and axis (0, 0, 0).
void QuaternionToAxisAngle(const Quaternion &q, Vector3 *outAxis, float *outAngle);
void QuaternionRotationYawPitchRoll(Quaternion *out, float yaw, float pitch, float roll);
void QuaternionFromMatrix(Quaternion *out, const Matrix &m);
void QuaternionLookAt(Quaternion *out, const Vector3 &direction, const Vector3 &up);
// Shorter-arc blend, not normalised afterwards.
void QuaternionSlerp(Quaternion *out, const Quaternion &a, const Quaternion &b, float t);

// --- planes, boxes and intersections ----------------------------------------
// Tests return 1 for contact and 0 for none; output pointers may be null.

// The normal is used as given (not normalised).
void PlaneFromPointNormal(Plane *out, const Vector3 &point, const Vector3 &normal);

// 1 when min < p < max on all three axes; a point on a face is outside.
int PointInBox(const Vector3 &min, const Vector3 &max, const Vector3 &p);

// Bounds of the eight transformed corners of the box.
void BoxTransformBounds(Vector3 *outMin, Vector3 *outMax, const Vector3 &min, const Vector3 &max,
                        const Matrix &m);

// The intersection tests below answer 0 and write nothing when any input
// is not finite (a NaN or an infinity), and answer a contact only with
// finite outputs: one whose outputs would not be finite is no contact.

// Hits the line through the sphere: a sphere behind the origin counts too.
int RayIntersectSphere(const Vector3 &origin, const Vector3 &dir, const Vector3 &centre,
                       float radius, Vector3 *outHit, Vector3 *outNormal);

// Slab test. From inside the box the hit is the origin and the normal (0, 1, 0).
int RayIntersectBox(const Vector3 &origin, const Vector3 &dir, const Vector3 &min,
                    const Vector3 &max, Vector3 *outHit, Vector3 *outNormal);

// RayIntersectBox in box space; the results are taken back to world space
// (the normal is not renormalised).
int RayIntersectOrientedBox(const Vector3 &origin, const Vector3 &dir, const Vector3 &min,
                            const Vector3 &max, const Matrix &boxToWorld, const Matrix &worldToBox,
                            Vector3 *outHit, Vector3 *outNormal);

// On contact, moving the sphere by -outSeparation clears the box with a small
// gap. outPoint is written only when the centre is strictly inside the box.
// Touching is no contact.
int SphereIntersectBox(const Vector3 &min, const Vector3 &max, const Vector3 &centre, float radius,
                       Vector3 *outSeparation, Vector3 *outPoint);

// SphereIntersectBox in box space; outSeparation is taken back to world space,
// outPoint stays in box space.
int SphereIntersectOrientedBox(const Vector3 &min, const Vector3 &max, const Matrix &boxToWorld,
                               const Matrix &worldToBox, const Vector3 &centre, float radius,
                               Vector3 *outSeparation, Vector3 *outPoint);

// Merges boxes whose union is filled by more than percent per cent, keeping
// the order of the list; at most `passes` passes.
void MergeBoxList(BoxList *list, float percent, int passes);

// --- noise -------------------------------------------------------------------

// Smooth 1-D value noise in [-1, 1), period 4096. The value table is filled
// from Rand() on first use. NaN and infinities give 0.
float Noise1D(float x);

// Discards the noise table so that the next Noise1D call refills it (tests).
void DiscardNoiseTable();

// --- scalars -----------------------------------------------------------------

// The value raised to the floor: a value below it, -infinity and NaN give
// the floor; any other value, +infinity included, stays.
float AtLeast(float value, float floor);

// The value truncated toward zero and held within [lo, hi] (lo <= hi): a
// value past either end, an infinity included, gives that end and NaN gives
// lo; any other value gives what static_cast gives. Where a float becomes an
// integer, this keeps the conversion defined for every float.
int64_t TruncateInRange(float value, int64_t lo, int64_t hi);

// One colour channel 0..1 as a byte: >= 1 -> 255, <= 0 or NaN -> 0, else
// trunc(c x 255 + 0.5).
uint32_t PackColorChannel(float c);
// Four channels as 0xAARRGGBB.
uint32_t PackColor(float r, float g, float b, float a);
