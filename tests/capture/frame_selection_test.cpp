#include <gtest/gtest.h>

#include "fps_option.h"
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

TEST(FrameSelection, NamesTheFramesPastAnEnd)
{
    const auto selection = FrameSelection::parse("0,90-110,100,150-150,200");
    ASSERT_TRUE(selection);
    EXPECT_EQ(selection->past_end(100), "100-110,100,150,200") << "ranges cut at the end, in the given order";
    EXPECT_EQ(selection->past_end(110), "110,150,200");
    EXPECT_EQ(selection->past_end(201), "");
    EXPECT_EQ(FrameSelection{}.past_end(0), "") << "every frame asks for none in particular";
    EXPECT_EQ(FrameSelection::parse("18446744073709551615")->past_end(5), "18446744073709551615");
}

TEST(FpsOption, DigitsFromOneTo1000)
{
    EXPECT_EQ(parse_fps("1"), 1u);
    EXPECT_EQ(parse_fps("60"), 60u);
    EXPECT_EQ(parse_fps("1000"), 1000u);
    EXPECT_EQ(parse_fps("007"), 7u);
    for (const char* refused :
         {"0", "1001", "100000", "", "-1", "+5", " 5", "5 ", "5x", "0x10", "99999999999999999999999"})
        EXPECT_FALSE(parse_fps(refused)) << '"' << refused << '"';
}

}  // namespace
