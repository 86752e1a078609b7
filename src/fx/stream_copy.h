#pragma once

#include <cstddef>

// Rows of row_bytes from source to destination, each block's rows its pitch apart, with stores
// that go around this processor's caches where it has them: for memory that another reader takes
// next (the window system, a driver), which would otherwise first be read into our cache line by
// line only to be sent away again. Every byte is stored and visible to other threads on return.
void stream_rows(void* destination, std::size_t destination_pitch, const void* source, std::size_t source_pitch,
                 std::size_t row_bytes, int rows);
