#include "imaging/tests/test_images.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "imaging/bitmap.h"

namespace skewtrim::testing {

std::string scratch_path(const std::string& name) {
    return "skewtrim_" + std::to_string(::getpid()) + "_" + name;
}

std::vector<std::uint8_t> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bitmap pattern_bitmap(int width, int height, int bitCount, bool padded, unsigned seed) {
    Bitmap bmp{};
    if (bitmap_new(&bmp, width, height, bitCount, padded) != 0) {
        std::abort();
    }
    unsigned state = seed * 2654435761u + 12345u;
    for (int i = 0; i < bmp.imageSize; ++i) {
        state = state * 1103515245u + 12345u;
        bmp.bits[i] = static_cast<std::uint8_t>(state >> 16);
    }
    return bmp;
}

std::uint32_t pixel(const Bitmap& bmp, int x, int y) {
    const std::uint8_t* row = bmp.rows[y];
    switch (bmp.bitCount) {
        case 1:
            return (row[x / 8] >> (7 - x % 8)) & 1u;
        case 8:
            return row[x];
        default:
            return row[3 * x] | static_cast<std::uint32_t>(row[3 * x + 1]) << 8 |
                   static_cast<std::uint32_t>(row[3 * x + 2]) << 16;
    }
}

bool same_pixels(const Bitmap& a, const Bitmap& b) {
    if (a.width != b.width || a.height != b.height || a.bitCount != b.bitCount) {
        return false;
    }
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            if (pixel(a, x, y) != pixel(b, x, y)) {
                return false;
            }
        }
    }
    return true;
}

bool have_pillow() {
    return std::system("/usr/bin/python3 -c 'import PIL.Image' >/dev/null 2>&1") == 0;
}

bool have_convert() {
    return std::system("/usr/bin/convert -version >/dev/null 2>&1") == 0;
}

int run_python(const std::string& script) {
    const std::string file = scratch_path("script.py");
    {
        std::ofstream out(file, std::ios::trunc);
        out << script;
    }
    const int status = std::system(("/usr/bin/python3 " + file).c_str());
    std::remove(file.c_str());
    return status;
}

}  // namespace skewtrim::testing
