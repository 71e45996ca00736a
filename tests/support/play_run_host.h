// Runs the whole engine in the test's own process on a game folder (as
// "./play.sh" does, offscreen, windowed, silent) with scripted input: every
// frame lasts 1/60 s, the tick that seeds the random generator is always 1
// (so every run of a test plays the same game; ENGINE_RANDOM_SEED still
// overrides it), films and pauses wait for no real time, the logo is
// skipped, the keys, buttons and cursor come
// from the test, and after each frame the test may look at the world and
// queue the next frame's input. One run per test program: the engine's
// devices are the process's own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/actors/engine_host.h"
#include "platform/os/scripted_input_backend.h"
#include "platform/os/window.h"

class PlayRunHost : public EngineHost {
public:
    // Queue input for the next frame: a key (virtual key), a mouse button
    // (input code 256-258) or the cursor's position on the 1024 x 768
    // desktop.
    void Key(uint32_t virtualKey, bool down);
    void Button(uint32_t code, bool down);
    void Cursor(int x, int y);

    // Runs the engine with "-win=1 -s=0" in `folder` (which holds
    // "init.txt") and answers its exit code; the working folder comes back
    // after. Past `frameLimit` frames the run ends with the frame-limit code.
    int Run(const std::string& folder, uint64_t frameLimit = 1200);

    // Called after each frame with the number of frames run so far.
    std::function<void(uint32_t frame)> afterFrame;
    // When set, asked at the start of each frame: a frame it answers false
    // for is run in full but its clears and draws are skipped (the pixels of
    // most frames of a run on GL are never looked at, and drawing them in
    // software is most of the run's time).
    std::function<bool()> drawFrame;
    uint32_t frames = 0;
    ScriptedInputBackend backend;

    void InitInput() override;
    double GetDeltaTime() override { return 1.0 / 60.0; }
    uint32_t TickCount() override { return 1; }
    bool PollFullScreenVideo() override { return false; }
    void UpdateInput(float frameTime, int cursorFlag) override;
    void EndRender() override;

private:
    struct Pending {
        WindowMessage message;
        uint32_t virtualKey;
        bool down;
    };
    std::vector<Pending> pending_;
    bool moveCursor_ = false;
    int cursorX_ = 512;
    int cursorY_ = 384;
};
