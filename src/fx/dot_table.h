#pragma once

#include <cstddef>
#include <cstdint>

// The effect's table regrouped for effect frames made in one walk. A frame's dots read the table
// through each window at every third row and every third column from the window's corner, so all
// the entries one window gives a frame lie in one of nine groups, by row and column modulo 3.
// Within a group the entries of one dot row sit back to back: 214 entries in 428 bytes rather
// than spread over 1,280, and a third of the cache lines per frame.

extern std::uint16_t* g_dot_table;

// Called by effect_build_tables once g_polar_table is filled, and after any other change to it:
// allocates the regrouped table on the first call and fills it from g_polar_table. False, with
// nothing filled, when memory is short.
[[nodiscard]] bool build_dot_table();

// Table entries (row, column), (row, column + 3), (row, column + 6) ... back to back, to the
// table's right edge.
const std::uint16_t* dot_table_row(int column, int row);

// From one dot row of a group to the next, three table rows down.
std::size_t dot_table_stride();
