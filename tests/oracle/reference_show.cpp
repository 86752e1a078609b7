// The whole show rendered the plain way on a virtual clock: every frame copies its picture, draws
// the effect over it on effect frames and fades it, one whole-frame pass each (oracle_frame.h), as
// the show is described rather than as it is optimised. It is the yardstick of
// bench/show_speed.sh, and the end-to-end tests compare the capture tool's frames with its frames.
// The phases' sequence and levels are written out again here, so that the timeline is checked
// too; their rates are the timeline's.
//   velmorastik-reference-show DIR FPS [RAW]
// Plays the data set in DIR/data at FPS frames a second. With RAW ('-' for standard output) the
// frames go there as the capture tool writes them, and 'frames: N' goes to standard error;
// without it, standard output gets what the capture tool's --hashes writes: each frame's hash, the
// digest of them all and 'frames: N'.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fx/effect.h"
#include "fx/frame.h"
#include "fx/frame_hash.h"
#include "fx/show_frame.h"
#include "image/jpeg_loader.h"
#include "oracle_frame.h"
#include "show/data_set.h"
#include "show/texture_file.h"
#include "show/timeline.h"
#include "show/virtual_clock.h"

namespace {

struct Output {
    std::FILE* raw = nullptr;
    std::uint64_t digest = k_frame_hash_basis;
    std::uint64_t frames = 0;
};

struct Show {
    std::uint64_t fps = 0;
    Output output;
    std::uint16_t scroll = 0;
    Frame32* frame = nullptr;
    Frame32* pictures[2] = {};  // 0: the one faded out, 1: the one faded in

    double now() const { return static_cast<double>(virtual_clock_ms(output.frames, fps)); }

    void present()
    {
        if (output.raw != nullptr) {
            if (std::fwrite(frame->pixels, 1, k_frame_bytes, output.raw) != k_frame_bytes) {
                std::perror("velmorastik-reference-show: cannot write");
                std::exit(2);
            }
        } else {
            std::printf("%s\n", hash_text(frame_hash(*frame)).c_str());
            output.digest = frame_hash_add(output.digest, frame->pixels, k_frame_bytes);
        }
        ++output.frames;
    }

    // One fade: out raises the amount from 0 to 255, in lowers it; the level runs from the phase's
    // start, held in single precision, and clamped. The effect's angle runs from the show's start.
    void phase(const Frame32& picture, bool out, bool effect, bool intro)
    {
        const float start = static_cast<float>(now() * k_level_per_ms);
        if (!intro && now() * k_level_per_ms - start >= 255.0)
            return;
        float level = 0.0f;
        while (level < 255.0f) {
            const double time = now();
            const double raw_level = time * k_level_per_ms - start;
            level = raw_level < 0.0 ? 0.0f : raw_level > 255.0 ? 255.0f : static_cast<float>(raw_level);
            const auto amount = static_cast<std::uint32_t>(out ? level : 255.0 - level);
            scroll = oracle_show_frame(*frame, picture, amount, effect ? time * k_angle_per_ms : k_no_effect, scroll);
            present();
        }
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4 || chdir(argv[1]) != 0) {
        std::fputs("usage: velmorastik-reference-show DIR FPS [RAW]\n", stderr);
        return 64;
    }
    Show show;
    show.fps = std::strtoull(argv[2], nullptr, 10);
    if (show.fps < 1 || show.fps > 1000) {
        std::fputs("velmorastik-reference-show: FPS must be 1 to 1000\n", stderr);
        return 64;
    }
    if (argc == 4) {
        show.output.raw = std::strcmp(argv[3], "-") == 0 ? stdout : std::fopen(argv[3], "wb");
        if (show.output.raw == nullptr) {
            std::perror(argv[3]);
            return 2;
        }
    }
    if (!effect_init(k_frame_width, k_frame_height, load_texture_file()))
        return 2;
    show.frame = allocate_frame();
    show.pictures[0] = allocate_frame();
    show.pictures[1] = allocate_frame();
    if (show.frame == nullptr || show.pictures[0] == nullptr || show.pictures[1] == nullptr)
        return 2;

    // The intro fades in; every later picture fades in after the one on screen fades out.
    const std::vector<std::string> pictures = data_set_pictures();
    load_picture(pictures[0].c_str(), show.pictures[1]);
    show.phase(*show.pictures[1], false, false, true);
    for (std::size_t k = 1; k < pictures.size(); ++k) {
        // The picture on screen is read again before it fades out.
        load_picture(pictures[k - 1].c_str(), show.pictures[0]);
        load_picture(pictures[k].c_str(), show.pictures[1]);
        const bool effect = k <= static_cast<std::size_t>(k_effect_transitions);
        show.phase(*show.pictures[0], true, effect, false);
        show.phase(*show.pictures[1], false, effect, false);
    }

    free_frame(show.frame);
    free_frame(show.pictures[0]);
    free_frame(show.pictures[1]);
    if (show.output.raw == nullptr) {
        std::printf("digest: %s\nframes: %llu\n", hash_text(show.output.digest).c_str(),
                    static_cast<unsigned long long>(show.output.frames));
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    std::fprintf(stderr, "frames: %llu\n", static_cast<unsigned long long>(show.output.frames));
    return std::fclose(show.output.raw) == 0 ? 0 : 2;
}
