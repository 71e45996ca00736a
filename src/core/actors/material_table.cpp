#include "core/actors/material_table.h"

#include <iterator>

std::vector<MaterialInfo> MaterialTable;

void FillMaterialTable() {
    // "Custom" has no preset of its own; it starts as the default metal so
    // that no reader ever sees undefined coefficients.
    static const MaterialInfo kMaterials[kMaterialCount] = {
        {"Default (Metal)", {5.0f, 0.25f, 0.6f}},
        {"Custom", {5.0f, 0.25f, 0.6f}},
        {"Wood", {1.5f, 0.2f, 0.4f}},
        {"Stone", {1.5f, 0.2f, 0.4f}},
        {"Rubber", {1.5f, 0.95f, 0.4f}},
        {"Glass", {1.5f, 0.05f, 0.4f}},
        {"Mud", {1.5f, 0.05f, 0.4f}},
        {"Character", {1.5f, 0.0f, 0.0f}},
        {"Grass", {1.5f, 0.08f, 0.4f}},
    };
    MaterialTable.assign(std::begin(kMaterials), std::end(kMaterials));
}
