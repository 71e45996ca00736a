// Events pushed into the window layer's SDL queue, as a user would make them.
#pragma once

// Pushes a key-down or key-up of the key with that SDL scancode name ("Space", "Escape", "F12",
// ...). False when the name is unknown or the queue refuses the event.
bool PushSdlKey(const char* scancodeName, bool down);
