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

TEST(CommandLine, TheWholeLineLosesTheProgramsNameQuotedOrNotAndTheBlanksAfterIt)
{
    EXPECT_STREQ(command_line_after_program("velmorastik.exe -w"), "-w");
    EXPECT_STREQ(command_line_after_program("velmorastik.exe \t\x01 -w x"), "-w x");
    EXPECT_STREQ(command_line_after_program("\"C:\\Show Dir\\velmorastik.exe\"-w"), "-w");
    EXPECT_STREQ(command_line_after_program("\"C:\\Show Dir\\velmorastik.exe\"  -w"), "-w");
    // A quote never closed takes the whole line.
    EXPECT_STREQ(command_line_after_program("\"velmorastik.exe -w"), "");
    EXPECT_STREQ(command_line_after_program("velmorastik.exe"), "");
    EXPECT_STREQ(command_line_after_program(""), "");
    // Letters past 0x7F belong to the name: only 0x01..0x20 end it.
    EXPECT_STREQ(command_line_after_program("v\xE9lmorastik.exe -w"), "-w");
    EXPECT_STREQ(command_line_after_program("velmorastik.exe \xA0-w"), "\xA0-w");
    EXPECT_EQ(display_mode_for(command_line_after_program("velmorastik.exe /w")), k_mode_fullscreen);
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

Request request_of(std::vector<const char*> arguments) { return request_for(text_of(std::move(arguments))); }

TEST(CommandLine, OnlyAnExactHelpOrVersionAsksForInformation)
{
    EXPECT_EQ(request_of({"--help"}), Request::help);
    EXPECT_EQ(request_of({"--version"}), Request::version);
    // The text after the skipped blanks is what counts.
    EXPECT_EQ(request_of({" \t--help"}), Request::help);
    EXPECT_EQ(request_of({"", "--version"}), Request::version);

    EXPECT_EQ(request_of({"--help", "x"}), Request::show);
    EXPECT_EQ(request_of({"--help "}), Request::show);
    EXPECT_EQ(request_of({"--versions"}), Request::show);
    EXPECT_EQ(request_of({"-h"}), Request::show);
    EXPECT_EQ(request_of({"--HELP"}), Request::show);
    EXPECT_EQ(request_of({"-w", "--help"}), Request::show);
    EXPECT_EQ(request_of({}), Request::show);
    // Everything that is not a request keeps its mode: "-w--help" is a window.
    EXPECT_EQ(request_of({"-w--help"}), Request::show);
    EXPECT_EQ(mode_of({"-w--help"}), k_mode_windowed);
}

}  // namespace
