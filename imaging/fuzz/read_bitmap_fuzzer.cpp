// Feeds arbitrary bytes to the BMP reader as a file; whatever reads must save
// and read back to the same pixels. The first input byte steers the file: bit 0
// puts the "BM" signature in front, bit 1 also writes a plausible small size,
// depth and pixel offset into the headers, so that the search spends its time
// past the first checks as well as on them.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/bmp_file.h"

namespace {

std::string scratch(const char* tag) {
    return std::string("read_fuzz_") + tag + "_" + std::to_string(::getpid()) + ".bmp";
}

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

void remove_scratch() {
    std::remove(scratch("in").c_str());
    std::remove(scratch("out").c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool cleanupRegistered = (std::atexit(remove_scratch), true);
    (void)cleanupRegistered;
    if (size == 0) {
        return 0;
    }
    const int steer = data[0];
    std::vector<std::uint8_t> file;
    if (steer & 1) {
        file = {'B', 'M'};
    }
    file.insert(file.end(), data + 1, data + size);
    if ((steer & 3) == 3 && file.size() >= 58) {
        const int depths[3] = {1, 8, 24};
        const int bitCount = depths[(steer >> 2) % 3];
        const int width = 1 + file[18] % 40;
        const int height = (1 + file[22] % 40) * ((steer & 0x40) ? -1 : 1);
        put32(file, 18, static_cast<std::uint32_t>(width));
        put32(file, 22, static_cast<std::uint32_t>(height));
        file[28] = static_cast<std::uint8_t>(bitCount);
        file[29] = 0;
        put32(file, 10, 54u + file[10] % 64u);
    }
    const std::string in = scratch("in");
    std::FILE* f = std::fopen(in.c_str(), "wb");
    if (f == nullptr) {
        return 0;
    }
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);

    Bitmap bmp{};
    if (skewtrim::read_bitmap_file(&bmp, in.c_str()) != skewtrim::kOk) {
        if (bmp.bits != nullptr) {
            std::abort();  // a failed read must leave the record alone
        }
        return 0;
    }
    const std::string out = scratch("out");
    if (skewtrim::save_bitmap_file(&bmp, out.c_str()) == skewtrim::kOk) {
        Bitmap back{};
        if (skewtrim::read_bitmap_file(&back, out.c_str()) != skewtrim::kOk || back.stride != bmp.stride ||
            std::memcmp(back.bits, bmp.bits, static_cast<std::size_t>(bmp.imageSize)) != 0) {
            std::abort();
        }
        skewtrim::bitmap_done(&back);
    }
    skewtrim::bitmap_done(&bmp);
    return 0;
}
