// An effect frame the defining way (tests/oracle/: copy, effect, fade, three plain walks) against
// one walk with each row kernel, in the same run.

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "fx/dot_table.h"
#include "fx/effect.h"
#include "fx/effect_frame.h"
#include "fx/frame.h"
#include "oracle_frame.h"

namespace {

// The effect's table and a texture of noise, without the texture file; a picture-like frame.
struct EffectScope {
    EffectScope()
    {
        if (!effect_build_tables(k_frame_width, k_frame_height))
            std::abort();
        std::uint32_t state = 1;
        for (std::uint32_t& texel : g_effect_texture) {
            state = state * 1664525u + 1013904223u;
            texel = state >> 8;
        }
        g_virtual_backbuffer = allocate_frame();
        picture = allocate_frame();
        for (std::size_t i = 0; i < k_frame_pixels; ++i)
            picture->pixels[i] = 0xFF000000u | static_cast<std::uint32_t>((i * 2654435761u) >> 8);
    }
    ~EffectScope()
    {
        free_frame(picture);
        free_frame(g_virtual_backbuffer);
        g_virtual_backbuffer = nullptr;
        effect_release_tables();
    }
    Frame32* picture;
};

// A new angle every frame, as in the show, so the windows move over the table.
double angle_of(std::int64_t frame) { return static_cast<double>(frame) * 0.033; }

void BM_effect_frame_defined(benchmark::State& state)
{
    EffectScope scope;
    std::int64_t frame = 0;
    std::uint16_t scroll = 0;
    for (auto _ : state) {
        scroll = oracle_show_frame(*g_virtual_backbuffer, *scope.picture, 100, angle_of(frame++), scroll);
        benchmark::DoNotOptimize(g_virtual_backbuffer->pixels);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * k_frame_bytes));
}
BENCHMARK(BM_effect_frame_defined);

void BM_effect_frame_kernel(benchmark::State& state)
{
    const EffectRowKernelInfo& kernel = effect_row_kernels()[static_cast<std::size_t>(state.range(0))];
    if (!kernel.supported) {
        state.SkipWithError("not supported on this processor");
        return;
    }
    state.SetLabel(kernel.name);
    EffectScope scope;
    std::int64_t frame = 0;
    for (auto _ : state) {
        compose_effect_frame(*scope.picture, effect_windows(angle_of(frame++)), 100, -1, kernel.run);
        benchmark::DoNotOptimize(g_virtual_backbuffer->pixels);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * k_frame_bytes));
}
BENCHMARK(BM_effect_frame_kernel)->DenseRange(0, static_cast<int>(effect_row_kernels().size()) - 1);

// A fade-out's effect frame after its first: the rows without dots faded further in place.
void BM_effect_frame_further(benchmark::State& state)
{
    EffectScope scope;
    std::int64_t frame = 0;
    compose_effect_frame(*scope.picture, effect_windows(0.0), 0, -1, best_effect_row_kernel());
    for (auto _ : state) {
        const auto amount = static_cast<int>(frame % 256);
        compose_effect_frame(*scope.picture, effect_windows(angle_of(frame)), static_cast<std::uint32_t>(amount),
                             amount == 0 ? -1 : amount - 1, best_effect_row_kernel());
        ++frame;
        benchmark::DoNotOptimize(g_virtual_backbuffer->pixels);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * k_frame_bytes));
}
BENCHMARK(BM_effect_frame_further);

}  // namespace
