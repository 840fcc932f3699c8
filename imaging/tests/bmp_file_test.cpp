#include "imaging/bmp_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "imaging/bitmap.h"
#include "imaging/tests/test_images.h"

namespace skewtrim {
namespace {

using namespace skewtrim::testing;

std::uint32_t u32_at(const std::vector<std::uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

void set32(std::vector<std::uint8_t>& b, size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// A hand-made BMP: headers for `width` x `height` at `bitCount`, `paletteBytes`
// of palette, then `dataBytes` bytes of pixels counting 0, 1, 2, ...
std::vector<std::uint8_t> handmade_bmp(int width, int height, int bitCount, int paletteBytes, int dataBytes) {
    std::vector<std::uint8_t> b(54 + static_cast<size_t>(paletteBytes), 0);
    b[0] = 'B';
    b[1] = 'M';
    set32(b, 2, static_cast<std::uint32_t>(b.size() + static_cast<size_t>(dataBytes)));
    set32(b, 10, static_cast<std::uint32_t>(b.size()));
    set32(b, 14, 40);
    set32(b, 18, static_cast<std::uint32_t>(width));
    set32(b, 22, static_cast<std::uint32_t>(height));
    b[26] = 1;
    b[28] = static_cast<std::uint8_t>(bitCount);
    for (int i = 0; i < dataBytes; ++i) {
        b.push_back(static_cast<std::uint8_t>(i));
    }
    return b;
}

class BmpFile : public ::testing::Test {
protected:
    std::string path = scratch_path("t.bmp");
    void TearDown() override { std::remove(path.c_str()); }
};

TEST_F(BmpFile, RoundTripKeepsRowsAndPadsThemToFourBytes) {
    for (int bitCount : {1, 8, 24}) {
        for (bool padded : {false, true}) {
            Bitmap src = pattern_bitmap(10, 5, bitCount, padded, 3);
            ASSERT_EQ(save_bitmap_file(&src, path.c_str()), kOk);
            const auto bytes = file_bytes(path);
            const std::uint32_t offset = bitCount == 24 ? 54 : bitCount == 8 ? 1078 : 62;
            const std::uint32_t row = static_cast<std::uint32_t>(padded_row_bytes(10, bitCount));
            ASSERT_EQ(bytes.size(), offset + row * 5);
            EXPECT_EQ(u32_at(bytes, 2), bytes.size());
            EXPECT_EQ(u32_at(bytes, 10), offset);
            EXPECT_EQ(u32_at(bytes, 34), row * 5);  // image size
            EXPECT_EQ(u32_at(bytes, 22), 5u);       // positive height: bottom-up, row 0 first
            if (!padded && src.stride % 4 != 0) {
                // Every row is followed by zero bytes up to the padded length.
                for (int y = 0; y < 5; ++y) {
                    for (std::uint32_t k = static_cast<std::uint32_t>(src.stride); k < row; ++k) {
                        EXPECT_EQ(bytes[offset + y * row + k], 0) << bitCount;
                    }
                }
            }
            BitmapGuard back;
            ASSERT_EQ(read_bitmap_file(back.get(), path.c_str()), kOk);
            EXPECT_EQ(back->stride, static_cast<int>(row));
            EXPECT_TRUE(same_pixels(*back, src)) << bitCount << " bits, padded " << padded;
            bitmap_done(&src);
        }
    }
}

TEST_F(BmpFile, PalettesAsWritten) {
    Bitmap grey = pattern_bitmap(3, 2, 8, false);
    ASSERT_EQ(save_bitmap_file(&grey, path.c_str()), kOk);
    auto bytes = file_bytes(path);
    EXPECT_EQ(u32_at(bytes, 46), 256u);
    EXPECT_EQ(u32_at(bytes, 54), 0x00000000u);      // entry 0: fourth byte 0
    EXPECT_EQ(u32_at(bytes, 54 + 4), 0xFF010101u);  // entry 1: fourth byte 255
    EXPECT_EQ(u32_at(bytes, 54 + 4 * 200), 0xFFC8C8C8u);
    bitmap_done(&grey);

    Bitmap bw = pattern_bitmap(9, 2, 1, false);
    ASSERT_EQ(save_bitmap_file(&bw, path.c_str()), kOk);
    bytes = file_bytes(path);
    EXPECT_EQ(u32_at(bytes, 46), 2u);
    EXPECT_EQ(u32_at(bytes, 54), 0u);
    EXPECT_EQ(u32_at(bytes, 58), 0x00FFFFFFu);
    bitmap_done(&bw);
}

TEST_F(BmpFile, ReadFailuresInOrderAndOutputUntouched) {
    Bitmap out{};
    out.width = 123;
    auto read = [&](const std::vector<std::uint8_t>& bytes) {
        write_bytes(path, bytes);
        return read_bitmap_file(&out, path.c_str());
    };
    EXPECT_EQ(read_bitmap_file(nullptr, path.c_str()), kInvalidArgument);
    EXPECT_EQ(read_bitmap_file(&out, nullptr), kInvalidArgument);
    EXPECT_EQ(read_bitmap_file(&out, "no/such/file.bmp"), kCannotOpen);
    EXPECT_EQ(read_bitmap_file(&out, "."), kCannotOpen);

    EXPECT_EQ(read({'B', 'M', 0, 0}), kReadError);  // inside the file header
    auto good = handmade_bmp(4, 2, 8, 1024, 8);
    auto ba = good;
    ba[1] = 'A';
    EXPECT_EQ(read(ba), kNotBmp);
    EXPECT_EQ(read(std::vector<std::uint8_t>(good.begin(), good.begin() + 30)), kReadError);
    EXPECT_EQ(read(std::vector<std::uint8_t>(good.begin(), good.begin() + 54)), kReadError);  // 4-byte read
    EXPECT_EQ(read(handmade_bmp(4, 2, 4, 64, 8)), kUnsupportedDepth);
    EXPECT_EQ(read(handmade_bmp(4, 2, 32, 0, 32)), kUnsupportedDepth);
    EXPECT_EQ(read(handmade_bmp(0, 2, 8, 1024, 8)), kInvalidArgument);
    EXPECT_EQ(read(handmade_bmp(4, 0, 8, 1024, 8)), kInvalidArgument);
    EXPECT_EQ(read(std::vector<std::uint8_t>(good.begin(), good.end() - 1)), kNotBmp);  // pixels cut short
    EXPECT_EQ(out.width, 123);
    EXPECT_EQ(out.bits, nullptr);

    EXPECT_EQ(read(good), kOk);
    EXPECT_EQ(out.width, 4);
    EXPECT_EQ(out.rows[1][3], 7);
    bitmap_done(&out);
}

TEST_F(BmpFile, HeadersWhoseSizeOverflowsAreRefused) {
    Bitmap out{};
    // 65536 x 65536 at 8 bits wraps to a zero byte count in 32 bits.
    write_bytes(path, handmade_bmp(65536, 65536, 8, 1024, 16));
    EXPECT_EQ(read_bitmap_file(&out, path.c_str()), kOutOfMemory);
    // The most negative height has no positive counterpart.
    write_bytes(path, handmade_bmp(1, static_cast<int>(0x80000000u), 1, 8, 16));
    EXPECT_EQ(read_bitmap_file(&out, path.c_str()), kOutOfMemory);
    // A large but representable size in a tiny file fails the length check.
    write_bytes(path, handmade_bmp(30000, 30000, 8, 1024, 16));
    EXPECT_EQ(read_bitmap_file(&out, path.c_str()), kNotBmp);
    EXPECT_EQ(out.bits, nullptr);
}

TEST_F(BmpFile, PaletteIndicesAreGreyLevelsAndTopDownRowsStayInFileOrder) {
    // 8 bits, 3 x 2, top-down, with a palette that maps everything to red.
    auto bytes = handmade_bmp(3, -2, 8, 1024, 8);
    for (int j = 0; j < 256; ++j) {
        bytes[54 + 4 * j + 2] = 255;
    }
    write_bytes(path, bytes);
    BitmapGuard bmp;
    ASSERT_EQ(read_bitmap_file(bmp.get(), path.c_str()), kOk);
    EXPECT_EQ(bmp->height, 2);
    EXPECT_EQ(bmp->stride, 4);
    EXPECT_EQ(bmp->rows[0][0], 0);  // first stored row is row 0
    EXPECT_EQ(bmp->rows[0][2], 2);
    EXPECT_EQ(bmp->rows[1][0], 4);
}

TEST_F(BmpFile, WriteFailures) {
    Bitmap bmp = pattern_bitmap(4, 4, 8, true);
    EXPECT_EQ(save_bitmap_file(nullptr, path.c_str()), kInvalidArgument);
    EXPECT_EQ(save_bitmap_file(&bmp, nullptr), kInvalidArgument);
    EXPECT_EQ(save_bitmap_file(&bmp, "no/such/dir/x.bmp"), kCannotCreate);
    Bitmap bad = bmp;
    bad.bitCount = 16;
    EXPECT_EQ(save_bitmap_file(&bad, path.c_str()), kInvalidRecord);
    bitmap_done(&bmp);
}

// --- Interoperability with an independent BMP implementation (Pillow) ---

// Pillow reads what we write: same pixels, top row of its view = our last row.
TEST_F(BmpFile, PillowReadsOurFiles) {
    if (!have_pillow()) {
        GTEST_SKIP() << "/usr/bin/python3 with Pillow not installed";
    }
    for (int bitCount : {1, 8, 24}) {
        Bitmap src = pattern_bitmap(13, 7, bitCount, false, 11);
        ASSERT_EQ(save_bitmap_file(&src, path.c_str()), kOk);
        const std::string dump = scratch_path("dump.raw");
        const std::string mode = bitCount == 24 ? "RGB" : "L";
        ASSERT_EQ(run_python("from PIL import Image\n"
                             "im = Image.open('" +
                             path +
                             "')\n"
                             "assert im.size == (13, 7), im.size\n"
                             "open('" +
                             dump + "', 'wb').write(im.convert('" + mode + "').tobytes())\n"),
                  0);
        const auto raw = file_bytes(dump);
        std::remove(dump.c_str());
        const int channels = bitCount == 24 ? 3 : 1;
        ASSERT_EQ(raw.size(), static_cast<size_t>(13 * 7 * channels));
        for (int r = 0; r < 7; ++r) {
            const int y = 6 - r;
            for (int x = 0; x < 13; ++x) {
                const std::uint8_t* p = &raw[static_cast<size_t>((r * 13 + x) * channels)];
                const std::uint32_t ours = pixel(src, x, y);
                std::uint32_t theirs = 0;
                if (bitCount == 24) {
                    theirs = p[2] | p[1] << 8 | static_cast<std::uint32_t>(p[0]) << 16;  // RGB -> B,G,R
                } else if (bitCount == 8) {
                    theirs = p[0];
                } else {
                    theirs = p[0] == 255 ? 1 : 0;
                }
                ASSERT_EQ(ours, theirs) << bitCount << " bits at " << x << "," << y;
            }
        }
        bitmap_done(&src);
    }
}

// We read what Pillow writes: 8 bits with a colour palette (indices come through
// as grey levels), 1 bit and 24 bits, odd widths, and a top-down file.
TEST_F(BmpFile, WeReadPillowFiles) {
    if (!have_pillow()) {
        GTEST_SKIP() << "/usr/bin/python3 with Pillow not installed";
    }
    const std::string dump = scratch_path("dump.raw");
    struct Case {
        const char* mode;
        int width, height, bitCount;
    } cases[] = {{"P", 13, 5, 8}, {"L", 7, 3, 8}, {"1", 21, 4, 1}, {"RGB", 7, 6, 24}};
    for (const Case& c : cases) {
        const std::string script =
            "from PIL import Image\n"
            "w, h, mode = " +
            std::to_string(c.width) + ", " + std::to_string(c.height) + ", '" + c.mode +
            "'\n"
            "im = Image.new(mode, (w, h))\n"
            "for y in range(h):\n"
            "    for x in range(w):\n"
            "        v = (x * 37 + y * 101 + 5) % 256\n"
            "        if mode == '1': im.putpixel((x, y), 255 if v & 16 else 0)\n"
            "        elif mode == 'RGB': im.putpixel((x, y), (v, (v * 3) % 256, (v * 7) % 256))\n"
            "        else: im.putpixel((x, y), v)\n"
            "if mode == 'P':\n"
            "    im.putpalette([(i * 13) % 256 for i in range(768)])\n"
            "im.save('" +
            path +
            "')\n"
            "data = im.tobytes() if mode != '1' else im.convert('L').tobytes()\n"
            "open('" +
            dump + "', 'wb').write(data)\n";
        ASSERT_EQ(run_python(script), 0) << c.mode;
        const auto raw = file_bytes(dump);
        BitmapGuard bmp;
        ASSERT_EQ(read_bitmap_file(bmp.get(), path.c_str()), kOk) << c.mode;
        ASSERT_EQ(bmp->width, c.width);
        ASSERT_EQ(bmp->height, c.height);
        ASSERT_EQ(bmp->bitCount, c.bitCount) << c.mode;
        EXPECT_EQ(bmp->stride, padded_row_bytes(c.width, c.bitCount));
        const int channels = c.bitCount == 24 ? 3 : 1;
        for (int r = 0; r < c.height; ++r) {
            const int y = c.height - 1 - r;  // Pillow writes bottom-up
            for (int x = 0; x < c.width; ++x) {
                const std::uint8_t* p = &raw[static_cast<size_t>((r * c.width + x) * channels)];
                std::uint32_t expected = p[0];
                if (c.bitCount == 24) {
                    expected = p[2] | p[1] << 8 | static_cast<std::uint32_t>(p[0]) << 16;
                } else if (c.bitCount == 1) {
                    expected = p[0] == 255 ? 1 : 0;
                }
                ASSERT_EQ(pixel(*bmp, x, y), expected) << c.mode << " at " << x << "," << y;
            }
        }
    }
    std::remove(dump.c_str());

    // Top-down: Pillow and we agree that the first stored row is the top one.
    auto topDown = handmade_bmp(5, -3, 8, 1024, 24);
    for (int j = 0; j < 256; ++j) {
        for (int k = 0; k < 3; ++k) {
            topDown[54 + 4 * j + k] = static_cast<std::uint8_t>(j);
        }
    }
    write_bytes(path, topDown);
    ASSERT_EQ(run_python("from PIL import Image\n"
                         "im = Image.open('" +
                         path +
                         "').convert('L')\n"
                         "open('" +
                         dump + "', 'wb').write(im.tobytes())\n"),
              0);
    const auto raw = file_bytes(dump);
    std::remove(dump.c_str());
    BitmapGuard bmp;
    ASSERT_EQ(read_bitmap_file(bmp.get(), path.c_str()), kOk);
    ASSERT_EQ(raw.size(), 15u);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(bmp->rows[y][x], raw[static_cast<size_t>(y * 5 + x)]);
        }
    }
}

// ImageMagick, a second independent writer: an 8-bit palette file of colours
// (indices come through as grey levels) and a 24-bit file, odd widths.
TEST_F(BmpFile, WeReadImageMagickFiles) {
    if (!have_convert() || !have_pillow()) {
        GTEST_SKIP() << "ImageMagick or Pillow not installed";
    }
    struct Case {
        const char* options;
        int bitCount;
    } cases[] = {{"-type Palette -compress None", 8}, {"-compress None", 24}};
    for (const Case& c : cases) {
        const std::string cmd = std::string("/usr/bin/convert -size 37x21 gradient:red-blue ") + c.options +
                                " BMP3:" + path + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        const std::string dump = scratch_path("dump.raw");
        ASSERT_EQ(run_python("from PIL import Image\n"
                             "im = Image.open('" +
                             path +
                             "')\n"
                             "assert im.mode in ('P', 'RGB'), im.mode\n"
                             "open('" +
                             dump + "', 'wb').write(im.tobytes())\n"),
                  0);
        const auto raw = file_bytes(dump);
        std::remove(dump.c_str());
        BitmapGuard bmp;
        ASSERT_EQ(read_bitmap_file(bmp.get(), path.c_str()), kOk);
        ASSERT_EQ(bmp->bitCount, c.bitCount);
        const int channels = c.bitCount / 8;
        ASSERT_EQ(raw.size(), static_cast<size_t>(37 * 21 * channels));
        for (int r = 0; r < 21; ++r) {
            for (int x = 0; x < 37; ++x) {
                const std::uint8_t* p = &raw[static_cast<size_t>((r * 37 + x) * channels)];
                const std::uint32_t expected =
                    channels == 1 ? p[0] : (p[2] | p[1] << 8 | static_cast<std::uint32_t>(p[0]) << 16);
                ASSERT_EQ(pixel(*bmp, x, 20 - r), expected) << c.bitCount << " at " << x << "," << r;
            }
        }
    }
}

}  // namespace
}  // namespace skewtrim
