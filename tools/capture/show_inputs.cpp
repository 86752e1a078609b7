#include "show_inputs.h"

#include <dirent.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "show/data_set.h"

namespace {

// A still's name as the capture writes it: "frame-", five digits or more, ".png".
bool still_name(const char* name)
{
    if (std::strncmp(name, "frame-", 6) != 0)
        return false;
    const char* p = name + 6;
    std::size_t digits = 0;
    while (*p >= '0' && *p <= '9') {
        ++p;
        ++digits;
    }
    return digits >= 5 && std::strcmp(p, ".png") == 0;
}

}  // namespace

std::string show_input_matching(const FileIdentity& identity)
{
    for (const std::string& path : data_set_files()) {
        FileIdentity input;
        if (file_identity(path.c_str(), &input) && input == identity)
            return path;
    }
    return {};
}

std::string show_input_among_stills(const std::string& folder, std::string* still)
{
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr)
        return {};
    std::string found;
    while (const dirent* entry = readdir(directory)) {
        const std::string path = folder + "/" + entry->d_name;
        FileIdentity identity;
        if (!still_name(entry->d_name) || !file_identity(path.c_str(), &identity))
            continue;
        found = show_input_matching(identity);
        if (!found.empty()) {
            *still = path;
            break;
        }
    }
    closedir(directory);
    return found;
}
