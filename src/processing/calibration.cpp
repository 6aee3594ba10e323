#include "processing/calibration.h"

#include "image/label_band.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarvex {

namespace {

// The normalisation area of a flat field, taken with a row stride of 580.
constexpr int FLAT_NORM_STRIDE = 580;
constexpr int FLAT_NORM_FIRST_ROW = 9;
constexpr int FLAT_NORM_LAST_ROW = 19;
constexpr int FLAT_NORM_FIRST_COLUMN = 9;
constexpr int FLAT_NORM_LAST_COLUMN = 499;
constexpr int FLAT_FIRST_COLUMN = 5;
constexpr int FLAT_END_COLUMN = 751;  // column 751 is never changed

// One pixel of the flat division: unchanged where the flat is 0 or the image
// is 65534 or above, else c / f * m truncated, capped at 65535.
inline std::uint16_t divide_flat_pixel(std::uint16_t c, std::uint16_t f, double m) {
  if (f == 0 || c >= 65534) return c;
  const double v = static_cast<double>(c) / f * m;
  return v >= 65535.0 ? 65535 : static_cast<std::uint16_t>(v);
}

#if defined(__SSE2__)
// Two image pixels at a time in double precision: the same division, the
// same multiplication and the same truncation as divide_flat_pixel, so the
// results are identical. Returns the first column left for the plain loop.
int divide_flat_row_sse2(std::uint16_t* c, const std::uint16_t* f, int x, int end, double m) {
  const __m128d scale = _mm_set1_pd(m);
  const __m128d cap = _mm_set1_pd(65535.0);
  const __m128d one = _mm_set1_pd(1.0);
  const __m128i zero = _mm_setzero_si128();
  const __m128i sign = _mm_set1_epi16(static_cast<short>(0x8000));
  const __m128i sign32 = _mm_set1_epi32(32768);
  const __m128i keep_from = _mm_set1_epi16(static_cast<short>(65533 ^ 0x8000));
  // Divides two samples held as 32-bit lanes 0 and 1 of ci and fi.
  auto divide2 = [&](__m128i ci, __m128i fi) {
    const __m128d cd = _mm_cvtepi32_pd(ci);
    __m128d fd = _mm_cvtepi32_pd(fi);
    fd = _mm_or_pd(_mm_and_pd(_mm_cmpneq_pd(fd, _mm_setzero_pd()), fd),
                   _mm_and_pd(_mm_cmpeq_pd(fd, _mm_setzero_pd()), one));
    const __m128d v = _mm_min_pd(_mm_mul_pd(_mm_div_pd(cd, fd), scale), cap);
    return _mm_cvttpd_epi32(v);  // lanes 0 and 1
  };
  for (; x + 8 <= end; x += 8) {
    const __m128i cv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + x));
    const __m128i fv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + x));
    const __m128i c_lo = _mm_unpacklo_epi16(cv, zero);
    const __m128i c_hi = _mm_unpackhi_epi16(cv, zero);
    const __m128i f_lo = _mm_unpacklo_epi16(fv, zero);
    const __m128i f_hi = _mm_unpackhi_epi16(fv, zero);
    const __m128i q0 = divide2(c_lo, f_lo);
    const __m128i q1 = divide2(_mm_srli_si128(c_lo, 8), _mm_srli_si128(f_lo, 8));
    const __m128i q2 = divide2(c_hi, f_hi);
    const __m128i q3 = divide2(_mm_srli_si128(c_hi, 8), _mm_srli_si128(f_hi, 8));
    const __m128i lo = _mm_unpacklo_epi64(q0, q1);
    const __m128i hi = _mm_unpacklo_epi64(q2, q3);
    // 0..65535 in 32-bit lanes to 16 bits: shift into the signed range to pack.
    const __m128i packed =
        _mm_xor_si128(_mm_packs_epi32(_mm_sub_epi32(lo, sign32), _mm_sub_epi32(hi, sign32)), sign);
    const __m128i keep = _mm_or_si128(_mm_cmpeq_epi16(fv, zero),
                                      _mm_cmpgt_epi16(_mm_xor_si128(cv, sign), keep_from));
    const __m128i out = _mm_or_si128(_mm_and_si128(keep, cv), _mm_andnot_si128(keep, packed));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(c + x), out);
  }
  return x;
}
#endif

}  // namespace

void subtract_dark_frame(FrameStore& fs) {
  subtract_dark(fs.CurrentFrame, fs.SecondFrame);
}

void subtract_dark(Frame& image, const Frame& dark) {
  std::uint16_t* __restrict c = image.data();
  const std::uint16_t* __restrict d = dark.data();
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    const std::uint16_t v = c[i];
    const std::uint16_t diff = d[i] < v ? static_cast<std::uint16_t>(v - d[i]) : 0;
    c[i] = v >= SATURATED_SAMPLE ? v : diff;
  }
}

double flat_normalisation(const Frame& flat) {
  double sum = 0.0;
  for (int i = FLAT_NORM_FIRST_ROW; i <= FLAT_NORM_LAST_ROW; ++i)
    for (int j = FLAT_NORM_FIRST_COLUMN; j <= FLAT_NORM_LAST_COLUMN; ++j)
      sum += flat[static_cast<std::size_t>(i * FLAT_NORM_STRIDE + j)];
  return FLAT_NORMALISATION_SCALE * sum;
}

void divide_flat_field(FrameStore& fs, Progress& progress) {
  const double m = flat_normalisation(fs.SecondFrame);
  const int first_row = has_label_band(fs.CurrentFrame) ? LABEL_BAND_ROWS + 1 : 1;
  progress.open(FLAT_PROGRESS_CAPTION);
  for (int y = first_row; y < FRAME_HEIGHT; ++y) {
    progress.set_position(y / 2);
    std::uint16_t* __restrict c = fs.CurrentFrame.data() + y * FRAME_WIDTH;
    const std::uint16_t* __restrict f = fs.SecondFrame.data() + y * FRAME_WIDTH;
    int x = FLAT_FIRST_COLUMN;
#if defined(__SSE2__)
    x = divide_flat_row_sse2(c, f, x, FLAT_END_COLUMN, m);
#endif
    for (; x < FLAT_END_COLUMN; ++x) c[x] = divide_flat_pixel(c[x], f[x], m);
  }
  progress.close();
}

}  // namespace tarvex
