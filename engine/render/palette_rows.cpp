// Palette lookups for the level renderer, which converts both layers of the visible
// cells on every frame. Where the CPU has byte permutes (AVX-512 VBMI), cells three
// bytes apart (the level's own layout) go 64 at a time: their bytes are picked out of
// three loads, each of the colour's four bytes is looked up in a byte plane of the
// palette, and the planes are woven back into texels.
#include "engine/render/palette_rows.h"

#include "engine/shared/palette.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define PALETTE_ROWS_VBMI 1
#endif

static void palette_row_plain(const uint8_t* cell, size_t stride, int count, uint32_t* out) {
  for (int x = 0; x < count; x++, cell += stride)
    out[x] = main_palette[*cell];
}

#ifdef PALETTE_ROWS_VBMI
#define VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace {

// Byte b of every palette colour, in four 64-byte quarters.
struct PalettePlanes {
  alignas(64) uint8_t bytes[4][256];
  PalettePlanes() {
    for (int i = 0; i < 256; i++)
      for (int b = 0; b < 4; b++)
        bytes[b][i] = uint8_t(main_palette[i] >> (8 * b));
  }
};

const PalettePlanes planes;

// Bytes of colours 0..127 (lo) or 128..255 (hi) chosen by the low seven bits of each
// index, then by its top bit.
VBMI __m512i plane_lookup(const uint8_t* plane, __m512i index, __mmask64 top) {
  __m512i lo = _mm512_permutex2var_epi8(_mm512_load_si512(plane), index, _mm512_load_si512(plane + 64));
  __m512i hi = _mm512_permutex2var_epi8(_mm512_load_si512(plane + 128), index, _mm512_load_si512(plane + 192));
  return _mm512_mask_blend_epi8(top, lo, hi);
}

// Sixty-four cells three bytes apart, from first.
VBMI void palette_64_cells(const uint8_t* first, uint32_t* out) {
  // Byte 3i of the 192 bytes: from the first two loads below 128, else the last two.
  alignas(64) static const uint8_t pick[64] = {
      0,   3,   6,   9,   12,  15,  18,  21,  24,  27,  30,  33,  36,  39,  42,  45,  48,  51,  54,  57,  60,  63,
      66,  69,  72,  75,  78,  81,  84,  87,  90,  93,  96,  99,  102, 105, 108, 111, 114, 117, 120, 123, 126, 65,
      68,  71,  74,  77,  80,  83,  86,  89,  92,  95,  98,  101, 104, 107, 110, 113, 116, 119, 122, 125};
  constexpr __mmask64 from_last_two = ~0ull << 43;  // cells 43.. lie at bytes 129..
  __m512i a = _mm512_loadu_si512(first), b = _mm512_loadu_si512(first + 64), c = _mm512_loadu_si512(first + 128);
  __m512i picks = _mm512_load_si512(pick);
  __m512i index = _mm512_mask_blend_epi8(from_last_two, _mm512_permutex2var_epi8(a, picks, b),
                                         _mm512_permutex2var_epi8(b, picks, c));
  __mmask64 top = _mm512_movepi8_mask(index);
  __m512i p0 = plane_lookup(planes.bytes[0], index, top), p1 = plane_lookup(planes.bytes[1], index, top);
  __m512i p2 = plane_lookup(planes.bytes[2], index, top), p3 = plane_lookup(planes.bytes[3], index, top);
  // Weaving works within 16-byte lanes: q0 holds texels 0-3 of each lane's sixteen,
  // q1 texels 4-7, q2 8-11, q3 12-15.
  __m512i p01_lo = _mm512_unpacklo_epi8(p0, p1), p01_hi = _mm512_unpackhi_epi8(p0, p1);
  __m512i p23_lo = _mm512_unpacklo_epi8(p2, p3), p23_hi = _mm512_unpackhi_epi8(p2, p3);
  __m512i q0 = _mm512_unpacklo_epi16(p01_lo, p23_lo), q1 = _mm512_unpackhi_epi16(p01_lo, p23_lo);
  __m512i q2 = _mm512_unpacklo_epi16(p01_hi, p23_hi), q3 = _mm512_unpackhi_epi16(p01_hi, p23_hi);
  // Back in order, two 64-bit halves of a lane at a time.
  const __m512i lanes_01 = _mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11);
  const __m512i lanes_23 = _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15);
  const __m512i low_halves = _mm512_setr_epi64(0, 1, 2, 3, 8, 9, 10, 11);
  const __m512i high_halves = _mm512_setr_epi64(4, 5, 6, 7, 12, 13, 14, 15);
  __m512i r0 = _mm512_permutex2var_epi64(q0, lanes_01, q1), r1 = _mm512_permutex2var_epi64(q2, lanes_01, q3);
  __m512i r2 = _mm512_permutex2var_epi64(q0, lanes_23, q1), r3 = _mm512_permutex2var_epi64(q2, lanes_23, q3);
  _mm512_storeu_si512(out, _mm512_permutex2var_epi64(r0, low_halves, r1));
  _mm512_storeu_si512(out + 16, _mm512_permutex2var_epi64(r0, high_halves, r1));
  _mm512_storeu_si512(out + 32, _mm512_permutex2var_epi64(r2, low_halves, r3));
  _mm512_storeu_si512(out + 48, _mm512_permutex2var_epi64(r2, high_halves, r3));
}

// The three loads of the last block can reach two bytes into the cell after it, so that
// cell must be one of the row's.
VBMI void palette_row_vbmi(const uint8_t* first, int count, uint32_t* out) {
  int x = 0;
  for (; x + 64 < count; x += 64)
    palette_64_cells(first + 3 * x, out + x);
  palette_row_plain(first + 3 * x, 3, count - x, out + x);
}

// Asked on first use: the CPU's features may not be known yet while static objects are
// being built.
bool has_vbmi() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
  }();
  return has;
}

}  // namespace
#endif

void palette_row(const uint8_t* first, size_t stride, int count, uint32_t* out) {
#ifdef PALETTE_ROWS_VBMI
  if (stride == 3 && has_vbmi()) {
    palette_row_vbmi(first, count, out);
    return;
  }
#endif
  palette_row_plain(first, stride, count, out);
}
