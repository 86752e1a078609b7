// The capture's --frames parser on any text: an accepted list contains every number it names,
// and what it names past a point reads back as the same list.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "decimal.h"
#include "frame_selection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto selection = FrameSelection::parse(text);
    if (!selection)
        return 0;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = rest.find_first_of(",-");
        const auto number = parse_decimal(rest.substr(0, end));
        if (!number || !selection->contains(*number))
            std::abort();
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    }
    const std::string all = selection->past_end(0);
    const auto again = FrameSelection::parse(all);
    if (!again || again->past_end(0) != all)
        std::abort();
    return 0;
}
