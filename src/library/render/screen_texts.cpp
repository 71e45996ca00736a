// The text queue of the screen layers.

#include <algorithm>

#include "library/bitmap_font.h"
#include "library/render/font_services.h"
#include "library/render/screen_layers.h"
#include "library/resource_library.h"

ScreenLayers &ResourceLibrary::GetScreenLayers() {
    if (!screen_) {
        screen_ = std::make_shared<ScreenLayers>();
    }
    return *screen_;
}

void DestroyTextLine(TextLine *line) {
    if (line != nullptr) {
        line->text.clear();
        line->text.shrink_to_fit();
        line->hasText = false;
    }
}

void ResourceLibrary::SetCurrentFont(FontItem *font) {
    if (font != nullptr) {
        LoadItem(font);
    }
    GetScreenLayers().currentFont = font;
}

FontItem *ResourceLibrary::GetCurrentFont() {
    FontItem *font = GetScreenLayers().currentFont;
    return font != nullptr ? font : GetDefaultFontItem();
}

void ResourceLibrary::QueueText(float x, float y, float red, float green, float blue,
                                float alpha, const char *text, uint32_t style) {
    QueueTextEx(x, y, red, green, blue, alpha, text, style, 0.0f);
}

void ResourceLibrary::QueueTextEx(float x, float y, float red, float green, float blue,
                                  float alpha, const char *text, uint32_t style, float depth) {
    TextLine line;
    line.x = x;
    line.y = y;
    line.red = red;
    line.green = green;
    line.blue = blue;
    line.alpha = alpha;
    if (text != nullptr) {
        line.text = text;
        line.hasText = true;
    }
    line.style = style;
    line.depth = depth;
    line.font = GetScreenLayers().currentFont;
    GetScreenLayers().texts.push_back(std::move(line));
}

namespace {

void DrawLine(const TextLine &line) {
    FontItem *font = line.font != nullptr ? line.font : GetDefaultFontItem();
    if (font == nullptr || !font->font) {
        return;
    }
    font->font->Draw(line.x, line.y, PackColor(line.red, line.green, line.blue, line.alpha),
                     line.hasText ? line.text.c_str() : "", line.style, line.depth);
}

bool IsLabel(const TextLine &line) { return line.depth != 0.0f; }

} // namespace

void ResourceLibrary::DrawQueuedLabels() {
    std::vector<TextLine> &texts = GetScreenLayers().texts;
    for (const TextLine &line : texts) {
        if (IsLabel(line)) {
            DrawLine(line);
        }
    }
    texts.erase(std::remove_if(texts.begin(), texts.end(), IsLabel), texts.end());
}

void ResourceLibrary::DrawQueuedText(bool empty) {
    ScreenLayers &layers = GetScreenLayers();
    for (const TextLine &line : layers.texts) {
        DrawLine(line);
    }
    if (empty) {
        for (TextLine &line : layers.texts) {
            DestroyTextLine(&line);
        }
        layers.texts.clear();
    }
}
