// BMP files as other tools write them, read into top-row-first pictures; the
// files come from ImageMagick, an independent writer.

#include "picture_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "cli.h"
#include "recognition.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using ticketkit::Failure;
using ticketkit::PictureFile;

class PictureFiles : public ::testing::Test {
protected:
    void SetUp() override { dir = tktest::temp_folder("pictures"); }
    void TearDown() override { fs::remove_all(dir); }

    // A 37 x 21 white picture with one black dot at (9, 4) and a red one at (30, 17).
    // `options` ends with the output format, e.g. "-monochrome BMP3:".
    std::string magick(const std::string& name, const std::string& options) {
        const std::string path = dir + "/" + name;
        const std::string cmd =
            "convert -size 37x21 xc:white -fill black -draw 'point 9,4' -fill red -draw 'point 30,17' " +
            options + path + " 2>/dev/null";
        EXPECT_TRUE(tktest::shell(cmd)) << cmd;
        return path;
    }

    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static std::string reason(const std::string& path) {
        try {
            ticketkit::load_picture(path);
        } catch (const Failure& f) {
            EXPECT_EQ(f.code, ticketkit::kExitUsage);
            EXPECT_NE(f.message.find(path), std::string::npos) << "the message names the file";
            return f.message;
        }
        return "loaded";
    }

    std::string dir;
};

// The grey level (or blue-green-red sum / 3) of a loaded dot.
int level(const PictureFile& p, int x, int y) {
    const std::uint8_t* row = &p.rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.stride)];
    switch (p.bitCount) {
        case 1:
            return ((row[x / 8] >> (7 - x % 8)) & 1) ? 255 : 0;
        case 8:
            return row[x];
        default:
            return (row[x * 3] + row[x * 3 + 1] + row[x * 3 + 2]) / 3;
    }
}

TEST_F(PictureFiles, EveryDepthAndRowOrderLoadsTopRowFirst) {
    struct Case {
        const char* name;
        const char* options;
    } cases[] = {
        {"grey.bmp", "-colorspace gray -type grayscale BMP3:"},
        {"palette.bmp", "-type palette BMP3:"},
        {"colour24.bmp", "-type truecolor BMP3:"},
        {"colour32.bmp", "-type truecolormatte -alpha on BMP:"},
    };
    std::set<int> depths;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = magick(c.name, std::string(c.options));
        // ImageMagick wants the format prefix on the output name.
        const std::string fixed = dir + "/" + c.name;
        const PictureFile p = ticketkit::load_picture(fixed);
        EXPECT_EQ(p.width, 37);
        EXPECT_EQ(p.height, 21);
        depths.insert(p.fileBits);
        EXPECT_LT(level(p, 9, 4), 40) << "black dot";
        EXPECT_GT(level(p, 8, 4), 200);
        EXPECT_GT(level(p, 9, 16), 200) << "rows are not upside down";
        (void)path;
    }
    EXPECT_EQ(depths, (std::set<int>{4, 24, 32})) << "the depths ImageMagick chose";
    // The kit's own 8-bit grey tickets.
    const PictureFile grey =
        ticketkit::load_picture(std::string(SAMPLES_DIR) + "/tickets/printed-marks-grid.bmp");
    EXPECT_EQ(grey.fileBits, 8);
    EXPECT_EQ(grey.bitCount, 8);
    EXPECT_EQ(level(grey, 0, 0), 255);
    EXPECT_EQ(level(grey, 160, 160), 0) << "the first printed mark at 20 mm, 20 mm";
}

TEST_F(PictureFiles, OneBitFilesKeepWhiteAsOneWhateverThePaletteOrder) {
    const std::string normal = magick("mono.bmp", "-monochrome BMP3:");
    PictureFile p = ticketkit::load_picture(dir + "/mono.bmp");
    ASSERT_EQ(p.bitCount, 1);
    EXPECT_EQ(level(p, 9, 4), 0);
    EXPECT_EQ(level(p, 0, 0), 255);

    // The same picture with its two palette entries swapped and every bit inverted.
    std::ifstream in(dir + "/mono.bmp", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::uint32_t offset = static_cast<std::uint8_t>(bytes[10]) | static_cast<std::uint8_t>(bytes[11])
                                                                            << 8;
    const std::size_t palette = 14 + 40;
    for (int k = 0; k < 4; ++k)
        std::swap(bytes[palette + static_cast<std::size_t>(k)],
                  bytes[palette + 4 + static_cast<std::size_t>(k)]);
    for (std::size_t i = offset; i < bytes.size(); ++i) bytes[i] = static_cast<char>(~bytes[i]);
    p = ticketkit::load_picture(write("inverted.bmp", bytes));
    EXPECT_EQ(level(p, 9, 4), 0);
    EXPECT_EQ(level(p, 0, 0), 255);
    (void)normal;
}

TEST_F(PictureFiles, UnusableFilesAreRefusedWithTheirReason) {
    EXPECT_NE(reason(dir + "/absent.bmp").find("missing"), std::string::npos);
    EXPECT_NE(reason(write("text.bmp", "just some notes\n")).find("text file"), std::string::npos);
    EXPECT_NE(reason(write("empty.bmp", "")).find("empty"), std::string::npos);
    ASSERT_TRUE(tktest::shell("convert -size 20x10 xc:white PNG:" + dir + "/png.bmp"));
    EXPECT_NE(reason(dir + "/png.bmp").find("PNG"), std::string::npos);
    magick("rle.bmp", "-type palette -compress RLE BMP3:");
    EXPECT_NE(reason(dir + "/rle.bmp").find("RLE"), std::string::npos);

    // A valid header whose pixel data is cut short, and one with 16 bits per pixel.
    magick("cut.bmp", "-type truecolor BMP3:");
    std::ifstream in(dir + "/cut.bmp", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(reason(write("short.bmp", bytes.substr(0, bytes.size() - 10))).find("cut short"),
              std::string::npos);
    bytes[28] = 16;
    EXPECT_NE(reason(write("depth16.bmp", bytes)).find("16 bits"), std::string::npos);
    EXPECT_NE(ticketkit::bmp_problem(dir + "/rle.bmp").find("RLE"), std::string::npos);
    EXPECT_EQ(ticketkit::bmp_problem(dir + "/cut.bmp"), "");
}

TEST(ResolutionFromHeader, OnlyTheScannersTwoResolutionsAreRecognised) {
    EXPECT_EQ(ticketkit::lines_per_mm_from(3938), 4);
    EXPECT_EQ(ticketkit::lines_per_mm_from(3937), 4);  // 100 dpi as other tools round it
    EXPECT_EQ(ticketkit::lines_per_mm_from(7874), 8);
    EXPECT_EQ(ticketkit::lines_per_mm_from(2835), 0);  // 72 dpi
    EXPECT_EQ(ticketkit::lines_per_mm_from(0), 0);
}

TEST(TicketKinds, FileNamePrefixesPickTheLongestMatchingKind) {
    EXPECT_EQ(ticketkit::kind_from_file_name("barcode-x.bmp")->code, 1);
    EXPECT_EQ(ticketkit::kind_from_file_name("marks-sheet.bmp")->code, 0);
    EXPECT_EQ(ticketkit::kind_from_file_name("marks-reliability-1.bmp")->code, 5);
    EXPECT_EQ(ticketkit::kind_from_file_name("printed-marks-1.bmp")->code, 2);
    EXPECT_FALSE(ticketkit::kind_from_file_name("barcode.bmp"));
    EXPECT_FALSE(ticketkit::kind_from_file_name("photo-marks-1.bmp"));
}

TEST(JsonText, ControlBytesAndBrokenUtf8AreEscapedWellFormedUtf8Kept) {
    EXPECT_EQ(ticketkit::json_string("a\"b\\c\nd"), "\"a\\\"b\\\\c\\nd\"");
    EXPECT_EQ(ticketkit::json_string(std::string("\x01\x7f", 2)), "\"\\u0001\\u007f\"");
    EXPECT_EQ(ticketkit::json_string("gr\xc3\xbc\xc3\x9f"), "\"gr\xc3\xbc\xc3\x9f\"");
    EXPECT_EQ(ticketkit::json_string("\xc3"), "\"\\u00c3\"");  // cut sequence
    EXPECT_EQ(ticketkit::json_string("\xff\x80"), "\"\\u00ff\\u0080\"");
}

TEST(CommandOptions, UnknownOptionsAndMissingValuesAreUsageErrors) {
    const ticketkit::Args ok({"a.bmp", "--kind=barcode", "--json", "--lines-per-mm", "8"}, {"--json"},
                             {"--kind", "--lines-per-mm"});
    EXPECT_EQ(ok.value("--kind").value_or(""), "barcode");
    EXPECT_EQ(ok.integer("--lines-per-mm", 4, 8).value_or(0), 8);
    EXPECT_TRUE(ok.has("--json"));
    EXPECT_EQ(ok.positional(), std::vector<std::string>{"a.bmp"});
    auto code = [](auto&& f) {
        try {
            f();
        } catch (const Failure& e) {
            return e.code;
        }
        return 0;
    };
    EXPECT_EQ(code([] { ticketkit::Args({"--colour"}, {}, {}); }), ticketkit::kExitUsage);
    EXPECT_EQ(code([] { ticketkit::Args({"--kind"}, {}, {"--kind"}); }), ticketkit::kExitUsage);
    EXPECT_EQ(code([] {
                  ticketkit::Args({"--n", "12x"}, {}, {"--n"}).integer("--n", 0, 99);
              }),
              ticketkit::kExitUsage);
    EXPECT_EQ(code([] {
                  ticketkit::Args({"--n", "100"}, {}, {"--n"}).integer("--n", 0, 99);
              }),
              ticketkit::kExitUsage);
}

}  // namespace
