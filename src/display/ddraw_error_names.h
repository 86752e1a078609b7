#pragma once

#include <cstdint>

struct DdrawErrorName {
    std::uint32_t code;
    const char* text;
};

// Every result code the failure report can name, with the text it shows. Most texts end in one
// blank, as they always have; eleven do not.
inline constexpr int k_ddraw_error_count = 111;
extern const DdrawErrorName ddraw_error_names[k_ddraw_error_count];

inline constexpr const char* k_unknown_error_text = "Unknown error";

// The text shown for a non-zero result: its row's, or k_unknown_error_text.
const char* ddraw_error_text(std::uint32_t code);
