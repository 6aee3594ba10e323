// Lanes: small fixed-size vectors of samples worked on together (GCC vector
// extensions). Each type is named by its element and its lane count, so
// Int32x8 holds eight 32-bit integers. Comparisons between lane values give
// masks with every bit of a lane set (-1) or clear (0). The compiler maps
// each type onto the widest registers of the clone it compiles (see
// target_clones.h); without vector registers it emulates them lane by lane.
#pragma once

#include <cstdint>
#include <cstring>

// Every helper that takes or returns lanes is always inlined into the clone
// that calls it, so no lane value crosses a function boundary whose calling
// convention depends on the clone. GCC's note that such an argument would
// change with AVX does not apply, and is silenced for the files that work on
// lanes.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace tarvex {

typedef std::uint16_t Uint16x8 __attribute__((vector_size(16)));
typedef std::uint16_t Uint16x16 __attribute__((vector_size(32)));
typedef std::int32_t Int32x4 __attribute__((vector_size(16)));
typedef std::int32_t Int32x8 __attribute__((vector_size(32)));
typedef std::int64_t Int64x4 __attribute__((vector_size(32)));
typedef std::int32_t Int32x16 __attribute__((vector_size(64)));
typedef float Float32x16 __attribute__((vector_size(64)));
typedef double Float64x4 __attribute__((vector_size(32)));

// Sixteen samples from p, as they are.
[[gnu::always_inline]] inline Uint16x16 load_u16x16(const std::uint16_t* p) {
  Uint16x16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
[[gnu::always_inline]] inline void store_u16x16(std::uint16_t* p, const Uint16x16& v) {
  std::memcpy(p, &v, sizeof v);
}

// Eight samples from p, widened to 32-bit lanes.
[[gnu::always_inline]] inline Int32x8 load_widened(const std::uint16_t* p) {
  Uint16x8 v;
  std::memcpy(&v, p, sizeof v);
  return __builtin_convertvector(v, Int32x8);
}
// Eight 32-bit lanes stored as samples, each keeping its low 16 bits (the
// caller has brought them into 0..65535).
[[gnu::always_inline]] inline void store_narrowed(std::uint16_t* p, const Int32x8& v) {
  const Uint16x8 r = __builtin_convertvector(v, Uint16x8);
  std::memcpy(p, &r, sizeof r);
}

// Lane by lane: a where the mask is set, b where it is clear.
template <typename Mask, typename Lanes>
[[gnu::always_inline]] inline Lanes select(const Mask& mask, const Lanes& a, const Lanes& b) {
  return mask ? a : b;
}

[[gnu::always_inline]] inline Uint16x16 lane_min(const Uint16x16& a, const Uint16x16& b) {
  return a < b ? a : b;
}
[[gnu::always_inline]] inline Uint16x16 lane_max(const Uint16x16& a, const Uint16x16& b) {
  return a < b ? b : a;
}

// True when any lane of the mask is set.
template <typename Mask>
[[gnu::always_inline]] inline bool any_lane(const Mask& mask) {
  bool any = false;
  for (int i = 0; i < static_cast<int>(sizeof mask / sizeof mask[0]); ++i) any |= mask[i] != 0;
  return any;
}

// True when the processor runs AVX2, on which 32-bit lane multiplications and
// divisions are single instructions; without it they are emulated and a
// one-pixel loop can be the faster choice.
inline bool avx2_available() {
#if defined(__x86_64__)
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
#else
  return false;
#endif
}

}  // namespace tarvex
