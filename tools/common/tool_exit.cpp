#include "tool_exit.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const char* g_tool_name = "velmorastik";
void (*g_clean_up)() = nullptr;

}  // namespace

void tool_set_name(const char* name) { g_tool_name = name; }

const char* tool_name() { return g_tool_name; }

void tool_on_failure(void (*clean_up)()) { g_clean_up = clean_up; }

void tool_fail(const std::string& what, const std::string& path, const std::string& reason)
{
    std::string line = std::string(g_tool_name) + ": " + what;
    if (!path.empty())
        line += ": " + path;
    if (!reason.empty())
        line += ": " + reason;
    line += '\n';
    std::fflush(stdout);
    std::fputs(line.c_str(), stderr);
    if (g_clean_up != nullptr)
        g_clean_up();
    std::exit(k_tool_failure_status);
}

void tool_fail_errno(const std::string& what, const std::string& path) { tool_fail(what, path, std::strerror(errno)); }

void tool_usage_error(const std::string& what, void (*print_usage)(std::FILE* stream))
{
    if (!what.empty())
        std::fprintf(stderr, "%s: %s\n", g_tool_name, what.c_str());
    if (print_usage != nullptr)
        print_usage(stderr);
    std::exit(k_tool_usage_status);
}

void tool_note(const std::string& text) { std::fprintf(stderr, "%s: %s\n", g_tool_name, text.c_str()); }
