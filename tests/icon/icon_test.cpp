#include <gtest/gtest.h>

#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "jpeg_writer.h"
#include "platform/output_file.h"
#include "run_command.h"
#include "square_icon.h"
#include "temp_dir.h"

namespace {

struct Rgb {
    std::uint8_t r, g, b;
};

std::vector<std::uint8_t> fill(int width, int height, Rgb (*colour)(int x, int y))
{
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            rgb.insert(rgb.end(), {c.r, c.g, c.b});
        }
    return rgb;
}

// The show's picture shape: red side bands outside the centred 480x480 square, green above and
// blue below its middle row.
Rgb banded(int x, int y)
{
    if (x < 80 || x >= 560)
        return {255, 0, 0};
    return y < 240 ? Rgb{0, 255, 0} : Rgb{0, 0, 255};
}

Rgb pixel(const std::vector<std::uint8_t>& icon, int x, int y)
{
    const std::size_t i = (static_cast<std::size_t>(y) * 256 + x) * 3;
    return {icon[i], icon[i + 1], icon[i + 2]};
}

TEST(SquareIcon, KeepsTheCentredSquareAndItsFlatColoursExactly)
{
    const auto picture = fill(640, 480, banded);
    const auto icon = square_icon(picture.data(), 640, 480, 256);
    ASSERT_EQ(icon.size(), 256u * 256u * 3u);
    // Icon row 128 starts exactly at picture row 240 (480 / 256 = 1.875), so no row mixes.
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const Rgb got = pixel(icon, x, y);
            const Rgb want = y < 128 ? Rgb{0, 255, 0} : Rgb{0, 0, 255};
            ASSERT_TRUE(got.r == want.r && got.g == want.g && got.b == want.b)
                << "at " << x << "," << y << ": expected " << +want.r << "," << +want.g << "," << +want.b << ", got "
                << +got.r << "," << +got.g << "," << +got.b;
        }
}

TEST(SquareIcon, AveragesByAreaKeepingTheMeanAndPassesItsOwnSizeThrough)
{
    std::mt19937 random(11);
    std::vector<std::uint8_t> noise(480 * 480 * 3);
    for (auto& v : noise)
        v = static_cast<std::uint8_t>(random());
    const auto icon = square_icon(noise.data(), 480, 480, 256);
    double picture_mean = 0, icon_mean = 0;
    for (auto v : noise)
        picture_mean += v;
    for (auto v : icon)
        icon_mean += v;
    picture_mean /= static_cast<double>(noise.size());
    icon_mean /= static_cast<double>(icon.size());
    EXPECT_NEAR(icon_mean, picture_mean, 0.05) << "area averaging keeps the mean up to rounding";

    // Two picture rows and columns into one icon pixel: the exact mean of the four, rounded.
    const auto halved = square_icon(noise.data(), 480, 480, 240);
    const auto at = [&](int x, int y, int c) { return noise[(static_cast<std::size_t>(y) * 480 + x) * 3 + c]; };
    for (int c = 0; c < 3; ++c) {
        const int sum = at(20, 30, c) + at(21, 30, c) + at(20, 31, c) + at(21, 31, c);
        EXPECT_EQ(halved[(15 * 240 + 10) * 3 + c], (sum + 2) / 4) << "component " << c;
    }

    const auto same = square_icon(noise.data(), 480, 480, 480);
    EXPECT_EQ(same, noise);
}

// Runs the icon tool; its exit status and standard error.
int run_tool(const std::string& arguments, std::string* error)
{
    const CommandRun run = run_command(std::string(VELMORASTIK_ICON) + " " + arguments + " 2>&1 >/dev/null");
    *error = run.output;
    return run.status;
}

bool exists(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

TEST(IconTool, WritesA256PixelPngOfThePicturesCentre)
{
    TempDir directory;
    const auto picture = fill(640, 480, banded);
    ASSERT_TRUE(output_write_whole(directory.file("intro.jpg"),
                                   encode_jpeg(picture.data(), 640, 480, 3, {.quality = 95, .store_rgb = true})));
    std::string error;
    ASSERT_EQ(run_tool(directory.file("intro.jpg") + " " + directory.file("icon.png"), &error), 0) << error;
    EXPECT_EQ(names_in(directory.path()), (std::vector<std::string>{"icon.png", "intro.jpg"})) << "nothing left beside";

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_file(&image, directory.file("icon.png").c_str()), 0) << image.message;
    EXPECT_EQ(image.width, 256u);
    EXPECT_EQ(image.height, 256u);
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> icon(PNG_IMAGE_SIZE(image));
    ASSERT_NE(png_image_finish_read(&image, nullptr, icon.data(), 0, nullptr), 0) << image.message;

    // Away from the middle row, where the encoder's blocks may blur, the colours come through;
    // the left and right columns show the square's edge, not the red bands.
    for (const auto& [x, y, want] : {std::tuple{0, 10, Rgb{0, 255, 0}}, std::tuple{255, 100, Rgb{0, 255, 0}},
                                     std::tuple{0, 150, Rgb{0, 0, 255}}, std::tuple{255, 250, Rgb{0, 0, 255}}}) {
        const Rgb got = pixel(icon, x, y);
        EXPECT_NEAR(got.r, want.r, 3) << "at " << x << "," << y;
        EXPECT_NEAR(got.g, want.g, 3) << "at " << x << "," << y;
        EXPECT_NEAR(got.b, want.b, 3) << "at " << x << "," << y;
    }
}

TEST(IconTool, FailsNamingTheFileAndLeavesNoIcon)
{
    TempDir directory;
    std::string error;
    EXPECT_EQ(run_tool(directory.file("missing.jpg") + " " + directory.file("icon.png"), &error), 2);
    EXPECT_EQ(error,
              "velmorastik-icon: cannot read: " + directory.file("missing.jpg") + ": No such file or directory\n");
    EXPECT_FALSE(exists(directory.file("icon.png")));

    ASSERT_TRUE(output_write_whole(directory.file("broken.jpg"), {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 'J', 'F'}));
    EXPECT_EQ(run_tool(directory.file("broken.jpg") + " " + directory.file("icon.png"), &error), 2);
    EXPECT_NE(error.find(directory.file("broken.jpg")), std::string::npos) << error;
    EXPECT_FALSE(exists(directory.file("icon.png")));

    const auto picture = fill(640, 480, banded);
    ASSERT_TRUE(output_write_whole(directory.file("intro.jpg"), encode_jpeg(picture.data(), 640, 480, 3)));
    const std::string unwritable = directory.file("no-such-folder/icon.png");
    EXPECT_EQ(run_tool(directory.file("intro.jpg") + " " + unwritable, &error), 2);
    EXPECT_NE(error.find(unwritable), std::string::npos) << error;

    EXPECT_EQ(run_tool(directory.file("intro.jpg"), &error), 64) << "one argument is a usage error";
}

}  // namespace
