#pragma once

#include <cstdint>

// Which file a name leads to, whatever the name: two paths, a link or a hard link to one file,
// give the same identity. The capture compares its outputs with the show's inputs by it.
struct FileIdentity {
    std::uint64_t volume = 0;  // the device or volume the file is on
    std::uint64_t file = 0;    // its number there: an inode, a file index
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file path names, links followed; false when there is none to read (a
// missing file, a folder that cannot be entered).
bool file_identity(const char* path, FileIdentity* identity);
