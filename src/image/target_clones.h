// TARVEX_CLONES: compile a hot loop twice, for plain x86-64 and for AVX2; the
// better copy is chosen when the program loads. Both give identical results,
// and the default build stays portable.
#pragma once

#if defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define TARVEX_CLONES __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef TARVEX_CLONES
#define TARVEX_CLONES
#endif
