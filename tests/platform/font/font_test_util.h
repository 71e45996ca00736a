// Helpers of the font tests: a glyph source with made-up metrics, a fontconfig
// configuration of the test's own, a graphics object whose device is a
// RecordingDevice, and vertex access.
#pragma once

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/os/font/glyph_source.h"
#include "platform/os/gfx/recording_device.h"
#include "platform/os/window.h"
#include "support/fake_display.h"

namespace fonttest {

inline const char *kDejaVu = "/usr/share/fonts/truetype/dejavu";
inline const char *kLiberation = "/usr/share/fonts/truetype/liberation2";

// Writes a fonts.conf listing the folders and uses it for the scope.
struct FontConfigScope {
    std::filesystem::path dir;
    explicit FontConfigScope(const std::vector<std::string> &folders = {kDejaVu, kLiberation}) {
        dir = std::filesystem::temp_directory_path() /
              ("font_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter));
        std::filesystem::create_directories(dir / "cache");
        std::ofstream conf(dir / "fonts.conf");
        conf << "<?xml version=\"1.0\"?>\n<fontconfig>\n";
        for (const std::string &f : folders) {
            conf << "<dir>" << f << "</dir>\n";
        }
        conf << "<include ignore_missing=\"yes\">/etc/fonts/conf.d/30-metric-aliases.conf"
                "</include>\n";
        conf << "<cachedir>" << (dir / "cache").string() << "</cachedir>\n</fontconfig>\n";
        conf.close();
        ok = fonts::UseFontConfigFile((dir / "fonts.conf").string());
    }
    ~FontConfigScope() {
        fonts::UseFontConfigFile("");
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    bool ok = false;
    static inline int counter = 0;
};

// Every character's cell is `cx` x `cy` (by default both the pixel height);
// a glyph covers its whole cell. Records each request.
struct FakeFaces {
    std::vector<fonts::FontRequest> requests;
    int cx = 0;
    int cy = 0;
    bool fail = false;
};

class FakeGlyphSource : public fonts::GlyphSource {
  public:
    FakeGlyphSource(int cx, int cy) : cx_(cx), cy_(cy) {}
    fonts::GlyphExtent Extent(unsigned char) override { return {cx_, cy_}; }
    void Render(unsigned char, int x, int y, uint8_t *pixels, int width, int height) override {
        for (int py = y; py < y + cy_; ++py) {
            for (int px = x; px < x + cx_; ++px) {
                if (px >= 0 && py >= 0 && px < width && py < height) {
                    pixels[size_t(py) * size_t(width) + size_t(px)] = 255;
                }
            }
        }
    }

  private:
    int cx_;
    int cy_;
};

// Installs the fake source for the scope.
struct FakeFontScope {
    FakeFaces faces;
    FakeFontScope() {
        fonts::SetGlyphSourceFactory(
            [this](const fonts::FontRequest &r) -> std::unique_ptr<fonts::GlyphSource> {
                faces.requests.push_back(r);
                if (faces.fail) {
                    return nullptr;
                }
                return std::make_unique<FakeGlyphSource>(faces.cx ? faces.cx : r.pixelHeight,
                                                         faces.cy ? faces.cy : r.pixelHeight);
            });
    }
    ~FakeFontScope() { fonts::SetGlyphSourceFactory({}); }
};

struct Vertex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};

inline std::vector<Vertex> Vertices(const gfx::RecordedDraw &draw) {
    std::vector<Vertex> out(draw.vertices.size() / sizeof(Vertex));
    std::memcpy(out.data(), draw.vertices.data(), out.size() * sizeof(Vertex));
    return out;
}

inline bool LogHas(const gfx::RecordingDevice &device, const std::string &line) {
    for (const std::string &l : device.GetLog()) {
        if (l == line) {
            return true;
        }
    }
    return false;
}

// The process's graphics object with a RecordingDevice, and a library of
// the test's own as the process's library, for the scope.
struct RecordingGraphicsScope {
    gfx::RecordingDevice *device = nullptr;
    ResourceLibrary library;
    ResourceLibrary *previous = nullptr;
    RecordingGraphicsScope() {
        CreateGraphics();
        GetGraphics()->DestroyDevice();
        testdisplay::UseFakeAdapter();
        GetGraphics()->CreateWindowDevice(nullptr);
        device = dynamic_cast<gfx::RecordingDevice *>(GetD3DDevice());
        previous = ReplaceLibraryForTests(&library);
    }
    ~RecordingGraphicsScope() {
        ReplaceLibraryForTests(previous);
        testdisplay::RestoreGlAdapter();
    }
};

} // namespace fonttest
