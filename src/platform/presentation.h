#pragma once

#include <cstdint>

#include "platform/window.h"

// The presentation layer the Display stands on: a device for the window, a visible surface and a
// back surface the frame is written into. Every operation yields a result code: 0 for success,
// otherwise a DirectDraw code (0x8876xxxx, or one of the COM codes DirectDraw shares), so that the
// Display's rules and its failure report are the same on every platform.

using PresentResult = std::uint32_t;

constexpr PresentResult make_ddhresult(std::uint32_t n) { return 0x88760000u + n; }

inline constexpr PresentResult DD_OK = 0;
inline constexpr PresentResult DDERR_GENERIC = 0x80004005u;
inline constexpr PresentResult DDERR_OUTOFMEMORY = 0x8007000Eu;
inline constexpr PresentResult DDERR_UNSUPPORTEDMODE = make_ddhresult(590);
inline constexpr PresentResult DDERR_SURFACEBUSY = make_ddhresult(430);
inline constexpr PresentResult DDERR_SURFACELOST = make_ddhresult(450);
inline constexpr PresentResult DDERR_WASSTILLDRAWING = make_ddhresult(540);

struct PresentDevice;
struct PresentSurface;

struct SurfaceDescription {
    std::int32_t width;
    std::int32_t height;
    std::int32_t pitch_bytes;
};

// 1. Opens a device for the window.
PresentResult present_open(PlatformWindow* window, PresentDevice** device);

// 2. Full-screen: takes the display for the window alone, sets a mode, creates the visible
//    surface with one back buffer that flips, and gives access to that back buffer.
PresentResult present_take_display(PresentDevice* device);
PresentResult present_set_mode(PresentDevice* device, int width, int height, int bits);
PresentResult present_create_flip_chain(PresentDevice* device, PresentSurface** primary);
PresentResult present_back_buffer(PresentSurface* primary, PresentSurface** back);

// 3. Windowed: shares the desktop, creates the visible surface and keeps drawing on it inside the
//    window, creates an offscreen surface of a size in the desktop's format, and tells the
//    desktop's bits per pixel (32 for four-byte pixels with 8-bit red, green and blue).
PresentResult present_share_desktop(PresentDevice* device);
PresentResult present_create_primary(PresentDevice* device, PresentSurface** primary);
PresentResult present_create_offscreen(PresentDevice* device, int width, int height, PresentSurface** back);
PresentResult present_clip_to_window(PresentDevice* device, PresentSurface* primary);
PresentResult present_desktop_bits(PresentDevice* device, std::uint32_t* bits);

// 4. Describes a surface: its size and row pitch in bytes.
PresentResult present_describe(PresentSurface* surface, SurfaceDescription* description);

// 5. Locks a surface for writing, waiting while it is busy; unlocks it.
PresentResult present_lock(PresentSurface* surface, std::uint32_t** pixels);
PresentResult present_unlock(PresentSurface* surface);

// 6. Shows the back buffer of a flip chain; with wait, waits while the chain is busy.
PresentResult present_flip(PresentSurface* primary, bool wait);

// 7. Copies the whole back surface into a rectangle of the visible one in screen coordinates,
//    scaled to the rectangle's size.
PresentResult present_blit(PresentSurface* primary, const Rect& destination, PresentSurface* back);

// 8. Flip and blit report DDERR_SURFACELOST when the device lost what it held and
//    DDERR_SURFACEBUSY when it could not take the frame; restore makes a lost surface usable again.
PresentResult present_restore(PresentSurface* surface);

// 9. Releases a surface, or the device with whatever is still attached to it.
void present_release_surface(PresentSurface* surface);
void present_release(PresentDevice* device);
