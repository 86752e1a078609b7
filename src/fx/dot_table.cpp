#include "fx/dot_table.h"

#include <cstdlib>

#include "fx/effect.h"

std::uint16_t* g_dot_table = nullptr;

namespace {

// A group's rows and columns: a third of the table's, rounded up; each row padded to 16 bytes.
std::size_t group_rows() { return static_cast<std::size_t>(2 * g_effect_height + 2) / 3; }

std::size_t group_size() { return group_rows() * dot_table_stride(); }

std::uint16_t* group(int column, int row)
{
    return g_dot_table + static_cast<std::size_t>(row % 3 * 3 + column % 3) * group_size();
}

}  // namespace

std::size_t dot_table_stride()
{
    const std::size_t columns = static_cast<std::size_t>(2 * g_effect_width + 2) / 3;
    return (columns + 7) & ~std::size_t{7};
}

bool build_dot_table()
{
    if (g_dot_table == nullptr) {
        g_dot_table = static_cast<std::uint16_t*>(std::calloc(9 * group_size(), sizeof(std::uint16_t)));
        if (g_dot_table == nullptr)
            return false;
    }
    const int rows = 2 * g_effect_height;
    const int columns = 2 * g_effect_width;
    const std::uint16_t* entry = g_polar_table;
    for (int r = 0; r < rows; ++r, entry += g_polar_stride)
        for (int k = 0; k < columns; ++k)
            group(k,
                  r)[static_cast<std::size_t>(r / 3) * dot_table_stride() + static_cast<std::size_t>(k / 3)] = entry[k];
    return true;
}

const std::uint16_t* dot_table_row(int column, int row)
{
    return group(column, row) + static_cast<std::size_t>(row / 3) * dot_table_stride() +
           static_cast<std::size_t>(column / 3);
}
