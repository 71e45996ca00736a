// Stand-ins for the save device that the resource library calls at start-up
// and forwards to. PLACEHOLDER: the real save device (saved-game files in the
// save folder) replaces these; until then they do the least the library needs.
#pragma once

#include <cstdint>
#include <string>

// Marks the one storage device present and names it "Hard Disc"; the
// argument is not used. Answers 1.
uint32_t InitSaveDevice(uint32_t unused);

// Replaces the save-game folder text. A null text empties it.
void SetSaveFolder(const char* folder);

// Reads one saved game into the caller's buffer. PLACEHOLDER: answers 0.
uint32_t ReadSavedGameFile(uint32_t device, uint32_t slot, void* buffer, uint32_t size);

// What the stand-ins hold, for the library's tests.
const std::string& GetSaveFolder();
const std::string& GetSaveDeviceName();
uint32_t IsSaveDevicePresent();
