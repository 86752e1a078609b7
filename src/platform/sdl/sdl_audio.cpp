// The soundtrack over SDL2_mixer, which streams it from disk in the format the music layer found
// in its first bytes (MP3 through libmpg123, OGG, Opus, FLAC, WAV). The sound libraries' own
// messages are kept off stderr: the music layer says in one line why there is no sound.

#include <dlfcn.h>

#include <cstdio>

#include <SDL.h>
#include <SDL_mixer.h>
#include <mpg123.h>

#include "platform/audio.h"
#include "platform/sdl/sdl_internal.h"

struct PlatformMusic {
    Mix_Music* music;
};

namespace {

PlatformMusic g_music = {nullptr};
bool g_audio_open = false;
char g_audio_failure[512] = "";

constexpr int k_channels = 2;
constexpr int k_buffer_frames = 2048;  // ~46 ms at 44.1 kHz: no underruns while a picture decodes

void note_failure(const char* what)
{
    std::snprintf(g_audio_failure, sizeof g_audio_failure, "%s%s", what, SDL_GetError());
}

void ignore_alsa_message(const char*, int, const char*, int, const char*, ...) {}

// SDL logs its audio drivers' state (the disk driver says it is one) at the highest priority, and
// ALSA, which SDL loads itself, prints each failed probe of a missing sound card.
void quiet_sound_libraries()
{
    SDL_LogSetPriority(SDL_LOG_CATEGORY_AUDIO, SDL_NUM_LOG_PRIORITIES);
    using ErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
    // Kept loaded, so that the handler stays in place however often SDL loads and unloads ALSA.
    static void* const alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (alsa == nullptr)
        return;
    auto set_handler = reinterpret_cast<int (*)(ErrorHandler)>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (set_handler != nullptr)
        set_handler(ignore_alsa_message);
}

Mix_MusicType mixer_type(SoundFormat format)
{
    switch (format) {
    case SoundFormat::mp3:
        return MUS_MP3;
    case SoundFormat::ogg_vorbis:
        return MUS_OGG;
    case SoundFormat::ogg_opus:
        return MUS_OPUS;
    case SoundFormat::flac:
        return MUS_FLAC;
    case SoundFormat::wav:
        return MUS_WAV;
    case SoundFormat::unknown:
        break;
    }
    return MUS_NONE;
}

}  // namespace

// libmpg123 prints every failed probe and damaged frame on stderr unless its handle is made quiet,
// which SDL_mixer never does; this definition comes first in the link, so SDL_mixer's handles are
// made here, quiet.
extern "C" mpg123_handle* mpg123_new(const char* decoder, int* error)
{
    using New = mpg123_handle* (*)(const char*, int*);
    static const auto library_new = reinterpret_cast<New>(dlsym(RTLD_NEXT, "mpg123_new"));
    if (library_new == nullptr) {
        if (error != nullptr)
            *error = MPG123_ERR;
        return nullptr;
    }
    mpg123_handle* handle = library_new(decoder, error);
    if (handle != nullptr)
        mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    return handle;
}

bool audio_open_device(int rate)
{
    quiet_sound_libraries();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        note_failure("");
        return false;
    }
    Mix_Init(MIX_INIT_MP3);
    if (Mix_OpenAudio(rate, MIX_DEFAULT_FORMAT, k_channels, k_buffer_frames) != 0) {
        note_failure("");
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    g_audio_open = true;
    return true;
}

PlatformMusic* audio_load_music(std::FILE* file, SoundFormat format)
{
    if (!g_audio_open) {
        std::fclose(file);
        std::snprintf(g_audio_failure, sizeof g_audio_failure, "no sound output");
        return nullptr;
    }
    SDL_RWops* stream = SDL_RWFromFP(file, SDL_TRUE);
    if (stream == nullptr) {
        std::fclose(file);
        note_failure("");
        return nullptr;
    }
    // The stream is freed on failure, else with the music.
    g_music.music = Mix_LoadMUSType_RW(stream, mixer_type(format), 1);
    if (g_music.music == nullptr) {
        note_failure("cannot decode it: ");
        return nullptr;
    }
    return &g_music;
}

const char* audio_failure_reason() { return g_audio_failure; }

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
