// Presentation into memory: surfaces are byte arrays, and every result can be scripted.

#include <algorithm>

#include "platform/headless/headless.h"
#include "platform/presentation.h"

struct PresentDevice {
    PlatformWindow* window;
};

struct PresentSurface {
    bool visible;
};

namespace {

PresentDevice g_device;
PresentSurface g_primary = {true};
PresentSurface g_back = {false};

// The scripted result for this call of op, or success.
PresentResult result_of(PresentOp op)
{
    g_headless.present_calls.push_back(op);
    auto& script = g_headless.scripted;
    const auto next = std::find_if(script.begin(), script.end(), [op](const auto& entry) { return entry.first == op; });
    if (next == script.end())
        return DD_OK;
    const PresentResult result = next->second;
    script.erase(next);
    return result;
}

bool failed(PresentResult result) { return result != DD_OK; }

// A creation that does not succeed produces no object, busy included.
template <typename Object>
PresentResult create(PresentOp op, Object* object, Object** out)
{
    const PresentResult result = result_of(op);
    *out = failed(result) ? nullptr : object;
    return result;
}

void make_back(int width, int height)
{
    const std::int32_t pitch = g_headless.back_pitch_bytes != 0 ? g_headless.back_pitch_bytes : width * 4;
    g_headless.back_desc = {width, height, pitch};
    g_headless.back_memory.assign(static_cast<std::size_t>(pitch) * height, 0);
}

}  // namespace

PresentResult present_open(PlatformWindow* window, PresentDevice** device)
{
    g_device.window = window;
    return create(PresentOp::open, &g_device, device);
}

PresentResult present_take_display(PresentDevice*) { return result_of(PresentOp::take_display); }

PresentResult present_set_mode(PresentDevice*, int width, int height, int)
{
    const PresentResult result = result_of(PresentOp::set_mode);
    if (!failed(result))
        make_back(width, height);
    return result;
}

PresentResult present_create_flip_chain(PresentDevice*, PresentSurface** primary)
{
    return create(PresentOp::create_flip_chain, &g_primary, primary);
}

PresentResult present_back_buffer(PresentSurface*, PresentSurface** back)
{
    return create(PresentOp::back_buffer, &g_back, back);
}

PresentResult present_share_desktop(PresentDevice*) { return result_of(PresentOp::share_desktop); }

PresentResult present_create_primary(PresentDevice*, PresentSurface** primary)
{
    return create(PresentOp::create_primary, &g_primary, primary);
}

PresentResult present_create_offscreen(PresentDevice*, int width, int height, PresentSurface** back)
{
    const PresentResult result = create(PresentOp::create_offscreen, &g_back, back);
    if (*back != nullptr)
        make_back(width, height);
    return result;
}

PresentResult present_clip_to_window(PresentDevice*, PresentSurface*) { return result_of(PresentOp::clip_to_window); }

PresentResult present_desktop_bits(PresentDevice*, std::uint32_t* bits)
{
    const PresentResult result = result_of(PresentOp::desktop_bits);
    if (!failed(result))
        *bits = g_headless.desktop_bits;
    return result;
}

PresentResult present_describe(PresentSurface* surface, SurfaceDescription* description)
{
    const PresentResult result = result_of(PresentOp::describe);
    if (!failed(result))
        *description = surface->visible ? SurfaceDescription{g_headless.screen.width, g_headless.screen.height,
                                                             g_headless.screen.width * 4}
                                        : g_headless.back_desc;
    return result;
}

PresentResult present_lock(PresentSurface*, std::uint32_t** pixels)
{
    const PresentResult result = result_of(PresentOp::lock);
    if (!failed(result))
        *pixels = reinterpret_cast<std::uint32_t*>(g_headless.back_memory.data());
    return result;
}

PresentResult present_unlock(PresentSurface*) { return result_of(PresentOp::unlock); }

PresentResult present_flip(PresentSurface*, bool wait)
{
    g_headless.last_flip_wait = wait;
    return result_of(PresentOp::flip);
}

PresentResult present_blit(PresentSurface*, const Rect& destination, PresentSurface*)
{
    g_headless.last_blit = destination;
    return result_of(PresentOp::blit);
}

PresentResult present_restore(PresentSurface*) { return result_of(PresentOp::restore); }

void present_release_surface(PresentSurface*) { result_of(PresentOp::release_surface); }

void present_release(PresentDevice*) { result_of(PresentOp::release); }
