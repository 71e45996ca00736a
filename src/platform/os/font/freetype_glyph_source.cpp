// System glyph source: faces matched through fontconfig, glyphs loaded,
// hinted and rendered by FreeType, cells measured the way the original
// raster fonts were (ascent and descent rounded up, whole-pixel advances).

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <array>
#include <cctype>
#include <mutex>
#include <vector>

#include "platform/os/font/glyph_source.h"

namespace fonts {

namespace {

// Faces Debian lacks, mapped before fontconfig is asked.
struct FaceAlias {
    const char *asked;
    const char *given;
};
constexpr FaceAlias kFaceAliases[] = {
    {"Lucida Console", "DejaVu Sans Mono"},
};

bool SameName(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

struct AddedFile {
    std::string path;
    std::string family;
    bool bold = false;
    bool italic = false;
};

struct FontState {
    std::mutex mutex;
    FT_Library library = nullptr;
    bool libraryFailed = false;
    FcConfig *config = nullptr; // null: fontconfig's current configuration
    bool fcStarted = false;
    std::vector<AddedFile> added;
    GlyphSourceFactory factory;

    // fontconfig holds its configuration and caches until it is finished;
    // without that, the leak check at exit finds what it kept.
    ~FontState() {
        if (config != nullptr) {
            FcConfigDestroy(config);
        }
        if (fcStarted) {
            FcFini();
        }
    }
};

FontState &State() {
    static FontState state;
    return state;
}

FT_Library Library(FontState &s) {
    if (s.library == nullptr && !s.libraryFailed) {
        if (FT_Init_FreeType(&s.library) != 0) {
            s.library = nullptr;
            s.libraryFailed = true;
        }
    }
    return s.library;
}

FcConfig *Config(FontState &s) {
    if (s.config != nullptr) {
        return s.config;
    }
    if (!s.fcStarted) {
        s.fcStarted = FcInit() != FcFalse;
    }
    return s.fcStarted ? FcConfigGetCurrent() : nullptr;
}

bool FaceIsBold(FT_Face face) { return (face->style_flags & FT_STYLE_FLAG_BOLD) != 0; }
bool FaceIsItalic(FT_Face face) { return (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0; }

bool ResolveLocked(FontState &s, const FontRequest &request, ResolvedFace *out) {
    // Added files first: the best of those with the family asked.
    const AddedFile *best = nullptr;
    for (const AddedFile &f : s.added) {
        if (!SameName(f.family, request.face)) {
            continue;
        }
        if (best == nullptr || (f.bold == request.bold && f.italic == request.italic)) {
            best = &f;
        }
    }
    if (best != nullptr) {
        out->file = best->path;
        out->index = 0;
        out->family = best->family;
        out->emboldened = request.bold && !best->bold;
        out->slanted = request.italic && !best->italic;
        return true;
    }

    FcConfig *config = Config(s);
    if (config == nullptr) {
        return false;
    }
    std::string family = request.face;
    for (const FaceAlias &alias : kFaceAliases) {
        if (SameName(family, alias.asked)) {
            family = alias.given;
        }
    }
    FcPattern *pattern = FcPatternCreate();
    if (pattern == nullptr) {
        return false;
    }
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, double(std::max(request.pixelHeight, 1)));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern *match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) {
        return false;
    }
    bool found = false;
    FcChar8 *file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
        int index = 0;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        int weight = FC_WEIGHT_REGULAR;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        int slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        FcChar8 *matchedFamily = nullptr;
        if (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
            matchedFamily != nullptr) {
            out->family = reinterpret_cast<const char *>(matchedFamily);
        }
        out->file = reinterpret_cast<const char *>(file);
        out->index = index;
        out->emboldened = request.bold && weight < FC_WEIGHT_DEMIBOLD;
        out->slanted = request.italic && slant == FC_SLANT_ROMAN;
        found = true;
    }
    FcPatternDestroy(match);
    return found;
}

constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

class FreeTypeGlyphSource : public GlyphSource {
  public:
    FreeTypeGlyphSource(FT_Face face, const FontRequest &request, const ResolvedFace &resolved)
        : face_(face), antialiased_(request.antialiased), embolden_(resolved.emboldened),
          slant_(resolved.slanted) {
        ascent_ = int((face_->size->metrics.ascender + 63) >> 6);
        descent_ = int((-face_->size->metrics.descender + 63) >> 6);
        extents_.fill(GlyphExtent{-1, -1});
    }
    ~FreeTypeGlyphSource() override {
        std::lock_guard<std::mutex> lock(State().mutex);
        FT_Done_Face(face_);
    }

    GlyphExtent Extent(unsigned char code) override {
        if (extents_[code].cx < 0) {
            GlyphExtent e{0, ascent_ + descent_};
            if (Load(code)) {
                e.cx = int((face_->glyph->advance.x + 32) >> 6);
            }
            extents_[code] = e;
        }
        return extents_[code];
    }

    void Render(unsigned char code, int x, int y, uint8_t *pixels, int width,
                int height) override {
        if (!Load(code)) {
            return;
        }
        FT_GlyphSlot slot = face_->glyph;
        if (FT_Render_Glyph(slot, antialiased_ ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) !=
            0) {
            return;
        }
        const FT_Bitmap &bm = slot->bitmap;
        const int left = x + slot->bitmap_left;
        const int top = y + ascent_ - slot->bitmap_top;
        for (int row = 0; row < int(bm.rows); ++row) {
            const int py = top + row;
            if (py < 0 || py >= height) {
                continue;
            }
            const unsigned char *src = bm.buffer + ptrdiff_t(row) * bm.pitch;
            for (int col = 0; col < int(bm.width); ++col) {
                const int px = left + col;
                if (px < 0 || px >= width) {
                    continue;
                }
                uint8_t value;
                if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
                    value = (src[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
                } else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
                    value = src[col];
                } else {
                    continue;
                }
                uint8_t &dst = pixels[size_t(py) * size_t(width) + size_t(px)];
                dst = std::max(dst, value);
            }
        }
    }

  private:
    bool Load(unsigned char code) {
        const uint32_t cp = CodePage1252ToUnicode(code);
        const FT_UInt index = cp == 0 ? 0 : FT_Get_Char_Index(face_, cp);
        const FT_Int32 flags = antialiased_ ? FT_LOAD_DEFAULT : FT_LOAD_TARGET_MONO;
        if (FT_Load_Glyph(face_, index, flags) != 0) {
            return false;
        }
        if (slant_) {
            FT_GlyphSlot_Oblique(face_->glyph);
        }
        if (embolden_) {
            FT_GlyphSlot_Embolden(face_->glyph);
        }
        return true;
    }

    FT_Face face_;
    bool antialiased_;
    bool embolden_;
    bool slant_;
    int ascent_ = 0;
    int descent_ = 0;
    std::array<GlyphExtent, 256> extents_;
};

} // namespace

uint32_t CodePage1252ToUnicode(unsigned char code) {
    if (code >= 0x80 && code < 0xA0) {
        return kCp1252High[code - 0x80];
    }
    return code;
}

bool ResolveFace(const FontRequest &request, ResolvedFace *out) {
    FontState &s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return ResolveLocked(s, request, out);
}

std::unique_ptr<GlyphSource> OpenSystemFont(const FontRequest &request) {
    FontState &s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (request.pixelHeight <= 0) {
        return nullptr;
    }
    FT_Library library = Library(s);
    ResolvedFace resolved;
    if (library == nullptr || !ResolveLocked(s, request, &resolved)) {
        return nullptr;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library, resolved.file.c_str(), resolved.index, &face) != 0) {
        return nullptr;
    }
    // FreeType takes sizes up to 0xFFFF.
    const FT_UInt px = FT_UInt(std::min(request.pixelHeight, 0xFFFF));
    if (FT_Set_Pixel_Sizes(face, 0, px) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    return std::make_unique<FreeTypeGlyphSource>(face, request, resolved);
}

void SetGlyphSourceFactory(GlyphSourceFactory factory) {
    FontState &s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.factory = std::move(factory);
}

std::unique_ptr<GlyphSource> OpenGlyphSource(const FontRequest &request) {
    GlyphSourceFactory factory;
    {
        FontState &s = State();
        std::lock_guard<std::mutex> lock(s.mutex);
        factory = s.factory;
    }
    return factory ? factory(request) : OpenSystemFont(request);
}

bool AddFontFile(const std::string &path) {
    FontState &s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    FT_Library library = Library(s);
    if (library == nullptr || path.empty()) {
        return false;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0) {
        return false;
    }
    AddedFile added;
    added.path = path;
    added.family = face->family_name != nullptr ? face->family_name : "";
    added.bold = FaceIsBold(face);
    added.italic = FaceIsItalic(face);
    FT_Done_Face(face);
    s.added.push_back(std::move(added));
    return true;
}

void RemoveFontFile(const std::string &path) {
    FontState &s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    // One addition is taken back per removal.
    for (auto it = s.added.begin(); it != s.added.end(); ++it) {
        if (it->path == path) {
            s.added.erase(it);
            return;
        }
    }
}

bool UseFontConfigFile(const std::string &path) {
    FontState &s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    FcConfig *config = nullptr;
    if (!path.empty()) {
        config = FcConfigCreate();
        if (config == nullptr) {
            return false;
        }
        if (!FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8 *>(path.c_str()),
                                  FcTrue) ||
            !FcConfigBuildFonts(config)) {
            FcConfigDestroy(config);
            return false;
        }
    }
    if (s.config != nullptr) {
        FcConfigDestroy(s.config);
    }
    s.config = config;
    return true;
}

} // namespace fonts
