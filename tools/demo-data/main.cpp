// Writes the show's default data set: twelve pictures, the effect's texture and the soundtrack,
// all drawn and composed here, the same bytes on every run.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "jpeg_writer.h"
#include "mp3_writer.h"
#include "music.h"
#include "pictures.h"
#include "show/data_set.h"
#include "staging.h"
#include "tool_exit.h"
#include "version.h"

namespace {

constexpr const char* k_no_force = "cannot replace without --force";

void print_usage(std::FILE* stream)
{
    std::fputs("usage: velmorastik-demo-data [--force] DIR\n"
               "Writes the show's default data set under DIR/data: the intro background and the\n"
               "eleven pictures of the two sets (640x480 JPEG), the effect texture lumo.raw and the\n"
               "soundtrack sfx/lumo.mp3. The set is built beside DIR/data and takes its place only\n"
               "when complete. Refuses to replace an existing DIR/data without --force.\n"
               "  --help     print this text and exit\n"
               "  --version  print the version and exit\n",
               stream);
}

}  // namespace

int main(int argc, char** argv)
{
    tool_set_name("velmorastik-demo-data");
    bool force = false;
    const char* directory = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--force") == 0) {
            force = true;
        } else if (std::strcmp(argv[i], "--help") == 0) {
            print_usage(stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("velmorastik-demo-data %s\n", k_version);
            return 0;
        } else if (argv[i][0] == '-') {
            tool_usage_error(std::string("unknown option ") + argv[i], print_usage);
        } else if (directory != nullptr) {
            tool_usage_error(std::string("one directory only, not both ") + directory + " and " + argv[i], print_usage);
        } else {
            directory = argv[i];
        }
    }
    if (directory == nullptr)
        tool_usage_error("no directory given", print_usage);

    const std::string data = std::string(directory) + "/data";
    struct stat existing;
    if (lstat(data.c_str(), &existing) == 0 && !force)
        tool_fail(k_no_force, data, std::strerror(EEXIST));

    // The show's own table, as paths under data/: the pictures, the texture, the soundtrack.
    std::vector<std::string> files = data_set_files();
    for (std::string& file : files)
        file.erase(0, std::strlen(k_data_dir) + 1);
    const std::string& texture = files[k_picture_count];
    const std::string& soundtrack = files[k_picture_count + 1];
    // From here on, whatever was staged goes before a failure's exit.
    tool_on_failure(abandon_staging);
    for (const std::string& path : remove_stale_staging(directory))
        tool_note("removed " + path + ", left by a run that was killed");
    if (!begin_staging(directory, staging_folders(files), files))
        tool_fail_errno("cannot create a folder in", directory);

    auto save = [&](const std::string& name, const std::vector<std::uint8_t>& bytes, const char* what) {
        const std::string path = data + "/" + name;
        if (!stage_file(name, bytes))
            tool_fail_errno("cannot write", path);
        std::printf("%-28s %9zu bytes  %s\n", path.c_str(), bytes.size(), what);
        std::fflush(stdout);
    };
    for (int i = 0; i < k_picture_count; ++i) {
        const std::vector<std::uint8_t> samples = draw_picture(i);
        save(files[i], encode_jpeg(samples.data(), k_picture_width, k_picture_height, 3, {.quality = 90}),
             picture_title(i));
    }
    save(texture, draw_texture(), "the effect's texture");

    const std::vector<std::uint8_t> mp3 = encode_mp3(compose_soundtrack(), k_sample_rate, k_bitrate_kbps);
    if (mp3.empty())
        tool_fail("cannot write", data + "/" + soundtrack, "the MP3 encoder failed");
    save(soundtrack, mp3, "the soundtrack");

    if (!finish_staging(force))
        tool_fail_errno(errno == EEXIST && !force ? k_no_force : "cannot move the new set into", data);
    std::printf("%s complete\n", data.c_str());
    return 0;
}
