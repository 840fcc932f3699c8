// `ticketkit decode --annotate` on the build's sample tickets with the real
// dispatcher: the annotated picture is written as PNG or BMP with the
// picture's size and what was read drawn where the readers found it. Pillow
// reads the files back; the source tickets are the oracle for positions.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/dynamic_library.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using Outcome = tktest::Outcome;

const std::string kSamples = SAMPLES_DIR;
const std::string kTickets = kSamples + "/tickets/";

// Checks run by Pillow; each script ends with an assert and exits 0 when it holds.
constexpr const char* kSameSize = R"(
import sys
from PIL import Image
src, out = Image.open(sys.argv[1]), Image.open(sys.argv[2])
assert out.size == src.size and out.mode == 'RGB', (out.size, src.size, out.mode)
)";

// Every symbol's corners (from the JSON) are drawn in the outline red.
constexpr const char* kCornersRed = R"(
import sys, json
from PIL import Image
out = Image.open(sys.argv[1]).convert('RGB')
symbols = json.load(open(sys.argv[2]))[0]['symbols']
assert symbols, 'no symbols'
for s in symbols:
    c = s['corners']
    for k in range(4):
        x, y = int(c[2 * k]), int(c[2 * k + 1])
        assert out.getpixel((x, y)) == (220, 0, 0), (x, y, out.getpixel((x, y)))
)";

// The cells the reader reports as marked lie on ink of the source ticket,
// the empty ones on paper: the dark share of the middle of each cell's box,
// measured on the source picture (a box off by a cell would fail it).
constexpr const char* kCellsOnTheInk = R"(
import sys, json
from PIL import Image
src = Image.open(sys.argv[1]).convert('L')
layout = json.load(open(sys.argv[2]))[0]['layout']
cells = [c for c in layout['cells'] if c['kind'] == 'answer']
assert len(cells) == int(sys.argv[3]), len(cells)
def dark(c):  # the middle half of the box, clear of a printed frame
    xs, ys = c['box'][0::2], c['box'][1::2]
    w, h = max(xs) - min(xs), max(ys) - min(ys)
    x0, x1 = int(min(xs) + w / 4), int(max(xs) - w / 4)
    y0, y1 = int(min(ys) + h / 4), int(max(ys) - h / 4)
    px = [src.getpixel((x, y)) for y in range(y0, y1 + 1) for x in range(x0, x1 + 1)
          if 0 <= x < src.width and 0 <= y < src.height]
    return sum(p < 128 for p in px) / max(1, len(px))
marked = [dark(c) for c in cells if c['state'][0] == 1]
empty = [dark(c) for c in cells if c['state'][0] == 0]
assert marked and empty
assert min(marked) > 0.5 and max(empty) < 0.1, (min(marked), max(empty))
)";

class AnnotateCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir = tktest::temp_folder("annotate");
        for (const auto& [name, text] : {std::pair{"same_size.py", kSameSize},
                                         {"corners_red.py", kCornersRed},
                                         {"cells_on_ink.py", kCellsOnTheInk}})
            std::ofstream(dir + "/" + name) << text;
    }
    void TearDown() override { fs::remove_all(dir); }

    Outcome run(const std::vector<std::string>& args) {
        return tktest::ticketkit(args, dir,
                                 {"FMTFILEPATH=" + kSamples + "/FormatFile.txt",
                                  "FMTFILESPPATH=" + kSamples + "/FormatFileSP.txt"},
                                 true);
    }
    bool python(const std::string& script, const std::vector<std::string>& args) {
        std::string cmd = "cd " + dir + " && /usr/bin/python3 " + script;
        for (const auto& a : args) cmd += " '" + a + "'";
        return tktest::shell(cmd);
    }
    // True when the library in the build exports `name`.
    static bool exports(const char* library, const char* name) {
        platform::DynamicLibrary lib;
        return lib.open(std::string(LIBRARY_DIR) + "/" + library) && lib.symbol(name) != nullptr;
    }

    std::string dir;
};

TEST_F(AnnotateCommand, EverySampleKindWritesAPngAndABmpOfThePicturesSize) {
    const std::pair<const char*, const char*> samples[] = {{"barcode-code128-pdf417.bmp", "barcode"},
                                                           {"marks-answer-sheet.bmp", "marks"},
                                                           {"printed-marks-grid.bmp", "printed-marks"}};
    for (const auto& [file, kind] : samples) {
        SCOPED_TRACE(file);
        for (const char* out : {"out.png", "out.bmp"}) {
            const Outcome r = run({"decode", kTickets + file, "--kind", kind, "--annotate", out});
            // Written whether or not anything was read.
            EXPECT_TRUE(r.status == 0 || r.status == 1) << r.err;
            ASSERT_TRUE(fs::exists(dir + "/" + out)) << r.err;
            EXPECT_TRUE(python("same_size.py", {kTickets + file, out})) << out;
            fs::remove(dir + "/" + out);
        }
    }
}

TEST_F(AnnotateCommand, BarcodeSymbolsAreOutlinedThroughTheCornersTheJsonGives) {
    const Outcome r = run({"decode", kTickets + "barcode-skewed-code128.bmp", "--kind", "barcode", "--json",
                           "--annotate", "skewed.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::ofstream(dir + "/skewed.json") << r.out;
    EXPECT_TRUE(python("corners_red.py", {"skewed.png", "skewed.json"})) << r.out;
}

TEST_F(AnnotateCommand, SeveralFilesGetOnePictureEachAndBadNamesAreRefused) {
    Outcome r = run({"decode", kTickets + "barcode-skewed-code128.bmp",
                     kTickets + "barcode-code128-pdf417.bmp", "--kind", "barcode", "--annotate", "seen.bmp"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir + "/seen-barcode-skewed-code128.bmp"));
    EXPECT_TRUE(fs::exists(dir + "/seen-barcode-code128-pdf417.bmp"));

    for (const char* bad : {"seen.jpg", "seen", "png"}) {
        r = run({"decode", kTickets + "barcode-skewed-code128.bmp", "--kind", "barcode", "--annotate", bad});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find(".png or .bmp"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir + "/" + bad));
    }
    r = run({"decode", kTickets + "barcode-skewed-code128.bmp", "--kind", "barcode", "--annotate",
             "no/such/folder/seen.png"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no/such/folder/seen.png"), std::string::npos) << r.err;
}

// Runs for real once libInkmark exports OMReadLayout; until then it says why it is skipped.
TEST_F(AnnotateCommand, HandwrittenCellsReportedMarkedLieOnTheTicketsInk) {
    if (!exports("libInkmark.so", "OMReadLayout"))
        GTEST_SKIP() << "libInkmark has no OMReadLayout in this build";
    const Outcome r = run({"decode", kTickets + "marks-answer-sheet.bmp", "--kind", "marks", "--json",
                           "--annotate", "sheet.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::ofstream(dir + "/sheet.json") << r.out;
    EXPECT_TRUE(python("cells_on_ink.py", {kTickets + "marks-answer-sheet.bmp", "sheet.json", "48"}))
        << r.out;
}

// Runs for real once libTypemark exports OMReadLayoutSP. The printed sample is
// read at 4 lines/mm, as the scanner takes printed sheets: ImageMagick keeps
// every other row.
TEST_F(AnnotateCommand, PrintedCellsReportedMarkedLieOnTheTicketsInk) {
    if (!exports("libTypemark.so", "OMReadLayoutSP"))
        GTEST_SKIP() << "libTypemark has no OMReadLayoutSP in this build";
    ASSERT_TRUE(tktest::shell("convert " + kTickets +
                              "printed-marks-grid.bmp -sample 100%x50% -type grayscale BMP3:" + dir +
                              "/grid4.bmp"));
    const Outcome r = run({"decode", "grid4.bmp", "--kind", "printed-marks", "--lines-per-mm", "4", "--json",
                           "--annotate", "grid.bmp"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::ofstream(dir + "/grid.json") << r.out;
    EXPECT_TRUE(python("cells_on_ink.py", {"grid4.bmp", "grid.json", "20"})) << r.out;
    EXPECT_TRUE(python("same_size.py", {"grid4.bmp", "grid.bmp"}));
}

}  // namespace
