#pragma once

// Where the show finds its files, relative to the working directory: the one list every program
// and test reads.
inline constexpr const char* k_data_dir = "data";
inline constexpr const char* k_intro_picture_path = "data/gfx/misc/tzback.jpg";
inline constexpr const char* k_first_set_format = "data/gfx/1/%d.jpg";
inline constexpr const char* k_second_set_format = "data/gfx/2/%d.jpg";
inline constexpr const char* k_texture_file_path = "data/lumo.raw";
inline constexpr const char* k_soundtrack_path = "data/sfx/lumo.mp3";
