#include "barcode/common/tests/degrade.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace barcode::degrade {

BitPage::BitPage(int w, int h)
    : width((w + 31) / 32 * 32),
      height(h),
      stride(width / 8),
      bits(static_cast<std::size_t>(stride) * h + 16, 0xFF) {}

void BitPage::set(int x, int y, bool black) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    std::uint8_t& b = bits[static_cast<std::size_t>(y) * stride + x / 8];
    const auto bit = static_cast<std::uint8_t>(0x80 >> (x % 8));
    b = black ? static_cast<std::uint8_t>(b & ~bit) : static_cast<std::uint8_t>(b | bit);
}

namespace {

constexpr int kSubsamples = 5;  // per pixel and axis when measuring coverage

void gaussian_blur(std::vector<float>& grey, int w, int h, double sigma) {
    if (sigma <= 0.0) return;
    const int r = static_cast<int>(std::ceil(3 * sigma));
    std::vector<float> kernel(static_cast<std::size_t>(2 * r + 1));
    float sum = 0;
    for (int k = -r; k <= r; ++k)
        sum += kernel[static_cast<std::size_t>(k + r)] =
            static_cast<float>(std::exp(-k * k / (2 * sigma * sigma)));
    for (float& k : kernel) k /= sum;
    std::vector<float> tmp(grey.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float v = 0;
            for (int k = -r; k <= r; ++k)
                v += kernel[static_cast<std::size_t>(k + r)] *
                     grey[static_cast<std::size_t>(y) * w + std::clamp(x + k, 0, w - 1)];
            tmp[static_cast<std::size_t>(y) * w + x] = v;
        }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float v = 0;
            for (int k = -r; k <= r; ++k)
                v += kernel[static_cast<std::size_t>(k + r)] *
                     tmp[static_cast<std::size_t>(std::clamp(y + k, 0, h - 1)) * w + x];
            grey[static_cast<std::size_t>(y) * w + x] = v;
        }
}

// One step of dilation (black grows by a pixel to the right and down) or erosion.
void spread_once(BitPage& page, bool grow) {
    const BitPage before = page;
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            const bool here = before.black(x, y);
            const bool left = x > 0 && before.black(x - 1, y);
            const bool up = y > 0 && before.black(x, y - 1);
            if (grow && !here && (left || up)) page.set(x, y, true);
            if (!grow && here && (!left || !up) && x > 0 && y > 0) page.set(x, y, false);
        }
}

// Turns coverage into darkness as a camera sees it: paper lit by a light that falls across the
// page, ink of limited contrast, and sensor noise. Leaves a scan (contrast 1, no shading or
// noise) untouched, drawing nothing from `rng`.
void light_and_noise(std::vector<float>& grey, int w, int h, const Render& how, std::mt19937& rng) {
    if (how.contrast == 1.0 && how.shading == 0.0 && how.noise == 0.0) return;
    const double direction = std::uniform_real_distribution<double>(0, 2 * M_PI)(rng);
    const double dx = std::cos(direction), dy = std::sin(direction);
    const double span = std::fabs(dx) * w + std::fabs(dy) * h;
    const double start = std::min(0.0, dx * w) + std::min(0.0, dy * h);
    std::normal_distribution<float> noise(0.0f, static_cast<float>(how.noise));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double t = (dx * x + dy * y - start) / span;  // 0 .. 1 across the page
            const double light = 1.0 - how.shading * t;
            float& g = grey[static_cast<std::size_t>(y) * w + x];
            g = static_cast<float>(1.0 - light * (1.0 - how.contrast * g));
            if (how.noise > 0) g += noise(rng);
        }
}

// Black where a pixel is darker than its window's mean by the offset (the mean from a summed
// table, the window clipped at the page's borders).
void local_threshold(const std::vector<float>& grey, int w, int h, const Render& how, BitPage& page) {
    std::vector<double> sum(static_cast<std::size_t>(w + 1) * (h + 1), 0.0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            sum[static_cast<std::size_t>(y + 1) * (w + 1) + x + 1] =
                grey[static_cast<std::size_t>(y) * w + x] +
                sum[static_cast<std::size_t>(y) * (w + 1) + x + 1] +
                sum[static_cast<std::size_t>(y + 1) * (w + 1) + x] -
                sum[static_cast<std::size_t>(y) * (w + 1) + x];
    const int r = how.localWindow / 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int xa = std::max(0, x - r), xb = std::min(w, x + r + 1);
            const int ya = std::max(0, y - r), yb = std::min(h, y + r + 1);
            const auto at = [&](int xx, int yy) { return sum[static_cast<std::size_t>(yy) * (w + 1) + xx]; };
            const double mean = (at(xb, yb) - at(xa, yb) - at(xb, ya) + at(xa, ya)) / ((xb - xa) * (yb - ya));
            page.set(x, y, grey[static_cast<std::size_t>(y) * w + x] > mean + how.localOffset);
        }
}

// Floyd-Steinberg error diffusion of the grey page at the threshold, row by row left to right:
// each pixel's error (its darkness less the 0 or 1 it became) goes 7/16 right, 3/16 below left,
// 5/16 below and 1/16 below right.
void diffuse(std::vector<float> grey, int w, int h, double threshold, BitPage& page) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float g = grey[static_cast<std::size_t>(y) * w + x];
            const bool black = g > threshold;
            page.set(x, y, black);
            const float error = g - (black ? 1.0f : 0.0f);
            auto push = [&](int xx, int yy, float share) {
                if (xx >= 0 && xx < w && yy < h) grey[static_cast<std::size_t>(yy) * w + xx] += error * share;
            };
            push(x + 1, y, 7.0f / 16);
            push(x - 1, y + 1, 3.0f / 16);
            push(x, y + 1, 5.0f / 16);
            push(x + 1, y + 1, 1.0f / 16);
        }
}

// Ordered dithering: each pixel against its place in the 4 x 4 Bayer matrix of thresholds.
void ordered_dither(const std::vector<float>& grey, int w, int h, BitPage& page) {
    static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            page.set(x, y, grey[static_cast<std::size_t>(y) * w + x] > (kBayer[y % 4][x % 4] + 0.5f) / 16.0f);
}

}  // namespace

void render(const ModuleGrid& grid, const Render& how, BitPage& page, std::mt19937& rng) {
    const int w = page.width, h = page.height;
    std::vector<float> grey(static_cast<std::size_t>(w) * h, 0.0f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            grey[static_cast<std::size_t>(y) * w + x] = page.black(x, y) ? 1.0f : 0.0f;

    const double a = how.angle * M_PI / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    const double my = how.moduleY > 0 ? how.moduleY : how.module;
    const double hw = grid.width / 2.0, hh = grid.height / 2.0;
    // Page to grid: undo the turn, then the curvature (a bow across the bars that grows with
    // the square of the distance from the middle row), then the perspective (modules growing
    // along the symbol: u pixels from the centre are (e^(k m) - 1) / k modules for growth k).
    auto gridAt = [&](double px, double py, double& gx, double& gy) {
        const double dx = px - how.cx, dy = py - how.cy;
        double u = dx * c - dy * s;                        // along the symbol, pixels
        const double v = dx * s + dy * c - how.shear * u;  // along the bars, pixels
        const double t = v / (hh * my);
        u -= how.curvature * t * t;
        double m = u / how.module;
        if (how.perspective != 0.0) m = std::log1p(how.perspective * m) / how.perspective;
        gx = m + hw;
        gy = v / my + hh;
    };
    const double reach = std::hypot(grid.width * how.module * (1 + std::fabs(how.perspective) * grid.width),
                                    grid.height * my) /
                             2 +
                         std::fabs(how.curvature) + std::fabs(how.shear) * grid.width * how.module + 2;
    const int x0 = std::max(0, static_cast<int>(how.cx - reach)),
              x1 = std::min(w - 1, static_cast<int>(how.cx + reach));
    const int y0 = std::max(0, static_cast<int>(how.cy - reach)),
              y1 = std::min(h - 1, static_cast<int>(how.cy + reach));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            int dark = 0, inside = 0;
            for (int sy = 0; sy < kSubsamples; ++sy)
                for (int sx = 0; sx < kSubsamples; ++sx) {
                    double gx, gy;
                    gridAt(x + (sx + 0.5) / kSubsamples, y + (sy + 0.5) / kSubsamples, gx, gy);
                    if (!(gx >= 0 && gy >= 0 && gx < grid.width && gy < grid.height)) continue;
                    ++inside;
                    dark += grid.at(static_cast<int>(gx), static_cast<int>(gy));
                }
            if (inside == 0) continue;
            float& g = grey[static_cast<std::size_t>(y) * w + x];
            const float outsideShare = 1.0f - static_cast<float>(inside) / (kSubsamples * kSubsamples);
            g = g * outsideShare + static_cast<float>(dark) / (kSubsamples * kSubsamples);
        }
    gaussian_blur(grey, w, h, how.blur);
    light_and_noise(grey, w, h, how, rng);
    if (how.localWindow > 0)
        local_threshold(grey, w, h, how, page);
    else if (how.dither && how.ordered)
        ordered_dither(grey, w, h, page);
    else if (how.dither)
        diffuse(std::move(grey), w, h, how.threshold, page);
    else
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                page.set(x, y, grey[static_cast<std::size_t>(y) * w + x] > how.threshold);
    for (int k = 0; k < std::abs(how.spread); ++k) spread_once(page, how.spread > 0);
    if (how.speckle > 0) {
        std::bernoulli_distribution flip(how.speckle);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (flip(rng)) page.set(x, y, !page.black(x, y));
    }
}

ModuleGrid restretch_wide(const ModuleGrid& grid, int wide, double ratio, int subdivide) {
    // Column widths from the first row that has both narrow and wide runs: every row of a
    // linear symbol is the same.
    std::vector<int> widths;  // cells for each source column
    for (int x = 0; x < grid.width;) {
        int run = 1;
        while (x + run < grid.width && grid.at(x + run, 0) == grid.at(x, 0)) ++run;
        const int cells = run >= wide ? static_cast<int>(std::lround(ratio * subdivide)) : run * subdivide;
        for (int k = 0; k < run; ++k) widths.push_back(cells / run + (k < cells % run ? 1 : 0));
        x += run;
    }
    ModuleGrid out;
    for (int cells : widths) out.width += cells;
    out.height = grid.height;
    out.dark.reserve(static_cast<std::size_t>(out.width) * out.height);
    for (int y = 0; y < grid.height; ++y)
        for (int x = 0; x < grid.width; ++x)
            for (int k = 0; k < widths[static_cast<std::size_t>(x)]; ++k) out.dark.push_back(grid.at(x, y));
    return out;
}

void draw_text_lines(BitPage& page, std::mt19937& rng) {
    // Block letters of random 5 x 7 dot shapes, 2 to 4 pixels per dot, in lines.
    for (int y = 20; y + 40 < page.height; y += 30 + static_cast<int>(rng() % 30)) {
        const int scale = 2 + static_cast<int>(rng() % 3);
        for (int x = 10 + static_cast<int>(rng() % 40); x + 6 * scale < page.width - 10; x += 6 * scale) {
            if (rng() % 7 == 0) continue;  // a space
            const std::uint32_t shape = rng();
            for (int dy = 0; dy < 7; ++dy)
                for (int dx = 0; dx < 5; ++dx) {
                    const bool on = dx == 0 || dy == 0 || dy == 6 || ((shape >> ((dy * 5 + dx) % 32)) & 1);
                    if (!on) continue;
                    for (int py = 0; py < scale; ++py)
                        for (int px = 0; px < scale; ++px)
                            page.set(x + dx * scale + px, y + dy * scale + py, true);
                }
        }
    }
}

void draw_photo(BitPage& page, std::mt19937& rng) {
    // A sum of random waves and blobs, thresholded: smooth regions with ragged borders.
    std::uniform_real_distribution<double> u(0.0, 1.0);
    double fx[6], fy[6], ph[6];
    for (int k = 0; k < 6; ++k) {
        fx[k] = u(rng) * 0.08;
        fy[k] = u(rng) * 0.08;
        ph[k] = u(rng) * 6.28;
    }
    std::vector<float> grey(static_cast<std::size_t>(page.width) * page.height);
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            double v = 0;
            for (int k = 0; k < 6; ++k) v += std::sin(fx[k] * x + fy[k] * y + ph[k]);
            grey[static_cast<std::size_t>(y) * page.width + x] =
                static_cast<float>(v / 6 + 0.5 + (u(rng) - 0.5) * 0.4);
        }
    gaussian_blur(grey, page.width, page.height, 1.0);
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x)
            page.set(x, y, grey[static_cast<std::size_t>(y) * page.width + x] > 0.5f);
}

void draw_halftone(BitPage& page, std::mt19937& rng) {
    // Ordered 4 x 4 dither of a slowly varying grey, the way newspaper pictures print.
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const double ax = u(rng) * 0.02, ay = u(rng) * 0.02, p = u(rng) * 6.28;
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            const double grey = 0.5 + 0.45 * std::sin(ax * x + ay * y + p);
            page.set(x, y, grey * 16 > bayer[y % 4][x % 4] + 0.5);
        }
}

void draw_noise(BitPage& page, std::mt19937& rng, double share) {
    std::bernoulli_distribution black(share);
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) page.set(x, y, black(rng));
}

}  // namespace barcode::degrade
