// Any bytes as a BMP file: the reader answers 0 or a consistent record, never crashes.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "barcode/linear/Stripescan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "fuzz_read_bimap_" + std::to_string(getpid()) + ".bmp";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
    Bitmap b{};
    if (ReadBimapFromFile(&b, path.c_str()) == 1) {
        if (b.width <= 0 || b.height <= 0 || b.bitCount != 1 || !b.bits || !b.rows) std::abort();
        // Touch every byte of the pixel block and every row.
        unsigned sum = 0;
        for (int i = 0; i < b.imageSize; ++i) sum += b.bits[i];
        for (int y = 0; y < b.height; ++y) sum += b.rows[y][b.stride - 1];
        if (sum == 0xFFFFFFFFu) std::puts("");
        // Decode it too: a picture from a file goes straight to the decoder.
        SymbologySetting all[8];
        for (int s = 0; s < 8; ++s) all[s] = SymbologySetting{s + 1, 0, 1, 0, 0, 1};
        DecodeRequest request{all, 8, 0, 3, 8};
        BarcodeResultList list{};
        if (static_cast<long long>(b.width) * b.height <= 4 << 20) Stripescan(&b, &request, &list);
        FreeBarcodeResultMem(&list);
    }
    FreeBitmap(&b);
    std::remove(path.c_str());
    return 0;
}
