#include "imaging/resample.h"

#include "imaging/bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace skewtrim {

namespace {

constexpr int kBorder = 8;      // pixels repeated around the source
constexpr int kPhases = 10;     // sub-pixel positions per pixel
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
    Offsets(const OffsetTables& tables, int width) : ucos(static_cast<size_t>(width)), usin(static_cast<size_t>(width)) {
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

void fill_output(Bitmap& out, const std::uint8_t* fill) {
    if (out.bitCount == 24) {
        for (int y = 0; y < out.height; ++y) {
            std::uint8_t* row = out.rows[y];
            for (int x = 0; x < out.width; ++x) {
                std::memcpy(row + 3 * x, fill, 3);
            }
        }
    } else {
        std::memset(out.bits, 255, static_cast<size_t>(out.imageSize));
    }
}

// Walks every output pixel whose truncated source point lies on the paper and
// hands it to `sample(outRow, i, x0, y0, fx, fy)` (fx, fy: the source point).
template <bool kTruncateOffsets, typename Sample>
void for_each_paper_pixel(const StraightenPlan& plan, const OffsetTables& tables, Bitmap& out, Sample sample) {
    const Offsets cols(tables, out.width);
    const PaperMask& mask = plan.mask;
    const double cx = plan.cx;
    const double cy = plan.cy;
    for (int j = 0; j < out.height; ++j) {
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

void resample_nearest(const Bitmap& src, const StraightenPlan& plan, const OffsetTables& tables, Bitmap& out) {
    const int bytes = src.bitCount / 8;
    for_each_paper_pixel<true>(plan, tables, out, [&](std::uint8_t* outRow, int i, int x, int y, double, double) {
        const std::uint8_t* in = src.rows[y];
        if (src.bitCount == 1) {
            put_bit(outRow, i, bit_at(in, x));
        } else {
            std::memcpy(outRow + i * bytes, in + x * bytes, static_cast<size_t>(bytes));
        }
    });
}

template <int kChannels>
void resample_bilinear(const Bitmap& border, const StraightenPlan& plan, const OffsetTables& tables, Bitmap& out) {
    for_each_paper_pixel<false>(plan, tables, out,
                                [&](std::uint8_t* outRow, int i, int x0, int y0, double fx, double fy) {
        const int px = static_cast<int>((fx - x0) * kPhases);
        const int py = static_cast<int>((fy - y0) * kPhases);
        const auto& ax = kLinear[static_cast<size_t>(kPhases - px)];
        const auto& bx = kLinear[static_cast<size_t>(px)];
        const auto& ay = kLinear[static_cast<size_t>(kPhases - py)];
        const auto& by = kLinear[static_cast<size_t>(py)];
        const std::uint8_t* p0 = border.rows[y0 + kBorder] + (x0 + kBorder) * kChannels;
        const std::uint8_t* p1 = p0 + border.stride;
        for (int c = 0; c < kChannels; ++c) {
            const int top = ax[p0[c]] + bx[p0[c + kChannels]];
            const int bottom = ax[p1[c]] + bx[p1[c + kChannels]];
            outRow[i * kChannels + c] = static_cast<std::uint8_t>(ay[static_cast<size_t>(top)] +
                                                                  by[static_cast<size_t>(bottom)]);
        }
    });
}

template <int kChannels>
void resample_bicubic(const Bitmap& border, const StraightenPlan& plan, const OffsetTables& tables, Bitmap& out) {
    const std::ptrdiff_t stride = border.stride;
    for_each_paper_pixel<false>(plan, tables, out,
                                [&](std::uint8_t* outRow, int i, int x0, int y0, double fx, double fy) {
        const auto& wx = kCubic[static_cast<size_t>((fx - x0) * kPhases)];
        const auto& wy = kCubic[static_cast<size_t>((fy - y0) * kPhases)];
        const std::uint8_t* base = border.rows[y0 + kBorder - 1] + (x0 + kBorder - 1) * kChannels;
        for (int c = 0; c < kChannels; ++c) {
            std::int32_t s = 0;
            const std::uint8_t* p = base + c;
            for (int r = 0; r < 4; ++r, p += stride) {
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

}  // namespace

const CubicWeights& cubic_weights() { return kCubic; }
const LinearProducts& linear_products() { return kLinear; }

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

int bordered_copy(const Bitmap& src, Bitmap& out) {
    Bitmap b{};
    if (int code = bitmap_new(&b, src.width + 2 * kBorder, src.height + 2 * kBorder, src.bitCount, false);
        code != kOk) {
        return code;
    }
    const int w = src.width;
    for (int y = 0; y < b.height; ++y) {
        const std::uint8_t* in = src.rows[std::clamp(y - kBorder, 0, src.height - 1)];
        std::uint8_t* row = b.rows[y];
        if (src.bitCount == 1) {
            // The copy starts all zero; set bits where the (edge) pixel is set.
            for (int x = 0; x < b.width; ++x) {
                if (bit_at(in, std::clamp(x - kBorder, 0, w - 1))) {
                    put_bit(row, x, true);
                }
            }
            continue;
        }
        const int n = src.bitCount / 8;
        std::memcpy(row + kBorder * n, in, static_cast<size_t>(w * n));
        for (int k = 0; k < kBorder; ++k) {
            std::memcpy(row + k * n, in, static_cast<size_t>(n));
            std::memcpy(row + (kBorder + w + k) * n, in + (w - 1) * n, static_cast<size_t>(n));
        }
    }
    out = b;
    return kOk;
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
        mask.left.size() <= static_cast<size_t>(mask.last) || mask.right.size() <= static_cast<size_t>(mask.last) ||
        mode < kBicubic || mode > kNearest) {
        return kInvalidArgument;
    }
    for (int y = mask.first; y <= mask.last; ++y) {
        // Columns outside the row would read outside the source.
        const size_t r = static_cast<size_t>(y);
        if (mask.left[r] < 0 || mask.right[r] >= src->width) {
            return kInvalidArgument;
        }
    }
    const bool nearest = mode == kNearest || src->bitCount == 1;
    BitmapGuard border;
    if (!nearest) {
        // Nearest reads only pixels inside the source, so it needs no border.
        if (int code = bordered_copy(*src, *border); code != kOk) {
            return code;
        }
    }
    BitmapGuard out;
    if (int code = bitmap_new(out.get(), plan.width, plan.height, src->bitCount, false); code != kOk) {
        return code;
    }
    fill_output(*out, fill);
    const OffsetTables tables(plan.theta, plan.width, plan.height);
    if (nearest) {
        resample_nearest(*src, plan, tables, *out);
    } else if (mode == kBilinear) {
        src->bitCount == 8 ? resample_bilinear<1>(*border, plan, tables, *out)
                           : resample_bilinear<3>(*border, plan, tables, *out);
    } else {
        src->bitCount == 8 ? resample_bicubic<1>(*border, plan, tables, *out)
                           : resample_bicubic<3>(*border, plan, tables, *out);
    }
    *dst = out.release();
    return kOk;
}

}  // namespace skewtrim
