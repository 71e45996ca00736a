#include "sdl_events.h"

#include <SDL.h>

bool PushSdlKey(const char* scancodeName, bool down) {
    SDL_Scancode scancode = SDL_GetScancodeFromName(scancodeName);
    if (scancode == SDL_SCANCODE_UNKNOWN) return false;
    SDL_Event event;
    SDL_zero(event);
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    return SDL_PushEvent(&event) == 1;
}
