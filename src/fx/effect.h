#pragma once

#include <cstdint>
#include <cstdio>

#include "show/data_set.h"

// The interference effect: a 256x256 texture sampled through the difference of two windows into
// a table of distance and angle codes, blended into every third pixel of every third row.

inline constexpr const char* k_texture_path = k_texture_file_path;
inline constexpr int k_texture_texels = 65536;
inline constexpr long k_texture_bytes = 3L * k_texture_texels;
// Added to the scroll after every render: one texture column and five texture rows.
inline constexpr std::uint16_t k_scroll_step = 0x0501;

extern int g_effect_width;
extern int g_effect_height;
extern int g_effect_centre_x;
extern int g_effect_centre_y;
extern int g_polar_stride;
// 2H rows of 2W entries; entry = distance code + 256 * angle code.
extern std::uint16_t* g_polar_table;
// 0x00RRGGBB texels, indexed by a 16-bit value (high byte row, low byte column).
extern std::uint32_t g_effect_texture[k_texture_texels];
extern std::uint16_t g_effect_scroll;

// Called once at start-up with the frame size: reads the texture file, then effect_build_tables.
// A texture file that cannot be opened or read, is not a regular file, or a failed allocation,
// ends the process; a short one is used as read, said in one line.
void effect_init(int width, int height);

// The effect's geometry for the frame size, its table and the table's regrouped copy
// (fx/dot_table.h) allocated and built, the scroll reset; the texture is left as it is. A failed
// allocation ends the process.
void effect_build_tables(int width, int height);

// Frees both tables: for tests and benchmarks, since the show keeps them to the end.
void effect_release_tables();

// Reads the texture from an open stream: three bytes (red, green, blue) per texel, 255 for
// every byte past the end. Nothing beyond k_texture_bytes is read. The bytes read, or -1 with
// errno set when the stream reports a read error: that is not an end of file, and the texture
// is then unusable.
long read_effect_texture(std::FILE* file);

// Fills g_polar_table from the effect's width and height.
void build_polar_table();

// The two windows' top-left table entries (column, row) for one frame.
struct EffectWindows {
    int a_column;
    int a_row;
    int b_column;
    int b_row;
};

// Where the windows lie at an effect angle (radians): four sines, each result cut toward zero.
EffectWindows effect_windows(double angle);

// The definition of an effect frame's drawing, after the picture copy and before the fade: places
// the two windows for the angle (radians) and renders. The show makes its frames with
// draw_show_frame (fx/show_frame.h) instead.
void draw_effect(double angle);

// Blends one texel into every third pixel of every third row of the virtual backbuffer, the
// texel chosen by the two windows' table entries at that pixel, then advances the scroll.
// Windows must lie within 0..W columns and 0..H rows; not checked.
void render_interference(int a_column, int a_row, int b_column, int b_row);
