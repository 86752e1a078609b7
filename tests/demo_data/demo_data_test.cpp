#include <gtest/gtest.h>

#include <mpg123.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "jpeg_reference.h"
#include "temp_dir.h"

namespace {

std::vector<std::uint8_t> read_bytes(const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return bytes;
    std::vector<std::uint8_t> chunk(1 << 16);
    std::size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), file)) > 0)
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<long>(n));
    std::fclose(file);
    return bytes;
}

// Runs the generator with arguments; its exit status, and its output in *output.
int generate(const std::string& arguments, std::string* output = nullptr)
{
    const std::string command = std::string(VELMORASTIK_DEMO_DATA) + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, n);
    const int status = pclose(pipe);
    if (output != nullptr)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const char* const k_pictures[] = {"gfx/misc/tzback.jpg", "gfx/1/1.jpg", "gfx/1/2.jpg", "gfx/1/3.jpg",
                                  "gfx/1/4.jpg",         "gfx/1/5.jpg", "gfx/2/1.jpg", "gfx/2/2.jpg",
                                  "gfx/2/3.jpg",         "gfx/2/4.jpg", "gfx/2/5.jpg", "gfx/2/6.jpg"};

// Two data sets made by two runs, shared by the tests.
class DemoDataTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        first_ = new TempDir;
        second_ = new TempDir;
        first_status_ = generate(first_->path(), &first_output_);
        second_status_ = generate(second_->path());
    }
    static void TearDownTestSuite()
    {
        delete first_;
        delete second_;
    }

    static std::string data(const char* name) { return first_->file("data/") + name; }

    static TempDir* first_;
    static TempDir* second_;
    static int first_status_;
    static int second_status_;
    static std::string first_output_;
};

TempDir* DemoDataTest::first_ = nullptr;
TempDir* DemoDataTest::second_ = nullptr;
int DemoDataTest::first_status_ = -1;
int DemoDataTest::second_status_ = -1;
std::string DemoDataTest::first_output_;

TEST_F(DemoDataTest, WritesEveryFileAndSaysSo)
{
    ASSERT_EQ(first_status_, 0) << first_output_;
    for (const char* name : k_pictures)
        EXPECT_NE(first_output_.find(std::string("data/") + name), std::string::npos) << name;
    EXPECT_NE(first_output_.find("data/lumo.raw"), std::string::npos);
    EXPECT_NE(first_output_.find("data/sfx/lumo.mp3"), std::string::npos);
    EXPECT_EQ(read_bytes(data("lumo.raw")).size(), 196608u);
}

TEST_F(DemoDataTest, PicturesAreDistinctBaselineColourJpegsOfTheFrameSize)
{
    std::vector<ReferenceImage> images;
    for (const char* name : k_pictures) {
        const std::vector<std::uint8_t> bytes = read_bytes(data(name));
        ASSERT_GT(bytes.size(), 1000u) << name;
        // A baseline frame header (SOF0) and no progressive one (SOF2).
        bool baseline = false;
        bool progressive = false;
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
            baseline = baseline || (bytes[i] == 0xFF && bytes[i + 1] == 0xC0);
            progressive = progressive || (bytes[i] == 0xFF && bytes[i + 1] == 0xC2);
        }
        EXPECT_TRUE(baseline && !progressive) << name;
        images.push_back(decode_reference(bytes));
        EXPECT_EQ(images.back().width, 640) << name;
        EXPECT_EQ(images.back().height, 480) << name;
        EXPECT_EQ(images.back().components, 3) << name;
    }
    // Every two pictures differ by a clear margin on average.
    for (std::size_t a = 0; a < images.size(); ++a)
        for (std::size_t b = a + 1; b < images.size(); ++b) {
            ASSERT_EQ(images[a].samples.size(), images[b].samples.size());
            double difference = 0;
            for (std::size_t i = 0; i < images[a].samples.size(); ++i)
                difference += std::abs(images[a].samples[i] - images[b].samples[i]);
            EXPECT_GT(difference / images[a].samples.size(), 20.0) << k_pictures[a] << " vs " << k_pictures[b];
        }
}

TEST_F(DemoDataTest, TextureRunsThroughEveryHue)
{
    const std::vector<std::uint8_t> texture = read_bytes(data("lumo.raw"));
    ASSERT_EQ(texture.size(), 196608u);
    // Saturated texels counted by sixth of the colour wheel (red-yellow, yellow-green, ...).
    int sextants[6] = {};
    for (std::size_t i = 0; i < texture.size(); i += 3) {
        const int r = texture[i];
        const int g = texture[i + 1];
        const int b = texture[i + 2];
        const int high = std::max({r, g, b});
        const int low = std::min({r, g, b});
        if (high - low < 64)
            continue;
        const int sextant = high == r ? (low == b ? 0 : 5) : high == g ? (low == b ? 1 : 2) : (low == r ? 3 : 4);
        ++sextants[sextant];
    }
    for (int s = 0; s < 6; ++s)
        EXPECT_GT(sextants[s], 65536 / 50) << "sixth " << s << " of the colour wheel";
}

TEST_F(DemoDataTest, SoundtrackIsStereoAt44100HzLastingTheShowAndFadingOut)
{
    ASSERT_EQ(mpg123_init(), MPG123_OK);
    int error = 0;
    mpg123_handle* decoder = mpg123_new(nullptr, &error);
    ASSERT_NE(decoder, nullptr);
    ASSERT_EQ(mpg123_open(decoder, data("sfx/lumo.mp3").c_str()), MPG123_OK);
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    ASSERT_EQ(mpg123_getformat(decoder, &rate, &channels, &encoding), MPG123_OK);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 2);
    ASSERT_EQ(encoding, MPG123_ENC_SIGNED_16);

    std::vector<short> samples;
    std::vector<short> buffer(1 << 16);
    std::size_t done = 0;
    int result;
    do {
        result = mpg123_read(decoder, reinterpret_cast<unsigned char*>(buffer.data()), buffer.size() * sizeof(short), &done);
        samples.insert(samples.end(), buffer.begin(), buffer.begin() + static_cast<long>(done / sizeof(short)));
    } while (result == MPG123_OK);
    EXPECT_EQ(result, MPG123_DONE);
    mpg123_close(decoder);
    mpg123_delete(decoder);

    const double seconds = samples.size() / 2 / 44100.0;
    EXPECT_GE(seconds, 117.3) << "at least the show's 23 fades of 5.1 s";
    EXPECT_LE(seconds, 130.0);
    const double kbps = read_bytes(data("sfx/lumo.mp3")).size() * 8 / seconds / 1000;
    EXPECT_NEAR(kbps, 160, 5);

    auto rms = [&](double from, double to) {
        const std::size_t first = static_cast<std::size_t>(from * 44100) * 2;
        const std::size_t last = static_cast<std::size_t>(to * 44100) * 2;
        double sum = 0;
        for (std::size_t i = first; i < last; ++i)
            sum += static_cast<double>(samples[i]) * samples[i];
        return std::sqrt(sum / static_cast<double>(last - first));
    };
    const double body = rms(60, 70);
    EXPECT_GT(body, 1500) << "music, not silence";
    EXPECT_LT(rms(seconds - 1.0, seconds), body / 50) << "the end has faded out";
    EXPECT_GT(rms(seconds - 8, seconds - 6), rms(seconds - 3, seconds - 1)) << "falling towards the end";
}

TEST_F(DemoDataTest, TwoRunsWriteIdenticalBytes)
{
    ASSERT_EQ(second_status_, 0);
    std::vector<std::string> names(std::begin(k_pictures), std::end(k_pictures));
    names.push_back("lumo.raw");
    names.push_back("sfx/lumo.mp3");
    for (const std::string& name : names) {
        const auto a = read_bytes(first_->file("data/" + name));
        const auto b = read_bytes(second_->file("data/" + name));
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_TRUE(a == b) << name;
    }
}

TEST(DemoDataArguments, RefusesToOverwriteAndReportsFailures)
{
    EXPECT_EQ(generate(""), 64) << "no directory";
    EXPECT_EQ(generate("--bogus /tmp"), 64);
    EXPECT_EQ(generate("a b"), 64) << "two directories";

    TempDir directory;
    ASSERT_EQ(mkdir(directory.file("data").c_str(), 0755), 0);
    std::string output;
    EXPECT_EQ(generate(directory.path(), &output), 2);
    EXPECT_NE(output.find("exists"), std::string::npos) << output;

    // A directory that cannot hold a data set: a plain file in its place.
    std::FILE* file = std::fopen(directory.file("plain").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_EQ(generate(directory.file("plain"), &output), 2);
    EXPECT_NE(output.find("cannot create"), std::string::npos) << output;
}

}  // namespace
