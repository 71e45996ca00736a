// platform_smoke SAMPLE-DIR OUT.tga
//
// Draws one frame of the platform and library layers, without the actor
// system, from a sample folder's library on a 320 x 240 device and saves
// the back buffer as a TGA: floor, floating cube with its shadow volume,
// sphere, vertex-animated flag, posed and skinned worm, a sprite, a film
// quad, overlays and text in every font; the "beep" sound plays meanwhile.
// Prints "smoke: ok 320x240 OUT.tga", or "smoke: <step>: <error text>" and
// exits 1 at the first step that fails.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/math.h"
#include "core/actors/screen_capture.h"
#include "library/library_item.h"
#include "library/mesh_geometry.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"
#include "library/skeleton.h"
#include "library/video_items.h"
#include "platform/graphics.h"
#include "platform/os/window.h"
#include "platform/sound.h"
#include "platform/texture_object.h"
#include "platform/video.h"
#include "smoke_scene.h"

namespace {

struct StepFailure {
    std::string step;
    std::string text;
};

// The objects drawn, with their world matrices (which the instances point
// at, so they stay put).
struct SceneObject {
    MeshItem *mesh = nullptr;
    Matrix world;
    float frame = 0.0f;
    std::vector<DrawInstance *> instances;
};

class SmokeRun {
  public:
    SmokeRun(std::string sampleDir, std::string outPath)
        : sampleDir_(std::move(sampleDir)), outPath_(std::move(outPath)) {}
    ~SmokeRun() { TearDown(); }

    bool Run();
    const StepFailure &Failure() const { return failure_; }

  private:
    bool Fail(const std::string &step, const std::string &text) {
        failure_ = {step, text.empty() ? "failed" : text};
        return false;
    }
    std::string LibraryError() const {
        return library_ != nullptr ? library_->GetLastError() : std::string();
    }

    bool OpenDisplay();
    bool LoadLibrary();
    bool LoadEveryItem();
    template <typename T> bool Find(const char *name, ItemClass cls, T **out);
    bool SetUpView();
    bool AddObject(MeshItem *mesh, const Vector3 &position, float frame, float yaw = 0.0f);
    bool PoseWorm();
    bool StartFilm();
    bool DrawFrame();
    bool SaveCapture();
    void WaitForSound();
    void TearDown();

    std::string sampleDir_;
    std::string outPath_;
    StepFailure failure_;

    ResourceLibrary *library_ = nullptr;
    std::unique_ptr<EngineWindow> window_;
    LightItem *sun_ = nullptr;
    std::vector<std::unique_ptr<SceneObject>> objects_;
    Skeleton *skeleton_ = nullptr;
    BoneMatrices *bones_ = nullptr;
    MeshItem *worm_ = nullptr;
    TextureItem *film_ = nullptr;
    SoundItem *beep_ = nullptr;
    double filmClock_ = 0.0;
    bool clockInstalled_ = false;
};

// The folder holding the library: the sample's "game" folder, or the
// folder itself when it holds the library.
std::string BaseFolder(const std::string &sampleDir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(fs::path(sampleDir) / "game" / "DAZedirad.qvf", ec)) {
        return (fs::path(sampleDir) / "game").string();
    }
    return sampleDir;
}

bool SmokeRun::OpenDisplay() {
    if (!CreateEngineServices()) {
        return Fail("services", GetGraphicsErrorText());
    }
    library_ = GetLibrary();
    std::string error;
    window_ = CreateEngineWindow(&error);
    if (!window_) {
        return Fail("window", error);
    }
    library_->SetBaseFolder(BaseFolder(sampleDir_).c_str());
    // Format mode 0: every texture keeps its file's own format.
    library_->SetTextureQuality(0, 1);
    if (!library_->CreateDisplay(smoke::kWidth, smoke::kHeight, 32, 32, 2, window_.get())) {
        return Fail("display", LibraryError());
    }
    if (GetScreenWidth() != smoke::kWidth || GetScreenHeight() != smoke::kHeight) {
        return Fail("display", "device is " + std::to_string(GetScreenWidth()) + "x" +
                                   std::to_string(GetScreenHeight()));
    }
    return true;
}

bool SmokeRun::LoadLibrary() {
    if (!library_->SerializeLibrary(0)) {
        return Fail("library", LibraryError());
    }
    return true;
}

// Loads every item of the table again (a no-op for those loaded with the
// file) and checks that those with a device resource hold it.
bool SmokeRun::LoadEveryItem() {
    for (uint32_t slot = 0; slot < ResourceLibrary::kTableSize; ++slot) {
        LibraryItem *item = library_->GetItemById(slot);
        if (item == nullptr) {
            continue;
        }
        library_->LoadItem(item);
        bool held = true;
        switch (item->GetClass()) {
        case ItemClass::Texture:
            held = static_cast<TextureItem *>(item)->texture != nullptr;
            break;
        case ItemClass::Mesh:
            held = item->loaded != 0;
            break;
        case ItemClass::Sound:
            // Without a sound device the engine runs silent: no buffers.
            held = !library_->IsSoundEnabled() ||
                   static_cast<SoundItem *>(item)->buffer != nullptr;
            break;
        case ItemClass::Font:
            held = static_cast<FontItem *>(item)->font != nullptr;
            break;
        default:
            break;
        }
        if (!held) {
            return Fail("load " + item->name, LibraryError());
        }
    }
    return true;
}

template <typename T> bool SmokeRun::Find(const char *name, ItemClass cls, T **out) {
    *out = static_cast<T *>(library_->FindItemByName(name, cls));
    if (*out == nullptr) {
        return Fail(std::string("item ") + name, "not in the library");
    }
    return true;
}

bool SmokeRun::SetUpView() {
    using namespace smoke;
    library_->SetClearColor(kClearColor);
    library_->SetFogEnable(0);
    library_->SetNearClip(kNearClip);
    library_->SetFarClip(kFarClip);
    library_->SetFieldOfView(kFieldOfView);
    library_->SetCameraLookAt(kCameraEye, kCameraTarget, kCameraUp);
    library_->SetAmbientLight(kAmbient, kAmbient, kAmbient, 1.0f);

    LightItem *sunItem = nullptr;
    if (!Find(kSun, ItemClass::Light, &sunItem)) {
        return false;
    }
    sun_ = library_->CreateLight();
    if (sun_ == nullptr) {
        return Fail("light", "no run-time light");
    }
    // The sample's sun, turned into a fixed white directional light.
    sun_->light = sunItem->light;
    SetLightType(sun_, gfx::kLightDirectional);
    SetLightDiffuse(sun_, gfx::ColorValue{1.0f, 1.0f, 1.0f, 1.0f});
    Vector3 direction = kSunDirection;
    Vec3Normalize(&direction, direction);
    SetLightDirection(sun_, direction);
    ApplyLight(sun_);
    library_->EnableLight(sun_, true);
    return true;
}

bool SmokeRun::AddObject(MeshItem *mesh, const Vector3 &position, float frame, float yaw) {
    auto object = std::make_unique<SceneObject>();
    object->mesh = mesh;
    object->frame = frame;
    Matrix turn;
    Matrix move;
    MatrixRotationY(&turn, yaw);
    MatrixTranslation(&move, position.x, position.y, position.z);
    MatrixMultiply(&object->world, turn, move);
    const uint32_t subsets = uint32_t(mesh->subsets.size());
    if (subsets == 0 || mesh->subsetSettings.size() < subsets) {
        return Fail("mesh " + mesh->name, "no subsets");
    }
    for (uint32_t i = 0; i < subsets; ++i) {
        // A subset's setting word 1 is its material slot.
        LibraryItem *item = library_->GetItemById(mesh->subsetSettings[i].word1);
        if (item == nullptr || item->GetClass() != ItemClass::Material) {
            return Fail("mesh " + mesh->name,
                        "subset " + std::to_string(i) + " names no material");
        }
        DrawInstance *instance = library_->CreateDrawInstance(
            mesh, i, static_cast<MaterialItem *>(item), &object->world, 0, 0.0f);
        if (instance == nullptr) {
            return Fail("mesh " + mesh->name, "no draw instance");
        }
        object->instances.push_back(instance);
    }
    objects_.push_back(std::move(object));
    return true;
}

bool SmokeRun::PoseWorm() {
    MotionItem *motion = nullptr;
    if (!Find(smoke::kWormMotion, ItemClass::Motion, &motion)) {
        return false;
    }
    skeleton_ = CreateSkeleton(worm_);
    bones_ = AllocBoneMatrices(worm_);
    if (skeleton_ == nullptr || bones_ == nullptr || bones_->Count() == 0) {
        return Fail("pose", worm_->name + " has no bones");
    }
    ComputeBonePose(skeleton_, motion, bones_, smoke::kWormPoseTime);
    SkinMeshVertices(worm_, bones_, 0, nullptr);
    return true;
}

bool SmokeRun::StartFilm() {
    if (!Find(smoke::kFilm, ItemClass::Texture, &film_)) {
        return false;
    }
    if (film_->texture == nullptr) {
        return Fail("film", "no texture");
    }
    // The media clock stands still at 0 while the film starts, then at the
    // middle of the picture drawn: a run never depends on real time.
    SetVideoClock({[this] { return filmClock_; }, {}});
    clockInstalled_ = true;
    RestartVideoTexture(film_);
    filmClock_ = smoke::kFilmTime;
    if (!WaitForVideoTexture(film_->texture, smoke::kFilmWaitMilliseconds)) {
        return Fail("film", "picture not decoded in time");
    }
    return true;
}

bool SmokeRun::DrawFrame() {
    using namespace smoke;
    MaterialItem *sprite = nullptr;
    MaterialItem *video = nullptr;
    MaterialItem *back = nullptr;
    MaterialItem *logo = nullptr;
    if (!Find(kSpriteMaterial, ItemClass::Material, &sprite) ||
        !Find(kVideoMaterial, ItemClass::Material, &video) ||
        !Find(kBackMaterial, ItemClass::Material, &back) ||
        !Find(kLogoMaterial, ItemClass::Material, &logo)) {
        return false;
    }
    std::vector<FontItem *> fonts;
    for (const TextLine &line : kTextLines) {
        FontItem *font = nullptr;
        if (line.font != nullptr && !Find(line.font, ItemClass::Font, &font)) {
            return false;
        }
        fonts.push_back(font);
    }

    if (!library_->BeginRender(true, true)) {
        return Fail("render", GetGraphicsErrorText());
    }
    for (const auto &object : objects_) {
        for (DrawInstance *instance : object->instances) {
            library_->QueueDrawInstance(instance, object->frame, 1.0f);
        }
    }
    library_->DrawScene();

    library_->QueueSprite(kSpriteX, kSpriteY, 1.0f, 1.0f, 1.0f, 1.0f, sprite);
    library_->QueueRect(kVideoX, kVideoY, kVideoSize, kVideoSize, 1.0f, 1.0f, 1.0f, 1.0f, video);
    library_->DrawQueuedQuads(true);

    library_->SetOverlayQuad(kOverlayQuadX, kOverlayQuadY, kOverlayQuadSize, kOverlayQuadSize,
                             1.0f, 1.0f, 1.0f, 1.0f, back);
    library_->SetImageOverlay(kImageOverlayX, kImageOverlayY, logo);
    library_->DrawOverlays();

    for (size_t i = 0; i < fonts.size(); ++i) {
        library_->SetCurrentFont(fonts[i]);
        library_->QueueText(kTextLines[i].x, kTextLines[i].y, 1.0f, 1.0f, 1.0f, 1.0f,
                            kTextLines[i].text, 0);
    }
    library_->SetCurrentFont(nullptr);
    library_->DrawQueuedText(true);

    if (!library_->EndRender(false)) {
        return Fail("render", GetGraphicsErrorText());
    }
    return true;
}

bool SmokeRun::SaveCapture() {
    if (!CaptureBackBuffer(int32_t(smoke::kWidth), int32_t(smoke::kHeight))) {
        return Fail("capture", "back buffer not read");
    }
    if (!SaveCapturedImage(outPath_)) {
        return Fail("save", "cannot write " + outPath_);
    }
    return true;
}

// Keeps the device open until the beep has played out.
void SmokeRun::WaitForSound() {
    if (beep_ == nullptr || !library_->IsSoundEnabled()) {
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    while (library_->IsSoundItemPlaying(beep_) &&
           std::chrono::steady_clock::now() - start <
               std::chrono::milliseconds(smoke::kSoundWaitMilliseconds)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The mixer hands on what it has queued.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

bool SmokeRun::Run() {
    if (!OpenDisplay() || !LoadLibrary() || !LoadEveryItem() || !SetUpView()) {
        return false;
    }
    MeshItem *floor = nullptr;
    MeshItem *cube = nullptr;
    MeshItem *sphere = nullptr;
    MeshItem *flag = nullptr;
    if (!Find(smoke::kFloor, ItemClass::Mesh, &floor) ||
        !Find(smoke::kCube, ItemClass::Mesh, &cube) ||
        !Find(smoke::kSphere, ItemClass::Mesh, &sphere) ||
        !Find(smoke::kFlag, ItemClass::Mesh, &flag) ||
        !Find(smoke::kWorm, ItemClass::Mesh, &worm_) || !PoseWorm()) {
        return false;
    }
    if (!AddObject(floor, smoke::kFloorPosition, 0.0f) ||
        !AddObject(cube, smoke::kCubePosition, 0.0f) ||
        !AddObject(sphere, smoke::kSpherePosition, 0.0f) ||
        !AddObject(flag, smoke::kFlagPosition, smoke::kFlagFrame, smoke::kFlagYaw) ||
        !AddObject(worm_, smoke::kWormPosition, 0.0f)) {
        return false;
    }
    if (!Find(smoke::kBeep, ItemClass::Sound, &beep_)) {
        return false;
    }
    library_->PlaySoundItem(beep_);
    if (!StartFilm() || !DrawFrame() || !SaveCapture()) {
        return false;
    }
    WaitForSound();
    return true;
}

void SmokeRun::TearDown() {
    if (library_ == nullptr) {
        return;
    }
    for (const auto &object : objects_) {
        for (DrawInstance *instance : object->instances) {
            library_->DestroyDrawInstance(instance);
        }
    }
    objects_.clear();
    FreeBoneMatrices(bones_);
    bones_ = nullptr;
    DestroySkeleton(skeleton_);
    skeleton_ = nullptr;
    if (film_ != nullptr) {
        StopVideoTexture(film_);
    }
    if (clockInstalled_) {
        SetVideoClock({});
    }
    if (sun_ != nullptr) {
        library_->DestroyLight(sun_);
        sun_ = nullptr;
    }
    for (uint32_t slot = 0; slot < ResourceLibrary::kTableSize; ++slot) {
        if (LibraryItem *item = library_->GetItemById(slot)) {
            if (item->loaded) {
                library_->ReleaseItem(item);
            }
        }
    }
    ShutdownSoundDevice();
    if (CQVGraphics *graphics = GetGraphics()) {
        graphics->DestroyDevice();
    }
    window_.reset();
    library_ = nullptr;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: platform_smoke SAMPLE-DIR OUT.tga\n");
        return 2;
    }
    // A headless run unless the caller chose a video driver.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    SmokeRun run(argv[1], argv[2]);
    if (!run.Run()) {
        std::printf("smoke: %s: %s\n", run.Failure().step.c_str(), run.Failure().text.c_str());
        return 1;
    }
    std::printf("smoke: ok %ux%u %s\n", smoke::kWidth, smoke::kHeight, argv[2]);
    return 0;
}
