// The services the engine's start-up, message loop and frame step call.
//
// Every call goes through this class so that the start-up can run in-process
// on recording or headless services: the default bodies call the real window,
// input, graphics, library, sound, video and world; a test derives and
// overrides what it records or replaces.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/os/window.h"

class PackArchive;
struct ScriptedInput;
struct Vector3;

class EngineHost {
public:
    EngineHost();
    virtual ~EngineHost();

    // --- window and messages -------------------------------------------
    // Makes the window (title "VAVazozi", cursor hidden); false with the
    // reason in `error`.
    virtual bool OpenWindow(std::string* error);
    virtual void SetWindowTitle(const std::string& title);
    virtual bool HasMessage();
    virtual bool NextMessage(WindowMessage* out);
    virtual bool QuitPending();
    virtual bool WindowActive();
    virtual void PostClose();
    virtual void Sleep(uint32_t milliseconds);
    virtual uint32_t TickCount();
    EngineWindow* Window() { return window_.get(); }

    // --- trace, archive, input ------------------------------------------
    virtual void RegisterTraceChannel(uint32_t mask, const char* name);
    // Opens "pack.csa", makes it the current file system and the game's
    // archive (GamePackArchive); false when there is none or it is damaged.
    virtual bool OpenPackArchive();
    // What is wrong with the "pack.csa" the last OpenPackArchive found
    // damaged; empty when it opened or there is none.
    virtual std::string PackArchiveErrorText();
    virtual void ClosePackArchive();
    virtual void InitInput();
    // The input layer's default key bindings (set 0).
    virtual void BindDefaultActions();
    virtual void HandleInputMessage(const WindowMessage& message);
    virtual void UpdateInput(float frameTime, int cursorFlag);
    virtual int ActionDown(int action, int set);
    virtual int DebugKeyState(uint32_t virtualKey);

    // --- library and display --------------------------------------------
    virtual bool CreateEngineServices();
    virtual bool CreateDisplay(uint32_t width, uint32_t height, uint32_t depth,
                               uint32_t depthBuffer, uint32_t flags);
    virtual std::string GraphicsErrorText();
    virtual void SetBaseFolder(const std::string& folder);
    virtual uint32_t TextureFilterCaps();
    virtual void SetRenderState(uint32_t state, uint32_t value);
    virtual void SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value);
    virtual void SetTextureQuality(uint32_t formatMode, uint32_t divisor);
    virtual void ClearScreen(uint32_t color);
    virtual void BeginFrame();
    virtual void EndFrame();
    virtual void PresentFrame();
    virtual bool SerializeLibrary();
    virtual std::string LibraryErrorText();
    // The file SerializeLibrary reads, as the base folder spells it.
    virtual std::string LibraryFilePath();
    virtual void SetFarClip(float distance);
    virtual void SetNearClip(float distance);
    // False when the device cannot be used this turn.
    virtual bool HandleLostDevice();

    // --- video and texts --------------------------------------------------
    virtual void PlayFullScreenVideo(const std::string& path);
    // True while the film runs (one poll presents a frame and waits 100 ms).
    virtual bool PollFullScreenVideo();
    virtual void StopVideo();
    virtual void LoadTextTable(const std::string& path);

    // --- world ------------------------------------------------------------
    // Makes the actor system and its fixed actors; false with the reason in
    // `error` when one of them cannot be made.
    virtual bool InitActorSystem(const std::string& baseFolder, std::string* error);
    // "Open File" to a root; false with the actor system's error text.
    virtual bool OpenActorFile(int32_t rootId, const std::string& name, std::string* error);
    virtual bool FindMenuActor();
    // Command 379 with the time's float bits.
    virtual void SetGlobalTime(float time);
    virtual void PrecalculateAll();
    virtual void StartGame();

    // --- frame --------------------------------------------------------------
    virtual double GetDeltaTime();
    virtual void UpdateRootTime();
    virtual void ProcessWorld();
    virtual void RunScheduledCommands();
    virtual void CollisionPass(float timeStep);
    // False when there is no current camera (nothing ran).
    virtual bool UpdateCamera();
    virtual void DrawVisibleGroups(float timeStep);
    // The camera position, forward and up axes kept by the library.
    virtual void CameraFrame(float position[3], float forward[3], float up[3]);
    virtual void SetListener(const float position[3], const float front[3], const float top[3],
                             const float velocity[3]);
    virtual bool BeginRender();
    virtual void DrawScene(float timeStep);
    virtual void Draw2D();
    virtual void EndRender();
    virtual uint32_t ScreenWidth();
    virtual void QueueText(const std::string& text, float x, float y, uint32_t style);
    virtual void DrawTextNow(const std::string& text, float x, float y, uint32_t style);

    // --- scripted test input ------------------------------------------------
    // Puts a scripted key, button or motion event into the window's queue;
    // false when it is refused.
    virtual bool PostScriptedInput(const ScriptedInput& input);
    // Saves the back buffer at the screen's size as a TGA named `file` in the
    // base folder; false when it is not saved.
    virtual bool CaptureScreen(const std::string& file);

private:
    std::unique_ptr<EngineWindow> window_;
    PackArchive* pack_ = nullptr;
    std::string packError_;
};
