#include "display/display.h"

#include <cstring>

#include "display/ddraw_error_names.h"
#include "display/display_mode.h"
#include "fx/frame.h"
#include "fx/stream_copy.h"
#include "platform/fatal.h"

Display* g_display = nullptr;

namespace {

constexpr int k_mode_bits = 32;

}  // namespace

Display::Display(PlatformWindow* window_)
    : window(window_), mode(0), flip_wait(0), frame_rect{}, window_rect{}, ddraw(nullptr),
      primary(nullptr), primary_desc{}, back(nullptr), back_desc{}, source_frame(nullptr), pitch_pixels(0)
{
}

void Display::strict(PresentResult result) { fail(result); }

void Display::lenient(PresentResult result)
{
    if (result != DDERR_SURFACEBUSY)
        fail(result);
}

template <typename Object>
void Display::created(PresentResult result, Object* object)
{
    lenient(result);
    if (object == nullptr)
        fail(result == DD_OK || result == DDERR_SURFACEBUSY ? DDERR_GENERIC : result);
}

void Display::init(std::uint8_t mode_, std::uint8_t flip_wait_)
{
    mode = mode_;
    flip_wait = flip_wait_;
    ddraw = nullptr;
    strict(present_open(window, &ddraw));
    if (mode == k_mode_windowed)
        init_windowed();
    else
        init_fullscreen();

    primary_desc = {};
    lenient(present_describe(primary, &primary_desc));
    back_desc = {};
    lenient(present_describe(back, &back_desc));
    pitch_pixels = back_desc.pitch_bytes >> 2;
    frame_rect = {0, 0, k_frame_width, k_frame_height};
}

void Display::init_fullscreen()
{
    strict(present_take_display(ddraw));
    strict(present_set_mode(ddraw, k_frame_width, k_frame_height, k_mode_bits));
    PresentResult result = present_create_flip_chain(ddraw, &primary);
    created(result, primary);
    result = present_back_buffer(primary, &back);
    created(result, back);
}

void Display::init_windowed()
{
    strict(present_share_desktop(ddraw));
    PresentResult result = present_create_primary(ddraw, &primary);
    created(result, primary);
    window_rect = window_client_rect_on_screen(window);
    result = present_create_offscreen(ddraw, window_rect.right - window_rect.left, window_rect.bottom - window_rect.top,
                                      &back);
    created(result, back);
    lenient(present_clip_to_window(ddraw, primary));

    // Checked only once everything exists, as it always has been; a failed query reads as 0.
    std::uint32_t bits = 0;
    present_desktop_bits(ddraw, &bits);
    if (bits != k_mode_bits)
        fatal_error(k_desktop_depth_text, k_desktop_depth_caption, window);
}

std::uint32_t* Display::lock()
{
    std::uint32_t* pixels = nullptr;
    strict(present_lock(back, &pixels));
    return pixels;
}

void Display::unlock() { fail(present_unlock(back)); }

void Display::upload()
{
    std::uint32_t* destination = lock();
    if (destination == nullptr)
        return;
    // The screen reads the back surface next, not this program: its lines need not come through
    // our cache first.
    stream_rows(destination, static_cast<std::size_t>(pitch_pixels) * sizeof(std::uint32_t), source_frame,
                k_frame_row_bytes, k_frame_row_bytes, k_frame_height);
    unlock();
}

void Display::present()
{
    PresentResult result;
    if (mode == k_mode_windowed) {
        window_rect = window_screen_rect(window);
        result = present_blit(primary, window_rect, back);
    } else {
        result = present_flip(primary, flip_wait != 0);
    }

    switch (result) {
    case DD_OK:
    case DDERR_SURFACEBUSY:
    // A frame still being shown is not a failure: this one is dropped like a busy one.
    case DDERR_WASSTILLDRAWING:
        return;
    case DDERR_SURFACELOST:
        // The next frame is uploaded and presented as usual; this one is not shown again.
        lenient(present_restore(primary));
        return;
    default:
        fail(result);
    }
}

void Display::release()
{
    if (ddraw == nullptr)
        return;
    if (primary != nullptr) {
        present_release_surface(primary);
        primary = nullptr;
    }
    present_release(ddraw);
    ddraw = nullptr;
}

void Display::fail(PresentResult result)
{
    if (result == DD_OK)
        return;
    // The name serves as text and caption alike.
    char text[512];
    std::strcpy(text, ddraw_error_text(result));
    fatal_error(text, text, window);
}
