// Menus built in test scenes: a UI System "Menu" whose reference size is the
// test screen's (640 x 480, so reference units are pixels), with helpers
// that find its loaded elements, click the first mouse button and write a
// record at a version and read it back.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"
#include "game/ui_element.h"
#include "game/ui_system_actor.h"
#include "support/game_fixture.h"
#include "support/record_file.h"
#include "support/scene_harness.h"

namespace uitest {

class UiScene : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(runner.Ready()); }

    // The menu below "Scenery"; `active` makes the load activate it.
    Actor *Menu(bool active) {
        Actor *menu = builder.Make(kUiSystemClassId, "Menu");
        SendCommandArgs(menu, cmd::ui_system::SetUISystemRefWidth, 640.0f);
        SendCommandArgs(menu, cmd::ui_system::SetUISystemRefHeight, 480.0f);
        SendCommandArgs(menu, cmd::ui_system::SetUiSystemActive, active ? 1u : 0u);
        return menu;
    }
    Actor *Make(uint32_t classId, const std::string &name, Actor *parent, const Vector3 &at) {
        Actor *actor = builder.Make(int32_t(classId), name, parent);
        SendCommandArgs(actor, kUiCmdSetPosition, at);
        return actor;
    }
    void Load() {
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
    }
    template <class T> static T *Find(const std::string &name) {
        return dynamic_cast<T *>(scene::SceneBuilder::Find(name));
    }
    // The record written at the version and read into a fresh actor of the
    // same class; the answer of the read.
    int RoundTrip(Actor &from, Actor &into, uint32_t version) {
        const std::string path = builder.folder / "record.bin";
        EXPECT_TRUE(recordfile::Write(from, path, version));
        return recordfile::Read(into, path, version);
    }

    size_t RecordSize(Actor &actor, uint32_t version) {
        const std::string path = builder.folder / "sized.bin";
        EXPECT_TRUE(recordfile::Write(actor, path, version));
        return size_t(std::filesystem::file_size(path));
    }
    // The current record without its last byte, read back into a fresh
    // actor of the class; the answer of the read.
    int CutRoundTrip(Actor &from) {
        const std::string path = builder.folder / "cut.bin";
        EXPECT_TRUE(recordfile::Write(from, path, kActorFileVersion));
        std::filesystem::resize_file(path, std::filesystem::file_size(path) - 1);
        Actor *into = builder.Make(int32_t(from.classId), "Cut");
        return recordfile::Read(*into, path, kActorFileVersion);
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
};

} // namespace uitest
