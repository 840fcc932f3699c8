// BMP reading and writing and the Bitmap life cycle of the toolbox exports.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "barcode/linear/Stripescan.h"

namespace {

std::string temp_path(const char* name) {
    return ::testing::TempDir() + name;
}

void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}
void put16(std::vector<std::uint8_t>& v, std::uint16_t x) {
    v.push_back(static_cast<std::uint8_t>(x));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
}

// A BMP file with the given header fields, palette entry 0 and pixel bytes.
std::vector<std::uint8_t> bmp(std::int32_t width, std::int32_t height, std::uint16_t bits,
                              std::uint8_t palette0, const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> v{'B', 'M'};
    put32(v, static_cast<std::uint32_t>(62 + pixels.size()));
    put32(v, 0);
    put32(v, 62);
    put32(v, 40);
    put32(v, static_cast<std::uint32_t>(width));
    put32(v, static_cast<std::uint32_t>(height));
    put16(v, 1);
    put16(v, bits);
    for (int i = 0; i < 6; ++i) put32(v, 0);
    for (int i = 0; i < 3; ++i) v.push_back(palette0);
    v.push_back(0);
    for (int i = 0; i < 3; ++i) v.push_back(static_cast<std::uint8_t>(255 - palette0));
    v.push_back(0);
    v.insert(v.end(), pixels.begin(), pixels.end());
    return v;
}

void write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool all_zero(const Bitmap& b) {
    return b.width == 0 && b.height == 0 && b.bitCount == 0 && b.imageSize == 0 && b.stride == 0 && !b.rows &&
           !b.bits;
}

TEST(ReadBimapFromFile, WhiteFirstPaletteIsInvertedAndTailBitsCleared) {
    const std::string path = temp_path("white_first.bmp");
    // 12 pixels wide: stride 4; rows 0x0F 0xF5 0xAA 0x55 and 0x00 0x00 0x00 0x00.
    write(path, bmp(12, 2, 1, 255, {0x0F, 0xF5, 0xAA, 0x55, 0x00, 0x00, 0x00, 0x00}));
    Bitmap b{};
    ASSERT_EQ(ReadBimapFromFile(&b, path.c_str()), 1);
    EXPECT_EQ(b.width, 12);
    EXPECT_EQ(b.height, 2);
    EXPECT_EQ(b.bitCount, 1);
    EXPECT_EQ(b.stride, 4);
    EXPECT_EQ(b.imageSize, 8);
    EXPECT_EQ(b.rows[0], b.bits);
    EXPECT_EQ(b.rows[1], b.bits + 4);
    EXPECT_EQ(b.bits[0], 0xF0);
    EXPECT_EQ(b.bits[1], 0x00);  // ~0xF5 = 0x0A, only the 4 pixels of the row kept
    EXPECT_EQ(b.bits[2], 0xAA);  // padding left as read
    EXPECT_EQ(b.bits[4], 0xFF);
    EXPECT_EQ(b.bits[5], 0xF0);
    EXPECT_EQ(FreeBitmap(&b), 1);
    EXPECT_TRUE(all_zero(b));
}

TEST(ReadBimapFromFile, BlackFirstPaletteAndTopDownFilesAreReadAsStored) {
    const std::string path = temp_path("black_first.bmp");
    write(path, bmp(8, -2, 1, 0, {0x81, 0, 0, 0, 0x7E, 0, 0, 0}));
    Bitmap b{};
    ASSERT_EQ(ReadBimapFromFile(&b, path.c_str()), 1);
    EXPECT_EQ(b.height, 2);
    EXPECT_EQ(b.bits[0], 0x81);
    EXPECT_EQ(b.bits[4], 0x7E);
    FreeBitmap(&b);
}

TEST(ReadBimapFromFile, RefusedFilesLeaveTheRecordCleared) {
    Bitmap b{};
    b.width = 5;
    EXPECT_EQ(ReadBimapFromFile(&b, temp_path("missing.bmp").c_str()), 0);
    EXPECT_TRUE(all_zero(b));

    struct Bad {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<std::uint8_t> notBm = bmp(8, 1, 1, 0, {0, 0, 0, 0});
    notBm[0] = 'X';
    std::vector<std::uint8_t> shortPixels = bmp(64, 10, 1, 0, {0, 0, 0, 0});
    const std::vector<Bad> bad = {
        {"eight_bit.bmp", bmp(8, 1, 8, 0, std::vector<std::uint8_t>(8, 0))},
        {"twenty_four.bmp", bmp(8, 1, 24, 0, std::vector<std::uint8_t>(24, 0))},
        {"not_bm.bmp", notBm},
        {"header_only.bmp", std::vector<std::uint8_t>(notBm.begin() + 0, notBm.begin() + 20)},
        {"short_pixels.bmp", shortPixels},
        {"zero_width.bmp", bmp(0, 4, 1, 0, std::vector<std::uint8_t>(16, 0))},
        {"negative_width.bmp", bmp(-8, 4, 1, 0, std::vector<std::uint8_t>(16, 0))},
        {"zero_height.bmp", bmp(8, 0, 1, 0, {})},
        // 2^31 - 1 pixels wide: the row alone needs 256 MiB, times 64 rows overflows 32 bits.
        {"huge.bmp", bmp(0x7FFFFFFF, 64, 1, 0, {0, 0, 0, 0})},
    };
    for (const Bad& f : bad) {
        const std::string path = temp_path(f.name);
        write(path, f.bytes);
        b.width = 3;
        EXPECT_EQ(ReadBimapFromFile(&b, path.c_str()), 0) << f.name;
        EXPECT_TRUE(all_zero(b)) << f.name;
    }
    EXPECT_EQ(ReadBimapFromFile(nullptr, "x"), 0);
    EXPECT_EQ(ReadBimapFromFile(&b, nullptr), 0);
}

TEST(SaveBimapToFile, OneBitRowsArePaddedToFourBytes) {
    std::vector<std::uint8_t> pixels = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    Bitmap b{};
    b.width = 20;
    b.height = 2;
    b.bitCount = 1;
    b.stride = 3;
    b.imageSize = 6;
    b.bits = pixels.data();
    const std::string path = temp_path("stride3.bmp");
    ASSERT_EQ(SaveBimapToFile(&b, path.c_str()), 1);
    const auto f = read(path);
    ASSERT_EQ(f.size(), 70u);
    auto u32 = [&](std::size_t at) {
        return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | static_cast<std::uint32_t>(f[at + 3]) << 24;
    };
    EXPECT_EQ(u32(2), 70u);   // file size = 62 + 8
    EXPECT_EQ(u32(10), 62u);  // pixel-data offset
    EXPECT_EQ(u32(34), 8u);   // image size
    EXPECT_EQ(u32(38), 2834u);
    EXPECT_EQ(f[28], 1);  // bit count
    EXPECT_EQ(std::vector<std::uint8_t>(f.begin() + 54, f.begin() + 62),
              (std::vector<std::uint8_t>{0, 0, 0, 0, 255, 255, 255, 0}));
    EXPECT_EQ(std::vector<std::uint8_t>(f.begin() + 62, f.end()),
              (std::vector<std::uint8_t>{0x12, 0x34, 0x56, 0, 0x78, 0x9A, 0xBC, 0}));
}

TEST(SaveBimapToFile, RoundTripThroughTheReader) {
    std::vector<std::uint8_t> pixels(8 * 5);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 37);
    Bitmap b{};
    b.width = 64;
    b.height = 5;
    b.bitCount = 1;
    b.stride = 8;
    b.imageSize = 40;
    b.bits = pixels.data();
    const std::string path = temp_path("round.bmp");
    ASSERT_EQ(SaveBimapToFile(&b, path.c_str()), 1);
    Bitmap back{};
    ASSERT_EQ(ReadBimapFromFile(&back, path.c_str()), 1);
    EXPECT_EQ(back.width, 64);
    EXPECT_EQ(back.height, 5);
    // Palette entry 0 is black, so the pixels come back as written.
    EXPECT_EQ(std::vector<std::uint8_t>(back.bits, back.bits + 40), pixels);
    FreeBitmap(&back);
}

TEST(SaveBimapToFile, EightAndTwentyFourBitHeaders) {
    std::vector<std::uint8_t> pixels(12, 7);
    Bitmap b{};
    b.width = 4;
    b.height = 3;
    b.bitCount = 8;
    b.stride = 4;
    b.imageSize = 12;
    b.bits = pixels.data();
    const std::string path = temp_path("grey.bmp");
    ASSERT_EQ(SaveBimapToFile(&b, path.c_str()), 1);
    auto f = read(path);
    ASSERT_EQ(f.size(), 1078u + 12u);
    EXPECT_EQ(f[54 + 4 * 200], 200);
    b.bitCount = 24;
    b.width = 1;
    b.stride = 3;
    b.imageSize = 9;
    ASSERT_EQ(SaveBimapToFile(&b, path.c_str()), 1);
    f = read(path);
    ASSERT_EQ(f.size(), 54u + 12u);
    EXPECT_EQ(f[38], 0);  // no resolution
}

TEST(SaveBimapToFile, UnsupportedBitCountOrPathFailsWithZero) {
    std::vector<std::uint8_t> pixels(8, 0);
    Bitmap b{};
    b.width = 8;
    b.height = 2;
    b.bitCount = 4;
    b.stride = 4;
    b.imageSize = 8;
    b.bits = pixels.data();
    const std::string path = temp_path("four_bit.bmp");
    std::remove(path.c_str());
    EXPECT_EQ(SaveBimapToFile(&b, path.c_str()), 0);
    b.bitCount = 1;
    EXPECT_EQ(SaveBimapToFile(&b, "/nonexistent-folder/x.bmp"), 0);
    EXPECT_EQ(SaveBimapToFile(nullptr, path.c_str()), 0);
    b.bits = nullptr;
    EXPECT_EQ(SaveBimapToFile(&b, path.c_str()), 0);
}

TEST(FreeBitmap, ClearsAnEmptyRecord) {
    Bitmap b{};
    EXPECT_EQ(FreeBitmap(&b), 1);
    EXPECT_TRUE(all_zero(b));
}

}  // namespace
