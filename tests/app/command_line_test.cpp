#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "display/display_mode.h"

namespace {

std::string text_of(std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), "velmorastik");
    return command_line_text(static_cast<int>(arguments.size()), arguments.data());
}

std::uint8_t mode_of(std::vector<const char*> arguments)
{
    return display_mode_for(text_of(std::move(arguments)).c_str());
}

TEST(CommandLine, OnlyDashLowerWAtTheStartIsWindowed)
{
    EXPECT_EQ(mode_of({"-w"}), k_mode_windowed);
    EXPECT_EQ(mode_of({"-wfoo"}), k_mode_windowed);
    EXPECT_EQ(mode_of({"-w", "anything"}), k_mode_windowed);
    EXPECT_EQ(mode_of({"-W"}), k_mode_fullscreen);
    EXPECT_EQ(mode_of({"w"}), k_mode_fullscreen);
    EXPECT_EQ(mode_of({"/w"}), k_mode_fullscreen);
    EXPECT_EQ(mode_of({"- w"}), k_mode_fullscreen);
    EXPECT_EQ(mode_of({"-", "w"}), k_mode_fullscreen);
    EXPECT_EQ(mode_of({"-"}), k_mode_fullscreen);
    EXPECT_EQ(mode_of({}), k_mode_fullscreen);
    EXPECT_EQ(mode_of({"x", "-w"}), k_mode_fullscreen);
}

TEST(CommandLine, LeadingBlanksTabsAndEmptyArgumentsAreSkipped)
{
    EXPECT_EQ(text_of({"  \t-w"}), "-w");
    EXPECT_EQ(mode_of({"  \t-w"}), k_mode_windowed);
    EXPECT_EQ(text_of({"", "", "-w"}), "-w");
    EXPECT_EQ(text_of({"\x01\x1f -w x"}), "-w x");
    EXPECT_EQ(text_of({"a", " b"}), "a  b");
    EXPECT_EQ(text_of({"   "}), "");
    // 0x21 and above, and bytes above 0x7F, are text.
    EXPECT_EQ(text_of({"!-w"}), "!-w");
    EXPECT_EQ(text_of({"\xa0-w"}), "\xa0-w");
}

}  // namespace
