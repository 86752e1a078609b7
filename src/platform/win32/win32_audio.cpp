// The soundtrack through waveOut. The feeder (audio_feeder.cpp) decodes into a small ring of
// buffers and hands each back to the device as soon as it has played, woken by the device's
// event. Only the ring is ever held, whatever the length of the file.

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <new>

#include "platform/audio.h"
#include "platform/win32/audio_ring.h"
#include "platform/win32/sound_source.h"

// The tests build a ring of one buffer, to show that what they count catches a shallow one.
#ifndef VELMORASTIK_AUDIO_RING_BUFFERS
#define VELMORASTIK_AUDIO_RING_BUFFERS 6
#endif

namespace {

// Six buffers of 60 ms: a refill is due every 60 ms, and 300 ms more are queued behind it, far
// longer than the feeder (at high priority) is ever kept from running by a busy machine. Wine
// gives it no priority of its own, and on a loaded machine it still found 240 ms queued or more.
constexpr int k_buffer_count = VELMORASTIK_AUDIO_RING_BUFFERS;
constexpr int k_buffer_ms = 60;
constexpr std::size_t k_frame_bytes = k_source_channels * sizeof(std::int16_t);

struct Output {
    HWAVEOUT device;
    HANDLE buffer_done;  // set by the device as each buffer comes back
    int rate;
    std::size_t buffer_frames;
    std::int16_t* samples;  // the ring's buffers back to back
    WAVEHDR headers[k_buffer_count];
};

// What the refills found, written by the feeder while the tests read it.
struct Counts {
    std::atomic<long> buffers_written{0};
    std::atomic<long> refills{0};
    std::atomic<long> ran_dry{0};
    std::atomic<int> least_queued{k_buffer_count};  // buffers
};

Output g_output = {};
bool g_device_open = false;
PlatformMusic g_music = {};
Counts g_counts;
char g_audio_failure[256] = "";

void note_failure(const char* what, MMRESULT result)
{
    char text[MAXERRORLENGTH] = "";
    if (waveOutGetErrorTextA(result, text, sizeof text) != MMSYSERR_NOERROR)
        std::snprintf(text, sizeof text, "error %u", static_cast<unsigned>(result));
    std::snprintf(g_audio_failure, sizeof g_audio_failure, "%s%s", what, text);
}

// The device sets WHDR_INQUEUE on a buffer while it holds it, from its own thread.
bool with_device(const WAVEHDR& header)
{
    return (static_cast<const volatile DWORD&>(header.dwFlags) & WHDR_INQUEUE) != 0;
}

void free_output()
{
    for (WAVEHDR& header : g_output.headers)
        if (header.dwFlags & WHDR_PREPARED)
            waveOutUnprepareHeader(g_output.device, &header, sizeof header);
    if (g_output.device != nullptr)
        waveOutClose(g_output.device);
    if (g_output.buffer_done != nullptr)
        CloseHandle(g_output.buffer_done);
    delete[] g_output.samples;
    g_output = {};
}

void reset_counts()
{
    g_counts.buffers_written.store(0);
    g_counts.refills.store(0);
    g_counts.ran_dry.store(0);
    g_counts.least_queued.store(k_buffer_count);
}

void stop_feeding(PlatformMusic* music)
{
    if (music->started)
        feeder_stop(music);
    music->started = false;
}

}  // namespace

bool ring_refill(PlatformMusic* music)
{
    const bool counted = !music->ended && g_counts.buffers_written.load() > 0;
    int queued = 0;
    bool playing = false;
    // Buffers are written in the order they are filled, so any free one takes the next piece.
    for (WAVEHDR& header : g_output.headers) {
        if (with_device(header)) {
            ++queued;
            playing = true;
            continue;
        }
        if (music->ended)
            continue;
        const std::size_t frames = music->source.read(
            music->source.state, reinterpret_cast<std::int16_t*>(header.lpData), g_output.buffer_frames);
        header.dwBufferLength = static_cast<DWORD>(frames * k_frame_bytes);
        if (frames == 0 || waveOutWrite(g_output.device, &header, sizeof header) != MMSYSERR_NOERROR) {
            music->ended = true;
            continue;
        }
        g_counts.buffers_written.fetch_add(1);
        playing = true;
    }
    // Not the first fill, when nothing was queued yet, nor the last buffers playing out.
    if (counted) {
        g_counts.refills.fetch_add(1);
        if (queued == 0)
            g_counts.ran_dry.fetch_add(1);
        if (queued < g_counts.least_queued.load())
            g_counts.least_queued.store(queued);
    }
    return playing || !music->ended;
}

HANDLE ring_buffer_done() { return g_output.buffer_done; }

void ring_reset() { waveOutReset(g_output.device); }

RingReport ring_report()
{
    return {
        .buffers_written = g_counts.buffers_written.load(),
        .refills = g_counts.refills.load(),
        .ran_dry = g_counts.ran_dry.load(),
        .least_queued_ms = g_counts.least_queued.load() * k_buffer_ms,
    };
}

bool audio_open_device(int rate)
{
    if (g_device_open)
        return true;
    if (waveOutGetNumDevs() == 0) {
        std::snprintf(g_audio_failure, sizeof g_audio_failure, "no audio output device");
        return false;
    }
    g_output.rate = rate;
    g_output.buffer_frames = static_cast<std::size_t>(rate) * k_buffer_ms / 1000;
    g_output.buffer_done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    g_output.samples = new (std::nothrow) std::int16_t[k_buffer_count * g_output.buffer_frames * k_source_channels];
    if (g_output.buffer_done == nullptr || g_output.samples == nullptr) {
        std::snprintf(g_audio_failure, sizeof g_audio_failure, "out of memory for the sound output");
        free_output();
        return false;
    }
    const WAVEFORMATEX format = {
        .wFormatTag = WAVE_FORMAT_PCM,
        .nChannels = k_source_channels,
        .nSamplesPerSec = static_cast<DWORD>(rate),
        .nAvgBytesPerSec = static_cast<DWORD>(rate * k_frame_bytes),
        .nBlockAlign = k_frame_bytes,
        .wBitsPerSample = 16,
        .cbSize = 0,
    };
    const MMRESULT opened = waveOutOpen(&g_output.device, WAVE_MAPPER, &format,
                                        reinterpret_cast<DWORD_PTR>(g_output.buffer_done), 0, CALLBACK_EVENT);
    if (opened != MMSYSERR_NOERROR) {
        g_output.device = nullptr;
        note_failure("cannot open the sound output: ", opened);
        free_output();
        return false;
    }
    for (int i = 0; i < k_buffer_count; ++i) {
        WAVEHDR& header = g_output.headers[i];
        header.lpData = reinterpret_cast<LPSTR>(g_output.samples + i * g_output.buffer_frames * k_source_channels);
        header.dwBufferLength = static_cast<DWORD>(g_output.buffer_frames * k_frame_bytes);
        const MMRESULT prepared = waveOutPrepareHeader(g_output.device, &header, sizeof header);
        if (prepared != MMSYSERR_NOERROR) {
            note_failure("cannot use the sound output: ", prepared);
            free_output();
            return false;
        }
    }
    g_device_open = true;
    return true;
}

PlatformMusic* audio_load_music(std::FILE* file, SoundFormat format)
{
    if (!g_device_open) {
        std::fclose(file);
        std::snprintf(g_audio_failure, sizeof g_audio_failure, "no sound output");
        return nullptr;
    }
    // One soundtrack at a time: a second load replaces the first.
    stop_feeding(&g_music);
    if (g_music.source.close != nullptr)
        g_music.source.close(g_music.source.state);
    g_music = {};
    if (!sound_source_open(file, format, g_output.rate, &g_music.source, g_audio_failure, sizeof g_audio_failure)) {
        g_music = {};
        return nullptr;
    }
    return &g_music;
}

const char* audio_failure_reason() { return g_audio_failure; }

void audio_play_music(PlatformMusic* music)
{
    // Once: the source is not rewound, so a second start would play nothing new.
    if (music == nullptr || music->started || !g_device_open)
        return;
    reset_counts();
    music->started = feeder_start(music);
    if (!music->started)
        std::snprintf(g_audio_failure, sizeof g_audio_failure, "cannot start the sound's thread");
}

void audio_stop(PlatformMusic* music)
{
    // The feeder goes first whatever the caller passes: the device must not close under it.
    stop_feeding(&g_music);
    if (music != nullptr) {
        if (music->source.close != nullptr)
            music->source.close(music->source.state);
        music->source = {};
    }
    if (g_device_open) {
        waveOutReset(g_output.device);
        free_output();
        g_device_open = false;
    }
}
