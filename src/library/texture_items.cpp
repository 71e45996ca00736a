#include "library/texture_items.h"

#include <algorithm>
#include <cmath>

#include "base/pack_archive.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/os/gfx/types.h"
#include "platform/texture_file.h"
#include "platform/texture_object.h"

namespace {

OpenVideoTextureHook g_openVideo = nullptr;

const char kTextureError[] = "Error: Create Texture Library Item Texture";

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = char(c - 'A' + 'a');
        }
    }
    return text;
}

uint32_t ColorByte(float c) {
    if (!(c > 0.0f)) {  // also NaN
        return 0;
    }
    if (c >= 1.0f) {
        return 255;
    }
    return uint32_t(c * 255.0f);
}

// --- loaders ---------------------------------------------------------------------

int LoadTexture(LibraryItem& item) {
    if (item.loaded != 0) {
        return 1;
    }
    ResourceLibrary* library = GetLibrary();
    if (library == nullptr || !library->LoadTextureFile(static_cast<TextureItem*>(&item))) {
        return 0;
    }
    item.loaded = 1;
    return 1;
}

int ReleaseTexture(LibraryItem& item) {
    auto& texture = static_cast<TextureItem&>(item);
    if (texture.loaded == 0 || texture.texture == nullptr) {
        return 1;
    }
    DestroyTextureObject(texture.texture);
    texture.texture = nullptr;
    texture.loaded = 0;
    return 1;
}

// The item of each listed slot: a slot outside the table reports
// "Error Invalid Container ID"; empty and invalid slots are skipped.
template <typename Fn>
void ForEachListedItem(const MaterialItem& material, Fn&& fn) {
    ResourceLibrary* library = GetLibrary();
    if (library == nullptr) {
        return;
    }
    for (uint32_t slot : material.textureIds) {
        if (LibraryItem* listed = library->GetItemById(slot)) {
            fn(*listed);
        }
    }
}

int LoadMaterial(LibraryItem& item) {
    if (item.loaded != 0) {
        return 1;
    }
    ForEachListedItem(static_cast<MaterialItem&>(item), [](LibraryItem& texture) {
        if (texture.loaded == 0) {
            texture.Load();
        }
    });
    return 1;
}

int ReleaseMaterial(LibraryItem& item) {
    if (item.loaded == 0) {
        return 1;
    }
    ForEachListedItem(static_cast<MaterialItem&>(item),
                      [](LibraryItem& texture) { texture.Release(); });
    item.loaded = 0;
    return 1;
}

int LightDoesNothing(LibraryItem& /*item*/) { return 1; }

}  // namespace

void RegisterTextureItemLoaders() {
    SetItemLoader(ItemClass::Texture, {LoadTexture, ReleaseTexture});
    SetItemLoader(ItemClass::Material, {LoadMaterial, ReleaseMaterial});
    SetItemLoader(ItemClass::Light, {LightDoesNothing, LightDoesNothing});
}

void SetOpenVideoTextureHook(OpenVideoTextureHook hook) { g_openVideo = hook; }

TextureRequest ChooseTextureRequest(uint32_t kind, uint32_t recordWidth, uint32_t recordHeight,
                                    uint32_t formatMode, uint32_t divisor,
                                    const std::string& extension) {
    TextureRequest request;
    // A divisor of 0 would divide by zero: it counts as 1.
    const uint32_t d = divisor == 0 ? 1 : divisor;
    if (kind < 3 || d > 4) {
        request.width = std::max(recordWidth / d, 4u);
        request.height = std::max(recordHeight / d, 4u);
    }
    const bool tga = LowerAscii(extension) == ".tga";
    if (kind != 4) {
        switch (formatMode) {
            case 1:
                request.format = tga ? gfx::Format::Unknown : gfx::Format::R5G6B5;
                break;
            case 2:
                request.format = tga ? gfx::Format::A4R4G4B4 : gfx::Format::R5G6B5;
                break;
            case 3:
                request.format = tga ? gfx::Format::Dxt2 : gfx::Format::Dxt1;
                break;
            default:
                break;
        }
    }
    return request;
}

uint32_t PackAmbientColor(float r, float g, float b, float a) {
    return (ColorByte(a) << 24) | (ColorByte(r) << 16) | (ColorByte(g) << 8) | ColorByte(b);
}

int ResourceLibrary::LoadTextureFile(TextureItem* item) {
    if (item == nullptr) {
        return ReportLibraryError(kTextureError);
    }
    if (item->texture != nullptr) {
        DestroyTextureObject(item->texture);
        item->texture = nullptr;
    }
    const std::string path = GetDataFilePath(*item);
    const std::string extension = LowerAscii(GetFileExtension(item->fileName));
    if (extension == ".avi" || extension == ".mpg") {
        // The film is opened by the video module; the item counts as loaded
        // whatever it answers.
        if (g_openVideo == nullptr) {
            return ReportLibraryError(kTextureError);
        }
        item->texture = g_openVideo(path.c_str());
        if (item->texture == nullptr) {
            // Loaded all the same (no reopening on every draw); it draws
            // untextured.
            ReportLibraryError(kTextureError);
        }
        return 1;
    }
    const TextureRequest request =
        ChooseTextureRequest(item->kind, item->width, item->height, GetTextureFormatMode(),
                             GetTextureSizeDivisor(), extension);
    item->texture = Texture_CreateFromFile(path.c_str(), request.width, request.height,
                                           request.format, item->mipLevels);
    if (item->texture == nullptr) {
        NoteItemLoadFailure(GetGraphicsErrorText());
        return ReportLibraryError(kTextureError);
    }
    return 1;
}

void ResourceLibrary::SetAmbientLight(float r, float g, float b, float a) {
    if (gfx::Device* device = GetD3DDevice()) {
        device->SetRenderState(gfx::RenderState::Ambient, PackAmbientColor(r, g, b, a));
    }
}
