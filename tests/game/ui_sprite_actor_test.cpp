// UI Sprite: its screen rectangle, what it draws (the quad's corners, no
// material, the cursor image), material look-ups, and its record at the
// versions that changed it.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/actors/command_ids.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_text_actor.h"
#include "library/resource_library.h"
#include "ui_scene.h"

namespace {

using uitest::UiScene;

constexpr int32_t kDefaultMaterial = 4;
constexpr int32_t kWhiteAdd = 5;

class UiSpriteTest : public UiScene {};

TEST_F(UiSpriteTest, ScreenRectOfACentredSprite) {
    auto *sprite = dynamic_cast<UISpriteActor *>(Make(kUiSpriteClassId, "S", nullptr, {100, 100, 0}));
    SendCommandArgs(sprite, cmd::ui_sprite::SetUISpriteAlignX, 1u);
    SendCommandArgs(sprite, cmd::ui_sprite::SetUISpriteAlignY, 1u);
    int32_t rect[4] = {};
    sprite->HandleCommand(kUiCmdScreenRect, ParamBlock(rect, sizeof(rect)));
    EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{68, 68, 132, 132}));
    float floats[4] = {};
    sprite->HandleCommand(cmd::ui_sprite::UiSpriteRect, ParamBlock(floats, sizeof(floats)));
    EXPECT_EQ(std::vector<float>(floats, floats + 4), (std::vector<float>{68, 68, 132, 132}));
    // Sizes far outside the i32 range saturate; NaN gives 0.
    SendCommandArgs(sprite, cmd::ui_sprite::SetUISpriteWidth, 1e30f);
    SendCommandArgs(sprite, cmd::ui_sprite::SetUISpriteHeight, std::nanf(""));
    sprite->HandleCommand(kUiCmdScreenRect, ParamBlock(rect, sizeof(rect)));
    const int32_t most = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(std::vector<int32_t>(rect, rect + 4),
              (std::vector<int32_t>{std::numeric_limits<int32_t>::min(), 0, most, 0}));
}

TEST_F(UiSpriteTest, MaterialsByNameIdAndResource) {
    auto *sprite = dynamic_cast<UISpriteActor *>(builder.Make(kUiSpriteClassId, "S"));
    SendCommandArgs(sprite, cmd::ui_sprite::SetUISpriteMaterial, std::string("default"));
    EXPECT_EQ(sprite->materialId, kDefaultMaterial);
    SendCommandArgs(sprite, cmd::ui_sprite::SetUISpriteMaterial, std::string("NoSuchMaterial"));
    EXPECT_EQ(sprite->materialId, kDefaultMaterial);
    EXPECT_NE(sprite->material, nullptr);
    SendCommandArgs(sprite, kUiCmdSetResource, std::string("whiteadd"));
    EXPECT_EQ(sprite->materialId, kWhiteAdd);
    SendCommandArgs(sprite, cmd::ui_sprite::SetUISpriteMaterialID, uint32_t(kDefaultMaterial));
    EXPECT_EQ(sprite->material, runner.library->GetItemById(kDefaultMaterial));
    // A material without a video texture: the movie commands do nothing.
    for (uint32_t movie : {cmd::ui_sprite::UISpritePlayMovie, cmd::ui_sprite::UISpriteStopMovie,
                           cmd::ui_sprite::UISpritePauseMovie}) {
        sprite->HandleCommand(movie, ParamBlock());
    }
}

TEST_F(UiSpriteTest, DrawsItsQuadButNothingWithoutMaterialOrAsCursor) {
    Actor *menu = Menu(true);
    Actor *pic = Make(kUiSpriteClassId, "Pic", menu, {10, 20, 0});
    SendCommandArgs(pic, cmd::ui_sprite::SetUISpriteMaterial, std::string("Default"));
    SendCommandArgs(pic, cmd::ui_sprite::SetUISpriteHeight, 32.0f);
    Actor *bare = Make(kUiSpriteClassId, "Bare", menu, {0, 0, 0});
    Make(kUiTextClassId, "Child", bare, {5, 5, 0});
    Actor *pointer = Make(kUiSpriteClassId, "Pointer", menu, {50, 50, 0});
    SendCommandArgs(pointer, cmd::ui_sprite::SetUISpriteMaterial, std::string("Default"));
    SendCommandArgs(pointer, cmd::ui_sprite::SetUiSpriteCursor, 1u);
    Load();
    SendCommandArgs(Find<Actor>("Pic"), kUiCmdActionStartValue, 0.5f);
    runner.Step();
    ASSERT_EQ(runner.frameLayers.quads.size(), 1u);
    const ScreenQuad &quad = runner.frameLayers.quads[0];
    std::vector<float> corners;
    for (const ScreenVertex &v : quad.vertices) {
        corners.insert(corners.end(), {v.x, v.y});
    }
    EXPECT_EQ(corners, (std::vector<float>{10, 20, 74, 20, 10, 52, 74, 52}));
    EXPECT_NEAR(double(quad.vertices[0].color >> 24), 127.5, 1.0);
    ASSERT_EQ(runner.frameLayers.texts.size(), 1u) << "the bare sprite's child still updates";

    // Hidden by 215, the sprite draws nothing.
    SendCommandArgs(Find<Actor>("Pic"), kUiCmdActionStopPost, 0u);
    runner.Step();
    EXPECT_TRUE(runner.frameLayers.quads.empty());
}

TEST_F(UiSpriteTest, RecordGatesRoundTrip) {
    auto *from = dynamic_cast<UISpriteActor *>(builder.Make(kUiSpriteClassId, "S"));
    SendCommandArgs(from, cmd::ui_sprite::SetUISpriteMaterialID, uint32_t(kWhiteAdd));
    SendCommandArgs(from, cmd::ui_text::SetUISpriteColor, Vector4{0.5f, 0.25f, 1.0f, 0.75f});
    SendCommandArgs(from, cmd::ui_sprite::SetUISpriteAlignX, 2u);
    SendCommandArgs(from, cmd::ui_sprite::SetUISpriteAlignY, 1u);
    SendCommandArgs(from, cmd::ui_sprite::SetUiSpriteCursor, 1u);
    SendCommandArgs(from, cmd::ui_sprite::SetUISpriteOrientationStyle, 1u);
    EXPECT_EQ(CutRoundTrip(*from), 0);
    struct Case {
        uint32_t version;
        float red;
        uint32_t alignX, cursor, alignY, style;
    } cases[] = {
        {25, 1.0f, 0, 0, 0, 0},
        {26, 0.5f, 2, 0, 0, 0},
        {30, 0.5f, 2, 1, 0, 0},
        {59, 0.5f, 2, 1, 0, 0},
        {60, 0.5f, 2, 1, 1, 1},
        {70, 0.5f, 2, 1, 1, 1},
    };
    for (const Case &c : cases) {
        UISpriteActor into;
        ASSERT_EQ(RoundTrip(*from, into, c.version), 1) << c.version;
        EXPECT_EQ(std::tuple(into.materialId, into.color.x, into.alignX, into.cursor, into.alignY,
                             into.style),
                  std::tuple(kWhiteAdd, c.red, c.alignX, c.cursor, c.alignY, c.style))
            << c.version;
        EXPECT_EQ(into.material, runner.library->GetItemById(kWhiteAdd)) << c.version;
    }
    // The Enabled word is in the record from version 31 to 63 only.
    EXPECT_EQ(RecordSize(*from, 31), RecordSize(*from, 30) + 4);
    EXPECT_EQ(RecordSize(*from, 63), RecordSize(*from, 64) + 4);
}

} // namespace
