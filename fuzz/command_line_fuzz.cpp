// The program's command-line rule on any arguments (the input split at zero bytes): the text is
// the joined arguments less what leads, and only a leading "-w" makes the show windowed.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "display/display_mode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> arguments;
    std::size_t start = 0;
    while (arguments.size() < 64) {
        const std::size_t end = input.find('\0', start);
        arguments.push_back(input.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    std::vector<const char*> argv{"velmorastik"};
    std::string joined;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
        joined += (argv.size() > 2 ? " " : "") + argument;
    }
    const std::string text = command_line_text(static_cast<int>(argv.size()), argv.data());

    if (text.size() > joined.size() || joined.compare(joined.size() - text.size(), text.size(), text) != 0)
        std::abort();  // not what is left of the joined arguments
    for (std::size_t i = 0; i < joined.size() - text.size(); ++i)
        if (static_cast<unsigned char>(joined[i]) < 0x01 || static_cast<unsigned char>(joined[i]) > 0x20)
            std::abort();  // skipped a character that is text
    if (!text.empty() && static_cast<unsigned char>(text[0]) >= 0x01 && static_cast<unsigned char>(text[0]) <= 0x20)
        std::abort();  // left a leading blank

    const bool windowed = text.size() >= 2 && text[0] == '-' && text[1] == 'w';
    if (display_mode_for(text.c_str()) != (windowed ? k_mode_windowed : k_mode_fullscreen))
        std::abort();
    return 0;
}
