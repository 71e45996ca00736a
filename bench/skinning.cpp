// Per-frame work of 100 skinned actors ("worm" of the test items: three
// bones, no skinned vertices): the motion step, the pose with a second
// layer record fading out, and the once-a-frame skinning, run through each
// actor's per-draw hook as the renderer would.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "actors/presentation/skin_object_actor.h"
#include "app/class_list.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/time_record.h"
#include "library/library_item.h"
#include "library/motion.h"
#include "library/resource_library.h"
#include "support/skin_items.h"

namespace {

void BM_StepPoseAndSkin100Worms(benchmark::State &state) {
    InstallEngineClasses();
    ResourceLibrary library;
    ResourceLibrary *previous = ReplaceLibraryForTests(&library);
    if (!skintest::LoadSkinItems(library)) {
        state.SkipWithError("skin items do not read");
        return;
    }
    ResetActorWorldForTests();
    InitActorSystem();
    Actor *scenery = GetActorById(kSceneryRootId);
    LibraryItem *worm = library.GetItemById(skintest::kWormSlot);
    std::vector<SkinObjectActor *> skins;
    for (int i = 0; i < 100; ++i) {
        auto *skin = dynamic_cast<SkinObjectActor *>(
            CreateActor(17, "worm" + std::to_string(i), nullptr, scenery, -1, false));
        SendCommandArgs(skin, cmd::base::InitNew);
        skin->HandleCommand(cmd::mesh_object::SetMesh, ParamBlock(&worm, sizeof(worm)));
        for (const char *name : {"N_Neutral", "N_Walk"}) {
            SkinMotion motion;
            motion.item =
                dynamic_cast<MotionItem *>(library.FindItemByName(name, ItemClass::Motion));
            motion.index = ResourceLibrary::GetItemIndex(motion.item);
            motion.name = name;
            motion.length = GetMotionLength(motion.item);
            motion.blendTime = 0.5f;
            skin->motions.push_back(motion);
        }
        skins.push_back(skin);
    }
    uint32_t frame = 0;
    for (auto _ : state) {
        FrameDelta = 1.0f / 60.0f;
        ++FrameCounter;
        UpdateTimeRecord(GetActorSystem(), RootTimeRecord());
        // Every second a new motion, so that a record is always fading.
        if (++frame % 60 == 0) {
            for (SkinObjectActor *skin : skins) {
                SendCommandArgs(skin, cmd::skin_object::SetMotion,
                                std::string(frame % 120 == 0 ? "N_Walk" : "N_Neutral"));
            }
        }
        for (SkinObjectActor *skin : skins) {
            skin->Slot5();
            skin->Slot5(); // a second draw: nothing more to do
        }
    }
    ResetActorWorldForTests();
    ReplaceLibraryForTests(previous);
}
BENCHMARK(BM_StepPoseAndSkin100Worms);

} // namespace
