#pragma once

extern "C" {
#include <libavutil/pixfmt.h>
}

struct SwsContext;

// The conversion of the show's frames (32-bit words: blue, green, red, unused; full range) into a
// video's pictures in format (yuv420p or yuv444p): BT.709, limited range, the same size. Null when
// swscale cannot make it. Free it with sws_freeContext.
SwsContext* open_colour_conversion(AVPixelFormat format);
