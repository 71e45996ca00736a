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
#include "game/ui_element.h"

class FontItem;

inline constexpr uint32_t kUiTextClassId = 35;

inline constexpr uint32_t kCmdSetUiTextType = 1628;
inline constexpr uint32_t kCmdGetUiTextType = 1629;
inline constexpr uint32_t kCmdSetUiTextColor = 1630;
inline constexpr uint32_t kCmdGetUiTextColor = 1631;
inline constexpr uint32_t kCmdSetUiTextAlignX = 1632;
inline constexpr uint32_t kCmdGetUiTextAlignX = 1633;
inline constexpr uint32_t kCmdSetUiTextAlignY = 1634;
inline constexpr uint32_t kCmdGetUiTextAlignY = 1635;
inline constexpr uint32_t kCmdSetUiTextLetterSpace = 1636;
inline constexpr uint32_t kCmdGetUiTextLetterSpace = 1637;
inline constexpr uint32_t kCmdSetUiTextLineSpace = 1638;
inline constexpr uint32_t kCmdGetUiTextLineSpace = 1639;
inline constexpr uint32_t kCmdSetUiTextStyle = 1640;
inline constexpr uint32_t kCmdGetUiTextStyle = 1641;
inline constexpr uint32_t kCmdSetUiTextFadeDistance = 1642;
inline constexpr uint32_t kCmdGetUiTextFadeDistance = 1643;
inline constexpr uint32_t kCmdSetUiTextMaxDistance = 1644;
inline constexpr uint32_t kCmdGetUiTextMaxDistance = 1645;
inline constexpr uint32_t kCmdSetUiTextText = 1646;
inline constexpr uint32_t kCmdGetUiTextText = 1647;
inline constexpr uint32_t kCmdUiTextAddText = 1648;
inline constexpr uint32_t kCmdUiTextNewlineAddText = 1649;
inline constexpr uint32_t kCmdSetUiTextFloat = 1650;
inline constexpr uint32_t kCmdSetUiTextInt = 1651;
inline constexpr uint32_t kCmdSetUiTextDword = 1652;
inline constexpr uint32_t kCmdSetUiTextTimeMinSec = 1653;
inline constexpr uint32_t kCmdSetUiTextTimeMinSecHun = 1654;
inline constexpr uint32_t kCmdSetUiTextFont = 1655;
inline constexpr uint32_t kCmdGetUiTextFont = 1656;
inline constexpr uint32_t kCmdSetUiTextVisible = 1657;
inline constexpr uint32_t kCmdGetUiTextVisible = 1658;

// Text types.
inline constexpr uint32_t kUiTextTranslated = 0;
inline constexpr uint32_t kUiTextLiteral = 1;
inline constexpr uint32_t kUiTextNumber = 2;
inline constexpr uint32_t kUiTextWholeNumber = 3;

class UITextActor : public Actor, public UiLook {
  public:
    UITextActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    uint32_t type = kUiTextTranslated;
    std::string text;
    int32_t fontId = -1;
    FontItem *font = nullptr;
    float lineSpace = 0.0f;
    float letterSpace = 0.0f;

  private:
    void SetText(std::string_view value);
    void AddText(std::string_view value);
    void SetFont(int32_t id);
    // The font named so among the library's fonts, or none.
    void FindFont(const std::string &fontName);
    void AnswerScreenRect(ParamBlock block);
    void CopyText(const UITextActor &source);
};
