// Small random 1-bit pictures and requests through the decoder.

#include <cstdint>
#include <cstring>
#include <vector>

#include "barcode/linear/Stripescan.h"

namespace {

std::int32_t int32_at(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kHeader = 20;
    if (size < kHeader) return 0;
    // Header: width, height (1..256); then every request field as the caller could fill it,
    // whole 32-bit values included, so that out-of-bounds requests are tried too.
    const int width = 1 + data[0];
    const int height = 1 + data[1];
    const std::int32_t directions = int32_at(data + 2);
    const std::int32_t min_size = int32_at(data + 6);
    const int mask = data[10];
    const std::int32_t noise = int32_at(data + 11);
    const int flags = data[15];
    const std::int32_t extra_symbology = static_cast<std::int8_t>(data[16]);
    const std::int32_t verify = static_cast<std::int8_t>(data[17]);
    const int count_cut = data[18] % 3;  // settingCount this much below the array's length
    const std::int32_t first_noise = static_cast<std::int8_t>(data[19]);
    data += kHeader;
    size -= kHeader;
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
    settings.push_back(
        SymbologySetting{extra_symbology, first_noise, verify, flags & 2, flags & 4, flags & 8});
    for (int s = 0; s < 8; ++s) {
        if (mask & (1 << s)) {
            // Numbers 9 and 10 stand in for 1 and 3 when the flag asks for the aliases.
            int number = s + 1;
            if ((flags & 16) && number == 1) number = 9;
            if ((flags & 32) && number == 3) number = 10;
            settings.push_back(SymbologySetting{number, noise, verify, (flags >> 1) & 1, (flags >> 2) & 1,
                                                (flags >> 3) & 1});
        }
    }
    const std::int32_t count = static_cast<std::int32_t>(settings.size()) - count_cut;
    DecodeRequest request{settings.data(), count, 0, directions, min_size};
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
