// A uniform grid over world boxes, the broadphase of the collision pass and
// of the ray query. A search answers every placed box that may touch what it
// asks about (closed boxes), perhaps more and perhaps some more than once;
// the caller tests each answer exactly. Boxes the grid cannot place in a few
// cells (unbounded, not finite, inverted or far larger than the cells) are
// kept aside in Loose() and never answered by a search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/math.h"

// The number of collision objects from which the pair walk and the ray
// query search a grid (see SetCollisionGridMinimum).
size_t CollisionGridMinimum();

class CollisionGrid {
  public:
    struct Box {
        enum : uint8_t { kPlace, kLoose, kSkip };
        Vector3 lo = {0, 0, 0};
        Vector3 hi = {0, 0, 0};
        uint8_t use = kPlace; // kSkip: neither placed nor aside
    };

    // Rebuilt from the boxes; an answer i stands for boxes[i]. The first
    // `searchers` boxes are those whose cells will be searched (see
    // SearchLoad).
    void Build(const std::vector<Box> &boxes, size_t searchers = 0);

    // Appends the placed boxes that may touch [lo, hi]; false (nothing
    // appended) when the box is not finite, inverted or covers so many
    // cells that testing every box costs less.
    bool Overlapping(const Vector3 &lo, const Vector3 &hi, std::vector<uint32_t> &out) const;

    // A walk through the cells along a segment, slab by slab of cells
    // across its longest axis, in the segment's own direction (see
    // StartSegment and NextSlab).
    class SegmentWalk {
      public:
        // How far from the start, along the walk's axis, a point lies.
        double Progress(const Vector3 &p) const;
        // No placed box that was not appended yet holds a point within the
        // pad of the segment less far along (Progress) than this.
        double Reach() const { return reach_; }
        // The walk gave up: visiting more cells would cost more than
        // testing every box.
        bool OverBudget() const { return overBudget_; }

      private:
        friend class CollisionGrid;
        double from_[3] = {0, 0, 0};
        double to_[3] = {0, 0, 0};
        double pad_ = 0.0;
        double slack_ = 0.0;
        int axis_ = 0;
        int32_t step_ = 1;  // +1 or -1: the way along the axis
        int32_t next_ = 0;  // the slab to visit next
        int32_t last_ = -1; // the last slab to visit
        bool point_ = false;
        bool done_ = false;
        bool overBudget_ = false;
        size_t visited_ = 0;
        size_t budget_ = 0;
        double reach_ = 0.0;
    };
    // Starts a walk along the segment from `from` to `to` for the placed
    // boxes that may come within `pad` of it; false when the segment or the
    // pad is not finite.
    bool StartSegment(const Vector3 &from, const Vector3 &to, float pad, SegmentWalk &walk) const;
    // Appends the boxes of the next slab of cells (some perhaps again);
    // false when the walk is over or over its budget.
    bool NextSlab(SegmentWalk &walk, std::vector<uint32_t> &out) const;

    // Calls visit(i, j), i < j, for every two placed boxes that share a
    // cell (or cells hashed alike), once for each such cell.
    template <class Visit> void ForEachPairInCells(Visit &&visit) const {
        for (const Entry &entry : entries_) {
            for (uint32_t q = entry.next; q != kEnd; q = entries_[q].next) {
                if (entries_[q].box != entry.box) {
                    visit(entry.box, entries_[q].box);
                }
            }
        }
    }

    bool Placed(uint32_t box) const {
        return box + 1 < upTo_.size() && upTo_[box + 1] < upTo_[box];
    }
    // Calls visit(j) for every placed box j >= i that shares a cell (or a
    // cell hashed alike) with placed box i, once for each such cell;
    // nothing for a box that is not placed.
    template <class Visit> void ForEachLaterInCellsOf(uint32_t box, Visit &&visit) const {
        if (!Placed(box)) {
            return;
        }
        for (uint32_t e = upTo_[box + 1]; e < upTo_[box]; ++e) {
            for (uint32_t q = entries_[e].next; q != kEnd; q = entries_[q].next) {
                visit(entries_[q].box);
            }
        }
    }
    // The calls ForEachLaterInCellsOf makes over the first `searchers` boxes
    // that Build was told of.
    size_t SearchLoad() const { return searchLoad_; }

    // The boxes set aside, in index order.
    const std::vector<uint32_t> &Loose() const { return loose_; }
    size_t PlacedCount() const { return placed_; }

  private:
    struct Range {
        int32_t lo[3];
        int32_t hi[3];
    };
    // A box in one cell. The boxes are placed from the last to the first,
    // and the cells hashed alike chain their entries from the one placed
    // last: from an entry the chain leads to the entries of the later boxes.
    struct Entry {
        uint32_t box;
        uint32_t next;
    };
    // The cells hashed alike: the entry placed there last, and how many.
    struct Bucket {
        uint32_t head;
        uint32_t count;
    };
    static constexpr uint32_t kEnd = 0xFFFFFFFFu;
    int32_t CellOf(double v) const;
    uint32_t BucketOf(int32_t x, int32_t y, int32_t z) const;
    // Appends the entries of every cell of the range.
    void AppendCells(const Range &range, std::vector<uint32_t> &out) const;
    // The cells of the walk's slab i, across the walk's axis; false when
    // the segment does not pass within the pad of the slab.
    bool SlabCells(const SegmentWalk &walk, int32_t i, Range &r, size_t &count) const;
    double SlabLow(int32_t i, double slack) const;
    double SlabHigh(int32_t i, double slack) const;

    double inverse_ = 1.0; // cells per unit
    double cell_ = 1.0;
    uint32_t mask_ = 0;
    size_t placed_ = 0;
    Range used_ = {{0, 0, 0}, {-1, -1, -1}};
    std::vector<Bucket> buckets_;
    // Per box, the end of its entries: box i has [upTo_[i + 1], upTo_[i]).
    std::vector<uint32_t> upTo_;
    size_t searchLoad_ = 0;
    std::vector<Entry> entries_;
    std::vector<uint32_t> loose_;
    std::vector<double> extents_; // scratch of Build
};
