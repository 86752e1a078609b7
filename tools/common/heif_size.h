#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A HEIC's or AVIF's size, read by libheif as libvips' loader reads it, before anything is
// decoded: the reason it is refused (over the import's limits, or over libheif's own, which
// would otherwise fail the loader with a reason of no use to a person), or empty when it is
// taken. descriptor is the picture's, read with pread: its offset is left alone.
std::string heif_size_refusal(int descriptor, long long size);
// The same for a file of size bytes at data (the page's maker's).
std::string heif_size_refusal(const std::uint8_t* data, std::size_t size);

// A libheif error's message without the line break some of them end with.
std::string heif_reason(const char* message);
