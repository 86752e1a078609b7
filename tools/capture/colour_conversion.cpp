#include "colour_conversion.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include "fx/frame.h"

SwsContext* open_colour_conversion(AVPixelFormat format)
{
    // No scaling happens, so the filter named is never used. Exact rounding and full chroma cost
    // nothing here (bench/colour_convert_bench.cpp times them against FFmpeg's own default).
    SwsContext* conversion = sws_getContext(k_frame_width, k_frame_height, AV_PIX_FMT_BGR0, k_frame_width,
                                            k_frame_height, format, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                            nullptr, nullptr, nullptr);
    if (conversion != nullptr) {
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(conversion, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    }
    return conversion;
}
