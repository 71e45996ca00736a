// The UI Text actor (class 35): one line of menu or head-up-display text in
// a library font, drawn at its screen position or as a label on a 3D point
// that fades with the camera's distance. Its text is a text-table key
// (translated when set), a literal, or a number or time formatted from a
// value. Buttons take their hit rectangle from it (command 92).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"
#include "game/ui_element.h"

class FontItem;

// Text types.
inline constexpr uint32_t kUiTextTranslated = 0;
inline constexpr uint32_t kUiTextLiteral = 1;
inline constexpr uint32_t kUiTextNumber = 2;
inline constexpr uint32_t kUiTextWholeNumber = 3;

// A text's own fields: with its look, what a "Create" copies from a source
// text.
struct UiTextFields {
    uint32_t type = kUiTextTranslated;
    std::string text;
    int32_t fontId = -1;
    FontItem *font = nullptr;
    float lineSpace = 0.0f;
    float letterSpace = 0.0f;
};

class UITextActor : public Actor, public UiLook, public UiTextFields {
  public:
    UITextActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

  private:
    void SetText(std::string_view value);
    void AddText(std::string_view value);
    void SetFont(int32_t id);
    // The font named so among the library's fonts, or none.
    void FindFont(const std::string &fontName);
    void AnswerScreenRect(ParamBlock block);
    void CopyText(const UITextActor &source);
};
