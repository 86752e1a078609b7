#include "import_run.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "run_command.h"
#include "show/data_set.h"
#include "temp_dir.h"

const std::vector<std::string> k_picture_places = [] {
    std::vector<std::string> places;
    for (const std::string& path : data_set_pictures())
        places.push_back(path.substr(std::strlen(k_data_dir) + 1));
    return places;
}();

ImportRun run_import(const std::string& where, const std::string& arguments)
{
    // stderr through the pipe, stdout (the one line saying the set is complete) dropped.
    const CommandRun run = run_command("cd " + where + " && " + VELMORASTIK_IMPORT + " " + arguments +
                                       " 2>&1 >/dev/null");
    return {run.status, run.output};
}

BoundedRun run_import_bounded(const std::string& where, const std::string& arguments, int seconds)
{
    int errors[2];
    if (pipe2(errors, O_CLOEXEC) != 0)
        return {-1, "pipe failed", 0, false};
    const std::string command = "cd " + where + " && exec " + VELMORASTIK_IMPORT + " " + arguments + " >/dev/null";
    const pid_t child = fork();
    if (child == 0) {
#ifndef VELMORASTIK_SANITIZED  // AddressSanitizer maps terabytes of shadow at start-up
        // Eight times the peak the tests allow: room to measure a fault, not to swap the machine out.
        constexpr rlim_t k_address_space = rlim_t{4} << 30;
        const rlimit limit = {k_address_space, k_address_space};
        setrlimit(RLIMIT_AS, &limit);
#endif
        dup2(errors[1], STDERR_FILENO);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(errors[1]);
    BoundedRun run = {-1, "", 0, false};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        pollfd wanted = {errors[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&wanted, 1, static_cast<int>(left.count())) == 0) {
            kill(child, SIGKILL);
            run.timed_out = true;
            break;
        }
        char buffer[4096];
        const ssize_t n = read(errors[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        run.errors.append(buffer, static_cast<std::size_t>(n));
    }
    close(errors[0]);
    int status = 0;
    rusage usage = {};
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.peak_kilobytes = usage.ru_maxrss;
    }
    return run;
}

std::map<std::string, std::vector<std::uint8_t>> files_under(const std::string& folder)
{
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), folder).string()] = read_bytes(entry.path().string());
    return files;
}

std::vector<std::uint8_t> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
