#include "play_run_host.h"

#include <cstdlib>
#include <filesystem>

#include "core/actors/engine_startup.h"
#include "platform/graphics.h"
#include "platform/input.h"
#include "platform/video.h"

void PlayRunHost::Key(uint32_t virtualKey, bool down) {
    Pending event{};
    event.message.kind = down ? MessageKind::KeyDown : MessageKind::KeyUp;
    event.message.virtualKey = virtualKey;
    event.virtualKey = virtualKey;
    event.down = down;
    pending_.push_back(event);
}

void PlayRunHost::Button(uint32_t code, bool down) {
    Pending event{};
    event.message.kind = down ? MessageKind::ButtonDown : MessageKind::ButtonUp;
    event.message.button = code;
    event.virtualKey = code == 256 ? 1u : code == 257 ? 2u : 4u;
    event.down = down;
    pending_.push_back(event);
}

void PlayRunHost::Cursor(int x, int y) {
    moveCursor_ = true;
    cursorX_ = x;
    cursorY_ = y;
}

int PlayRunHost::Run(const std::string& folder, uint64_t frameLimit) {
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    const std::string limit = std::to_string(frameLimit);
    setenv("ENGINE_FRAME_LIMIT", limit.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 0); // unless the caller chose a display
    // Films and pauses wait for no real time, as with ENGINE_SKIP_WAITS.
    UseSkippedWaitsVideoClock();
    const int code = RunEngine("-win=1 -s=0", *this);
    if (gfx::Device* device = GetD3DDevice()) device->SetDrawingSkipped(false);
    unsetenv("ENGINE_FRAME_LIMIT");
    std::filesystem::current_path(before);
    return code;
}

void PlayRunHost::InitInput() { ::InitInput(&backend); }

void PlayRunHost::UpdateInput(float frameTime, int cursorFlag) {
    if (drawFrame) {
        if (gfx::Device* device = GetD3DDevice()) device->SetDrawingSkipped(!drawFrame());
    }
    for (const Pending& event : pending_) {
        backend.SetKey(event.virtualKey, event.down);
        HandleInputMessage(event.message);
    }
    pending_.clear();
    if (moveCursor_) {
        backend.SetCursorPos(cursorX_, cursorY_);
        moveCursor_ = false;
    }
    EngineHost::UpdateInput(frameTime, cursorFlag);
}

void PlayRunHost::EndRender() {
    EngineHost::EndRender();
    ++frames;
    if (afterFrame) afterFrame(frames);
}
