#include "audio/music.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "audio/sound_format.h"
#include "platform/audio.h"
#include "platform/data_file.h"

PlatformMusic* g_music_stream = nullptr;

namespace {

constexpr int k_output_rate = 44100;

bool g_device_open = false;

// The one line about a soundtrack that cannot be played; the show goes on without it.
PlatformMusic* say_silent(const char* path, const char* reason)
{
    std::fprintf(stderr, "soundtrack %s cannot be played (%s): the show goes on in silence\n", path, reason);
    return nullptr;
}

}  // namespace

int music_init(PlatformWindow*)
{
    g_device_open = audio_open_device(k_output_rate);
    if (!g_device_open && *audio_failure_reason() != '\0')
        std::fprintf(stderr, "no sound output (%s): the show goes on in silence\n", audio_failure_reason());
    return g_device_open ? 1 : 0;
}

PlatformMusic* music_open(const char* path)
{
    if (!g_device_open)
        return nullptr;  // already said by music_init
    const DataFile file = data_file_open(path);
    if (file.stream == nullptr)
        return say_silent(path, file.reason);
    if (file.size == 0) {
        std::fclose(file.stream);
        return say_silent(path, "empty file");
    }
    std::uint8_t head[k_sound_head_bytes];
    const std::size_t head_size = std::fread(head, 1, sizeof head, file.stream);
    const SoundFormat format = sound_format_of(head, head_size);
    if (format == SoundFormat::unknown || std::fseek(file.stream, 0, SEEK_SET) != 0) {
        std::fclose(file.stream);
        return say_silent(path, (std::string("not in a format it plays: ") + k_playable_sound_formats).c_str());
    }
    PlatformMusic* music = audio_load_music(file.stream, format);
    return music != nullptr ? music : say_silent(path, audio_failure_reason());
}

void music_play() { audio_play_music(g_music_stream); }

void music_stop()
{
    audio_stop(g_music_stream);
    g_music_stream = nullptr;
    g_device_open = false;
}
