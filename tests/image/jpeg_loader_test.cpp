#include <gtest/gtest.h>

#include "death_tests.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <jpeglib.h>

#include "fx/frame.h"
#include "image/jpeg_loader.h"
#include "image/rgb_repack.h"
#include "jpeg_reference.h"
#include "jpeg_streams.h"
#include "jpeg_writer.h"
#include "platform/output_file.h"
#include "temp_dir.h"

namespace {

constexpr std::uint32_t k_untouched = 0x12345678;

// A picture with structure in every channel, so that a shifted or swapped sample shows.
std::vector<std::uint8_t> test_samples(int width, int height, int components)
{
    std::vector<std::uint8_t> samples;
    samples.reserve(static_cast<std::size_t>(width) * height * components);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c)
                samples.push_back(static_cast<std::uint8_t>((x * (c + 1) + y * (3 - c) + (x ^ y) * c) & 0xFF));
    return samples;
}

std::vector<std::uint8_t> solid_samples(int width, int height, std::vector<std::uint8_t> colour)
{
    std::vector<std::uint8_t> samples;
    for (int i = 0; i < width * height; ++i)
        samples.insert(samples.end(), colour.begin(), colour.end());
    return samples;
}

std::vector<std::uint8_t> test_jpeg(int width, int height, int components = 3, JpegSettings settings = {})
{
    return encode_jpeg(test_samples(width, height, components).data(), width, height, components, settings);
}

// A frame with guard words after it, to see that nothing is written past the 307,200 pixels.
struct GuardedFrame {
    Frame32 frame;
    std::uint32_t guard[4096];
};

class JpegLoaderTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Nothing an earlier test left in the loader's globals may show here.
        g_decoded_width = 0;
        g_decoded_height = 0;
        g_decode_limits = k_decode_limits;
        destination_ = new GuardedFrame;
        ASSERT_NE(destination_, nullptr);
        std::fill(std::begin(destination_->frame.pixels), std::end(destination_->frame.pixels), k_untouched);
        std::fill(std::begin(destination_->guard), std::end(destination_->guard), k_untouched);
    }
    void TearDown() override { delete destination_; }

    std::string save(const std::vector<std::uint8_t>& bytes, const char* name = "picture.jpg")
    {
        const std::string path = directory_.file(name);
        EXPECT_TRUE(output_write_whole(path, bytes));
        return path;
    }

    std::uint32_t* pixels() { return destination_->frame.pixels; }

    bool guard_intact() const
    {
        return std::all_of(std::begin(destination_->guard), std::end(destination_->guard),
                           [](std::uint32_t word) { return word == k_untouched; });
    }

    // The loader's pixel for a reference sample triple.
    static std::uint32_t packed(const std::uint8_t* rgb)
    {
        return 0xFF000000u | std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 | rgb[2];
    }

    TempDir directory_;
    GuardedFrame* destination_ = nullptr;
};

TEST_F(JpegLoaderTest, ColourPictureFillsTheFrameWithLibjpegsSamples)
{
    const auto jpeg = test_jpeg(640, 480);
    const ReferenceImage reference = decode_reference(jpeg);
    ASSERT_EQ(reference.components, 3);
    load_picture(save(jpeg).c_str(), &destination_->frame);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            ASSERT_EQ(pixels()[y * 640 + x], packed(reference.at(x, y))) << "x " << x << " y " << y;
    EXPECT_TRUE(guard_intact());
    EXPECT_EQ(g_decoded_width, 640u);
    EXPECT_EQ(g_decoded_height, 480u);
}

TEST_F(JpegLoaderTest, PureColoursKeepTheirSamples)
{
    const JpegSettings exact{.quality = 100, .store_rgb = true};
    load_picture(save(encode_jpeg(solid_samples(640, 480, {255, 0, 0}).data(), 640, 480, 3, exact)).c_str(),
                 &destination_->frame);
    EXPECT_EQ(pixels()[0], 0xFFFF0000u);
    EXPECT_EQ(pixels()[k_frame_pixels - 1], 0xFFFF0000u);

    load_picture(save(encode_jpeg(solid_samples(640, 480, {0, 0, 0}).data(), 640, 480, 3, exact)).c_str(),
                 &destination_->frame);
    EXPECT_EQ(pixels()[12345], 0xFF000000u);
}

TEST_F(JpegLoaderTest, SmallerPictureLandsRowsBackToBack)
{
    const auto jpeg = test_jpeg(320, 240);
    const ReferenceImage reference = decode_reference(jpeg);
    load_picture(save(jpeg).c_str(), &destination_->frame);
    // Frame row 0 holds picture rows 0 and 1, and so on to frame row 119.
    EXPECT_EQ(pixels()[0], packed(reference.at(0, 0)));
    EXPECT_EQ(pixels()[320], packed(reference.at(0, 1)));
    EXPECT_EQ(pixels()[640 + 5], packed(reference.at(5, 2)));
    EXPECT_EQ(pixels()[76799], packed(reference.at(319, 239)));
    for (std::size_t i = 76800; i < k_frame_pixels; ++i)
        ASSERT_EQ(pixels()[i], k_untouched) << "pixel " << i;
}

TEST_F(JpegLoaderTest, PortraitPictureOfTheFramesPixelCountIsRepackedWholeAndSaidInOneLine)
{
    // 480x640 holds exactly the frame's 307,200 pixels: every row lands, 480 to each 640 of the frame.
    const auto jpeg = test_jpeg(480, 640);
    const ReferenceImage reference = decode_reference(jpeg);
    const std::string path = save(jpeg, "portrait.jpg");
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "WebAssembly's stderr goes to the JavaScript console, where it cannot be captured";
#endif
    testing::internal::CaptureStderr();
    load_picture(path.c_str(), &destination_->frame);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(pixels()[480], packed(reference.at(0, 1)));
    EXPECT_EQ(pixels()[640 * 480 - 481], packed(reference.at(479, 638)));
    EXPECT_EQ(pixels()[k_frame_pixels - 1], packed(reference.at(479, 639))) << "the last row is shown too";
    EXPECT_TRUE(guard_intact());
    EXPECT_EQ(said, path + ": 480x640 pixels, not 640x480: showing all of it, its rows of 480 laid back to back "
                           "across the frame's rows of 640 (velmorastik-import fits pictures to the show)\n");
}

TEST_F(JpegLoaderTest, ProgressiveFileDecodesLikeLibjpeg)
{
    const auto jpeg = test_jpeg(640, 480, 3, {.quality = 85, .progressive = true});
    const ReferenceImage reference = decode_reference(jpeg);
    load_picture(save(jpeg).c_str(), &destination_->frame);
    for (int i = 0; i < 640 * 480; i += 997)
        ASSERT_EQ(pixels()[i], packed(reference.at(i % 640, i / 640))) << "pixel " << i;
    EXPECT_EQ(pixels()[k_frame_pixels - 1], packed(reference.at(639, 479)));
}

TEST_F(JpegLoaderTest, GrayscaleFileShowsAsGray)
{
    const auto jpeg = test_jpeg(640, 480, 1);
    const ReferenceImage reference = decode_reference(jpeg);
    ASSERT_EQ(reference.components, 1);
    load_picture(save(jpeg).c_str(), &destination_->frame);
    for (int i = 0; i < 640 * 480; i += 101) {
        const std::uint32_t g = *reference.at(i % 640, i / 640);
        ASSERT_EQ(pixels()[i], 0xFF000000u | g << 16 | g << 8 | g) << "pixel " << i;
    }
}

TEST_F(JpegLoaderTest, AdobeCmykFileShowsInColour)
{
    // Inverted CMYK as Adobe applications store it: red (C 0, M 100%, Y 100%, K 0) is stored
    // as the samples 255, 0, 0, 255.
    load_picture(save(encode_jpeg(solid_samples(640, 480, {255, 0, 0, 255}).data(), 640, 480, 4)).c_str(),
                 &destination_->frame);
    EXPECT_EQ(pixels()[0], 0xFFFF0000u);
    EXPECT_EQ(pixels()[k_frame_pixels - 1], 0xFFFF0000u);

    const auto jpeg = test_jpeg(640, 480, 4);
    const ReferenceImage reference = decode_reference(jpeg);
    ASSERT_EQ(reference.components, 4);
    load_picture(save(jpeg).c_str(), &destination_->frame);
    for (int i = 0; i < 640 * 480; i += 101) {
        const std::uint8_t* cmyk = reference.at(i % 640, i / 640);
        const std::uint8_t rgb[3] = {static_cast<std::uint8_t>((cmyk[0] * cmyk[3] + 127) / 255),
                                     static_cast<std::uint8_t>((cmyk[1] * cmyk[3] + 127) / 255),
                                     static_cast<std::uint8_t>((cmyk[2] * cmyk[3] + 127) / 255)};
        ASSERT_EQ(pixels()[i], packed(rgb)) << "pixel " << i;
    }
}

TEST_F(JpegLoaderTest, LargerPictureIsCroppedToTheFrame)
{
    const auto jpeg = test_jpeg(800, 600);
    const ReferenceImage reference = decode_reference(jpeg);
    load_picture(save(jpeg).c_str(), &destination_->frame);
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 3)
            ASSERT_EQ(pixels()[y * 640 + x], packed(reference.at(x, y))) << "x " << x << " y " << y;
    EXPECT_EQ(pixels()[k_frame_pixels - 1], packed(reference.at(639, 479)));
    EXPECT_TRUE(guard_intact()) << "nothing written past the frame";
    EXPECT_EQ(g_decoded_width, 640u);
    EXPECT_EQ(g_decoded_height, 480u);

    // Taller than the frame but narrower: at most 480 rows, back to back.
    const auto tall = test_jpeg(600, 1000);
    const ReferenceImage tall_reference = decode_reference(tall);
    load_picture(save(tall).c_str(), &destination_->frame);
    EXPECT_EQ(pixels()[600 * 479 + 599], packed(tall_reference.at(599, 479)));
    EXPECT_EQ(pixels()[600 * 480], packed(reference.at(0, 450))) << "the previous picture's pixels stay";
    EXPECT_TRUE(guard_intact());
}

TEST_F(JpegLoaderTest, TruncatedFileLoadsWhole)
{
    auto jpeg = test_jpeg(640, 480);
    jpeg.resize(jpeg.size() * 6 / 10);
    const ReferenceImage reference = decode_reference(jpeg);
    ASSERT_EQ(reference.width, 640);
    load_picture(save(jpeg).c_str(), &destination_->frame);
    EXPECT_EQ(pixels()[0], packed(reference.at(0, 0)));
    EXPECT_EQ(pixels()[k_frame_pixels - 1], packed(reference.at(639, 479)));
    EXPECT_EQ(pixels()[k_frame_pixels - 1] >> 24, 0xFFu);
}

TEST_F(JpegLoaderTest, LoadingTwiceGivesTheSamePixels)
{
    const std::string path = save(test_jpeg(640, 480));
    load_picture(path.c_str(), &destination_->frame);
    const std::vector<std::uint32_t> first(pixels(), pixels() + k_frame_pixels);
    std::fill(pixels(), pixels() + k_frame_pixels, 0);
    load_picture(path.c_str(), &destination_->frame);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), pixels()));
}

// Windows' C library makes no stream of a test's own functions (glibc's fopencookie): the tests
// that count the loader's closing of its stream run on Linux.
#ifndef _WIN32
// A memory stream that counts how often it is closed.
struct CountedStream {
    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
    int closes = 0;
};

std::FILE* open_counted(CountedStream& stream)
{
    cookie_io_functions_t functions{};
    functions.read = [](void* cookie, char* buffer, std::size_t size) -> ssize_t {
        auto* s = static_cast<CountedStream*>(cookie);
        const std::size_t n = std::min(size, s->bytes.size() - s->position);
        if (n > 0)
            std::memcpy(buffer, s->bytes.data() + s->position, n);
        s->position += n;
        return static_cast<ssize_t>(n);
    };
    functions.close = [](void* cookie) {
        ++static_cast<CountedStream*>(cookie)->closes;
        return 0;
    };
    return fopencookie(&stream, "rb", functions);
}
#endif

TEST(JpegDecode, ClosesTheFileOnceOnSuccess)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows' C library makes no stream of a test's own functions (glibc's fopencookie)";
#else
    CountedStream stream{test_jpeg(64, 48)};
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t* rgb = read_jpeg_pixels(open_counted(stream), &width, &height);
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(width, 64u);
    EXPECT_EQ(height, 48u);
    EXPECT_EQ(stream.closes, 1);
    std::free(rgb);
#endif
}

// A progressive stream with 316 scans: DC, then every AC coefficient on its own in five steps
// of successive approximation. Valid, but more scans than any encoder writes.
std::vector<std::uint8_t> many_scan_jpeg()
{
    std::vector<jpeg_scan_info> scans;
    scans.push_back({1, {0}, 0, 0, 0, 0});
    for (int k = 1; k < 64; ++k) {
        scans.push_back({1, {0}, k, k, 0, 4});
        for (int al = 3; al >= 0; --al)
            scans.push_back({1, {0}, k, k, al + 1, al});
    }
    const int width = 64;
    const int height = 64;
    const std::vector<std::uint8_t> samples = test_samples(width, height, 1);
    jpeg_compress_struct compressor;
    jpeg_error_mgr errors;
    compressor.err = jpeg_std_error(&errors);
    jpeg_create_compress(&compressor);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&compressor, &buffer, &size);
    compressor.image_width = width;
    compressor.image_height = height;
    compressor.input_components = 1;
    compressor.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&compressor);
    compressor.scan_info = scans.data();
    compressor.num_scans = static_cast<int>(scans.size());
    jpeg_start_compress(&compressor, TRUE);
    while (compressor.next_scanline < compressor.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + compressor.next_scanline * width);
        jpeg_write_scanlines(&compressor, &row, 1);
    }
    jpeg_finish_compress(&compressor);
    jpeg_destroy_compress(&compressor);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

TEST(JpegDecode, RefusedStreamsLeaveNothingBehind)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows' C library makes no stream of a test's own functions (glibc's fopencookie)";
#else
    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> refused = {
        {"garbage", std::vector<std::uint8_t>(1000, 0x5A)},
        {"empty", {}},
        {"tables only", encode_jpeg_tables_only()},
        {"too many scans", many_scan_jpeg()},
        {"over the memory limit", with_size(test_jpeg(64, 64, 1, {.progressive = true}), 12000, 9000)},
    };
    for (const auto& [name, bytes] : refused) {
        CountedStream stream{bytes};
        std::uint32_t width = 777;
        std::uint32_t height = 777;
        EXPECT_EQ(read_jpeg_pixels(open_counted(stream), &width, &height), nullptr) << name;
        EXPECT_EQ(width, 777u) << name;
        EXPECT_EQ(height, 777u) << name;
        EXPECT_EQ(stream.closes, 1) << name;
    }
    EXPECT_EQ(decode_reference(many_scan_jpeg()).width, 64) << "the many-scan stream is itself valid";
#endif
}

// A number in a death test's expected message: GoogleTest's own expressions on Windows know \d
// and no brackets; POSIX ones the other way round.
#ifdef _WIN32
constexpr const char* k_number = "\\d+";
#else
constexpr const char* k_number = "[0-9]+";
#endif

// Each limit of the decode, as the user reads it.
class DecodeLimitTest : public JpegLoaderTest {
protected:
    void expect_refused(const std::vector<std::uint8_t>& jpeg, const std::string& reason)
    {
        const std::string path = save(jpeg, "hostile.jpg");
        EXPECT_EXIT(load_picture(path.c_str(), &destination_->frame), testing::ExitedWithCode(2),
                    reason + "\\s+ERROR DECODING\\.\\.\\. .*hostile\\.jpg");
    }
};

TEST_F(DecodeLimitTest, A24MegapixelProgressivePhotoLoadsCropped)
{
    // 6000 x 4000, colour halved both ways, the usual ten scans: 72 MB of coefficients.
    std::vector<std::uint8_t> samples(6000u * 4000u * 3u);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::uint8_t>((i / 3 % 6000) / 24 + (i / 18000) / 16 + (i % 3) * 80);
    const auto jpeg = encode_jpeg(samples.data(), 6000, 4000, 3, {.quality = 90, .progressive = true});
    samples = {};
    const ReferenceImage reference = decode_reference(jpeg);
    ASSERT_EQ(reference.width, 6000);
    load_picture(save(jpeg).c_str(), &destination_->frame);
    for (int y = 0; y < 480; y += 13)
        for (int x = 0; x < 640; x += 7)
            ASSERT_EQ(pixels()[y * 640 + x], packed(reference.at(x, y))) << "x " << x << " y " << y;
    EXPECT_EQ(pixels()[k_frame_pixels - 1], packed(reference.at(639, 479)));
    EXPECT_TRUE(guard_intact());
}

TEST_F(DecodeLimitTest, RefusalsSayWhyInPlainWords)
{
    expect_refused(with_size(test_jpeg(64, 64, 3, {.progressive = true}), 12000, 9000),
                   "picture too large to decode: 12000x9000 progressive");
    expect_refused(many_scan_jpeg(), "too many scans: more than 100");
}

TEST_F(DecodeLimitTest, ManyDenseScansAreRefusedBeforeTheyTakeLong)
{
    // 1,448 x 1,448 of noise with its last scan, the whole band of every block, 99 times over:
    // some four seconds of decoding, within the scan count.
    std::vector<std::uint8_t> noise(1448u * 1448u);
    std::uint32_t state = 12345;
    for (std::uint8_t& sample : noise) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<std::uint8_t>(state >> 24);
    }
    const auto base = encode_jpeg(noise.data(), 1448, 1448, 1, {.quality = 100, .progressive = true});
    const auto jpeg = repeat_scan(base, scan_ends(base).size() - 1, 99 - static_cast<int>(scan_ends(base).size()));
    ASSERT_EQ(scan_ends(jpeg).size(), 99u);
    expect_refused(jpeg, std::string("picture takes too long to decode: 1448x1448, ") + k_number + " scans in " +
                             k_number + " bytes so far");
}

TEST_F(DecodeLimitTest, OversizedFileIsRefusedUnread)
{
    const std::string path = directory_.file("big.jpg");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const auto jpeg = test_jpeg(64, 48);
    std::fwrite(jpeg.data(), 1, jpeg.size(), file);
    ASSERT_EQ(ftruncate(fileno(file), k_decode_limits.file_bytes + 1), 0);  // a hole: no disk used
    std::fclose(file);
    EXPECT_EXIT(load_picture(path.c_str(), &destination_->frame), testing::ExitedWithCode(2),
                "picture file too large: 104857601 bytes\nERROR DECODING\\.\\.\\. .*big\\.jpg");
}

TEST(JpegDecode, AFailureWhileFinishingHandsNothingOut)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows' C library makes no stream of a test's own functions (glibc's fopencookie)";
#else
    // Every row decodes, then a second frame header stands where the end marker should be.
    std::vector<std::uint8_t> jpeg = test_jpeg(64, 48);
    const std::vector<std::uint8_t> second_header = {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x30, 0x00, 0x40, 0x03,
                                                     0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01};
    jpeg.insert(jpeg.end() - 2, second_header.begin(), second_header.end());
    CountedStream stream{jpeg};
    std::uint8_t sentinel = 0;
    std::uint8_t* rgb = &sentinel;
    EXPECT_EQ(decode_jpeg_file(open_counted(stream), &rgb), 0);
    EXPECT_EQ(rgb, &sentinel);
    EXPECT_EQ(stream.closes, 1);
#endif
}

TEST_F(JpegLoaderTest, UndecodableFileEndsWithItsPath)
{
    const std::string path = save(std::vector<std::uint8_t>(100, 0x00), "broken.jpg");
    EXPECT_EXIT(load_picture(path.c_str(), &destination_->frame), testing::ExitedWithCode(2),
                "ERROR DECODING\\.\\.\\. .*broken\\.jpg");
}

TEST_F(JpegLoaderTest, MissingFileEndsWithItsPath)
{
    const std::string path = directory_.file("missing.jpg");
    EXPECT_EXIT(load_picture(path.c_str(), &destination_->frame), testing::ExitedWithCode(2),
                "cannot open .*missing\\.jpg: No such file or directory\nERROR LOCATING\\.\\.\\. .*missing\\.jpg");
}

TEST_F(JpegLoaderTest, PictureThatIsNotARegularFileEndsWithItsPathAndReason)
{
    const std::string path = directory_.file("folder.jpg");
    ASSERT_TRUE(std::filesystem::create_directory(path));
    EXPECT_EXIT(load_picture(path.c_str(), &destination_->frame), testing::ExitedWithCode(2),
                "cannot open .*folder\\.jpg: not a regular file\nERROR LOCATING\\.\\.\\. .*folder\\.jpg");
}

TEST(RgbRepack, EveryKernelPacksEveryTriple)
{
    // Lengths around the vector widths reach every tail.
    std::vector<std::uint8_t> rgb(3 * 1000);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<std::uint8_t>(i * 37 + (i >> 8));
    int tested = 0;
    for (const RepackKernelInfo& kernel : repack_kernels()) {
        if (!kernel.supported)
            continue;
        ++tested;
        for (std::size_t count : {0u, 1u, 5u, 6u, 7u, 9u, 10u, 11u, 16u, 17u, 999u, 1000u}) {
            std::vector<std::uint32_t> pixels(count + 1, k_untouched);
            kernel.run(rgb.data(), pixels.data(), count);
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint32_t expected = 0xFF000000u | std::uint32_t{rgb[3 * i]} << 16 |
                                               std::uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2];
                ASSERT_EQ(pixels[i], expected) << kernel.name << " count " << count << " pixel " << i;
            }
            ASSERT_EQ(pixels[count], k_untouched) << kernel.name << " wrote past " << count;
        }
    }
    EXPECT_GE(tested, 2);
}

}  // namespace
