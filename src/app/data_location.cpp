#include "app/data_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/program_file.h"
#include "show/data_set.h"

namespace {

bool is_directory(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The canonical folder of path when it holds data/, else empty.
std::string data_parent_at(const std::string& path)
{
    const std::string parent = canonical_folder(path);
    return !parent.empty() && is_directory(parent + "/" + k_data_dir) ? parent : std::string();
}

}  // namespace

std::string build_data_parent()
{
    const std::string folder = program_folder();
    return folder.empty() ? std::string() : data_parent_at(folder + "/" + VELMORASTIK_BUILD_DATA_PARENT_FROM_PROGRAM);
}

std::string installed_data_parent()
{
    const std::string folder = program_folder();
    if (!folder.empty()) {
        const std::string beside = data_parent_at(folder + "/" + VELMORASTIK_DATA_PARENT_FROM_PROGRAM);
        if (!beside.empty())
            return beside;
    }
    return data_parent_at(VELMORASTIK_CONFIGURED_DATA_PARENT);
}

const char* data_location_usage()
{
    return VELMORASTIK_UNPACKED_AS_ONE_FOLDER
               ? "from the data\\ folder in the working directory, or from the one beside the\nprogram when there is none here."
               : "from ./data, or from the installed data set when there is no data/\nfolder here.";
}

const char* further_reading_usage()
{
    return VELMORASTIK_UNPACKED_AS_ONE_FOLDER ? "See README.txt beside the program." : "See velmorastik(6).";
}

void use_installed_data_if_absent(const char* program)
{
    if (is_directory(k_data_dir))
        return;
    const char* which = "the build's";
    std::string parent = build_data_parent();
    if (parent.empty()) {
        which = "the installed";
        parent = installed_data_parent();
    }
    if (parent.empty() || chdir(parent.c_str()) != 0) {
        std::fprintf(stderr, "%s: no %s/ folder here, and no data set of the build or installed\n", program,
                     k_data_dir);
        return;
    }
    std::fprintf(stderr, "%s: no %s/ folder here; playing %s data set %s/%s\n", program, k_data_dir, which,
                 parent.c_str(), k_data_dir);
}
