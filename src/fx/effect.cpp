#include "fx/effect.h"

#include <cmath>
#include <cstdlib>

#include "fx/dot_table.h"

int g_effect_width = 0;
int g_effect_height = 0;
int g_effect_centre_x = 0;
int g_effect_centre_y = 0;
int g_polar_stride = 0;
std::uint16_t* g_polar_table = nullptr;
std::uint32_t g_effect_texture[k_texture_texels];
std::uint16_t g_effect_scroll = 0;

namespace {

// Maps atan2's (-pi, pi] onto about two turns of the 8-bit angle code.
constexpr double k_angle_scale = 81.4895007462974;
constexpr double k_distance_scale = -0.31;

// The low 8 bits of a value truncated toward zero, as two's complement (-43 gives 213).
std::uint8_t low_byte(double value) { return static_cast<std::uint8_t>(static_cast<std::int32_t>(value)); }

std::uint16_t polar_entry(int x, int y)
{
    if (x == 0 && y == 0)
        return 0;
    // s grows with x squared but only linearly with y, and is negative just below the middle.
    const int s = 2 * x * x + 3 * y;
    const std::uint8_t distance = s < 0 ? 0 : low_byte(k_distance_scale * std::sqrt(static_cast<double>(s)));
    const std::uint8_t angle = low_byte(std::atan2(static_cast<double>(y), 2.0 * x) * k_angle_scale);
    return static_cast<std::uint16_t>(distance | angle << 8);
}

// Fills g_polar_table from the effect's width and height.
void build_polar_table()
{
    const int w = g_effect_width;
    const int h = g_effect_height;
    std::uint16_t* entry = g_polar_table;
    for (int r = 0; r < 2 * h; ++r)
        for (int k = 0; k < 2 * w; ++k)
            *entry++ = polar_entry(k - w, h - r);
}

}  // namespace

void set_effect_texture(std::span<const std::uint8_t> bytes)
{
    std::size_t next = 0;
    for (std::uint32_t& texel : g_effect_texture) {
        std::uint32_t rgb = 0;
        for (int byte = 0; byte < 3; ++byte, ++next)
            rgb = rgb << 8 | (next < bytes.size() ? bytes[next] : 0xFFu);
        texel = rgb;
    }
}

bool effect_init(int width, int height, std::span<const std::uint8_t> texture)
{
    set_effect_texture(texture);
    return effect_build_tables(width, height);
}

bool effect_build_tables(int width, int height)
{
    g_effect_width = width;
    g_effect_height = height;
    g_effect_centre_x = width / 2;
    g_effect_centre_y = height / 2;
    g_polar_stride = 2 * width;
    const std::size_t entries = static_cast<std::size_t>(2 * width) * static_cast<std::size_t>(2 * height);
    g_polar_table = static_cast<std::uint16_t*>(std::malloc(entries * sizeof(std::uint16_t)));
    if (g_polar_table == nullptr)
        return false;
    g_effect_scroll = 0;
    build_polar_table();
    return build_dot_table();
}

void effect_release_tables()
{
    std::free(g_polar_table);
    g_polar_table = nullptr;
    std::free(g_dot_table);
    g_dot_table = nullptr;
}

EffectWindows effect_windows(double angle)
{
    const double cx = g_effect_centre_x;
    const double cy = g_effect_centre_y;
    const double b_row_angle = static_cast<float>(angle + 2.0);
    return {
        .a_column = static_cast<int>(cx + 100.0 * std::sin(angle)),
        .a_row = static_cast<int>(cy + 100.0 * std::sin(angle + 0.02)),
        .b_column = static_cast<int>(cx + 100.0 * std::sin(angle + 1.0)),
        .b_row = static_cast<int>(cy + 100.0 * std::sin(b_row_angle)),
    };
}
