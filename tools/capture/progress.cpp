#include "progress.h"

#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>

namespace {

struct Progress {
    bool quiet = true;
    bool terminal = false;
    std::uint64_t expected = 1;
    double start = 0;
    double last_draw = 0;
    int last_tenth = 0;
};

Progress g_progress;

constexpr double k_redraw_seconds = 0.25;  // often enough to look alive, rarely enough to cost nothing
constexpr int k_bar_width = 30;

double seconds_now()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

// One decimal at real time and above; two significant figures below it (0.49, 0.031), so that a
// short clip's speed does not print as 0.0.
int speed_decimals(double speed)
{
    return speed >= 1 || speed <= 0 ? 1 : 1 - static_cast<int>(std::floor(std::log10(speed)));
}

}  // namespace

void progress_start(std::uint64_t expected_frames, bool quiet)
{
    g_progress = Progress{};
    g_progress.quiet = quiet;
    g_progress.terminal = isatty(STDERR_FILENO) == 1;
    g_progress.expected = expected_frames > 0 ? expected_frames : 1;
    g_progress.start = seconds_now();
}

void progress_update(std::uint64_t frames)
{
    Progress& p = g_progress;
    if (p.quiet)
        return;
    // The count is known only at the end: until then the estimate may fall short, so the share
    // stops at 99%.
    int percent = static_cast<int>(frames * 100 / p.expected);
    percent = percent > 99 ? 99 : percent;
    const double now = seconds_now();
    const double elapsed = now - p.start;
    const double rate = elapsed > 0 ? frames / elapsed : 0;
    if (p.terminal) {
        if (now - p.last_draw < k_redraw_seconds)
            return;
        p.last_draw = now;
        const double left = rate > 0 && frames < p.expected ? (p.expected - frames) / rate : 0;
        char bar[k_bar_width + 1];
        const int filled = percent * k_bar_width / 100;
        for (int i = 0; i < k_bar_width; ++i)
            bar[i] = i < filled ? '#' : '.';
        bar[k_bar_width] = '\0';
        std::fprintf(stderr, "\r[%s] %3d%%  frame %llu  %.0f fps  %d:%02d left ", bar, percent,
                     static_cast<unsigned long long>(frames), rate, static_cast<int>(left) / 60,
                     static_cast<int>(left) % 60);
    } else if (percent / 10 > p.last_tenth) {
        p.last_tenth = percent / 10;
        std::fprintf(stderr, "%d%%: frame %llu, %.0f fps\n", p.last_tenth * 10, static_cast<unsigned long long>(frames),
                     rate);
    }
}

void progress_finish(const CaptureSummary& summary)
{
    Progress& p = g_progress;
    if (p.quiet)
        return;
    if (p.terminal)
        std::fputs("\r\033[K", stderr);
    const double elapsed = seconds_now() - p.start;
    const auto written = static_cast<unsigned long long>(summary.written);
    const auto show_frames = static_cast<unsigned long long>(summary.show_frames);
    if (!summary.video) {
        std::fprintf(stderr, "%llu of the show's %llu frames (%.1f s) written as stills: %.1f MB, in %.1f s\n", written,
                     show_frames, summary.show_seconds, summary.bytes / 1e6, elapsed);
        return;
    }
    const double written_seconds = static_cast<double>(summary.written) / static_cast<double>(summary.fps);
    const double speed = elapsed > 0 ? written_seconds / elapsed : 0.0;
    std::fprintf(stderr,
                 "%llu of the show's %llu frames (%.1f s) written: %.1f s, %.1f MB, in %.1f s: %.*fx real time\n",
                 written, show_frames, summary.show_seconds, written_seconds, summary.bytes / 1e6, elapsed,
                 speed_decimals(speed), speed);
}
