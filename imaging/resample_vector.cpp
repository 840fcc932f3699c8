#include "imaging/resample_vector.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/resample_pixel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define SKEWTRIM_HAVE_AVX2_PATH 1
#endif

namespace skewtrim::vector_path {

#if !defined(SKEWTRIM_HAVE_AVX2_PATH)

bool available() {
    return false;
}

bool accepts(const Bitmap&) {
    return false;
}

void resample(const Bitmap&, const StraightenPlan&, const OffsetTables&, int, const std::uint8_t*, Bitmap&,
              RowRange) {}

#else

bool available() {
    return __builtin_cpu_supports("avx2");
}

// Everything below is compiled for AVX2 and only ever called after available().
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

namespace {

constexpr int kLanes = 8;  // output pixels per block (32-bit lanes of a 256-bit register)
constexpr std::uint8_t kWhite = 255;
constexpr std::uint64_t kWhiteBlock = ~std::uint64_t{0};  // eight white 8-bit pixels

// Bits of a byte in reverse order: lane k of a block is bit 7 - k of a 1-bit row.
constexpr std::array<std::uint8_t, 256> make_reversed() {
    std::array<std::uint8_t, 256> t{};
    for (int v = 0; v < 256; ++v) {
        int r = 0;
        for (int b = 0; b < 8; ++b) {
            r |= ((v >> b) & 1) << (7 - b);
        }
        t[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(r);
    }
    return t;
}
constexpr std::array<std::uint8_t, 256> kReversed = make_reversed();

// Two bicubic weights of one phase packed as the 16-bit halves of a lane, for
// phases 0..9 (padded to 16 entries for the two-register table lookup).
struct PairTable {
    alignas(32) std::int32_t v[16];
};

PairTable weight_pairs(int lowTap, int highTap) {
    const CubicWeights& w = cubic_weights();
    PairTable t{};
    for (int p = 0; p < pixel::kPhases; ++p) {
        const auto lo =
            static_cast<std::uint16_t>(w[static_cast<std::size_t>(p)][static_cast<std::size_t>(lowTap)]);
        const auto hi =
            static_cast<std::uint16_t>(w[static_cast<std::size_t>(p)][static_cast<std::size_t>(highTap)]);
        t.v[p] = static_cast<std::int32_t>(static_cast<std::uint32_t>(lo) |
                                           (static_cast<std::uint32_t>(hi) << 16));
    }
    return t;
}

// Entry `phase` (0..9 per lane) of a 10-entry table, without a memory gather.
inline __m256i lookup10(const PairTable& t, __m256i phase) {
    const __m256i lo = _mm256_load_si256(reinterpret_cast<const __m256i*>(t.v));
    const __m256i hi = _mm256_load_si256(reinterpret_cast<const __m256i*>(t.v + 8));
    const __m256i a = _mm256_permutevar8x32_epi32(lo, phase);
    const __m256i b = _mm256_permutevar8x32_epi32(hi, phase);
    return _mm256_blendv_epi8(a, b, _mm256_cmpgt_epi32(phase, _mm256_set1_epi32(7)));
}

// Byte 0 of each 32-bit lane, the eight of them as one 64-bit value (lane 0 first).
inline std::uint64_t low_bytes(__m256i v) {
    const __m256i take = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                          0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i packed =
        _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, take), _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0));
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm256_castsi256_si128(packed)));
}

inline int lane_bits(__m256i mask) {
    return _mm256_movemask_ps(_mm256_castsi256_ps(mask));
}

// ((v + 1) x w) / 10 per 16-bit lane for values v (0..255) and weights w
// (0..10), with the table's corrections: row 10 is v itself (`isTen`), and the
// last entries of rows 5, 7 and 9 are one lower (`isOddHigh`). The division is
// a multiply-high by 6554, exact for dividends below 16379.
inline __m256i product(__m256i v, __m256i w, __m256i isTen, __m256i isOddHigh) {
    const __m256i q = _mm256_mulhi_epu16(_mm256_mullo_epi16(_mm256_add_epi16(v, _mm256_set1_epi16(1)), w),
                                         _mm256_set1_epi16(6554));
    const __m256i lower =
        _mm256_or_si256(isTen, _mm256_and_si256(isOddHigh, _mm256_cmpeq_epi16(v, _mm256_set1_epi16(255))));
    return _mm256_add_epi16(q, lower);  // lower is -1 where the entry is one below the formula
}

// Per-lane weights of the product table with their correction masks: w == 10,
// and w one of 5, 7, 9.
struct ProductWeight {
    __m256i w, isTen, isOddHigh;
    explicit ProductWeight(__m256i weight) : w(weight) {
        const __m256i one = _mm256_set1_epi16(1);
        isTen = _mm256_cmpeq_epi16(weight, _mm256_set1_epi16(10));
        isOddHigh = _mm256_and_si256(_mm256_cmpgt_epi16(weight, _mm256_set1_epi16(4)),
                                     _mm256_cmpeq_epi16(_mm256_and_si256(weight, one), one));
    }
    __m256i operator()(__m256i v) const { return product(v, w, isTen, isOddHigh); }
};

// Source points of one block of eight output pixels.
struct Block {
    __m256i x0, y0;  // source pixel (truncated point)
    __m256i px, py;  // phases 0..9 (interpolating modes only)
    __m256i pass;    // all ones where the point lies on the paper
    int passBits;    // the same as a bit per lane
};

// Per-call constants of the walk, by value, and the source points of a block.
struct Cursor {
    const double* ucos;  // signed offset-table entries per output column (padded to whole blocks)
    const double* usin;
    int cx, cy;       // paper centre
    int first, last;  // the paper mask
    const int* left;
    const int* right;
    int width;  // output width
    bool clip;  // lanes past the output width must not pass

    // Source points of output pixels i0 .. i0 + 7 of the row with offsets
    // (vsin, vcos): nearest truncates the two offsets and adds the centre;
    // the interpolating modes add the centre first and truncate the point.
    template <bool kInterpolate>
    __attribute__((always_inline)) inline Block block(int i0, __m256d vsin, __m256d vcos) const {
        const double* uc = ucos + i0;
        const double* us = usin + i0;
        const __m256d dx0 = _mm256_add_pd(_mm256_loadu_pd(uc), vsin);
        const __m256d dx1 = _mm256_add_pd(_mm256_loadu_pd(uc + 4), vsin);
        const __m256d dy0 = _mm256_sub_pd(vcos, _mm256_loadu_pd(us));
        const __m256d dy1 = _mm256_sub_pd(vcos, _mm256_loadu_pd(us + 4));
        Block b{};
        if constexpr (!kInterpolate) {
            b.x0 = _mm256_add_epi32(_mm256_set_m128i(_mm256_cvttpd_epi32(dx1), _mm256_cvttpd_epi32(dx0)),
                                    _mm256_set1_epi32(cx));
            b.y0 = _mm256_add_epi32(_mm256_set_m128i(_mm256_cvttpd_epi32(dy1), _mm256_cvttpd_epi32(dy0)),
                                    _mm256_set1_epi32(cy));
        } else {
            // Points left of or below the source get a negative floor and are
            // refused with the negative coordinates below; for the others the
            // floor is the truncated point, and the phase is the fraction times
            // 10 truncated, exactly as with a truncated integer.
            const __m256d cxd = _mm256_set1_pd(static_cast<double>(cx));
            const __m256d cyd = _mm256_set1_pd(static_cast<double>(cy));
            const __m256d ten = _mm256_set1_pd(pixel::kPhases);
            const __m256d fx0 = _mm256_add_pd(cxd, dx0);
            const __m256d fx1 = _mm256_add_pd(cxd, dx1);
            const __m256d fy0 = _mm256_add_pd(cyd, dy0);
            const __m256d fy1 = _mm256_add_pd(cyd, dy1);
            const __m256d gx0 = _mm256_floor_pd(fx0);
            const __m256d gx1 = _mm256_floor_pd(fx1);
            const __m256d gy0 = _mm256_floor_pd(fy0);
            const __m256d gy1 = _mm256_floor_pd(fy1);
            b.x0 = _mm256_set_m128i(_mm256_cvttpd_epi32(gx1), _mm256_cvttpd_epi32(gx0));
            b.y0 = _mm256_set_m128i(_mm256_cvttpd_epi32(gy1), _mm256_cvttpd_epi32(gy0));
            auto phase = [&](__m256d f, __m256d g) {
                return _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_sub_pd(f, g), ten));
            };
            b.px = _mm256_set_m128i(phase(fx1, gx1), phase(fx0, gx0));
            b.py = _mm256_set_m128i(phase(fy1, gy1), phase(fy0, gy0));
        }
        // The paper mask: rows first..last, and per row its leftmost and
        // rightmost paper column. The mask was checked to lie inside the
        // source (first row and every left column at least 0), so passing it
        // also means both coordinates are at least 0; a point beyond the
        // 32-bit range truncates to the most negative value and fails too.
        // Along a block the row rarely changes: one broadcast of the row's
        // columns usually replaces the two table gathers.
        const int row0 = _mm_cvtsi128_si32(_mm256_castsi256_si128(b.y0));
        if (lane_bits(_mm256_cmpeq_epi32(b.y0, _mm256_set1_epi32(row0))) == 0xFF) {
            if (row0 < first || row0 > last) {
                b.pass = _mm256_setzero_si256();
            } else {
                const __m256i from = _mm256_set1_epi32(left[row0]);
                const __m256i to = _mm256_set1_epi32(right[row0]);
                b.pass = _mm256_xor_si256(
                    _mm256_or_si256(_mm256_cmpgt_epi32(from, b.x0), _mm256_cmpgt_epi32(b.x0, to)),
                    _mm256_set1_epi32(-1));
            }
        } else if (const int rowLow = std::min(row0, _mm256_extract_epi32(b.y0, 7));
                   rowLow >= first && rowLow < last &&
                   lane_bits(_mm256_or_si256(_mm256_cmpeq_epi32(b.y0, _mm256_set1_epi32(rowLow)),
                                             _mm256_cmpeq_epi32(b.y0, _mm256_set1_epi32(rowLow + 1)))) ==
                       0xFF) {
            // Two neighbouring paper rows (the usual change of row along a
            // block): two broadcasts each instead of the table gathers.
            const __m256i second = _mm256_cmpeq_epi32(b.y0, _mm256_set1_epi32(rowLow + 1));
            const __m256i from = _mm256_blendv_epi8(_mm256_set1_epi32(left[rowLow]),
                                                    _mm256_set1_epi32(left[rowLow + 1]), second);
            const __m256i to = _mm256_blendv_epi8(_mm256_set1_epi32(right[rowLow]),
                                                  _mm256_set1_epi32(right[rowLow + 1]), second);
            b.pass = _mm256_xor_si256(
                _mm256_or_si256(_mm256_cmpgt_epi32(from, b.x0), _mm256_cmpgt_epi32(b.x0, to)),
                _mm256_set1_epi32(-1));
        } else {
            const __m256i inRows = _mm256_and_si256(_mm256_cmpgt_epi32(b.y0, _mm256_set1_epi32(first - 1)),
                                                    _mm256_cmpgt_epi32(_mm256_set1_epi32(last + 1), b.y0));
            const __m256i row =
                _mm256_min_epi32(_mm256_max_epi32(b.y0, _mm256_set1_epi32(first)), _mm256_set1_epi32(last));
            const __m256i from = _mm256_i32gather_epi32(left, row, 4);
            const __m256i to = _mm256_i32gather_epi32(right, row, 4);
            b.pass = _mm256_andnot_si256(
                _mm256_or_si256(_mm256_cmpgt_epi32(from, b.x0), _mm256_cmpgt_epi32(b.x0, to)), inRows);
        }
        if (clip) {
            // Lanes past the row's end: harmless in the scratch row for bytes,
            // but they share the last output byte of a 1-bit row.
            b.pass = _mm256_and_si256(b.pass, _mm256_cmpgt_epi32(_mm256_set1_epi32(width - i0),
                                                                 _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)));
        }
        b.passBits = lane_bits(b.pass);
        return b;
    }
};

// Per-call tables of the walk over the output.
class Walk {
public:
    Walk(const StraightenPlan& plan, const OffsetTables& tables, int outWidth, int outHeight, bool clipWidth)
        : plan_(plan),
          tables_(tables),
          width_(outWidth),
          height_(outHeight),
          clipWidth_(clipWidth),
          padded_((outWidth + kLanes - 1) / kLanes * kLanes),
          ucos_(static_cast<std::size_t>(padded_), 0.0),
          usin_(static_cast<std::size_t>(padded_), 0.0) {
        const int half = (outWidth - 1) / 2;
        for (int i = 0; i < outWidth; ++i) {
            const int u = i - half;
            const std::size_t k = static_cast<std::size_t>(u < 0 ? -u : u);
            ucos_[static_cast<std::size_t>(i)] = u < 0 ? -tables.cosines[k] : tables.cosines[k];
            usin_[static_cast<std::size_t>(i)] = u < 0 ? -tables.sines[k] : tables.sines[k];
        }
    }

    int width() const { return width_; }
    int height() const { return height_; }
    int padded_width() const { return padded_; }

    // Signed offset-table entries of output row j: v sin and v cos.
    void row(int j, double& vsin, double& vcos) const {
        const int v = j - (height_ - 1) / 2;
        const std::size_t k = static_cast<std::size_t>(v < 0 ? -v : v);
        vsin = v < 0 ? -tables_.sines[k] : tables_.sines[k];
        vcos = v < 0 ? -tables_.cosines[k] : tables_.cosines[k];
    }

    // The walk's constants by value: kept in registers across the blocks,
    // since the compiler cannot tell that output stores leave them alone
    // while they live in memory.
    Cursor cursor() const {
        return Cursor{ucos_.data(),
                      usin_.data(),
                      plan_.cx,
                      plan_.cy,
                      plan_.mask.first,
                      plan_.mask.last,
                      plan_.mask.left.data(),
                      plan_.mask.right.data(),
                      width_,
                      clipWidth_};
    }

private:
    const StraightenPlan& plan_;
    const OffsetTables& tables_;
    int width_;
    int height_;
    bool clipWidth_;  // lanes past the output width must not pass
    int padded_;
    std::vector<double> ucos_, usin_;
};

// The source as one block of rows: row y starts at base + y x stride.
struct Source {
    const Bitmap& bmp;
    const std::uint8_t* base;
    int stride;
    int end;                 // bytes readable from base: up to the end of the last row's pixels
    std::int64_t ahead = 0;  // bytes from a source point to the same block's point a few output rows later
};

// Output rows ahead whose source bytes are fetched into the cache early: the
// walk along a rotated line meets each source row at a new place every row,
// which the processor's own prefetching does not foresee.
constexpr int kPrefetchRows = 3;

// Hint that the bytes at base + offset (and the row after) will be read soon;
// never faults, whatever the address.
inline void prefetch_rows(const Source& s, std::int64_t offset) {
    const auto at = reinterpret_cast<std::uintptr_t>(s.base) + static_cast<std::uintptr_t>(offset + s.ahead);
    _mm_prefetch(reinterpret_cast<const char*>(at), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(at + static_cast<std::uintptr_t>(s.stride)), _MM_HINT_T0);
}

// 4 bytes per lane at base + offset, for the lanes of `mask`; `other` elsewhere.
inline __m256i gather_bytes(__m256i other, const std::uint8_t* base, __m256i offset, __m256i mask) {
    return _mm256_mask_i32gather_epi32(other, reinterpret_cast<const int*>(base), offset, mask, 1);
}

// Smallest lane value, in every lane.
inline __m256i lane_min(__m256i v) {
    v = _mm256_min_epi32(v, _mm256_permute2x128_si256(v, v, 1));
    v = _mm256_min_epi32(v, _mm256_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    return _mm256_min_epi32(v, _mm256_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
}

// Reads of 4 consecutive bytes per lane, from column byte `col` of source row
// `row` (and of the rows after it), served from two 16-byte spans instead of
// a memory gather. Along a block the source point moves by about one pixel per
// lane and changes row at most once at small angles, so all lanes usually fall
// in two neighbouring rows and 16 columns: each lane's bytes are then one
// shuffle of the span of its row.
class Spans {
public:
    // `layout` picks each lane's bytes out of the 4 that follow its column
    // (a shuffle control per lane, 0x80 for a zero byte). False when the lanes
    // of `mask` do not fit two rows and a 16-byte span, or when the spans of
    // `rowsAfter` further rows would leave the source block.
    bool plan(const Source& s, __m256i col, __m256i row, __m256i mask, int maskBits, int rowsAfter,
              std::uint32_t layout) {
        // The point moves monotonically along a block, so the first or the last
        // lane holds the smallest column and row; other cases take the minimum.
        __m256i colMin;
        __m256i rowMin;
        if (maskBits == 0xFF) {
            colMin = _mm256_min_epi32(_mm256_broadcastd_epi32(_mm256_castsi256_si128(col)),
                                      _mm256_permutevar8x32_epi32(col, _mm256_set1_epi32(7)));
            rowMin = _mm256_min_epi32(_mm256_broadcastd_epi32(_mm256_castsi256_si128(row)),
                                      _mm256_permutevar8x32_epi32(row, _mm256_set1_epi32(7)));
        } else {
            const __m256i none = _mm256_set1_epi32(std::numeric_limits<std::int32_t>::max());
            colMin = lane_min(_mm256_blendv_epi8(none, col, mask));
            rowMin = lane_min(_mm256_blendv_epi8(none, row, mask));
        }
        __m256i d = _mm256_sub_epi32(col, colMin);
        __m256i dr = _mm256_sub_epi32(row, rowMin);
        if (maskBits != 0xFF) {
            d = _mm256_and_si256(d, mask);
            dr = _mm256_and_si256(dr, mask);
        }
        // Unsigned: a lane below the minimum counts as too far.
        const __m256i tooFar = _mm256_or_si256(
            _mm256_xor_si256(_mm256_cmpeq_epi32(_mm256_min_epu32(d, _mm256_set1_epi32(kSpanBytes - 4)), d),
                             _mm256_set1_epi32(-1)),
            _mm256_xor_si256(_mm256_cmpeq_epi32(_mm256_min_epu32(dr, _mm256_set1_epi32(1)), dr),
                             _mm256_set1_epi32(-1)));
        if (!_mm256_testz_si256(tooFar, tooFar)) {
            return false;
        }
        const std::int64_t start =
            static_cast<std::int64_t>(_mm_cvtsi128_si32(_mm256_castsi256_si128(rowMin))) * s.stride +
            _mm_cvtsi128_si32(_mm256_castsi256_si128(colMin));
        if (start < 0 || start + static_cast<std::int64_t>(rowsAfter + 1) * s.stride + kSpanBytes > s.end) {
            return false;
        }
        first_ = s.base + start;
        prefetch_rows(s, start + static_cast<std::int64_t>(rowsAfter) * s.stride);
        stride_ = s.stride;
        // d (below 16) in all four bytes of its lane: a byte shuffle, cheaper than a multiply.
        const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12,  //
                                                0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
        control_ = _mm256_add_epi32(_mm256_shuffle_epi8(d, spread),
                                    _mm256_set1_epi32(static_cast<std::int32_t>(layout)));
        second_ = _mm256_cmpeq_epi32(dr, _mm256_set1_epi32(1));
        return true;
    }

    // The bytes of each lane, `r` rows after the lane's own row.
    __m256i fetch(int r) const {
        const std::uint8_t* a = first_ + static_cast<std::ptrdiff_t>(r) * stride_;
        const __m256i spanA =
            _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)));
        const __m256i spanB =
            _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + stride_)));
        return _mm256_blendv_epi8(_mm256_shuffle_epi8(spanA, control_), _mm256_shuffle_epi8(spanB, control_),
                                  second_);
    }

private:
    static constexpr int kSpanBytes = 16;
    const std::uint8_t* first_ = nullptr;
    int stride_ = 0;
    __m256i control_;
    __m256i second_;
};

// Shuffle controls for Spans::plan: the 4 bytes as they lie, and bytes 0 and 1
// spread to the two 16-bit halves of the lane.
constexpr std::uint32_t kFourBytes = 0x03020100;
constexpr std::uint32_t kTwoWords = 0x80018000;

// 4 bytes per lane at byte offset `off` (+ `r` rows), for the lanes of
// `mask`: from the spans when they were planned, else gathered (and then
// arranged by `layout` as the spans arrange them).
inline __m256i read4(const Source& s, const Spans* spans, __m256i off, __m256i mask, int r,
                     std::uint32_t layout = kFourBytes) {
    if (spans != nullptr) {
        return spans->fetch(r);
    }
    const __m256i g = gather_bytes(_mm256_setzero_si256(), s.base,
                                   _mm256_add_epi32(off, _mm256_set1_epi32(r * s.stride)), mask);
    if (layout == kFourBytes) {
        return g;
    }
    const __m256i byLane =
        _mm256_setr_epi32(0, 0x04040404, 0x08080808, 0x0C0C0C0C, 0, 0x04040404, 0x08080808, 0x0C0C0C0C);
    return _mm256_shuffle_epi8(
        g, _mm256_add_epi32(_mm256_set1_epi32(static_cast<std::int32_t>(layout)), byLane));
}

// Lane values of a block, for the lanes handled one at a time.
struct LaneValues {
    alignas(32) std::int32_t x0[kLanes], y0[kLanes], px[kLanes], py[kLanes], off[kLanes];
    void keep(const Block& b, __m256i offset) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(x0), b.x0);
        _mm256_store_si256(reinterpret_cast<__m256i*>(y0), b.y0);
        _mm256_store_si256(reinterpret_cast<__m256i*>(px), b.px);
        _mm256_store_si256(reinterpret_cast<__m256i*>(py), b.py);
        _mm256_store_si256(reinterpret_cast<__m256i*>(off), offset);
    }
};

// Runs `fillBlock(row, i0, block)` for every block of output rows `band`
// (`scratchBytes`: the bytes the blocks of one row write). Blocks past a row's
// end write a few bytes into the next row, which is drawn afterwards; so when
// they stay within the next row, every row but the band's last is drawn in
// place, else on a scratch row that is copied into the output row afterwards.
template <bool kInterpolate, typename FillBlock>
void for_each_block(const Walk& walk, Bitmap& out, RowRange band, std::size_t scratchBytes,
                    FillBlock fillBlock) {
    std::vector<std::uint8_t> scratch(scratchBytes + 32);
    const Cursor cursor = walk.cursor();
    const std::size_t rowBytes = static_cast<std::size_t>(unpadded_row_bytes(out.width, out.bitCount));
    const bool inPlace = scratchBytes <= 2 * rowBytes;
    for (int j = band.first; j < band.end; ++j) {
        double vsin = 0.0;
        double vcos = 0.0;
        walk.row(j, vsin, vcos);
        const __m256d vs = _mm256_set1_pd(vsin);
        const __m256d vc = _mm256_set1_pd(vcos);
        const bool last = j + 1 == band.end || !inPlace;
        std::uint8_t* row = last ? scratch.data() : out.rows[j];
        for (int i0 = 0; i0 < cursor.width; i0 += kLanes) {
            fillBlock(row, i0, cursor.block<kInterpolate>(i0, vs, vc));
        }
        if (last) {
            std::memcpy(out.rows[j], scratch.data(), rowBytes);
        }
    }
}

// Lanes of `bits` one at a time, lowest first.
template <typename Each>
inline void each_lane(int bits, Each each) {
    while (bits != 0) {
        each(__builtin_ctz(static_cast<unsigned>(bits)));
        bits &= bits - 1;
    }
}

// Runs `each(lanes, k)` for every lane k of block `b` that is to be drawn
// but was left out of the vector path (`fastBits`), with the block's lane
// values and source offsets `off` at hand.
template <typename Each>
inline void each_slow_lane(const Block& b, __m256i off, int fastBits, Each each) {
    const int slow = b.passBits & ~fastBits;
    if (slow == 0) return;
    LaneValues l;
    l.keep(b, off);
    each_lane(slow, [&](int k) { each(l, k); });
}

inline __m256i offsets(const Source& s, __m256i x, __m256i y) {
    return _mm256_add_epi32(_mm256_mullo_epi32(y, _mm256_set1_epi32(s.stride)), x);
}

// Lanes whose 4-byte read at `off` (+ `extra`) stays inside the source block.
inline __m256i readable(const Source& s, __m256i off, int extra) {
    return _mm256_cmpgt_epi32(_mm256_set1_epi32(s.end - 4 - extra + 1), off);
}

void nearest_grey(const Source& source, const Walk& walk, Bitmap& out, RowRange band) {
    const Source s = source;  // by value: stays in registers across the output stores
    for_each_block<false>(
        walk, out, band, static_cast<std::size_t>(walk.padded_width()),
        [&](std::uint8_t * row, int i0, const Block& b) __attribute__((always_inline)) {
            if (b.passBits == 0) {
                std::memcpy(row + i0, &kWhiteBlock, sizeof kWhiteBlock);
                return;
            }
            // Usually every paper lane lies in two neighbouring spans, which the
            // span planning also keeps inside the source: no offsets needed.
            Spans spans;
            if (spans.plan(s, b.x0, b.y0, b.pass, b.passBits, 0, kFourBytes)) {
                const std::uint64_t bytes =
                    low_bytes(_mm256_blendv_epi8(_mm256_set1_epi32(kWhite), spans.fetch(0), b.pass));
                std::memcpy(row + i0, &bytes, sizeof bytes);
                return;
            }
            const __m256i off = offsets(s, b.x0, b.y0);
            const __m256i fast = _mm256_and_si256(b.pass, readable(s, off, 0));
            const int fastBits = lane_bits(fast);
            const __m256i g = read4(s, nullptr, off, fast, 0);
            const std::uint64_t bytes = low_bytes(_mm256_blendv_epi8(_mm256_set1_epi32(kWhite), g, fast));
            std::memcpy(row + i0, &bytes, sizeof bytes);
            each_slow_lane(b, off, fastBits,
                           [&](const LaneValues& l, int k) { row[i0 + k] = s.base[l.off[k]]; });
        });
}

void nearest_colour(const Source& s, const Walk& walk, const std::uint8_t* fill, Bitmap& out, RowRange band) {
    for_each_block<false>(
        walk, out, band, static_cast<std::size_t>(walk.padded_width()) * 3,
        [&](std::uint8_t * row, int i0, const Block& b) __attribute__((always_inline)) {
            const __m256i off = offsets(s, _mm256_mullo_epi32(b.x0, _mm256_set1_epi32(3)), b.y0);
            const __m256i fast = _mm256_and_si256(b.pass, readable(s, off, 0));
            alignas(32) std::uint32_t g[kLanes];
            _mm256_store_si256(reinterpret_cast<__m256i*>(g),
                               gather_bytes(_mm256_setzero_si256(), s.base, off, fast));
            LaneValues l;
            l.keep(b, off);
            for (int k = 0; k < kLanes; ++k) {
                std::uint8_t* px = row + 3 * (i0 + k);
                if (((b.passBits >> k) & 1) == 0) {
                    std::memcpy(px, fill, 3);
                } else {
                    const std::uint8_t* from = reinterpret_cast<const std::uint8_t*>(&g[k]);
                    std::memcpy(px, ((lane_bits(fast) >> k) & 1) ? from : s.base + l.off[k], 3);
                }
            }
        });
}

// 1-bit sources: each block of eight output pixels is one output byte.
void nearest_bits(const Source& source, const Walk& walk, Bitmap& out, RowRange band) {
    const Source s = source;  // by value: stays in registers across the output stores
    for_each_block<false>(
        walk, out, band, static_cast<std::size_t>(walk.padded_width() / kLanes),
        [&](std::uint8_t * row, int i0, const Block& b) __attribute__((always_inline)) {
            if (b.passBits == 0) {
                row[i0 / kLanes] = kWhite;
                return;
            }
            // Usually every paper lane lies in two neighbouring spans, which the
            // span planning also keeps inside the source: then no offsets and
            // no lanes left over.
            const __m256i byteColumn = _mm256_srai_epi32(b.x0, 3);
            Spans spans;
            const bool near = spans.plan(s, byteColumn, b.y0, b.pass, b.passBits, 0, kFourBytes);
            const __m256i off = near ? _mm256_setzero_si256() : offsets(s, byteColumn, b.y0);
            const __m256i fast = near ? b.pass : _mm256_and_si256(b.pass, readable(s, off, 0));
            const int fastBits = near ? b.passBits : lane_bits(fast);
            const __m256i g = read4(s, near ? &spans : nullptr, off, fast, 0);
            const __m256i shift =
                _mm256_sub_epi32(_mm256_set1_epi32(7), _mm256_and_si256(b.x0, _mm256_set1_epi32(7)));
            const __m256i bit = _mm256_and_si256(_mm256_srlv_epi32(g, shift), _mm256_set1_epi32(1));
            // White (1) where the source bit is set and wherever the fill stays.
            const __m256i white = _mm256_or_si256(_mm256_cmpeq_epi32(bit, _mm256_set1_epi32(1)),
                                                  _mm256_xor_si256(fast, _mm256_set1_epi32(-1)));
            int bits = lane_bits(white);
            each_slow_lane(b, off, fastBits, [&](const LaneValues& l, int k) {
                if (!bit_at(s.bmp.rows[l.y0[k]], l.x0[k])) {
                    bits &= ~(1 << k);
                }
            });
            row[i0 / kLanes] = kReversed[static_cast<std::size_t>(bits)];
        });
}

// True when no paper column of the mask is within `margin` pixels of the
// source's right edge and no paper row within `margin` rows of its top: every
// neighbourhood then lies inside the source.
bool mask_clear_of_edges(const Bitmap& src, const PaperMask& mask, int margin) {
    if (mask.last > src.height - 1 - margin) {
        return false;
    }
    for (int y = mask.first; y <= mask.last; ++y) {
        if (mask.right[static_cast<std::size_t>(y)] > src.width - 1 - margin) {
            return false;
        }
    }
    return true;
}

void bilinear_grey(const Source& source, const Walk& walk, const PaperMask& mask, Bitmap& out,
                   RowRange band) {
    const Source s = source;            // by value: stays in registers across the output stores
    const int lastX = s.bmp.width - 2;  // x0 + 1 still inside the row
    const int lastY = s.bmp.height - 2;
    const bool clear = mask_clear_of_edges(s.bmp, mask, 1);
    for_each_block<true>(
        walk, out, band, static_cast<std::size_t>(walk.padded_width()),
        [&](std::uint8_t * row, int i0, const Block& b) __attribute__((always_inline)) {
            __m256i fast = b.pass;
            if (!clear) {
                fast = _mm256_andnot_si256(_mm256_cmpgt_epi32(b.x0, _mm256_set1_epi32(lastX)), fast);
                fast = _mm256_andnot_si256(_mm256_cmpgt_epi32(b.y0, _mm256_set1_epi32(lastY)), fast);
            }
            int fastBits = lane_bits(fast);
            std::uint64_t bytes = 0x0101010101010101ULL * kWhite;
            if (fastBits != 0) {
                // Each lane as two 16-bit halves: the pixel and its right neighbour,
                // weighted 10 - px and px; a multiply-add by ones sums the halves.
                Spans spans;
                const Spans* near =
                    spans.plan(s, b.x0, b.y0, fast, fastBits, 1, kTwoWords) ? &spans : nullptr;
                // Source offsets only for gathers (the spans stay inside the source).
                const __m256i off = near == nullptr ? offsets(s, b.x0, b.y0) : _mm256_setzero_si256();
                if (near == nullptr) {  // gathered: 4-byte reads must stay inside the source block
                    fast = _mm256_and_si256(fast, readable(s, off, s.stride));
                    fastBits = lane_bits(fast);
                }
                const __m256i top = read4(s, near, off, fast, 0, kTwoWords);
                const __m256i bottom = read4(s, near, off, fast, 1, kTwoWords);
                const __m256i ten = _mm256_set1_epi32(pixel::kPhases);
                const ProductWeight wx(
                    _mm256_add_epi32(_mm256_sub_epi32(ten, b.px), _mm256_slli_epi32(b.px, 16)));
                const ProductWeight wy(
                    _mm256_add_epi32(_mm256_sub_epi32(ten, b.py), _mm256_slli_epi32(b.py, 16)));
                const __m256i ones = _mm256_set1_epi16(1);
                const __m256i t = _mm256_madd_epi16(wx(top), ones);
                const __m256i u = _mm256_madd_epi16(wx(bottom), ones);
                const __m256i v = _mm256_madd_epi16(wy(_mm256_or_si256(t, _mm256_slli_epi32(u, 16))), ones);
                bytes = low_bytes(_mm256_blendv_epi8(_mm256_set1_epi32(kWhite), v, fast));
            }
            std::memcpy(row + i0, &bytes, sizeof bytes);
            each_slow_lane(b, _mm256_setzero_si256(), fastBits, [&](const LaneValues& l, int k) {
                pixel::bilinear<1>(s.bmp, l.x0[k], l.y0[k], l.px[k], l.py[k], row + i0 + k);
            });
        });
}

void bicubic_grey(const Source& source, const Walk& walk, Bitmap& out, RowRange band) {
    const Source s = source;  // by value: stays in registers across the output stores
    const PairTable wx02 = weight_pairs(0, 2);
    const PairTable wx13 = weight_pairs(1, 3);
    const PairTable wy01 = weight_pairs(0, 1);
    const PairTable wy23 = weight_pairs(2, 3);
    const int lastX = s.bmp.width - 3;  // x0 - 1 .. x0 + 2 inside the row
    const int lastY = s.bmp.height - 3;
    for_each_block<true>(
        walk, out, band, static_cast<std::size_t>(walk.padded_width()),
        [&](std::uint8_t * row, int i0, const Block& b) __attribute__((always_inline)) {
            const __m256i one = _mm256_set1_epi32(1);
            const __m256i off = offsets(s, _mm256_sub_epi32(b.x0, one), _mm256_sub_epi32(b.y0, one));
            __m256i fast = _mm256_and_si256(b.pass, _mm256_cmpgt_epi32(b.x0, _mm256_setzero_si256()));
            fast = _mm256_and_si256(fast, _mm256_cmpgt_epi32(b.y0, _mm256_setzero_si256()));
            fast = _mm256_andnot_si256(_mm256_cmpgt_epi32(b.x0, _mm256_set1_epi32(lastX)), fast);
            fast = _mm256_andnot_si256(_mm256_cmpgt_epi32(b.y0, _mm256_set1_epi32(lastY)), fast);
            const int fastBits = lane_bits(fast);
            std::uint64_t bytes = 0x0101010101010101ULL * kWhite;
            if (fastBits != 0) {
                Spans spans;
                const Spans* near = spans.plan(s, _mm256_sub_epi32(b.x0, one), _mm256_sub_epi32(b.y0, one),
                                               fast, fastBits, 3, kFourBytes)
                                        ? &spans
                                        : nullptr;
                const __m256i w02 = lookup10(wx02, b.px);
                const __m256i w13 = lookup10(wx13, b.px);
                const __m256i evenBytes = _mm256_set1_epi32(0x00FF00FF);
                __m256i h[4];
                for (int r = 0; r < 4; ++r) {
                    const __m256i g = read4(s, near, off, fast, r);
                    const __m256i taps02 = _mm256_and_si256(g, evenBytes);
                    const __m256i taps13 = _mm256_and_si256(_mm256_srli_epi32(g, 8), evenBytes);
                    const __m256i sum =
                        _mm256_add_epi32(_mm256_madd_epi16(taps02, w02), _mm256_madd_epi16(taps13, w13));
                    h[r] = _mm256_srai_epi32(sum, pixel::kWeightShift);
                }
                const __m256i lowHalf = _mm256_set1_epi32(0xFFFF);
                const __m256i h01 =
                    _mm256_or_si256(_mm256_and_si256(h[0], lowHalf), _mm256_slli_epi32(h[1], 16));
                const __m256i h23 =
                    _mm256_or_si256(_mm256_and_si256(h[2], lowHalf), _mm256_slli_epi32(h[3], 16));
                __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(h01, lookup10(wy01, b.py)),
                                               _mm256_madd_epi16(h23, lookup10(wy23, b.py)));
                sum = _mm256_min_epi32(_mm256_max_epi32(sum, _mm256_setzero_si256()),
                                       _mm256_set1_epi32(pixel::kCubicMax));
                sum = _mm256_srli_epi32(sum, pixel::kWeightShift);
                bytes = low_bytes(_mm256_blendv_epi8(_mm256_set1_epi32(kWhite), sum, fast));
            }
            std::memcpy(row + i0, &bytes, sizeof bytes);
            each_slow_lane(b, off, fastBits, [&](const LaneValues& l, int k) {
                pixel::bicubic<1>(s.bmp, l.x0[k], l.y0[k], l.px[k], l.py[k], row + i0 + k);
            });
        });
}

// Colour interpolation: the points and the mask test in vector lanes, the
// three colour bytes of each paper pixel with the plain sample.
template <int kMode>
void interpolate_colour(const Source& s, const Walk& walk, const std::uint8_t* fill, Bitmap& out,
                        RowRange band) {
    for_each_block<true>(
        walk, out, band, static_cast<std::size_t>(walk.padded_width()) * 3,
        [&](std::uint8_t * row, int i0, const Block& b) __attribute__((always_inline)) {
            LaneValues l;
            l.keep(b, _mm256_setzero_si256());
            for (int k = 0; k < kLanes; ++k) {
                std::uint8_t* px = row + 3 * (i0 + k);
                if (((b.passBits >> k) & 1) == 0) {
                    std::memcpy(px, fill, 3);
                } else if constexpr (kMode == kBilinear) {
                    pixel::bilinear<3>(s.bmp, l.x0[k], l.y0[k], l.px[k], l.py[k], px);
                } else {
                    pixel::bicubic<3>(s.bmp, l.x0[k], l.y0[k], l.px[k], l.py[k], px);
                }
            }
        });
}

// The source rows as one evenly spaced block with 32-bit offsets, if they are.
bool as_block(const Bitmap& src, Source& s) {
    const std::int64_t rowBytes = unpadded_row_bytes(src.width, src.bitCount);
    const std::int64_t stride = src.stride;
    if (stride < rowBytes) {
        return false;
    }
    const std::int64_t end = stride * (src.height - 1) + rowBytes;
    if (end + stride > std::numeric_limits<std::int32_t>::max() / 2) {
        return false;
    }
    for (int y = 0; y < src.height; ++y) {
        if (src.rows[y] != src.rows[0] + stride * y) {
            return false;
        }
    }
    s.base = src.rows[0];
    s.stride = static_cast<int>(stride);
    s.end = static_cast<int>(end);
    return true;
}

}  // namespace

bool accepts(const Bitmap& src) {
    Source s{src, nullptr, 0, 0};
    return as_block(src, s);
}

void resample(const Bitmap& src, const StraightenPlan& plan, const OffsetTables& tables, int mode,
              const std::uint8_t* fill, Bitmap& out, RowRange band) {
    Source s{src, nullptr, 0, 0};
    if (!as_block(src, s)) {
        return;  // not accepted: the caller runs the plain loops
    }
    const double bytesPerPixel = src.bitCount / 8.0;
    s.ahead = std::llround(kPrefetchRows * std::cos(plan.theta)) * s.stride +
              std::llround(kPrefetchRows * std::sin(plan.theta) * bytesPerPixel);
    const Walk walk(plan, tables, out.width, out.height, src.bitCount == 1);
    if (src.bitCount == 1) {
        nearest_bits(s, walk, out, band);
    } else if (mode == kNearest) {
        src.bitCount == 8 ? nearest_grey(s, walk, out, band) : nearest_colour(s, walk, fill, out, band);
    } else if (mode == kBilinear) {
        src.bitCount == 8 ? bilinear_grey(s, walk, plan.mask, out, band)
                          : interpolate_colour<kBilinear>(s, walk, fill, out, band);
    } else {
        src.bitCount == 8 ? bicubic_grey(s, walk, out, band)
                          : interpolate_colour<kBicubic>(s, walk, fill, out, band);
    }
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif

}  // namespace skewtrim::vector_path
