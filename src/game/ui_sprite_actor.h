// The UI Sprite actor (class 36): one textured rectangle of a library
// material, as a screen quad following its node's world transform, as a
// label quad on a 3D point faded by the camera's distance, or as the
// screen's cursor image. A video texture of its material is started and
// stopped by its movie commands. Buttons take their hit rectangle from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "game/ui_element.h"

class MaterialItem;

inline constexpr uint32_t kUiSpriteClassId = 36;

inline constexpr uint32_t kCmdSetUiSpriteType = 1659;
inline constexpr uint32_t kCmdGetUiSpriteType = 1660;
inline constexpr uint32_t kCmdSetUiSpriteMaterial = 1661;
inline constexpr uint32_t kCmdSetUiSpriteMaterialId = 1662;
inline constexpr uint32_t kCmdGetUiSpriteMaterial = 1663;
inline constexpr uint32_t kCmdSetUiSpriteColor = 1664;
inline constexpr uint32_t kCmdGetUiSpriteColor = 1665;
inline constexpr uint32_t kCmdUiSpriteRect = 1666;
inline constexpr uint32_t kCmdSetUiSpriteWidth = 1667;
inline constexpr uint32_t kCmdGetUiSpriteWidth = 1668;
inline constexpr uint32_t kCmdSetUiSpriteHeight = 1669;
inline constexpr uint32_t kCmdGetUiSpriteHeight = 1670;
inline constexpr uint32_t kCmdSetUiSpriteStyle = 1671;
inline constexpr uint32_t kCmdGetUiSpriteStyle = 1672;
inline constexpr uint32_t kCmdSetUiSpriteFadeDistance = 1673;
inline constexpr uint32_t kCmdGetUiSpriteFadeDistance = 1674;
inline constexpr uint32_t kCmdSetUiSpriteMaxDistance = 1675;
inline constexpr uint32_t kCmdGetUiSpriteMaxDistance = 1676;
inline constexpr uint32_t kCmdSetUiSpriteAlignX = 1677;
inline constexpr uint32_t kCmdGetUiSpriteAlignX = 1678;
inline constexpr uint32_t kCmdSetUiSpriteAlignY = 1679;
inline constexpr uint32_t kCmdGetUiSpriteAlignY = 1680;
inline constexpr uint32_t kCmdSetUiSpriteCursor = 1681;
inline constexpr uint32_t kCmdGetUiSpriteCursor = 1682;
inline constexpr uint32_t kCmdUiSpritePlayMovie = 1683;
inline constexpr uint32_t kCmdUiSpriteStopMovie = 1684;
inline constexpr uint32_t kCmdUiSpritePauseMovie = 1685;
inline constexpr uint32_t kCmdSetUiSpriteVisible = 1686;
inline constexpr uint32_t kCmdGetUiSpriteVisible = 1687;

class UISpriteActor : public Actor, public UiLook {
  public:
    UISpriteActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // The screen rectangle (left, top, right, bottom) from the world matrix,
    // the size and the alignment.
    void ScreenRect(float rect[4]);

    uint32_t type = 0;
    int32_t materialId = -1;
    MaterialItem *material = nullptr;
    float width = 64.0f;
    float height = 64.0f;
    uint32_t cursor = 0;

  private:
    // The material named so (case ignored); an unknown name changes nothing.
    void FindMaterial(const std::string &materialName);
    void SetMaterialId(int32_t id);
    void Draw2D(const Matrix &world);
    void CopySprite(const UISpriteActor &source);
};
