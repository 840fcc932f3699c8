#pragma once
// Pages reduced to one bit by error diffusion (dithering) rather than by a threshold: grey paper
// becomes a scatter of lone dots and every blurred bar edge a ragged fringe, which no single
// row reads. Shared by the linear and the PDF417 readers.

#include <cstdint>
#include <vector>

namespace barcode {

// The share (0..1) of the pixels of a packed 1-bit page (most significant bit first, `stride`
// bytes per row) that differ from all four of their neighbours, counted on every
// eighth row away from the border. Either bit value may be the dark one: the
// count does not depend on it. 0 for pages too small to count.
double lone_pixel_share(const std::uint8_t* bits, int width, int height, int stride);

// Whether a page with that share of lone pixels was dithered (or salted as heavily): printed
// pages and scans reduced by a threshold stay well under it.
bool looks_dithered(double loneShare);

// Writes into `out` (stride x height bytes, the same layout) the page smoothed by a binomial
// kernel and cut again at half: a pixel takes the value of the weighted majority of its
// neighbourhood, its own value on a tie. `reach` 1 is the 3 x 3 kernel (1 2 1 across and down),
// 2 the 5 x 5 one (1 4 6 4 1), which also evens out the 4 x 4 patterns of ordered dithering.
// Lone dots vanish and ragged fringes become edges where their grey crosses half, while a bar
// one pixel wide (two for reach 2) keeps its place. Pixels outside the page count as the nearest
// border pixel. Padding bits of each row are copied as they are.
void smooth_halftone(const std::uint8_t* bits, int width, int height, int stride,
                     std::vector<std::uint8_t>& out, int reach = 1);

// The period in pixels (4 or 8) over which an ordered dither on the page repeats, 0 when none
// shows; a 2 x 2 pattern repeats over 4 as well, and so, within a few levels of 64, does the
// common 8 x 8 one (built of 2 x 2 blocks like the 4 x 4 one), which gives 4. An ordered pattern repeats
// exactly: pixels one period apart, across or down, differ far less often than pixels a pixel nearer or
// farther apart, while error diffusion differs alike at every distance and edges differ more the farther
// apart. Counted on every eighth row. Asked only of pages that look dithered: bars of a regular
// module on a thresholded page may dip at 4 as well.
int ordered_period(const std::uint8_t* bits, int width, int height, int stride);

// Writes into `out` (stride x height bytes, the same layout) the page of an ordered dither of
// `period` pixels brought back to grey and cut at half: each pixel's darkness is the mean over
// `period` pixels along the bars (down the column when `upright`, else along the row), where a
// full period holds every threshold of the pattern, and over three pixels across them
// (weights 1 2 1), which keeps bars of two pixels. A tie keeps the pixel's own value. Pixels
// outside the page count as the nearest border pixel; padding bits are copied as they are.
void descreen_ordered(const std::uint8_t* bits, int width, int height, int stride, int period, bool upright,
                      std::vector<std::uint8_t>& out);

// Writes into `out` (the same layout) each pixel as the majority of the 2 x 2 block of itself and
// its left, upper and upper-left neighbours, its own value on a tie. Every aligned 2 x 2 block of
// the common ordered patterns (2 x 2, 4 x 4, 8 x 8, built of such blocks) holds thresholds a
// quarter of the range apart, so the block's count is its grey to a quarter, at twice the
// resolution of a 4 x 4 period either way (no bar direction needed). Pixels outside the page
// count as the nearest border pixel; padding bits are copied as they are.
void descreen_blocks(const std::uint8_t* bits, int width, int height, int stride,
                     std::vector<std::uint8_t>& out);

}  // namespace barcode
