#include "core/actors/engine_host.h"

#include <bit>
#include <chrono>
#include <thread>

#include "base/file_system.h"
#include "base/math.h"
#include "base/pack_archive.h"
#include "base/text_table.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/actor_system_commands.h"
#include "core/actors/command_ids.h"
#include "core/actors/input_script.h"
#include "core/actors/scheduled_command.h"
#include "core/actors/screen_capture.h"
#include "core/actors/subsystem_hooks.h"
#include "core/actors/time_record.h"
#include "library/render/font_services.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/input.h"
#include "platform/os/gfx/device.h"
#include "platform/os/posted_input.h"
#include "platform/sound.h"
#include "platform/timer.h"
#include "platform/video.h"

namespace {

Vector3 ToVector(const float v[3]) { return Vector3{v[0], v[1], v[2]}; }

}  // namespace

EngineHost::EngineHost() = default;

EngineHost::~EngineHost() {
    ClosePackArchive();
}

// --- window and messages -----------------------------------------------------

bool EngineHost::OpenWindow(std::string* error) {
    window_ = CreateEngineWindow(error);
    return window_ != nullptr;
}

void EngineHost::SetWindowTitle(const std::string& title) {
    if (window_) window_->SetTitle(title);
}

bool EngineHost::HasMessage() { return window_ && window_->HasMessage(); }

bool EngineHost::NextMessage(WindowMessage* out) { return window_ && window_->NextMessage(out); }

bool EngineHost::QuitPending() { return window_ && window_->QuitPending(); }

bool EngineHost::WindowActive() { return !window_ || window_->IsActive(); }

void EngineHost::PostClose() {
    if (window_) window_->PostClose();
}

void EngineHost::Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint32_t EngineHost::TickCount() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// --- trace, archive, input -------------------------------------------------

void EngineHost::RegisterTraceChannel(uint32_t, const char*) {
    // The trace sink is empty: channels cost nothing and print nothing.
}

bool EngineHost::OpenPackArchive() {
    PackArchive* archive = CreatePackArchive("pack.csa", GetDefaultFileSystem(), &packError_);
    if (archive != nullptr && !archive->Damage().empty()) {
        // A cut archive is not used in part: the files come from the folders.
        packError_ = archive->Damage();
        DeletePackArchive(archive);
        return false;
    }
    if (archive == nullptr) return false;
    pack_ = archive;
    GamePackArchive = archive;
    SetCurrentFileSystem(archive);
    return true;
}

std::string EngineHost::PackArchiveErrorText() { return packError_; }

void EngineHost::ClosePackArchive() {
    if (pack_ == nullptr) return;
    if (GetCurrentFileSystem() == pack_) SetCurrentFileSystem(nullptr);
    if (GamePackArchive == pack_) GamePackArchive = nullptr;
    DeletePackArchive(pack_);
    pack_ = nullptr;
}

void EngineHost::InitInput() { ::InitInput(window_ ? window_->Input() : nullptr); }

void EngineHost::BindDefaultActions() { ::BindDefaultActions(); }

void EngineHost::HandleInputMessage(const WindowMessage& message) { ::HandleInputMessage(message); }

void EngineHost::UpdateInput(float frameTime, int cursorFlag) { ::UpdateInput(frameTime, cursorFlag); }

int EngineHost::ActionDown(int action, int set) { return ::ActionDown(action, set); }

int EngineHost::DebugKeyState(uint32_t virtualKey) { return ::DebugKeyState(virtualKey); }

// --- library and display -----------------------------------------------------

bool EngineHost::CreateEngineServices() { return ::CreateEngineServices() != 0; }

bool EngineHost::CreateDisplay(uint32_t width, uint32_t height, uint32_t depth,
                               uint32_t depthBuffer, uint32_t flags) {
    ResourceLibrary* library = GetLibrary();
    return library != nullptr &&
           library->CreateDisplay(width, height, depth, depthBuffer, flags, window_.get()) != 0;
}

std::string EngineHost::GraphicsErrorText() { return ::GetGraphicsErrorText(); }

void EngineHost::SetBaseFolder(const std::string& folder) {
    if (ResourceLibrary* library = GetLibrary()) library->SetBaseFolder(folder.c_str());
}

uint32_t EngineHost::TextureFilterCaps() {
    gfx::Device* device = GetD3DDevice();
    if (device == nullptr) return 0;
    gfx::Caps caps;
    if (device->GetDeviceCaps(&caps) != 0) return 0;
    return caps.textureFilterCaps;
}

void EngineHost::SetRenderState(uint32_t state, uint32_t value) {
    if (gfx::Device* device = GetD3DDevice()) device->SetRenderState(state, value);
}

void EngineHost::SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) {
    if (gfx::Device* device = GetD3DDevice()) device->SetTextureStageState(stage, type, value);
}

void EngineHost::SetTextureQuality(uint32_t formatMode, uint32_t divisor) {
    if (ResourceLibrary* library = GetLibrary()) library->SetTextureQuality(formatMode, divisor);
}

void EngineHost::ClearScreen(uint32_t color) {
    if (CQVGraphics* graphics = GetGraphics()) graphics->ClearScreen(color);
}

void EngineHost::BeginFrame() {
    if (CQVGraphics* graphics = GetGraphics()) graphics->BeginFrame();
}

void EngineHost::EndFrame() {
    if (CQVGraphics* graphics = GetGraphics()) graphics->EndFrame();
}

void EngineHost::PresentFrame() {
    if (CQVGraphics* graphics = GetGraphics()) graphics->PresentFrame();
}

bool EngineHost::SerializeLibrary() {
    ResourceLibrary* library = GetLibrary();
    return library != nullptr && library->SerializeLibrary(1) != 0;
}

std::string EngineHost::LibraryErrorText() {
    ResourceLibrary* library = GetLibrary();
    return library != nullptr ? library->GetLastError() : "no resource library";
}

std::string EngineHost::LibraryFilePath() {
    ResourceLibrary* library = GetLibrary();
    return library != nullptr ? library->LibraryFilePath() : std::string();
}

void EngineHost::SetFarClip(float distance) {
    if (ResourceLibrary* library = GetLibrary()) library->SetFarClip(distance);
}

void EngineHost::SetNearClip(float distance) {
    if (ResourceLibrary* library = GetLibrary()) library->SetNearClip(distance);
}

bool EngineHost::HandleLostDevice() {
    CQVGraphics* graphics = GetGraphics();
    return graphics == nullptr || graphics->HandleLostDevice();
}

// --- video and texts -------------------------------------------------------
// A film that does not open is no error: nothing plays and the first poll
// answers false.

void EngineHost::PlayFullScreenVideo(const std::string& path) {
    (void)::PlayFullScreenVideo(path.c_str());
}

bool EngineHost::PollFullScreenVideo() { return ::PollFullScreenVideo() != 0; }

void EngineHost::StopVideo() { ::StopVideo(); }

void EngineHost::LoadTextTable(const std::string& path) {
    if (CreateTextTable()) TextTable::Instance()->Load(path);
}

// --- world -------------------------------------------------------------------

bool EngineHost::InitActorSystem(const std::string& baseFolder, std::string* error) {
    const bool made = ::InitActorSystem() != 0;
    ActorSystem* system = GetActorSystem();
    if (system != nullptr) system->baseFolder = baseFolder;
    if (made) return true;
    *error = system != nullptr && system->errorText[0] != '\0' ? system->errorText
                                                                 : "the command table cannot be made";
    return false;
}

bool EngineHost::OpenActorFile(int32_t rootId, const std::string& name, std::string* error) {
    Actor* root = GetActorById(static_cast<uint32_t>(rootId));
    ActorSystem* system = GetActorSystem();
    // The reason told is this load's, never an older one.
    if (system != nullptr) system->errorText[0] = '\0';
    if (root != nullptr && SendCommandArgs(root, cmd::file_io::OpenFile,
                                           name.c_str()) != 0) return true;
    *error = system == nullptr ? "no actor system"
             : system->errorText[0] != '\0' ? system->errorText
                                             : "Error - Loading Actors";
    return false;
}

bool EngineHost::FindMenuActor() {
    ActorSystem* system = GetActorSystem();
    return system != nullptr && FindDescendantByName(system, "Menu") != nullptr;
}

void EngineHost::SetGlobalTime(float time) {
    SendCommandArgs(GetActorSystem(), cmd::actor_system::SetGlobalTime,
                    std::bit_cast<uint32_t>(time));
}

void EngineHost::PrecalculateAll() { ::PrecalculateAll(); }

void EngineHost::StartGame() { SendCommandArgs(GetActorSystem(), cmd::base::StartGame); }

// --- frame -------------------------------------------------------------------

double EngineHost::GetDeltaTime() {
    FrameTimer* timer = GetFrameTimer();
    return timer != nullptr ? timer->GetDeltaTime() : 0.0;
}

void EngineHost::UpdateRootTime() { UpdateTimeRecord(GetActorSystem(), RootTimeRecord()); }

void EngineHost::ProcessWorld() {
    if (ActorSystem* system = GetActorSystem()) system->Process();
}

void EngineHost::RunScheduledCommands() {
    if (ActorSystem* system = GetActorSystem()) ::RunScheduledCommands(system);
}

void EngineHost::CollisionPass(float timeStep) {
    if (ActorSystem* system = GetActorSystem()) system->CollisionPass(timeStep);
}

bool EngineHost::UpdateCamera() {
    if (CurrentCamera == nullptr) return false;
    UpdateCurrentCamera();
    return true;
}

void EngineHost::DrawVisibleGroups(float timeStep) {
    if (ActorSystem* system = GetActorSystem()) system->DrawVisibleGroups(timeStep);
}

// Without a library the listener stays at the origin looking down +z.
void EngineHost::CameraFrame(float position[3], float forward[3], float up[3]) {
    Vector3 front = {0.0f, 0.0f, 1.0f};
    Vector3 top = {0.0f, 1.0f, 0.0f};
    const float origin[3] = {0.0f, 0.0f, 0.0f};
    const float* at = origin;
    if (ResourceLibrary* library = GetLibrary()) {
        at = library->GetCameraPosition();
        library->GetCameraForward(&front);
        library->GetCameraUp(&top);
    }
    const float frontAxis[3] = {front.x, front.y, front.z};
    const float topAxis[3] = {top.x, top.y, top.z};
    for (int i = 0; i < 3; ++i) {
        position[i] = at[i];
        forward[i] = frontAxis[i];
        up[i] = topAxis[i];
    }
}

void EngineHost::SetListener(const float position[3], const float front[3], const float top[3],
                             const float velocity[3]) {
    SetListenerPosition(ToVector(position));
    SetListenerFront(ToVector(front));
    SetListenerTop(ToVector(top));
    SetListenerVelocity(ToVector(velocity));
    CommitListenerSettings();
}

// The frame: opened with a clear of target, depth and stencil, the 3D pass
// through the draw buckets, then the world's labels, the screen quads, the
// texts and the overlays (each queue emptied), closed and presented.
bool EngineHost::BeginRender() {
    ResourceLibrary* library = GetLibrary();
    return library != nullptr && library->BeginRender(true, true);
}

void EngineHost::DrawScene(float) {
    if (ResourceLibrary* library = GetLibrary()) library->DrawScene();
}

void EngineHost::Draw2D() {
    if (ResourceLibrary* library = GetLibrary()) {
        // The labels that float in the world are tested against its depth
        // and belong to it: drawn before the screen's quads, they lie under
        // the head-up display's panels as the world does.
        library->DrawQueuedLabels();
        library->DrawQueuedQuads(true);
        library->DrawQueuedText(true);
        library->DrawOverlays();
    }
}

void EngineHost::EndRender() {
    if (ResourceLibrary* library = GetLibrary()) library->EndRender(true);
}

uint32_t EngineHost::ScreenWidth() { return ::GetScreenWidth(); }

// Debug texts: white, in the default font.
void EngineHost::QueueText(const std::string& text, float x, float y, uint32_t style) {
    if (ResourceLibrary* library = GetLibrary()) {
        library->SetCurrentFont(nullptr);
        library->QueueText(x, y, 1.0f, 1.0f, 1.0f, 1.0f, text.c_str(), style);
    }
}

void EngineHost::DrawTextNow(const std::string& text, float x, float y, uint32_t style) {
    ::DrawTextNow(x, y, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, text.c_str(), (style & 2u) != 0, nullptr);
}

// --- scripted test input -------------------------------------------------------

bool EngineHost::PostScriptedInput(const ScriptedInput& input) {
    switch (input.kind) {
        case ScriptedInputKind::Key:
            return PostKeyEvent(input.code, input.down);
        case ScriptedInputKind::Button:
            return PostMouseButtonEvent(input.code, input.down);
        case ScriptedInputKind::Motion:
            return PostMouseMotionEvent(input.dx, input.dy);
        case ScriptedInputKind::Capture:
            break;
    }
    return false;
}

bool EngineHost::CaptureScreen(const std::string& file) {
    ActorSystem* system = GetActorSystem();
    std::string path;
    if (system == nullptr || !JoinBaseFolder(system->baseFolder, file, &path)) return false;
    return CaptureBackBuffer(static_cast<int32_t>(::GetScreenWidth()),
                             static_cast<int32_t>(::GetScreenHeight())) != 0 &&
           SaveCapturedImage(path) != 0;
}
