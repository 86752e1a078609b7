#include "platform/fatal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/message_box.h"

namespace {

FatalReport g_report = nullptr;

}  // namespace

void fatal_report_with(FatalReport report) { g_report = report; }

void fatal_error(const char* text, const char* caption, PlatformWindow* owner)
{
    const char* reason = platform_failure_reason();
    if (g_report != nullptr)
        g_report(text, caption, reason);
    if (reason[0] != '\0')
        std::fprintf(stderr, "%s %s (%s)\n", text, caption, reason);
    else
        std::fprintf(stderr, "%s %s\n", text, caption);
    std::fflush(stderr);
    message_box_show(owner, text, caption);
    std::exit(k_fatal_exit_status);
}

void fatal_file_error(const char* text, const char* action, const char* path, const char* reason)
{
    if (g_report != nullptr) {
        const std::string what = std::string("cannot ") + action;
        g_report(what.c_str(), path, reason);
    }
    std::fprintf(stderr, "cannot %s %s: %s\n", action, path, reason);
    fatal_error(text, path);
}

void fatal_system_error(const char* text, const char* action, const char* path)
{
    fatal_file_error(text, action, path, std::strerror(errno));
}
