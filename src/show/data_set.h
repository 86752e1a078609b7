#pragma once

#include <string>
#include <vector>

// Where the show finds its files, relative to the working directory. The build, the web page and
// the scripts read the same set from data_set.txt beside this header, held to it by a test.
inline constexpr const char* k_data_dir = "data";
inline constexpr const char* k_intro_picture_path = "data/gfx/misc/tzback.jpg";
inline constexpr const char* k_first_set_format = "data/gfx/1/%d.jpg";
inline constexpr const char* k_second_set_format = "data/gfx/2/%d.jpg";
inline constexpr const char* k_texture_file_path = "data/lumo.raw";
inline constexpr const char* k_soundtrack_path = "data/sfx/lumo.mp3";

// The pictures' paths (data/...) in the order the show first shows them: the intro, the first
// set, the second. Called by the tools and tests that write, check or replay a whole set.
std::vector<std::string> data_set_pictures();

// Every file of the set (data/...): data_set_pictures(), then the texture, then the soundtrack.
std::vector<std::string> data_set_files();
