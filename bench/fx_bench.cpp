// Whole-frame passes against a plain memcpy of one frame, the yardstick, in the same run.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "fx/fade_kernels.h"
#include "fx/frame.h"

namespace {

// A picture-like frame: every byte value in every channel, top bytes 0xFF as loaded.
void fill_picture(Frame32& frame)
{
    for (std::size_t i = 0; i < k_frame_pixels; ++i)
        frame.pixels[i] = 0xFF000000u | static_cast<std::uint32_t>((i * 2654435761u) >> 8);
}

struct BackbufferScope {
    BackbufferScope() { g_virtual_backbuffer = allocate_frame(); }
    ~BackbufferScope()
    {
        free_frame(g_virtual_backbuffer);
        g_virtual_backbuffer = nullptr;
    }
};

void BM_memcpy_frame(benchmark::State& state)
{
    Frame32* source = allocate_frame();
    Frame32* target = allocate_frame();
    fill_picture(*source);
    for (auto _ : state) {
        std::memcpy(target->pixels, source->pixels, k_frame_bytes);
        benchmark::DoNotOptimize(target->pixels);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * k_frame_bytes));
    free_frame(source);
    free_frame(target);
}
BENCHMARK(BM_memcpy_frame);

// The pass costs the same whatever the pixels hold, so fading the same frame again is fair.
void BM_fade_to_black(benchmark::State& state)
{
    BackbufferScope backbuffer;
    fill_picture(*g_virtual_backbuffer);
    for (auto _ : state) {
        fade_to_black(100);
        benchmark::DoNotOptimize(g_virtual_backbuffer->pixels);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * k_frame_bytes));
}
BENCHMARK(BM_fade_to_black);

// A frame without the effect: the picture copied and faded in one pass.
void BM_copy_faded_frame(benchmark::State& state)
{
    BackbufferScope backbuffer;
    fill_picture(g_outgoing_picture);
    for (auto _ : state) {
        copy_faded_frame(g_outgoing_picture, 100);
        benchmark::DoNotOptimize(g_virtual_backbuffer->pixels);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * k_frame_bytes));
}
BENCHMARK(BM_copy_faded_frame);

// Each built-in variant, to see what the run-time choice is worth.
void BM_fade_kernel(benchmark::State& state)
{
    const FadeKernelInfo& kernel = fade_kernels()[static_cast<std::size_t>(state.range(0))];
    if (!kernel.supported) {
        state.SkipWithError("not supported on this processor");
        return;
    }
    state.SetLabel(kernel.name);
    BackbufferScope backbuffer;
    fill_picture(*g_virtual_backbuffer);
    for (auto _ : state) {
        kernel.run(g_virtual_backbuffer->pixels, g_virtual_backbuffer->pixels, k_frame_pixels, 100);
        benchmark::DoNotOptimize(g_virtual_backbuffer->pixels);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * k_frame_bytes));
}
BENCHMARK(BM_fade_kernel)->DenseRange(0, static_cast<int>(fade_kernels().size()) - 1);

}  // namespace
