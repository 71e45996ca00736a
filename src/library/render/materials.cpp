// Materials, the eight blend modes and the state-word tracker.
#include <algorithm>

#include "library/library_item.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/texture_object.h"

namespace {

using namespace gfx;

struct BlendTracker {
    uint32_t current = StateWord::Initial;
    uint32_t lastApplied = StateWord::Initial;
    uint32_t force = 0;
};

BlendTracker &Tracker() {
    static BlendTracker tracker;
    return tracker;
}

void DefaultBindTexture(LibraryItem *item, uint32_t stage) {
    Device *device = GetD3DDevice();
    if (device == nullptr) {
        return;
    }
    Texture *texture = nullptr;
    if (item != nullptr && item->GetClass() == ItemClass::Texture) {
        const TextureObject *object = static_cast<TextureItem *>(item)->texture;
        if (object != nullptr) {
            texture = object->texture;
        }
    }
    device->SetTexture(stage, texture);
}

TextureBindHook &BindHook() {
    static TextureBindHook hook = DefaultBindTexture;
    return hook;
}

void SetEnvironmentMapping(Device &d, uint32_t stage, bool on) {
    if (on) {
        Matrix m = IdentityMatrix();
        m.m[0][0] = 0.5f;
        m.m[1][1] = -0.5f;
        m.m[3][0] = 0.5f;
        m.m[3][1] = 0.5f;
        d.SetTransform(Transform::Texture0 + stage, m);
        d.SetTextureStageState(stage, StageState::TextureTransformFlags,
                               TextureTransformFlag::Count2);
        d.SetTextureStageState(stage, StageState::TexCoordIndex,
                               TexCoordIndexFlag::CameraSpaceNormal);
    } else {
        d.SetTextureStageState(stage, StageState::TextureTransformFlags,
                               TextureTransformFlag::Disable);
        d.SetTextureStageState(stage, StageState::TexCoordIndex, stage);
    }
}

void SetStage1ColorOp(Device &d, uint32_t bits) {
    if (bits == StateWord::Stage1Add || bits == StateWord::Stage1BlendTextureAlpha) {
        d.SetTextureStageState(1, StageState::ColorArg1, TextureArg::Texture);
        d.SetTextureStageState(1, StageState::ColorOp,
                               bits == StateWord::Stage1Add ? TextureOp::Add
                                                            : TextureOp::BlendTextureAlpha);
        d.SetTextureStageState(1, StageState::ColorArg2, TextureArg::Current);
        d.SetTextureStageState(1, StageState::AlphaOp, TextureOp::Disable);
    } else {
        d.SetTextureStageState(1, StageState::ColorOp, TextureOp::Disable);
        d.SetTextureStageState(1, StageState::AlphaOp, TextureOp::Disable);
    }
}

void SetBlendFactors(Device &d, uint32_t src, uint32_t dest) {
    d.SetRenderState(RenderState::AlphaBlendEnable, 1);
    d.SetRenderState(RenderState::SrcBlend, src);
    d.SetRenderState(RenderState::DestBlend, dest);
}

void SetAlphaCase(Device &d, uint32_t alphaCase) {
    switch (alphaCase) {
    case 0:
        d.SetRenderState(RenderState::AlphaBlendEnable, 0);
        break;
    case 1:
    case 2:
        SetBlendFactors(d, Blend::SrcAlpha, alphaCase == 1 ? Blend::InvSrcAlpha : Blend::One);
        d.SetTextureStageState(0, StageState::AlphaOp, TextureOp::SelectArg1);
        d.SetTextureStageState(0, StageState::AlphaArg1, TextureArg::Diffuse);
        break;
    case 3:
        SetBlendFactors(d, Blend::Zero, Blend::SrcColor);
        break;
    case 4:
        SetBlendFactors(d, Blend::SrcAlpha, Blend::InvSrcAlpha);
        d.SetTextureStageState(0, StageState::AlphaOp, TextureOp::SelectArg1);
        d.SetTextureStageState(0, StageState::AlphaArg1, TextureArg::Texture);
        break;
    case 5:
        SetBlendFactors(d, Blend::SrcAlpha, Blend::InvSrcAlpha);
        d.SetTextureStageState(0, StageState::AlphaOp, TextureOp::Modulate);
        d.SetTextureStageState(0, StageState::AlphaArg1, TextureArg::Texture);
        d.SetTextureStageState(0, StageState::AlphaArg2, TextureArg::Current);
        break;
    default: // 6 and 7 leave everything as it is
        break;
    }
}

// The item of a texture-id entry, loaded; null when the id names nothing.
LibraryItem *LoadedItem(ResourceLibrary &library, uint32_t id) {
    if (!ResourceLibrary::IsItemIndexValid(id)) {
        return nullptr;
    }
    LibraryItem *item = library.GetItemById(id);
    if (item != nullptr && !item->loaded) {
        library.LoadItem(item);
    }
    return item;
}

} // namespace

// --- tracker ---------------------------------------------------------------------------

void SetBlendMode(uint32_t word) {
    BlendTracker &t = Tracker();
    t.current = word;
    const uint32_t changed = (t.lastApplied ^ word) | t.force;
    if (changed == 0) {
        return;
    }
    if (Device *d = GetD3DDevice()) {
        constexpr uint32_t kSwitches = StateWord::DepthTest | StateWord::DepthWrite |
                                       StateWord::Lighting | StateWord::Fog | StateWord::Inert;
        if (changed & kSwitches) {
            if (changed & StateWord::DepthTest) {
                d->SetRenderState(RenderState::DepthEnable, (word & StateWord::DepthTest) ? 1 : 0);
            }
            if (changed & StateWord::DepthWrite) {
                d->SetRenderState(RenderState::DepthWriteEnable,
                                  (word & StateWord::DepthWrite) ? 1 : 0);
            }
            if (changed & StateWord::Lighting) {
                d->SetRenderState(RenderState::Lighting, (word & StateWord::Lighting) ? 1 : 0);
            }
            if (changed & StateWord::Fog) {
                d->SetRenderState(RenderState::FogEnable, (word & StateWord::Fog) ? 1 : 0);
            }
        }
        if (changed & (StateWord::EnvStage0 | StateWord::EnvStage1)) {
            if (changed & StateWord::EnvStage0) {
                SetEnvironmentMapping(*d, 0, (word & StateWord::EnvStage0) != 0);
            }
            if (changed & StateWord::EnvStage1) {
                SetEnvironmentMapping(*d, 1, (word & StateWord::EnvStage1) != 0);
            }
        }
        if (changed & StateWord::CullMask) {
            switch (word & StateWord::CullMask) {
            case 0:
                d->SetRenderState(RenderState::CullMode, Cull::None);
                break;
            case StateWord::CullCw:
                d->SetRenderState(RenderState::CullMode, Cull::Cw);
                break;
            case StateWord::CullCcw:
                d->SetRenderState(RenderState::CullMode, Cull::Ccw);
                break;
            default: // both bits: culling stays as it is
                break;
            }
        }
        if (changed & StateWord::Clamp) {
            const uint32_t mode =
                (word & StateWord::Clamp) ? TextureAddress::Clamp : TextureAddress::Wrap;
            d->SetTextureStageState(0, StageState::AddressU, mode);
            d->SetTextureStageState(0, StageState::AddressV, mode);
        }
        if (changed & StateWord::Stage1Mask) {
            SetStage1ColorOp(*d, word & StateWord::Stage1Mask);
        }
        if (changed & StateWord::CaseMask) {
            SetAlphaCase(*d, word & StateWord::CaseMask);
        }
    }
    t.lastApplied = word;
    t.force = 0;
}

uint32_t SetCurrentBlendMode(uint32_t mask) {
    Tracker().force = mask;
    return mask;
}

uint32_t GetCurrentBlendWord() { return Tracker().current; }
uint32_t GetLastAppliedBlendWord() { return Tracker().lastApplied; }
uint32_t GetBlendForceMask() { return Tracker().force; }

void ResetBlendModeTracking() { Tracker() = BlendTracker{}; }

void SetTextureBindHook(TextureBindHook hook) {
    BindHook() = hook != nullptr ? hook : DefaultBindTexture;
}

void BindMaterialTexture(LibraryItem *item, uint32_t stage) { BindHook()(item, stage); }

uint32_t GetMaterialField2(const MaterialItem *material) {
    return material != nullptr ? material->field2 : 0;
}

uint32_t GetMaterialField8(const MaterialItem *material) {
    return material != nullptr ? material->field8 : 0;
}

// --- front-end state -----------------------------------------------------------------------

RenderFrontEnd::RenderFrontEnd()
    : blendModes{{"Normal", 0x19, 1},
                 {"Texture Alpha", 0x0D, 1},
                 {"Multiply", 0x0B, 1},
                 {"Add", 0x0A, 1},
                 {"* Env", 0x2019, 1},
                 {"* Add Env", 0x201A, 1},
                 {"* 1(Normal) <ADD> 2(ENV)", 0x4219, 1},
                 {"* 1(ENV) <Texture2Alpha> 2", 0x2619, 1}} {
    MatrixIdentity(&view);
    for (Matrix &plane : sidePlanes) {
        MatrixIdentity(&plane);
    }
}

RenderFrontEnd::~RenderFrontEnd() {
    for (DrawInstance *instance : instances) {
        delete instance;
    }
    for (LightItem *light : ownedLights) {
        delete light;
    }
}

// --- materials -----------------------------------------------------------------------------

const BlendModeEntry &ResourceLibrary::GetBlendMode(uint32_t index) const {
    return render_.blendModes[index < kBlendModeCount ? index : 0];
}

LibraryItem *ResourceLibrary::GetMaterialTexture(const MaterialItem *material, uint32_t i) {
    if (material == nullptr || i >= material->textureIds.size()) {
        return nullptr;
    }
    const uint32_t id = material->textureIds[i];
    return IsItemIndexValid(id) ? GetItemById(id) : nullptr;
}

void ResourceLibrary::ApplyMaterial(MaterialItem *material, float alpha, uint32_t secondTexture) {
    if (material == nullptr || material->GetClass() != ItemClass::Material) {
        return;
    }
    Device *device = GetD3DDevice();
    if (render_.lastSecondTexture != kNoSlot && secondTexture == kNoSlot) {
        if (device != nullptr) {
            device->SetTexture(1, nullptr);
        }
        SetCurrentBlendMode(StateWord::Stage1Mask);
    }
    // The current material at full alpha costs nothing more, unless groups
    // were forced (states were set behind the tracker's back).
    const bool fullAlpha = alpha >= 1.0f;
    if (!(material == render_.currentMaterial && fullAlpha && GetBlendForceMask() == 0)) {
        render_.currentMaterial = material;
        if (device != nullptr) {
            device->SetRenderState(RenderState::SpecularEnable, material->specularFlag ? 1 : 0);
        }
        uint32_t word = GetBlendMode(material->blendMode).word;
        if (material->materialAlpha == 0) {
            material->material.diffuse.a = 1.0f;
        }
        uint32_t alphaCase = word & StateWord::CaseMask;
        if (!fullAlpha) {
            if (alphaCase == 0) {
                alphaCase = 1;
            }
            render_.currentMaterial = nullptr;
        } else if (material->material.diffuse.a == 1.0f) {
            if (alphaCase == 1) {
                alphaCase = 0;
            } else if (alphaCase == 5) {
                alphaCase = 4;
            }
        }
        word = (word & ~StateWord::CaseMask) | alphaCase;
        if (render_.fogOn && material->fog) {
            word |= StateWord::Fog;
        }
        if (!material->twoSided) {
            word |= StateWord::CullCcw;
        }
        if (!material->unlit) {
            word |= StateWord::Lighting;
        }
        SetBlendMode(word);
        if (device != nullptr) {
            if (!fullAlpha) {
                Material copy = material->material;
                copy.diffuse.a *= alpha;
                device->SetMaterial(copy);
            } else {
                device->SetMaterial(material->material);
            }
            device->SetTexture(0, nullptr);
            device->SetTexture(1, nullptr);
        }
        const size_t stages = std::min<size_t>(material->textureIds.size(), kStageCount);
        for (size_t i = 0; i < stages; ++i) {
            if (LibraryItem *item = LoadedItem(*this, material->textureIds[i])) {
                BindMaterialTexture(item, uint32_t(i));
            }
        }
    }
    if (secondTexture != kNoSlot) {
        if (LibraryItem *item = LoadedItem(*this, secondTexture)) {
            BindMaterialTexture(item, 1);
        }
        if (device != nullptr) {
            device->SetTextureStageState(1, StageState::TexCoordIndex, 1);
            device->SetTextureStageState(1, StageState::ColorOp, TextureOp::Modulate2x);
            device->SetTextureStageState(1, StageState::ColorArg1, TextureArg::Texture);
            device->SetTextureStageState(1, StageState::ColorArg2, TextureArg::Current);
        }
    }
    render_.lastSecondTexture = secondTexture;
}
