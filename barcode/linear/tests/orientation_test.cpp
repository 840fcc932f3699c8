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
    // At exactly 45 degrees every edge of a 2-pixel symbol snaps to the diagonal pixel lattice
    // (0.7 pixel apart), so a one-module element covers 1.4 or 2.1 pixels: beyond what EAN digit
    // keys and narrow/wide ratios allow. Such symbols are drawn 1.5 degrees off the diagonal.
    const bool diagonal = std::fmod(c.angle, 90.0) != 0.0 && std::fmod(c.angle, 45.0) == 0.0;
    for (int module = 2; module <= 4; ++module) {
        const double angle = (diagonal && module == 2) ? c.angle - 1.5 : c.angle;
        const std::string payload = random_payload(c.symbology, rng);
        ModuleImage symbol;
        ASSERT_TRUE(encode(zint_symbology_for(c.symbology), payload, symbol)) << payload;
        Page page;
        page.paint(symbol, Placement{864, 600, double(module), angle});
        const auto reads = decode(page, {setting(c.symbology)});
        ASSERT_EQ(reads.size(), 1u) << "symbology " << c.symbology << " angle " << angle << " module "
                                    << module << " payload " << payload;
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
