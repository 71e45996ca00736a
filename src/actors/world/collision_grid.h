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

    // Rebuilt from the boxes; an answer i stands for boxes[i].
    void Build(const std::vector<Box> &boxes);

    // Appends the placed boxes that may touch [lo, hi]; false (nothing
    // appended) when the box is not finite, inverted or covers so many
    // cells that testing every box costs less.
    bool Overlapping(const Vector3 &lo, const Vector3 &hi, std::vector<uint32_t> &out) const;
    // Appends the placed boxes that may come within `pad` of the segment;
    // false (nothing appended) when the segment is not finite or its walk
    // through the cells would cost more than testing every box.
    bool AlongSegment(const Vector3 &from, const Vector3 &to, float pad,
                      std::vector<uint32_t> &out) const;

    // Calls visit(i, j), i < j, for every two placed boxes that share a
    // cell (or cells hashed alike), once for each such cell.
    template <class Visit> void ForEachPairInCells(Visit &&visit) const {
        for (const Entry &entry : entries_) {
            for (uint32_t q = entry.next; q != kEnd; q = entries_[q].next) {
                if (entries_[q].box != entry.box) {
                    visit(entries_[q].box, entry.box);
                }
            }
        }
    }

    // The boxes set aside, in index order.
    const std::vector<uint32_t> &Loose() const { return loose_; }
    size_t PlacedCount() const { return placed_; }

  private:
    struct Range {
        int32_t lo[3];
        int32_t hi[3];
    };
    // A box in one cell: the cells hashed alike chain their entries, the
    // later box first.
    struct Entry {
        uint32_t box;
        uint32_t next;
    };
    static constexpr uint32_t kEnd = 0xFFFFFFFFu;
    int32_t CellOf(double v) const;
    uint32_t Bucket(int32_t x, int32_t y, int32_t z) const;
    // Appends the entries of every cell of the range.
    void AppendCells(const Range &range, std::vector<uint32_t> &out) const;

    double inverse_ = 1.0; // cells per unit
    double cell_ = 1.0;
    uint32_t mask_ = 0;
    size_t placed_ = 0;
    Range used_ = {{0, 0, 0}, {-1, -1, -1}};
    std::vector<uint32_t> heads_; // per bucket, the last entry hashed there
    std::vector<Entry> entries_;
    std::vector<uint32_t> loose_;
    std::vector<double> extents_; // scratch of Build
};
