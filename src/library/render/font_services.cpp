#include "library/render/font_services.h"

#include "library/bitmap_font.h"
#include "library/display.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/texture_object.h"

namespace {

// The font is built once and kept while the item is loaded.
int LoadFontItem(LibraryItem &item) {
    if (item.loaded != 0) {
        return 1;
    }
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr) {
        return 0;
    }
    const int built = library->BuildFont(static_cast<FontItem *>(&item));
    if (built != 0) {
        item.loaded = 1;
    }
    return built;
}

// The font stays built, for the texts that still name the item, until the
// item goes; the next Load builds it again.
int ReleaseFontItem(LibraryItem &item) {
    item.loaded = 0;
    return 1;
}

void CreateDefaultFont() {
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr) {
        return;
    }
    FontItem *font = library->CreateFontItem("Lucida Console", 6, nullptr);
    if (font == nullptr) {
        return;
    }
    FontItem *old = GetDefaultFontItem();
    SetDefaultFontItem(font);
    library->SetCurrentFont(font);
    delete old;
}

} // namespace

void RegisterFontServices() {
    SetItemLoader(ItemClass::Font, {LoadFontItem, ReleaseFontItem});
    SetDefaultFontHook(CreateDefaultFont);
}

FontItem *GetDefaultFont() { return GetDefaultFontItem(); }

int ResourceLibrary::BuildFont(FontItem *item) {
    if (item == nullptr || item->faceName.empty()) {
        return 0;
    }
    if (!item->font) {
        item->font = std::make_unique<BitmapFont>();
    }
    // A glyph texture slot that names no texture item builds from the face.
    LibraryItem *texture = UseItem(item->glyphTexture);
    if (texture == nullptr || texture->GetClass() != ItemClass::Texture) {
        item->glyphTexture = kNoSlot;
    }
    gfx::Device *device = GetD3DDevice();
    if (item->HasGlyphSection()) {
        LoadItem(texture);
        const TextureObject *object = static_cast<TextureItem *>(texture)->texture;
        item->font->Attach(device, object != nullptr ? object->texture : nullptr);
    } else {
        item->font->Create(nullptr, item->faceName.c_str(), item->size, item->styleFlags, device,
                           item->characterSet.c_str(), GetWindow(), float(item->spacing));
    }
    return 1;
}

FontItem *ResourceLibrary::CreateFontItem(const char *face, uint32_t size,
                                          const char *characterSet) {
    auto *item = new FontItem();
    if (face != nullptr) {
        item->faceName = face;
    }
    item->size = size;
    if (characterSet != nullptr) {
        item->characterSet = characterSet;
    }
    if (!BuildFont(item)) {
        delete item;
        return nullptr;
    }
    item->loaded = 1;
    return item;
}

void MeasureText(FontItem *font, const char *text, float *width, float *height) {
    int w = 0;
    int h = 0;
    if (font != nullptr && text != nullptr) {
        if (font->loaded == 0 && GetLibrary() != nullptr) {
            GetLibrary()->LoadItem(font);
        }
        if (font->font) {
            font->font->Measure(text, &w, &h, false);
        }
    }
    if (width != nullptr) {
        *width = float(w);
    }
    if (height != nullptr) {
        *height = float(h);
    }
}

uint32_t TruncateColorChannel(float c) {
    if (!(c > 0.0f)) {
        return 0; // also NaN
    }
    if (c >= 1.0f) {
        return 255;
    }
    return uint32_t(c * 255.0f);
}

void DrawTextNow(float x, float y, float depth, float red, float green, float blue, float alpha,
                 const char *text, bool centred, FontItem *font) {
    if (font == nullptr) {
        font = GetDefaultFontItem();
    }
    if (font == nullptr || !font->font || text == nullptr) {
        return;
    }
    const uint32_t color = (TruncateColorChannel(alpha) << 24) |
                           (TruncateColorChannel(red) << 16) |
                           (TruncateColorChannel(green) << 8) | TruncateColorChannel(blue);
    font->font->Draw(x, y, color, text, centred ? 2u : 0u, depth);
}
