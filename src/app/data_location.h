#pragma once

#include <string>

// The installed data set's parent folder (the one holding data/): beside the running program
// first, at the same place relative to it as in the install tree, so that a moved or staged
// install still finds its own; then where the build was configured to install. Empty when
// neither holds a data/ folder.
std::string installed_data_parent();

// Called at start-up before anything is read. When the working directory holds no data/ folder,
// changes into the installed data set's parent and says so on stderr after "program: ". A data/
// here always wins; with neither, nothing changes and the first missing file is reported as usual.
void use_installed_data_if_absent(const char* program);
