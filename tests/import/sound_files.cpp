#include "sound_files.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "run_command.h"

bool make_sound(const std::string& path, const std::string& expression, double seconds)
{
    const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i \"aevalsrc='" + expression + "|" + expression +
                                "':s=" + std::to_string(k_rate) + ":d=" + std::to_string(seconds) + "\" " + path;
    return run_command(command).status == 0;
}

std::vector<std::int16_t> decode_sound(const std::string& path)
{
    const CommandRun run = run_command("ffmpeg -nostdin -v error -i " + path + " -f s16le -ac 2 -ar " +
                                       std::to_string(k_rate) + " -");
    if (run.status != 0)
        return {};
    std::vector<std::int16_t> samples(run.output.size() / 2);
    std::memcpy(samples.data(), run.output.data(), samples.size() * 2);
    return samples;
}

double rms(const std::vector<std::int16_t>& interleaved, double from_seconds, double to_seconds)
{
    auto sample_at = [&](double seconds) {
        return std::min(static_cast<std::size_t>(std::llround(std::max(seconds, 0.0) * k_rate)) * 2,
                        interleaved.size());
    };
    const std::size_t first = sample_at(from_seconds);
    const std::size_t end = sample_at(to_seconds);
    if (end <= first)
        return 0;
    double sum = 0;
    for (std::size_t i = first; i < end; ++i)
        sum += static_cast<double>(interleaved[i]) * interleaved[i];
    return std::sqrt(sum / static_cast<double>(end - first));
}
