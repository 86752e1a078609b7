// Reads the capture tool's raw frames on standard input and writes, a line each, every frame's
// hash as the page records it (platform/web/frame_hash.h), then "digest: " and the stream's digest
// as the whole show's is recorded (show_digest.h), then "frames: N". The build captures the whole
// show once through it, and every test that compares with the native show's frames reads that.
#include <cstdio>
#include <vector>

#include "fx/frame.h"
#include "platform/web/frame_hash.h"
#include "show_digest.h"

int main()
{
    std::vector<std::uint8_t> frame(k_frame_bytes);
    ShowDigest digest;
    std::uint64_t frames = 0;
    std::size_t got = 0;
    while ((got = std::fread(frame.data(), 1, frame.size(), stdin)) == frame.size()) {
        digest.add(frame.data(), frame.size());
        std::printf("%s\n", hash_text(fnv1a_64(frame.data(), frame.size())).c_str());
        ++frames;
    }
    if (got != 0) {
        std::fprintf(stderr, "show_frames: the stream ends %zu bytes into frame %llu\n", got,
                     static_cast<unsigned long long>(frames));
        return 1;
    }
    std::printf("digest: %s\nframes: %llu\n", hash_text(digest.value).c_str(), static_cast<unsigned long long>(frames));
    return std::ferror(stdout) || std::fflush(stdout) != 0 ? 1 : 0;
}
