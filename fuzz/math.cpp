// Feeds arbitrary floats (NaN, infinities and denormals included) to the
// math routines that take the widest inputs, and checks the invariants that
// hold for every input: Noise1D stays finite and MergeBoxList never adds boxes.
#include "base/math.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class FloatReader {
  public:
    FloatReader(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

    // Four raw bytes as a float; zeros once the input runs out.
    float Float() {
        uint8_t bytes[4] = {0, 0, 0, 0};
        for (uint8_t &b : bytes) {
            b = Byte();
        }
        float f;
        std::memcpy(&f, bytes, sizeof f);
        return f;
    }

    Vector3 Vec() { return {Float(), Float(), Float()}; }
    Quaternion Quat() { return {Float(), Float(), Float(), Float()}; }

    bool Empty() const { return pos_ >= size_; }

  private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

void Check(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_math: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FloatReader in(data, size);
    const int boxCount = in.Byte() % 65;
    const int passes = in.Byte() % 8;

    Matrix m;
    for (auto &row : m.m) {
        for (float &e : row) {
            e = in.Float();
        }
    }
    Matrix inv;
    MatrixInverse(&inv, m);
    Quaternion q;
    QuaternionFromMatrix(&q, m);
    QuaternionFromMatrix(&q, inv);

    const Quaternion a = in.Quat();
    const Quaternion b = in.Quat();
    QuaternionSlerp(&q, a, b, in.Float());

    const Vector3 origin = in.Vec();
    const Vector3 dir = in.Vec();
    const Vector3 lo = in.Vec();
    const Vector3 hi = in.Vec();
    Vector3 hit, normal;
    RayIntersectBox(origin, dir, lo, hi, &hit, &normal);
    Vector3 separation, point;
    SphereIntersectBox(lo, hi, origin, in.Float(), &separation, &point);

    BoxList boxes;
    for (int i = 0; i < boxCount; ++i) {
        AABox box;
        box.min = in.Vec();
        box.max = in.Vec();
        boxes.push_back(box);
    }
    const size_t before = boxes.size();
    MergeBoxList(&boxes, in.Float(), passes);
    Check(boxes.size() <= before, "MergeBoxList added boxes");

    do {
        Check(std::isfinite(Noise1D(in.Float())), "Noise1D not finite");
    } while (!in.Empty());
    return 0;
}
