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

uint32_t CollisionGrid::BucketOf(int32_t x, int32_t y, int32_t z) const {
    uint32_t h = (static_cast<uint32_t>(x) * 73856093u) ^ (static_cast<uint32_t>(y) * 19349663u) ^
                 (static_cast<uint32_t>(z) * 83492791u);
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h & mask_;
}

void CollisionGrid::Build(const std::vector<Box> &boxes, size_t searchers) {
    loose_.clear();
    entries_.clear();
    placed_ = 0;
    searchLoad_ = 0;

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

    // The cells of every box, chained into their buckets from the last box
    // to the first; boxes over too many cells go aside. Most boxes take one
    // to eight cells: four buckets a box keep the chains short.
    size_t buckets = 16;
    while (buckets < 4 * boxes.size()) {
        buckets *= 2;
    }
    mask_ = static_cast<uint32_t>(buckets - 1);
    buckets_.assign(buckets, Bucket{kEnd, 0});
    upTo_.assign(boxes.size() + 1, 0);
    used_ = {{kCellLimit, kCellLimit, kCellLimit}, {-kCellLimit, -kCellLimit, -kCellLimit}};
    for (size_t i = boxes.size(); i-- > 0;) {
        const Box &box = boxes[i];
        if (!Placeable(box)) {
            if (box.use != Box::kSkip) {
                loose_.push_back(static_cast<uint32_t>(i));
            }
            upTo_[i] = static_cast<uint32_t>(entries_.size());
            continue;
        }
        // Each axis is held to the limit before the counts are multiplied:
        // a box over the whole grid would overflow the product.
        Range r;
        int64_t count = 1;
        for (int a = 0; a < 3 && count <= kMostCellsOfABox; ++a) {
            r.lo[a] = CellOf(Axis(box.lo, a));
            r.hi[a] = CellOf(Axis(box.hi, a));
            const int64_t across = static_cast<int64_t>(r.hi[a]) - r.lo[a] + 1;
            count = across > kMostCellsOfABox ? kMostCellsOfABox + 1 : count * across;
        }
        if (count > kMostCellsOfABox) {
            loose_.push_back(static_cast<uint32_t>(i));
            upTo_[i] = static_cast<uint32_t>(entries_.size());
            continue;
        }
        for (int a = 0; a < 3; ++a) {
            used_.lo[a] = std::min(used_.lo[a], r.lo[a]);
            used_.hi[a] = std::max(used_.hi[a], r.hi[a]);
        }
        const bool searcher = i < searchers;
        for (int32_t z = r.lo[2]; z <= r.hi[2]; ++z) {
            for (int32_t y = r.lo[1]; y <= r.hi[1]; ++y) {
                for (int32_t x = r.lo[0]; x <= r.hi[0]; ++x) {
                    Bucket &bucket = buckets_[BucketOf(x, y, z)];
                    entries_.push_back({static_cast<uint32_t>(i), bucket.head});
                    bucket.head = static_cast<uint32_t>(entries_.size() - 1);
                    // A searcher meets every entry placed there before it.
                    searchLoad_ += searcher ? bucket.count : 0;
                    ++bucket.count;
                }
            }
        }
        upTo_[i] = static_cast<uint32_t>(entries_.size());
        ++placed_;
    }
    std::reverse(loose_.begin(), loose_.end());
}

void CollisionGrid::AppendCells(const Range &range, std::vector<uint32_t> &out) const {
    for (int32_t z = range.lo[2]; z <= range.hi[2]; ++z) {
        for (int32_t y = range.lo[1]; y <= range.hi[1]; ++y) {
            for (int32_t x = range.lo[0]; x <= range.hi[0]; ++x) {
                for (uint32_t e = buckets_[BucketOf(x, y, z)].head; e != kEnd;
                     e = entries_[e].next) {
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

double CollisionGrid::SlabLow(int32_t i, double slack) const {
    return i == -kCellLimit ? -std::numeric_limits<double>::infinity()
                            : static_cast<double>(i) * cell_ - slack;
}

double CollisionGrid::SlabHigh(int32_t i, double slack) const {
    return i == kCellLimit ? std::numeric_limits<double>::infinity()
                           : static_cast<double>(i + 1) * cell_ + slack;
}

double CollisionGrid::SegmentWalk::Progress(const Vector3 &p) const {
    return (Axis(p, axis_) - from_[axis_]) * step_;
}

bool CollisionGrid::StartSegment(const Vector3 &from, const Vector3 &to, float pad,
                                 SegmentWalk &walk) const {
    walk = SegmentWalk();
    if (!Finite(from) || !Finite(to) || !std::isfinite(pad) || pad < 0.0f) {
        return false;
    }
    for (int a = 0; a < 3; ++a) {
        walk.from_[a] = Axis(from, a);
        walk.to_[a] = Axis(to, a);
    }
    int d = 0;
    for (int a = 1; a < 3; ++a) {
        if (std::fabs(walk.to_[a] - walk.from_[a]) > std::fabs(walk.to_[d] - walk.from_[d])) {
            d = a;
        }
    }
    walk.axis_ = d;
    walk.pad_ = pad;
    walk.budget_ = std::max(kLeastCellBudget, 4 * placed_);
    walk.reach_ = -std::numeric_limits<double>::infinity();
    const double length = walk.to_[d] - walk.from_[d];
    if (length == 0.0) { // a point: one search of the box around it
        walk.point_ = true;
        return true;
    }
    // Slab by slab of cells along the longest axis: the part of the segment
    // within `pad` of the slab, widened by `pad` across.
    walk.slack_ = walk.pad_ + cell_ * 1e-6;
    const double p = walk.pad_;
    const double near = std::min(walk.from_[d], walk.to_[d]);
    const double far = std::max(walk.from_[d], walk.to_[d]);
    const int32_t first = std::max(CellOf(near - p), used_.lo[d]);
    const int32_t last = std::min(CellOf(far + p), used_.hi[d]);
    if (length > 0.0) {
        walk.step_ = 1;
        walk.next_ = first;
        walk.last_ = last;
    } else {
        walk.step_ = -1;
        walk.next_ = last;
        walk.last_ = first;
    }
    walk.done_ = first > last;
    if (walk.done_) { // outside every placed box
        walk.reach_ = std::numeric_limits<double>::infinity();
    }
    return true;
}

bool CollisionGrid::SlabCells(const SegmentWalk &walk, int32_t i, Range &r, size_t &count) const {
    const int d = walk.axis_;
    const double *f = walk.from_;
    const double *t = walk.to_;
    const double near = std::min(f[d], t[d]);
    const double far = std::max(f[d], t[d]);
    const double s0 = std::max(SlabLow(i, walk.slack_), near);
    const double s1 = std::min(SlabHigh(i, walk.slack_), far);
    count = 0;
    if (s0 > s1) {
        return false;
    }
    const double length = t[d] - f[d];
    double u0 = std::clamp((s0 - f[d]) / length, 0.0, 1.0);
    double u1 = std::clamp((s1 - f[d]) / length, 0.0, 1.0);
    if (u0 > u1) {
        std::swap(u0, u1);
    }
    r.lo[d] = r.hi[d] = i;
    count = 1;
    for (int a = 0; a < 3; ++a) {
        if (a == d) {
            continue;
        }
        const double v0 = f[a] + (t[a] - f[a]) * u0;
        const double v1 = f[a] + (t[a] - f[a]) * u1;
        r.lo[a] = std::max(CellOf(std::min(v0, v1) - walk.slack_), used_.lo[a]);
        r.hi[a] = std::min(CellOf(std::max(v0, v1) + walk.slack_), used_.hi[a]);
        count = r.lo[a] > r.hi[a] ? 0 : count * (static_cast<size_t>(r.hi[a] - r.lo[a]) + 1);
    }
    return count > 0;
}

bool CollisionGrid::NextSlab(SegmentWalk &walk, std::vector<uint32_t> &out) const {
    if (walk.done_ || walk.overBudget_) {
        return false;
    }
    if (walk.point_) {
        walk.done_ = true;
        walk.reach_ = std::numeric_limits<double>::infinity();
        const Vector3 at = {static_cast<float>(walk.from_[0]), static_cast<float>(walk.from_[1]),
                            static_cast<float>(walk.from_[2])};
        const float p = static_cast<float>(walk.pad_);
        const size_t before = out.size();
        if (!Overlapping({at.x - p, at.y - p, at.z - p}, {at.x + p, at.y + p, at.z + p}, out)) {
            out.resize(before);
            walk.overBudget_ = true;
            return false;
        }
        return true;
    }
    const int32_t i = walk.next_;
    Range r;
    size_t count = 0;
    const bool any = SlabCells(walk, i, r, count);
    walk.visited_ += 1 + count;
    if (walk.visited_ > walk.budget_) {
        walk.overBudget_ = true;
        return false;
    }
    if (any) {
        AppendCells(r, out);
    }
    // A box first met in a later slab lies, near the segment, in a cell of
    // that slab: no nearer than the slab's edge less the slack.
    walk.done_ = i == walk.last_;
    walk.next_ = i + walk.step_;
    if (walk.done_) {
        walk.reach_ = std::numeric_limits<double>::infinity();
    } else {
        const double edge =
            walk.step_ > 0 ? SlabLow(walk.next_, walk.slack_) : SlabHigh(walk.next_, walk.slack_);
        walk.reach_ = (edge - walk.from_[walk.axis_]) * walk.step_;
    }
    return true;
}
