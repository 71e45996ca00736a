// Sound items of the resource library and the sound device of the display
// start-up. The library's sound operations themselves are declared with
// ResourceLibrary (library/resource_library.h).
#pragma once

// Registers the sound items' Load and Release in the library's loader table
// and CreateSoundDevice as the display start-up's sound-device hook.
// Idempotent; CreateEngineServices runs it, and so does program start
// whenever this part of the sound layer is linked in.
void RegisterSoundServices();
