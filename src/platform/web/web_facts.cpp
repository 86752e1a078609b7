// What the page and the maker know of the show, from the show's own definitions: the frame's
// size, the rate its length is told at, the keys it looks at, the data set's files and which of its
// places carry the effect. One JSON text, read once by show_program.js, so that no script writes
// these again.

#include <emscripten.h>

#include <string>
#include <string_view>
#include <vector>

#include "fx/frame.h"
#include "platform/events.h"
#include "show/data_set.h"
#include "show/frame_count.h"
#include "show/timeline.h"

namespace {

// The path under data/, as the page keeps its files: the set's paths are data/... and plain ASCII.
std::string quoted_under_data(std::string_view path)
{
    const std::string_view prefix = "data/";
    if (path.substr(0, prefix.size()) == prefix)
        path.remove_prefix(prefix.size());
    return '"' + std::string(path) + '"';
}

std::string quoted_list(const std::vector<std::string>& paths)
{
    std::string text = "[";
    for (const auto& path : paths)
        text += (text.size() > 1 ? "," : "") + quoted_under_data(path);
    return text + "]";
}

std::string facts_json()
{
    const std::vector<std::string> pictures = data_set_pictures();
    std::string effect = "[";
    for (std::size_t place = 0; place < pictures.size(); ++place)
        effect += std::string(place ? "," : "") + (picture_carries_effect(static_cast<int>(place)) ? "true" : "false");
    effect += "]";
    return "{\"frame_width\":" + std::to_string(k_frame_width) + ",\"frame_height\":" + std::to_string(k_frame_height) +
           ",\"fps\":" + std::to_string(k_show_fps) + ",\"keys\":{\"Escape\":" + std::to_string(k_key_escape) +
           ",\"ArrowLeft\":" + std::to_string(k_key_left) + ",\"ArrowUp\":" + std::to_string(k_key_up) +
           ",\"ArrowRight\":" + std::to_string(k_key_right) + ",\"ArrowDown\":" + std::to_string(k_key_down) + "}" +
           ",\"files\":" + quoted_list(data_set_files()) + ",\"pictures\":" + quoted_list(pictures) +
           ",\"texture\":" + quoted_under_data(k_texture_file_path) +
           ",\"soundtrack\":" + quoted_under_data(k_soundtrack_path) + ",\"effect_places\":" + effect + "}";
}

}  // namespace

// The facts as one JSON object, NUL-terminated, alive as long as the module.
extern "C" EMSCRIPTEN_KEEPALIVE const char* web_facts()
{
    static const std::string facts = facts_json();
    return facts.c_str();
}
