#pragma once

#include <string>

// A HEIC's or AVIF's size, read by libheif as libvips' loader reads it, before anything is
// decoded: the reason it is refused (over the import's limits, or over libheif's own, which
// would otherwise fail the loader with a reason of no use to a person), or empty when it is
// taken. descriptor is the picture's, read with pread: its offset is left alone.
std::string heif_size_refusal(int descriptor, long long size);
