// Code 39, Codabar and 2 of 5 on photos reduced to 1 bit by a local threshold, where thin bars
// come out dotted: a band of rows thresholded at one half loses them, a line whose edges follow
// the local contrast keeps them. Such lines read symbols without a check character only when a
// second line, apart from the first, reads the same text; whatever is read must be the printed
// text.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "barcode/common/tests/sanitized_pages.h"
#include "barcode/linear/Stripescan.h"
#include "barcode/linear/tests/drawn_pages.h"

namespace stripescan::testing {
namespace {

using barcode::degrade::BitPage;
using barcode::degrade::ModuleGrid;
using barcode::degrade::Render;

struct SavedPage {
    const char* file;
    const char* printed;
    bool mustRead;
};

// The results of the saved page `file` read with all eight symbologies requested.
std::vector<std::string> read_saved(const char* file, int symbology, bool& other) {
    Bitmap bitmap{};
    std::vector<std::string> texts;
    other = false;
    if (ReadBimapFromFile(&bitmap, (std::string(STRIPESCAN_TEST_DATA) + "/" + file).c_str()) !=
        STRIPESCAN_OK) {
        ADD_FAILURE() << file;
        return texts;
    }
    SymbologySetting settings[8] = {};
    for (int s = 0; s < 8; ++s) settings[s].symbology = s + 1;
    DecodeRequest request{settings, 8, 0, STRIPESCAN_BOTH_DIRECTIONS, STRIPESCAN_MIN_SIZE};
    BarcodeResultList list{};
    EXPECT_EQ(Stripescan(&bitmap, &request, &list), STRIPESCAN_OK);
    for (int i = 0; i < list.count; ++i) {
        texts.emplace_back(reinterpret_cast<const char*>(list.results[i].text),
                           static_cast<std::size_t>(list.results[i].length));
        other = other || list.results[i].symbology != symbology;
    }
    FreeBarcodeResultMem(&list);
    FreeBitmap(&bitmap);
    return texts;
}

TEST(DottedBars, SavedPhotosAreReadAndThePageOnceMisreadIsNot) {
    // The first three were read by no line before; on the last, one line by local contrast was
    // met again from a second scan line and taken for a second line, and the keys read a "7"
    // whose wide bars were thinned to the middle as "%" ("7R" became "}").
    const struct {
        SavedPage page;
        int symbology;
    } pages[] = {{{"code39-photo-dotted.bmp", "RZKCIL", true}, STRIPESCAN_CODE39},
                 {{"codabar-photo-dotted.bmp", "B04..8C", true}, STRIPESCAN_CODABAR},
                 {{"itf-photo-dotted.bmp", "2954", true}, STRIPESCAN_ITF},
                 {{"code39-photo-percent.bmp", "I1DBXPQAX7RQ", false}, STRIPESCAN_CODE39}};
    for (const auto& [page, symbology] : pages) {
        bool other = false;
        const std::vector<std::string> texts = read_saved(page.file, symbology, other);
        EXPECT_FALSE(other) << page.file;
        EXPECT_LE(texts.size(), 1u) << page.file;
        if (page.mustRead) {
            EXPECT_EQ(texts.size(), 1u) << page.file;
        }
        for (const std::string& text : texts) EXPECT_EQ(text, page.printed) << page.file;
    }
}

// A phone photo with small modules: blur of a third of a module, limited contrast, uneven
// light, sensor noise, then a threshold against the mean of a 25 px window.
void small_module_photo(Render& how, std::mt19937& rng) {
    how.module = std::uniform_real_distribution<double>(1.5, 2.2)(rng);
    how.blur = 0.35 * how.module;
    how.contrast = std::uniform_real_distribution<double>(0.5, 0.9)(rng);
    how.shading = std::uniform_real_distribution<double>(0.3, 0.6)(rng);
    how.noise = 0.035;
    how.localWindow = 25;
    how.localOffset = 0.07;
    how.angle = std::uniform_real_distribution<double>(-10, 10)(rng);
}

BitPage page_around(const ModuleGrid& grid, const Render& how) {
    return BitPage(static_cast<int>(grid.width * how.module + 160),
                   static_cast<int>(grid.height * how.module + 100));
}

TEST(DottedBars, SmallModulePhotosAreReadAndNeverMisread) {
    // Lines thresholded at one half read 5, 7 and 8 of these.
    for (const auto& [symbology, least] :
         {std::pair{STRIPESCAN_CODE39, 8}, std::pair{STRIPESCAN_CODABAR, 8}, std::pair{STRIPESCAN_ITF, 9}}) {
        const Outcome o = read_drawn(
            symbology, 10, 2500u + static_cast<unsigned>(symbology),
            [](ModuleGrid&, Render& how, std::mt19937& rng) { small_module_photo(how, rng); }, page_around);
        EXPECT_GE(o.read, least) << "symbology " << symbology;
        EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << o.wrongTexts;
    }
}

TEST(DottedBars, SmallModulePhotosCutShortOrMissingABarAreNeverMisread) {
    // No check character: the lines by local contrast must not turn a damaged symbol into text.
    for (int symbology : {STRIPESCAN_CODE39, STRIPESCAN_CODABAR, STRIPESCAN_ITF}) {
        for (bool cut : {false, true}) {
            const Outcome o = read_drawn(
                symbology, barcode::degrade::pages_to_draw(6), 2600u + static_cast<unsigned>(symbology),
                [cut](ModuleGrid& grid, Render& how, std::mt19937& rng) {
                    small_module_photo(how, rng);
                    if (cut) {
                        // The last 30 % of the columns are white.
                        for (int y = 0; y < grid.height; ++y)
                            for (int x = grid.width * 7 / 10; x < grid.width; ++x)
                                grid.dark[static_cast<std::size_t>(y) * grid.width + x] = 0;
                        return;
                    }
                    // A bar in the middle third knocked out.
                    int x = grid.width / 3 + static_cast<int>(rng() % static_cast<unsigned>(grid.width / 3));
                    while (x < grid.width && !grid.at(x, 0)) ++x;
                    for (; x < grid.width && grid.at(x, 0); ++x)
                        for (int y = 0; y < grid.height; ++y)
                            grid.dark[static_cast<std::size_t>(y) * grid.width + x] = 0;
                },
                page_around);
            EXPECT_EQ(o.wrong, 0) << "symbology " << symbology << (cut ? " cut" : " knocked out")
                                  << o.wrongTexts;
        }
    }
}

}  // namespace
}  // namespace stripescan::testing
