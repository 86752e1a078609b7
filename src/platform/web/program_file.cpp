// The page's program has no file of its own: the data set is the one the page put in data/.
// Its canonical_folder is POSIX's (posix/canonical_folder.cpp).

#include "platform/program_file.h"

std::string program_folder() { return std::string(); }
