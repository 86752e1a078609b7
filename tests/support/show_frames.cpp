#include "show_frames.h"

#include <fstream>
#include <sstream>

ShowFrames parse_show_frames(const std::string& text)
{
    ShowFrames frames;
    std::istringstream lines(text);
    std::string line;
    bool whole = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("digest: ", 0) == 0) {
            frames.digest = std::stoull(line.substr(8), nullptr, 16);
        } else if (line.rfind("frames: ", 0) == 0) {
            frames.frames = std::stoull(line.substr(8));
            whole = true;
        } else {
            frames.hashes.push_back(line);
        }
    }
    if (!whole || frames.hashes.size() != frames.frames)
        frames.hashes.clear();
    return frames;
}

ShowFrames read_show_frames(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return parse_show_frames(text.str());
}
