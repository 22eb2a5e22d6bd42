// Whether the engine's SSE2 paths are built: where the compiler targets SSE2, unless the build
// asks for the scalar twins alone (VELMORA_NO_SIMD). Every SSE2 path has a scalar twin that
// gives the same bits, and the test command runs the engine suites on both.
#pragma once

#if defined(__SSE2__) && !defined(VELMORA_NO_SIMD)
#define VELMORA_SSE2 1
#include <emmintrin.h>
#else
#define VELMORA_SSE2 0
#endif
