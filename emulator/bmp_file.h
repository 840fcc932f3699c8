#pragma once
// The emulator's own BMP reading and writing. Tickets arrive as BMP files of
// 1, 4, 8, 24 or 32 bits per pixel and are kept as 8-bit grey pictures; stored
// bitmaps are 1-bit files; printed tickets and print jobs go out as 8-bit grey
// files.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kit/bmp_header.h"

namespace emu {

// An 8-bit grey picture, row 0 on top, width bytes per row, 255 = white.
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    bool empty() const { return width <= 0 || height <= 0; }
    std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    std::uint8_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Largest picture accepted in either direction, in pixels.
constexpr int kMaxBmpSide = 30000;

// The fields of a BMP file's two headers.
using BmpHeader = kit::bmp::Header;

// Reads the headers; false when the data is not an uncompressed BMP file with
// at least a 40-byte information header and one plane.
bool read_bmp_header(const std::uint8_t* data, std::size_t size, BmpHeader& header);

// Decodes a whole BMP file into grey levels (luminance of the palette or the
// pixel colour). False on any malformed or unsupported file.
bool decode_bmp(const std::uint8_t* data, std::size_t size, GreyImage& out);
bool load_bmp_file(const std::string& path, GreyImage& out);

// An 8-bit grey BMP with a grey palette, rows bottom-up.
std::vector<std::uint8_t> encode_grey_bmp(const GreyImage& image, int pixelsPerMetre);

// A 1-bit BMP (palette black, white) from packed rows, row 0 on top, most
// significant bit first, 1 = white, rowBytes bytes per given row.
std::vector<std::uint8_t> encode_mono_bmp(const std::uint8_t* rows, int rowBytes, int width, int height,
                                          int pixelsPerMetre);

}  // namespace emu
