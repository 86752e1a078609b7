// The Display's per-frame copy into the back surface, against the plain frame memcpy of fx_bench.

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "display/display.h"
#include "display/display_mode.h"
#include "fx/frame.h"
#include "platform/headless/headless.h"
#include "platform/window.h"

namespace {

void BM_upload(benchmark::State& state)
{
    g_headless = {};
    g_headless.back_pitch_bytes = static_cast<std::int32_t>(k_frame_row_bytes);
    Frame32* frame = allocate_frame();
    for (std::size_t i = 0; i < k_frame_pixels; ++i)
        frame->pixels[i] = 0xFF000000u | static_cast<std::uint32_t>((i * 2654435761u) >> 8);
    Display display(window_create("bench", k_frame_width, k_frame_height));
    display.init(k_mode_windowed, 0);
    display.source_frame = frame->pixels;
    for (auto _ : state) {
        display.upload();
        g_headless.present_calls.clear();  // the headless layer's record, not the Display's work
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * k_frame_bytes));
    display.release();
    free_frame(frame);
}
BENCHMARK(BM_upload);

}  // namespace
