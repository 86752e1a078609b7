#include "fx/frame_hash.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Values computed apart from this code (Python, over the same little-endian words).
TEST(FrameHash, IsFnv1aOverLittleEndianWords)
{
    EXPECT_EQ(frame_hash_add(k_frame_hash_basis, "", 0), 0xcbf29ce484222325ull);
    EXPECT_EQ(frame_hash_add(k_frame_hash_basis, "abcdefgh", 8), 0x3919eeb00ee1e68cull);

    const auto black = std::make_unique<Frame32>();
    const auto stripes = std::make_unique<Frame32>();
    for (std::size_t i = 0; i < k_frame_pixels; ++i) {
        black->pixels[i] = 0;
        stripes->pixels[i] = static_cast<std::uint32_t>(i * 2654435761u);
    }
    EXPECT_EQ(frame_hash(*black), 0x1100fdb97cd50325ull);
    EXPECT_EQ(frame_hash(*stripes), 0xae42c0321dd75325ull);
    // A run of frames hashed as one stream: each frame carried on from the one before, as the
    // whole show's digest is taken, whatever the pieces.
    std::uint64_t digest = frame_hash_add(k_frame_hash_basis, black->pixels, k_frame_bytes);
    digest = frame_hash_add(digest, stripes->pixels, 8);
    digest = frame_hash_add(digest, stripes->pixels + 2, k_frame_bytes - 8);
    EXPECT_EQ(digest, 0x4cd5d33978283325ull);
}

TEST(FrameHash, TextIsSixteenLowerCaseHexDigits)
{
    EXPECT_EQ(hash_text(0), "0000000000000000");
    EXPECT_EQ(hash_text(0xcbf29ce484222325ull), "cbf29ce484222325");
    EXPECT_EQ(hash_text(0xffffffffffffffffull), "ffffffffffffffff");
    EXPECT_EQ(hash_text(0x0123456789abcdefull), "0123456789abcdef");
}

}  // namespace
