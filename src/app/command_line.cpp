#include "app/command_line.h"

#include "display/display_mode.h"

std::string command_line_text(int argc, const char* const* argv)
{
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += ' ';
        text += argv[i];
    }
    // The blanks and control characters between the program's name and its first argument.
    std::size_t start = 0;
    while (start < text.size() && static_cast<unsigned char>(text[start]) - 1u < 0x20u)
        ++start;
    return text.substr(start);
}

const char* command_line_after_program(const char* whole)
{
    const auto* c = reinterpret_cast<const unsigned char*>(whole);
    if (*c == '"') {
        ++c;
        while (*c != '\0' && *c != '"')
            ++c;
        if (*c == '"')
            ++c;
    } else {
        while (*c > ' ')
            ++c;
    }
    while (*c != '\0' && *c <= ' ')
        ++c;
    return reinterpret_cast<const char*>(c);
}

std::uint8_t display_mode_for(const char* command_line)
{
    return command_line[0] == '-' && command_line[1] == 'w' ? k_mode_windowed : k_mode_fullscreen;
}

Request request_for(const std::string& command_line)
{
    if (command_line == "--help")
        return Request::help;
    if (command_line == "--version")
        return Request::version;
    return Request::show;
}
