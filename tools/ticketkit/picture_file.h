#pragma once
// Reading BMP files as other tools write them: 1, 4, 8, 24 and 32 bits per
// pixel, uncompressed (32 bits also with bit fields), bottom-up or top-down,
// any palette. The picture comes out top row first as 1-bit rows (kept as
// they are), 8-bit grey (a grey palette) or 24-bit blue-green-red (any other
// palette, 4 and 32 bits), ready for the bitmap library's colour reduction.

#include <cstdint>
#include <string>
#include <vector>

namespace ticketkit {

struct PictureFile {
    int width = 0;
    int height = 0;
    int fileBits = 0;       // bits per pixel in the file
    int bitCount = 0;       // of `rows`: 1, 8 or 24
    int stride = 0;         // bytes per row of `rows`, unpadded
    int dotsPerMetreX = 0;  // from the file header (0 when not given)
    int dotsPerMetreY = 0;
    bool topDown = false;            // the file stores its top row first
    std::vector<std::uint8_t> rows;  // top row first; 1 bit: 1 = white
};

// Loads `path`. Throws Failure(kExitUsage) with the file name and the reason:
// missing or unreadable, not a BMP (naming PNG/JPEG/text when recognised),
// compressed (RLE), unsupported depth, damaged or cut short.
PictureFile load_picture(const std::string& path);

// Header-only check of what the scanner emulator can feed: "" when the file is
// a BMP it can use, else the reason.
std::string bmp_problem(const std::string& path);

// Lines per millimetre from a vertical resolution in dots per metre: 4 or 8
// when the file says so (within 2 %), else 0.
int lines_per_mm_from(int dotsPerMetre);

}  // namespace ticketkit
