#pragma once

#include <string>

// Where the running program is, for finding a data set installed or built beside it.

// The folder holding the running program's own file, links resolved; empty when the system
// cannot tell.
std::string program_folder();

// path made absolute, with links, "." and ".." resolved, when it names an existing folder;
// else empty.
std::string canonical_folder(const std::string& path);
