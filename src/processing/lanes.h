#pragma once

#include <cstdint>
#include <cstring>

// Eight 32-bit values side by side, one per lane: one AVX2 register in the
// AVX2 twins, a pair of SSE registers (or scalars) in the plain ones. Only
// for bodies inlined into both twins (ETALON_LOOP_BODY), so no vector ever
// crosses a call between code built for different processors.
namespace etalon::lanes {

inline constexpr int kLanes = 8;

typedef int32_t Lanes __attribute__((vector_size(32)));
typedef uint32_t UnsignedLanes __attribute__((vector_size(32)));

__attribute__((always_inline)) inline Lanes load(const int32_t* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
// Eight 16-bit values sign-extended, written out lane by lane: the compiler
// makes one widening load of it (of a 16-byte vector, two and a shuffle).
__attribute__((always_inline)) inline Lanes widen(const int16_t* p) {
    return Lanes{p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]};
}
__attribute__((always_inline)) inline void store(int32_t* p, Lanes v) {
    std::memcpy(p, &v, sizeof v);
}
__attribute__((always_inline)) inline Lanes splat(int32_t x) {
    return Lanes{x, x, x, x, x, x, x, x};
}
__attribute__((always_inline)) inline Lanes min(Lanes a, Lanes b) {
    return a < b ? a : b;
}
// Sums wrap at 32 bits, as the scalar programmes' do.
__attribute__((always_inline)) inline Lanes wrapAdd(Lanes a, Lanes b) {
    return reinterpret_cast<Lanes>(reinterpret_cast<UnsignedLanes>(a) +
                                   reinterpret_cast<UnsignedLanes>(b));
}
// Per lane: a where the mask lane is all ones, else b.
__attribute__((always_inline)) inline Lanes select(Lanes mask, Lanes a, Lanes b) {
    return (a & mask) | (b & ~mask);
}

}  // namespace etalon::lanes
