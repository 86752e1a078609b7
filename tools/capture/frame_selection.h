#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Which frames of the show the capture writes: a union of inclusive ranges of 0-based numbers.
class FrameSelection {
public:
    // Every frame.
    FrameSelection() = default;

    // "LIST": comma-separated numbers and ranges "A-B" (A <= B); nullopt when malformed.
    static std::optional<FrameSelection> parse(std::string_view list);

    bool contains(std::uint64_t frame) const;

private:
    struct Range {
        std::uint64_t first;
        std::uint64_t last;
    };
    std::vector<Range> ranges_;
    bool all_ = true;
};
