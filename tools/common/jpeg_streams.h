#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Changes to finished JPEG streams, for making hostile files in tests, benchmarks and fuzzing
// seeds: valid markers around data no encoder would write.

// Where each scan's coded data ends: just before the marker that follows it.
std::vector<std::size_t> scan_ends(const std::vector<std::uint8_t>& jpeg);

// The stream with scan k (1 or later, with the tables written before it) there `times` more times.
std::vector<std::uint8_t> repeat_scan(const std::vector<std::uint8_t>& jpeg, std::size_t k, int times);

// The stream with its frame header claiming another size; the coded data is left as it was.
std::vector<std::uint8_t> with_size(std::vector<std::uint8_t> jpeg, int width, int height);
