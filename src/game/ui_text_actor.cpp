#include "game/ui_text_actor.h"

#include <cmath>
#include <cstdio>

#include "base/file_system.h"
#include "base/text_table.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "game/ui_element.h"
#include "library/library_item.h"
#include "library/render/font_services.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"

namespace {

const UiLookCommands kLookCommands = {
    cmd::ui_text::SetUITextColor, cmd::ui_text::SetUITextAlignX,
    cmd::ui_text::SetUITextAlignY,
    cmd::ui_text::SetUITextOrientationStyle, cmd::ui_text::SetUIText3DLabelFadeDistance,
    cmd::ui_text::SetUIText3DLabelMaxDistance,
};

constexpr float kClockStart = 81000.0f; // 22:30:00

// clang-format off
const UiSheetRow kSheet[] = {
    {"UI Text Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Use Text Translation|0|Dont Use Text Translation|1|Number|2|Number No Decimal|3|",
     PropertyKind::Enumeration, cmd::ui_text::SetUITextType, cmd::ui_text::GetUITextType},
    {"Text:", PropertyKind::MultiLineText, cmd::ui_text::SetUITextText, cmd::ui_text::GetUITextText},
    {"Letter Space:", PropertyKind::Real, cmd::ui_text::SetUITextLetterSpace, cmd::ui_text::GetUITextLetterSpace},
    {"Line Space:", PropertyKind::Real, cmd::ui_text::SetUITextLineSpace, cmd::ui_text::GetUITextLineSpace},
    {"Color:", PropertyKind::Color, cmd::ui_text::SetUITextColor, cmd::ui_text::GetUITextColor},
    {"Align X:|Left|0|Center|1|Right|2|", PropertyKind::Enumeration, cmd::ui_text::SetUITextAlignX, cmd::ui_text::GetUITextAlignX},
    {"Align Y:|Top|0|Middle|1|Bottom|2|", PropertyKind::Enumeration, cmd::ui_text::SetUITextAlignY, cmd::ui_text::GetUITextAlignY},
    {"Orientation Style:|2D Label|0|3D Label|1|3D|2|", PropertyKind::Enumeration, cmd::ui_text::SetUITextOrientationStyle, cmd::ui_text::GetUITextOrientationStyle},
    {"3D Label Max Dist:", PropertyKind::Real, cmd::ui_text::SetUIText3DLabelFadeDistance, cmd::ui_text::GetUIText3DLabelFadeDistance},
    {"3D Label Fade Dist:", PropertyKind::Real, cmd::ui_text::SetUIText3DLabelMaxDistance, cmd::ui_text::GetUIText3DLabelMaxDistance},
    {"Font:", PropertyKind::FontPick, cmd::ui_text::SetUITextFont, cmd::ui_text::GetUITextFont},
    {"Visible", PropertyKind::CheckBox, cmd::ui_text::SetUiTextVisible, cmd::ui_text::GetUiTextVisible},
};
// clang-format on

std::string Format(const char *format, auto... values) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), format, values...);
    return buffer;
}

// Minutes, seconds and hundredths of a time in seconds; a negative time
// counts as 0.
struct MinSecHun {
    int32_t minutes, seconds, hundredths;
};
MinSecHun SplitTime(float value) {
    const double v = value < 0.0f ? 0.0 : double(value);
    const double m = std::trunc(v / 60.0);
    const double s = std::trunc(v - 60.0 * m);
    const double h = std::trunc((v - 60.0 * m - s) * 100.0);
    return {SaturateToI32(m), SaturateToI32(s), SaturateToI32(h)};
}

} // namespace

UITextActor::UITextActor() { classId = kUiTextClassId; }

void UITextActor::RegisterClass() { RegisterUiClass(kUiTextClassId, kSheet); }

void UITextActor::SetText(std::string_view value) {
    text = value;
    if (text == "QV_TIME") {
        RefreshTimeRecord(timeRecord);
        const float t = (timeRecord != nullptr ? timeRecord->time : 0.0f) + kClockStart;
        int32_t h = SaturateToI32(t / 3600.0f);
        const int32_t m = SaturateToI32((t - 3600.0f * float(h)) / 60.0f);
        const int32_t s = SaturateToI32(t - 3600.0f * float(h) - 60.0f * float(m));
        if (h >= 24) {
            h -= 24;
        }
        text = Format("%02d:%02d:%02d", h, m, s);
    } else if (type == kUiTextTranslated) {
        text = Translate(text);
    }
}

void UITextActor::AddText(std::string_view value) {
    text += type == kUiTextTranslated ? Translate(std::string(value)) : std::string(value);
}

void UITextActor::SetFont(int32_t id) {
    fontId = id;
    font = nullptr;
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr || id < 0) {
        return;
    }
    LibraryItem *item = library->UseItem(uint32_t(id));
    if (item != nullptr && item->classId == uint32_t(ItemClass::Font)) {
        font = static_cast<FontItem *>(item);
        library->LoadItem(font);
    }
}

void UITextActor::FindFont(const std::string &fontName) {
    font = nullptr;
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr || fontName.empty()) {
        return;
    }
    LibraryItem *item = library->FindItemByName(fontName.c_str(), ItemClass::Font);
    if (item != nullptr) {
        font = static_cast<FontItem *>(item);
        fontId = ResourceLibrary::GetItemIndex(item);
        library->LoadItem(font);
    }
}

void UITextActor::AnswerScreenRect(ParamBlock block) {
    if (font == nullptr) {
        return;
    }
    float w = 0.0f;
    float h = 0.0f;
    MeasureText(font, text.c_str(), &w, &h);
    const Vector3 p = GetWorldPosition();
    const int32_t x0 = SaturateToI32(p.x);
    const int32_t y0 = SaturateToI32(p.y);
    int32_t rect[4] = {x0, y0, SaturateToI32(double(x0) + w), SaturateToI32(double(y0) + h)};
    const float shiftX = AlignShift(alignX, w);
    const float shiftY = AlignShift(alignY, h);
    if (alignX == 1 || alignX == 2) {
        rect[0] = SaturateToI32(double(x0) - shiftX);
        rect[2] = SaturateToI32(double(rect[2]) - shiftX);
    }
    if (alignY == 1 || alignY == 2) {
        rect[1] = SaturateToI32(double(y0) - shiftY);
        rect[3] = SaturateToI32(double(rect[3]) - shiftY);
    }
    for (int i = 0; i < 4; ++i) {
        block.WriteI32(size_t(i) * 4, rect[i]);
    }
}

void UITextActor::CopyText(const UITextActor &source) {
    static_cast<UiLook &>(*this) = source;
    static_cast<UiTextFields &>(*this) = source;
}

int UITextActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    if (ServeUiLook(*this, *this, kLookCommands, commandId, block)) {
        return Actor::HandleCommand(commandId, block);
    }
    switch (commandId) {
    case kUiCmdScreenRect:
        AnswerScreenRect(block);
        break;
    case cmd::base::Create: {
        if (auto *source = CreateSource(*this, block)) {
            CopyText(*source);
        }
        break;
    }
    case cmd::ui_text::SetUITextType:
        type = block.ReadU32(0);
        break;
    case cmd::ui_text::GetUITextType:
        block.WriteU32(0, type);
        break;
    case cmd::ui_text::SetUITextLetterSpace:
        letterSpace = block.ReadF32(0);
        break;
    case cmd::ui_text::GetUITextLetterSpace:
        block.WriteF32(0, letterSpace);
        break;
    case cmd::ui_text::SetUITextLineSpace:
        lineSpace = block.ReadF32(0);
        break;
    case cmd::ui_text::GetUITextLineSpace:
        block.WriteF32(0, lineSpace);
        break;
    case cmd::ui_text::SetUITextText:
        SetText(block.ReadString(0));
        break;
    case cmd::ui_text::GetUITextText:
        // The caller's string is only as long as its block: the text is cut
        // to it, with its terminator.
        block.WriteString(0, text);
        break;
    case cmd::ui_text::UITextNewlineAddText:
        text += '\n';
        AddText(block.ReadString(0));
        break;
    case cmd::ui_text::UITextAddText:
        AddText(block.ReadString(0));
        break;
    case cmd::ui_text::SetUITextFloat:
        text = Format(type == kUiTextWholeNumber ? "%.0f" : "%.2f", double(block.ReadF32(0)));
        break;
    case cmd::ui_text::SetUITextInt:
        text = Format("%d", block.ReadI32(0));
        break;
    case cmd::ui_text::SetUITextDword:
        text = Format("%d", block.ReadI32(0));
        break;
    case cmd::ui_text::SetUITextTimeMinSec: {
        const MinSecHun t = SplitTime(block.ReadF32(0));
        text = Format("%d:%02d", t.minutes, t.seconds);
        break;
    }
    case cmd::ui_text::SetUITextTimeMinSecHun: {
        const MinSecHun t = SplitTime(block.ReadF32(0));
        text = Format("%d:%02d:%02d", t.minutes, t.seconds, t.hundredths);
        break;
    }
    case cmd::ui_text::SetUITextFont:
        SetFont(block.ReadI32(0));
        break;
    case cmd::ui_text::GetUITextFont:
        block.WriteI32(0, fontId);
        break;
    case cmd::ui_text::SetUiTextVisible:
        SetEnabled(*this, block.ReadU32(0) != 0);
        break;
    case cmd::ui_text::GetUiTextVisible:
        block.WriteU32(0, EnabledWord(*this));
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void UITextActor::Update() {
    if (!IsOperational()) {
        return;
    }
    ResourceLibrary *library = GetLibrary();
    if ((state & kActorEnabled) != 0 && library != nullptr) {
        library->SetCurrentFont(font);
        const uint32_t styleFlags = ((alignY * 8) | alignX) * 2;
        Vector3 p = GetWorldPosition();
        if (style == 0) {
            library->QueueText(p.x, p.y, color.x, color.y, color.z, color.w * fade, text.c_str(),
                               styleFlags);
        } else {
            const float v = LabelVisibility(p, maxDistance, fadeDistance);
            if (v * fade > 0.0f) {
                ProjectToScreen(&p);
                library->QueueTextEx(p.x, p.y, color.x, color.y, color.z, v * color.w * fade,
                                     text.c_str(), styleFlags, p.z);
            }
        }
    }
    Actor::Update();
}

int UITextActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0 || archive.Failed()) {
        return 0;
    }
    const bool writing = archive.IsWriting();
    const uint32_t version = archive.Version();
    if (version < 1) {
        return 1;
    }
    archive.SerializeWord(&type);
    if (!writing) {
        text.clear();
    }
    archive.SerializeString(text);
    archive.SerializeWord(&alignX);
    uint32_t storedFont = uint32_t(fontId);
    archive.SerializeWord(&storedFont);
    SerializeColor(archive, &color);
    if (version < 64) {
        SerializeEnabledWord(archive, *this);
    }
    archive.SerializeWord(&alignY);
    std::string fontName;
    if (version >= 60) {
        archive.SerializeFloat(&lineSpace);
        archive.SerializeFloat(&letterSpace);
        archive.SerializeWord(&style);
        archive.SerializeFloat(&maxDistance);
        archive.SerializeFloat(&fadeDistance);
        if (writing) {
            fontName = LibraryItemName(fontId);
        }
        archive.SerializeString(fontName);
    }
    if (archive.Failed()) {
        return 0;
    }
    if (!writing) {
        fontId = int32_t(storedFont);
        FindFont(version >= 60 ? fontName : LibraryItemName(fontId));
        if (version < 40 && alignX == 1) {
            alignY = 1;
        }
        if (type == kUiTextTranslated) {
            text = Translate(text);
        }
    }
    return 1;
}

void UITextActor::DumpClassFields(std::vector<std::string> &lines) const {
    const float colour[4] = {color.x, color.y, color.z, color.w};
    lines.push_back("uitext type " + std::to_string(type) + " text " + DumpText(text) + " font " +
                    std::to_string(fontId) + " color " + DumpNumbers(colour, 4) + " align " +
                    std::to_string(alignX) + " " + std::to_string(alignY) + " visible " +
                    std::to_string(EnabledWord(*this)) + " space " + DumpNumber(lineSpace) + " " +
                    DumpNumber(letterSpace) + " style " + std::to_string(style) + " max " +
                    DumpNumber(maxDistance) + " fade " + DumpNumber(fadeDistance));
}
