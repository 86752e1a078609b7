// The soundtrack over SDL2_mixer, which decodes MP3 through libmpg123 and streams it from disk.

#include <SDL_mixer.h>

#include "platform/audio.h"
#include "platform/sdl/sdl_internal.h"

struct PlatformMusic {
    Mix_Music* music;
};

namespace {

PlatformMusic g_music = {nullptr};
bool g_audio_open = false;

constexpr int k_channels = 2;
constexpr int k_buffer_frames = 2048;  // ~46 ms at 44.1 kHz: no underruns while a picture decodes

}  // namespace

bool audio_open_device(int rate)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    Mix_Init(MIX_INIT_MP3);
    if (Mix_OpenAudio(rate, MIX_DEFAULT_FORMAT, k_channels, k_buffer_frames) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    g_audio_open = true;
    return true;
}

PlatformMusic* audio_load_music(const char* path)
{
    if (!g_audio_open)
        return nullptr;
    g_music.music = Mix_LoadMUS(path);
    return g_music.music != nullptr ? &g_music : nullptr;
}

void audio_play_music(PlatformMusic* music)
{
    if (music != nullptr)
        Mix_PlayMusic(music->music, 1);
}

void audio_stop(PlatformMusic* music)
{
    if (music != nullptr) {
        Mix_HaltMusic();
        Mix_FreeMusic(music->music);
        music->music = nullptr;
    }
    if (g_audio_open) {
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        g_audio_open = false;
    }
}
