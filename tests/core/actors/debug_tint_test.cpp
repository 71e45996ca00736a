// The debug tint ("FastDebug") reaches the current camera only.
#include "actors/presentation/presentation_seams.h"
#include "base_handler_fixture.h"
#include "core/actors/debug_tint.h"

namespace {

struct SpyNotice {
    uint32_t commandId;
    const ParamBlock *block;
    Actor *actor;
};

using DebugTintTest = BaseHandlerTest;

TEST_F(DebugTintTest, OnlyModeOneWithACameraSendsGamma) {
    RecordingActor *actor = MakeActor();
    const uint32_t all = kDebugTintDefault;
    Send(actor, 347, {uint32_t(1), all, all, all}); // no camera: nothing
    EXPECT_EQ(DebugTint(1, 1, 2, 3), 0);

    CameraActor camera;
    RecordingActor *spy = MakeActor();
    std::vector<float> gamma;
    spy->onCommand = [&](uint32_t id, ParamBlock block) {
        SpyNotice notice{};
        block.ReadBytes(0, &notice, sizeof(notice));
        if (id == 93 && notice.commandId == 1237) {
            for (size_t i = 0; i < 6; ++i)
                gamma.push_back(notice.block->ReadF32(i * 4));
        }
    };
    AddCommandSpy(&camera, spy);
    CurrentCamera = &camera;
    Send(actor, 347, {uint32_t(2), all, all, all});
    EXPECT_TRUE(gamma.empty());
    Send(actor, 347, {uint32_t(1), all, all, all});
    EXPECT_EQ(gamma, (std::vector<float>{1, 1, 1, 60, 140, 200}));
    gamma.clear();
    EXPECT_EQ(DebugTint(1, 7, all, 9), 1);
    EXPECT_EQ(gamma, (std::vector<float>{1, 1, 1, 7, 140, 9}));
    CurrentCamera = nullptr;
    RemoveAllCommandSpies(&camera);
}

} // namespace
