// Small random 1-bit pictures and requests through the decoder.

#include <cstdint>
#include <cstring>
#include <vector>

#include "barcode/linear/Stripescan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    // Header: width, height (1..256), directions, minSize, a symbology mask, noise width, flags.
    const int width = 1 + data[0];
    const int height = 1 + data[1];
    const int directions = data[2];
    const int min_size = data[3] % 40;
    const int mask = data[4];
    const int noise = data[5] % 4;
    const int flags = data[6];
    const int symbol_extra = data[7] % 11;
    data += 8;
    size -= 8;

    const int stride = (width + 31) / 32 * 4;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * height, 0xFF);
    // The rest of the input paints runs of black and white, row after row.
    std::size_t at = 0;
    bool black = false;
    for (std::size_t i = 0; i < size; ++i) {
        const int run = data[i] + 1;
        for (int k = 0; k < run && at < static_cast<std::size_t>(width) * height; ++k, ++at) {
            if (black) {
                const std::size_t y = at / width, x = at % width;
                pixels[y * stride + x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
            }
        }
        black = !black;
    }
    Bitmap b{};
    b.width = width;
    b.height = height;
    b.bitCount = 1;
    b.stride = stride;
    b.imageSize = stride * height;
    b.bits = pixels.data();

    std::vector<SymbologySetting> settings;
    for (int s = 0; s < 8; ++s) {
        if (mask & (1 << s)) {
            settings.push_back(SymbologySetting{s + 1, noise, flags & 1, (flags >> 1) & 1, (flags >> 2) & 1, (flags >> 3) & 1});
        }
    }
    settings.push_back(SymbologySetting{symbol_extra, 0, 0, 0, 0, 1});
    DecodeRequest request{settings.data(), static_cast<std::int32_t>(settings.size()), 0, directions, min_size};
    BarcodeResultList list{};
    Stripescan(&b, &request, &list);
    for (int i = 0; i < list.count; ++i) {
        volatile std::uint8_t sink = 0;
        for (int k = 0; k < list.results[i].length; ++k) sink = sink + list.results[i].text[k];
        (void)sink;
    }
    FreeBarcodeResultMem(&list);
    const std::int32_t points[] = {0, 0, width - 1, height - 1, width / 2, 0};
    DrawPolygon(&b, points, 3);
    return 0;
}
