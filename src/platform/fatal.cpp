#include "platform/fatal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

void fatal_error(const char* text, const char* caption)
{
    std::fprintf(stderr, "%s %s\n", text, caption);
    std::fflush(stderr);
    platform_show_message(text, caption);
    std::exit(k_fatal_exit_status);
}

void fatal_system_error(const char* text, const char* action, const char* path)
{
    std::fprintf(stderr, "cannot %s %s: %s\n", action, path, std::strerror(errno));
    fatal_error(text, path);
}
