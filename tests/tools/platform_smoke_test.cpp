// Runs platform_smoke on a sample folder made by mksample and probes its capture: the clear colour,
// the sprite, the film quad, the cube's shadow (against a run whose cube casts none), the text
// lines against their measured boxes, and the beep in what OpenAL's wave driver wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../../tools/platform_smoke/smoke_scene.h"
#include "base/file_system.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/mesh.h"
#include "library/render/font_services.h"
#include "library/render/shadow_volume.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/os/font/glyph_source.h"
#include "platform/os/image/image.h"
#include "platform/os/video/film_source.h"
#include "platform/texture_object.h"
#include "support/fake_display.h"
#include "support/temp_folder.h"
#include "support/tool_run.h"
#include "support/wave_check.h"

namespace {

namespace fs = std::filesystem;

using toolrun::ReadFile;
using toolrun::ToolRun;

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
};

// A decoded TGA or texture: 0xAARRGGBB, rows top-down.
struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;
    Rgb At(int x, int y) const {
        const uint32_t p = pixels[size_t(y) * width + size_t(x)];
        return Rgb{int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)};
    }
};

bool ReadPicture(const std::string &path, Picture *out) {
    const std::string bytes = ReadFile(path);
    DecodedImage image;
    if (bytes.empty() ||
        !DecodeImage(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), &image)) {
        return false;
    }
    out->width = image.width;
    out->height = image.height;
    out->pixels = std::move(image.pixels);
    return true;
}

int Distance(Rgb a, Rgb b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

std::string Describe(Rgb c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) +
           ")";
}

::testing::AssertionResult Near(Rgb got, Rgb expected, int tolerance, const std::string &what) {
    if (Distance(got, expected) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << what << " is " << Describe(got) << ", expected "
                                         << Describe(expected) << " +-" << tolerance;
}

// The build's own fontconfig file (the packaged DejaVu and Liberation faces
// only), which the build-time sample run uses too.
std::string FontConfig() { return std::string(ENGINE_TEST_BINARY_DIR) + "/fonts/fonts.conf"; }

// A copy of the sample (its data files linked) whose materials leave out
// the shadow-volume bucket: the same frame without the cube's shadow.
bool WriteShadowlessSample(const std::string &sampleGame, const std::string &outGame) {
    ResourceLibrary library;
    if (!library.ReadLibraryFile((sampleGame + "/DAZedirad.qvf").c_str(), 1)) {
        return false;
    }
    bool changed = false;
    for (uint32_t slot = 0; slot < ResourceLibrary::kTableSize; ++slot) {
        LibraryItem *item = library.GetItemById(slot);
        if (item != nullptr && item->GetClass() == ItemClass::Material &&
            (static_cast<MaterialItem *>(item)->bucketMask & (1u << 4)) != 0) {
            static_cast<MaterialItem *>(item)->bucketMask &= ~(1u << 4);
            changed = true;
        }
    }
    fs::create_directories(outGame);
    std::error_code ec;
    fs::create_directory_symlink(sampleGame + "/Data", outGame + "/Data", ec);
    LibraryWriter writer;
    writer.SetWorldScale(library.GetWorldScale());
    writer.AddTable(library);
    return changed && !ec && writer.WriteFile((outGame + "/DAZedirad.qvf").c_str()) == 1;
}

// Made once for the suite: the sample, two ordinary runs and a shadowless
// one, all under the wave driver.
struct SmokeRuns {
    TempFolder folder;
    bool haveMksample = false;
    std::string missingItem; // an item of the frame that the sample lacks
    std::string sample;
    std::string fontConfig;
    ToolRun make;
    ToolRun first;
    ToolRun second;
    ToolRun shadowless;
    std::string firstTga;
    std::string secondTga;
    std::string shadowlessTga;
    std::string wave;
    Picture picture;
    Picture reference;
};

// The first item the frame draws that the library file lacks ("" when it
// holds them all, "DAZedirad.qvf" when it does not read).
std::string MissingSmokeItem(const std::string &path) {
    ResourceLibrary library;
    if (!library.ReadLibraryFile(path.c_str(), 1)) {
        return "DAZedirad.qvf";
    }
    using namespace smoke;
    for (const char *name : {kSun, kFloor, kCube, kSphere, kFlag, kWorm, kWormMotion, kFilm,
                             kSpriteMaterial, kVideoMaterial, kBackMaterial, kLogoMaterial,
                             kBeep, "badge", "Text", "Sheet"}) {
        if (library.FindItemByName(name, ItemClass::Any) == nullptr) {
            return name;
        }
    }
    return "";
}

// A run with software GL, the sample's fonts and the wave driver writing to `wave`.
ToolRun RunSmoke(const SmokeRuns &s, const std::string &sample, const std::string &tga,
                 const std::string &wave) {
    const std::string env = wavecheck::WaveDriverEnvironment(s.folder.Path(), wave) +
                            "LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe FONTCONFIG_FILE=" +
                            toolrun::Quote(s.fontConfig);
    return toolrun::Run("platform_smoke", {sample, tga}, "", toolrun::GlDrivers() + env);
}

SmokeRuns *g_runs = nullptr;

class PlatformSmoke : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        g_runs = new SmokeRuns();
        SmokeRuns &s = *g_runs;
        s.haveMksample = fs::exists(std::string(ENGINE_TEST_BINARY_DIR) + "/tools/mksample");
        if (!s.haveMksample) {
            return;
        }
        const std::string root = s.folder.Path();
        s.fontConfig = FontConfig();
        s.sample = root + "/sample";
        s.make = toolrun::Run("mksample", {s.sample}, "",
                              "FONTCONFIG_FILE=" + toolrun::Quote(s.fontConfig));
        if (s.make.exitCode != 0) {
            return;
        }
        s.missingItem = MissingSmokeItem(s.sample + "/game/DAZedirad.qvf");
        if (!s.missingItem.empty()) {
            return;
        }
        s.wave = root + "/first.wav";
        s.firstTga = root + "/first.tga";
        s.secondTga = root + "/second.tga";
        s.shadowlessTga = root + "/shadowless.tga";
        s.first = RunSmoke(s, s.sample, s.firstTga, s.wave);
        s.second = RunSmoke(s, s.sample, s.secondTga, root + "/second.wav");
        if (WriteShadowlessSample(s.sample + "/game", root + "/shadowless/game")) {
            s.shadowless =
                RunSmoke(s, root + "/shadowless", s.shadowlessTga, root + "/shadowless.wav");
        }
        ReadPicture(s.firstTga, &s.picture);
        ReadPicture(s.shadowlessTga, &s.reference);
    }
    static void TearDownTestSuite() {
        delete g_runs;
        g_runs = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(g_runs->haveMksample) << "mksample is not built";
        ASSERT_EQ(g_runs->make.exitCode, 0) << g_runs->make.err;
        ASSERT_EQ(g_runs->missingItem, "") << "the sample lacks an item of the frame";
        ASSERT_EQ(g_runs->first.exitCode, 0) << g_runs->first.out << g_runs->first.err;
        ASSERT_EQ(g_runs->picture.width, smoke::kWidth);
        ASSERT_EQ(g_runs->picture.height, smoke::kHeight);
    }
    const Picture &Shot() const { return g_runs->picture; }
    std::string Game() const { return g_runs->sample + "/game"; }
};

// --- the in-process view of the sample: same camera, fonts and cube ------------------

// A recording device of the capture's size and the sample's library (records
// only) as the process's library, viewed as the tool views it.
class SampleView {
  public:
    explicit SampleView(const std::string &game, const std::string &fontConfig) {
        ok_ = CreateEngineServices() == 1;
        fonts::UseFontConfigFile(fontConfig);
        GetGraphics()->DestroyDevice();
        testdisplay::UseFakeAdapter({}, smoke::kWidth, smoke::kHeight);
        ok_ = ok_ && GetGraphics()->CreateWindowDevice(nullptr);
        previous_ = ReplaceLibraryForTests(&library_);
        // Sound off; buckets, shadow quad and the default font as on a display.
        ok_ = ok_ && library_.StartDeviceServices(1);
        library_.SetBaseFolder(game.c_str());
        ok_ = ok_ && library_.SerializeLibrary(1) == 1;
        library_.SetNearClip(smoke::kNearClip);
        library_.SetFarClip(smoke::kFarClip);
        library_.SetFieldOfView(smoke::kFieldOfView);
        library_.SetCameraLookAt(smoke::kCameraEye, smoke::kCameraTarget, smoke::kCameraUp);
    }
    ~SampleView() {
        for (uint32_t slot = 0; slot < ResourceLibrary::kTableSize; ++slot) {
            if (LibraryItem *item = library_.GetItemById(slot); item != nullptr && item->loaded) {
                library_.ReleaseItem(item);
            }
        }
        ReplaceLibraryForTests(previous_);
        testdisplay::RestoreGlAdapter();
        fonts::UseFontConfigFile("");
    }
    bool Ok() const { return ok_; }
    ResourceLibrary &Library() { return library_; }
    template <typename T> T *Item(const char *name, ItemClass cls) {
        auto *item = static_cast<T *>(library_.FindItemByName(name, cls));
        if (item != nullptr) {
            library_.LoadItem(item);
        }
        return item;
    }
    static Vector3 Screen(Vector3 world) {
        ProjectToScreen(&world);
        return world;
    }

  private:
    bool ok_ = false;
    ResourceLibrary library_;
    ResourceLibrary *previous_ = nullptr;
};

// --- tests ---------------------------------------------------------------------------

TEST_F(PlatformSmoke, RunsPrintItsLineAndRepeatExactly) {
    const SmokeRuns &s = *g_runs;
    EXPECT_EQ(s.first.out, "smoke: ok 320x240 " + s.firstTga + "\n");
    EXPECT_EQ(s.second.exitCode, 0) << s.second.out << s.second.err;
    const std::string a = ReadFile(s.firstTga);
    EXPECT_EQ(a.size(), 18u + 320u * 240u * 4u);
    EXPECT_TRUE(a == ReadFile(s.secondTga)) << "two runs gave different captures";
    EXPECT_EQ(s.shadowless.exitCode, 0) << s.shadowless.out << s.shadowless.err;

    // A capture that cannot be written fails the run at its last step.
    const std::string unwritable = s.folder / "no/such/folder/shot.tga";
    const ToolRun failed = toolrun::Run("platform_smoke", {s.sample, unwritable}, "",
                                        toolrun::GlDrivers() + "ALSOFT_DRIVERS=none");
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.out, "smoke: save: cannot write " + unwritable + "\n");
}

TEST_F(PlatformSmoke, ClearColourSpriteAndFilmQuad) {
    // Corners of the sky: the clear colour 0xFF204080.
    EXPECT_TRUE(Near(Shot().At(0, 0), {0x20, 0x40, 0x80}, 0, "corner (0, 0)"));
    EXPECT_TRUE(Near(Shot().At(318, 0), {0x20, 0x40, 0x80}, 0, "corner (318, 0)"));

    // The sprite is the badge at its own size. Pixel centres lie on whole coordinates, as on the
    // platform the engine was made for: the pixel at the sprite's corner + (x, y) samples the badge
    // where texels x - 1 and x, y - 1 and y meet (wrapping), so its colour is their mean.
    Picture badge;
    ASSERT_TRUE(ReadPicture(Game() + "/Data/badge.tga", &badge));
    ASSERT_GT(badge.width, 0u);
    int worst = 0;
    for (uint32_t y = 0; y < badge.height; ++y) {
        for (uint32_t x = 0; x < badge.width; ++x) {
            const int x0 = int((x + badge.width - 1) % badge.width);
            const int y0 = int((y + badge.height - 1) % badge.height);
            const Rgb t[4] = {badge.At(x0, y0), badge.At(int(x), y0), badge.At(x0, int(y)),
                              badge.At(int(x), int(y))};
            const Rgb expected{(t[0].r + t[1].r + t[2].r + t[3].r) / 4,
                               (t[0].g + t[1].g + t[2].g + t[3].g) / 4,
                               (t[0].b + t[1].b + t[2].b + t[3].b) / 4};
            const Rgb got = Shot().At(int(smoke::kSpriteX) + int(x), int(smoke::kSpriteY) + int(y));
            worst = std::max(worst, Distance(got, expected));
        }
    }
    EXPECT_LE(worst, 1) << "sprite differs from the badge";

    // The film quad shows picture 2 (the clock stood at 0.25 s, 10 pictures
    // a second): its middle has that picture's colour.
    auto film = video::OpenFfmpegFilmSource(Game() + "/Data/film.avi");
    ASSERT_NE(film, nullptr);
    std::vector<uint8_t> bgra;
    double time = 0.0;
    for (int k = 0; k <= 2; ++k) {
        ASSERT_EQ(film->NextFrame(&bgra, &time), video::ReadResult::Frame);
    }
    EXPECT_NEAR(time, 0.2, 1e-6);
    const size_t middle = (size_t(film->Height() / 2) * film->Width() + film->Width() / 2) * 4;
    const Rgb expected{bgra[middle + 2], bgra[middle + 1], bgra[middle]};
    const int centre = int(smoke::kVideoSize / 2);
    for (int d : {-centre / 2, 0, centre / 2}) {
        EXPECT_TRUE(Near(Shot().At(int(smoke::kVideoX) + centre + d,
                                   int(smoke::kVideoY) + centre - d),
                         expected, 8, "film quad"));
    }
}

// The cube's volume, built as the shadow bucket builds it, crosses the floor plane along the
// outline of the shadow; the middle of those crossings, projected, is a floor pixel in the shadow.
TEST_F(PlatformSmoke, CubeShadowDarkensTheFloorBelowIt) {
    const SmokeRuns &s = *g_runs;
    ASSERT_EQ(s.reference.width, smoke::kWidth) << s.shadowless.out << s.shadowless.err;
    SampleView view(Game(), s.fontConfig);
    ASSERT_TRUE(view.Ok()) << view.Library().GetLastError();
    auto *cube = view.Item<MeshItem>(smoke::kCube, ItemClass::Mesh);
    ASSERT_NE(cube, nullptr);
    ASSERT_TRUE(cube->loaded);

    Matrix world;
    MatrixTranslation(&world, smoke::kCubePosition.x, smoke::kCubePosition.y,
                      smoke::kCubePosition.z);
    ASSERT_TRUE(ShadowCameraFarEnough(smoke::kCubePosition, smoke::kCameraEye));
    Vector3 light;
    ASSERT_TRUE(ShadowLightPoint(world, &light));
    ShadowVolume volume;
    ASSERT_EQ(volume.BuildFromMesh(GetD3DDevice(), cube, light), gfx::Result::Ok);
    ASSERT_GT(volume.sideTriangles, 0u);
    uint8_t *bytes = nullptr;
    ASSERT_EQ(volume.sideBuffer->Lock(0, 0, &bytes, gfx::Lock::ReadOnly), gfx::Result::Ok);
    std::vector<Vector3> positions(size_t(volume.sideTriangles) * 3);
    std::memcpy(positions.data(), bytes, positions.size() * sizeof(Vector3));
    volume.sideBuffer->Unlock();

    // Each side quad is (a, b, a far) (b, b far, a far): the edges a -> a far
    // run from the mesh down past the floor.
    const float floorY = smoke::kFloorPosition.y;
    std::vector<Vector3> crossings;
    for (size_t q = 0; q + 6 <= positions.size(); q += 6) {
        const Vector3 near = positions[q];
        const Vector3 far = positions[q + 2];
        const float y0 = near.y + smoke::kCubePosition.y;
        const float y1 = far.y + smoke::kCubePosition.y;
        if (!(y0 > floorY && y1 < floorY)) {
            continue;
        }
        const float t = (y0 - floorY) / (y0 - y1);
        crossings.push_back({near.x + t * (far.x - near.x) + smoke::kCubePosition.x, floorY,
                             near.z + t * (far.z - near.z) + smoke::kCubePosition.z});
    }
    ASSERT_GE(crossings.size(), 3u) << "the volume does not reach the floor";
    Vector3 middle = {0.0f, floorY, 0.0f};
    for (const Vector3 &c : crossings) {
        middle.x += c.x / float(crossings.size());
        middle.z += c.z / float(crossings.size());
    }
    // Points between the middle and the crossing nearest the camera stay
    // inside the outline and clear of the cube above.
    Vector3 nearest = crossings[0];
    auto distance = [](const Vector3 &a, const Vector3 &b) {
        return std::hypot(a.x - b.x, a.z - b.z);
    };
    for (const Vector3 &c : crossings) {
        if (distance(c, smoke::kCameraEye) < distance(nearest, smoke::kCameraEye)) {
            nearest = c;
        }
    }
    const Vector3 inside = {middle.x + 0.6f * (nearest.x - middle.x), floorY,
                            middle.z + 0.6f * (nearest.z - middle.z)};
    const Vector3 p = SampleView::Screen(inside);
    ASSERT_TRUE(p.x >= 0.0f && p.y >= 0.0f && p.x < 318.0f && p.y < 238.0f)
        << "shadow probe off screen at " << p.x << ", " << p.y;
    const int px = int(p.x);
    const int py = int(p.y);
    const Rgb lit = s.reference.At(px, py);
    ASSERT_GT(Distance(lit, {0x20, 0x40, 0x80}), 8) << "no floor under the probe";
    const Rgb expected{int(std::lround(lit.r * 0.4)), int(std::lround(lit.g * 0.4)),
                       int(std::lround(lit.b * 0.4))};
    EXPECT_TRUE(Near(Shot().At(px, py), expected, 2, "shadowed floor"));

    // Farther out on the floor, towards the camera, the frame is unchanged.
    const Vector3 outside = {nearest.x + 2.0f * (nearest.x - middle.x), floorY,
                             nearest.z + 2.0f * (nearest.z - middle.z)};
    const Vector3 q = SampleView::Screen(outside);
    ASSERT_TRUE(q.x >= 0.0f && q.y >= 0.0f && q.x < 318.0f && q.y < 238.0f);
    const Rgb floor = s.reference.At(int(q.x), int(q.y));
    EXPECT_GT(Distance(floor, {0x20, 0x40, 0x80}), 8) << "no floor outside the shadow";
    EXPECT_TRUE(Near(Shot().At(int(q.x), int(q.y)), floor, 0, "floor outside the shadow"));
}

// Every pixel of the text band that is not the clear colour lies in the
// measured box of one of the lines, and every line lit some of its box.
TEST_F(PlatformSmoke, TextStaysInsideItsMeasuredBoxes) {
    SampleView view(Game(), g_runs->fontConfig);
    ASSERT_TRUE(view.Ok()) << view.Library().GetLastError();
    struct Box {
        int left, top, right, bottom;
        int lit = 0;
    };
    std::vector<Box> boxes;
    for (const smoke::TextLine &line : smoke::kTextLines) {
        FontItem *font = line.font != nullptr ? view.Item<FontItem>(line.font, ItemClass::Font)
                                              : GetDefaultFont();
        ASSERT_NE(font, nullptr) << (line.font != nullptr ? line.font : "default font");
        float w = 0.0f;
        float h = 0.0f;
        MeasureText(font, line.text, &w, &h);
        ASSERT_GT(w, 0.0f) << line.text;
        const int left = int(std::floor(line.x));
        const int top = int(std::floor(line.y));
        boxes.push_back({left, top, left + int(std::ceil(w)), top + int(std::ceil(h))});
    }
    const Rgb sky{0x20, 0x40, 0x80};
    int stray = 0;
    std::string first;
    for (int y = smoke::kTextBandTop; y < smoke::kTextBandBottom; ++y) {
        for (int x = smoke::kTextBandLeft; x < smoke::kTextBandRight; ++x) {
            if (Distance(Shot().At(x, y), sky) == 0) {
                continue;
            }
            bool inside = false;
            for (Box &b : boxes) {
                if (x >= b.left && x < b.right && y >= b.top && y < b.bottom) {
                    ++b.lit;
                    inside = true;
                    break;
                }
            }
            if (!inside && stray++ == 0) {
                first = std::to_string(x) + ", " + std::to_string(y);
            }
        }
    }
    EXPECT_EQ(stray, 0) << "lit pixels outside every box, the first at " << first;
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_GT(boxes[i].lit, 10) << smoke::kTextLines[i].text << " drew nothing";
    }
}

TEST_F(PlatformSmoke, BeepReachesTheWaveDriver) {
    wavecheck::WaveData wave;
    std::string error;
    ASSERT_TRUE(wavecheck::ReadWaveFile(g_runs->wave, &wave, &error)) << error;
    EXPECT_TRUE(wave.extensible && !wave.isFloat);
    EXPECT_NEAR(wavecheck::DominantFrequency(wave, 100.0, 4000.0), 880.0, 880.0 * 0.02);
}

// --- failures ---------------------------------------------------------------------------

TEST(PlatformSmokeFailures, ArgumentsAndFailingSteps) {
    TempFolder folder;
    ToolRun usage = toolrun::Run("platform_smoke", {"only-one"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_EQ(usage.err, "usage: platform_smoke SAMPLE-DIR OUT.tga\n");

    // No library in the folder: the display opens, the library read fails.
    const std::string env = "ALSOFT_DRIVERS=none LIBGL_ALWAYS_SOFTWARE=1";
    ToolRun empty = toolrun::Run("platform_smoke", {folder.Path(), folder / "x.tga"}, "",
                                 toolrun::GlDrivers() + env);
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_EQ(empty.out, "smoke: library: Serialize File Open Error\n");
    EXPECT_FALSE(fs::exists(folder / "x.tga"));

    // A library without the items the frame draws names the first missing.
    LibraryWriter writer;
    LightItem sun;
    sun.name = "Sun";
    writer.AddItem(70, sun);
    ASSERT_EQ(writer.WriteFile((folder / "DAZedirad.qvf").c_str()), 1);
    ToolRun missing = toolrun::Run("platform_smoke", {folder.Path(), folder / "x.tga"}, "",
                                 toolrun::GlDrivers() + env);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "smoke: item floor: not in the library\n");
}

} // namespace
