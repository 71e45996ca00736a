// Sound items of the resource library: registers their Load and Release in
// the library's loader table. The library's sound operations themselves are
// declared with ResourceLibrary (library/resource_library.h).
#pragma once

// Idempotent; also done when the program starts, whenever this part of the
// sound layer is linked in.
void RegisterSoundItemLoader();
