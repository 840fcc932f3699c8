#include "barcode/linear/transpose.h"

#include <cstring>

namespace stripescan {
namespace {

// Transposes an 8 x 8 bit block held as 8 row bytes (most significant bit first).
void transpose8(const std::uint8_t in[8], std::uint8_t out[8]) {
    std::uint64_t x = 0;
    for (int i = 0; i < 8; ++i) x |= static_cast<std::uint64_t>(in[i]) << (56 - 8 * i);
    std::uint64_t t;
    t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAULL;
    x = x ^ t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCULL;
    x = x ^ t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ULL;
    x = x ^ t ^ (t << 28);
    for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(x >> (56 - 8 * i));
}

}  // namespace

Image transpose(const Image& in, std::vector<std::uint8_t>& storage) {
    Image out;
    out.width = in.height;
    out.height = in.width;
    out.stride = (out.width + 7) / 8;
    const std::size_t bytes =
        static_cast<std::size_t>(out.stride) * static_cast<std::size_t>(out.height) + 16;
    if (storage.size() < bytes) storage.resize(bytes);
    std::memset(storage.data(), 0xFF, bytes);
    out.bits = storage.data();
    const int blockRows = (in.height + 7) / 8;
    const int blockCols = (in.width + 7) / 8;
    for (int by = 0; by < blockRows; ++by) {
        for (int bx = 0; bx < blockCols; ++bx) {
            std::uint8_t block[8];
            std::uint8_t all = 0xFF;
            for (int i = 0; i < 8; ++i) {
                const int y = by * 8 + i;
                block[i] = y < in.height ? in.row(y)[bx] : 0xFF;
                all &= block[i];
            }
            if (all == 0xFF) continue;  // white stays white
            std::uint8_t t[8];
            transpose8(block, t);
            for (int i = 0; i < 8; ++i) {
                const int y = bx * 8 + i;  // output row = input column
                if (y < out.height) out.row(y)[by] = t[i];
            }
        }
    }
    return out;
}

}  // namespace stripescan
