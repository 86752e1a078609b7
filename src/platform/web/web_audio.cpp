// The soundtrack through an <audio> element, which the browser streams from the server as it
// plays, routed into the page's audio context. A soundtrack is played, not decoded whole first:
// the wait before the show and the page's memory stay the same whatever its length. The page puts
// only the file's first bytes in the module's files (enough to tell its format, as natively); the
// element fetches the rest from the same path on the site. The page makes the audio context on the
// visitor's click, since browsers start sound only after one; without it the show is silent, with
// its one line. The maker's set, which is in the page's memory only, is played from a buffer.
// A browser without a sound output may never start the context, nor ready the element: each is
// waited for k_audio_wait_ms at most, then the show plays in silence, saying why.

#include <emscripten.h>

#include <cstdio>

#include "platform/audio.h"
#include "platform/web/web_internal.h"

struct PlatformMusic {
    int id;  // the page's element, Module.web_music
};

namespace {

constexpr int k_audio_wait_ms = 2000;

const char* g_reason = "";
char g_reason_text[80];

// The page's JavaScript, kept as written: clang-format would take it for C++.
// clang-format off
// Starts the page's audio context: 1 once it runs, 0 when there is none (or it refuses to
// start), -1 when it has not started after wait_ms.
EM_ASYNC_JS(int, web_audio_resume, (int wait_ms), {
    const context = Module["audio_context"];
    if (!context || context.state === "closed") return 0;
    let timer;
    const late = new Promise((resolve) => { timer = setTimeout(() => resolve(-1), wait_ms); });
    const started = await Promise.race([context.resume().then(() => 1, () => 0), late]);
    clearTimeout(timer);
    return started;
});

// Points an element at the open file's path on the site and waits until the browser can play it
// (1), cannot (0), or is still not ready after wait_ms (-1), so that a stalled server or a
// browser that cannot play sound delays the show by that at most. Keeps the element in
// Module.web_music with its stop().
EM_ASYNC_JS(int, web_audio_open, (int descriptor, int wait_ms), {
    const stream = Module["FS"].getStream(descriptor);
    const context = Module["audio_context"];
    // The maker's set exists only in the page: its soundtrack, no longer than the show, is
    // decoded whole from the module's files and played from that buffer.
    if (Module["web_soundtrack_in_memory"]) {
        let buffer;
        try {
            const bytes = Module["FS"].readFile(stream.path);
            buffer = await context.decodeAudioData(bytes.buffer);
        } catch (error) {
            console.log("the soundtrack: " + error);
            return 0;
        }
        let source = null;
        Module["web_music"] = {
            start: () => {
                source = context.createBufferSource();
                source.buffer = buffer;
                source.connect(context.destination);
                source.start();
            },
            stop: () => {
                if (!source) return;
                try { source.stop(); } catch (error) { /* never started */ }
                source.disconnect();
                source = null;
            },
        };
        return 1;
    }
    const element = new Audio();
    element.preload = "auto";
    const stop = () => {
        element.pause();
        element.removeAttribute("src");
        element.load();  // ends the download
    };
    const ready = await new Promise((resolve) => {
        const timer = setTimeout(() => resolve(-1), wait_ms);
        const settle = (value) => { clearTimeout(timer); resolve(value); };
        element.addEventListener("canplay", () => settle(1), { once: true });
        element.addEventListener("error", () => settle(0), { once: true });
        element.src = stream.path.slice(1);  // its absolute path in the module, relative to the page
    });
    if (ready !== 1) {
        if (element.error) console.log("the soundtrack's element: " + element.error.message);
        stop();
        return ready;
    }
    const source = context.createMediaElementSource(element);
    source.connect(context.destination);
    Module["web_music"] = {
        element: element,
        start: () => element.play().catch((error) => console.log("the soundtrack does not start: " + error)),
        stop: () => { stop(); source.disconnect(); },
    };
    return 1;
});

EM_JS(void, web_audio_start, (), {
    Module["web_music"].start();
});

EM_JS(void, web_audio_end, (), {
    const music = Module["web_music"];
    if (music) music.stop();
    Module["web_music"] = null;
});
// clang-format on

PlatformMusic g_music = {1};

}  // namespace

bool audio_open_device(int)
{
    if (g_web.virtual_fps != 0) {
        // A video's sound is made by the page beside the frames: nothing to say then.
        g_reason = g_web.hand_frames ? "" : "the test mode plays without sound";
        return false;
    }
    const int started = web_audio_resume(k_audio_wait_ms);
    if (started == 0)
        g_reason = "the browser gave no audio context";
    if (started == -1) {
        std::snprintf(g_reason_text, sizeof g_reason_text, "the browser's audio did not start in %d s",
                      k_audio_wait_ms / 1000);
        g_reason = g_reason_text;
    }
    return started == 1;
}

PlatformMusic* audio_load_music(std::FILE* file, SoundFormat)
{
    const int ready = web_audio_open(fileno(file), k_audio_wait_ms);
    std::fclose(file);
    if (ready == 0)
        g_reason = "the browser cannot decode it";
    if (ready == -1) {
        std::snprintf(g_reason_text, sizeof g_reason_text, "not ready to play after %d s", k_audio_wait_ms / 1000);
        g_reason = g_reason_text;
    }
    if (ready != 1)
        return nullptr;
    return &g_music;
}

const char* audio_failure_reason() { return g_reason; }

void audio_play_music(PlatformMusic* music)
{
    if (music != nullptr)
        web_audio_start();
}

void audio_stop(PlatformMusic*) { web_audio_end(); }
