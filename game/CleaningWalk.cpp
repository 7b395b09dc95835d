#include "game/CleaningWalk.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define FROSTWIPE_WALK_X86 1
#endif

namespace {

constexpr int kGrayDivisor = 3;
constexpr int kCleanCeiling = 255;
constexpr int kIcedBelow = 100;

// The rules for one pixel, on columns [x0, x1) and rows [y0, y1): the reference the vector
// paths must match, and their walk over the edges a whole tile does not cover.
std::int32_t WalkBlock(const TCleaningWalk& walk, int x0, int x1, int y0, int y1) {
  // A local copy: the arrays' stores cannot alias it, so its fields stay in registers.
  const TCleaningWalk w = walk;
  std::int32_t iced = 0;
  for (int x = x0; x < x1; ++x) {
    const std::uint8_t* framePixel = w.frameTop + y0 * w.frameStride + w.frameBytesPerPixel * x;
    std::uint8_t* workPixel = w.workTop + y0 * w.workStride + 3 * x;
    const int column = w.height * x;
    for (int y = y0; y < y1; ++y, framePixel += w.frameStride, workPixel += w.workStride) {
      const int i = column + y;
      const int level = (framePixel[2] + framePixel[1] + framePixel[0]) / kGrayDivisor;
      w.gray[i] = level;
      const int difference = std::abs(level - w.previous[i]);
      int c = w.clean[i];
      if (c > w.freezeStep) c -= w.freezeStep;  // the ice grows back
      if (difference > w.motionThreshold) c = std::min(c + difference, kCleanCeiling);
      w.clean[i] = c;
      w.previous[i] = level;
      const bool isIced = c < kIcedBelow;
      iced += isIced;
      const std::uint8_t keep = isIced ? 0 : 0xFF;
      workPixel[0] &= keep;
      workPixel[1] &= keep;
      workPixel[2] &= keep;
    }
  }
  return iced;
}

// The vector paths walk tiles of lanes x lanes pixels, down each strip of lanes columns: a
// tile's frame rows are read a row at a time and their gray levels transposed into columns,
// because the arrays run down the columns; the iced masks are transposed back into rows to black
// out the work bitmap. This walks what whole tiles leave over: the bottom rows of the tiled
// columns, and the columns right of them.
std::int32_t WalkEdges(const TCleaningWalk& w, int lanes) {
  const int tiledWidth = w.width - w.width % lanes;
  const int tiledHeight = w.height - w.height % lanes;
  return WalkBlock(w, 0, tiledWidth, tiledHeight, w.height) +
         WalkBlock(w, tiledWidth, w.width, 0, w.height);
}

#ifdef FROSTWIPE_WALK_X86

// floor(s / 3) for 0 <= s <= 765 held in the low half of a 32-bit lane: (s * 0x5556) >> 16.
constexpr short kThirdMultiplier = 0x5556;

inline void Transpose4(__m128i (&v)[4]) {
  const __m128i t0 = _mm_unpacklo_epi32(v[0], v[1]), t1 = _mm_unpackhi_epi32(v[0], v[1]);
  const __m128i t2 = _mm_unpacklo_epi32(v[2], v[3]), t3 = _mm_unpackhi_epi32(v[2], v[3]);
  v[0] = _mm_unpacklo_epi64(t0, t2);
  v[1] = _mm_unpackhi_epi64(t0, t2);
  v[2] = _mm_unpacklo_epi64(t1, t3);
  v[3] = _mm_unpackhi_epi64(t1, t3);
}

std::int32_t WalkSse2(const TCleaningWalk& walk) {
  const TCleaningWalk w = walk;  // kept in registers, as in WalkBlock
  const __m128i freeze = _mm_set1_epi32(w.freezeStep);
  const __m128i threshold = _mm_set1_epi32(w.motionThreshold);
  const __m128i ceiling = _mm_set1_epi32(kCleanCeiling);
  const __m128i icedBelow = _mm_set1_epi32(kIcedBelow);
  const __m128i third = _mm_set1_epi16(kThirdMultiplier);
  const __m128i lowAndHighByte = _mm_set1_epi32(0x00FF00FF);
  const __m128i ones16 = _mm_set1_epi16(1);
  const __m128i pixel0 = _mm_setr_epi32(0x00FFFFFF, 0, 0, 0);
  const __m128i pixel1 = _mm_setr_epi32(0, 0x00FFFFFF, 0, 0);
  const __m128i pixel2 = _mm_setr_epi32(0, 0, 0x00FFFFFF, 0);
  const __m128i pixel3 = _mm_setr_epi32(0, 0, 0, 0x00FFFFFF);
  const __m128i colours = _mm_set1_epi32(0x00FFFFFF);
  const bool fourBytes = w.frameBytesPerPixel == 4;
  // Byte j of a 4-pixel row belongs to pixel j / 3.
  const __m128i pixelBit = _mm_setr_epi8(1, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 0, 0, 0, 0);
  __m128i icedLanes = _mm_setzero_si128();

  for (int x = 0; x + 4 <= w.width; x += 4)
    for (int y = 0; y + 4 <= w.height; y += 4) {
      __m128i g[4];
      for (int r = 0; r < 4; ++r) {
        const std::uint8_t* p = w.frameTop + (y + r) * w.frameStride + w.frameBytesPerPixel * x;
        // Pixel k's three bytes into 32-bit lane k, the fourth byte 0.
        __m128i spread;
        if (fourBytes) {
          spread = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), colours);
        } else {
          std::int32_t tail;
          std::memcpy(&tail, p + 8, 4);
          const __m128i bytes = _mm_unpacklo_epi64(
              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_cvtsi32_si128(tail));
          spread = _mm_or_si128(_mm_or_si128(_mm_and_si128(bytes, pixel0),
                                             _mm_and_si128(_mm_slli_si128(bytes, 1), pixel1)),
                                _mm_or_si128(_mm_and_si128(_mm_slli_si128(bytes, 2), pixel2),
                                             _mm_and_si128(_mm_slli_si128(bytes, 3), pixel3)));
        }
        const __m128i pairs =
            _mm_add_epi16(_mm_and_si128(spread, lowAndHighByte), _mm_srli_epi16(spread, 8));
        g[r] = _mm_mulhi_epu16(_mm_madd_epi16(pairs, ones16), third);
      }
      Transpose4(g);
      __m128i iced[4];
      for (int c = 0; c < 4; ++c) {
        const int i = w.height * (x + c) + y;
        auto* gray = reinterpret_cast<__m128i*>(w.gray + i);
        auto* previous = reinterpret_cast<__m128i*>(w.previous + i);
        auto* clean = reinterpret_cast<__m128i*>(w.clean + i);
        const __m128i delta = _mm_sub_epi32(g[c], _mm_loadu_si128(previous));
        const __m128i sign = _mm_srai_epi32(delta, 31);
        const __m128i difference = _mm_sub_epi32(_mm_xor_si128(delta, sign), sign);
        __m128i level = _mm_loadu_si128(clean);
        level = _mm_sub_epi32(level, _mm_and_si128(_mm_cmpgt_epi32(level, freeze), freeze));
        __m128i wiped = _mm_add_epi32(level, difference);
        const __m128i over = _mm_cmpgt_epi32(wiped, ceiling);
        wiped = _mm_or_si128(_mm_andnot_si128(over, wiped), _mm_and_si128(over, ceiling));
        const __m128i moved = _mm_cmpgt_epi32(difference, threshold);
        level = _mm_or_si128(_mm_andnot_si128(moved, level), _mm_and_si128(moved, wiped));
        _mm_storeu_si128(gray, g[c]);
        _mm_storeu_si128(previous, g[c]);
        _mm_storeu_si128(clean, level);
        const __m128i isIced = _mm_cmpgt_epi32(icedBelow, level);
        icedLanes = _mm_sub_epi32(icedLanes, isIced);
        iced[c] = isIced;
      }
      Transpose4(iced);
      for (int r = 0; r < 4; ++r) {
        const int bits = _mm_movemask_ps(_mm_castsi128_ps(iced[r]));
        if (bits == 0) continue;
        const __m128i black = _mm_cmpeq_epi8(
            _mm_and_si128(_mm_set1_epi8(static_cast<char>(bits)), pixelBit), pixelBit);
        std::uint8_t* q = w.workTop + (y + r) * w.workStride + 3 * x;
        std::int32_t tail;
        std::memcpy(&tail, q + 8, 4);
        const __m128i kept = _mm_andnot_si128(
            black, _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)),
                                      _mm_cvtsi32_si128(tail)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(q), kept);
        tail = _mm_cvtsi128_si32(_mm_srli_si128(kept, 8));
        std::memcpy(q + 8, &tail, 4);
      }
    }
  const std::int32_t edges = WalkEdges(w, 4);
  alignas(16) std::int32_t counts[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(counts), icedLanes);
  return edges + counts[0] + counts[1] + counts[2] + counts[3];
}

__attribute__((target("avx2"))) inline void Transpose8(__m256i (&v)[8]) {
  __m256i t[8], u[8];
  for (int k = 0; k < 8; k += 2) {
    t[k] = _mm256_unpacklo_epi32(v[k], v[k + 1]);
    t[k + 1] = _mm256_unpackhi_epi32(v[k], v[k + 1]);
  }
  for (int k = 0; k < 8; k += 4) {
    u[k] = _mm256_unpacklo_epi64(t[k], t[k + 2]);
    u[k + 1] = _mm256_unpackhi_epi64(t[k], t[k + 2]);
    u[k + 2] = _mm256_unpacklo_epi64(t[k + 1], t[k + 3]);
    u[k + 3] = _mm256_unpackhi_epi64(t[k + 1], t[k + 3]);
  }
  for (int k = 0; k < 4; ++k) {
    v[k] = _mm256_permute2x128_si256(u[k], u[k + 4], 0x20);
    v[k + 4] = _mm256_permute2x128_si256(u[k], u[k + 4], 0x31);
  }
}

__attribute__((target("avx2"))) std::int32_t WalkAvx2(const TCleaningWalk& walk) {
  const TCleaningWalk w = walk;  // kept in registers, as in WalkBlock
  const __m256i freeze = _mm256_set1_epi32(w.freezeStep);
  const __m256i threshold = _mm256_set1_epi32(w.motionThreshold);
  const __m256i ceiling = _mm256_set1_epi32(kCleanCeiling);
  const __m256i icedBelow = _mm256_set1_epi32(kIcedBelow);
  const __m256i third = _mm256_set1_epi16(kThirdMultiplier);
  const __m256i ones8 = _mm256_set1_epi8(1);
  const __m256i ones16 = _mm256_set1_epi16(1);
  // Bytes 0-11 of an 8-pixel row to the low half, bytes 12-23 to the high half, then pixel k's
  // three bytes into 32-bit lane k with a zero fourth byte.
  const __m256i halves = _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0);
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                          0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  // A 4-byte pixel already sits in its lane: only its fourth byte goes.
  const __m256i colours = _mm256_set1_epi32(0x00FFFFFF);
  const bool fourBytes = w.frameBytesPerPixel == 4;
  // Byte j of an 8-pixel row belongs to pixel j / 3.
  const __m128i pixelBitLow = _mm_setr_epi8(1, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16, 16, 16, 32);
  const __m128i pixelBitHigh =
      _mm_setr_epi8(32, 32, 64, 64, 64, -128, -128, -128, 0, 0, 0, 0, 0, 0, 0, 0);
  __m256i icedLanes = _mm256_setzero_si256();

  for (int x = 0; x + 8 <= w.width; x += 8)
    for (int y = 0; y + 8 <= w.height; y += 8) {
      __m256i g[8];
      for (int r = 0; r < 8; ++r) {
        const std::uint8_t* p = w.frameTop + (y + r) * w.frameStride + w.frameBytesPerPixel * x;
        __m256i pixels;
        if (fourBytes) {
          pixels =
              _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), colours);
        } else {
          const __m256i bytes = _mm256_inserti128_si256(
              _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 16)), 1);
          pixels = _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(bytes, halves), spread);
        }
        const __m256i sums = _mm256_madd_epi16(_mm256_maddubs_epi16(pixels, ones8), ones16);
        g[r] = _mm256_mulhi_epu16(sums, third);
      }
      Transpose8(g);
      __m256i iced[8];
      __m256i anyIced = _mm256_setzero_si256();
      for (int c = 0; c < 8; ++c) {
        const int i = w.height * (x + c) + y;
        auto* gray = reinterpret_cast<__m256i*>(w.gray + i);
        auto* previous = reinterpret_cast<__m256i*>(w.previous + i);
        auto* clean = reinterpret_cast<__m256i*>(w.clean + i);
        const __m256i difference =
            _mm256_abs_epi32(_mm256_sub_epi32(g[c], _mm256_loadu_si256(previous)));
        __m256i level = _mm256_loadu_si256(clean);
        level =
            _mm256_sub_epi32(level, _mm256_and_si256(_mm256_cmpgt_epi32(level, freeze), freeze));
        const __m256i wiped = _mm256_min_epi32(_mm256_add_epi32(level, difference), ceiling);
        level = _mm256_blendv_epi8(level, wiped, _mm256_cmpgt_epi32(difference, threshold));
        _mm256_storeu_si256(gray, g[c]);
        _mm256_storeu_si256(previous, g[c]);
        _mm256_storeu_si256(clean, level);
        iced[c] = _mm256_cmpgt_epi32(icedBelow, level);
        icedLanes = _mm256_sub_epi32(icedLanes, iced[c]);
        anyIced = _mm256_or_si256(anyIced, iced[c]);
      }
      if (_mm256_testz_si256(anyIced, anyIced)) continue;
      Transpose8(iced);
      for (int r = 0; r < 8; ++r) {
        const int bits = _mm256_movemask_ps(_mm256_castsi256_ps(iced[r]));
        if (bits == 0) continue;
        const __m128i spreadBits = _mm_set1_epi8(static_cast<char>(bits));
        std::uint8_t* q = w.workTop + (y + r) * w.workStride + 3 * x;
        auto* low = reinterpret_cast<__m128i*>(q);
        auto* high = reinterpret_cast<__m128i*>(q + 16);
        _mm_storeu_si128(
            low,
            _mm_andnot_si128(_mm_cmpeq_epi8(_mm_and_si128(spreadBits, pixelBitLow), pixelBitLow),
                             _mm_loadu_si128(low)));
        _mm_storel_epi64(
            high,
            _mm_andnot_si128(_mm_cmpeq_epi8(_mm_and_si128(spreadBits, pixelBitHigh), pixelBitHigh),
                             _mm_loadl_epi64(high)));
      }
    }
  const std::int32_t edges = WalkEdges(w, 8);
  alignas(32) std::int32_t counts[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(counts), icedLanes);
  std::int32_t tiles = 0;
  for (std::int32_t count : counts) tiles += count;
  return edges + tiles;
}

#endif  // FROSTWIPE_WALK_X86

}  // namespace

bool WalkPathAvailable(TWalkPath path) {
  switch (path) {
    case TWalkPath::Automatic:
    case TWalkPath::Scalar:
      return true;
#ifdef FROSTWIPE_WALK_X86
    case TWalkPath::Sse2:
      return __builtin_cpu_supports("sse2");
    case TWalkPath::Avx2:
      return __builtin_cpu_supports("avx2");
#else
    case TWalkPath::Sse2:
    case TWalkPath::Avx2:
      return false;
#endif
  }
  return false;
}

TWalkPath FastestWalkPath() {
  static const TWalkPath fastest = WalkPathAvailable(TWalkPath::Avx2)   ? TWalkPath::Avx2
                                   : WalkPathAvailable(TWalkPath::Sse2) ? TWalkPath::Sse2
                                                                        : TWalkPath::Scalar;
  return fastest;
}

std::int32_t WalkPixels(const TCleaningWalk& walk, TWalkPath path) {
  if (walk.width <= 0 || walk.height <= 0) return 0;
  if (path == TWalkPath::Automatic) path = FastestWalkPath();
  if (!WalkPathAvailable(path)) path = TWalkPath::Scalar;
  switch (path) {
#ifdef FROSTWIPE_WALK_X86
    case TWalkPath::Sse2:
      return WalkSse2(walk);
    case TWalkPath::Avx2:
      return WalkAvx2(walk);
#endif
    default:
      return WalkBlock(walk, 0, walk.width, 0, walk.height);
  }
}
