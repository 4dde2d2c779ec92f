// One way to run processor-specific code: a function compiled for AVX2 by
// an attribute (no -march flags, so the rest of the program runs anywhere),
// chosen at run time when the processor has it.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#define KORVEX_HAVE_AVX2 1
#define KORVEX_AVX2 __attribute__((target("avx2")))
#else
#define KORVEX_HAVE_AVX2 0
#define KORVEX_AVX2
#endif

// Hot helpers that must not cost a call per number.
#if defined(__GNUC__)
#define KORVEX_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define KORVEX_ALWAYS_INLINE inline
#endif

namespace korvex {

// Whether this processor runs the KORVEX_AVX2 functions; false where they
// are not built.
inline bool cpuHasAvx2() {
#if KORVEX_HAVE_AVX2
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    return has;
#else
    return false;
#endif
}

}  // namespace korvex
