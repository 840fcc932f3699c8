#include "barcode/linear/tests/drawn_pages.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace stripescan::testing {

std::vector<std::pair<int, std::string>> read_bit_page(barcode::degrade::BitPage& page) {
    Bitmap b{page.width, page.height, 1, page.stride * page.height, page.stride, nullptr, page.bits.data()};
    std::vector<SymbologySetting> settings;
    for (int s = 1; s <= 8; ++s) settings.push_back(setting(s));
    DecodeRequest request{settings.data(), 8, 0, STRIPESCAN_BOTH_DIRECTIONS, STRIPESCAN_MIN_SIZE};
    BarcodeResultList list{};
    EXPECT_EQ(Stripescan(&b, &request, &list), STRIPESCAN_OK);
    std::vector<std::pair<int, std::string>> out;
    for (int i = 0; i < list.count; ++i) {
        out.emplace_back(list.results[i].symbology,
                         std::string(reinterpret_cast<const char*>(list.results[i].text),
                                     static_cast<std::size_t>(list.results[i].length)));
    }
    FreeBarcodeResultMem(&list);
    return out;
}

void expect_read_once(const std::string& folder, const PrintedPage& page) {
    const auto results = read_saved_page(folder, page.file);
    ASSERT_EQ(results.size(), 1u) << page.file;
    EXPECT_EQ(results[0].first, page.symbology) << page.file;
    EXPECT_EQ(results[0].second, page.printed) << page.file;
}

std::vector<std::pair<int, std::string>> read_saved_page(const std::string& folder, const char* file) {
    Bitmap bitmap{};
    std::vector<std::pair<int, std::string>> out;
    if (ReadBimapFromFile(&bitmap, (folder + "/" + file).c_str()) != STRIPESCAN_OK) {
        ADD_FAILURE() << file;
        return out;
    }
    SymbologySetting settings[8] = {};
    for (int s = 0; s < 8; ++s) settings[s].symbology = s + 1;
    DecodeRequest request{settings, 8, 0, STRIPESCAN_BOTH_DIRECTIONS, STRIPESCAN_MIN_SIZE};
    BarcodeResultList list{};
    EXPECT_EQ(Stripescan(&bitmap, &request, &list), STRIPESCAN_OK);
    for (int i = 0; i < list.count; ++i)
        out.emplace_back(list.results[i].symbology,
                         std::string(reinterpret_cast<const char*>(list.results[i].text),
                                     static_cast<std::size_t>(list.results[i].length)));
    FreeBarcodeResultMem(&list);
    FreeBitmap(&bitmap);
    return out;
}

void damage_symbol(barcode::degrade::ModuleGrid& grid, int kind, std::mt19937& rng) {
    auto clearColumn = [&grid](int x) {
        for (int y = 0; y < grid.height; ++y) grid.dark[static_cast<std::size_t>(y) * grid.width + x] = 0;
    };
    if (kind == 0) {
        int x = grid.width / 5 + static_cast<int>(rng() % static_cast<unsigned>(3 * grid.width / 5));
        while (x < grid.width && !grid.at(x, 0)) ++x;
        for (; x < grid.width && grid.at(x, 0); ++x) clearColumn(x);
    } else {
        const int cut =
            std::max(2, grid.width / 10 + static_cast<int>(rng() % static_cast<unsigned>(grid.width / 5)));
        for (int x = grid.width - cut; x < grid.width; ++x) clearColumn(x);
    }
}

}  // namespace stripescan::testing
