// UI Text: texts made from keys, values and times, the bounded copy of its
// text, its screen rectangle, how it draws (fade factor, 3D label distance)
// and its record at the versions that changed it.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/text_table.h"
#include "core/actors/command_ids.h"
#include "game/ui_text_actor.h"
#include "library/render/font_services.h"
#include "library/resource_library.h"
#include "ui_scene.h"

namespace {

using uitest::UiScene;

class UiTextTest : public UiScene {
  protected:
    UITextActor *NewText(uint32_t type) {
        auto *text = dynamic_cast<UITextActor *>(builder.Make(kUiTextClassId, "Text"));
        SendCommandArgs(text, cmd::ui_text::SetUITextType, type);
        return text;
    }
};

TEST_F(UiTextTest, TextsFromValuesKeysAndTimes) {
    ASSERT_TRUE(CreateTextTable());
    TextTable::Instance()->Parse("1\nMUSIC }\nMusic }\nSAVING_GAME }\nSaving }\n");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        uint32_t type;
        uint32_t command;
        float value;
        const char *expected;
    } cases[] = {
        {2, cmd::ui_text::SetUITextFloat, 2.25f, "2.25"},
        {3, cmd::ui_text::SetUITextFloat, 2.25f, "2"},
        {1, cmd::ui_text::SetUITextTimeMinSec, 125.7f, "2:05"},
        {1, cmd::ui_text::SetUITextTimeMinSec, -3.0f, "0:00"},
        {1, cmd::ui_text::SetUITextTimeMinSec, nan, "0:00"},
        {1, cmd::ui_text::SetUITextTimeMinSecHun, 125.75f, "2:05:75"},
        {1, cmd::ui_text::SetUITextTimeMinSecHun, nan, "0:00:00"},
    };
    UITextActor *text = NewText(0);
    for (const Case &c : cases) {
        SendCommandArgs(text, cmd::ui_text::SetUITextType, c.type);
        SendCommandArgs(text, c.command, c.value);
        EXPECT_EQ(text->text, c.expected) << c.command << " " << c.value;
    }
    // Huge times saturate instead of overflowing the integer conversion.
    SendCommandArgs(text, cmd::ui_text::SetUITextTimeMinSec, 1e30f);
    EXPECT_EQ(text->text.rfind("2147483647:", 0), 0u) << text->text;
    SendCommandArgs(text, cmd::ui_text::SetUITextDword, 4294967295u);
    EXPECT_EQ(text->text, "-1");

    // Keys are translated for type 0 only, appended parts too.
    SendCommandArgs(text, cmd::ui_text::SetUITextType, kUiTextTranslated);
    SendCommandArgs(text, cmd::ui_text::SetUITextText, std::string("MUSIC"));
    SendCommandArgs(text, cmd::ui_text::UITextAddText, std::string("SAVING_GAME"));
    SendCommandArgs(text, cmd::ui_text::UITextNewlineAddText, std::string("MUSIC"));
    EXPECT_EQ(text->text, "MusicSaving\nMusic");
    SendCommandArgs(text, cmd::ui_text::SetUITextType, kUiTextLiteral);
    SendCommandArgs(text, cmd::ui_text::SetUITextText, std::string("SAVING_GAME"));
    SendCommandArgs(text, cmd::ui_text::UITextAddText, std::string("MUSIC"));
    EXPECT_EQ(text->text, "SAVING_GAMEMUSIC");
    TextTable::Instance()->Clear();

    // The clock starts at 22:30:00 and wraps past midnight once.
    text->timeRecord->time = 5400.0f;
    text->timeRecord->frameStamp = FrameCounter;
    text->timeRecord->flags |= kTimeRecordFixed;
    SendCommandArgs(text, cmd::ui_text::SetUITextText, std::string("QV_TIME"));
    text->timeRecord->flags &= ~kTimeRecordFixed;
    EXPECT_EQ(text->text, "00:00:00");
}

TEST_F(UiTextTest, GetTextIsCutToTheCallersBlock) {
    UITextActor *text = NewText(kUiTextLiteral);
    SendCommandArgs(text, cmd::ui_text::SetUITextText, std::string("Resume game"));
    char small[8];
    std::fill(std::begin(small), std::end(small), 'x');
    text->HandleCommand(cmd::ui_text::GetUITextText, ParamBlock(small, 4));
    EXPECT_EQ(std::string(small, 8), std::string("Res\0xxxx", 8));
}

TEST_F(UiTextTest, ScreenRectFollowsTheMeasuredTextAndTheAlignment) {
    UITextActor *text = NewText(kUiTextLiteral);
    SendCommandArgs(text, cmd::ui_text::SetUITextText, std::string("Quit"));
    SendCommandArgs(text, kUiCmdSetPosition, Vector3{100.0f, 50.0f, 0.0f});
    int32_t rect[4] = {1, 2, 3, 4};
    text->HandleCommand(kUiCmdScreenRect, ParamBlock(rect, sizeof(rect)));
    EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{1, 2, 3, 4}))
        << "without a font the block stays as sent";

    text->font = runner.library->CreateFontItem("Face", 12, nullptr);
    ASSERT_NE(text->font, nullptr);
    float w = 0.0f;
    float h = 0.0f;
    MeasureText(text->font, "Quit", &w, &h);
    ASSERT_GT(w, 0.0f);
    struct Case {
        uint32_t alignX, alignY;
        float shiftX, shiftY;
    } cases[] = {{0, 0, 0.0f, 0.0f}, {1, 1, 0.5f, 0.5f}, {2, 2, 1.0f, 1.0f}};
    for (const Case &c : cases) {
        SendCommandArgs(text, cmd::ui_text::SetUITextAlignX, c.alignX);
        SendCommandArgs(text, cmd::ui_text::SetUITextAlignY, c.alignY);
        text->HandleCommand(kUiCmdScreenRect, ParamBlock(rect, sizeof(rect)));
        const int32_t left = int32_t(100.0f - c.shiftX * w);
        const int32_t top = int32_t(50.0f - c.shiftY * h);
        EXPECT_EQ(std::vector<int32_t>(rect, rect + 4),
                  (std::vector<int32_t>{left, top, int32_t(float(int32_t(100 + w)) - c.shiftX * w),
                                        int32_t(float(int32_t(50 + h)) - c.shiftY * h)}))
            << c.alignX;
    }
    // Far outside the i32 range: saturated.
    SendCommandArgs(text, cmd::ui_text::SetUITextAlignX, 0u);
    SendCommandArgs(text, cmd::ui_text::SetUITextAlignY, 0u);
    text->position = {1e30f, -1e30f, 0.0f};
    text->InvalidateTransform();
    text->HandleCommand(kUiCmdScreenRect, ParamBlock(rect, sizeof(rect)));
    const int32_t most = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(std::vector<int32_t>(rect, rect + 4),
              (std::vector<int32_t>{most, -most - 1, most, -most - 1 + int32_t(h)}));
    delete text->font;
    text->font = nullptr;
}

TEST_F(UiTextTest, DrawsWithItsFadeAndFadesAsA3DLabel) {
    Actor *menu = Menu(true);
    Make(kUiTextClassId, "Flat", menu, {20.0f, 30.0f, 0.0f});
    Make(kUiTextClassId, "Label", menu, {0.0f, 0.0f, 500.0f});
    Load();
    auto *flat = Find<UITextActor>("Flat");
    auto *label = Find<UITextActor>("Label");
    ASSERT_TRUE(flat != nullptr && label != nullptr);
    SendCommandArgs(flat, cmd::ui_text::SetUITextText, std::string("A"));
    SendCommandArgs(flat, cmd::ui_text::SetUITextAlignX, 1u);
    SendCommandArgs(flat, kUiCmdActionStartValue, 0.5f);
    SendCommandArgs(label, cmd::ui_text::SetUITextText, std::string("B"));
    SendCommandArgs(label, cmd::ui_text::SetUITextOrientationStyle, 1u);
    EXPECT_EQ(label->maxDistance, 600.0f);
    EXPECT_EQ(label->fadeDistance, 400.0f);
    runner.SetCamera({0.0f, 0.0f, 0.0f});
    runner.Step();
    ASSERT_EQ(runner.frameLayers.texts.size(), 2u);
    const TextLine &a = runner.frameLayers.texts[0];
    EXPECT_EQ(std::tuple(a.text, a.x, a.y, a.alpha, a.style), std::tuple("A", 20.0f, 30.0f, 0.5f, 2u));
    EXPECT_EQ(runner.frameLayers.texts[1].text, "B");
    EXPECT_NEAR(runner.frameLayers.texts[1].alpha, 0.5f, 1e-5f);

    // At the max distance the label is gone; hidden by 215, so is the text.
    SendCommandArgs(label, kUiCmdSetPosition, Vector3{0.0f, 0.0f, 600.0f});
    SendCommandArgs(flat, kUiCmdActionStopPost, 0u);
    runner.Step();
    EXPECT_TRUE(runner.frameLayers.texts.empty());
}

TEST_F(UiTextTest, RecordGatesRoundTrip) {
    UITextActor *from = NewText(kUiTextLiteral);
    SendCommandArgs(from, cmd::ui_text::SetUITextText, std::string("Resume"));
    SendCommandArgs(from, cmd::ui_text::SetUITextAlignX, 1u);
    SendCommandArgs(from, cmd::ui_text::SetUITextOrientationStyle, 1u);
    SendCommandArgs(from, cmd::ui_text::SetUITextLineSpace, 3.0f);
    SendCommandArgs(from, cmd::ui_text::SetUiTextVisible, 0u);
    // A cut record fails.
    EXPECT_EQ(CutRoundTrip(*from), 0);
    struct Case {
        uint32_t version;
        uint32_t alignY, style;
        float lineSpace;
    } cases[] = {
        {39, 1, 0, 0.0f}, // old centring, no v60 fields
        {40, 0, 0, 0.0f},
        {63, 0, 1, 3.0f},
        {70, 0, 1, 3.0f},
    };
    for (const Case &c : cases) {
        UITextActor into;
        into.text = "stale";
        ASSERT_EQ(RoundTrip(*from, into, c.version), 1) << c.version;
        EXPECT_EQ(std::tuple(into.text, into.alignX, into.alignY, into.style, into.lineSpace),
                  std::tuple(std::string("Resume"), 1u, c.alignY, c.style, c.lineSpace))
            << c.version;
        EXPECT_EQ(into.state & kActorEnabled, 0u) << c.version;
    }
    // The Enabled word is in the record below version 64 only.
    EXPECT_EQ(RecordSize(*from, 63), RecordSize(*from, 64) + 4);
}

} // namespace
