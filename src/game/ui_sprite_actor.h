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
#include "core/actors/command_ids.h"
#include "game/ui_element.h"

class MaterialItem;

// A sprite's own fields: with its look, what a "Create" copies from a
// source sprite.
struct UiSpriteFields {
    uint32_t type = 0;
    int32_t materialId = -1;
    MaterialItem *material = nullptr;
    float width = 64.0f;
    float height = 64.0f;
    uint32_t cursor = 0;
};

class UISpriteActor : public Actor, public UiLook, public UiSpriteFields {
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

  private:
    // The material named so (case ignored); an unknown name changes nothing.
    void FindMaterial(const std::string &materialName);
    void SetMaterialId(int32_t id);
    void Draw2D(const Matrix &world);
    void CopySprite(const UISpriteActor &source);
};
