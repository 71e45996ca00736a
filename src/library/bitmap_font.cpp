// Bitmap font: sheet layout and rasterising, measuring and drawing.

#include "library/bitmap_font.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/os/font/glyph_source.h"
#include "platform/os/gfx/device.h"

namespace {

constexpr uint32_t kFirstSide = 64;
// Sides are bounded even when the device reports no maximum.
constexpr uint32_t kUnboundedSide = 16384;
// A glyph never needs to be taller than any sheet can be.
constexpr int64_t kMaxPixelHeight = 4096;
constexpr int kMaxSpacing = 1024;
constexpr int kMaxShrinkSteps = 16;

// The 95 printable ASCII characters, then 14 letters of code page 1252.
const char *DefaultCharacterList() {
    static char list[110] = {};
    if (list[0] == 0) {
        int n = 0;
        for (int c = 32; c <= 126; ++c) {
            list[n++] = char(c);
        }
        const unsigned char extra[14] = {229, 197, 228, 196, 246, 214, 248,
                                         216, 230, 198, 252, 220, 223, 223};
        for (unsigned char c : extra) {
            list[n++] = char(c);
        }
        list[n] = 0;
    }
    return list;
}

int TruncToInt(float v) {
    if (!(v == v)) {
        return 0;
    }
    if (v >= 2147483520.0f) {
        return 2147483520;
    }
    if (v <= -2147483520.0f) {
        return -2147483520;
    }
    return int(v);
}

void PutVertex(float *out, float x, float y, float z, float rhw, uint32_t color, float u,
               float v) {
    out[0] = x;
    out[1] = y;
    out[2] = z;
    out[3] = rhw;
    std::memcpy(&out[4], &color, 4);
    out[5] = u;
    out[6] = v;
}

} // namespace

int FontPixelHeight(uint32_t size, float sheetScale) {
    const float dpi = 96.0f * sheetScale;
    const int64_t dots = dpi >= 0.0f && dpi < 1.0e6f ? int64_t(dpi) : 0;
    // MulDiv rounds to nearest.
    const int64_t px = (int64_t(size) * dots + 36) / 72;
    return int(std::min(px, kMaxPixelHeight));
}

GlyphSheetLayout LayOutGlyphSheet(const fonts::GlyphExtent *extents, uint32_t count, int s,
                                  uint32_t width, uint32_t height) {
    GlyphSheetLayout layout;
    layout.records.resize(count);
    layout.drawX.resize(count);
    layout.drawY.resize(count);
    const int64_t w = width;
    const int64_t h = height;
    int64_t x = s;
    int64_t y = s;
    for (uint32_t i = 0; i < count; ++i) {
        const int64_t cx = extents[i].cx;
        const int64_t cy = extents[i].cy;
        if (cx + x + 1 + s >= w) {
            x = s;
            y = y + cy + 1 + 2 * int64_t(s);
        }
        layout.drawX[i] = int(std::min<int64_t>(x, INT32_MAX));
        layout.drawY[i] = int(std::min<int64_t>(y, INT32_MAX));
        GlyphRecord &r = layout.records[i];
        r.left = float(double(x) / double(w));
        r.top = float(double(y) / double(h));
        r.right = float(double(x + 2 * int64_t(s) + cx) / double(w));
        r.bottom = float(double(y + 2 * int64_t(s) + cy) / double(h));
        if (y + 2 * int64_t(s) + cy > h || x + s + cx > w) {
            layout.fits = false;
        }
        x = x + 2 * int64_t(s) + cx + 1;
    }
    return layout;
}

void MeasureGlyphSheet(const fonts::GlyphExtent *extents, uint32_t count, int spacing,
                       uint32_t maxSide, uint32_t *width, uint32_t *height) {
    if (maxSide == 0) {
        maxSide = kUnboundedSide;
    }
    uint32_t w = kFirstSide;
    uint32_t h = kFirstSide;
    while (!LayOutGlyphSheet(extents, count, spacing, w, h).fits && w <= maxSide &&
           h <= maxSide) {
        if (w < h) {
            w *= 2;
        } else {
            h *= 2;
        }
    }
    *width = w;
    *height = h;
}

// --- BitmapFont ----------------------------------------------------------------

BitmapFont::~BitmapFont() { Release(); }

void BitmapFont::BuildGlyphMap() {
    std::fill(std::begin(glyphMap), std::end(glyphMap), int16_t(0));
    const uint32_t n = std::min<uint32_t>({glyphCount, uint32_t(glyphs.size()), kMaxGlyphs});
    for (uint32_t i = 0; i < n; ++i) {
        glyphMap[characterList[i]] = int16_t(i);
    }
}

const GlyphRecord *BitmapFont::GlyphFor(unsigned char c) const {
    if (glyphs.empty()) {
        return nullptr;
    }
    const size_t i = size_t(glyphMap[c]);
    return i < glyphs.size() ? &glyphs[i] : &glyphs[0];
}

bool BitmapFont::DeviceAlive() const {
    // A texture outliving its device forgets it.
    return device != nullptr && sheetTexture != nullptr && sheetTexture->GetDevice() == device;
}

void BitmapFont::Release() {
    glyphs.clear();
    glyphCount = 0;
    std::fill(std::begin(glyphMap), std::end(glyphMap), int16_t(0));
    if (!addedFontFile.empty()) {
        fonts::RemoveFontFile(addedFontFile);
        addedFontFile.clear();
    }
    ReleaseDeviceObjects();
    if (sheetTexture != nullptr) {
        sheetTexture->Release();
        sheetTexture = nullptr;
    }
    device = nullptr;
}

int BitmapFont::Create(const char *fontFile, const char *face, uint32_t fontSize, uint32_t style,
                       gfx::Device *dev, const char *list, EngineWindow *window, float space) {
    Release();
    if (fontFile != nullptr && fontFile[0] != 0) {
        if (!fonts::AddFontFile(fontFile)) {
            return 0;
        }
        addedFontFile = fontFile;
    }
    spacing = space;
    if (list == nullptr) {
        list = DefaultCharacterList();
    }
    const size_t length = std::min<size_t>(std::strlen(list), kMaxGlyphs);
    std::memset(characterList, 0, sizeof characterList);
    std::memcpy(characterList, list, length);
    glyphCount = uint32_t(length);
    glyphs.assign(length, GlyphRecord{});
    BuildGlyphMap();
    faceName = face != nullptr ? face : "";
    size = fontSize;
    styleFlags = style;
    BuildSheet(dev, window);
    CreateDeviceObjects();
    return 1;
}

int32_t BitmapFont::BuildSheet(gfx::Device *dev, EngineWindow * /*window*/) {
    device = dev;
    sheetScale = 1.0f;
    ReleaseDeviceObjects();
    if (sheetTexture != nullptr) {
        sheetTexture->Release();
        sheetTexture = nullptr;
    }
    if (device == nullptr) {
        return gfx::Result::Fail;
    }
    const int s = spacing > 0.0f ? int(std::min(spacing, float(kMaxSpacing))) : 0;
    gfx::Caps caps;
    uint32_t maxSide = 0;
    if (gfx::Succeeded(device->GetDeviceCaps(&caps))) {
        maxSide = caps.maxTextureWidth;
    }
    if (maxSide == 0) {
        maxSide = kUnboundedSide;
    }

    fonts::FontRequest request;
    request.face = faceName;
    request.bold = (styleFlags & 1) != 0;
    request.italic = (styleFlags & 2) != 0;
    request.antialiased = size > 9;
    request.pixelHeight = FontPixelHeight(size, sheetScale);
    std::unique_ptr<fonts::GlyphSource> source = fonts::OpenGlyphSource(request);
    if (source == nullptr) {
        return gfx::Result::Fail;
    }
    const uint32_t count = std::min<uint32_t>(glyphCount, uint32_t(glyphs.size()));
    std::vector<fonts::GlyphExtent> extents(count);
    auto measure = [&] {
        for (uint32_t i = 0; i < count; ++i) {
            extents[i] = source->Extent(characterList[i]);
        }
    };
    measure();
    uint32_t width = 0;
    uint32_t height = 0;
    MeasureGlyphSheet(extents.data(), count, s, maxSide, &width, &height);

    // Too big for the device: a square sheet of the largest side, the font
    // made smaller until its layout fits there.
    for (int step = 0; step < kMaxShrinkSteps && (width > maxSide || height > maxSide); ++step) {
        const uint32_t former = width > maxSide ? width : height;
        sheetScale = sheetScale * float(maxSide) / float(former);
        // Rounding can keep the height where it was: make it smaller anyway.
        // A huge size can take the scale below one dot per inch, where the
        // size alone no longer gives a height: the ratio then does.
        const int64_t byRatio = int64_t(request.pixelHeight) * maxSide / former;
        const int byScale = FontPixelHeight(size, sheetScale);
        const int next = byScale > 0 ? std::min<int>(byScale, int(byRatio)) : int(byRatio);
        width = height = maxSide;
        if (next < 1) {
            break;
        }
        request.pixelHeight = next;
        source = fonts::OpenGlyphSource(request);
        if (source == nullptr) {
            return gfx::Result::Fail;
        }
        measure();
        if (LayOutGlyphSheet(extents.data(), count, s, maxSide, maxSide).fits) {
            break;
        }
        MeasureGlyphSheet(extents.data(), count, s, maxSide, &width, &height);
        if (width <= maxSide && height <= maxSide) {
            width = height = maxSide;
            break;
        }
    }
    width = std::min(width, maxSide);
    height = std::min(height, maxSide);

    gfx::Texture *texture = nullptr;
    const int32_t created = device->CreateTexture(width, height, 1, 0, gfx::Format::A4R4G4B4,
                                                  gfx::Pool::Managed, &texture);
    if (gfx::Failed(created) || texture == nullptr) {
        return gfx::Failed(created) ? created : gfx::Result::Fail;
    }
    sheetWidth = width;
    sheetHeight = height;

    const GlyphSheetLayout layout = LayOutGlyphSheet(extents.data(), count, s, width, height);
    std::vector<uint8_t> coverage(size_t(width) * height, 0);
    for (uint32_t i = 0; i < count; ++i) {
        glyphs[i] = layout.records[i];
        source->Render(characterList[i], layout.drawX[i] + s, layout.drawY[i] + s,
                       coverage.data(), int(width), int(height));
    }

    gfx::LockedRect locked{};
    if (gfx::Failed(texture->LockRect(0, &locked, nullptr, 0))) {
        texture->Release();
        return gfx::Result::Fail;
    }
    for (uint32_t y = 0; y < height; ++y) {
        auto *row = static_cast<uint8_t *>(locked.bits) + size_t(y) * locked.pitch;
        for (uint32_t x = 0; x < width; ++x) {
            const uint16_t n = coverage[size_t(y) * width + x] >> 4;
            const uint16_t texel = n != 0 ? uint16_t((n << 12) | 0x0FFF) : 0;
            std::memcpy(row + size_t(x) * 2, &texel, 2);
        }
    }
    texture->UnlockRect(0);
    sheetTexture = texture;
    return gfx::Result::Ok;
}

int BitmapFont::Attach(gfx::Device *dev, gfx::Texture *texture) {
    if (dev == nullptr || texture == nullptr) {
        return 0;
    }
    ReleaseDeviceObjects();
    texture->AddRef();
    if (sheetTexture != nullptr) {
        sheetTexture->Release();
    }
    device = dev;
    sheetTexture = texture;
    gfx::SurfaceDesc desc{};
    if (gfx::Succeeded(texture->GetLevelDesc(0, &desc))) {
        sheetWidth = desc.width;
        sheetHeight = desc.height;
    }
    BuildGlyphMap();
    CreateDeviceObjects();
    return 1;
}

int32_t BitmapFont::CreateDeviceObjects() {
    if (!DeviceAlive()) {
        return gfx::Result::Fail;
    }
    ReleaseDeviceObjects();
    using namespace gfx;
    uint32_t *tokens[2] = {&savedBlock, &fontBlock};
    for (uint32_t *token : tokens) {
        device->BeginStateBlock();
        device->SetTexture(0, sheetTexture);
        device->SetRenderState(RenderState::AlphaBlendEnable, 1);
        device->SetRenderState(RenderState::SrcBlend, Blend::SrcAlpha);
        device->SetRenderState(RenderState::DestBlend, Blend::InvSrcAlpha);
        device->SetRenderState(RenderState::AlphaTestEnable, 1);
        device->SetRenderState(RenderState::AlphaRef, 8);
        device->SetRenderState(RenderState::AlphaFunc, Cmp::GreaterEqual);
        device->SetRenderState(RenderState::FillMode, Fill::Solid);
        device->SetRenderState(RenderState::CullMode, Cull::Ccw);
        device->SetRenderState(RenderState::DepthEnable, 1);
        device->SetRenderState(RenderState::StencilEnable, 0);
        device->SetRenderState(RenderState::EdgeAntialias, 0);
        device->SetRenderState(RenderState::VertexBlend, 0);
        device->SetRenderState(RenderState::FogEnable, 0);
        device->SetTextureStageState(0, StageState::ColorOp, TextureOp::Modulate);
        device->SetTextureStageState(0, StageState::ColorArg1, TextureArg::Texture);
        device->SetTextureStageState(0, StageState::ColorArg2, TextureArg::Diffuse);
        device->SetTextureStageState(0, StageState::AlphaOp, TextureOp::Modulate);
        device->SetTextureStageState(0, StageState::AlphaArg1, TextureArg::Texture);
        device->SetTextureStageState(0, StageState::AlphaArg2, TextureArg::Diffuse);
        device->SetTextureStageState(0, StageState::MinFilter, TextureFilter::Point);
        device->SetTextureStageState(0, StageState::MagFilter, TextureFilter::Point);
        device->SetTextureStageState(0, StageState::MipFilter, TextureFilter::None);
        device->SetTextureStageState(0, StageState::TexCoordIndex, 0);
        device->SetTextureStageState(0, StageState::TextureTransformFlags,
                                     TextureTransformFlag::Disable);
        device->SetTextureStageState(1, StageState::ColorOp, TextureOp::Disable);
        device->SetTextureStageState(1, StageState::AlphaOp, TextureOp::Disable);
        if (Failed(device->EndStateBlock(token))) {
            ReleaseDeviceObjects();
            return Result::Fail;
        }
    }
    deviceObjectsReady = true;
    return Result::Ok;
}

void BitmapFont::ReleaseDeviceObjects() {
    if (DeviceAlive()) {
        if (savedBlock != 0) {
            device->DeleteStateBlock(savedBlock);
        }
        if (fontBlock != 0) {
            device->DeleteStateBlock(fontBlock);
        }
    }
    savedBlock = 0;
    fontBlock = 0;
    deviceObjectsReady = false;
}

int32_t BitmapFont::Measure(const char *text, int *width, int *height,
                            bool firstLineOnly) const {
    if (width == nullptr || height == nullptr) {
        return gfx::Result::Fail;
    }
    *width = 0;
    *height = 0;
    if (text == nullptr) {
        return gfx::Result::Fail;
    }
    if (glyphs.empty()) {
        return gfx::Result::Ok;
    }
    const float lineHeight =
        (glyphs[0].bottom - glyphs[0].top) * float(sheetHeight) - 2.0f * spacing;
    float w = 0.0f;
    float x = 0.0f;
    float h = lineHeight;
    for (const char *p = text; *p != 0; ++p) {
        if (*p == '\n') {
            if (firstLineOnly) {
                break;
            }
            x = 0.0f;
            h += lineHeight;
            continue;
        }
        const GlyphRecord *g = GlyphFor(static_cast<unsigned char>(*p));
        x += (g->right - g->left) * float(sheetWidth) - 2.0f * spacing;
        w = std::max(w, x);
    }
    *width = TruncToInt(w);
    *height = TruncToInt(h);
    return gfx::Result::Ok;
}

int32_t BitmapFont::Draw(float x, float y, uint32_t color, const char *text, uint32_t style,
                         float depth) {
    using namespace gfx;
    if (device == nullptr) {
        return Result::Fail;
    }
    // Nothing to draw with: no text, no records or no sheet.
    if (text == nullptr || glyphs.empty() || !DeviceAlive()) {
        return Result::Ok;
    }
    if (!deviceObjectsReady && Failed(CreateDeviceObjects())) {
        return Result::Fail;
    }
    x = std::trunc(x);
    y = std::trunc(y);
    device->CaptureStateBlock(savedBlock);
    device->ApplyStateBlock(fontBlock);
    device->SetTexture(0, sheetTexture);
    if (depth == 0.0f) {
        device->SetRenderState(RenderState::DepthEnable, 0);
        depth = 1.0f;
    }
    device->SetVertexShader(kVertexFormat);
    device->SetStreamSource(0, nullptr, kVertexStride);
    if (style & 0x80) {
        device->SetTextureStageState(0, StageState::MinFilter, TextureFilter::Linear);
        device->SetTextureStageState(0, StageState::MagFilter, TextureFilter::Linear);
    }
    int w = 0;
    int h = 0;
    Measure(text, &w, &h, false);
    if (style & 0x10) {
        y = y - 0.5f * float(h);
    }
    if (style & 0x20) {
        y = y - float(h);
    }
    // Like a centred line's x, the block's top stays on a whole pixel: half
    // a pixel off, the sheet's point sampling falls on the texel edges and
    // drops a row of the glyphs (an underscore at the foot of its cell).
    y = std::floor(y);
    const float scale = sheetScale > 0.0f ? sheetScale : 1.0f;
    const float rhw = 1.0f / depth;
    const float lineAdvance = (glyphs[0].bottom - glyphs[0].top) * float(sheetHeight);
    const float x0 = x;
    float vertices[kBatchCharacters * 6 * 7];
    uint32_t buffered = 0;
    auto flush = [&] {
        if (buffered != 0) {
            device->DrawPrimitiveUP(Primitive::TriangleList, buffered * 2, vertices,
                                    kVertexStride);
            buffered = 0;
        }
    };
    bool lineStart = true;
    for (const char *p = text; *p != 0; ++p) {
        if (lineStart) {
            lineStart = false;
            if (style & 6) {
                int lineWidth = 0;
                int lineHeight = 0;
                Measure(p, &lineWidth, &lineHeight, true);
                if (style & 4) {
                    x = std::floor(x0 - float(lineWidth));
                }
                if (style & 2) {
                    x = std::floor(x0 - 0.5f * float(lineWidth));
                }
            }
        }
        if (*p == '\n') {
            x = x0;
            y = y + lineAdvance;
            lineStart = true;
            continue;
        }
        const GlyphRecord *g = GlyphFor(static_cast<unsigned char>(*p));
        const float gw = (g->right - g->left) * float(sheetWidth) / scale;
        const float gh = (g->bottom - g->top) * float(sheetHeight) / scale;
        const float l = x - 0.5f;
        const float r = x + gw - 0.5f;
        const float t = y - 0.5f;
        const float b = y + gh - 0.5f;
        float *v = &vertices[size_t(buffered) * 6 * 7];
        PutVertex(v + 0, l, b, depth, rhw, color, g->left, g->bottom);
        PutVertex(v + 7, l, t, depth, rhw, color, g->left, g->top);
        PutVertex(v + 14, r, b, depth, rhw, color, g->right, g->bottom);
        PutVertex(v + 21, l, t, depth, rhw, color, g->left, g->top);
        PutVertex(v + 28, r, t, depth, rhw, color, g->right, g->top);
        PutVertex(v + 35, r, b, depth, rhw, color, g->right, g->bottom);
        if (++buffered == kBatchCharacters) {
            flush();
        }
        x = x + gw - 2.0f * spacing;
    }
    flush();
    device->ApplyStateBlock(savedBlock);
    return Result::Ok;
}
