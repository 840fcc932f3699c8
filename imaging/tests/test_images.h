#pragma once
// Helpers shared by the library's tests: scratch files, pattern images, pixel
// comparison and the independent BMP tools used as oracles.

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Skewtrim.h"

namespace skewtrim::testing {

// A file name in the test's working directory, unique to this process.
std::string scratch_path(const std::string& name);

// Bytes of a whole file (empty when it cannot be read) and writing them back.
std::vector<std::uint8_t> file_bytes(const std::string& path);
void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// A record filled with a deterministic pseudo-random pattern (every byte,
// padding included, so that tests notice bytes that move where they must not).
Bitmap pattern_bitmap(int width, int height, int bitCount, bool padded, unsigned seed = 1);

// Pixel value: the byte for 8 bits, 0/1 for 1 bit, B | G << 8 | R << 16 for 24 bits.
std::uint32_t pixel(const Bitmap& bmp, int x, int y);

// True when both records have the same size, depth and pixels (bytes beyond the
// width and row padding are ignored).
bool same_pixels(const Bitmap& a, const Bitmap& b);

// /usr/bin/python3 with Pillow, and ImageMagick's /usr/bin/convert, when installed.
bool have_pillow();
bool have_convert();

// Runs a Python script with /usr/bin/python3; returns its exit status.
int run_python(const std::string& script);

}  // namespace skewtrim::testing
