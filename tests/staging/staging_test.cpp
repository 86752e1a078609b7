#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "staging.h"
#include "temp_dir.h"

namespace {

// What staging asked of the system, in order: "sync PATH" or "rename FROM -> TO (how): result".
std::vector<std::string> g_seen;

int real_rename(const char* from, const char* to, unsigned int flags)
{
    return flags == 0 ? rename(from, to) : renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
}

int record_sync(int fd)
{
    char path[4096];
    const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1);
    g_seen.push_back("sync " + std::string(path, n > 0 ? static_cast<std::size_t>(n) : 0));
    return fsync(fd);
}

int record_rename(const char* from, const char* to, unsigned int flags)
{
    const int result = real_rename(from, to, flags);
    const int error = errno;
    const char* how = flags == RENAME_NOREPLACE ? "noreplace" : flags == RENAME_EXCHANGE ? "exchange" : "plain";
    g_seen.push_back(std::string("rename ") + from + " -> " + to + " (" + how +
                     "): " + (result == 0 ? "done" : std::strerror(error)));
    errno = error;
    return result;
}

// Stages a two-file set in directory and puts it in place; the calls seen, and the temporary
// folder's path in *stage.
std::vector<std::string> stage_set(const std::string& directory, bool replace, char content, std::string* stage)
{
    g_seen.clear();
    if (!begin_staging(directory, {"gfx", "gfx/1"}, {"gfx/1/1.jpg", "lumo.raw"}))
        return {"begin failed"};
    for (const std::string& name : names_in(directory))
        if (name != "data")
            *stage = directory + "/" + name;
    if (!stage_file("gfx/1/1.jpg", {static_cast<std::uint8_t>(content)}) ||
        !stage_file("lumo.raw", {static_cast<std::uint8_t>(content)}) || !finish_staging(replace))
        g_seen.push_back("failed");
    return g_seen;
}

// A set is durable only if its files, then its folders, then the folder itself are on disk
// before it takes its name, and that name is on disk (the parent synced) before success.
TEST(Staging, SyncsFilesThenFoldersBeforeTheRenameAndTheParentAfter)
{
    staging_use_calls({.sync = record_sync, .rename = record_rename});
    TempDir temporary;
    const std::string directory = std::filesystem::canonical(temporary.path()).string();
    const std::string data = directory + "/data";

    // Files first, then the folders from the deepest up, the staging folder last.
    const auto synced_set = [](const std::string& stage, std::vector<std::string> then) {
        std::vector<std::string> calls = {"sync " + stage + "/gfx/1/1.jpg", "sync " + stage + "/lumo.raw",
                                          "sync " + stage + "/gfx/1", "sync " + stage + "/gfx", "sync " + stage};
        calls.insert(calls.end(), then.begin(), then.end());
        return calls;
    };
    std::string stage;
    const std::vector<std::string> made = stage_set(directory, false, 'a', &stage);
    EXPECT_EQ(made, synced_set(stage, {"rename " + stage + " -> " + data + " (noreplace): done", "sync " + directory}));

    // Replacing: the same order, the new set exchanged for the old one, which is then removed.
    const std::vector<std::string> replaced = stage_set(directory, true, 'b', &stage);
    EXPECT_EQ(replaced,
              synced_set(stage, {"rename " + stage + " -> " + data + " (noreplace): File exists",
                                 "rename " + stage + " -> " + data + " (exchange): done", "sync " + directory}));
    EXPECT_EQ(names_in(directory), std::vector<std::string>{"data"});
    std::FILE* file = std::fopen((data + "/lumo.raw").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fgetc(file), 'b');
    std::fclose(file);

    staging_use_calls({.sync = fsync, .rename = real_rename});
}

}  // namespace
