// libFuzzer target: error correction and data decoding of arbitrary codeword sequences.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "barcode/pdf417/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const int level = data[0] % 10;  // 9 is out of range on purpose
    const int erasureCount = data[1] % 40;
    const int capacity = (data[2] & 1) ? pdf417::kMaxOutput : data[2];
    data += 3;
    size -= 3;
    std::vector<int> codewords;
    for (size_t i = 0; i + 1 < size && codewords.size() < 940; i += 2)
        codewords.push_back((data[i] << 8 | data[i + 1]) % 1000);  // some out of the field
    std::vector<int> erasures;
    for (int i = 0; i < erasureCount; ++i)
        erasures.push_back(
            codewords.empty() ? 0 : (i * 37 + data[i % size]) % static_cast<int>(codewords.size() + 3));
    std::vector<uint8_t> out(static_cast<size_t>(capacity) + 1, 0);
    int length = -1;
    int r = pdf417::decode_codewords(codewords.data(), static_cast<int>(codewords.size()), level,
                                     erasures.data(), erasureCount, out.data(), capacity, &length);
    if (r == pdf417::kDecoded && (length < 0 || length > capacity)) __builtin_trap();
    if (out[capacity] != 0) __builtin_trap();
    return 0;
}
