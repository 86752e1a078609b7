#pragma once

#include <cstdint>

// The clock of a show played against its frames rather than time (the capture, the page's
// virtual clock, the show's frame count): frame n is shown at floor(n * 1000 / fps) ms.
constexpr std::uint32_t virtual_clock_ms(std::uint64_t frame, std::uint64_t fps)
{
    return static_cast<std::uint32_t>(frame * 1000 / fps);
}
