#include "base/math.h"

#include "base/random.h"

#include <algorithm>
#include <cmath>

// Every function reads its inputs into locals before it writes an output, so
// outputs may alias inputs.

namespace {

float &At(Vector3 &v, int i) { return i == 0 ? v.x : (i == 1 ? v.y : v.z); }
float At(const Vector3 &v, int i) { return i == 0 ? v.x : (i == 1 ? v.y : v.z); }

// acos/asin of a value that rounding may have pushed just past +-1.
float SafeAcos(float c) { return std::acos(std::fmax(-1.0f, std::fmin(1.0f, c))); }
float SafeAsin(float s) { return std::asin(std::fmax(-1.0f, std::fmin(1.0f, s))); }

// A rotation by angle within the plane of the axes i and j, turning i
// toward j: the rotations about x (1, 2), y (2, 0) and z (0, 1).
void PlaneRotation(Matrix *out, float angle, int i, int j) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    MatrixIdentity(out);
    out->m[i][i] = c;
    out->m[i][j] = s;
    out->m[j][i] = -s;
    out->m[j][j] = c;
}

// Adjugate of m and the determinant by cofactor expansion along the first row.
// The 2x2 minors of the lower two rows (c*) and of the upper two rows (s*) are
// formed once and shared by the cofactors.
Matrix Adjugate(const Matrix &in, float *det) {
    const float(*a)[4] = in.m;
    const float s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
    const float s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
    const float s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
    const float s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
    const float s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
    const float s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
    const float c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
    const float c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
    const float c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
    const float c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
    const float c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
    const float c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];

    Matrix r;
    r.m[0][0] = a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3;
    r.m[0][1] = -a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3;
    r.m[0][2] = a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3;
    r.m[0][3] = -a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3;
    r.m[1][0] = -a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1;
    r.m[1][1] = a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1;
    r.m[1][2] = -a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1;
    r.m[1][3] = a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1;
    r.m[2][0] = a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0;
    r.m[2][1] = -a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0;
    r.m[2][2] = a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0;
    r.m[2][3] = -a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0;
    r.m[3][0] = -a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0;
    r.m[3][1] = a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0;
    r.m[3][2] = -a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0;
    r.m[3][3] = a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0;

    // Cofactors of the first row are the first column of the adjugate.
    *det = a[0][0] * r.m[0][0] + a[0][1] * r.m[1][0] + a[0][2] * r.m[2][0] + a[0][3] * r.m[3][0];
    return r;
}

float BoxVolume(const AABox &b) {
    return (b.max.x - b.min.x) * (b.max.y - b.min.y) * (b.max.z - b.min.z);
}

} // namespace

// --- vectors -----------------------------------------------------------------

float Vec3Length(const Vector3 &v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

float Vec3LengthSquared(const Vector3 &v) { return v.x * v.x + v.y * v.y + v.z * v.z; }

float Vec3Dot(const Vector3 &a, const Vector3 &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void Vec3Cross(Vector3 *out, const Vector3 &a, const Vector3 &b) { *out = Vec3Cross(a, b); }

void Vec3SplitAlongAxis(const Vector3 &v, const Vector3 &axis, Vector3 *outAlong,
                        Vector3 *outAcross) {
    const Vector3 across = Vec3Cross(Vec3Cross(axis, v), axis);
    const Vector3 along = Vec3Sub(v, across);
    if (outAlong) {
        *outAlong = along;
    }
    if (outAcross) {
        *outAcross = across;
    }
}

void Vec3DropOpposingPart(Vector3 *out, const Vector3 &v, const Vector3 &axis, Vector3 *outAlong) {
    const Vector3 vv = v;
    const Vector3 ax = axis;
    Vector3 along;
    Vector3 across;
    Vec3SplitAlongAxis(vv, ax, &along, &across);
    if (outAlong) {
        *outAlong = along;
    }
    if (Vec3Dot(Vec3Normalized(along), ax) > 0.0f) {
        *out = vv;
    } else {
        *out = across;
    }
}

Vector3 *Vec3Min(Vector3 *out, const Vector3 &a, const Vector3 &b) {
    *out = {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.z < b.z ? a.z : b.z};
    return out;
}

Vector3 *Vec3Max(Vector3 *out, const Vector3 &a, const Vector3 &b) {
    *out = {a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y, a.z > b.z ? a.z : b.z};
    return out;
}

void Vec3Lerp(Vector3 *out, const Vector3 &a, const Vector3 &b, float t) {
    *out = {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

void Vec4Lerp(Vector4 *out, const Vector4 &a, const Vector4 &b, float t) {
    *out = {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t,
            a.w + (b.w - a.w) * t};
}

void Vec3Normalize(Vector3 *out, const Vector3 &v) {
    const float len = Vec3Length(v);
    if (!(len <= 1e14f && len >= 1e-12f)) {
        *out = v;
        return;
    }
    *out = Vec3Scale(v, 1.0f / len);
}

Vector3 Vec3Normalized(const Vector3 &v) {
    Vector3 out;
    Vec3Normalize(&out, v);
    return out;
}

void Vec3TransformCoord(Vector3 *out, const Vector3 &v, const Matrix &m) {
    const Vector3 r = {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0],
                       v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1],
                       v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2]};
    *out = r;
}

void Vec3TransformNormal(Vector3 *out, const Vector3 &v, const Matrix &m) {
    const Vector3 r = {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
                       v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
                       v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
    *out = r;
}

void Vec3TransformByBasis(Vector3 *out, const Vector3 &v, const Basis &b) {
    const Vector3 r = {v.x * b.row[0].x + v.y * b.row[1].x + v.z * b.row[2].x,
                       v.x * b.row[0].y + v.y * b.row[1].y + v.z * b.row[2].y,
                       v.x * b.row[0].z + v.y * b.row[1].z + v.z * b.row[2].z};
    *out = r;
}

float Vec3Yaw(const Vector3 &v) {
    const Vector3 p = {v.x, 0.0f, v.z};
    const float len = Vec3Length(p);
    if (!(len <= 1e14f && len >= 1e-12f)) {
        return 0.0f;
    }
    const float angle = SafeAcos(p.z / len);
    return p.x / len < 0.0f ? -angle : angle;
}

float Vec3YawFromForward(const Vector3 &v) {
    const Vector3 p = Vec3Normalized({v.x, 0.0f, v.z});
    const float angle = SafeAcos(Vec3Dot(p, {0.0f, 0.0f, 1.0f}));
    return p.x < 0.0f ? -angle : angle;
}

float Vec3Pitch(const Vector3 &v) { return SafeAsin(Vec3Normalized(v).y); }

float YawBetweenPoints(const Vector3 &a, const Vector3 &b) { return Vec3Yaw(Vec3Sub(a, b)); }

float PitchBetweenPoints(const Vector3 &a, const Vector3 &b) { return Vec3Pitch(Vec3Sub(a, b)); }

void Rotate2D(float *x, float *y, float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const float x0 = *x;
    const float y0 = *y;
    *x = x0 * c + y0 * s;
    *y = y0 * c - x0 * s;
}

// --- matrices ----------------------------------------------------------------

void MatrixIdentity(Matrix *out) {
    *out = {};
    out->m[0][0] = out->m[1][1] = out->m[2][2] = out->m[3][3] = 1.0f;
}

void MatrixMultiply(Matrix *out, const Matrix &a, const Matrix &b) {
    Matrix r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
        }
    }
    *out = r;
}

Matrix *MatrixInverse(Matrix *out, const Matrix &m) {
    *out = m;
    float det;
    Matrix adj = Adjugate(*out, &det);
    if (!(std::fabs(det) >= 1e-5f)) {
        return nullptr;
    }
    const float inv = 1.0f / det;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            out->m[i][j] = adj.m[i][j] * inv;
        }
    }
    return out;
}

void MatrixAdjoint(Matrix *m) {
    float det;
    *m = Adjugate(*m, &det);
}

float MatrixLargestColumnLength(const Matrix &m) {
    float largest = 0.0f;
    for (int column = 0; column < 3; ++column) {
        float sum = 0.0f;
        for (int row = 0; row < 3; ++row) {
            sum += m.m[row][column] * m.m[row][column];
        }
        largest = std::max(largest, std::sqrt(sum));
    }
    return largest;
}

void MatrixScaling(Matrix *out, float sx, float sy, float sz) {
    MatrixIdentity(out);
    out->m[0][0] = sx;
    out->m[1][1] = sy;
    out->m[2][2] = sz;
}

void MatrixTranslation(Matrix *out, float x, float y, float z) {
    MatrixIdentity(out);
    out->m[3][0] = x;
    out->m[3][1] = y;
    out->m[3][2] = z;
}

void MatrixRotationX(Matrix *out, float angle) { PlaneRotation(out, angle, 1, 2); }

void MatrixRotationY(Matrix *out, float angle) { PlaneRotation(out, angle, 2, 0); }

void MatrixRotationZ(Matrix *out, float angle) { PlaneRotation(out, angle, 0, 1); }

void MatrixRotationYawPitchRoll(Matrix *out, float yaw, float pitch, float roll) {
    Matrix z;
    Matrix x;
    Matrix y;
    MatrixRotationZ(&z, roll);
    MatrixRotationX(&x, pitch);
    MatrixRotationY(&y, yaw);
    MatrixMultiply(&z, z, x);
    MatrixMultiply(out, z, y);
}

void MatrixFromQuaternion(Matrix *out, const Quaternion &q) {
    const float x = q.x;
    const float y = q.y;
    const float z = q.z;
    const float w = q.w;
    Matrix r = {};
    r.m[0][0] = x * x - y * y - z * z + w * w;
    r.m[1][1] = y * y - x * x - z * z + w * w;
    r.m[2][2] = z * z - x * x - y * y + w * w;
    r.m[0][1] = 2.0f * (x * y + z * w);
    r.m[1][0] = 2.0f * (x * y - z * w);
    r.m[0][2] = 2.0f * (x * z - y * w);
    r.m[2][0] = 2.0f * (x * z + y * w);
    r.m[1][2] = 2.0f * (y * z + x * w);
    r.m[2][1] = 2.0f * (y * z - x * w);
    r.m[3][3] = 1.0f;
    *out = r;
}

void MatrixLookAt(Matrix *out, const Vector3 &eye, const Vector3 &target, const Vector3 &up) {
    const Vector3 z = Vec3Normalized(Vec3Sub(target, eye));
    const Vector3 xr = Vec3Cross(up, z);
    const Vector3 yr = Vec3Cross(z, xr);
    const Vector3 x = Vec3Normalized(xr);
    const Vector3 y = Vec3Normalized(yr);
    const Matrix world = {{{x.x, x.y, x.z, 0.0f},
                           {y.x, y.y, y.z, 0.0f},
                           {z.x, z.y, z.z, 0.0f},
                           {eye.x, eye.y, eye.z, 1.0f}}};
    MatrixInverse(out, world);
}

void MatrixPerspectiveFov(Matrix *out, float fovY, float aspect, float zNear, float zFar) {
    const float h = 1.0f / std::tan(fovY / 2.0f);
    *out = {};
    out->m[0][0] = h / aspect;
    out->m[1][1] = h;
    out->m[2][2] = zFar / (zFar - zNear);
    out->m[2][3] = 1.0f;
    out->m[3][2] = -zNear * zFar / (zFar - zNear);
}

void Matrix3Inverse(Basis *out, const Basis &b) {
    Matrix m;
    MatrixIdentity(&m);
    for (int i = 0; i < 3; ++i) {
        m.m[i][0] = b.row[i].x;
        m.m[i][1] = b.row[i].y;
        m.m[i][2] = b.row[i].z;
    }
    MatrixInverse(&m, m);
    for (int i = 0; i < 3; ++i) {
        out->row[i] = {m.m[i][0], m.m[i][1], m.m[i][2]};
    }
}

void BasisFromDirection(Basis *out, const Vector3 &dir, const Vector3 &up) {
    const Vector3 r0 = dir;
    const Vector3 r1 = Vec3Cross(dir, up);
    const Vector3 r2 = Vec3Cross(r1, dir);
    out->row[0] = Vec3Normalized(r0);
    out->row[1] = Vec3Normalized(r1);
    out->row[2] = Vec3Normalized(r2);
}

// --- quaternions -------------------------------------------------------------

void QuaternionIdentity(Quaternion *out) { *out = {0.0f, 0.0f, 0.0f, 1.0f}; }

void QuaternionInverse(Quaternion *out, const Quaternion &q) {
    const float n = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    if (n == 0.0f) {
        QuaternionIdentity(out);
        return;
    }
    *out = {-q.x / n, -q.y / n, -q.z / n, q.w / n};
}

void QuaternionNormalize(Quaternion *out, const Quaternion &q) {
    const float len = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (len == 0.0f) {
        QuaternionIdentity(out);
        return;
    }
    *out = {q.x / len, q.y / len, q.z / len, q.w / len};
}

void QuaternionMultiply(Quaternion *out, const Quaternion &a, const Quaternion &b) {
    const Quaternion r = {a.w * b.x + a.x * b.w + a.z * b.y - a.y * b.z,
                          a.w * b.y + a.y * b.w + a.x * b.z - a.z * b.x,
                          a.w * b.z + a.z * b.w + a.y * b.x - a.x * b.y,
                          a.w * b.w - (a.x * b.x + a.y * b.y + a.z * b.z)};
    *out = r;
}

void QuaternionRotationAxis(Quaternion *out, const Vector3 &axis, float angle) {
    const float len = Vec3Length(axis);
    const Vector3 a = len >= 5e-10f ? Vec3Scale(axis, 1.0f / len) : Vector3{1.0f, 0.0f, 0.0f};
    const float s = std::sin(angle / 2.0f);
    *out = {a.x * s, a.y * s, a.z * s, std::cos(angle / 2.0f)};
}

void QuaternionToAxisAngle(const Quaternion &q, Vector3 *outAxis, float *outAngle) {
    Quaternion u = q;
    const float len = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (len > 5e-10f) {
        u = {q.x / len, q.y / len, q.z / len, q.w / len};
    }
    // Normalising can leave |w| a rounding step above 1.
    const float w = std::fmax(-1.0f, std::fmin(1.0f, u.w));
    const float angle = 2.0f * std::acos(w);
    const float s = std::sqrt(1.0f - w * w);
    const float divisor = s < 5e-10f ? 1.0f : s;
    if (outAxis) {
        *outAxis = {u.x / divisor, u.y / divisor, u.z / divisor};
    }
    if (outAngle) {
        *outAngle = angle;
    }
}

void QuaternionRotationYawPitchRoll(Quaternion *out, float yaw, float pitch, float roll) {
    Quaternion qr;
    Quaternion qp;
    Quaternion qy;
    QuaternionRotationAxis(&qr, {0.0f, 0.0f, 1.0f}, roll);
    QuaternionRotationAxis(&qp, {1.0f, 0.0f, 0.0f}, pitch);
    QuaternionRotationAxis(&qy, {0.0f, 1.0f, 0.0f}, yaw);
    QuaternionMultiply(&qr, qr, qp);
    QuaternionMultiply(out, qr, qy);
}

void QuaternionFromMatrix(Quaternion *out, const Matrix &mat) {
    const float(*m)[4] = mat.m;
    const float t = m[0][0] + m[1][1] + m[2][2] + 1.0f;
    // t is 4 w^2 and carries the rounding of three diagonal elements (a few
    // 1e-7). Below 1e-3 the trace formula would divide rounding noise by a
    // tiny w (a half turn could come back as no turn at all), so near a half
    // turn the largest diagonal element is used instead.
    Quaternion r;
    if (t > 1e-3f) {
        const float s = 0.5f / std::sqrt(t);
        r.w = 0.25f / s;
        r.x = (m[1][2] - m[2][1]) * s;
        r.y = (m[2][0] - m[0][2]) * s;
        r.z = (m[0][1] - m[1][0]) * s;
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        const float s = 2.0f * std::sqrt(1.0f + m[0][0] - m[1][1] - m[2][2]);
        r.x = 0.25f * s;
        r.y = (m[1][0] + m[0][1]) / s;
        r.z = (m[2][0] + m[0][2]) / s;
        r.w = (m[1][2] - m[2][1]) / s;
    } else if (m[1][1] > m[2][2]) {
        const float s = 2.0f * std::sqrt(1.0f + m[1][1] - m[0][0] - m[2][2]);
        r.x = (m[1][0] + m[0][1]) / s;
        r.y = 0.25f * s;
        r.z = (m[2][1] + m[1][2]) / s;
        r.w = (m[2][0] - m[0][2]) / s;
    } else {
        const float s = 2.0f * std::sqrt(1.0f + m[2][2] - m[0][0] - m[1][1]);
        r.x = (m[2][0] + m[0][2]) / s;
        r.y = (m[2][1] + m[1][2]) / s;
        r.z = 0.25f * s;
        r.w = (m[0][1] - m[1][0]) / s;
    }
    if (std::fabs(t) < 0.002f) {
        QuaternionNormalize(&r, r);
    }
    *out = r;
}

void QuaternionLookAt(Quaternion *out, const Vector3 &direction, const Vector3 &up) {
    Matrix view;
    MatrixLookAt(&view, {0.0f, 0.0f, 0.0f}, Vec3Normalized(direction), up);
    MatrixInverse(&view, view);
    QuaternionFromMatrix(out, view);
}

void QuaternionSlerp(Quaternion *out, const Quaternion &a, const Quaternion &b, float t) {
    const float c = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    const float ac = std::fabs(c);
    float wa;
    float wb;
    if (1.0f - ac < 0.01f) {
        wa = 1.0f - t;
        wb = t;
    } else {
        const float theta = std::acos(ac);
        const float st = std::sin(theta);
        wa = std::sin((1.0f - t) * theta) / st;
        wb = std::sin(t * theta) / st;
    }
    if (c < 0.0f) {
        wa = -wa;
    }
    *out = {wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w};
}

// --- planes, boxes and intersections ----------------------------------------

void PlaneFromPointNormal(Plane *out, const Vector3 &point, const Vector3 &normal) {
    *out = {normal.x, normal.y, normal.z, -Vec3Dot(normal, point)};
}

int PointInBox(const Vector3 &min, const Vector3 &max, const Vector3 &p) {
    return min.x < p.x && p.x < max.x && min.y < p.y && p.y < max.y && min.z < p.z && p.z < max.z
               ? 1
               : 0;
}

void BoxTransformBounds(Vector3 *outMin, Vector3 *outMax, const Vector3 &min, const Vector3 &max,
                        const Matrix &m) {
    const Vector3 lo = min;
    const Vector3 hi = max;
    Vector3 rMin = {1e38f, 1e38f, 1e38f};
    Vector3 rMax = {-1e38f, -1e38f, -1e38f};
    for (int corner = 0; corner < 8; ++corner) {
        const Vector3 p = {(corner & 1) ? hi.x : lo.x, (corner & 2) ? hi.y : lo.y,
                           (corner & 4) ? hi.z : lo.z};
        Vector3 t;
        Vec3TransformCoord(&t, p, m);
        Vec3Min(&rMin, rMin, t);
        Vec3Max(&rMax, rMax, t);
    }
    *outMin = rMin;
    *outMax = rMax;
}

int RayIntersectSphere(const Vector3 &origin, const Vector3 &dir, const Vector3 &centre,
                       float radius, Vector3 *outHit, Vector3 *outNormal) {
    if (!Vec3IsFinite(origin) || !Vec3IsFinite(dir) || !Vec3IsFinite(centre) ||
        !std::isfinite(radius)) {
        return 0;
    }
    const Vector3 o = origin;
    const Vector3 c = centre;
    const Vector3 d = Vec3Normalized(dir);
    const Vector3 l = Vec3Sub(c, o);
    const float tc = Vec3Dot(l, d);
    const float disc = radius * radius - (Vec3Dot(l, l) - tc * tc);
    // A discriminant past the float range (or not a number) gives no finite hit.
    if (!(disc >= 0.0f) || !std::isfinite(disc)) {
        return 0;
    }
    const float t = tc - std::sqrt(disc);
    const Vector3 hit = {o.x + d.x * t, o.y + d.y * t, o.z + d.z * t};
    Vector3 normal;
    Vec3Normalize(&normal, Vec3Sub(hit, c));
    if (!Vec3IsFinite(hit) || !Vec3IsFinite(normal)) {
        return 0;
    }
    if (outHit) {
        *outHit = hit;
        if (outNormal) {
            *outNormal = normal;
        }
    }
    return 1;
}

int RayIntersectBox(const Vector3 &origin, const Vector3 &dir, const Vector3 &min,
                    const Vector3 &max, Vector3 *outHit, Vector3 *outNormal) {
    if (!Vec3IsFinite(origin) || !Vec3IsFinite(dir) || !Vec3IsFinite(min) ||
        !Vec3IsFinite(max)) {
        return 0;
    }
    enum Side { kBelow, kAbove, kMiddle };
    const Vector3 o = origin;
    const Vector3 d = dir;
    const Vector3 lo = min;
    const Vector3 hi = max;
    Side side[3];
    float candidate[3] = {0.0f, 0.0f, 0.0f};
    bool inside = true;
    for (int i = 0; i < 3; ++i) {
        if (At(o, i) < At(lo, i)) {
            side[i] = kBelow;
            candidate[i] = At(lo, i);
            inside = false;
        } else if (At(o, i) > At(hi, i)) {
            side[i] = kAbove;
            candidate[i] = At(hi, i);
            inside = false;
        } else {
            side[i] = kMiddle;
        }
    }
    if (inside) {
        if (outHit) {
            *outHit = o;
        }
        if (outNormal) {
            *outNormal = {0.0f, 1.0f, 0.0f};
        }
        return 1;
    }

    float t[3];
    for (int i = 0; i < 3; ++i) {
        t[i] =
            (side[i] != kMiddle && At(d, i) != 0.0f) ? (candidate[i] - At(o, i)) / At(d, i) : -1.0f;
    }
    int plane = 0;
    for (int i = 1; i < 3; ++i) {
        if (t[i] > t[plane]) {
            plane = i;
        }
    }
    if (t[plane] < 0.0f) {
        return 0;
    }
    // A hit past the float range (a direction too short for the distance)
    // is no hit.
    Vector3 hit;
    for (int i = 0; i < 3; ++i) {
        float coord;
        if (i == plane) {
            coord = candidate[i];
        } else {
            coord = At(o, i) + t[plane] * At(d, i);
            if (!std::isfinite(coord) || coord < At(lo, i) || coord > At(hi, i)) {
                return 0;
            }
        }
        At(hit, i) = coord;
    }
    if (outHit) {
        *outHit = hit;
    }
    if (outNormal) {
        Vector3 n = {0.0f, 0.0f, 0.0f};
        At(n, plane) = side[plane] == kBelow ? -1.0f : 1.0f;
        *outNormal = n;
    }
    return 1;
}

int RayIntersectOrientedBox(const Vector3 &origin, const Vector3 &dir, const Vector3 &min,
                            const Vector3 &max, const Matrix &boxToWorld, const Matrix &worldToBox,
                            Vector3 *outHit, Vector3 *outNormal) {
    const Matrix toWorld = boxToWorld;
    Vector3 o;
    Vector3 d;
    Vec3TransformCoord(&o, origin, worldToBox);
    Vec3TransformNormal(&d, dir, worldToBox);
    Vector3 hit;
    Vector3 normal;
    if (!RayIntersectBox(o, d, min, max, &hit, &normal)) {
        return 0;
    }
    if (outHit) {
        Vec3TransformCoord(outHit, hit, toWorld);
    }
    if (outNormal) {
        Vec3TransformNormal(outNormal, normal, toWorld);
    }
    return 1;
}

int SphereIntersectBox(const Vector3 &min, const Vector3 &max, const Vector3 &centre, float radius,
                       Vector3 *outSeparation, Vector3 *outPoint) {
    if (!Vec3IsFinite(min) || !Vec3IsFinite(max) || !Vec3IsFinite(centre) ||
        !std::isfinite(radius)) {
        return 0;
    }
    const Vector3 lo = min;
    const Vector3 hi = max;
    const Vector3 c = centre;
    for (int i = 0; i < 3; ++i) {
        if (At(lo, i) - radius >= At(c, i) || At(hi, i) + radius <= At(c, i)) {
            return 0;
        }
    }

    // The outputs are worked out whether or not they are asked for: a push
    // past the float range (a sphere too large) is no contact.
    if (PointInBox(lo, hi, c)) {
        // The nearest face on the centre's side of each axis; the closest wins.
        // A box too large for any face to beat the start value uses axis 0.
        int axis = 0;
        float face[3];
        float distance[3];
        float best = 1e11f;
        for (int i = 0; i < 3; ++i) {
            const float mid = (At(lo, i) + At(hi, i)) / 2.0f;
            face[i] = At(c, i) - mid > 0.0f ? At(hi, i) : At(lo, i);
            distance[i] = std::fabs(face[i] - At(c, i));
            if (distance[i] < best) {
                best = distance[i];
                axis = i;
            }
        }
        const float mid = (At(lo, axis) + At(hi, axis)) / 2.0f;
        const float push = (distance[axis] + radius) * 1.001f;
        if (!std::isfinite(push)) {
            return 0;
        }
        if (outSeparation) {
            Vector3 s = {0.0f, 0.0f, 0.0f};
            At(s, axis) = At(c, axis) - mid <= 0.0f ? push : -push;
            *outSeparation = s;
        }
        if (outPoint) {
            Vector3 p = c;
            At(p, axis) = face[axis];
            *outPoint = p;
        }
        return 1;
    }

    const Vector3 q = {std::fmax(lo.x, std::fmin(c.x, hi.x)), std::fmax(lo.y, std::fmin(c.y, hi.y)),
                       std::fmax(lo.z, std::fmin(c.z, hi.z))};
    const Vector3 delta = Vec3Sub(q, c);
    const float depth = Vec3Length(delta) - radius;
    if (depth >= 0.0f) {
        return 0;
    }
    const Vector3 separation = Vec3Scale(Vec3Normalized(delta), -1.002f * depth);
    if (!Vec3IsFinite(separation)) {
        return 0;
    }
    if (outSeparation) {
        *outSeparation = separation;
    }
    return 1;
}

int SphereIntersectOrientedBox(const Vector3 &min, const Vector3 &max, const Matrix &boxToWorld,
                               const Matrix &worldToBox, const Vector3 &centre, float radius,
                               Vector3 *outSeparation, Vector3 *outPoint) {
    const Matrix toWorld = boxToWorld;
    Vector3 c;
    Vec3TransformCoord(&c, centre, worldToBox);
    Vector3 separation;
    if (!SphereIntersectBox(min, max, c, radius, outSeparation ? &separation : nullptr, outPoint)) {
        return 0;
    }
    if (outSeparation) {
        Vec3TransformNormal(outSeparation, separation, toWorld);
    }
    return 1;
}

void MergeBoxList(BoxList *list, float percent, int passes) {
    const float limit = percent * 0.01f;
    BoxList &boxes = *list;
    for (int pass = 0; pass < passes && boxes.size() > 1; ++pass) {
        for (size_t i = 0; i < boxes.size(); ++i) {
            float volI = BoxVolume(boxes[i]);
            size_t j = i + 1;
            while (j < boxes.size()) {
                const AABox &a = boxes[i];
                const AABox &b = boxes[j];
                const float volJ = BoxVolume(b);
                AABox u;
                Vec3Min(&u.min, a.min, b.min);
                Vec3Max(&u.max, a.max, b.max);
                const float volU = BoxVolume(u);
                Vector3 lo;
                Vector3 hi;
                Vec3Max(&lo, a.min, b.min);
                Vec3Min(&hi, a.max, b.max);
                const float ox = std::fmax(hi.x - lo.x, 0.0f);
                const float oy = std::fmax(hi.y - lo.y, 0.0f);
                const float oz = std::fmax(hi.z - lo.z, 0.0f);
                const float volO = ox * oy * oz;
                const float ratio = volU > 1e-6f ? (volJ + volI - volO) / volU : 0.0f;
                if (ratio > limit) {
                    boxes[i] = u;
                    volI = volU;
                    boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(j));
                }
                // After a merge the box that moved into place j waits for the
                // next pass.
                ++j;
            }
        }
    }
}

// --- noise -------------------------------------------------------------------

namespace {

constexpr int kNoiseSize = 4096;
float g_noiseTable[kNoiseSize + 1];
bool g_noiseReady = false;

void FillNoiseTable() {
    for (float &entry : g_noiseTable) {
        entry = static_cast<float>(Rand() & 2047) / 1024.0f - 1.0f;
    }
    g_noiseTable[kNoiseSize] = g_noiseTable[0];
    g_noiseReady = true;
}

} // namespace

float Noise1D(float x) {
    if (!g_noiseReady) {
        FillNoiseTable();
    }
    if (!std::isfinite(x)) {
        return 0.0f;
    }
    int k;
    float f;
    if (std::fabs(x) < 2147483648.0f) {
        const int n = static_cast<int>(x);
        f = x - static_cast<float>(n);
        if (n < 0) {
            f += 1.0f;
        }
        k = n & (kNoiseSize - 1);
    } else {
        // Beyond the int range every float is integral: the fraction is 0
        // (1 below zero, as for any negative integer) and the index is x
        // modulo 4096 taken as a two's-complement integer would give it.
        k = static_cast<int>(std::fmod(x, static_cast<float>(kNoiseSize))) & (kNoiseSize - 1);
        f = x < 0.0f ? 1.0f : 0.0f;
    }
    return g_noiseTable[k] + (g_noiseTable[k + 1] - g_noiseTable[k]) * f;
}

void DiscardNoiseTable() { g_noiseReady = false; }

float AtLeast(float value, float floor) {
    // NaN is not at least anything.
    return value >= floor ? value : floor;
}

int64_t TruncateInRange(float value, int64_t lo, int64_t hi) {
    // 2^63: every float whose size is below it converts to int64_t.
    constexpr float kLimit = 9223372036854775808.0f;
    if (!(value >= -kLimit)) {
        return lo; // also NaN
    }
    if (value >= kLimit) {
        return hi;
    }
    const auto whole = static_cast<int64_t>(value);
    return whole < lo ? lo : whole > hi ? hi : whole;
}

uint32_t PackColorChannel(float c) {
    if (!(c > 0.0f)) {
        return 0; // also NaN
    }
    if (c >= 1.0f) {
        return 255;
    }
    return static_cast<uint32_t>(c * 255.0f + 0.5f);
}

uint32_t PackColor(float r, float g, float b, float a) {
    return (PackColorChannel(a) << 24) | (PackColorChannel(r) << 16) | (PackColorChannel(g) << 8) |
           PackColorChannel(b);
}
