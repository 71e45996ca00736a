#include "game/ui_sprite_actor.h"

#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "game/ui_element.h"
#include "library/library_item.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"
#include "library/video_items.h"

namespace {

const UiLookCommands kLookCommands = {
    cmd::ui_text::SetUISpriteColor, cmd::ui_sprite::SetUISpriteAlignX,
    cmd::ui_sprite::SetUISpriteAlignY,
    cmd::ui_sprite::SetUISpriteOrientationStyle, cmd::ui_sprite::SetUISprite3DLabelFadeDistance,
    cmd::ui_sprite::SetUISprite3DLabelMaxDistance,
};

// clang-format off
const UiSheetRow kSheet[] = {
    {"UI Sprite Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Type0|0|", PropertyKind::Enumeration, cmd::ui_sprite::SetUISpriteType, cmd::ui_sprite::GetUISpriteType},
    {"Material:", PropertyKind::LibraryMaterial, cmd::ui_sprite::SetUISpriteMaterialID, cmd::ui_sprite::GetUISpriteMaterial},
    {"Color:", PropertyKind::Color, cmd::ui_text::SetUISpriteColor, cmd::ui_text::GetUISpriteColor},
    {"Width:", PropertyKind::Real, cmd::ui_sprite::SetUISpriteWidth, cmd::ui_sprite::GetUISpriteWidth},
    {"Height:", PropertyKind::Real, cmd::ui_sprite::SetUISpriteHeight, cmd::ui_sprite::GetUISpriteHeight},
    {"Align X:|Left|0|Center|1|Right|2|", PropertyKind::Enumeration,
     cmd::ui_sprite::SetUISpriteAlignX,
     cmd::ui_sprite::GetUISpriteAlignX},
    {"Align Y:|Top|0|Middle|1|Bottom|2|", PropertyKind::Enumeration,
     cmd::ui_sprite::SetUISpriteAlignY,
     cmd::ui_sprite::GetUISpriteAlignY},
    {"Orientation Style:|2D Label|0|3D Label|1|3D|2|", PropertyKind::Enumeration, cmd::ui_sprite::SetUISpriteOrientationStyle, cmd::ui_sprite::GetUISpriteOrientationStyle},
    {"3D Label Max Dist:", PropertyKind::Real, cmd::ui_sprite::SetUISprite3DLabelFadeDistance, cmd::ui_sprite::GetUISprite3DLabelFadeDistance},
    {"3D Label Fade Dist:", PropertyKind::Real, cmd::ui_sprite::SetUISprite3DLabelMaxDistance, cmd::ui_sprite::GetUISprite3DLabelMaxDistance},
    {"Cursor", PropertyKind::CheckBox, cmd::ui_sprite::SetUiSpriteCursor, cmd::ui_sprite::GetUiSpriteCursor},
    {"Visible", PropertyKind::CheckBox, cmd::ui_sprite::SetUiSpriteVisible, cmd::ui_sprite::GetUiSpriteVisible},
};
// clang-format on

} // namespace

UISpriteActor::UISpriteActor() { classId = kUiSpriteClassId; }

void UISpriteActor::RegisterClass() { RegisterUiClass(kUiSpriteClassId, kSheet); }

void UISpriteActor::FindMaterial(const std::string &materialName) {
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr || materialName.empty()) {
        return;
    }
    if (MaterialItem *found =
            AsMaterial(library->FindItemByName(materialName.c_str(), ItemClass::Material))) {
        material = found;
        materialId = ResourceLibrary::GetItemIndex(found);
    }
}

void UISpriteActor::SetMaterialId(int32_t id) {
    materialId = id;
    ResourceLibrary *library = GetLibrary();
    material = library != nullptr && id >= 0 ? AsMaterial(library->UseItem(uint32_t(id))) : nullptr;
}

void UISpriteActor::ScreenRect(float rect[4]) {
    const Matrix &world = GetWorldMatrix();
    const float w = world.m[0][0] * width;
    const float h = world.m[1][1] * height;
    const float x = world.m[3][0] - AlignShift(alignX, w);
    const float y = world.m[3][1] - AlignShift(alignY, h);
    rect[0] = x;
    rect[1] = y;
    rect[2] = x + w;
    rect[3] = y + h;
}

void UISpriteActor::CopySprite(const UISpriteActor &source) {
    static_cast<UiLook &>(*this) = source;
    static_cast<UiSpriteFields &>(*this) = source;
}

int UISpriteActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    if (ServeUiLook(*this, *this, kLookCommands, commandId, block)) {
        return Actor::HandleCommand(commandId, block);
    }
    switch (commandId) {
    case kUiCmdScreenRect:
    case cmd::ui_sprite::UiSpriteRect: {
        float rect[4];
        ScreenRect(rect);
        for (int i = 0; i < 4; ++i) {
            if (commandId == kUiCmdScreenRect) {
                block.WriteI32(size_t(i) * 4, SaturateToI32(rect[i]));
            } else {
                block.WriteF32(size_t(i) * 4, rect[i]);
            }
        }
        break;
    }
    case cmd::base::Create: {
        if (auto *source = CreateSource(*this, block)) {
            CopySprite(*source);
        }
        break;
    }
    case cmd::ui_sprite::SetUISpriteType:
        type = block.ReadU32(0);
        break;
    case cmd::ui_sprite::GetUISpriteType:
        block.WriteU32(0, type);
        break;
    case kUiCmdSetResource:
    case cmd::ui_sprite::SetUISpriteMaterial:
        FindMaterial(std::string(block.ReadString(0)));
        break;
    case cmd::ui_sprite::SetUISpriteMaterialID:
        SetMaterialId(block.ReadI32(0));
        break;
    case cmd::ui_sprite::GetUISpriteMaterial:
        block.WriteI32(0, materialId);
        break;
    case cmd::ui_sprite::SetUISpriteWidth:
        width = block.ReadF32(0);
        break;
    case cmd::ui_sprite::GetUISpriteWidth:
        block.WriteF32(0, width);
        break;
    case cmd::ui_sprite::SetUISpriteHeight:
        height = block.ReadF32(0);
        break;
    case cmd::ui_sprite::GetUISpriteHeight:
        block.WriteF32(0, height);
        break;
    case cmd::ui_sprite::SetUiSpriteCursor:
        cursor = block.ReadU32(0);
        break;
    case cmd::ui_sprite::GetUiSpriteCursor:
        block.WriteU32(0, cursor);
        break;
    case cmd::ui_sprite::UISpritePlayMovie:
    case cmd::ui_sprite::UISpriteStopMovie:
    case cmd::ui_sprite::UISpritePauseMovie:
        if (ResourceLibrary *library = GetLibrary(); library != nullptr && material != nullptr) {
            if (LibraryItem *video = library->GetMaterialTexture(material, 0)) {
                if (commandId == cmd::ui_sprite::UISpritePlayMovie) {
                    RestartVideoTexture(video);
                } else {
                    StopVideoTexture(video);
                }
            }
        }
        break;
    case cmd::ui_sprite::SetUiSpriteVisible:
        SetEnabled(*this, block.ReadU32(0) != 0);
        break;
    case cmd::ui_sprite::GetUiSpriteVisible:
        block.WriteU32(0, EnabledWord(*this));
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void UISpriteActor::Draw2D(const Matrix &world) {
    ResourceLibrary *library = GetLibrary();
    const float x0 = -AlignShift(alignX, width);
    const float y0 = -AlignShift(alignY, height);
    const float xs[2] = {x0, x0 + width};
    const float ys[2] = {y0, y0 + height};
    // Strip order: top-left, top-right, bottom-left, bottom-right.
    float corners[8];
    for (int i = 0; i < 4; ++i) {
        const float x = xs[i & 1];
        const float y = ys[i >> 1];
        corners[i * 2] = world.m[0][0] * x + world.m[0][1] * y + world.m[3][0];
        corners[i * 2 + 1] = world.m[1][0] * x + world.m[1][1] * y + world.m[3][1];
    }
    library->QueueQuad(corners, 0.0f, 0.0f, 1.0f, 1.0f, color.x, color.y, color.z,
                       color.w * fade, material);
}

void UISpriteActor::Update() {
    if (!IsOperational()) {
        return;
    }
    ResourceLibrary *library = GetLibrary();
    if ((state & kActorEnabled) != 0 && material != nullptr && library != nullptr) {
        const Matrix &world = GetWorldMatrix();
        Vector3 p = {world.m[3][0], world.m[3][1], world.m[3][2]};
        if (style == 0 && cursor == 0) {
            Draw2D(world);
        } else if (style == 0) {
            library->SetImageOverlay(p.x, p.y, material);
        } else {
            const float v = LabelVisibility(p, maxDistance, fadeDistance);
            if (v * fade > 0.0f) {
                ProjectToScreen(&p);
                library->QueueRectUV(p.x - AlignShift(alignX, width),
                                     p.y - AlignShift(alignY, height), width, height, 0.0f, 0.0f,
                                     1.0f, 1.0f, color.x, color.y, color.z, v * color.w * fade,
                                     material);
            }
        }
    }
    Actor::Update();
}

int UISpriteActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0 || archive.Failed()) {
        return 0;
    }
    const bool writing = archive.IsWriting();
    const uint32_t version = archive.Version();
    if (version < 1) {
        return 1;
    }
    archive.SerializeWord(&type);
    uint32_t storedMaterial = uint32_t(materialId);
    archive.SerializeWord(&storedMaterial);
    archive.SerializeFloat(&width);
    archive.SerializeFloat(&height);
    if (version >= 26) {
        SerializeColor(archive, &color);
        archive.SerializeWord(&alignX);
    }
    if (version >= 30) {
        archive.SerializeWord(&cursor);
    }
    if (version >= 31 && version < 64) {
        SerializeEnabledWord(archive, *this);
    }
    std::string materialName;
    if (version >= 60) {
        archive.SerializeWord(&style);
        archive.SerializeFloat(&maxDistance);
        archive.SerializeFloat(&fadeDistance);
        archive.SerializeWord(&alignY);
        if (writing) {
            materialName = LibraryItemName(materialId);
        }
        archive.SerializeString(materialName);
    }
    if (archive.Failed()) {
        return 0;
    }
    if (!writing) {
        materialId = int32_t(storedMaterial);
        material = nullptr;
        FindMaterial(version >= 60 ? materialName : LibraryItemName(materialId));
    }
    return 1;
}

void UISpriteActor::DumpClassFields(std::vector<std::string> &lines) const {
    const float colour[4] = {color.x, color.y, color.z, color.w};
    lines.push_back("uisprite type " + std::to_string(type) + " material " +
                    std::to_string(materialId) + " size " + DumpNumber(width) + " " +
                    DumpNumber(height) + " color " + DumpNumbers(colour, 4) + " align " +
                    std::to_string(alignX) + " " + std::to_string(alignY) + " cursor " +
                    std::to_string(cursor) + " visible " + std::to_string(EnabledWord(*this)) +
                    " style " + std::to_string(style) + " max " + DumpNumber(maxDistance) +
                    " fade " + DumpNumber(fadeDistance));
}
