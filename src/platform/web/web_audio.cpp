// The soundtrack through Web Audio: the file's bytes go to the browser, which decodes them
// (decodeAudioData) and plays them once. The page makes the audio context on the visitor's click,
// since browsers start sound only after one; without it the show is silent, with its one line.

#include <emscripten.h>

#include <cstdio>
#include <memory>
#include <new>

#include "platform/audio.h"
#include "platform/web/web_internal.h"

struct PlatformMusic {
    int id;  // the page's decoded buffer
};

namespace {

const char* g_reason = "";

EM_JS(int, web_audio_available, (), {
    const context = Module["audio_context"];
    return context && context.state !== "closed" ? 1 : 0;
});

// Decodes the bytes and keeps the buffer in Module.web_music; 1 when it decoded.
EM_ASYNC_JS(int, web_audio_decode, (const unsigned char* bytes, int size), {
    const copy = HEAPU8.slice(bytes, bytes + size).buffer;
    try {
        Module["web_music"] = await Module["audio_context"].decodeAudioData(copy);
        return 1;
    } catch (error) {
        console.log("decodeAudioData: " + error);
        return 0;
    }
});

EM_JS(void, web_audio_start, (), {
    const context = Module["audio_context"];
    const source = context.createBufferSource();
    source.buffer = Module["web_music"];
    source.connect(context.destination);
    source.start();
    Module["web_source"] = source;
});

EM_JS(void, web_audio_end, (), {
    const source = Module["web_source"];
    if (source) {
        try { source.stop(); } catch (error) {}
        source.disconnect();
    }
    Module["web_source"] = null;
    Module["web_music"] = null;
});

// Reads the rest of the stream; null when it cannot be read or memory is short.
std::unique_ptr<unsigned char[]> read_whole(std::FILE* file, long* size)
{
    if (std::fseek(file, 0, SEEK_END) != 0 || (*size = std::ftell(file)) <= 0 || std::fseek(file, 0, SEEK_SET) != 0)
        return nullptr;
    std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[static_cast<std::size_t>(*size)]);
    if (bytes && std::fread(bytes.get(), 1, static_cast<std::size_t>(*size), file) != static_cast<std::size_t>(*size))
        return nullptr;
    return bytes;
}

PlatformMusic g_music = {1};

}  // namespace

bool audio_open_device(int)
{
    if (g_web.virtual_fps != 0) {
        g_reason = "the test mode plays without sound";
        return false;
    }
    if (!web_audio_available()) {
        g_reason = "the browser gave no audio context";
        return false;
    }
    return true;
}

PlatformMusic* audio_load_music(std::FILE* file, SoundFormat)
{
    long size = 0;
    const std::unique_ptr<unsigned char[]> bytes = read_whole(file, &size);
    std::fclose(file);
    if (!bytes) {
        g_reason = "cannot read the file";
        return nullptr;
    }
    if (!web_audio_decode(bytes.get(), static_cast<int>(size))) {
        g_reason = "the browser cannot decode it";
        return nullptr;
    }
    return &g_music;
}

const char* audio_failure_reason() { return g_reason; }

void audio_play_music(PlatformMusic* music)
{
    if (music != nullptr)
        web_audio_start();
}

void audio_stop(PlatformMusic*) { web_audio_end(); }
