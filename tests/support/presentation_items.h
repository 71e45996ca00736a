// Library items of the presentation actor tests, beside the scene library
// (scene_harness.h): the mesh "triple" at slot 30 with three subsets of
// collision types 1, 2 and 4 (material slots 21, 99, which is empty, and 4),
// the material "red" at slot 21 and the 16-frame mesh "flag" at slot 31.
// Records only, as the scene library.
#pragma once

class ResourceLibrary;

namespace scene {

inline constexpr unsigned kTripleMeshSlot = 30;
inline constexpr unsigned kFlagMeshSlot = 31;
inline constexpr unsigned kRedMaterialSlot = 21;

// Adds the items to the library's table; false when they do not read.
bool LoadPresentationItems(ResourceLibrary &library);

} // namespace scene
