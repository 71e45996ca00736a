// The broadphase grid: boxes hashed into cells of one size, picked from the
// boxes themselves, and searched by box or along a segment.
#include "actors/world/collision_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Cells beyond this index on an axis are folded into the last one.
constexpr int32_t kCellLimit = 1 << 20;
// A box over more cells than this is kept aside.
constexpr int64_t kMostCellsOfABox = 27;
// A search may visit this many cells, or as many as there are placed boxes,
// before it answers that testing every box is cheaper.
constexpr size_t kLeastCellBudget = 64;
// The boxes the cell size is taken from, at most.
constexpr size_t kSampled = 512;

bool Finite(const Vector3 &v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

double Axis(const Vector3 &v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

bool Placeable(const CollisionGrid::Box &box) {
    return box.use == CollisionGrid::Box::kPlace && Finite(box.lo) && Finite(box.hi) &&
           box.lo.x <= box.hi.x && box.lo.y <= box.hi.y && box.lo.z <= box.hi.z;
}

size_t g_gridMinimum = 64;

} // namespace

size_t CollisionGridMinimum() { return g_gridMinimum; }

size_t SetCollisionGridMinimum(size_t objects) {
    const size_t previous = g_gridMinimum;
    g_gridMinimum = objects;
    return previous;
}

int32_t CollisionGrid::CellOf(double v) const {
    // Any order-keeping map of coordinates to cells finds every touching
    // pair; this one is floor(v / cell), held within the cell limit.
    double q = v * inverse_;
    q = q > -kCellLimit ? q : -kCellLimit; // not a number too
    q = q < kCellLimit ? q : kCellLimit;
    const auto cell = static_cast<int32_t>(q); // towards zero: one less below it
    return cell - static_cast<int32_t>(static_cast<double>(cell) > q);
}

uint32_t CollisionGrid::Bucket(int32_t x, int32_t y, int32_t z) const {
    uint32_t h = (static_cast<uint32_t>(x) * 73856093u) ^ (static_cast<uint32_t>(y) * 19349663u) ^
                 (static_cast<uint32_t>(z) * 83492791u);
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h & mask_;
}

void CollisionGrid::Build(const std::vector<Box> &boxes) {
    loose_.clear();
    entries_.clear();
    placed_ = 0;

    // The cell: four times the median extent of the boxes, and no smaller
    // than 1/65536 of their spread, both taken from at most kSampled boxes
    // spread over the list. The cell size only weighs the cost of a search
    // against the number of cells a box takes.
    std::vector<double> &extents = extents_;
    extents.clear();
    double low[3] = {0, 0, 0};
    double high[3] = {0, 0, 0};
    const size_t step = boxes.size() / kSampled + 1;
    for (size_t i = 0; i < boxes.size(); i += step) {
        const Box &box = boxes[i];
        if (!Placeable(box)) {
            continue;
        }
        double extent = 0.0;
        for (int a = 0; a < 3; ++a) {
            const double lo = Axis(box.lo, a);
            const double hi = Axis(box.hi, a);
            extent = std::max(extent, hi - lo);
            low[a] = extents.empty() ? lo : std::min(low[a], lo);
            high[a] = extents.empty() ? hi : std::max(high[a], hi);
        }
        extents.push_back(extent);
    }
    double cell = 1.0;
    if (!extents.empty()) {
        const auto middle = extents.begin() + static_cast<std::ptrdiff_t>(extents.size() / 2);
        std::nth_element(extents.begin(), middle, extents.end());
        const double spread = std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2]});
        cell = std::max(4.0 * *middle, spread / 65536.0);
        if (!(cell > 0.0) || !std::isfinite(cell)) {
            cell = 1.0;
        }
    }
    cell_ = cell;
    inverse_ = 1.0 / cell;

    // The cells of every box, chained into their buckets as they come;
    // boxes over too many cells go aside. Most boxes take one to eight
    // cells: four buckets a box keep the chains short.
    size_t buckets = 16;
    while (buckets < 4 * boxes.size()) {
        buckets *= 2;
    }
    mask_ = static_cast<uint32_t>(buckets - 1);
    heads_.assign(buckets, kEnd);
    used_ = {{kCellLimit, kCellLimit, kCellLimit}, {-kCellLimit, -kCellLimit, -kCellLimit}};
    for (size_t i = 0; i < boxes.size(); ++i) {
        const Box &box = boxes[i];
        if (!Placeable(box)) {
            if (box.use != Box::kSkip) {
                loose_.push_back(static_cast<uint32_t>(i));
            }
            continue;
        }
        Range r;
        int64_t count = 1;
        for (int a = 0; a < 3; ++a) {
            r.lo[a] = CellOf(Axis(box.lo, a));
            r.hi[a] = CellOf(Axis(box.hi, a));
            count *= static_cast<int64_t>(r.hi[a]) - r.lo[a] + 1;
        }
        if (count > kMostCellsOfABox) {
            loose_.push_back(static_cast<uint32_t>(i));
            continue;
        }
        for (int a = 0; a < 3; ++a) {
            used_.lo[a] = std::min(used_.lo[a], r.lo[a]);
            used_.hi[a] = std::max(used_.hi[a], r.hi[a]);
        }
        for (int32_t z = r.lo[2]; z <= r.hi[2]; ++z) {
            for (int32_t y = r.lo[1]; y <= r.hi[1]; ++y) {
                for (int32_t x = r.lo[0]; x <= r.hi[0]; ++x) {
                    uint32_t &head = heads_[Bucket(x, y, z)];
                    entries_.push_back({static_cast<uint32_t>(i), head});
                    head = static_cast<uint32_t>(entries_.size() - 1);
                }
            }
        }
        ++placed_;
    }
}

void CollisionGrid::AppendCells(const Range &range, std::vector<uint32_t> &out) const {
    for (int32_t z = range.lo[2]; z <= range.hi[2]; ++z) {
        for (int32_t y = range.lo[1]; y <= range.hi[1]; ++y) {
            for (int32_t x = range.lo[0]; x <= range.hi[0]; ++x) {
                for (uint32_t e = heads_[Bucket(x, y, z)]; e != kEnd; e = entries_[e].next) {
                    out.push_back(entries_[e].box);
                }
            }
        }
    }
}

bool CollisionGrid::Overlapping(const Vector3 &lo, const Vector3 &hi,
                                std::vector<uint32_t> &out) const {
    if (!Finite(lo) || !Finite(hi) || lo.x > hi.x || lo.y > hi.y || lo.z > hi.z) {
        return false;
    }
    Range r;
    size_t count = 1;
    for (int a = 0; a < 3; ++a) {
        r.lo[a] = std::max(CellOf(Axis(lo, a)), used_.lo[a]);
        r.hi[a] = std::min(CellOf(Axis(hi, a)), used_.hi[a]);
        if (r.lo[a] > r.hi[a]) {
            return true; // outside every placed box
        }
        count *= static_cast<size_t>(r.hi[a] - r.lo[a]) + 1;
    }
    if (count > std::max(kLeastCellBudget, placed_)) {
        return false;
    }
    AppendCells(r, out);
    return true;
}

bool CollisionGrid::AlongSegment(const Vector3 &from, const Vector3 &to, float pad,
                                 std::vector<uint32_t> &out) const {
    if (!Finite(from) || !Finite(to) || !std::isfinite(pad) || pad < 0.0f) {
        return false;
    }
    const double f[3] = {from.x, from.y, from.z};
    const double t[3] = {to.x, to.y, to.z};
    int d = 0;
    for (int a = 1; a < 3; ++a) {
        if (std::fabs(t[a] - f[a]) > std::fabs(t[d] - f[d])) {
            d = a;
        }
    }
    const double length = t[d] - f[d];
    if (length == 0.0) { // a point
        const Vector3 lo = {from.x - pad, from.y - pad, from.z - pad};
        const Vector3 hi = {from.x + pad, from.y + pad, from.z + pad};
        return Overlapping(lo, hi, out);
    }
    // Slab by slab of cells along the longest axis: the part of the segment
    // within `pad` of the slab, widened by `pad` across.
    const double p = pad;
    const double near = std::min(f[d], t[d]);
    const double far = std::max(f[d], t[d]);
    const int32_t first = std::max(CellOf(near - p), used_.lo[d]);
    const int32_t last = std::min(CellOf(far + p), used_.hi[d]);
    const size_t budget = std::max(kLeastCellBudget, 4 * placed_);
    const size_t before = out.size();
    size_t visited = 0;
    const double slack = p + cell_ * 1e-6;
    for (int32_t i = first; i <= last; ++i) {
        const double slabLo = i == -kCellLimit ? -std::numeric_limits<double>::infinity()
                                               : static_cast<double>(i) * cell_ - slack;
        const double slabHi = i == kCellLimit ? std::numeric_limits<double>::infinity()
                                              : static_cast<double>(i + 1) * cell_ + slack;
        const double s0 = std::max(slabLo, near);
        const double s1 = std::min(slabHi, far);
        ++visited;
        if (s0 > s1) {
            continue;
        }
        double u0 = std::clamp((s0 - f[d]) / length, 0.0, 1.0);
        double u1 = std::clamp((s1 - f[d]) / length, 0.0, 1.0);
        if (u0 > u1) {
            std::swap(u0, u1);
        }
        Range r;
        r.lo[d] = r.hi[d] = i;
        size_t count = 1;
        for (int a = 0; a < 3; ++a) {
            if (a == d) {
                continue;
            }
            const double v0 = f[a] + (t[a] - f[a]) * u0;
            const double v1 = f[a] + (t[a] - f[a]) * u1;
            r.lo[a] = std::max(CellOf(std::min(v0, v1) - slack), used_.lo[a]);
            r.hi[a] = std::min(CellOf(std::max(v0, v1) + slack), used_.hi[a]);
            count = r.lo[a] > r.hi[a] ? 0 : count * (static_cast<size_t>(r.hi[a] - r.lo[a]) + 1);
        }
        visited += count;
        if (visited > budget) {
            out.resize(before);
            return false;
        }
        if (count > 0) {
            AppendCells(r, out);
        }
    }
    return true;
}
