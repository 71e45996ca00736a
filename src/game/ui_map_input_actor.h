// The UI Map Input actor (class 38): one row of a key-remapping menu. Its
// "Text" child shows the inputs bound to one action of set 0; a click on its
// "Frame" waits for the next key or button that changes and binds it to the
// action. The row keeps the action's pair of codes in its record, so that a
// loaded menu brings the player's bindings back into the action map.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class UIMapInputActor : public Actor {
  public:
    UIMapInputActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // A stored primary code that takes the action map's pair on
    // "Precalculate" instead of binding its own.
    static constexpr int32_t kTakeMapBindings = -1;

    // The action of set 0 the row binds, and its codes as last stored.
    uint32_t action = 0;
    int32_t primaryCode = kTakeMapBindings;
    int32_t secondCode = 0;
    uint32_t axis = 0;
    uint32_t capturing = 0;
    // Ids of the children, looked up on "Precalculate" and resolved at each
    // use (-1: none).
    int32_t frame = -1;
    int32_t text = -1;
    int32_t label = -1;
    int32_t overChild = -1;
    int32_t focusChild = -1;
    int32_t rect[4] = {0, 0, 0, 0}; // left, top, right, bottom in screen pixels
    uint32_t hovered = 0;
    float idleTime = 0.0f; // seconds since the last capture ended or the row started
    float active = 0.0f;

  private:
    void BuildChildren();
    void Precalculate();
    void ShowBindings();
    void PointerEvent(ParamBlock block);
    void CaptureStep();
    // The child at the id while it is still below this row; null otherwise.
    Actor *Child(int32_t id) const;
    void TellChild(int32_t id, uint32_t commandId) const;
};
