#pragma once

// Hot loops are built for AVX2 as well where the processor has it; the
// integer results are the same either way. (Not under the sanitizers, whose
// run-time checks do not follow the clones.)
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_ADDRESS__)
#define ETALON_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ETALON_VECTOR_CLONES
#endif
