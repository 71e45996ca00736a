// The UI System actor (class 33): the root of one menu. It owns the menu's
// reference size (its node scale maps it to the screen), a cursor moved by
// the analogue actions, and the menu's pointer input: while active it runs
// the frame loop in front-end mode and each frame hands one pointer event
// (cursor position and first mouse button) to the focused window's subtree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

// The block of the pointer event.
struct UiPointerEvent {
    int32_t x;
    int32_t y;
    uint32_t released;
    uint32_t pressed;
};

class UISystemActor : public Actor {
  public:
    UISystemActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Process() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    uint32_t type = 0;
    float refWidth = 800.0f;
    float refHeight = 600.0f;
    int32_t cursorActor = -1; // id of the descendant "Cursor", -1 when none
    float cursorX = 100.0f;
    float cursorY = 70.0f;
    float cursorZ = 0.0f;
    uint32_t active = 0;
    float localTimer = 0.0f;

  private:
    void ComputeScale();
    void Activate();
    void Deactivate();
    Actor *Cursor() const;
};
