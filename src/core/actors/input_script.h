// The scripted test input read from the file that ENGINE_INPUT_SCRIPT names.
//
// One event per line, the frame first; frames are counted as the frame limit
// counts them, 1 being the message loop's first frame:
//
//   <frame> key down|up <virtual key>     decimal, or hexadecimal with 0x
//   <frame> button down|up 1|2|3          left, right, middle
//   <frame> motion <dx> <dy>              mouse motion in pixels
//   <frame> capture <file>                the back buffer, into the base folder
//
// A word starting with '#' ends the line (comments); blank lines are skipped.
// Before frame n runs, its key, button and motion events go into the window's
// queue in file order; its captures are taken after its 2D drawing, before
// the frame is presented.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class ScriptedInputKind : uint8_t { Key, Button, Motion, Capture };

struct ScriptedInput {
    uint64_t frame = 0;
    uint32_t line = 0;  // in the script, from 1
    ScriptedInputKind kind = ScriptedInputKind::Key;
    bool down = false;   // Key, Button
    uint32_t code = 0;   // Key: the virtual key; Button: 256 left, 257 right, 258 middle
    int32_t dx = 0;      // Motion
    int32_t dy = 0;
    std::string file;    // Capture: a name inside the base folder
};

// The events in frame order, file order within a frame.
struct InputScript {
    std::vector<ScriptedInput> events;
};

// False at the first bad line, with "<line number>: <reason>" in `error`.
bool ParseInputScript(std::string_view text, InputScript* out, std::string* error);
