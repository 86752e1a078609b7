#pragma once

#include <string>

// The installed data set's parent folder (the one holding data/): first under the prefix the
// running program sits in (the parent of its folder, bin/ or games/), so that a moved or staged
// install finds its own; then under the prefix the build was configured for. On Windows, where
// the show is unpacked as one folder, that is the program's own folder. Empty when none holds a
// data/ folder.
std::string installed_data_parent();

// The parent folder of the data set that the build made beside its programs (build/data-set),
// when the running program is one of the build's and that set exists; else empty.
std::string build_data_parent();

// The usage texts' words for where the data set is looked for, ending "here." with no newline,
// and for where to read more: an install under a prefix has a manual page; programs unpacked as
// one folder (Windows) look beside themselves and come with README.txt.
const char* data_location_usage();
const char* further_reading_usage();

// Called at start-up before anything is read. When the working directory holds no data/ folder,
// changes into the parent of the build's data set, or else of the installed one, and says which
// on stderr after "program: ". A data/ here always wins; with none, it says so, nothing changes,
// and the first missing file is reported as usual.
void use_installed_data_if_absent(const char* program);
