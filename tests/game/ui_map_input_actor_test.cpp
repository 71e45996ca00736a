// UI Map Input: the row's sheet and children, the stored pair it gives back
// to the action map, a click that binds the next changed key (and what does
// not start or ends a capture), and its record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "game/ui_map_input_actor.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_text_actor.h"
#include "platform/input.h"
#include "platform/os/scripted_input_backend.h"
#include "ui_scene.h"

namespace {

using uitest::UiScene;

constexpr uint32_t kForward = 9;

class UiMapInputTest : public UiScene {
  protected:
    // The input layer (its name table) before any binding is set.
    void SetUp() override {
        UiScene::SetUp();
        runner.UseInput(&backend);
    }
    // A row made through "Create", its children moved to scenery ids.
    UIMapInputActor *MakeRow(const std::string &name, Actor *parent, const Vector3 &at) {
        auto *row = dynamic_cast<UIMapInputActor *>(Make(kUiMapInputClassId, name, parent, at));
        for (Actor *child : std::vector<Actor *>(row->children)) {
            EXPECT_TRUE(builder.Claim(child));
        }
        SendCommandArgs(row, cmd::ui_map_input::SetUIMapinputMap, kForward);
        return row;
    }
    static void SetPair(uint32_t primary, uint32_t second) {
        BindAction(int(kForward), 0, 0);
        for (uint32_t code : {second, primary}) {
            if (code != 0) {
                BindAction(int(kForward), code, 0);
            }
        }
    }
    static std::tuple<uint32_t, uint32_t> Pair() {
        return {GetActionBinding(int(kForward), 0), GetActionBinding(int(kForward), 1)};
    }
    static std::string Shown(const UIMapInputActor &row) {
        return dynamic_cast<UITextActor *>(ActorTableEntry(row.text))->text;
    }
    static void Point(UIMapInputActor *row, int32_t x, int32_t y, uint32_t released,
                      uint32_t pressed) {
        int32_t event[4] = {x, y, int32_t(released), int32_t(pressed)};
        row->HandleCommand(kUiCmdPointerEvent, ParamBlock(event, sizeof(event)));
    }
    size_t Events(uint32_t command) { return spies.Count("Row", command); }

    ScriptedInputBackend backend;
    scene::SpyLog spies;
};

TEST_F(UiMapInputTest, SheetChildrenAndTemplateCopy) {
    const ActorClassDescriptor &d = ClassDescriptorTable[kUiMapInputClassId];
    EXPECT_EQ(d.name, "UI Map Input");
    ASSERT_EQ(d.items.size(), 3u);
    EXPECT_EQ(d.items[1].label.substr(0, 22), "Map To:|Axis X|1|Axis ");
    EXPECT_NE(d.items[1].label.find("|Axis X|3|Axis W|4|"), std::string::npos);
    EXPECT_TRUE(d.items[1].label.ends_with("|Pause|31|Inventory Special|32|"));
    EXPECT_EQ(std::tuple(d.items[1].setCommand, d.items[1].getCommand, d.items[2].label,
                         d.items[2].setCommand, d.items[2].getCommand),
              std::tuple(1688u, 1689u, std::string("Axis:"), 1690u, 1691u));

    UIMapInputActor *row = MakeRow("Row", nullptr, {0, 0, 0});
    std::vector<std::tuple<std::string, uint32_t, float>> made;
    for (Actor *child : row->children) {
        made.emplace_back(child->name, child->classId, child->position.x);
    }
    EXPECT_EQ(made, (std::vector<std::tuple<std::string, uint32_t, float>>{
                        {"Frame", 36, 40.0f},
                        {"Text", 35, 40.0f},
                        {"Label", 35, -20.0f},
                        {"On_Input_Over", 0, 0.0f},
                        {"On_Input_Focus", 0, 0.0f}}));
    auto *labelText = dynamic_cast<UITextActor *>(row->children[2]);
    auto *text = dynamic_cast<UITextActor *>(row->children[1]);
    // The new row is set up at once: its text shows the (empty) bindings.
    EXPECT_EQ(std::tuple(labelText->text, labelText->alignX, labelText->alignY, text->text,
                         text->alignX, text->alignY),
              std::tuple(std::string("Label:"), 2u, 1u, std::string(), 1u, 1u));

    // A copy takes the fields but no children: its own are looked up later.
    SendCommandArgs(row, cmd::ui_map_input::SetUIMapinputIsAxis, true);
    row->HandleCommand(kUiCmdPrecalculate, ParamBlock());
    auto *copy = dynamic_cast<UIMapInputActor *>(
        CreateActor(int32_t(kUiMapInputClassId), "Copy", row, row->parent, -1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->action, copy->axis, copy->children.size(), copy->text,
                         copy->overChild),
              std::tuple(kForward, 1u, size_t(0), -1, -1));
}

TEST_F(UiMapInputTest, PrecalculateGivesTheStoredPairBack) {
    UIMapInputActor *row = MakeRow("Row", nullptr, {0, 0, 0});
    struct Case {
        int32_t primary, second;
        std::tuple<uint32_t, uint32_t> before, after;
        int32_t storedPrimary, storedSecond;
        const char *shown;
    } cases[] = {
        // Bound one after the other, the stored pair comes back exchanged.
        {87, 99, {65, 0}, {99, 87}, 87, 99, "QVI_UP / W"},
        {87, 0, {65, 66}, {87, 0}, 87, 0, "W"},
        {0, 0, {65, 66}, {0, 0}, 0, 0, ""},
        // -1 takes the action map's pair.
        {-1, 5, {65, 66}, {65, 66}, 65, 66, "A / B"},
    };
    for (const Case &c : cases) {
        SetPair(std::get<0>(c.before), std::get<1>(c.before));
        row->primaryCode = c.primary;
        row->secondCode = c.second;
        row->HandleCommand(kUiCmdPrecalculate, ParamBlock());
        EXPECT_EQ(Pair(), c.after) << c.primary;
        EXPECT_EQ(std::tuple(row->primaryCode, row->secondCode),
                  std::tuple(c.storedPrimary, c.storedSecond));
        EXPECT_EQ(Shown(*row), c.shown) << c.primary;
    }
}

TEST_F(UiMapInputTest, AClickBindsTheNextChangedKey) {
    Actor *menu = Menu(true);
    MakeRow("Row", menu, {100, 100, 0});
    SetPair('A', 0);
    Load();
    auto *row = Find<UIMapInputActor>("Row");
    EXPECT_EQ(std::vector<int32_t>(row->rect, row->rect + 4),
              (std::vector<int32_t>{140, 100, 204, 164}));
    spies.Watch(row);
    row->HandleCommand(kUiCmdActionStart, ParamBlock());
    const auto click = [&] {
        runner.Step(31); // more than 0.5 s of quiet
        Point(row, 150, 120, 1, 0);
    };

    click();
    EXPECT_EQ(std::tuple(row->capturing, Events(cmd::ui_map_input::OnUIMapInputGetFocus),
                         Events(cmd::ui_map_input::OnUIMapInputOver)),
              std::tuple(1u, size_t(1), size_t(1)));
    // The capture waits 0.1 s before it takes a change.
    backend.SetKey('B', true);
    runner.Step(5);
    EXPECT_EQ(Pair(), std::tuple('A', 0u));
    runner.Step(2);
    EXPECT_EQ(Pair(), std::tuple('B', 'A'));
    EXPECT_EQ(std::tuple(row->capturing, Events(cmd::ui_map_input::OnUIMapInputLoseFocus),
                         Shown(*row)),
              std::tuple(0u, size_t(1), std::string("B / A")));

    // A second click within 0.5 s starts nothing.
    runner.Step(10);
    Point(row, 150, 120, 1, 0);
    EXPECT_EQ(row->capturing, 0u);

    // The primary once more clears the second.
    backend.SetKey('B', false);
    click();
    backend.SetKey('B', true);
    runner.Step(7);
    EXPECT_EQ(std::tuple(Pair(), Shown(*row)), std::tuple(std::tuple('B', 0u), std::string("B")));

    // A press outside the row cancels the capture.
    click();
    Point(row, 10, 10, 0, 1);
    EXPECT_EQ(std::tuple(row->capturing, Events(cmd::ui_map_input::OnUIMapInputOut),
                         Events(cmd::ui_map_input::OnUIMapInputLoseFocus)),
              std::tuple(0u, size_t(1), size_t(3)));
    backend.SetKey('C', true);
    runner.Step(10);
    EXPECT_EQ(Pair(), std::tuple('B', 0u));

    // An axis row waits without binding until a click elsewhere.
    SendCommandArgs(row, cmd::ui_map_input::SetUIMapinputIsAxis, true);
    click();
    backend.SetKey('C', false);
    runner.Step(10);
    EXPECT_EQ(std::tuple(Pair(), row->capturing), std::tuple(std::tuple('B', 0u), 1u));
}

TEST_F(UiMapInputTest, OverAndFocusEventsShowTheirChildren) {
    UIMapInputActor *row = MakeRow("Row", nullptr, {0, 0, 0});
    row->HandleCommand(kUiCmdPrecalculate, ParamBlock());
    spies.Watch(ActorTableEntry(row->overChild));
    spies.Watch(ActorTableEntry(row->focusChild));
    for (uint32_t event : {cmd::ui_map_input::OnUIMapInputOver,
                           cmd::ui_map_input::OnUIMapInputGetFocus,
                           cmd::ui_map_input::OnUIMapInputOut,
                           cmd::ui_map_input::OnUIMapInputLoseFocus}) {
        row->HandleCommand(event, ParamBlock());
    }
    std::vector<std::string> seen;
    for (const scene::SpyNotice &notice : spies.Take()) {
        if (notice.command == kUiCmdActionStart || notice.command == kUiCmdActionStop) {
            seen.push_back(notice.actor + " " + std::to_string(notice.command));
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"On_Input_Over 211", "On_Input_Focus 211",
                                              "On_Input_Over 212", "On_Input_Focus 212"}));
}

TEST_F(UiMapInputTest, RecordHoldsTheMapsPair) {
    UIMapInputActor *row = MakeRow("Row", nullptr, {0, 0, 0});
    SetPair('B', 'A');
    row->primaryCode = 1;
    row->secondCode = 2;
    row->axis = 1;
    UIMapInputActor back;
    back.axis = 1;
    ASSERT_EQ(RoundTrip(*row, back, kActorFileVersion), 1);
    EXPECT_EQ(std::tuple(back.action, back.primaryCode, back.secondCode, back.axis, row->axis),
              std::tuple(kForward, int32_t('B'), int32_t('A'), 0u, 0u));

    // An action outside the map keeps its codes and binds nothing.
    row->action = 300;
    row->primaryCode = 5;
    row->secondCode = 6;
    UIMapInputActor far;
    ASSERT_EQ(RoundTrip(*row, far, kActorFileVersion), 1);
    const auto map = [] {
        std::vector<uint32_t> all;
        for (int slot = 0; slot < kActionSets * kActionsPerSet; ++slot) {
            all.insert(all.end(), {GetActionBinding(slot, 0), GetActionBinding(slot, 1)});
        }
        return all;
    };
    const std::vector<uint32_t> before = map();
    far.HandleCommand(kUiCmdPrecalculate, ParamBlock());
    EXPECT_EQ(map(), before);
    EXPECT_EQ(std::tuple(far.action, far.primaryCode, far.secondCode), std::tuple(300u, 5, 6));
}

TEST_F(UiMapInputTest, AFailedBaseRecordStopsTheRecord) {
    UIMapInputActor *row = MakeRow("Row", nullptr, {0, 0, 0});
    ASSERT_TRUE(recordfile::Write(*row, builder.folder / "row.bin", kActorFileVersion));
    // Before the row's four words: the saved-entry count, then the
    // simulation style.
    std::string bytes = builder.folder.Get("row.bin");
    const uint32_t count = 0x7FFFFFFFu;
    std::memcpy(bytes.data() + bytes.size() - 24, &count, 4);
    builder.folder.Put("bad.bin", bytes);
    UIMapInputActor back;
    back.action = 7;
    EXPECT_EQ(recordfile::Read(back, builder.folder / "bad.bin", kActorFileVersion), 0);
    EXPECT_EQ(back.action, 7u);

    // A write whose base record fails does not take the map's pair either.
    SetPair('B', 'A');
    row->primaryCode = 1;
    Archive out;
    ASSERT_TRUE(out.Open(builder.folder / "failed.bin", "wb"));
    out.SetVersion(kActorFileVersion);
    out.SetFailed();
    EXPECT_EQ(row->Serialize(out, kSerializeSave), 0);
    EXPECT_EQ(row->primaryCode, 1);
}

} // namespace
