// A Windows error in words: the C library's for the errors a file name meets, the system's own
// sentence without its full stop and line break for the rest, a number when there is none.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32/system_error.h"

namespace {

// No error has this code: the system has no words for it.
constexpr DWORD k_unknown_error = 0x2FFFFFFF;

}  // namespace

TEST(SystemError, ErrorsWithAnErrnoTwinAreSaidAsOnLinux)
{
    EXPECT_STREQ(system_error_text(ERROR_FILE_NOT_FOUND), "No such file or directory");
    EXPECT_STREQ(system_error_text(ERROR_PATH_NOT_FOUND), "No such file or directory");
    EXPECT_STREQ(system_error_text(ERROR_ACCESS_DENIED), "Permission denied");
    EXPECT_STREQ(system_error_text(ERROR_DISK_FULL), "No space left on device");
}

TEST(SystemError, TheSystemsSentenceLosesItsFullStopAndLineBreak)
{
    for (const DWORD error : {DWORD{ERROR_INVALID_HANDLE}, DWORD{ERROR_NOT_SUPPORTED}, DWORD{ERROR_BROKEN_PIPE}}) {
        char words[160];
        ASSERT_TRUE(system_message(error, words, sizeof words)) << error;
        const std::size_t length = std::strlen(words);
        ASSERT_GT(length, 0u) << error;
        EXPECT_EQ(std::strchr(words, '\n'), nullptr) << error << ": " << words;
        EXPECT_EQ(std::strchr(words, '\r'), nullptr) << error << ": " << words;
        EXPECT_NE(words[length - 1], '.') << error << ": " << words;
        EXPECT_NE(words[length - 1], ' ') << error << ": " << words;
        // system_error_text says the same words for an error without an errno twin.
        EXPECT_STREQ(system_error_text(error), words);
    }
}

TEST(SystemError, AnErrorWithoutWordsIsEmptyOrItsNumber)
{
    char words[160] = "left over";
    EXPECT_FALSE(system_message(k_unknown_error, words, sizeof words));
    EXPECT_STREQ(words, "");
    EXPECT_EQ(std::string(system_error_text(k_unknown_error)), "Windows error " + std::to_string(k_unknown_error));
}
