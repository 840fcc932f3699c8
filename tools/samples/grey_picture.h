#pragma once
// An 8-bit grey picture (0 black, 255 white) at 8 dots per millimetre, drawn on
// in dots, and written as an uncompressed bottom-up BMP with a grey palette.

#include <cstdint>
#include <string>
#include <vector>

namespace samples {

constexpr int kDotsPerMm = 8;
constexpr std::uint8_t kWhite = 255;
constexpr std::uint8_t kBlack = 0;

struct GreyPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> px;

    GreyPicture() = default;
    GreyPicture(int w, int h, std::uint8_t fill);
    std::uint8_t& at(int x, int y) {
        return px[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
    }
    std::uint8_t at(int x, int y) const {
        return px[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
    }
    // Fills [x0, x1) x [y0, y1), clipped to the picture.
    void fill(int x0, int y0, int x1, int y1, std::uint8_t value);
    // Copies `dark` (width w, one byte per module, non-zero = dark) scaled by
    // `moduleDots` across and `rowDots` down, top-left corner at (x, y).
    void blit(const std::vector<std::uint8_t>& dark, int w, int h, int x, int y, int moduleDots, int rowDots);
};

// The picture turned by `degrees` (clockwise as seen) about its centre onto a
// canvas of width x height filled with `background` (nearest dot).
GreyPicture turned(const GreyPicture& p, double degrees, int width, int height, std::uint8_t background);

// Writes an 8-bit BMP (pixel offset 1078, 7875 dots per metre); false on an I/O failure.
bool write_grey_bmp(const GreyPicture& p, const std::string& path);

}  // namespace samples
