#include "library/bitmap_font.h"

void BitmapFont::ReleaseDeviceObjects() {
    // No device objects exist until the text renderer makes them.
}
