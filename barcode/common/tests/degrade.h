#pragma once
// Test support: draws a symbol's module grid onto a 1-bit page the way real tickets and photos
// spoil it: small or stretched modules, turn, perspective and curved paper, blur before the
// threshold, ink spread or starved by whole pixels, and speckle. Shared by the tests and the
// degraded-symbol reports of both barcode readers.

#include <cstdint>
#include <random>
#include <vector>

namespace barcode::degrade {

// A symbol at one cell per module: dark[y * width + x] is 1 for a dark module.
struct ModuleGrid {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> dark;
    bool at(int x, int y) const { return dark[static_cast<std::size_t>(y) * width + x] != 0; }
};

// How the grid lands on the page.
struct Render {
    double cx = 0, cy = 0;     // page position of the symbol's centre, pixels
    double module = 2.0;       // pixels per module across the bars
    double moduleY = 0.0;      // pixels per grid row along the bars (0: same as module)
    double angle = 0.0;        // degrees, counter-clockwise on the page
    double perspective = 0.0;  // the module grows by this share per module along the symbol
    double curvature = 0.0;    // bars bow by this many pixels at the ends against the middle
    double shear = 0.0;        // rows climb by this many pixels per pixel along the symbol, the
                               // bars staying upright (a photo taken at a slant)
    double blur = 0.0;         // gaussian sigma in pixels applied before the threshold
    double threshold = 0.5;    // darkness above which a pixel becomes black
    // A photo rather than a scan: the ink reflects `contrast` less light than the paper, the
    // light falls by `shading` from one side of the page to the other (a random direction),
    // sensor noise of this sigma is added, and the threshold may be local: a pixel is black when
    // it is darker than the mean of the window around it by `localOffset` (window 0: global).
    double contrast = 1.0;
    double shading = 0.0;
    double noise = 0.0;
    int localWindow = 0;
    double localOffset = 0.05;
    int spread = 0;        // + widens every black area by this many pixels, - starves it
    double speckle = 0.0;  // share of pixels flipped after the threshold
    // The grey page reduced to 1 bit by error diffusion (Floyd-Steinberg, as image tools do when
    // asked for a black-and-white picture) at `threshold` instead of a plain threshold.
    bool dither = false;
    bool ordered = false;  // with dither: the 4 x 4 Bayer matrix of thresholds instead
};

// A packed 1-bit page: bit 1 is white, rows of stride bytes; width is a multiple of 32, so the
// stride is both the padded BMP row and width / 8.
struct BitPage {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<std::uint8_t> bits;

    BitPage(int w, int h);
    bool black(int x, int y) const {
        return !((bits[static_cast<std::size_t>(y) * stride + x / 8] >> (7 - x % 8)) & 1);
    }
    void set(int x, int y, bool black);
};

// Draws `grid` onto `page` (only where the symbol's coverage reaches; the rest of the page is
// left as it is, except that blur, spread and speckle act on the whole page).
void render(const ModuleGrid& grid, const Render& how, BitPage& page, std::mt19937& rng);

// The grid with every run of `wide` or more modules along a row redrawn `ratio` narrow modules
// wide (narrow/wide symbologies printed off-nominal); the result has `subdivide` cells per
// narrow module, so draw it with module / subdivide.
ModuleGrid restretch_wide(const ModuleGrid& grid, int wide, double ratio, int subdivide);

// Pages with no symbol: printed text, a thresholded photo-like texture, an ordered-dither
// halftone, and random noise.
void draw_text_lines(BitPage& page, std::mt19937& rng);
void draw_photo(BitPage& page, std::mt19937& rng);
void draw_halftone(BitPage& page, std::mt19937& rng);
void draw_noise(BitPage& page, std::mt19937& rng, double share);

}  // namespace barcode::degrade
