// The show's entry in the page: the page calls web_show with the mode it chose, after it has put
// the data set in place. Every end leaves through exit(), as Escape and fatal ends do natively; the
// page hears the status from the module's quit hook and then asks for the test mode's record.
// The pages call the rest on a module of their own that never plays: the show's length (and, in
// web_facts.cpp, what else they know of the show).

#include <emscripten.h>

#include <cstdint>
#include <cstdlib>

#include "app/show_main.h"
#include "platform/web/web_internal.h"
#include "show/frame_count.h"

// frame_limit: in test mode, stop after this many frames (0: play to the end).
extern "C" EMSCRIPTEN_KEEPALIVE int web_show(int windowed, int virtual_fps, int frame_limit)
{
    g_web.virtual_fps = virtual_fps > 0 ? static_cast<std::uint64_t>(virtual_fps) : 0;
    g_web.frame_limit = g_web.virtual_fps != 0 && frame_limit > 0 ? static_cast<std::uint64_t>(frame_limit) : 0;
    const int status = show_main(windowed ? "-w" : "");
    std::exit(status);
}

// The maker's video: the whole show in virtual time at virtual_fps, every frame handed to the
// page's Module.on_video_frame (which may stop it), without a window.
extern "C" EMSCRIPTEN_KEEPALIVE int web_export_video(int virtual_fps)
{
    g_web.hand_frames = true;
    return web_show(1, virtual_fps, 0);
}

extern "C" EMSCRIPTEN_KEEPALIVE void web_publish_hashes() { web_publish_frame_hashes(); }

// For the browser's performance figures: frames presented so far.
extern "C" EMSCRIPTEN_KEEPALIVE double web_frames_shown() { return static_cast<double>(g_web.frames); }

// The show's frames at fps frames a second, from its own timeline (7067 at 60): the maker shows
// the show's length from it, and the music is cut to it.
extern "C" EMSCRIPTEN_KEEPALIVE double web_show_frame_count(int fps)
{
    return fps > 0 ? static_cast<double>(show_frame_count(static_cast<std::uint64_t>(fps))) : 0;
}
