// The show's entry in the page: the page calls web_show with the mode it chose, after it has put
// the data set in place. Escape and fatal ends leave through exit(), as natively; the page hears
// the status from the module's exit hook.

#include <emscripten.h>

#include <cstdlib>
#include <string>

#include "app/show_main.h"
#include "platform/web/web_internal.h"

extern "C" EMSCRIPTEN_KEEPALIVE int web_show(int windowed, int virtual_fps)
{
    g_web.virtual_fps = virtual_fps > 0 ? static_cast<std::uint64_t>(virtual_fps) : 0;
    // Every end, Escape and fatal ones included, gives the test mode's record to the page.
    if (g_web.virtual_fps != 0)
        std::atexit(web_publish_frame_hashes);
    const int status = show_main(windowed ? "-w" : "");
    std::exit(status);
}
