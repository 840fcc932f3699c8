#include "imaging/resample.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>

#include "imaging/bitmap.h"
#include "imaging/resample_vector.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace skewtrim {

namespace {

constexpr int kPhases = 10;  // sub-pixel positions per pixel
constexpr int kWeightShift = 10;
constexpr int kCubicMax = 255 << kWeightShift;  // 261120

// 1000 x K(q / 10) for the cubic convolution kernel with a = -1, exactly.
constexpr std::int64_t kernel_milli(int q) {
    const std::int64_t t = q < 0 ? -q : q;
    if (t <= 10) {
        return t * t * t - 20 * t * t + 1000;
    }
    if (t < 20) {
        return -t * t * t + 50 * t * t - 800 * t + 4000;
    }
    return 0;
}

// round(1024 x K), halves away from zero (no entry is a half).
constexpr std::int32_t weight_of(int q) {
    const std::int64_t n = 1024 * kernel_milli(q);
    return static_cast<std::int32_t>(n >= 0 ? (n + 500) / 1000 : -((-n + 500) / 1000));
}

constexpr CubicWeights make_cubic() {
    CubicWeights w{};
    for (int p = 0; p < kPhases; ++p) {
        for (int k = 0; k < 4; ++k) {
            w[static_cast<size_t>(p)][static_cast<size_t>(k)] = weight_of(p + 10 - 10 * k);
        }
    }
    return w;
}

constexpr LinearProducts make_linear() {
    LinearProducts t{};
    for (int w = 0; w < kPhases; ++w) {
        for (int v = 0; v < 256; ++v) {
            t[static_cast<size_t>(w)][static_cast<size_t>(v)] = static_cast<std::uint8_t>(((v + 1) * w) / 10);
        }
    }
    t[5][255] = 127;
    t[7][255] = 178;
    t[9][255] = 229;
    for (int v = 0; v < 256; ++v) {
        t[10][static_cast<size_t>(v)] = static_cast<std::uint8_t>(v);
    }
    return t;
}

constexpr CubicWeights kCubic = make_cubic();
constexpr LinearProducts kLinear = make_linear();

// Per output column: the signed offset-table entries for u; per output row the same for v.
struct Offsets {
    std::vector<double> ucos, usin;
    Offsets(const OffsetTables& tables, int width)
        : ucos(static_cast<size_t>(width)), usin(static_cast<size_t>(width)) {
        const int half = (width - 1) / 2;
        for (int i = 0; i < width; ++i) {
            const int u = i - half;
            const size_t k = static_cast<size_t>(u < 0 ? -u : u);
            ucos[static_cast<size_t>(i)] = u < 0 ? -tables.cosines[k] : tables.cosines[k];
            usin[static_cast<size_t>(i)] = u < 0 ? -tables.sines[k] : tables.sines[k];
        }
    }
};

// Source position of output pixel (i, j) as offsets from the centre:
// dx = u cos + v sin, dy = v cos - u sin.
struct RowOffsets {
    double vsin, vcos;
    RowOffsets(const OffsetTables& tables, int j, int height) {
        const int v = j - (height - 1) / 2;
        const size_t k = static_cast<size_t>(v < 0 ? -v : v);
        vsin = v < 0 ? -tables.sines[k] : tables.sines[k];
        vcos = v < 0 ? -tables.cosines[k] : tables.cosines[k];
    }
};

void fill_output(Bitmap& out, const std::uint8_t* fill, RowRange band) {
    const size_t rowBytes = static_cast<size_t>(unpadded_row_bytes(out.width, out.bitCount));
    for (int y = band.first; y < band.end; ++y) {
        std::uint8_t* row = out.rows[y];
        if (out.bitCount == 24) {
            for (int x = 0; x < out.width; ++x) {
                std::memcpy(row + 3 * x, fill, 3);
            }
        } else {
            std::memset(row, 255, rowBytes);
        }
    }
}

// Walks every output pixel whose truncated source point lies on the paper and
// hands it to `sample(outRow, i, x0, y0, fx, fy)` (fx, fy: the source point).
template <bool kTruncateOffsets, typename Sample>
void for_each_paper_pixel(const StraightenPlan& plan, const OffsetTables& tables, Bitmap& out, RowRange band,
                          Sample sample) {
    const Offsets cols(tables, out.width);
    const PaperMask& mask = plan.mask;
    const double cx = plan.cx;
    const double cy = plan.cy;
    for (int j = band.first; j < band.end; ++j) {
        const RowOffsets row(tables, j, out.height);
        std::uint8_t* outRow = out.rows[j];
        for (int i = 0; i < out.width; ++i) {
            const double dx = cols.ucos[static_cast<size_t>(i)] + row.vsin;
            const double dy = row.vcos - cols.usin[static_cast<size_t>(i)];
            int x0 = 0;
            int y0 = 0;
            double fx = 0.0;
            double fy = 0.0;
            if constexpr (kTruncateOffsets) {
                x0 = plan.cx + static_cast<int>(dx);
                y0 = plan.cy + static_cast<int>(dy);
                if (x0 < 0 || y0 < 0) {
                    continue;
                }
            } else {
                fx = cx + dx;
                fy = cy + dy;
                if (fx < 0.0 || fy < 0.0) {
                    continue;
                }
                x0 = static_cast<int>(fx);
                y0 = static_cast<int>(fy);
            }
            if (y0 < mask.first || y0 > mask.last) {
                continue;
            }
            const size_t r = static_cast<size_t>(y0);
            if (x0 < mask.left[r] || x0 > mask.right[r]) {
                continue;
            }
            sample(outRow, i, x0, y0, fx, fy);
        }
    }
}

void resample_nearest(const Bitmap& src, const StraightenPlan& plan, const OffsetTables& tables, Bitmap& out,
                      RowRange band) {
    if (src.bitCount == 1) {
        // The output starts all white, so only black pixels need writing.
        for_each_paper_pixel<true>(plan, tables, out, band,
                                   [&](std::uint8_t* outRow, int i, int x, int y, double, double) {
                                       if (!bit_at(src.rows[y], x)) {
                                           outRow[i >> 3] &= static_cast<std::uint8_t>(~(0x80u >> (i & 7)));
                                       }
                                   });
    } else if (src.bitCount == 8) {
        for_each_paper_pixel<true>(
            plan, tables, out, band,
            [&](std::uint8_t* outRow, int i, int x, int y, double, double) { outRow[i] = src.rows[y][x]; });
    } else {
        for_each_paper_pixel<true>(plan, tables, out, band,
                                   [&](std::uint8_t* outRow, int i, int x, int y, double, double) {
                                       std::memcpy(outRow + 3 * i, src.rows[y] + 3 * x, 3);
                                   });
    }
}

// The kTaps x kTaps pixels whose first one is kBefore pixels left of and
// below (x0, y0): straight from the source rows inside the image, and near its
// edges from a small copy with the coordinates clamped into the image, which
// repeats the outermost pixels as a border of copies around the image would.
template <int kChannels, int kTaps, int kBefore>
class Neighbourhood {
public:
    explicit Neighbourhood(const Bitmap& src) : src_(src) {}

    // rows[r] points at the first pixel of neighbourhood row r.
    void gather(int x0, int y0, const std::uint8_t* (&rows)[kTaps]) {
        const int x = x0 - kBefore;
        const int y = y0 - kBefore;
        if (x >= 0 && y >= 0 && x + kTaps <= src_.width && y + kTaps <= src_.height) {
            for (int r = 0; r < kTaps; ++r) {
                rows[r] = src_.rows[y + r] + x * kChannels;
            }
            return;
        }
        for (int r = 0; r < kTaps; ++r) {
            const std::uint8_t* in = src_.rows[std::clamp(y + r, 0, src_.height - 1)];
            for (int k = 0; k < kTaps; ++k) {
                std::memcpy(patch_[r] + k * kChannels, in + std::clamp(x + k, 0, src_.width - 1) * kChannels,
                            kChannels);
            }
            rows[r] = patch_[r];
        }
    }

private:
    const Bitmap& src_;
    std::uint8_t patch_[kTaps][kTaps * kChannels];
};

template <int kChannels>
void resample_bilinear(const Bitmap& src, const StraightenPlan& plan, const OffsetTables& tables,
                       RowRange band, Bitmap& out) {
    Neighbourhood<kChannels, 2, 0> near(src);
    for_each_paper_pixel<false>(
        plan, tables, out, band, [&](std::uint8_t* outRow, int i, int x0, int y0, double fx, double fy) {
            const int px = static_cast<int>((fx - x0) * kPhases);
            const int py = static_cast<int>((fy - y0) * kPhases);
            const auto& ax = kLinear[static_cast<size_t>(kPhases - px)];
            const auto& bx = kLinear[static_cast<size_t>(px)];
            const auto& ay = kLinear[static_cast<size_t>(kPhases - py)];
            const auto& by = kLinear[static_cast<size_t>(py)];
            const std::uint8_t* rows[2];
            near.gather(x0, y0, rows);
            for (int c = 0; c < kChannels; ++c) {
                const int top = ax[rows[0][c]] + bx[rows[0][c + kChannels]];
                const int bottom = ax[rows[1][c]] + bx[rows[1][c + kChannels]];
                outRow[i * kChannels + c] =
                    static_cast<std::uint8_t>(ay[static_cast<size_t>(top)] + by[static_cast<size_t>(bottom)]);
            }
        });
}

template <int kChannels>
void resample_bicubic(const Bitmap& src, const StraightenPlan& plan, const OffsetTables& tables,
                      RowRange band, Bitmap& out) {
    Neighbourhood<kChannels, 4, 1> near(src);
    for_each_paper_pixel<false>(
        plan, tables, out, band, [&](std::uint8_t* outRow, int i, int x0, int y0, double fx, double fy) {
            const auto& wx = kCubic[static_cast<size_t>((fx - x0) * kPhases)];
            const auto& wy = kCubic[static_cast<size_t>((fy - y0) * kPhases)];
            const std::uint8_t* rows[4];
            near.gather(x0, y0, rows);
            for (int c = 0; c < kChannels; ++c) {
                std::int32_t s = 0;
                for (int r = 0; r < 4; ++r) {
                    const std::uint8_t* p = rows[r] + c;
                    const std::int32_t h = (wx[0] * p[0] + wx[1] * p[kChannels] + wx[2] * p[2 * kChannels] +
                                            wx[3] * p[3 * kChannels]) >>
                                           kWeightShift;
                    s += wy[static_cast<size_t>(r)] * h;
                }
                s = std::clamp(s, 0, kCubicMax);
                outRow[i * kChannels + c] = static_cast<std::uint8_t>(s >> kWeightShift);
            }
        });
}

#if defined(__SSE2__)
// 8-bit bicubic with SSE2: the same integer arithmetic as the plain version
// (16-bit weights and pixels, 32-bit sums, the same shifts and clamp), four
// taps of two rows per multiply-add.
void resample_bicubic_grey(const Bitmap& src, const StraightenPlan& plan, const OffsetTables& tables,
                           RowRange band, Bitmap& out) {
    // Horizontal weights twice over (for two rows at once), vertical weights once.
    alignas(16) std::int16_t wx[kPhases][8];
    alignas(16) std::int16_t wy[kPhases][8];
    for (int p = 0; p < kPhases; ++p) {
        for (int k = 0; k < 4; ++k) {
            wx[p][k] = wx[p][k + 4] =
                static_cast<std::int16_t>(kCubic[static_cast<size_t>(p)][static_cast<size_t>(k)]);
            wy[p][k] = static_cast<std::int16_t>(kCubic[static_cast<size_t>(p)][static_cast<size_t>(k)]);
            wy[p][k + 4] = 0;
        }
    }
    Neighbourhood<1, 4, 1> near(src);
    const __m128i zero = _mm_setzero_si128();
    for_each_paper_pixel<false>(
        plan, tables, out, band, [&](std::uint8_t* outRow, int i, int x0, int y0, double fx, double fy) {
            const __m128i wxv =
                _mm_load_si128(reinterpret_cast<const __m128i*>(wx[static_cast<int>((fx - x0) * kPhases)]));
            const __m128i wyv =
                _mm_load_si128(reinterpret_cast<const __m128i*>(wy[static_cast<int>((fy - y0) * kPhases)]));
            const std::uint8_t* rows[4];
            near.gather(x0, y0, rows);
            std::int32_t q[4];
            for (int r = 0; r < 4; ++r) {
                std::memcpy(&q[r], rows[r], 4);
            }
            const __m128i rows01 = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, q[1], q[0]), zero);
            const __m128i rows23 = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, q[3], q[2]), zero);
            const __m128i m01 = _mm_madd_epi16(rows01, wxv);  // row0 taps 0+1, 2+3, row1 taps 0+1, 2+3
            const __m128i m23 = _mm_madd_epi16(rows23, wxv);
            const __m128 a = _mm_castsi128_ps(m01);
            const __m128 b = _mm_castsi128_ps(m23);
            const __m128i even = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
            const __m128i odd = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
            const __m128i h =
                _mm_srai_epi32(_mm_add_epi32(even, odd), kWeightShift);  // rows 0..3, in 16 bits
            const __m128i v = _mm_madd_epi16(_mm_packs_epi32(h, zero), wyv);
            std::int32_t s = _mm_cvtsi128_si32(v) + _mm_cvtsi128_si32(_mm_srli_si128(v, 4));
            s = std::clamp(s, 0, kCubicMax);
            outRow[i] = static_cast<std::uint8_t>(s >> kWeightShift);
        });
}
#endif

// The plain loops for output rows `band`.
void resample_plain(const Bitmap& src, const StraightenPlan& plan, const OffsetTables& tables, int mode,
                    const std::uint8_t* fill, Bitmap& out, RowRange band) {
    fill_output(out, fill, band);
    if (mode == kNearest || src.bitCount == 1) {
        resample_nearest(src, plan, tables, out, band);
    } else if (mode == kBilinear) {
        src.bitCount == 8 ? resample_bilinear<1>(src, plan, tables, band, out)
                          : resample_bilinear<3>(src, plan, tables, band, out);
    } else {
#if defined(__SSE2__)
        src.bitCount == 8 ? resample_bicubic_grey(src, plan, tables, band, out)
                          : resample_bicubic<3>(src, plan, tables, band, out);
#else
        src.bitCount == 8 ? resample_bicubic<1>(src, plan, tables, band, out)
                          : resample_bicubic<3>(src, plan, tables, band, out);
#endif
    }
}

constexpr int kMaxThreads = 16;     // threads one call ever uses
constexpr int kDefaultThreads = 4;  // threads a call may use unless told otherwise
// Output pixels per thread below which another thread is not worth starting.
constexpr std::int64_t kMinPixelsPerThread = 400000;
constexpr const char* kThreadsVariable = "SKEWTRIM_THREADS";

// Threads a call may use: SKEWTRIM_THREADS when it holds a whole number from 1
// up, else the processor's hardware threads up to kDefaultThreads.
int thread_limit() {
    if (const char* text = std::getenv(kThreadsVariable); text != nullptr && *text != '\0') {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (*end == '\0' && n >= 1) {
            return static_cast<int>(std::min<long>(n, kMaxThreads));
        }
    }
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : std::min(static_cast<int>(hardware), kDefaultThreads);
}

// Runs `rows` on `threads` bands of about equal height, the last one on the
// calling thread. A thread that cannot be started leaves its band to the
// calling thread, so every row is always drawn; the first exception of any
// band is thrown again once every thread has finished.
template <typename Rows>
void run_bands(int height, int threads, const Rows& rows) {
    const auto band = [&](int t) {
        return RowRange{static_cast<int>(static_cast<std::int64_t>(height) * t / threads),
                        static_cast<int>(static_cast<std::int64_t>(height) * (t + 1) / threads)};
    };
    std::vector<std::exception_ptr> failures(static_cast<size_t>(threads));
    const auto guarded = [&](int t) {
        try {
            rows(band(t));
        } catch (...) {
            failures[static_cast<size_t>(t)] = std::current_exception();
        }
    };
    std::vector<std::thread> started;
    started.reserve(static_cast<size_t>(threads));
    int next = 0;  // first band not handed to a thread
    for (; next + 1 < threads; ++next) {
        try {
            started.emplace_back(guarded, next);
        } catch (const std::system_error&) {
            break;  // no more threads: the calling thread draws the rest
        }
    }
    for (int t = next; t < threads; ++t) {
        guarded(t);
    }
    for (std::thread& t : started) {
        t.join();
    }
    for (const std::exception_ptr& failure : failures) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
}

std::atomic<int> threadsForTesting{0};
std::atomic<bool> forcePlain{false};

}  // namespace

ResamplePath resample_path() {
    static const bool vector = vector_path::available();
    return vector && !forcePlain.load(std::memory_order_relaxed) ? ResamplePath::Vector : ResamplePath::Plain;
}

void force_plain_resample_for_testing(bool plain) {
    forcePlain.store(plain, std::memory_order_relaxed);
}

const CubicWeights& cubic_weights() {
    return kCubic;
}
const LinearProducts& linear_products() {
    return kLinear;
}

OffsetTables::OffsetTables(double theta, int width, int height) {
    const size_t n = static_cast<size_t>(std::max((width - 1) / 2, (height - 1) / 2) + 10) + 1;
    cosines.resize(n);
    sines.resize(n);
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    cosines[0] = sines[0] = 0.0;
    for (size_t k = 1; k < n; ++k) {
        cosines[k] = cosines[k - 1] + c;
        sines[k] = sines[k - 1] + s;
    }
}

int resample(const Bitmap* src, const StraightenPlan& plan, int mode, const std::uint8_t* fill, Bitmap* dst) {
    if (src == nullptr || dst == nullptr || fill == nullptr) {
        return kInvalidArgument;
    }
    if (int code = bitmap_check(src); code != kOk) {
        return code;
    }
    const PaperMask& mask = plan.mask;
    if (plan.width <= 0 || plan.height <= 0 || plan.cx < 0 || plan.cx >= src->width || plan.cy < 0 ||
        plan.cy >= src->height || mask.first < 0 || mask.last >= src->height || mask.first >= mask.last ||
        mask.left.size() <= static_cast<size_t>(mask.last) ||
        mask.right.size() <= static_cast<size_t>(mask.last) || mode < kBicubic || mode > kNearest) {
        return kInvalidArgument;
    }
    for (int y = mask.first; y <= mask.last; ++y) {
        // Columns outside the row would read outside the source.
        const size_t r = static_cast<size_t>(y);
        if (mask.left[r] < 0 || mask.right[r] >= src->width) {
            return kInvalidArgument;
        }
    }
    BitmapGuard out;
    if (int code = bitmap_new(out.get(), plan.width, plan.height, src->bitCount, false, NewPixels::Unset);
        code != kOk) {
        return code;
    }
    const OffsetTables tables(plan.theta, plan.width, plan.height);
    const bool vector = resample_path() == ResamplePath::Vector && vector_path::accepts(*src);
    Bitmap& image = *out;
    const auto rows = [&](RowRange band) {
        if (vector) {
            vector_path::resample(*src, plan, tables, mode, fill, image, band);
        } else {
            resample_plain(*src, plan, tables, mode, fill, image, band);
        }
    };
    const int threads = resample_threads(static_cast<std::int64_t>(plan.width) * plan.height, plan.height);
    if (threads <= 1) {
        rows(RowRange{0, plan.height});
    } else {
        run_bands(plan.height, threads, rows);
    }
    *dst = out.release();
    return kOk;
}

int resample_threads(std::int64_t pixels, int rows) {
    int threads = threadsForTesting.load(std::memory_order_relaxed);
    if (threads <= 0) {
        threads =
            std::min(thread_limit(),
                     static_cast<int>(std::min<std::int64_t>(kMaxThreads, pixels / kMinPixelsPerThread)));
    }
    return std::clamp(std::min(threads, rows), 1, kMaxThreads);
}

void set_resample_threads_for_testing(int threads) {
    threadsForTesting.store(threads, std::memory_order_relaxed);
}

}  // namespace skewtrim
