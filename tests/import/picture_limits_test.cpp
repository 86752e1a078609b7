// The bounds a picture's header is held to, at their edges: the limit itself is taken, one more
// pixel or byte is refused, in the words the person who chose the picture reads.

#include <gtest/gtest.h>

#include "picture_limits.h"

TEST(PictureLimits, ExactlyTheLimitIsTakenAndOneMoreIsRefused)
{
    // 200,000,000 pixels, and 384 MiB to decode, each alone at its limit.
    EXPECT_EQ(size_refusal(20000, 10000, 1), "");
    EXPECT_EQ(size_refusal(8192, 8192, 402653184), "");
    EXPECT_EQ(size_refusal(20000, 10000, 402653184), "") << "both at their limits";

    // 3 x 66,666,667 is 200,000,001.
    EXPECT_EQ(size_refusal(3, 66666667, 1), "3x66666667 pixels is over the limit of 200 megapixels");
    EXPECT_EQ(size_refusal(8192, 8192, 402653185),
              "8192x8192 pixels would take 384 MiB to decode, over the limit of 384 MiB");
    // Over both: the pixels are named first.
    EXPECT_EQ(size_refusal(20001, 10000, 402653185), "20001x10000 pixels is over the limit of 200 megapixels");
}
