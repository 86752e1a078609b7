#include "platform/fatal.h"

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

void fatal_error(const char* text, const char* caption)
{
    std::fprintf(stderr, "%s %s\n", text, caption);
    std::fflush(stderr);
    platform_show_message(text, caption);
    std::exit(k_fatal_exit_status);
}
