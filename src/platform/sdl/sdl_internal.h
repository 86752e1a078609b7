#pragma once

#include <SDL.h>

struct PlatformWindow {
    SDL_Window* sdl;
};

// Keeps "what: SDL's reason" as the platform's failure reason.
void sdl_record_failure(const char* what);
