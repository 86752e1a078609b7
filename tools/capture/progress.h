#pragma once

#include <cstdint>

// The capture's progress on stderr: on a terminal a bar redrawn in place (percentage, frame, frames
// per second, time left); otherwise a line every ten percent. Nothing when quiet.
void progress_start(std::uint64_t expected_frames, bool quiet);

// Called after every frame with the number of frames made so far.
void progress_update(std::uint64_t frames);

// Ends the bar; then a summary: frames written of the show's, its length, the length written
// (written / fps), the bytes, the time taken and the speed: the length written as a multiple of it.
void progress_finish(std::uint64_t written, std::uint64_t show_frames, double show_seconds, std::uint64_t fps,
                     long long bytes);
