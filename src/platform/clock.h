#pragma once

#include <cstdint>

// The millisecond clock that paces every fade: an unsigned 32-bit count that may wrap. Only
// differences of it mean anything.
std::uint32_t clock_now_ms();
