// Hooks of the display start-up (ResourceLibrary::StartDeviceServices) that
// the sound, render and font modules fill. An empty hook does nothing; an
// empty sound hook counts as a sound device that did not open.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class EngineWindow;

// Opens the sound device for the window; false on failure with the sound
// layer's error text (may stay empty).
using CreateSoundDeviceHook =
    std::function<bool(EngineWindow *window, uint32_t channels, uint32_t samplesPerSecond,
                       uint32_t bits, std::string *errorText)>;
void SetCreateSoundDeviceHook(CreateSoundDeviceHook hook);

// Creates and sets up the 32 draw buckets.
void SetDrawBucketSetUpHook(std::function<void()> hook);
// Builds the full-screen shadow quad.
void SetShadowQuadHook(std::function<void()> hook);
// Makes the default font ("Lucida Console", 6), selects it and stores it.
void SetDefaultFontHook(std::function<void()> hook);
