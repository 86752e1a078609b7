// The show's entry in the page: the page calls web_show with the mode it chose, after it has put
// the data set in place. Every end leaves through exit(), as Escape and fatal ends do natively; the
// page hears the status from the module's quit hook and then asks for the test mode's record.

#include <emscripten.h>

#include <cstdlib>
#include <string>

#include "app/show_main.h"
#include "platform/web/web_internal.h"

extern "C" EMSCRIPTEN_KEEPALIVE int web_show(int windowed, int virtual_fps)
{
    g_web.virtual_fps = virtual_fps > 0 ? static_cast<std::uint64_t>(virtual_fps) : 0;
    const int status = show_main(windowed ? "-w" : "");
    std::exit(status);
}

extern "C" EMSCRIPTEN_KEEPALIVE void web_publish_hashes() { web_publish_frame_hashes(); }
