// Surface materials of collision objects.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct MaterialInfo {
    std::string name;
    // The collision pass multiplies the second coefficients of two colliding
    // objects' materials and scales an object's velocity by the third. No
    // reader of the first is known.
    float coefficients[3] = {0.0f, 0.0f, 0.0f};
};

inline constexpr size_t kMaterialCount = 9;

// Indexed by the material id a collision object carries. Filled by the
// command registration.
extern std::vector<MaterialInfo> MaterialTable;

// Sizes MaterialTable to kMaterialCount and sets every name and coefficient.
void FillMaterialTable();
