// Straightens small images built from the input: either raw pixels, or a
// turned bright rectangle on a dark ground spoiled by the input's bytes, so
// that the measurement gets past the paper search and exercises the fits.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/straighten.h"

namespace {

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    int byte() { return at < size ? data[at++] : 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in{data, size};
    const int flags = in.byte();
    const int width = 1 + (in.byte() | in.byte() << 8) % 420;
    const int height = 1 + (in.byte() | in.byte() << 8) % 420;
    const int depths[3] = {1, 8, 24};
    const int bitCount = depths[(flags >> 1) % 3];
    const int mode = 1 + (flags >> 3) % 3;
    const int level = (flags & 0x20) ? in.byte() : 0;
    const int rule = (flags & 0x40) ? 255 : 1;

    Bitmap src{};
    if (skewtrim::bitmap_new(&src, width, height, bitCount, (flags & 0x80) != 0) != skewtrim::kOk) {
        return 0;
    }
    if (flags & 1) {
        // A rectangle turned by up to +-45 degrees, placed and sized by the input.
        const double angle = (in.byte() - 128) * (45.0 / 128.0) * 3.14159265358979 / 180.0;
        const double cx = width * (in.byte() / 255.0);
        const double cy = height * (in.byte() / 255.0);
        const double hw = width * (in.byte() / 255.0);
        const double hh = height * (in.byte() / 255.0);
        const double c = std::cos(angle);
        const double s = std::sin(angle);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const double px = (x - cx) * c + (y - cy) * s;
                const double py = -(x - cx) * s + (y - cy) * c;
                const bool paper = std::fabs(px) < hw && std::fabs(py) < hh;
                std::uint8_t* row = src.rows[y];
                if (bitCount == 1) {
                    skewtrim::put_bit(row, x, paper);
                } else {
                    std::memset(row + x * (bitCount / 8), paper ? 220 : 30,
                                static_cast<std::size_t>(bitCount / 8));
                }
            }
        }
        // The rest of the input spoils pixels: (offset, value) pairs.
        std::size_t pos = 0;
        while (in.at + 1 < in.size) {
            pos += static_cast<std::size_t>(in.byte()) * 7 + 1;
            src.bits[pos % static_cast<std::size_t>(src.imageSize)] = static_cast<std::uint8_t>(in.byte());
        }
    } else {
        for (int i = 0; i < src.imageSize; ++i) {
            src.bits[i] = static_cast<std::uint8_t>(
                in.size > in.at ? in.data[in.at + static_cast<std::size_t>(i) % (in.size - in.at)] : 0);
        }
    }

    Bitmap out{};
    if (skewtrim::straighten(&src, mode, level, rule, &out) == skewtrim::kOk) {
        if (out.width <= 0 || out.height <= 0 || out.bitCount != bitCount) {
            std::abort();
        }
        skewtrim::bitmap_done(&out);
    }
    // The buffer form must never write past a buffer that only holds the input.
    const int rowBytes = (width * bitCount + 7) / 8;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        std::memcpy(&buffer[static_cast<std::size_t>(y * rowBytes)], src.rows[y],
                    static_cast<std::size_t>(rowBytes));
    }
    int w = width;
    int h = height;
    skewtrim::straighten_buffer(buffer.data(), &w, &h, bitCount, mode, level);
    skewtrim::bitmap_done(&src);
    return 0;
}
