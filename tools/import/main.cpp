// Turns a person's own photos and music into a data set the show plays as it plays its own.

#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/data_location.h"
#include "fx/effect.h"
#include "fx/frame.h"
#include "jpeg_writer.h"
#include "mp3_writer.h"
#include "music_import.h"
#include "picture_fit.h"
#include "platform/data_file.h"
#include "show/data_set.h"
#include "soundtrack.h"
#include "staging.h"
#include "tool_exit.h"
#include "version.h"

namespace {

constexpr const char* k_no_force = "cannot replace without --force";

struct Options {
    bool force = false;
    Fit fit = Fit::contain;
    const char* music = nullptr;
    double music_start = 0.0;
    const char* texture = nullptr;
    const char* directory = nullptr;
    std::vector<const char*> pictures;
};

void print_usage(std::FILE* stream)
{
    std::fputs("usage: velmorastik-import [--force] [--fit contain|cover] [--music FILE]\n"
               "                          [--music-start SECONDS] [--texture IMAGE] DIR PICTURE...\n"
               "Writes a data set for the show under DIR/data from your own pictures (JPEG, PNG,\n"
               "WebP, TIFF, GIF, HEIC and more) and music (MP3, OGG, Opus, FLAC, WAV, M4A and more).\n"
               "The pictures fill the show's twelve places in order (the intro, five, six more;\n"
               "the effect is drawn over the first five), reused when fewer; each is turned upright,\n"
               "converted to sRGB and fitted to 640x480. The music is cut to the show's length and\n"
               "fades out at its end.\n"
               "DIR is created when missing. Then: cd DIR && velmorastik -w\n"
               "  --fit contain       the whole picture with black bars (the default)\n"
               "  --fit cover         the frame filled, the picture's centre kept\n"
               "  --music FILE        the soundtrack (by default the default data set's)\n"
               "  --music-start SECS  where in the music the show starts (default 0)\n"
               "  --texture IMAGE     the effect's texture, fitted to 256x256 (by default the\n"
               "                      default data set's)\n"
               "  --force             replace an existing DIR/data once the new set is complete\n"
               "  --help              print this text and exit\n"
               "  --version           print the version and exit\n",
               stream);
}

[[noreturn]] void usage_error(const std::string& what) { tool_usage_error(what, print_usage); }

Options parse_arguments(int argc, char** argv)
{
    enum { opt_force = 1, opt_fit, opt_music, opt_music_start, opt_texture, opt_help, opt_version };
    static const option long_options[] = {
        {"force", no_argument, nullptr, opt_force},
        {"fit", required_argument, nullptr, opt_fit},
        {"music", required_argument, nullptr, opt_music},
        {"music-start", required_argument, nullptr, opt_music_start},
        {"texture", required_argument, nullptr, opt_texture},
        {"help", no_argument, nullptr, opt_help},
        {"version", no_argument, nullptr, opt_version},
        {nullptr, 0, nullptr, 0},
    };
    Options options;
    opterr = 0;
    for (;;) {
        const int previous = optind;
        const int option = getopt_long(argc, argv, "+", long_options, nullptr);
        if (option == -1)
            break;
        switch (option) {
        case opt_force:
            options.force = true;
            break;
        case opt_fit:
            if (std::strcmp(optarg, "contain") == 0)
                options.fit = Fit::contain;
            else if (std::strcmp(optarg, "cover") == 0)
                options.fit = Fit::cover;
            else
                usage_error(std::string("--fit takes contain or cover, not '") + optarg + "'");
            break;
        case opt_music:
            options.music = optarg;
            break;
        case opt_music_start: {
            char* end = nullptr;
            errno = 0;
            options.music_start = std::strtod(optarg, &end);
            if (end == optarg || *end != '\0' || errno != 0 || !std::isfinite(options.music_start) ||
                options.music_start < 0)
                usage_error(std::string("--music-start takes seconds from 0 on, not '") + optarg + "'");
            break;
        }
        case opt_texture:
            options.texture = optarg;
            break;
        case opt_help:
            print_usage(stdout);
            std::exit(0);
        case opt_version:
            std::printf("velmorastik-import %s\n", k_version);
            std::exit(0);
        default:
            if (optopt != 0)
                usage_error(std::string("option ") + argv[previous] + " needs a value");
            usage_error(std::string("unknown option ") + argv[previous]);
        }
    }
    if (optind == argc)
        usage_error("no directory given");
    options.directory = argv[optind++];
    for (; optind < argc; ++optind)
        options.pictures.push_back(argv[optind]);
    if (options.pictures.empty())
        usage_error("no pictures given");
    return options;
}

bool exists(const std::string& path)
{
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

bool read_file(const std::string& path, std::vector<std::uint8_t>* bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Fails unless path can be opened for reading as a regular file; opening it never waits.
void check_input(const char* what, const char* path)
{
    const DataFile file = data_file_open(path);
    if (file.stream == nullptr)
        tool_fail(what, path, file.reason);
    std::fclose(file.stream);
}

// The places of the show's pictures under data/, in the order the show shows them.
std::vector<std::string> picture_places()
{
    std::vector<std::string> places;
    for (const std::string& path : data_set_pictures())
        places.push_back(path.substr(std::strlen(k_data_dir) + 1));
    return places;
}

// The path under data/ of a file of the show's table.
std::string in_data(const char* show_path) { return show_path + std::strlen(k_data_dir) + 1; }

// The default data set's copy of a file (a path of the show's table): the working directory's
// data/ unless it is the one being replaced, then the build's set, then the installed one.
std::string default_file(const char* show_path, const std::string& target)
{
    std::vector<std::string> parents;
    struct stat here;
    struct stat replaced;
    if (!(stat(k_data_dir, &here) == 0 && stat(target.c_str(), &replaced) == 0 && here.st_dev == replaced.st_dev &&
          here.st_ino == replaced.st_ino))
        parents.push_back(".");
    parents.push_back(build_data_parent());
    parents.push_back(installed_data_parent());
    for (const std::string& parent : parents)
        if (!parent.empty() && exists(parent + "/" + show_path))
            return parent + "/" + show_path;
    return {};
}

// One line, rewritten in place, while the slow part runs; only on a terminal.
class Progress {
public:
    Progress() : shown_(isatty(STDERR_FILENO) != 0) {}
    void say(const std::string& text)
    {
        if (shown_)
            std::fprintf(stderr, "\r\033[K%s: %s", tool_name(), text.c_str());
    }
    void clear()
    {
        if (shown_)
            std::fputs("\r\033[K", stderr);
    }

private:
    bool shown_;
};

Progress g_progress;

void fail_clearing(const std::string& what, const std::string& path, const std::string& reason)
{
    g_progress.clear();
    tool_fail(what, path, reason);
}

// What a damaged or shortened music file lost, said once each; the import goes on with the rest.
void note_damage(const std::string& path, const DecodedMusic& music)
{
    g_progress.clear();
    if (music.damaged_packets > 0)
        tool_note(path + ": " + std::to_string(music.damaged_packets) +
                  (music.damaged_packets == 1 ? " damaged packet" : " damaged packets") + " skipped");
    // Less than a tenth of a second short is within what containers round their lengths to.
    if (music.declared_seconds > 0 && music.decoded_seconds < music.declared_seconds - 0.1) {
        char text[160];
        std::snprintf(text, sizeof text, "%.1f s of its declared %.1f s decoded (%.1f s missing): kept as it is",
                      music.decoded_seconds, music.declared_seconds, music.declared_seconds - music.decoded_seconds);
        tool_note(path + ": " + text);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    tool_set_name("velmorastik-import");
    const Options options = parse_arguments(argc, argv);
    const std::string directory = options.directory;
    const std::string data = directory + "/" + k_data_dir;

    // Refused before the slow part: nothing would come of it.
    if (exists(data) && !options.force)
        tool_fail(k_no_force, data, std::strerror(EEXIST));
    struct stat status;
    const bool new_directory = stat(directory.c_str(), &status) != 0 && errno == ENOENT;
    if (!new_directory && stat(directory.c_str(), &status) != 0)
        tool_fail_errno("cannot use", directory);
    if (!new_directory && !S_ISDIR(status.st_mode))
        tool_fail("cannot use", directory, std::strerror(ENOTDIR));
    const std::string parent = std::filesystem::path(directory).parent_path().string();
    if (new_directory && stat(parent.empty() ? "." : parent.c_str(), &status) != 0)
        tool_fail_errno("cannot create", directory);
    if (new_directory && !S_ISDIR(status.st_mode))
        tool_fail("cannot create", directory, std::strerror(ENOTDIR));
    // Every input named is a regular file there to be read, before any of the slow work.
    for (const char* input : options.pictures)
        check_input("cannot read the picture", input);
    if (options.music != nullptr)
        check_input("cannot read the music", options.music);
    if (options.texture != nullptr)
        check_input("cannot read the texture", options.texture);

    std::string reason;
    if (!picture_fit_start(argv[0], &reason))
        tool_fail("cannot start libvips", "", reason);

    // The pictures fill the places in order, reused from the first when there are fewer.
    const std::vector<std::string> places = picture_places();
    const std::size_t used = std::min(options.pictures.size(), places.size());
    if (options.pictures.size() < places.size())
        tool_note(std::to_string(used) + (used == 1 ? " picture" : " pictures") + " for the show's " +
                  std::to_string(places.size()) + " places: reused in order");
    for (std::size_t i = places.size(); i < options.pictures.size(); ++i)
        tool_note(std::string("left out (the show has ") + std::to_string(places.size()) +
                  " places): " + options.pictures[i]);
    std::vector<std::vector<std::uint8_t>> jpegs;
    for (std::size_t i = 0; i < used; ++i) {
        const char* path = options.pictures[i];
        g_progress.say("picture " + std::to_string(i + 1) + " of " + std::to_string(used) + ": " + path);
        const std::vector<std::uint8_t> samples = fit_picture(path, options.fit, k_frame_width, k_frame_height,
                                                              &reason);
        if (samples.empty())
            fail_clearing("cannot read the picture", path, reason);
        jpegs.push_back(encode_jpeg(samples.data(), k_frame_width, k_frame_height, 3, k_imported_picture_jpeg));
    }

    std::vector<std::uint8_t> texture;
    std::string texture_source = options.texture != nullptr ? options.texture : "";
    if (options.texture != nullptr) {
        g_progress.say(std::string("texture: ") + options.texture);
        texture = fit_picture(options.texture, Fit::cover, k_texture_size, k_texture_size, &reason);
        if (texture.empty())
            fail_clearing("cannot read the texture", options.texture, reason);
    } else {
        texture_source = default_file(k_texture_file_path, data);
        if (texture_source.empty())
            fail_clearing("no texture: give one with --texture, as no default data set was found", "", "");
        if (!read_file(texture_source, &texture))
            fail_clearing("cannot read the default texture", texture_source, std::strerror(errno));
        if (texture.size() != static_cast<std::size_t>(k_texture_bytes))
            fail_clearing("cannot use the default texture", texture_source,
                          std::to_string(texture.size()) + " bytes, not " + std::to_string(k_texture_bytes));
    }

    std::vector<std::uint8_t> mp3;
    if (options.music != nullptr) {
        g_progress.say(std::string("music: ") + options.music);
        const std::size_t show_samples = show_music_frames();
        DecodedMusic decoded = decode_music(options.music, options.music_start, show_samples);
        if (decoded.samples.empty())
            fail_clearing("cannot read the music", options.music, decoded.reason);
        note_damage(options.music, decoded);
        std::vector<std::int16_t> music = std::move(decoded.samples);
        end_with_show(music, show_samples);
        g_progress.say(std::string("music: ") + options.music + " (encoding)");
        mp3 = encode_mp3(music, k_music_sample_rate, k_music_bitrate_kbps);
        if (mp3.empty())
            fail_clearing("cannot encode the music", options.music, "the MP3 encoder failed");
    } else {
        const std::string source = default_file(k_soundtrack_path, data);
        if (source.empty())
            tool_note("no soundtrack: no default data set was found, and no --music given");
        else if (!read_file(source, &mp3))
            fail_clearing("cannot read the default soundtrack", source, std::strerror(errno));
    }
    g_progress.clear();

    std::vector<std::string> files(places.begin(), places.end());
    files.push_back(in_data(k_texture_file_path));
    if (!mp3.empty())
        files.push_back(in_data(k_soundtrack_path));
    // A new DIR is made only now that the set is ready, and goes again if the set cannot be written.
    // From here on, whatever was staged, and a DIR made for it, goes before a failure's exit.
    tool_on_failure(abandon_staging);
    if (new_directory) {
        if (mkdir(directory.c_str(), 0755) != 0)
            tool_fail_errno("cannot create", directory);
        if (!staging_made_directory(directory))
            tool_fail_errno("cannot use", directory);
    }
    for (const std::string& path : remove_stale_staging(directory))
        tool_note("removed " + path + ", left by a run that was killed");
    if (!begin_staging(directory, staging_folders(files), files))
        tool_fail_errno("cannot create a folder in", directory);
    for (std::size_t i = 0; i < places.size(); ++i)
        if (!stage_file(places[i], jpegs[i % used]))
            tool_fail_errno("cannot write", data + "/" + places[i]);
    if (!stage_file(in_data(k_texture_file_path), texture))
        tool_fail_errno("cannot write", data + "/" + in_data(k_texture_file_path));
    if (!mp3.empty() && !stage_file(in_data(k_soundtrack_path), mp3))
        tool_fail_errno("cannot write", data + "/" + in_data(k_soundtrack_path));
    if (!finish_staging(options.force))
        tool_fail_errno(errno == EEXIST && !options.force ? k_no_force : "cannot move the new set into", data);
    std::printf("%s complete\n", data.c_str());
    return 0;
}
