#include "show/data_set.h"

#include <cstdio>
#include <utility>

#include "show/timeline.h"

std::vector<std::string> data_set_pictures()
{
    std::vector<std::string> paths = {k_intro_picture_path};
    for (const auto& [format, count] :
         {std::pair{k_first_set_format, k_first_set_count}, std::pair{k_second_set_format, k_second_set_count}})
        for (int k = 1; k <= count; ++k) {
            char path[64];
            std::snprintf(path, sizeof path, format, k);
            paths.emplace_back(path);
        }
    return paths;
}

std::vector<std::string> data_set_files()
{
    std::vector<std::string> paths = data_set_pictures();
    paths.emplace_back(k_texture_file_path);
    paths.emplace_back(k_soundtrack_path);
    return paths;
}
