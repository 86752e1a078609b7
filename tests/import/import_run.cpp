#include "import_run.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "run_command.h"
#include "temp_dir.h"

const char* const k_picture_places[12] = {"gfx/misc/tzback.jpg", "gfx/1/1.jpg", "gfx/1/2.jpg", "gfx/1/3.jpg",
                                          "gfx/1/4.jpg",         "gfx/1/5.jpg", "gfx/2/1.jpg", "gfx/2/2.jpg",
                                          "gfx/2/3.jpg",         "gfx/2/4.jpg", "gfx/2/5.jpg", "gfx/2/6.jpg"};

ImportRun run_import(const std::string& where, const std::string& arguments)
{
    // stderr through the pipe, stdout (the one line saying the set is complete) dropped.
    const CommandRun run =
        run_command("cd " + where + " && " + VELMORASTIK_IMPORT + " " + arguments + " 2>&1 >/dev/null");
    return {run.status, run.output};
}

std::map<std::string, std::vector<std::uint8_t>> files_under(const std::string& folder)
{
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), folder).string()] = read_bytes(entry.path().string());
    return files;
}

std::vector<std::uint8_t> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
