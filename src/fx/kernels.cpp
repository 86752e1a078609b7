#include "fx/kernels.h"

#ifdef VELMORASTIK_X86_KERNELS

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
#endif
