#pragma once

#include <cstdint>
#include <optional>
#include <string>
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

    // The chosen frames numbered count or more, in the form parse reads ("7050-7060,99999");
    // empty when there are none. Every frame (no list) asks for none in particular.
    std::string past_end(std::uint64_t count) const;

private:
    struct Range {
        std::uint64_t first;
        std::uint64_t last;
    };
    std::vector<Range> ranges_;
    bool all_ = true;
};
