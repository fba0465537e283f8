#pragma once

// The hot loops exist twice: once built for AVX2 and once plain, for any
// processor. vectorLoops() chooses once per process: the AVX2 twins where the
// processor has AVX2, unless the build (CMake option ETALON_PLAIN_LOOPS) or
// the environment (ETALON_PLAIN_LOOPS set to anything but "" or "0") asks for
// the plain loops. Both give the same integers.
#if defined(__x86_64__) && defined(__GNUC__)
#define ETALON_AVX2_TWINS 1
#define ETALON_AVX2 __attribute__((target("avx2")))
#else
#define ETALON_AVX2_TWINS 0
#define ETALON_AVX2
#endif

// A loop body written once and inlined into both twins, so that the AVX2 twin
// is vectorised with AVX2 by the compiler.
#define ETALON_LOOP_BODY __attribute__((always_inline)) inline

namespace etalon {

bool vectorLoops();

}  // namespace etalon
