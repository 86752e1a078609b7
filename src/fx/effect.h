#pragma once

#include <cstdint>
#include <span>

// The interference effect: a 256x256 texture sampled through the difference of two windows into
// a table of distance and angle codes, blended into every third pixel of every third row. The
// frames are made by fx/show_frame.h; their plain definition, which the tests and benchmarks hold
// them to, is in tests/oracle/.

// The texture is a square of 256x256 texels, three bytes each (red, green, blue).
inline constexpr int k_texture_size = 256;
inline constexpr int k_texture_texels = k_texture_size * k_texture_size;
inline constexpr long k_texture_bytes = 3L * k_texture_texels;
// Added to the scroll after every effect frame: one texture column and five texture rows.
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

// Called once at start-up with the frame size and the texture file's bytes as read: sets the
// texture, then effect_build_tables. False when memory is short for the tables; the caller ends.
[[nodiscard]] bool effect_init(int width, int height, std::span<const std::uint8_t> texture);

// The texture from a file's bytes: three (red, green, blue) per texel, 255 (white) for every byte
// past the end, bytes past a whole texture ignored.
void set_effect_texture(std::span<const std::uint8_t> bytes);

// The effect's geometry for the frame size, its table and the table's regrouped copy
// (fx/dot_table.h) allocated and built, the scroll reset; the texture is left as it is. False when
// memory is short.
[[nodiscard]] bool effect_build_tables(int width, int height);

// Frees both tables: for tests and benchmarks, since the show keeps them to the end.
void effect_release_tables();

// The two windows' top-left table entries (column, row) for one frame.
struct EffectWindows {
    int a_column;
    int a_row;
    int b_column;
    int b_row;
};

// Where the windows lie at an effect angle (radians): four sines, each result cut toward zero.
EffectWindows effect_windows(double angle);
