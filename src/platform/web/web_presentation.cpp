// Presentation onto the page's 640x480 canvas. The back surface is plain memory; a flip or a blit
// turns it into RGBA here, into one buffer kept for the whole run, and the page puts that buffer
// on the canvas with one putImageData. Live, the present then waits for the next animation frame,
// which paces the show's blocking loop at the display's rate (the build uses Asyncify for that).
// In test mode it hashes the frame instead and moves the virtual clock on; only a last frame
// asked for is drawn, for the tests to read back.

#include <emscripten.h>

#include <cstdint>
#include <new>
#include <memory>

#include "platform/presentation.h"
#include "fx/frame_hash.h"
#include "platform/web/pixel_convert.h"
#include "platform/web/web_internal.h"

namespace {

constexpr std::size_t k_frame_bytes = std::size_t{k_canvas_width} * k_canvas_height * 4;

}  // namespace

struct PresentSurface {
    bool visible;
};

struct PresentDevice {
    PresentSurface primary = {true};
    PresentSurface back = {false};
    std::unique_ptr<std::uint32_t[]> back_pixels;
    std::unique_ptr<std::uint8_t[]> rgba;
    std::unique_ptr<std::uint8_t[]> i420;  // the video's picture of the frame, when frames are handed
};

namespace {

PresentDevice* g_device = nullptr;

// Test mode gives the page a moment now and then, so that it stays responsive while the show
// runs as fast as it can.
constexpr std::uint64_t k_frames_between_yields = 30;

// The page's JavaScript, kept as written: clang-format would take it for C++.
// clang-format off
EM_JS(void, web_put_frame, (const std::uint8_t* rgba, int width, int height), {
    // The ImageData looks straight into the module's memory; made again only if memory moved.
    let view = Module["web_image"];
    if (!view || view.data.buffer !== HEAPU8.buffer || view.data.byteOffset !== rgba) {
        view = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width, height);
        Module["web_image"] = view;
    }
    Module["web_context"].putImageData(view, 0, 0);
});

// The frame as the video's I420 picture (BT.709, limited range), for the page to copy before it
// returns; true when the page wants no more frames.
EM_ASYNC_JS(int, web_hand_frame, (const std::uint8_t* i420, int width, int height, double index), {
    const bytes = HEAPU8.subarray(i420, i420 + width * height * 3 / 2);
    return (await Module["on_video_frame"](bytes, index)) ? 1 : 0;
});

EM_ASYNC_JS(void, web_await_animation_frame, (), {
    await new Promise(resolve => requestAnimationFrame(resolve));
});
// clang-format on

PresentResult make_surfaces(PresentDevice* device, int width, int height)
{
    if (width != k_canvas_width || height != k_canvas_height)
        return DDERR_UNSUPPORTEDMODE;
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    device->back_pixels.reset(new (std::nothrow) std::uint32_t[pixels]());
    device->rgba.reset(new (std::nothrow) std::uint8_t[pixels * 4]());
    if (g_web.hand_frames)
        device->i420.reset(new (std::nothrow) std::uint8_t[pixels * 3 / 2]());
    return device->back_pixels && device->rgba && (device->i420 || !g_web.hand_frames) ? DD_OK : DDERR_OUTOFMEMORY;
}

void put_on_canvas(PresentDevice* device)
{
    bgrx_to_rgba(device->back_pixels.get(), k_canvas_width, k_canvas_height, k_canvas_width, device->rgba.get());
    web_put_frame(device->rgba.get(), k_canvas_width, k_canvas_height);
}

PresentResult show_back(PresentDevice* device)
{
    if (!device->back_pixels)
        return DDERR_GENERIC;
    if (g_web.virtual_fps != 0) {
        g_web.frame_hashes.push_back(frame_hash_add(k_frame_hash_basis, device->back_pixels.get(), k_frame_bytes));
        ++g_web.frames;
        if (g_web.hand_frames) {
            // Converted here, in whole integer passes, so that every browser's encoder is given the
            // same picture and tags it the same way (a browser converts RGB by rules of its own).
            bgrx_to_i420_bt709(device->back_pixels.get(), k_canvas_width, k_canvas_height, device->i420.get());
            if (web_hand_frame(device->i420.get(), k_canvas_width, k_canvas_height,
                               static_cast<double>(g_web.frames - 1)) != 0)
                g_web.quit_requested = true;
        } else if (g_web.frames == g_web.frame_limit) {
            put_on_canvas(device);
            g_web.quit_requested = true;
        } else if (g_web.frames % k_frames_between_yields == 0) {
            emscripten_sleep(0);
        }
        return DD_OK;
    }
    ++g_web.frames;
    put_on_canvas(device);
    web_await_animation_frame();
    return DD_OK;
}

}  // namespace

PresentResult present_open(PlatformWindow*, PresentDevice** device)
{
    g_device = new (std::nothrow) PresentDevice;
    *device = g_device;
    return g_device != nullptr ? DD_OK : DDERR_OUTOFMEMORY;
}

PresentResult present_take_display(PresentDevice*) { return DD_OK; }

PresentResult present_set_mode(PresentDevice* device, int width, int height, int bits)
{
    return bits == 32 ? make_surfaces(device, width, height) : DDERR_UNSUPPORTEDMODE;
}

PresentResult present_create_flip_chain(PresentDevice* device, PresentSurface** primary)
{
    *primary = &device->primary;
    return DD_OK;
}

PresentResult present_back_buffer(PresentSurface*, PresentSurface** back)
{
    *back = &g_device->back;
    return DD_OK;
}

PresentResult present_share_desktop(PresentDevice*) { return DD_OK; }

PresentResult present_create_primary(PresentDevice* device, PresentSurface** primary)
{
    *primary = &device->primary;
    return DD_OK;
}

PresentResult present_create_offscreen(PresentDevice* device, int width, int height, PresentSurface** back)
{
    const PresentResult result = make_surfaces(device, width, height);
    *back = result == DD_OK ? &device->back : nullptr;
    return result;
}

PresentResult present_clip_to_window(PresentDevice*, PresentSurface*) { return DD_OK; }

// A canvas holds 8-bit red, green and blue.
PresentResult present_desktop_bits(PresentDevice*, std::uint32_t* bits)
{
    *bits = 32;
    return DD_OK;
}

PresentResult present_describe(PresentSurface*, SurfaceDescription* description)
{
    *description = {k_canvas_width, k_canvas_height, k_canvas_width * 4};
    return DD_OK;
}

PresentResult present_lock(PresentSurface* surface, std::uint32_t** pixels)
{
    if (surface->visible || !g_device->back_pixels)
        return DDERR_GENERIC;
    *pixels = g_device->back_pixels.get();
    return DD_OK;
}

PresentResult present_unlock(PresentSurface*) { return DD_OK; }

PresentResult present_flip(PresentSurface*, bool) { return show_back(g_device); }

// The rectangle is the canvas: the page does the scaling.
PresentResult present_blit(PresentSurface*, const Rect&, PresentSurface*) { return show_back(g_device); }

PresentResult present_restore(PresentSurface*) { return DD_OK; }

void present_release_surface(PresentSurface*) {}

void present_release(PresentDevice* device)
{
    if (device == g_device)
        g_device = nullptr;
    delete device;
}
