#include "run_command.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

std::FILE* open_command(const std::string& command)
{
#ifdef _WIN32
    // Binary, or the C library would turn 13 10 into 10 and stop at the first byte 26.
    return _popen(command.c_str(), "rb");
#else
    return popen(command.c_str(), "r");
#endif
}

int close_command(std::FILE* pipe)
{
#ifdef _WIN32
    return _pclose(pipe);
#else
    const int status = pclose(pipe);
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
#endif
}

CommandRun run_command(const std::string& command)
{
    CommandRun run{-1, ""};
    std::FILE* pipe = open_command(command);
    if (pipe == nullptr)
        return run;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        run.output.append(chunk, n);
    run.status = close_command(pipe);
    return run;
}
