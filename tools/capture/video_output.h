#pragma once

#include <cstdint>
#include <string>

struct Frame32;

// A soundtrack larger than this is left out: a two-minute track is a few megabytes as MP3, some
// 21 MB as CD-quality WAV; a huge or endless file would take minutes, and junk read through takes
// FFmpeg's parser about twice its size in memory.
inline constexpr std::int64_t k_max_soundtrack_bytes = std::int64_t{32} << 20;
// How far FFmpeg looks for the soundtrack's audio stream and its parameters.
inline constexpr std::int64_t k_soundtrack_probe_bytes = std::int64_t{2} << 20;
inline constexpr std::int64_t k_soundtrack_probe_microseconds = 5'000'000;

struct VideoSettings {
    int fps = 60;
    int crf = 16;                          // H.264 quality: 0 lossless .. 51 worst
    std::string preset = "medium";         // x264's speed/size trade-off
    std::string pixel_format = "yuv420p";  // or yuv444p, which keeps single-pixel detail crisp
    std::string soundtrack;                // copied in as the audio stream; empty: none
};

// Opens the video file for writing: the container follows the extension of path (.mkv, .mp4),
// the frames are encoded as H.264 in BT.709 limited range, and the soundtrack (if it is a regular
// file within k_max_soundtrack_bytes whose audio shows within the probe) is copied in without
// re-encoding. Everything goes to an unnamed file beside path, given the name only by
// video_finish. An MP4 into a pipe is refused. False with *error set ("what: path: reason") when
// anything fails; nothing is left behind.
bool video_open(const char* path, const VideoSettings& settings, std::string* error);

// x264's presets, fastest first: what --preset accepts.
inline constexpr const char* k_video_presets[] = {"ultrafast", "superfast", "veryfast", "faster",   "fast",
                                                  "medium",    "slow",      "slower",   "veryslow", "placebo"};

// Whether name is one of k_video_presets.
bool video_preset_known(const std::string& name);

// Whether the name of path says a container video_open can write.
bool video_format_known(const std::string& path);

// Adds frame, frame number index of the show: converts its colours and hands it to the encoder's
// thread, waiting while a few frames are still waiting for it. The video's time starts at the
// first frame added and keeps the show's time from there (index / fps later), the soundtrack's
// with it. A failure of the encoder's thread is the failure of the next call, or of video_finish.
bool video_add_frame(const Frame32& frame, std::int64_t index, std::string* error);

// Waits for the encoder's thread to encode every frame added, flushes the encoder, copies the
// soundtrack up to the end of the last frame, completes the file, and renames it into place.
// Returns the final size through *bytes.
bool video_finish(std::string* error, std::int64_t* bytes);

// Stops the encoder's thread, closes and removes an unfinished video; harmless when none is open.
void video_discard();

// Removes the temporary file of an unfinished video and nothing else: safe in a signal handler.
void video_discard_file();

// Why the soundtrack was left out, or "" when it is in (or none was asked for).
const std::string& video_audio_note();
