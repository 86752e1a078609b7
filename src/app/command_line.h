#pragma once

#include <cstdint>
#include <string>

// The command line as the show's entry point sees it: the arguments after the program's name,
// joined by single blanks, with every leading character from 0x01 to 0x20 skipped.
std::string command_line_text(int argc, const char* const* argv);

// The same from the process's whole command line, as Windows keeps it (the program's name first):
// skips the name (from an opening double quote through the closing one, or to the end when there
// is none; otherwise up to the first character at or below 0x20), then every character from 0x01
// to 0x20 after it.
const char* command_line_after_program(const char* whole);

// The mode rule: k_mode_windowed when the text starts with "-w", k_mode_fullscreen otherwise.
// Only the first two characters are looked at, so "-wfoo" is windowed too.
std::uint8_t display_mode_for(const char* command_line);

// What a command line asks for. Only a command line that is exactly "--help" or "--version"
// asks for information; every other one plays the show under the mode rule.
enum class Request { show, help, version };
Request request_for(const std::string& command_line);
