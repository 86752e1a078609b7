#include "fx/kernels.h"

// Elsewhere (WebAssembly) only the portable variants are built in.
#if defined(__x86_64__) || defined(__i386__)

bool cpu_has_avx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

bool cpu_has_ssse3()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3");
}

#else

bool cpu_has_avx2() { return false; }

bool cpu_has_ssse3() { return false; }

#endif
