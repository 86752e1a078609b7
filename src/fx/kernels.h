#pragma once

#include <span>

// Whole-buffer passes come in one variant per instruction set, widest first; the program runs
// the widest one the processor has, and the tests run every supported one.

template <typename Function>
struct Kernel {
    const char* name;
    Function run;
    bool supported;  // the processor running this can execute it
};

// The first supported variant of a list ordered widest first; the last one must run anywhere.
template <typename Function>
Function widest_supported(std::span<const Kernel<Function>> kernels)
{
    for (const Kernel<Function>& kernel : kernels)
        if (kernel.supported)
            return kernel.run;
    return kernels.back().run;
}

// The x86 variants are built only for x86 processors (WebAssembly has SIMD of its own).
#if defined(__x86_64__) || defined(__i386__)
#define VELMORASTIK_X86_KERNELS 1
bool cpu_has_avx2();
bool cpu_has_ssse3();
#endif
