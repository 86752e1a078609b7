#include "audio/music.h"

#include "platform/audio.h"

PlatformMusic* g_music_stream = nullptr;

namespace {

constexpr int k_output_rate = 44100;

}  // namespace

int music_init(PlatformWindow*)
{
    return audio_open_device(k_output_rate) ? 1 : 0;
}

PlatformMusic* music_open(const char* path)
{
    return audio_load_music(path);
}

void music_play()
{
    audio_play_music(g_music_stream);
}

void music_stop()
{
    audio_stop(g_music_stream);
    g_music_stream = nullptr;
}
