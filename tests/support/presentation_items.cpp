#include "presentation_items.h"

#include <cstdint>
#include <vector>

#include "base/file_system.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/resource_library.h"

namespace scene {

bool LoadPresentationItems(ResourceLibrary &library) {
    auto subset = [](uint32_t type, uint32_t material, float radius) {
        SubsetSettings s;
        s.word0 = type;
        s.word1 = material;
        s.sphereRadius = radius;
        return s;
    };
    MeshItem triple;
    triple.name = "triple";
    triple.meshWord = 1;
    SubsetSettings sphere = subset(1, kRedMaterialSlot, 4.0f);
    sphere.sphereCentre[1] = 2.0f;
    SubsetSettings box = subset(2, 99, 5.0f);
    for (int i = 0; i < 3; ++i) {
        box.boxMin[i] = -5.0f;
        box.boxMax[i] = 5.0f;
    }
    triple.subsetSettings = {sphere, box, subset(4, 4, 6.0f)};
    // Not loaded: the frame count is the record's.
    MeshItem flag;
    flag.name = "flag";
    flag.meshWord = 16;
    flag.subsetSettings = {subset(0, 4, 20.0f)};
    MaterialItem red;
    red.name = "red";
    red.field2 = 5;
    red.field8 = 9;
    LibraryWriter writer;
    writer.AddItem(kRedMaterialSlot, red);
    writer.AddItem(kTripleMeshSlot, triple);
    writer.AddItem(kFlagMeshSlot, flag);
    const std::vector<uint8_t> bytes = writer.WriteToMemory();
    if (bytes.empty()) {
        return false;
    }
    Archive archive;
    archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return library.ReadLibraryArchive(archive, 1, {}) != 0;
}

} // namespace scene
