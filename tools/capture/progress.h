#pragma once

#include <cstdint>

// The capture's progress on stderr: on a terminal a bar redrawn in place (percentage, frame, frames
// per second, time left); otherwise a line every ten percent. Nothing when quiet.
void progress_start(std::uint64_t expected_frames, bool quiet);

// Called after every frame with the number of frames made so far.
void progress_update(std::uint64_t frames);

// What a capture wrote, for its summary.
struct CaptureSummary {
    std::uint64_t written = 0;  // frames
    std::uint64_t show_frames = 0;
    double show_seconds = 0;
    std::uint64_t fps = 1;
    long long bytes = 0;
    bool video = false;  // else stills alone
};

// Ends the bar; then a summary: frames written of the show's, its length, the bytes and the time
// taken. A video also gives the length written (written / fps) and the speed: that length as a
// multiple of the time taken. Stills have no length, and a few of them no speed worth a number.
void progress_finish(const CaptureSummary& summary);
