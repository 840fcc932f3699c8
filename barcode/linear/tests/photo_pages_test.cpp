// Photos of Codabar symbols reduced to 1 bit by a local threshold, as a phone or a web camera
// gives them: blurred, unevenly lit, the paper dotted with salt. Each was once misread (a "+"
// or ":" taken for a digit); whatever is read now must be the printed text.

#include <gtest/gtest.h>

#include <string>

#include "barcode/linear/Stripescan.h"

namespace {

struct PhotoPage {
    const char* file;
    const char* printed;
};

TEST(PhotoPages, CodabarPhotosAreReadRightOrNotAtAll) {
    for (const PhotoPage& page : {PhotoPage{"codabar-photo-plus.bmp", "C+6708653B"},
                                  PhotoPage{"codabar-photo-colon.bmp", "D7:9009D"}}) {
        Bitmap bitmap{};
        ASSERT_EQ(ReadBimapFromFile(&bitmap, (std::string(STRIPESCAN_TEST_DATA) + "/" + page.file).c_str()),
                  STRIPESCAN_OK)
            << page.file;
        SymbologySetting settings[8] = {};
        for (int s = 0; s < 8; ++s) settings[s].symbology = s + 1;
        DecodeRequest request{settings, 8, 0, STRIPESCAN_BOTH_DIRECTIONS, STRIPESCAN_MIN_SIZE};
        BarcodeResultList list{};
        EXPECT_EQ(Stripescan(&bitmap, &request, &list), STRIPESCAN_OK);
        for (int i = 0; i < list.count; ++i) {
            const std::string text(reinterpret_cast<const char*>(list.results[i].text),
                                   static_cast<std::size_t>(list.results[i].length));
            EXPECT_EQ(list.results[i].symbology, STRIPESCAN_CODABAR) << page.file;
            EXPECT_EQ(text, page.printed) << page.file;
        }
        FreeBarcodeResultMem(&list);
        FreeBitmap(&bitmap);
    }
}

}  // namespace
