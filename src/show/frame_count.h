#pragma once

#include <cstdint>

// The rate the show is told at: its length in frames, the virtual clock's default, the maker's
// figures. Any rate plays the same show; this is the one its numbers are given in.
inline constexpr std::uint64_t k_show_fps = 60;

// How many frames the show makes against the virtual clock at fps frames a second: the timeline
// itself, run with nothing to draw, show or load. Neither allocates nor touches a frame, so the
// import and the page's maker size the music by it at no cost.
std::uint64_t show_frame_count(std::uint64_t fps);
