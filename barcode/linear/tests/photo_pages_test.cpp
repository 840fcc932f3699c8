// Pages that were once misread; whatever is read now must be the printed text. Photos of
// Codabar symbols reduced to 1 bit by a local threshold, as a phone or a web camera gives them
// (blurred, unevenly lit, the paper dotted with salt), where a "+" or ":" was taken for a
// digit; and a 2 of 5 symbol scanned at 6 px per module with specks, where a line that left
// the symbol across the ends of its bars read its first four digits as a whole symbol; and a
// Code 93 photo whose first reading slid along only part of its bars, so that it was reported
// twice. Each page holds one symbol, reported once at most.

#include <gtest/gtest.h>

#include <string>

#include "barcode/linear/Stripescan.h"

namespace {

struct PhotoPage {
    const char* file;
    const char* printed;
};

TEST(PhotoPages, PagesOnceMisreadAreReadRightOrNotAtAll) {
    for (const PhotoPage& page :
         {PhotoPage{"codabar-photo-plus.bmp", "C+6708653B"}, PhotoPage{"codabar-photo-colon.bmp", "D7:9009D"},
          PhotoPage{"itf-scan-speckle.bmp", "1124914804"}}) {
        Bitmap bitmap{};
        ASSERT_EQ(ReadBimapFromFile(&bitmap, (std::string(STRIPESCAN_TEST_DATA) + "/" + page.file).c_str()),
                  STRIPESCAN_OK)
            << page.file;
        SymbologySetting settings[8] = {};
        for (int s = 0; s < 8; ++s) settings[s].symbology = s + 1;
        DecodeRequest request{settings, 8, 0, STRIPESCAN_BOTH_DIRECTIONS, STRIPESCAN_MIN_SIZE};
        BarcodeResultList list{};
        EXPECT_EQ(Stripescan(&bitmap, &request, &list), STRIPESCAN_OK);
        EXPECT_LE(list.count, 1) << page.file;
        for (int i = 0; i < list.count; ++i) {
            const std::string text(reinterpret_cast<const char*>(list.results[i].text),
                                   static_cast<std::size_t>(list.results[i].length));
            EXPECT_EQ(text, page.printed) << page.file;
        }
        FreeBarcodeResultMem(&list);
        FreeBitmap(&bitmap);
    }
}

}  // namespace

namespace {

// An EAN-8 photo under a local threshold whose 8, 7 and 8 lost so much of their bars on some
// lines that they looked like a 2, a 1 and a 2, and 2212327 passed the check digit.
TEST(PhotoPages, EanPairDigitsTippedTogetherAreNotReadAsAnotherText) {
    Bitmap bitmap{};
    ASSERT_EQ(
        ReadBimapFromFile(&bitmap, (std::string(STRIPESCAN_TEST_DATA) + "/ean8-photo-tipped.bmp").c_str()),
        STRIPESCAN_OK);
    SymbologySetting settings[8] = {};
    for (int s = 0; s < 8; ++s) settings[s].symbology = s + 1;
    DecodeRequest request{settings, 8, 0, STRIPESCAN_BOTH_DIRECTIONS, STRIPESCAN_MIN_SIZE};
    BarcodeResultList list{};
    EXPECT_EQ(Stripescan(&bitmap, &request, &list), STRIPESCAN_OK);
    EXPECT_LE(list.count, 1);
    for (int i = 0; i < list.count; ++i) {
        const std::string text(reinterpret_cast<const char*>(list.results[i].text),
                               static_cast<std::size_t>(list.results[i].length));
        EXPECT_EQ(text, "2878327");
    }
    FreeBarcodeResultMem(&list);
    FreeBitmap(&bitmap);
}

}  // namespace
