// The soundtrack through an <audio> element, which the browser streams from the server as it
// plays, routed into the page's audio context. A soundtrack is played, not decoded whole first:
// the wait before the show and the page's memory stay the same whatever its length. The page puts
// only the file's first bytes in the module's files (enough to tell its format, as natively); the
// element fetches the rest from the same path on the site. The page makes the audio context on the
// visitor's click, since browsers start sound only after one; without it the show is silent, with
// its one line. The maker's set, which is in the page's memory only, is played from a buffer.

#include <emscripten.h>

#include <cstdio>

#include "platform/audio.h"
#include "platform/web/web_internal.h"

struct PlatformMusic {
    int id;  // the page's element, Module.web_music
};

namespace {

const char* g_reason = "";

EM_JS(int, web_audio_available, (), {
    const context = Module["audio_context"];
    return context && context.state !== "closed" ? 1 : 0;
});

// Points an element at the open file's path on the site and waits until the browser can play it
// (1), cannot (0), or has had too little of it after ten seconds (-1), so that a stalled server
// delays the show by that at most. Keeps the element in Module.web_music with its stop().
EM_ASYNC_JS(int, web_audio_open, (int descriptor), {
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
        const timer = setTimeout(() => resolve(-1), 10000);
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
    const int ready = web_audio_open(fileno(file));
    std::fclose(file);
    if (ready != 1) {
        g_reason = ready == 0 ? "the browser cannot decode it" : "the server sent too little of it in 10 s";
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
