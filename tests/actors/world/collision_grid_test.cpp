// The broadphase grid on its own: every two touching boxes share a cell,
// every box touching a searched box is answered, whatever the mix of sizes
// and places.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "actors/world/collision_grid.h"

namespace {

using Box = CollisionGrid::Box;

bool Touch(const Box &a, const Box &b) {
    return a.lo.x <= b.hi.x && b.lo.x <= a.hi.x && a.lo.y <= b.hi.y && b.lo.y <= a.hi.y &&
           a.lo.z <= b.hi.z && b.lo.z <= a.hi.z;
}

Box Cube(const Vector3 &at, float half) {
    Box box;
    box.lo = {at.x - half, at.y - half, at.z - half};
    box.hi = {at.x + half, at.y + half, at.z + half};
    return box;
}

// Checks the grid built from `boxes` against testing every pair and every
// searched box against every placed box.
void ExpectEveryTouchFound(const std::vector<Box> &boxes, const std::vector<Box> &searches,
                           const char *what) {
    CollisionGrid grid;
    grid.Build(boxes);
    std::vector<bool> loose(boxes.size(), false);
    for (const uint32_t i : grid.Loose()) {
        loose[i] = true;
    }
    std::set<std::pair<uint32_t, uint32_t>> found;
    grid.ForEachPairInCells([&](uint32_t i, uint32_t j) {
        EXPECT_LT(i, j) << what;
        found.emplace(i, j);
    });
    size_t touching = 0;
    size_t placed = 0;
    for (uint32_t i = 0; i < boxes.size(); ++i) {
        if (boxes[i].use == Box::kSkip) {
            EXPECT_FALSE(loose[i]) << what << ": skipped box " << i << " set aside";
            continue;
        }
        placed += loose[i] ? 0 : 1;
        for (uint32_t j = i + 1; j < boxes.size(); ++j) {
            if (loose[i] || loose[j] || boxes[j].use == Box::kSkip || !Touch(boxes[i], boxes[j])) {
                continue;
            }
            ++touching;
            EXPECT_TRUE(found.count({i, j}) == 1) << what << ": boxes " << i << " and " << j;
        }
    }
    EXPECT_EQ(grid.PlacedCount(), placed) << what;
    EXPECT_GT(touching, 0u) << what;

    std::vector<uint32_t> answers;
    for (const Box &search : searches) {
        answers.clear();
        if (!grid.Overlapping(search.lo, search.hi, answers)) {
            continue; // the caller tests every box then
        }
        const std::set<uint32_t> answered(answers.begin(), answers.end());
        for (uint32_t i = 0; i < boxes.size(); ++i) {
            if (!loose[i] && boxes[i].use != Box::kSkip && Touch(boxes[i], search)) {
                EXPECT_TRUE(answered.count(i) == 1) << what << ": box " << i << " not answered";
            }
        }
    }
}

TEST(CollisionGridTest, EveryTouchingPairSharesACellAndEverySearchFindsItsBoxes) {
    std::mt19937 random(23);
    auto uniform = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(random);
    };
    auto at = [&](float reach) {
        return Vector3{uniform(-reach, reach), uniform(-reach, reach), uniform(-reach, reach)};
    };
    std::vector<Box> searches;
    for (int i = 0; i < 300; ++i) {
        searches.push_back(Cube(at(600), uniform(0, 80)));
    }

    // Sizes from a unit to hundreds, some unplaceable, some skipped.
    std::vector<Box> mixed;
    for (int i = 0; i < 1500; ++i) {
        Box box = Cube(at(500), i % 10 == 0 ? uniform(50, 300) : uniform(0.5f, 20));
        switch (i % 37) {
        case 0:
            box.hi.y = NAN;
            break;
        case 1:
            std::swap(box.lo.x, box.hi.x);
            break;
        case 2:
            box.use = Box::kSkip;
            break;
        case 3:
            box.use = Box::kLoose;
            break;
        default:
            break;
        }
        mixed.push_back(box);
    }
    ExpectEveryTouchFound(mixed, searches, "mixed");

    // The boxes the cell size is taken from are the smallest: the others
    // cover many cells each, and the largest go aside.
    std::vector<Box> skewed;
    for (int i = 0; i < 3000; ++i) {
        skewed.push_back(
            Cube(at(2), i % 6 == 0 ? 0.01f : (i % 7 == 0 ? uniform(1, 5) : uniform(0.01f, 0.15f))));
    }
    ExpectEveryTouchFound(skewed, searches, "skewed");

    // Many boxes in one place (one long chain), and boxes so far out that
    // their cells fold at the grid's limit: the cell size comes from every
    // other box (the near ones), some far boxes share one spot.
    std::vector<Box> crowded;
    const Vector3 far = {3e9f, -3e9f, 3e9f};
    for (int i = 0; i < 400; ++i) {
        crowded.push_back(Cube(at(3), 2));
        crowded.push_back(i % 50 == 0 ? Cube(far, 1e3f) : Cube(at(3e9f), uniform(1, 4)));
    }
    searches.push_back(Cube({0, 0, 0}, 1));
    searches.push_back(Cube(far, 1));
    ExpectEveryTouchFound(crowded, searches, "crowded");
}

TEST(CollisionGridTest, AWalkAlongASegmentMeetsEveryBoxItPassesBeforeItsReach) {
    std::mt19937 random(41);
    auto uniform = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(random);
    };
    auto at = [&](float reach) {
        return Vector3{uniform(-reach, reach), uniform(-reach, reach), uniform(-reach, reach)};
    };
    std::vector<Box> boxes;
    for (int i = 0; i < 1200; ++i) {
        boxes.push_back(Cube(at(500), i % 10 == 0 ? uniform(20, 120) : uniform(1, 15)));
    }
    CollisionGrid grid;
    grid.Build(boxes);
    ASSERT_GT(grid.Loose().size(), 0u);
    ASSERT_GT(grid.PlacedCount(), 1000u);

    // Where the segment first lies in a box, as a fraction of it; none: -1.
    auto entry = [](const Vector3 &from, const Vector3 &to, const Box &box) {
        const double f[3] = {from.x, from.y, from.z};
        const double t[3] = {to.x, to.y, to.z};
        const double lo[3] = {box.lo.x, box.lo.y, box.lo.z};
        const double hi[3] = {box.hi.x, box.hi.y, box.hi.z};
        double enter = 0.0;
        double leave = 1.0;
        for (int a = 0; a < 3; ++a) {
            const double d = t[a] - f[a];
            if (d == 0.0) {
                if (f[a] < lo[a] || f[a] > hi[a]) {
                    return -1.0;
                }
                continue;
            }
            const double u0 = (lo[a] - f[a]) / d;
            const double u1 = (hi[a] - f[a]) / d;
            enter = std::max(enter, std::min(u0, u1));
            leave = std::min(leave, std::max(u0, u1));
        }
        return enter <= leave ? enter : -1.0;
    };
    int walks = 0;
    for (int s = 0; s < 300; ++s) {
        const Vector3 from = at(700);
        Vector3 to = at(700);
        if (s % 5 == 0) { // along an axis, either way
            to = from;
            (s % 3 == 0 ? to.x : s % 3 == 1 ? to.y : to.z) += s % 2 == 0 ? 900.0f : -900.0f;
        }
        const float pad = s % 4 == 0 ? 0.0f : uniform(0, 5);
        CollisionGrid::SegmentWalk walk;
        ASSERT_TRUE(grid.StartSegment(from, to, pad, walk));
        // The placed boxes the segment passes, with where it enters each.
        std::vector<std::pair<uint32_t, Vector3>> passed;
        for (uint32_t i = 0; i < boxes.size(); ++i) {
            const double u = grid.Placed(i) ? entry(from, to, boxes[i]) : -1.0;
            if (u >= 0.0) {
                passed.emplace_back(i, Vector3{static_cast<float>(from.x + (to.x - from.x) * u),
                                               static_cast<float>(from.y + (to.y - from.y) * u),
                                               static_cast<float>(from.z + (to.z - from.z) * u)});
            }
        }
        std::vector<uint32_t> appended;
        std::set<uint32_t> met;
        while (grid.NextSlab(walk, appended)) {
            met.insert(appended.begin(), appended.end());
            for (const auto &[i, point] : passed) {
                if (met.count(i) == 0) {
                    EXPECT_GE(walk.Progress(point), walk.Reach())
                        << "segment " << s << ": box " << i << " not met before its reach";
                }
            }
        }
        if (walk.OverBudget()) {
            continue; // the caller tests every box then
        }
        ++walks;
        EXPECT_EQ(walk.Reach(), std::numeric_limits<double>::infinity()) << "segment " << s;
        for (const auto &[i, point] : passed) {
            EXPECT_EQ(met.count(i), 1u) << "segment " << s << ": box " << i << " never met";
        }
    }
    EXPECT_GT(walks, 250);

    // Not finite: no walk; a point: one search, then done.
    CollisionGrid::SegmentWalk walk;
    EXPECT_FALSE(grid.StartSegment({0, 0, 0}, {NAN, 0, 0}, 1.0f, walk));
    EXPECT_FALSE(grid.StartSegment({0, 0, 0}, {1, 0, 0}, INFINITY, walk));
    std::vector<uint32_t> appended;
    ASSERT_TRUE(grid.StartSegment(boxes[3].lo, boxes[3].lo, 0.0f, walk));
    EXPECT_TRUE(grid.NextSlab(walk, appended));
    EXPECT_NE(std::find(appended.begin(), appended.end(), 3u), appended.end());
    EXPECT_FALSE(grid.NextSlab(walk, appended));
}

} // namespace
