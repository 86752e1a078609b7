#pragma once

#include <cstdint>

// How many frames the show draws at fps frames a second on a steady clock: the show itself run
// on a virtual clock, nothing loaded or presented, so that the soundtrack can end with it.
std::uint64_t show_frame_count(std::uint64_t fps);
