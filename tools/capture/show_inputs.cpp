#include "show_inputs.h"

#include <dirent.h>

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "show/data_set.h"
#include "show/timeline.h"

namespace {

// Every input's path, from the data set's own table and the timeline's picture counts.
std::vector<std::string> show_inputs()
{
    std::vector<std::string> paths = {k_intro_picture_path};
    for (const auto& [format, count] : {std::pair{k_first_set_format, k_first_set_count},
                                        std::pair{k_second_set_format, k_second_set_count}})
        for (int k = 1; k <= count; ++k) {
            char path[64];
            std::snprintf(path, sizeof path, format, k);
            paths.emplace_back(path);
        }
    paths.emplace_back(k_texture_file_path);
    paths.emplace_back(k_soundtrack_path);
    return paths;
}

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
    for (const std::string& path : show_inputs()) {
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
