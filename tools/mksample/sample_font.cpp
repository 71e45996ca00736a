// The glyph sheet of the sample's prepared font, rasterised by the engine's
// bitmap font on a recording device (no display needed).
#include <cstring>

#include "library/bitmap_font.h"
#include "platform/os/gfx/recording_device.h"
#include "sample_font.h"

namespace sample {

bool MakeFontSheet(const std::string& face, uint32_t size, PreparedFont& out) {
    gfx::RecordingDevice device;
    BitmapFont font;
    if (font.Create(nullptr, face.c_str(), size, 0, &device, nullptr, nullptr, 0.0f) == 0 ||
        font.GetSheetTexture() == nullptr) {
        return false;
    }
    gfx::Texture* texture = font.GetSheetTexture();
    gfx::SurfaceDesc desc{};
    gfx::LockedRect locked{};
    if (gfx::Failed(texture->GetLevelDesc(0, &desc)) ||
        gfx::Failed(texture->LockRect(0, &locked, nullptr, 0))) {
        return false;
    }
    // A4R4G4B4 texels: white, with a 4-bit coverage n stored as alpha n x 17.
    out.sheet = Image(desc.width, desc.height, 0);
    for (uint32_t y = 0; y < desc.height; ++y) {
        const auto* row = static_cast<const uint8_t*>(locked.bits) + size_t(y) * size_t(locked.pitch);
        for (uint32_t x = 0; x < desc.width; ++x) {
            uint16_t texel = 0;
            std::memcpy(&texel, row + size_t(x) * 2, 2);
            const uint32_t n = texel >> 12;
            out.sheet.At(x, y) = n != 0 ? ((n * 17) << 24) | 0x00FFFFFFu : 0u;
        }
    }
    texture->UnlockRect(0);

    out.spacing = font.spacing;
    out.sheetWidth = font.sheetWidth;
    out.sheetHeight = font.sheetHeight;
    out.sheetScale = font.sheetScale;
    out.glyphCount = font.glyphCount;
    std::memcpy(out.characterList, font.characterList, sizeof out.characterList);
    out.glyphs = font.glyphs;
    font.Release();
    return true;
}

void PrepareFontRecord(const PreparedFont& prepared, BitmapFont& font) {
    font.spacing = prepared.spacing;
    font.sheetWidth = prepared.sheetWidth;
    font.sheetHeight = prepared.sheetHeight;
    font.sheetScale = prepared.sheetScale;
    font.glyphCount = prepared.glyphCount;
    std::memcpy(font.characterList, prepared.characterList, sizeof font.characterList);
    font.glyphs = prepared.glyphs;
}

} // namespace sample
