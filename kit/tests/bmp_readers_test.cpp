// Both libraries that read BMP files into a Bitmap record (libSkewtrim's
// ReadBitmapFromFile and libStripescan's ReadBimapFromFile) against files
// written by ImageMagick and read back by Pillow as the independent oracle.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "kit/Bitmap.h"
#include "kit/bmp_header.h"
#include "platform/dynamic_library.h"

namespace {

namespace fs = std::filesystem;

using ReadSkewtrim = int (*)(Bitmap*, const char*);
using DoneSkewtrim = int (*)(Bitmap*);
using ReadStripescan = int (*)(Bitmap*, const char*);
using FreeStripescan = int (*)(Bitmap*);

constexpr int kSkewtrimUnsupported = 4;  // depth or pixel format the reader does not hold

bool have_tools() {
    return std::system("/usr/bin/convert -version >/dev/null 2>&1") == 0 &&
           std::system("/usr/bin/python3 -c 'import PIL.Image' >/dev/null 2>&1") == 0;
}

std::vector<std::uint8_t> slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spill(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class BmpReaders : public ::testing::Test {
protected:
    void SetUp() override {
        if (!have_tools()) GTEST_SKIP() << "ImageMagick or Pillow not installed";
        ASSERT_TRUE(skewtrim.open("Skewtrim.dll")) << skewtrim.error();
        ASSERT_TRUE(stripescan.open("Stripescan.dll")) << stripescan.error();
        dir = fs::temp_directory_path() / ("kit_bmp_readers_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    // A 37 x 21 picture, black shapes on white, that no flip or inversion maps onto itself.
    // `format` is ImageMagick's output prefix ("BMP3" or "BMP").
    fs::path draw(const std::string& name, const std::string& options, const std::string& format) {
        const fs::path path = dir / name;
        const std::string cmd =
            "/usr/bin/convert -size 37x21 xc:white -fill black "
            "-draw 'rectangle 3,2 20,10' -draw 'line 25,3 34,18' " +
            options + " '" + format + ":" + path.string() + "' 2>/dev/null";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return path;
    }

    // Pillow's reading of the file: grey levels, top row first.
    std::vector<std::uint8_t> oracle(const fs::path& file, int& width, int& height) {
        const fs::path dump = dir / "dump.raw";
        const fs::path size = dir / "size.txt";
        const std::string script =
            "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('L')\n"
            "open(sys.argv[2], 'wb').write(im.tobytes())\n"
            "open(sys.argv[3], 'w').write('%d %d' % im.size)\n";
        const fs::path py = dir / "dump.py";
        std::ofstream(py) << script;
        const std::string cmd = "/usr/bin/python3 '" + py.string() + "' '" + file.string() + "' '" +
                                dump.string() + "' '" + size.string() + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        std::ifstream(size) >> width >> height;
        return slurp(dump);
    }

    // Every pixel of a 1-bit record (row 0 = the file's first stored row, the
    // bottom one) against Pillow's grey levels; 1 must be white.
    void expect_same_picture(const Bitmap& bmp, const fs::path& file, const char* reader) {
        int width = 0, height = 0;
        const std::vector<std::uint8_t> grey = oracle(file, width, height);
        ASSERT_EQ(bmp.width, width) << reader;
        ASSERT_EQ(bmp.height, height) << reader;
        ASSERT_EQ(bmp.bitCount, 1) << reader;
        int wrong = 0;
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* row = bmp.rows[height - 1 - y];
            for (int x = 0; x < width; ++x) {
                const bool white = (row[x >> 3] >> (7 - (x & 7))) & 1;
                if (white != (grey[static_cast<std::size_t>(y) * width + x] >= 128)) ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0) << reader << " on " << file.filename();
    }

    // Both readers on one file.
    void expect_both_readers_match(const fs::path& file) {
        Bitmap a{};
        ASSERT_EQ(skewtrim.resolve<ReadSkewtrim>("ReadBitmapFromFile")(&a, file.c_str()), 0) << file;
        expect_same_picture(a, file, "ReadBitmapFromFile");
        skewtrim.resolve<DoneSkewtrim>("Bitmap_Done")(&a);
        Bitmap b{};
        ASSERT_EQ(stripescan.resolve<ReadStripescan>("ReadBimapFromFile")(&b, file.c_str()), 1) << file;
        expect_same_picture(b, file, "ReadBimapFromFile");
        stripescan.resolve<FreeStripescan>("FreeBitmap")(&b);
    }

    // Rewrites a two-colour file so that its palette puts white first (or
    // last): the entries swap and every stored bit flips, which keeps the
    // picture. ImageMagick versions differ in the order they write.
    void order_palette(const fs::path& path, bool whiteFirst) {
        std::vector<std::uint8_t> bytes = slurp(path);
        kit::bmp::Header h;
        ASSERT_EQ(kit::bmp::decode_headers(bytes.data(), bytes.size(), h), kit::bmp::Verdict::Ok);
        const std::size_t at = h.palette_offset();
        ASSERT_LE(at + 8, h.pixelOffset);
        ASSERT_LE(h.pixelOffset, bytes.size());
        if (kit::bmp::white_first(&bytes[at], &bytes[at + 4]) != whiteFirst) {
            for (int i = 0; i < 4; ++i) std::swap(bytes[at + i], bytes[at + 4 + i]);
            for (std::size_t i = h.pixelOffset; i < bytes.size(); ++i)
                bytes[i] = static_cast<std::uint8_t>(~bytes[i]);
        }
        ASSERT_EQ(kit::bmp::white_first(&bytes[at], &bytes[at + 4]), whiteFirst);
        spill(path, bytes);
    }

    std::uint32_t info_size(const fs::path& file) {
        const auto bytes = slurp(file);
        return bytes.size() < 18 ? 0 : bytes[14] | bytes[15] << 8 | bytes[16] << 16 | bytes[17] << 24;
    }

    platform::DynamicLibrary skewtrim;
    platform::DynamicLibrary stripescan;
    fs::path dir;
};

// ImageMagick's three BMP versions: 40-, 108- and 124-byte information headers.
struct Version {
    const char* options;
    const char* format;
    std::uint32_t infoSize;
};
const Version kVersions[] = {
    {"-type bilevel", "BMP3", 40},
    {"-type bilevel -define bmp:format=bmp4", "BMP", 108},
    {"-colors 2 -type palette", "BMP", 124},
};

TEST_F(BmpReaders, OneBitFilesWithEveryHeaderSizeReadAsPillowSeesThem) {
    for (const Version& v : kVersions) {
        const fs::path path = draw("black_first_" + std::to_string(v.infoSize) + ".bmp", v.options, v.format);
        ASSERT_EQ(info_size(path), v.infoSize);
        order_palette(path, false);
        expect_both_readers_match(path);
    }
}

TEST_F(BmpReaders, AWhiteFirstPaletteIsNotReadInvertedWhateverTheHeaderSize) {
    for (const Version& v : kVersions) {
        const fs::path path = draw("white_first_" + std::to_string(v.infoSize) + ".bmp", v.options, v.format);
        ASSERT_EQ(info_size(path), v.infoSize);
        order_palette(path, true);
        expect_both_readers_match(path);
    }
}

TEST_F(BmpReaders, RunLengthCompressedFilesAreRefusedAsUnsupportedNotAsForeign) {
    const fs::path rle8 = draw("rle8.bmp", "-type palette -colors 16 -compress RLE", "BMP3");
    kit::bmp::Header h;
    const auto bytes = slurp(rle8);
    ASSERT_EQ(kit::bmp::decode_headers(bytes.data(), bytes.size(), h), kit::bmp::Verdict::Compressed);
    ASSERT_EQ(h.compression, 1u) << "ImageMagick wrote RLE8";
    Bitmap a{};
    EXPECT_EQ(skewtrim.resolve<ReadSkewtrim>("ReadBitmapFromFile")(&a, rle8.c_str()), kSkewtrimUnsupported);
    EXPECT_EQ(a.bits, nullptr);
    Bitmap b{};
    EXPECT_EQ(stripescan.resolve<ReadStripescan>("ReadBimapFromFile")(&b, rle8.c_str()), 0);
    EXPECT_EQ(b.bits, nullptr);
}

}  // namespace
