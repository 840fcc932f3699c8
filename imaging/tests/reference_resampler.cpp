#include "imaging/tests/reference_resampler.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "imaging/bitmap.h"

namespace skewtrim::testing {

namespace {

double kernel(double t) {
    t = std::fabs(t);
    if (t <= 1.0) {
        return t * t * t - 2 * t * t + 1;
    }
    if (t < 2.0) {
        return -t * t * t + 5 * t * t - 8 * t + 4;
    }
    return 0.0;
}

int cubic_weight(int phase, int k) {
    return static_cast<int>(std::lround(1024.0 * kernel(phase / 10.0 + 1 - k)));
}

int product(int w, int v) {
    if (w == 10) {
        return v;
    }
    if (v == 255 && (w == 5 || w == 7 || w == 9)) {
        return w == 5 ? 127 : w == 7 ? 178 : 229;
    }
    return ((v + 1) * w) / 10;
}

// Channel c of source pixel (x, y), coordinates clamped into the image (the
// same values the 8-pixel border repeats).
int sample(const Bitmap& src, int x, int y, int c) {
    x = std::clamp(x, 0, src.width - 1);
    y = std::clamp(y, 0, src.height - 1);
    const std::uint8_t* row = src.rows[y];
    if (src.bitCount == 1) {
        return (row[x / 8] >> (7 - x % 8)) & 1;
    }
    return row[x * (src.bitCount / 8) + c];
}

int floor_shift10(long v) {
    return static_cast<int>(std::floor(static_cast<double>(v) / 1024.0));
}

}  // namespace

Bitmap reference_resample(const Bitmap& src, const StraightenPlan& plan, int mode) {
    Bitmap out{};
    if (bitmap_new(&out, plan.width, plan.height, src.bitCount, false) != kOk) {
        std::abort();
    }
    const int channels = src.bitCount == 24 ? 3 : 1;
    for (int j = 0; j < out.height; ++j) {
        for (int i = 0; i < out.width; ++i) {
            for (int c = 0; c < channels; ++c) {
                const int fill = src.bitCount == 24 ? (c == 0 ? 255 : 0) : 255;
                if (src.bitCount == 1) {
                    out.rows[j][i / 8] = 255;
                } else {
                    out.rows[j][i * channels + c] = static_cast<std::uint8_t>(fill);
                }
            }
        }
    }
    const int n = std::max((plan.width - 1) / 2, (plan.height - 1) / 2) + 10;
    std::vector<double> cosAcc(static_cast<size_t>(n) + 1, 0.0);
    std::vector<double> sinAcc(static_cast<size_t>(n) + 1, 0.0);
    for (int k = 1; k <= n; ++k) {
        cosAcc[static_cast<size_t>(k)] = cosAcc[static_cast<size_t>(k) - 1] + std::cos(plan.theta);
        sinAcc[static_cast<size_t>(k)] = sinAcc[static_cast<size_t>(k) - 1] + std::sin(plan.theta);
    }
    auto signedEntry = [](const std::vector<double>& t, int m) {
        return m < 0 ? -t[static_cast<size_t>(-m)] : t[static_cast<size_t>(m)];
    };
    int weights[10][4];
    for (int p = 0; p < 10; ++p) {
        for (int k = 0; k < 4; ++k) {
            weights[p][k] = cubic_weight(p, k);
        }
    }
    const bool nearest = mode == 3 || src.bitCount == 1;
    for (int j = 0; j < out.height; ++j) {
        const int v = j - (out.height - 1) / 2;
        for (int i = 0; i < out.width; ++i) {
            const int u = i - (out.width - 1) / 2;
            const double offX = signedEntry(cosAcc, u) + signedEntry(sinAcc, v);
            const double offY = -signedEntry(sinAcc, u) + signedEntry(cosAcc, v);
            int x0 = 0;
            int y0 = 0;
            double x = 0.0;
            double y = 0.0;
            if (nearest) {
                x0 = plan.cx + static_cast<int>(offX);
                y0 = plan.cy + static_cast<int>(offY);
                if (x0 < 0 || y0 < 0) {
                    continue;
                }
            } else {
                x = plan.cx + offX;
                y = plan.cy + offY;
                if (x < 0 || y < 0) {
                    continue;
                }
                x0 = static_cast<int>(x);
                y0 = static_cast<int>(y);
            }
            if (y0 < plan.mask.first || y0 > plan.mask.last || x0 < plan.mask.left[static_cast<size_t>(y0)] ||
                x0 > plan.mask.right[static_cast<size_t>(y0)]) {
                continue;
            }
            if (nearest) {
                if (src.bitCount == 1) {
                    put_bit(out.rows[j], i, sample(src, x0, y0, 0) != 0);
                } else {
                    for (int c = 0; c < channels; ++c) {
                        out.rows[j][i * channels + c] = static_cast<std::uint8_t>(sample(src, x0, y0, c));
                    }
                }
                continue;
            }
            const int px = static_cast<int>((x - x0) * 10);
            const int py = static_cast<int>((y - y0) * 10);
            for (int c = 0; c < channels; ++c) {
                int result = 0;
                if (mode == 2) {
                    const int top =
                        product(10 - px, sample(src, x0, y0, c)) + product(px, sample(src, x0 + 1, y0, c));
                    const int bottom = product(10 - px, sample(src, x0, y0 + 1, c)) +
                                       product(px, sample(src, x0 + 1, y0 + 1, c));
                    result = product(10 - py, top) + product(py, bottom);
                } else {
                    long s = 0;
                    for (int r = 0; r < 4; ++r) {
                        long h = 0;
                        for (int k = 0; k < 4; ++k) {
                            h += static_cast<long>(weights[px][k]) * sample(src, x0 - 1 + k, y0 - 1 + r, c);
                        }
                        s += static_cast<long>(weights[py][r]) * floor_shift10(h);
                    }
                    s = std::clamp(s, 0L, 261120L);
                    result = static_cast<int>(s >> 10);
                }
                out.rows[j][i * channels + c] = static_cast<std::uint8_t>(result);
            }
        }
    }
    return out;
}

StraightenPlan whole_image_plan(const Bitmap& src, double degrees, int cx, int cy, int width, int height) {
    StraightenPlan plan;
    plan.degrees = degrees;
    plan.theta = degrees * 3.1415926 / 180.0;
    plan.cx = cx;
    plan.cy = cy;
    plan.width = width;
    plan.height = height;
    plan.mask.first = 0;
    plan.mask.last = src.height - 1;
    plan.mask.left.assign(static_cast<size_t>(src.height) + 16, 0);
    plan.mask.right.assign(static_cast<size_t>(src.height) + 16, src.width - 1);
    return plan;
}

}  // namespace skewtrim::testing
