#pragma once

#include <cstdio>

// The show's data files are opened here, on every platform alike: only a regular file is used, and
// opening never waits (a FIFO, a device or a folder in data/ is refused at once instead).

inline constexpr const char* k_not_a_regular_file = "not a regular file";

struct DataFile {
    std::FILE* stream;   // open for reading in binary mode; null when the file cannot be used
    long long size;      // its size in bytes, when open
    const char* reason;  // why not, when stream is null: the system's reason or k_not_a_regular_file
};

// Called before reading a picture, the texture or the soundtrack: opens path for reading without
// blocking and keeps it only when it is a regular file. The caller closes the stream.
DataFile data_file_open(const char* path);
