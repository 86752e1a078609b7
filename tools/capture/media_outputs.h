#pragma once

#include <cstdint>
#include <string>

struct Frame32;

// The capture's videos and stills, beside the raw frames that every build writes: made through
// FFmpeg where the build has it (Linux, media_outputs_ffmpeg.cpp) and refused as a usage error
// where it has not (Windows, media_outputs_none.cpp). Failures end the capture through
// tool_exit.h, as every other failure of the tool does.

// Their parts of the capture's usage: the first line's operand, and the lines that go before -C,
// after --raw and after --frames. Empty where there are none.
struct MediaUsage {
    std::string operand;
    std::string outputs;
    std::string stills;
    std::string settings;
};
MediaUsage media_usage();

// Called while reading the command line for each of their options (the long name: "png", "crf",
// "preset", "pix-fmt", "no-audio", "quiet") and, with the name "", for the OUT operand; argument
// is null for an option that takes none. Returns the usage mistake, or "" when taken.
std::string media_take_option(const char* name, const char* argument);

// Called once the command line is read, before anything is opened: fails when OUT's name says
// no container that can be written.
void media_check_names();

// Called in the data set's folder before any frame is made: fails when an output is one of the
// files the show reads.
void media_refuse_inputs();

// Opens the outputs asked for, before the first frame; fps is the capture's.
void media_open(std::uint64_t fps);

// Whether the capture shows its progress: only videos and stills take long, and --quiet says none.
bool media_show_progress();

// Whether a video is written (else stills, or nothing of theirs).
bool media_writes_video();

// Called for every frame chosen, in order: frame, the show's frame number index.
void media_add_frame(const Frame32& frame, std::uint64_t index);

// Completes the outputs after the last frame and gives them their names; returns their bytes.
long long media_finish();

// Removes what an unfinished capture has written of them. Safe in a signal handler.
void media_discard();
