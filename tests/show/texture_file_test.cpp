#include <gtest/gtest.h>

#include "death_tests.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "fx/effect.h"
#include "platform/output_file.h"
#include "show/data_set.h"
#include "show/texture_file.h"
#include "temp_dir.h"

namespace {

// A stream reading bytes, closed by the caller: in memory where the C library can (glibc's
// fmemopen), through a temporary file elsewhere.
std::FILE* stream_of(std::vector<std::uint8_t>& bytes)
{
#ifdef _WIN32
    std::FILE* file = std::tmpfile();
    if (file != nullptr &&
        (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fseek(file, 0, SEEK_SET) != 0)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
#else
    static char nothing = 0;
    return fmemopen(bytes.empty() ? static_cast<void*>(&nothing) : bytes.data(), bytes.size(), "rb");
#endif
}

TEST(TextureFile, ReadsUpToATextureAndAShortFileIsNoError)
{
    std::vector<std::uint8_t> read(k_texture_bytes);
    for (const std::size_t size : {std::size_t{0}, std::size_t{196607}, std::size_t{196608 + 10}}) {
        std::vector<std::uint8_t> bytes(size, 0x20);
        std::FILE* file = stream_of(bytes);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(read_texture_bytes(file, read.data()), std::min<long>(static_cast<long>(size), 196608)) << size;
        EXPECT_EQ(std::ftell(file), std::min<long>(static_cast<long>(size), 196608)) << size << ": nothing beyond";
        std::fclose(file);
    }
}

TEST(TextureFile, AReadErrorIsNotAnEndOfFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows' C library makes no stream of a test's own functions (glibc's fopencookie)";
#else
    // A stream that gives 1,000 bytes, then fails.
    cookie_io_functions_t failing{};
    failing.read = [](void* cookie, char* buffer, std::size_t size) -> ssize_t {
        auto* left = static_cast<std::size_t*>(cookie);
        if (*left == 0) {
            errno = EIO;
            return -1;
        }
        const std::size_t n = std::min(size, *left);
        std::memset(buffer, 0x10, n);
        *left -= n;
        return static_cast<ssize_t>(n);
    };
    std::size_t left = 1000;
    std::FILE* file = fopencookie(&left, "rb", failing);
    ASSERT_NE(file, nullptr);
    std::vector<std::uint8_t> read(k_texture_bytes);
    EXPECT_EQ(read_texture_bytes(file, read.data()), -1);
    EXPECT_EQ(errno, EIO);
    std::fclose(file);
#endif
}

// Runs in a directory of its own holding data/.
class TextureFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(getcwd(previous_directory_, sizeof previous_directory_), nullptr);
        ASSERT_EQ(chdir(directory_.path().c_str()), 0);
        ASSERT_TRUE(std::filesystem::create_directory("data"));
    }
    void TearDown() override { ASSERT_EQ(chdir(previous_directory_), 0); }

    TempDir directory_;
    char previous_directory_[4096];
};

TEST_F(TextureFileTest, MissingTextureEndsWithItsPathAndReason)
{
    EXPECT_EXIT(load_texture_file(), testing::ExitedWithCode(2),
                "cannot open data/lumo\\.raw: No such file or directory\nERROR LOCATING\\.\\.\\. data/lumo\\.raw");
}

TEST_F(TextureFileTest, TextureThatIsNotARegularFileEndsLikeAMissingOne)
{
    ASSERT_TRUE(std::filesystem::create_directory(k_texture_file_path));
    EXPECT_EXIT(load_texture_file(), testing::ExitedWithCode(2),
                "cannot open data/lumo\\.raw: not a regular file\nERROR LOCATING\\.\\.\\. data/lumo\\.raw");
}

TEST_F(TextureFileTest, ShortTextureIsUsedAsReadAndSaidInOneLine)
{
    ASSERT_TRUE(output_write_whole(k_texture_file_path, std::vector<std::uint8_t>(1000, 0x10)));
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "WebAssembly's stderr goes to the JavaScript console, where it cannot be captured";
#endif
    testing::internal::CaptureStderr();
    const std::vector<std::uint8_t> bytes = load_texture_file();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "data/lumo.raw: 1000 bytes, short of a texture's 196608: the missing bytes read as 255 (white)\n");
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(1000, 0x10));
}

}  // namespace
