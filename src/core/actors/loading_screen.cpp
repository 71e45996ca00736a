#include "core/actors/loading_screen.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "base/text_table.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_system.h"
#include "library/library_item.h"
#include "library/render/render_front_end.h"
#include "library/render/screen_layers.h"
#include "library/resource_library.h"

namespace {

// The render front end of the resource library: its screen quads, text
// lines and immediate filled rectangles, inside its frame pair.
class FrontEndRenderer : public LoadingScreenRenderer {
  public:
    int32_t GetScreenWidth() override { return static_cast<int32_t>(::GetScreenWidth()); }
    int32_t GetScreenHeight() override { return static_cast<int32_t>(::GetScreenHeight()); }
    void QueueRect(float x, float y, float width, float height, const Color &color,
                   LibraryItem *material) override {
        ResourceLibrary *library = GetLibrary();
        if (library == nullptr || material == nullptr ||
            material->GetClass() != ItemClass::Material) {
            return;
        }
        library->QueueRect(x, y, width, height, color.x, color.y, color.z, color.w,
                           static_cast<MaterialItem *>(material));
    }
    void QueueText(const std::string &text, float x, float y, const Color &color,
                   uint32_t style) override {
        if (ResourceLibrary *library = GetLibrary()) {
            library->QueueText(x, y, color.x, color.y, color.z, color.w, text.c_str(), style);
        }
    }
    int BeginRender(uint32_t clear, uint32_t flags) override {
        ResourceLibrary *library = GetLibrary();
        return library != nullptr && library->BeginRender(clear != 0, flags != 0) ? 1 : 0;
    }
    void DrawQueuedQuads() override {
        if (ResourceLibrary *library = GetLibrary()) {
            library->DrawQueuedQuads(true);
        }
    }
    void DrawQueuedText() override {
        if (ResourceLibrary *library = GetLibrary()) {
            library->DrawQueuedText(true);
        }
    }
    void DrawFilledRect(const ScreenRect &rect, const Color &color) override {
        ::DrawFilledRect(rect.left, rect.top, rect.right, rect.bottom, color.x, color.y, color.z,
                         color.w);
    }
    void EndRender(uint32_t present) override {
        if (ResourceLibrary *library = GetLibrary()) {
            library->EndRender(present != 0);
        }
    }
};

FrontEndRenderer g_frontEnd;

// The actor-file reader's progress call, once per actor read.
void ReaderProgress(uint32_t) {
    ActorSystem *system = GetActorSystem();
    if (system != nullptr && system->loadingCallback != nullptr) {
        system->loadingCallback(nullptr);
    }
}
LoadingScreenRenderer *g_renderer = &g_frontEnd;
LoadingScreenState g_state;

constexpr float kChannelScale = 0.003921569f; // 1 / 255

// A place in whole pixels, truncated as the layout has it, on or off the
// screen. A place past what an int holds, with room for the `less` and
// `more` pixels of the rectangles laid out around it, is held at that bound:
// far off the screen, on its own side.
int32_t PixelPlace(float place, int32_t less, int32_t more) {
    return static_cast<int32_t>(
        TruncateInRange(place, int64_t{std::numeric_limits<int32_t>::min()} + less,
                        int64_t{std::numeric_limits<int32_t>::max()} - more));
}

LibraryItem *FindMaterial(const char *name) {
    ResourceLibrary *library = GetLibrary();
    return library != nullptr ? library->FindItemByName(name, ItemClass::Material) : nullptr;
}

} // namespace

Color ArgbToColor(uint32_t argb) {
    return {static_cast<float>((argb >> 16) & 0xFF) * kChannelScale,
            static_cast<float>((argb >> 8) & 0xFF) * kChannelScale,
            static_cast<float>(argb & 0xFF) * kChannelScale,
            static_cast<float>((argb >> 24) & 0xFF) * kChannelScale};
}

LoadingScreenRenderer *SetLoadingScreenRenderer(LoadingScreenRenderer *renderer) {
    LoadingScreenRenderer *previous = g_renderer;
    g_renderer = renderer;
    return previous;
}

LoadingScreenRenderer *FrontEndLoadingScreenRenderer() { return &g_frontEnd; }

LoadingScreenState &GetLoadingScreenState() { return g_state; }

std::string LoadingTextEntry() {
    TextTable *table = TextTable::Instance();
    return table != nullptr ? table->Lookup("LOADING") : std::string("LOADING");
}

LibraryItem *BeginLoadingScreen(ActorSystem *system, uint32_t expectedSteps) {
    if (system != nullptr) {
        system->loadingText = LoadingTextEntry();
    }
    LoadingScreenState &s = g_state;
    s.drawCount = 0;
    s.stepsSinceUpdate = 0;
    s.progress = 0.0f;
    s.expectedSteps = expectedSteps;
    s.increment = 400.0f / (static_cast<float>(expectedSteps) * 0.01f);

    const Vector3 position = system != nullptr ? system->loadBarPosition : Vector3{0, 0, 0};
    const int32_t width = g_renderer != nullptr ? g_renderer->GetScreenWidth() : 0;
    const int32_t height = g_renderer != nullptr ? g_renderer->GetScreenHeight() : 0;
    // The well spans 202 pixels either side of the centre, and 82 to 70
    // pixels above it.
    const int32_t cx = PixelPlace(static_cast<float>(width / 2) + position.x, 202, 202);
    const int32_t cy = PixelPlace(static_cast<float>(height) + position.y, 82, 0);
    s.frame = {cx - 200, cy - 80, cx + 200, cy - 72};
    s.well = {cx - 202, cy - 82, cx + 202, cy - 70};
    s.bar = {cx - 198, cy - 78, cx - 198, cy - 74};

    s.background = FindMaterial("Menu_Back");
    s.logo = FindMaterial("Menu_OrskLogo");
    s.barWidth = static_cast<float>(s.frame.right - s.frame.left);
    if (system != nullptr) {
        system->loadingCallback = &DrawLoadingScreen;
    }
    SetActorLoadProgress(&ReaderProgress);
    return s.logo;
}

int DrawLoadingScreen(const char *text) {
    LoadingScreenState &s = g_state;
    ActorSystem *system = GetActorSystem();
    ++s.drawCount;
    ++s.stepsSinceUpdate;

    const Vector3 textOffset = system != nullptr ? system->loadBarTextPosition : Vector3{0, 0, 0};
    const int32_t width = g_renderer != nullptr ? g_renderer->GetScreenWidth() : 0;
    const int32_t height = g_renderer != nullptr ? g_renderer->GetScreenHeight() : 0;
    s.textX = PixelPlace(static_cast<float>(width / 2) + textOffset.x - 200.0f, 0, 0);
    s.textY = PixelPlace(static_cast<float>(height) + textOffset.y - 130.0f, 0, 0);

    if (s.stepsSinceUpdate < s.stepsPerUpdate) {
        return static_cast<int>(s.stepsSinceUpdate);
    }
    s.progress += s.increment;
    s.stepsSinceUpdate = 0;
    // Clamped before the conversion, so that any progress converts safely:
    // far off the screen the bar's ends round as floats, past an int's range.
    const float right = std::min(static_cast<float>(s.bar.left) + s.progress,
                                 static_cast<float>(s.frame.right - 2));
    s.bar.right = static_cast<int32_t>(TruncateInRange(right, s.bar.left, s.frame.right - 2));

    if (g_renderer == nullptr) {
        return 0;
    }
    if (s.logo != nullptr) {
        g_renderer->QueueRect(0.0f, 0.0f, 1.0f, 1.0f, {1.0f, 1.0f, 1.0f, 0.5f}, s.logo);
    }
    if (s.background != nullptr) {
        g_renderer->QueueRect(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height),
                              {1.0f, 1.0f, 1.0f, 1.0f}, s.background);
    }
    const Color textColor = system != nullptr ? system->loadBarTextColor : Color{1, 1, 1, 1};
    const Color barColor = system != nullptr ? system->loadBarColor : Color{0.6f, 0.9f, 0.4f, 1};
    std::string shown = text != nullptr ? std::string(text)
                        : system != nullptr ? system->loadingText
                                            : std::string();
    g_renderer->QueueText(shown, static_cast<float>(s.textX), static_cast<float>(s.textY),
                          textColor, 1);

    const int begun = g_renderer->BeginRender(1, 1);
    if (begun == 0) {
        return 0;
    }
    g_renderer->DrawQueuedQuads();
    g_renderer->DrawQueuedText();
    g_renderer->DrawFilledRect(s.well, barColor);
    g_renderer->DrawFilledRect(s.frame, {0.0f, 0.0f, 0.0f, 1.0f});
    g_renderer->DrawFilledRect(s.bar, barColor);
    g_renderer->EndRender(1);
    return begun;
}

void EndLoadingScreen(ActorSystem *system) {
    if (system != nullptr) {
        system->loadingCallback = nullptr;
    }
    SetActorLoadProgress(nullptr);
    g_state.background = nullptr;
}

void ResetLoadingScreenForTests() { g_state = LoadingScreenState{}; }
