#include "platform/web/frame_hash.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr std::size_t k_frame_bytes = 640 * 480 * 4;

TEST(FrameHash, MatchesTheFnv1aReferenceValues)
{
    EXPECT_EQ(fnv1a_64("", 0), 0xcbf29ce484222325ull);
    EXPECT_EQ(fnv1a_64("a", 1), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(fnv1a_64("foobar", 6), 0x85944171f73967e8ull);
}

// Whole frames as the browser tests compare them: a black one (the show's first) and one whose
// every byte differs from its neighbours, with values computed apart from this code.
TEST(FrameHash, HashesWholeFramesByteByByte)
{
    std::vector<std::uint32_t> frame(k_frame_bytes / 4, 0);
    EXPECT_EQ(fnv1a_64(frame.data(), k_frame_bytes), 0xf318e0e2f9b92325ull);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint32_t>(i * 2654435761u);
    EXPECT_EQ(fnv1a_64(frame.data(), k_frame_bytes), 0x67d50600ec75663cull);
}

TEST(FrameHash, TextIsSixteenLowerCaseHexDigits)
{
    EXPECT_EQ(hash_text(0), "0000000000000000");
    EXPECT_EQ(hash_text(0xcbf29ce484222325ull), "cbf29ce484222325");
    EXPECT_EQ(hash_text(0xffffffffffffffffull), "ffffffffffffffff");
    EXPECT_EQ(hash_text(0x0123456789abcdefull), "0123456789abcdef");
}

}  // namespace
