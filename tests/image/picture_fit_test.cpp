#include <gtest/gtest.h>

#include "image/picture_fit.h"

namespace {

struct FitCase {
    std::uint32_t width, height;
    std::uint32_t kept_width, kept_height;
    const char* note;  // after "p.jpg: WxH pixels, not 640x480: showing "
};

constexpr const char* k_import = " (velmorastik-import fits pictures to the show)";

// Up to the frame's 307,200 pixels a picture is repacked whole, rows back to back; a larger one
// keeps its top-left part within 640x480. The note says which, in one line.
constexpr FitCase k_cases[] = {
    {480, 640, 480, 640, "all of it, its rows of 480 laid back to back across the frame's rows of 640"},
    {800, 600, 640, 480, "its top-left 640x480"},
    {320, 240, 320, 240,
     "all of it, its rows of 320 laid back to back across the frame's rows of 640, over the first 76,800 of "
     "the frame's 307,200 pixels; the rest is left as it was"},
    {640, 240, 640, 240, "all of it in the frame's top 240 rows; the rest is left as it was"},
    {1000, 200, 1000, 200,
     "all of it, its rows of 1000 laid back to back across the frame's rows of 640, over "
     "the first 200,000 of the frame's 307,200 pixels; the rest is left as it was"},
    {600, 1000, 600, 480,
     "its top-left 600x480, its rows of 600 laid back to back across the frame's rows of 640, over the first "
     "288,000 of the frame's 307,200 pixels; the rest is left as it was"},
    {6000, 4000, 640, 480, "its top-left 640x480"},
    {640, 481, 640, 480, "its top-left 640x480"},
};

TEST(PictureFit, EverySizeIsKeptWithinTheFrameAndSaidTruthfully)
{
    for (const FitCase& c : k_cases) {
        const PictureFit kept = picture_fit(c.width, c.height);
        EXPECT_EQ(kept.width, c.kept_width) << c.width << "x" << c.height;
        EXPECT_EQ(kept.height, c.kept_height) << c.width << "x" << c.height;
        EXPECT_LE(std::uint64_t{kept.width} * kept.height, 307200u);
        EXPECT_EQ(picture_size_note("p.jpg", c.width, c.height),
                  "p.jpg: " + std::to_string(c.width) + "x" + std::to_string(c.height) +
                      " pixels, not 640x480: showing " + c.note + k_import);
    }
    EXPECT_EQ(picture_size_note("p.jpg", 640, 480), "") << "the frame's own size needs no word";
    EXPECT_EQ(picture_fit(640, 480).width, 640u);
}

}  // namespace
