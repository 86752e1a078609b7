#include "demo_data_sets.h"

#include <cstdlib>
#include <stdexcept>

#include "temp_dir.h"

const std::string& demo_data_sets(const char* script, const char* generator)
{
    static const std::string folder = [&] {
        const char* given = std::getenv("VELMORASTIK_DEMO_DATA_SETS");
        if (given != nullptr && *given != '\0')
            return std::string(given);
        static TempDir made;
        const std::string command = std::string(script) + " " + generator + " " + made.path();
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("cannot make the data sets: " + command);
        return made.path();
    }();
    return folder;
}
