// The UI Button actor (class 34): a screen rectangle under a window that
// turns the menu's pointer events into the four button events ("On UI
// Button Over", "Down", "Up", "Out"), which carry the menu's scripts, and
// shows or hides its highlight children "On_Input_Over", "On_Input_Up" and
// "On_Input_Down".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class UIButtonActor : public Actor {
  public:
    UIButtonActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // A hovered button loses the pointer without a pointer event (its
    // window lost or took the focus): it is unmarked, then raises "On UI
    // Button Out", so the next pointer event inside raises "Over" again.
    // Nothing when it is not hovered.
    void DropHover();

    uint32_t type = 0;
    int32_t rect[4] = {0, 0, 64, 64}; // left, top, right, bottom in screen pixels
    uint32_t hovered = 0;
    uint32_t isStatic = 0;
    uint32_t defaultButton = 0;
    // Ids of the highlight children, looked up on "Precalculate" and
    // resolved at each use (-1: none).
    int32_t overChild = -1;
    int32_t upChild = -1;
    int32_t downChild = -1;
    float localTimer = 0.0f;

  private:
    void CalculateRect();
    void PointerEvent(ParamBlock block);
    void Precalculate();
    // Sends the command with no parameters to the highlight child at the id.
    static void TellChild(int32_t id, uint32_t commandId);
};
