#pragma once

#include <cstdint>

#include "platform/presentation.h"

// Puts the frames of the show on the screen: copies the virtual backbuffer into the back surface
// and presents it, full-screen (flipping) or windowed (stretched onto the window). Every result of
// the presentation layer follows one of three rules: strict (any failure is fatal), lenient
// (busy passes too) or ignored. Failures end the process through fail().
class Display {
public:
    explicit Display(PlatformWindow* window);
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // Called once after the window exists, with g_display_mode and 0. Returns only with the device
    // and both surfaces ready; every failure ends the process inside.
    void init(std::uint8_t mode, std::uint8_t flip_wait);

    // The first pixel of the back surface, rows pitch_pixels apart; any failure is fatal.
    std::uint32_t* lock();
    void unlock();

    // Called once per frame: source_frame into the back surface, 640 pixels of each of its first
    // 480 rows; the rest of each surface row keeps what it held.
    void upload();

    // Called once per frame after upload. A lost surface is restored and the frame dropped; a busy
    // one drops the frame; any other failure is fatal.
    void present();

    // Releases the device and the visible surface; harmless before init and when repeated.
    void release();

    // Returns at once for 0; otherwise shows the result's name, owned by the window, and ends the
    // process.
    void fail(PresentResult result);

    PlatformWindow* window;
    std::uint8_t mode;
    std::uint8_t flip_wait;
    Rect frame_rect;
    Rect window_rect;
    PresentDevice* ddraw;
    PresentSurface* primary;
    SurfaceDescription primary_desc;
    PresentSurface* back;
    SurfaceDescription back_desc;
    // The virtual backbuffer; set by the owner after init, never owned.
    const std::uint32_t* source_frame;
    std::int32_t pitch_pixels;

private:
    void strict(PresentResult result);
    void lenient(PresentResult result);
    // A creation that passed the lenient rule but produced nothing cannot be gone on with.
    template <typename Object>
    void created(PresentResult result, Object* object);
    void init_fullscreen();
    void init_windowed();
};

// The one Display of the show; null until the window exists.
extern Display* g_display;

inline constexpr const char* k_desktop_depth_text = "32bpp desktop please ;)";
inline constexpr const char* k_desktop_depth_caption = "Error";
