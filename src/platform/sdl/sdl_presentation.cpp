// The presentation layer over an SDL_Renderer: the visible surface is the renderer, the back
// surface a streaming texture of 0x00RRGGBB pixels.
//
// SDL's software renderer draws into the window's framebuffer (SDL_GetWindowSurface) and shows it
// with SDL_UpdateWindowSurface. Through it a frame would be copied twice on our side: into the
// texture, then by the renderer's blit into the framebuffer. Whenever the framebuffer has the back
// surface's size and layout, the back surface is the framebuffer itself instead: the frame is
// copied once, straight where the window shows it from, and the renderer is left out. Scaled and
// letterboxed frames, and every frame of an accelerated renderer, take the texture as before.

#include <time.h>

#include <cstring>
#include <new>

#include "platform/pacing.h"
#include "platform/presentation.h"
#include "platform/sdl/sdl_internal.h"

struct PresentSurface {
    PresentDevice* device;
};

struct PresentDevice {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int texture_width = 0;
    int texture_height = 0;
    int frame_width = 0;  // full-screen: the mode asked for, which the flip chain's buffers have
    int frame_height = 0;
    bool letterboxed = false;  // full-screen on an output other than the frame's size: bars to clear
    bool lost = false;         // set by SDL's reset events, cleared by restore
    bool software = false;     // the renderer draws into the window's framebuffer
    int texture_pitch = 0;
    // The framebuffer the last lock handed out in place of the texture; null when it was the texture.
    SDL_Surface* framebuffer_frame = nullptr;

    Pacing pacing;

    PresentSurface primary = {this};
    PresentSurface back = {this};
};

namespace {

PresentResult failure(const char* what, PresentResult result = DDERR_GENERIC)
{
    sdl_record_failure(what);
    return result;
}

std::uint64_t monotonic_ns()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(now.tv_nsec);
}

void sleep_until_ns(std::uint64_t deadline)
{
    const timespec until = {static_cast<time_t>(deadline / 1'000'000'000u),
                            static_cast<long>(deadline % 1'000'000'000u)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != 0) {
    }
}

// 0 when unknown.
int refresh_rate(SDL_Window* window)
{
    SDL_DisplayMode mode;
    const int display = SDL_GetWindowDisplayIndex(window);
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0)
        return 0;
    return mode.refresh_rate;
}

// Lost device or lost render targets: the texture's contents are gone until restore.
int watch_for_loss(void* data, SDL_Event* event)
{
    if (event->type == SDL_RENDER_DEVICE_RESET || event->type == SDL_RENDER_TARGETS_RESET)
        static_cast<PresentDevice*>(data)->lost = true;
    return 0;
}

// OpenGL done by the processor (Mesa's llvmpipe and its kin, as on a virtual X server) claims to be
// accelerated yet costs several times what SDL's own software renderer does for the same frames.
bool is_software_opengl(SDL_Renderer* renderer)
{
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0)
        return false;
    using GetString = const unsigned char* (*)(unsigned int);
    const auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    constexpr unsigned int k_gl_renderer = 0x1F01;
    const unsigned char* name = get_string != nullptr ? get_string(k_gl_renderer) : nullptr;
    if (name == nullptr)
        return false;
    const char* text = reinterpret_cast<const char*>(name);
    return std::strstr(text, "llvmpipe") != nullptr || std::strstr(text, "softpipe") != nullptr ||
           std::strstr(text, "swrast") != nullptr;
}

PresentResult create_renderer(PresentDevice* device)
{
    device->renderer = SDL_CreateRenderer(device->window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (device->renderer != nullptr && is_software_opengl(device->renderer)) {
        SDL_DestroyRenderer(device->renderer);
        device->renderer = nullptr;
    }
    if (device->renderer == nullptr)
        device->renderer = SDL_CreateRenderer(device->window, -1, SDL_RENDERER_SOFTWARE);
    if (device->renderer == nullptr)
        return failure("cannot create a renderer");

    SDL_RendererInfo info;
    SDL_GetRendererInfo(device->renderer, &info);
    device->software = (info.flags & SDL_RENDERER_SOFTWARE) != 0;
    const bool waits = (info.flags & SDL_RENDERER_SOFTWARE) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
    device->pacing = pacing_start(waits, refresh_rate(device->window));
    return DD_OK;
}

PresentResult create_texture(PresentDevice* device, int width, int height)
{
    if (device->texture != nullptr)
        SDL_DestroyTexture(device->texture);
    device->texture = SDL_CreateTexture(device->renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width,
                                        height);
    if (device->texture == nullptr)
        return failure("cannot create the back surface", DDERR_OUTOFMEMORY);
    SDL_SetTextureBlendMode(device->texture, SDL_BLENDMODE_NONE);
    device->texture_width = width;
    device->texture_height = height;
    // The pitch of a streaming texture is known only from a lock.
    void* pixels = nullptr;
    if (SDL_LockTexture(device->texture, nullptr, &pixels, &device->texture_pitch) != 0)
        return failure("cannot lock the back surface");
    SDL_UnlockTexture(device->texture);
    return DD_OK;
}

// The window's framebuffer when it can stand in for the texture: what the software renderer would
// blit there unscaled, pixel for pixel, with the pitch the Display was told. Null otherwise.
SDL_Surface* framebuffer_as_back(PresentDevice* device)
{
    if (!device->software || device->lost)
        return nullptr;
    // A window resized since SDL last looked keeps its old framebuffer until the next events: the
    // renderer scales into that one, as it always has.
    int width = 0, height = 0;
    SDL_GetWindowSize(device->window, &width, &height);
    if (width != device->texture_width || height != device->texture_height)
        return nullptr;
    SDL_Surface* framebuffer = SDL_GetWindowSurface(device->window);
    if (framebuffer == nullptr || framebuffer->w != device->texture_width || framebuffer->h != device->texture_height ||
        framebuffer->pitch != device->texture_pitch || framebuffer->format->format != SDL_PIXELFORMAT_RGB888 ||
        SDL_MUSTLOCK(framebuffer))
        return nullptr;
    return framebuffer;
}

// Waits out the rest of the refresh period where the renderer does not, so that the show never
// spins at hundreds of frames a second.
void pace(PresentDevice* device)
{
    const std::uint64_t now = monotonic_ns();
    const std::uint64_t wake = pacing_after_present(&device->pacing, now);
    if (wake > now)
        sleep_until_ns(wake);
}

// A frame written into the framebuffer goes to the screen as it is. Should SDL have replaced the
// framebuffer since the lock (the window resized meanwhile), the frame went with it and is dropped.
PresentResult show_framebuffer(PresentDevice* device, SDL_Surface* written, const SDL_Rect* destination)
{
    const bool unscaled = destination == nullptr ||
                          (destination->w == device->texture_width && destination->h == device->texture_height);
    if (framebuffer_as_back(device) != written || !unscaled)
        return DDERR_SURFACEBUSY;
    if (SDL_UpdateWindowSurface(device->window) != 0)
        return failure("cannot show the frame");
    pace(device);
    return DD_OK;
}

PresentResult show(PresentDevice* device, const SDL_Rect* destination)
{
    if (device->lost)
        return DDERR_SURFACELOST;
    SDL_Surface* const written = device->framebuffer_frame;
    device->framebuffer_frame = nullptr;
    if (written != nullptr)
        return show_framebuffer(device, written, destination);
    // Only the bars around a scaled picture need clearing; elsewhere the frame covers everything.
    if (device->letterboxed && SDL_RenderClear(device->renderer) != 0)
        return failure("cannot clear the screen");
    if (SDL_RenderCopy(device->renderer, device->texture, nullptr, destination) != 0)
        return failure("cannot draw the frame");
    SDL_RenderPresent(device->renderer);
    pace(device);
    return DD_OK;
}

}  // namespace

PresentResult present_open(PlatformWindow* window, PresentDevice** device)
{
    PresentDevice* created = new (std::nothrow) PresentDevice;
    if (created == nullptr)
        return DDERR_OUTOFMEMORY;
    created->window = window->sdl;
    SDL_AddEventWatch(watch_for_loss, created);
    *device = created;
    return DD_OK;
}

PresentResult present_take_display(PresentDevice* device)
{
    SDL_RaiseWindow(device->window);
    return DD_OK;
}

PresentResult present_set_mode(PresentDevice* device, int width, int height, int)
{
    device->frame_width = width;
    device->frame_height = height;
    const int display = SDL_GetWindowDisplayIndex(device->window);
    SDL_DisplayMode wanted = {SDL_PIXELFORMAT_RGB888, width, height, 0, nullptr};
    SDL_DisplayMode mode;
    // No mode as large as asked for: stay at the desktop's and scale.
    if (SDL_GetClosestDisplayMode(display < 0 ? 0 : display, &wanted, &mode) == nullptr &&
        SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &mode) != 0)
        return failure("no display mode", DDERR_UNSUPPORTEDMODE);
    if (SDL_SetWindowDisplayMode(device->window, &mode) != 0 ||
        SDL_SetWindowFullscreen(device->window, SDL_WINDOW_FULLSCREEN) != 0)
        return failure("cannot take the display", DDERR_UNSUPPORTEDMODE);
    return DD_OK;
}

PresentResult present_create_flip_chain(PresentDevice* device, PresentSurface** primary)
{
    const PresentResult result = create_renderer(device);
    if (result != DD_OK)
        return result;
    // Whatever output size the mode gave, the frame keeps its shape, centred.
    SDL_RenderSetLogicalSize(device->renderer, device->frame_width, device->frame_height);
    int width = 0, height = 0;
    SDL_GetRendererOutputSize(device->renderer, &width, &height);
    device->letterboxed = width != device->frame_width || height != device->frame_height;
    *primary = &device->primary;
    return DD_OK;
}

PresentResult present_back_buffer(PresentSurface* primary, PresentSurface** back)
{
    PresentDevice* device = primary->device;
    const PresentResult result = create_texture(device, device->frame_width, device->frame_height);
    if (result != DD_OK)
        return result;
    *back = &device->back;
    return DD_OK;
}

PresentResult present_share_desktop(PresentDevice*) { return DD_OK; }

PresentResult present_create_primary(PresentDevice* device, PresentSurface** primary)
{
    const PresentResult result = create_renderer(device);
    if (result != DD_OK)
        return result;
    *primary = &device->primary;
    return DD_OK;
}

PresentResult present_create_offscreen(PresentDevice* device, int width, int height, PresentSurface** back)
{
    const PresentResult result = create_texture(device, width, height);
    if (result != DD_OK)
        return result;
    *back = &device->back;
    return DD_OK;
}

// Drawing through the renderer never leaves the window.
PresentResult present_clip_to_window(PresentDevice*, PresentSurface*) { return DD_OK; }

PresentResult present_desktop_bits(PresentDevice* device, std::uint32_t* bits)
{
    SDL_DisplayMode mode;
    const int display = SDL_GetWindowDisplayIndex(device->window);
    if (SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &mode) != 0)
        return failure("cannot read the desktop's mode");
    // X11 at depth 24 keeps pixels in four bytes: that is a 32-bit desktop.
    const bool rgb8 = SDL_BYTESPERPIXEL(mode.format) == 4 && SDL_BITSPERPIXEL(mode.format) >= 24 &&
                      !SDL_ISPIXELFORMAT_INDEXED(mode.format);
    *bits = rgb8 ? 32 : SDL_BITSPERPIXEL(mode.format);
    return DD_OK;
}

PresentResult present_describe(PresentSurface* surface, SurfaceDescription* description)
{
    PresentDevice* device = surface->device;
    if (surface == &device->primary) {
        int width = 0, height = 0;
        if (SDL_GetRendererOutputSize(device->renderer, &width, &height) != 0)
            return failure("cannot describe the screen");
        *description = {width, height, width * 4};
        return DD_OK;
    }
    *description = {device->texture_width, device->texture_height, device->texture_pitch};
    return DD_OK;
}

PresentResult present_lock(PresentSurface* surface, std::uint32_t** pixels)
{
    PresentDevice* device = surface->device;
    device->framebuffer_frame = framebuffer_as_back(device);
    if (device->framebuffer_frame != nullptr) {
        *pixels = static_cast<std::uint32_t*>(device->framebuffer_frame->pixels);
        return DD_OK;
    }
    void* address = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(device->texture, nullptr, &address, &pitch) != 0)
        return failure("cannot lock the back surface");
    *pixels = static_cast<std::uint32_t*>(address);
    return DD_OK;
}

PresentResult present_unlock(PresentSurface* surface)
{
    PresentDevice* device = surface->device;
    if (device->framebuffer_frame == nullptr)
        SDL_UnlockTexture(device->texture);
    return DD_OK;
}

PresentResult present_flip(PresentSurface* primary, bool) { return show(primary->device, nullptr); }

PresentResult present_blit(PresentSurface* primary, const Rect& destination, PresentSurface*)
{
    // The renderer draws in window coordinates: the rectangle's size at the window's origin.
    const SDL_Rect area = {0, 0, destination.right - destination.left, destination.bottom - destination.top};
    return show(primary->device, &area);
}

PresentResult present_restore(PresentSurface* surface)
{
    PresentDevice* device = surface->device;
    if (!device->lost)
        return DD_OK;
    const PresentResult result = create_texture(device, device->texture_width, device->texture_height);
    if (result == DD_OK)
        device->lost = false;
    return result;
}

// The surfaces live as long as their device.
void present_release_surface(PresentSurface*) {}

void present_release(PresentDevice* device)
{
    SDL_DelEventWatch(watch_for_loss, device);
    if (device->texture != nullptr)
        SDL_DestroyTexture(device->texture);
    if (device->renderer != nullptr)
        SDL_DestroyRenderer(device->renderer);
    delete device;
}
