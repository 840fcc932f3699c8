#include "kit/bmp_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

namespace codec = kit::bmp;

// A file of `infoSize`-byte information header, as later BMP versions write it.
std::vector<std::uint8_t> file_with_info_size(std::uint32_t infoSize, std::uint32_t compression) {
    std::vector<std::uint8_t> out;
    codec::encode_headers(out, {.fileSize = 0,
                                .pixelOffset = 0,
                                .width = 9,
                                .height = -3,
                                .bitCount = 1,
                                .compression = compression,
                                .coloursUsed = 2});
    out[14] = static_cast<std::uint8_t>(infoSize);
    out.resize(codec::kFileHeaderBytes + infoSize, 0);
    return out;
}

}  // namespace

TEST(BmpHeader, WrittenHeadersReadBackFieldForField) {
    std::vector<std::uint8_t> out;
    codec::encode_headers(out, {.fileSize = 1234,
                                .pixelOffset = 62,
                                .width = 216,
                                .height = -40,
                                .bitCount = 1,
                                .imageSize = 1120,
                                .xPixelsPerMetre = 7875,
                                .yPixelsPerMetre = 3938,
                                .coloursUsed = 2});
    ASSERT_EQ(out.size(), codec::kFileHeaderBytes + codec::kInfoHeaderBytes);
    codec::Header h;
    ASSERT_EQ(codec::decode_headers(out.data(), out.size(), h), codec::Verdict::Ok);
    EXPECT_EQ(h.fileSize, 1234u);
    EXPECT_EQ(h.pixelOffset, 62u);
    EXPECT_EQ(h.infoSize, 40u);
    EXPECT_EQ(h.width, 216);
    EXPECT_EQ(h.height, -40);
    EXPECT_EQ(h.planes, 1);
    EXPECT_EQ(h.bitCount, 1);
    EXPECT_EQ(h.imageSize, 1120u);
    EXPECT_EQ(h.xPixelsPerMetre, 7875);
    EXPECT_EQ(h.yPixelsPerMetre, 3938);
    EXPECT_EQ(h.coloursUsed, 2u);
    EXPECT_EQ(h.palette_offset(), 54u);
}

TEST(BmpHeader, ThePaletteFollowsTheDeclaredInformationHeaderSize) {
    for (std::uint32_t size : {40u, 108u, 124u}) {
        const auto file = file_with_info_size(size, codec::kUncompressed);
        codec::Header h;
        ASSERT_EQ(codec::decode_headers(file.data(), file.size(), h), codec::Verdict::Ok) << size;
        EXPECT_EQ(h.palette_offset(), 14u + size);
    }
}

TEST(BmpHeader, TellsCompressedShortAndForeignFilesApart) {
    codec::Header h;
    auto rle8 = file_with_info_size(40, 1);
    EXPECT_EQ(codec::decode_headers(rle8.data(), rle8.size(), h), codec::Verdict::Compressed);
    auto rle4 = file_with_info_size(40, 2);
    EXPECT_EQ(codec::decode_headers(rle4.data(), rle4.size(), h), codec::Verdict::Compressed);
    auto core = file_with_info_size(12, codec::kUncompressed);
    core.resize(54, 0);
    EXPECT_EQ(codec::decode_headers(core.data(), core.size(), h), codec::Verdict::UnsupportedHeader);
    auto plain = file_with_info_size(40, codec::kUncompressed);
    EXPECT_EQ(codec::decode_headers(plain.data(), 53, h), codec::Verdict::Truncated);
    EXPECT_EQ(codec::decode_headers(plain.data(), 13, h), codec::Verdict::Truncated);
    EXPECT_EQ(codec::decode_headers(nullptr, 100, h), codec::Verdict::Truncated);
    plain[1] = 'A';
    EXPECT_EQ(codec::decode_headers(plain.data(), plain.size(), h), codec::Verdict::NotBmp);
    // 32-bit pixels with channel masks are stored plainly.
    codec::Header masks;
    masks.bitCount = 32;
    masks.compression = codec::kBitFields;
    EXPECT_FALSE(masks.compressed());
    masks.bitCount = 8;
    EXPECT_TRUE(masks.compressed());
}

TEST(BmpHeader, APaletteIsWhiteFirstWhenItsFirstEntryIsTheLighter) {
    const std::uint8_t black[4] = {0, 0, 0, 0};
    const std::uint8_t white[4] = {255, 255, 255, 0};
    const std::uint8_t light[4] = {200, 210, 220, 0};
    EXPECT_FALSE(codec::white_first(black, white));
    EXPECT_TRUE(codec::white_first(white, black));
    EXPECT_TRUE(codec::white_first(light, black));
    EXPECT_FALSE(codec::white_first(white, white));
    EXPECT_TRUE(codec::white_first(white, nullptr));
    EXPECT_FALSE(codec::white_first(black, nullptr));
}

TEST(BmpHeader, InvertingRowsKeepsPaddingAndClearsTheUnusedBitsOfTheLastByte) {
    // Width 11: one whole byte, three bits of the next, two padding bytes.
    std::vector<std::uint8_t> bits = {0x0F, 0xA5, 0x77, 0x88, 0xFF, 0x00, 0x12, 0x34};
    codec::invert_rows(bits.data(), 4, 11, 2);
    EXPECT_EQ(bits, (std::vector<std::uint8_t>{0xF0, 0x40, 0x77, 0x88, 0x00, 0xE0, 0x12, 0x34}));
}
