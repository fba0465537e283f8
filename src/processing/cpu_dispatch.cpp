#include "processing/cpu_dispatch.h"

#include <cstdlib>
#include <cstring>

namespace etalon {

bool vectorLoops() {
    static const bool on = [] {
#if defined(ETALON_FORCE_PLAIN_LOOPS) || !ETALON_AVX2_TWINS
        return false;
#else
        const char* plain = std::getenv("ETALON_PLAIN_LOOPS");
        if (plain && *plain && std::strcmp(plain, "0") != 0) return false;
        return __builtin_cpu_supports("avx2") != 0;
#endif
    }();
    return on;
}

}  // namespace etalon
