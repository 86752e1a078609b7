// The presentation layer over DirectDraw 7: full-screen, an exclusive 640x480x32 flip chain;
// windowed, the desktop's primary clipped to the window and an offscreen surface blitted onto it.
// Results are DirectDraw's own, so the Display's rules and its report see the real codes.

#include <new>

#include "platform/pacing.h"
#include "platform/presentation.h"
#include "platform/win32/win32_internal.h"

#include <ddraw.h>

struct PresentSurface {
    IDirectDrawSurface7* surface;
};

struct PresentDevice {
    IDirectDraw7* ddraw;
    HWND window;
    // Neither Flip without DDFLIP_WAIT nor a windowed Blt waits for the refresh (and under Wine
    // Flip never does), so the layer paces the show itself from the first present on.
    Pacing pacing;
    PresentSurface primary;
    PresentSurface back;
};

namespace {

// Every description handed to DirectDraw starts cleared, with its size.
DDSURFACEDESC2 description()
{
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    return desc;
}

PresentResult result_of(HRESULT result, const char* call)
{
    if (FAILED(result))
        win32_record_failure(call, 0);
    return static_cast<PresentResult>(result);
}

int refresh_rate()
{
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    return EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) ? static_cast<int>(mode.dmDisplayFrequency) : 0;
}

// The one device of the process: flip and blit reach it through their surfaces.
PresentDevice* g_device = nullptr;

void pace()
{
    if (g_device == nullptr)
        return;
    const std::uint64_t now = win32_monotonic_ns();
    win32_sleep_until_ns(pacing_after_present(&g_device->pacing, now));
}

PresentResult create_surface(PresentDevice* device, DDSURFACEDESC2* desc, PresentSurface* surface,
                             PresentSurface** created)
{
    const HRESULT result = device->ddraw->CreateSurface(desc, &surface->surface, nullptr);
    *created = surface->surface != nullptr ? surface : nullptr;
    return result_of(result, "IDirectDraw7::CreateSurface");
}

}  // namespace

PresentResult present_open(PlatformWindow* window, PresentDevice** device)
{
    auto* created = new (std::nothrow) PresentDevice{};
    if (created == nullptr)
        return DDERR_OUTOFMEMORY;
    created->window = window->hwnd;
    created->pacing = pacing_start(false, refresh_rate());
    const HRESULT result = DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&created->ddraw), IID_IDirectDraw7,
                                              nullptr);
    if (created->ddraw == nullptr) {
        delete created;
        return result_of(FAILED(result) ? result : DDERR_GENERIC, "DirectDrawCreateEx");
    }
    g_device = created;
    *device = created;
    return result_of(result, "DirectDrawCreateEx");
}

PresentResult present_take_display(PresentDevice* device)
{
    return result_of(device->ddraw->SetCooperativeLevel(device->window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN),
                     "IDirectDraw7::SetCooperativeLevel");
}

PresentResult present_set_mode(PresentDevice* device, int width, int height, int bits)
{
    return result_of(device->ddraw->SetDisplayMode(width, height, bits, 0, 0), "IDirectDraw7::SetDisplayMode");
}

PresentResult present_create_flip_chain(PresentDevice* device, PresentSurface** primary)
{
    DDSURFACEDESC2 desc = description();
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    return create_surface(device, &desc, &device->primary, primary);
}

PresentResult present_back_buffer(PresentSurface* primary, PresentSurface** back)
{
    DDSCAPS2 caps = {};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    PresentSurface* slot = &g_device->back;
    const HRESULT result = primary->surface->GetAttachedSurface(&caps, &slot->surface);
    *back = slot->surface != nullptr ? slot : nullptr;
    return result_of(result, "IDirectDrawSurface7::GetAttachedSurface");
}

PresentResult present_share_desktop(PresentDevice* device)
{
    return result_of(device->ddraw->SetCooperativeLevel(device->window, DDSCL_NORMAL),
                     "IDirectDraw7::SetCooperativeLevel");
}

PresentResult present_create_primary(PresentDevice* device, PresentSurface** primary)
{
    DDSURFACEDESC2 desc = description();
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    return create_surface(device, &desc, &device->primary, primary);
}

PresentResult present_create_offscreen(PresentDevice* device, int width, int height, PresentSurface** back)
{
    // No pixel format: the surface takes the desktop's.
    DDSURFACEDESC2 desc = description();
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    return create_surface(device, &desc, &device->back, back);
}

PresentResult present_clip_to_window(PresentDevice* device, PresentSurface* primary)
{
    IDirectDrawClipper* clipper = nullptr;
    const HRESULT result = device->ddraw->CreateClipper(0, &clipper, nullptr);
    if (clipper == nullptr)
        return result_of(FAILED(result) ? result : DDERR_GENERIC, "IDirectDraw7::CreateClipper");
    // The primary keeps the clipper alive; the results of these three are of no consequence.
    clipper->SetHWnd(0, device->window);
    primary->surface->SetClipper(clipper);
    clipper->Release();
    return result_of(result, "IDirectDraw7::CreateClipper");
}

PresentResult present_desktop_bits(PresentDevice* device, std::uint32_t* bits)
{
    DDSURFACEDESC2 desc = description();
    const HRESULT result = device->ddraw->GetDisplayMode(&desc);
    *bits = SUCCEEDED(result) ? desc.ddpfPixelFormat.dwRGBBitCount : 0;
    return static_cast<PresentResult>(result);
}

PresentResult present_describe(PresentSurface* surface, SurfaceDescription* out)
{
    DDSURFACEDESC2 desc = description();
    const HRESULT result = surface->surface->GetSurfaceDesc(&desc);
    if (SUCCEEDED(result))
        *out = {static_cast<std::int32_t>(desc.dwWidth), static_cast<std::int32_t>(desc.dwHeight), desc.lPitch};
    return result_of(result, "IDirectDrawSurface7::GetSurfaceDesc");
}

PresentResult present_lock(PresentSurface* surface, std::uint32_t** pixels)
{
    DDSURFACEDESC2 desc = description();
    const HRESULT result = surface->surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    *pixels = SUCCEEDED(result) ? static_cast<std::uint32_t*>(desc.lpSurface) : nullptr;
    return result_of(result, "IDirectDrawSurface7::Lock");
}

PresentResult present_unlock(PresentSurface* surface)
{
    return result_of(surface->surface->Unlock(nullptr), "IDirectDrawSurface7::Unlock");
}

PresentResult present_flip(PresentSurface* primary, bool wait)
{
    const HRESULT result = primary->surface->Flip(nullptr, wait ? DDFLIP_WAIT : 0);
    pace();
    return result_of(result, "IDirectDrawSurface7::Flip");
}

PresentResult present_blit(PresentSurface* primary, const Rect& destination, PresentSurface* back)
{
    RECT rect = {destination.left, destination.top, destination.right, destination.bottom};
    const HRESULT result = primary->surface->Blt(&rect, back->surface, nullptr, DDBLT_WAIT, nullptr);
    pace();
    return result_of(result, "IDirectDrawSurface7::Blt");
}

PresentResult present_restore(PresentSurface* surface)
{
    return result_of(surface->surface->Restore(), "IDirectDrawSurface7::Restore");
}

void present_release_surface(PresentSurface* surface)
{
    if (surface->surface != nullptr)
        surface->surface->Release();
    surface->surface = nullptr;
}

void present_release(PresentDevice* device)
{
    // Releasing the object releases whatever surfaces were not released on their own (the back
    // buffer); the cooperative level and the display mode go back with the process.
    device->ddraw->Release();
    if (g_device == device)
        g_device = nullptr;
    delete device;
}
