#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// The effect's texture file, read with the rest of the data set and handed to effect_init
// (fx/effect.h), which knows nothing of files.

// Reads at most k_texture_bytes from an open stream into bytes: the count read, or -1 with errno
// set when the stream reports a read error, which is not an end of file.
long read_texture_bytes(std::FILE* file, std::uint8_t* bytes);

// Called once at start-up, before effect_init: the texture file's bytes, at most a texture's. A
// file that cannot be opened or read, or is not a regular file, ends the process naming it; a
// short one is used as read (its missing bytes white), said in one line on stderr.
std::vector<std::uint8_t> load_texture_file();
