// Writes the show's default data set: twelve pictures, the effect's texture and the soundtrack,
// all drawn and composed here, the same bytes on every run.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "jpeg_writer.h"
#include "music.h"
#include "pictures.h"
#include "version.h"

namespace {

constexpr int k_usage_status = 64;
constexpr int k_failure_status = 2;

void print_usage(std::FILE* stream)
{
    std::fputs("usage: velmorastik-demo-data [--force] DIR\n"
               "Writes the show's default data set under DIR/data: the intro background and the\n"
               "eleven pictures of the two sets (640x480 JPEG), the effect texture lumo.raw and the\n"
               "soundtrack sfx/lumo.mp3. Refuses to touch an existing DIR/data without --force.\n"
               "  --help     print this text and exit\n"
               "  --version  print the version and exit\n",
               stream);
}

[[noreturn]] void fail(const std::string& what, const std::string& path)
{
    std::fprintf(stderr, "velmorastik-demo-data: %s %s: %s\n", what.c_str(), path.c_str(), std::strerror(errno));
    std::exit(k_failure_status);
}

void make_directory(const std::string& path)
{
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        fail("cannot create", path);
}

void save(const std::string& path, const std::vector<std::uint8_t>& bytes, const char* what)
{
    if (!write_file(path, bytes))
        fail("cannot write", path);
    std::printf("%-28s %9zu bytes  %s\n", path.c_str(), bytes.size(), what);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
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
        } else if (argv[i][0] == '-' || directory != nullptr) {
            print_usage(stderr);
            return k_usage_status;
        } else {
            directory = argv[i];
        }
    }
    if (directory == nullptr) {
        print_usage(stderr);
        return k_usage_status;
    }

    const std::string data = std::string(directory) + "/data";
    struct stat existing;
    if (stat(data.c_str(), &existing) == 0 && !force) {
        std::fprintf(stderr, "velmorastik-demo-data: %s exists; give --force to overwrite its files\n", data.c_str());
        return k_failure_status;
    }
    for (const char* sub : {"", "/gfx", "/gfx/misc", "/gfx/1", "/gfx/2", "/sfx"})
        make_directory(data + sub);

    for (int i = 0; i < k_picture_count; ++i) {
        const PictureInfo& info = picture_info(i);
        const std::vector<std::uint8_t> samples = draw_picture(i);
        save(data + "/" + info.path, encode_jpeg(samples.data(), k_picture_width, k_picture_height, 3, {.quality = 90}),
              info.title);
    }
    save(data + "/lumo.raw", draw_texture(), "the effect's texture");

    const std::vector<std::uint8_t> mp3 = encode_mp3(compose_soundtrack());
    if (mp3.empty()) {
        std::fprintf(stderr, "velmorastik-demo-data: the MP3 encoder failed\n");
        return k_failure_status;
    }
    save(data + "/sfx/lumo.mp3", mp3, "the soundtrack");
    return 0;
}
