// The broadphase grid on its own: every two touching boxes share a cell,
// every box touching a searched box is answered, whatever the mix of sizes
// and places.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

} // namespace
