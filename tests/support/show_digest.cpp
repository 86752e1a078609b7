#include "show_digest.h"

#include <fstream>
#include <sstream>

ShowFrames read_show_frames(const std::string& path)
{
    ShowFrames frames;
    std::ifstream file(path);
    std::string line;
    bool whole = false;
    while (std::getline(file, line)) {
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
