// Any bytes as a BMP file: the header codec must read them without touching
// memory beyond the buffer, and whatever it accepts must write back the same.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kit/bmp_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace codec = kit::bmp;
    codec::Header h;
    const codec::Verdict verdict = codec::decode_headers(data, size, h);
    if (verdict != codec::Verdict::Ok) return 0;
    const std::size_t palette = h.palette_offset();
    if (palette + 2 * codec::kPaletteEntryBytes <= size) {
        (void)codec::white_first(data + palette, data + palette + codec::kPaletteEntryBytes);
    }
    std::vector<std::uint8_t> again;
    codec::encode_headers(again, h);
    codec::Header back;
    if (codec::decode_headers(again.data(), again.size(), back) != codec::Verdict::Ok ||
        back.width != h.width || back.height != h.height || back.bitCount != h.bitCount ||
        back.pixelOffset != h.pixelOffset) {
        __builtin_trap();
    }
    return 0;
}
