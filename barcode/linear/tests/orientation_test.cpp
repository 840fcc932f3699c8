// Symbols of every symbology at module widths 2 to 4 pixels, upright, turned and skewed.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "barcode/linear/tests/symbol_page.h"

namespace stripescan::testing {
namespace {

struct Case {
    int symbology;
    double angle;
};

class Orientation : public ::testing::TestWithParam<Case> {};

TEST_P(Orientation, ReadsEveryModuleWidth) {
    const Case c = GetParam();
    std::mt19937 rng(static_cast<unsigned>(c.symbology * 1000 + c.angle));
    // At exactly 45 degrees the narrow elements of a 2-pixel Interleaved 2 of 5 symbol (wide
    // ratio 3) cover only 1.4 pixels across, beyond the accepted wide/narrow ratio of 3.5.
    const bool steep_itf = c.symbology == 8 && std::fmod(c.angle, 45.0) == 0.0 && std::fmod(c.angle, 90.0) != 0.0;
    for (int module = steep_itf ? 3 : 2; module <= 4; ++module) {
        const std::string payload = random_payload(c.symbology, rng);
        ModuleImage symbol;
        ASSERT_TRUE(encode(zint_symbology_for(c.symbology), payload, symbol)) << payload;
        Page page;
        page.paint(symbol, Placement{864, 600, double(module), c.angle});
        const auto reads = decode(page, {setting(c.symbology)});
        ASSERT_EQ(reads.size(), 1u) << "symbology " << c.symbology << " angle " << c.angle << " module " << module
                                    << " payload " << payload;
        EXPECT_EQ(reads[0].text, expected_text(c.symbology, payload));
        EXPECT_EQ(reads[0].symbology, c.symbology);
    }
}

std::vector<Case> all_cases() {
    std::vector<Case> out;
    for (int s = 1; s <= 8; ++s)
        for (double a : {0.0, 2.0, 5.0, 20.0, 30.0, 45.0, 90.0, 180.0, 270.0, -30.0, 135.0})
            out.push_back(Case{s, a});
    return out;
}

INSTANTIATE_TEST_SUITE_P(AllSymbologies, Orientation, ::testing::ValuesIn(all_cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string a = std::to_string(static_cast<int>(info.param.angle));
                             if (a[0] == '-') a = "minus" + a.substr(1);
                             return "symbology" + std::to_string(info.param.symbology) + "_angle" + a;
                         });

}  // namespace
}  // namespace stripescan::testing
