#include <gtest/gtest.h>

#include "frame_selection.h"

namespace {

TEST(FrameSelection, NumbersAndRanges)
{
    const auto selection = FrameSelection::parse("0,5-7,100");
    ASSERT_TRUE(selection);
    for (std::uint64_t frame : {0, 5, 6, 7, 100})
        EXPECT_TRUE(selection->contains(frame)) << frame;
    for (std::uint64_t frame : {1, 4, 8, 99, 101})
        EXPECT_FALSE(selection->contains(frame)) << frame;
    EXPECT_TRUE(FrameSelection{}.contains(123456)) << "no list: every frame";
}

TEST(FrameSelection, MalformedListsAreRefused)
{
    for (const char* list : {"", ",", "1,", "a", "-3", "3-", "7-5", "1-2-3", "1;2", " 1", "1 "})
        EXPECT_FALSE(FrameSelection::parse(list)) << '"' << list << '"';
}

}  // namespace
