// Compiling vector kernels for levels above the build's baseline: the
// library is built for plain x86-64 (SSE2), and its AVX2 kernels carry a
// function-level target instead of a file- or project-wide -mavx2, so no
// AVX2 instruction can reach code that runs before the dispatch has chosen
// (an inline function emitted once for the whole program, for instance).
// Every function that uses AVX2 intrinsics, helpers included, is marked
// RK_AVX2 and is only called after ActiveSimdLevel() said kAvx2.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#define RK_X86_SIMD 1
#define RK_AVX2 __attribute__((target("avx2")))
#else
#define RK_X86_SIMD 0
#define RK_AVX2
#endif
