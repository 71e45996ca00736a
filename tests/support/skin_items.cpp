#include "skin_items.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "library/key_track.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/name_table.h"
#include "library/resource_library.h"

namespace skintest {
namespace {

std::unique_ptr<KeyTrack> Track(const char *name, float length) {
    auto track = std::make_unique<KeyTrack>();
    track->nameId = GetNameTable().FindOrAdd(name);
    track->length = length;
    return track;
}

Quaternion AboutZ(float degrees) {
    const float half = degrees * 3.14159265f / 360.0f;
    return {0.0f, 0.0f, std::sin(half), std::cos(half)};
}

void Still(MotionItem &motion, const char *name, float length) {
    auto track = Track(name, length);
    track->AddRotationKey(0.0f, AboutZ(0.0f));
    track->AddPositionKey(0.0f, {0.0f, 0.0f, 0.0f});
    motion.recordTracks.push_back(std::move(track));
}

} // namespace

bool LoadSkinItems(ResourceLibrary &library) {
    MeshItem worm;
    worm.name = "worm";
    worm.meshWord = 1;
    worm.meshKind = 1;
    worm.subsetSettings.resize(1);
    worm.subsetSettings[0].word1 = 4;
    MeshItem box;
    box.name = "Box";
    box.meshWord = 1;
    box.subsetSettings.resize(1);
    box.subsetSettings[0].word1 = 4;

    std::vector<std::unique_ptr<MotionItem>> motions;
    auto motion = [&](const char *name) -> MotionItem & {
        motions.push_back(std::make_unique<MotionItem>());
        motions.back()->name = name;
        return *motions.back();
    };
    MotionItem &neutral = motion("N_Neutral");
    {
        auto root = Track("Bip01", 2.0f);
        root->AddPositionKey(0.0f, {0.0f, 0.0f, 0.0f});
        auto spine = Track("Spine1", 2.0f);
        spine->AddPositionKey(0.0f, {0.0f, 10.0f, 0.0f});
        auto head = Track("Head", 2.0f);
        head->AddRotationKey(0.0f, AboutZ(0.0f));
        head->AddRotationKey(2.0f, AboutZ(90.0f));
        head->AddPositionKey(0.0f, {0.0f, 10.0f, 0.0f});
        head->AddPositionKey(2.0f, {0.0f, 12.0f, 0.0f});
        head->MarkInterpolatedKeys();
        neutral.recordTracks.push_back(std::move(root));
        neutral.recordTracks.push_back(std::move(spine));
        neutral.recordTracks.push_back(std::move(head));
    }
    const char *stillNames[] = {"N_Walk",    "N_Walk_01", "N_Walk_02", "N_Walk_04",
                                "N_Walk_00", "N_Die0",    "N_Dead",    "N_BL_Wave"};
    for (const char *name : stillNames) {
        Still(motion(name), "Spine1", 1.0f);
    }
    Still(motion("N_Walk_2_N_Run"), "Spine1", 0.5f);
    MotionItem &run = motion("N_Run");
    {
        auto root = Track("Bip01", 1.0f);
        root->AddRotationKey(0.0f, AboutZ(0.0f));
        root->AddRotationKey(1.0f, AboutZ(90.0f));
        root->AddPositionKey(0.0f, {0.0f, 0.0f, 0.0f});
        root->AddPositionKey(1.0f, {10.0f, 0.0f, 0.0f});
        root->MarkInterpolatedKeys();
        run.recordTracks.push_back(std::move(root));
    }
    MotionItem &objects = motion("Obj_Anim");
    {
        auto box = Track("Obj_Box_01", 1.0f);
        box->AddPositionKey(0.0f, {1.0f, 2.0f, 3.0f});
        objects.recordTracks.push_back(std::move(box));
        Still(objects, "Hd", 1.0f);
        Still(objects, "Obj_Nothing", 1.0f);
    }
    const uint32_t slots[] = {kNeutralSlot, kWalkSlot,      kWalk01Slot, kWalk02Slot,
                              kWalk04Slot,  kWalk00Slot,    kDieSlot,    kDeadSlot,
                              kWaveSlot,    kWalkToRunSlot, kRunSlot,    kObjectsSlot};
    LibraryWriter writer;
    writer.AddItem(kWormSlot, worm);
    writer.AddItem(kBoxSlot, box);
    for (size_t i = 0; i < motions.size(); ++i) {
        writer.AddItem(slots[i], *motions[i]);
    }
    const std::vector<uint8_t> bytes = writer.WriteToMemory();
    if (bytes.empty()) {
        return false;
    }
    Archive archive;
    archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (library.ReadLibraryArchive(archive, 1, {}) == 0) {
        return false;
    }
    // The worm's bones, as its mesh file would give them.
    auto *wormItem = dynamic_cast<MeshItem *>(library.GetItemById(kWormSlot));
    auto *boxItem = dynamic_cast<MeshItem *>(library.GetItemById(kBoxSlot));
    if (wormItem == nullptr || boxItem == nullptr) {
        return false;
    }
    const char *bones[] = {"Bip01", "Spine1", "Head"};
    for (int32_t i = 0; i < 3; ++i) {
        auto bone = std::make_unique<Bone>();
        bone->parent = i - 1;
        bone->nameId = GetNameTable().FindOrAdd(bones[i]);
        wormItem->bones.push_back(std::move(bone));
    }
    wormItem->loaded = 1;
    boxItem->loaded = 1;
    if (auto *runItem = dynamic_cast<MotionItem *>(library.GetItemById(kRunSlot))) {
        runItem->displacement[0] = 10.0f;
    }
    return true;
}

} // namespace skintest
