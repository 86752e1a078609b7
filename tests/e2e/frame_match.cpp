// Tells whether a screenshot shows a picture as the show draws it: every pixel equal to the
// picture's pixel less one fade amount (floor 0). A screenshot of another size is compared column
// by column and row by row with the nearest source pixel, give or take one for the rounding of
// the scaler.
//
//   frame_match SHOT.ppm PICTURE.jpg [--amount N]
//
// Prints "amount N" and exits 0 on a match (with --amount, only that amount matches), 1 otherwise;
// a shot with less than a quarter of its pixels lit matches nothing.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fx/frame.h"
#include "image/jpeg_loader.h"

namespace {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

bool read_ppm(const char* path, Image* image)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    int max = 0;
    const bool header = std::fscanf(file, "P6 %d %d %d", &image->width, &image->height, &max) == 3 && max == 255 &&
                        std::fgetc(file) != EOF;
    if (header) {
        image->rgb.resize(std::size_t(image->width) * image->height * 3);
        const bool complete = std::fread(image->rgb.data(), 1, image->rgb.size(), file) == image->rgb.size();
        std::fclose(file);
        return complete;
    }
    std::fclose(file);
    return false;
}

int channel(std::uint32_t pixel, int c) { return (pixel >> (16 - 8 * c)) & 0xFF; }

bool pixel_matches(const unsigned char* shot, std::uint32_t picture, int amount)
{
    for (int c = 0; c < 3; ++c) {
        const int faded = channel(picture, c) > amount ? channel(picture, c) - amount : 0;
        if (shot[c] != faded)
            return false;
    }
    return true;
}

// Source rows or columns a screenshot position may show.
void candidates(int position, int shot_size, int frame_size, int* first, int* last)
{
    const int centre = static_cast<int>(static_cast<long long>(position) * frame_size / shot_size);
    const int slack = shot_size == frame_size ? 0 : 1;
    *first = centre - slack < 0 ? 0 : centre - slack;
    *last = centre + slack >= frame_size ? frame_size - 1 : centre + slack;
}

bool matches(const Image& shot, const Frame32& picture, int amount, int* bad_x, int* bad_y)
{
    for (int y = 0; y < shot.height; ++y) {
        int row_first, row_last;
        candidates(y, shot.height, k_frame_height, &row_first, &row_last);
        for (int x = 0; x < shot.width; ++x) {
            int col_first, col_last;
            candidates(x, shot.width, k_frame_width, &col_first, &col_last);
            const unsigned char* pixel = &shot.rgb[(std::size_t(y) * shot.width + x) * 3];
            bool found = false;
            for (int sy = row_first; sy <= row_last && !found; ++sy)
                for (int sx = col_first; sx <= col_last && !found; ++sx)
                    found = pixel_matches(pixel, picture.pixels[sy * k_frame_width + sx], amount);
            if (!found) {
                *bad_x = x;
                *bad_y = y;
                return false;
            }
        }
    }
    return true;
}

Frame32 g_picture;

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && !(argc == 5 && std::strcmp(argv[3], "--amount") == 0)) {
        std::fputs("usage: frame_match SHOT.ppm PICTURE.jpg [--amount N]\n", stderr);
        return 2;
    }
    Image shot;
    if (!read_ppm(argv[1], &shot)) {
        std::fprintf(stderr, "cannot read %s as a binary PPM\n", argv[1]);
        return 2;
    }
    load_picture(argv[2], &g_picture);

    // A black screen would match any picture faded all the way out.
    std::size_t lit = 0;
    for (std::size_t i = 0; i < shot.rgb.size(); i += 3)
        lit += (shot.rgb[i] | shot.rgb[i + 1] | shot.rgb[i + 2]) != 0;
    if (lit * 4 < shot.rgb.size() / 3) {
        std::printf("no match: only %zu of %zu pixels of the shot are lit\n", lit, shot.rgb.size() / 3);
        return 1;
    }

    // The top-left pixel shows the top-left source pixel at every scale: it tells the amount.
    int first = 0, last = 255;
    if (argc == 5)
        first = last = std::atoi(argv[4]);
    int bad_x = 0, bad_y = 0;
    for (int amount = first; amount <= last; ++amount) {
        if (!pixel_matches(shot.rgb.data(), g_picture.pixels[0], amount))
            continue;
        if (matches(shot, g_picture, amount, &bad_x, &bad_y)) {
            std::printf("amount %d\n", amount);
            return 0;
        }
    }
    std::printf("no match: %dx%d shot differs from %s (first differing pixel of the last amount "
                "tried at %d,%d)\n",
                shot.width, shot.height, argv[2], bad_x, bad_y);
    return 1;
}
