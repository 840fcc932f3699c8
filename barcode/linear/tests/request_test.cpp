// The request and result rules of the Stripescan export: aliases 9 and 10, settings, passes,
// corners, erasing, several symbols, noise and damaged symbols.

#include <gtest/gtest.h>
#include <zint.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "barcode/linear/tests/symbol_page.h"

namespace stripescan::testing {
namespace {

Page page_with(int zintSymbology, const std::string& data, Placement where, int option2 = 0) {
    ModuleImage symbol;
    EXPECT_TRUE(encode(zintSymbology, data, symbol, option2)) << data;
    Page page;
    page.paint(symbol, where);
    return page;
}

SymbologySetting with_check(int symbology, int verify, int send) {
    SymbologySetting s = setting(symbology);
    s.verifyCheck = verify;
    s.sendCheck = send;
    return s;
}

TEST(Arguments, MissingArgumentsAndEmptyRequestsAnswerZero) {
    Page page;
    Bitmap b = page.bitmap();
    SymbologySetting s = setting(1);
    DecodeRequest request{&s, 1, 0, 3, 8};
    BarcodeResultList list{reinterpret_cast<BarcodeResult*>(0x1), 7, 9};
    EXPECT_EQ(Stripescan(nullptr, &request, &list), 0);
    EXPECT_EQ(Stripescan(&b, nullptr, &list), 0);
    EXPECT_EQ(Stripescan(&b, &request, nullptr), 0);
    request.settingCount = 0;
    EXPECT_EQ(Stripescan(&b, &request, &list), 0);
    EXPECT_EQ(list.count, 7);  // untouched
    list = BarcodeResultList{};
    EXPECT_EQ(FreeBarcodeResultMem(&list), 1);
    EXPECT_EQ(list.results, nullptr);
    EXPECT_EQ(list.capacity, 0);
}

TEST(Arguments, FieldsBeyondTheirBoundsAnswerZeroQuicklyAndTouchNothing) {
    Page page = page_with(BARCODE_CODE128, "ABC123", Placement{864, 600, 3, 0});
    Bitmap b = page.bitmap();
    SymbologySetting s = setting(1);
    const BarcodeResultList untouched{reinterpret_cast<BarcodeResult*>(0x1), 7, 9};
    auto run = [&](DecodeRequest request) {
        BarcodeResultList list = untouched;
        const int status = Stripescan(&b, &request, &list);
        EXPECT_EQ(list.count, 7);
        EXPECT_EQ(list.capacity, 9);
        return status;
    };
    // The largest int once overflowed the line spacing and stepped backwards for seconds.
    EXPECT_EQ(run(DecodeRequest{&s, 1, 0, 3, 2147483647}), 0);
    EXPECT_EQ(run(DecodeRequest{&s, 1, 0, 3, STRIPESCAN_MAX_MIN_SIZE + 1}), 0);
    EXPECT_EQ(run(DecodeRequest{&s, STRIPESCAN_MAX_SETTINGS + 1, 0, 3, 8}), 0);
    s.minElementWidth = 2147483647;  // once overflowed the noise merge
    EXPECT_EQ(run(DecodeRequest{&s, 1, 0, 3, 8}), 0);
    s.minElementWidth = STRIPESCAN_MAX_ELEMENT_WIDTH + 1;
    EXPECT_EQ(run(DecodeRequest{&s, 1, 0, 3, 8}), 0);
}

TEST(Arguments, FieldsAtTheirBoundsAreServed) {
    Page page = page_with(BARCODE_CODE128, "ABC123", Placement{864, 600, 3, 0});
    // The largest size unit lays no line on a ticket, but the call is valid.
    int status = 0;
    EXPECT_TRUE(decode(page, {setting(1)}, 3, STRIPESCAN_MAX_MIN_SIZE, &status).empty());
    EXPECT_EQ(status, 1);
    // The widest noise merge swallows every bar; negative widths merge nothing.
    SymbologySetting wide = setting(1);
    wide.minElementWidth = STRIPESCAN_MAX_ELEMENT_WIDTH;
    EXPECT_TRUE(decode(page, {wide}, 3, 8, &status).empty());
    EXPECT_EQ(status, 1);
    SymbologySetting negative = setting(1);
    negative.minElementWidth = -5;
    const auto reads = decode(page, {negative}, 3, -100, &status);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "ABC123");
    // Every number and bit the header names reaches the decoder.
    EXPECT_EQ(decode(page, {setting(STRIPESCAN_CODE128)}, STRIPESCAN_HORIZONTAL, STRIPESCAN_MIN_SIZE).size(),
              1u);
}

TEST(Arguments, NumbersOutsideOneToTenSelectNothing) {
    Page page = page_with(BARCODE_CODE128, "ABC123", Placement{864, 600, 3, 0});
    int status = 0;
    EXPECT_TRUE(decode(page, {setting(0), setting(11), setting(-3)}, 3, 8, &status).empty());
    EXPECT_EQ(status, 1);
    Bitmap b = page.bitmap();
    DecodeRequest request{nullptr, 1, 0, 3, 8};
    BarcodeResultList list{};
    EXPECT_EQ(Stripescan(&b, &request, &list), 0);  // a count without its settings
}

TEST(Arguments, UnusableImagesFindNothingButSucceed) {
    Page page = page_with(BARCODE_CODE128, "ABC123", Placement{864, 600, 3, 0});
    for (int field = 0; field < 4; ++field) {
        Bitmap b = page.bitmap();
        if (field == 0) b.bitCount = 8;
        if (field == 1) b.width = 0;
        if (field == 2) b.bits = nullptr;
        if (field == 3) b.imageSize = b.stride;  // smaller than its rows
        SymbologySetting s = setting(1);
        DecodeRequest request{&s, 1, 0, 3, 8};
        BarcodeResultList list{};
        EXPECT_EQ(Stripescan(&b, &request, &list), 1) << field;
        EXPECT_EQ(list.count, 0) << field;
        FreeBarcodeResultMem(&list);
    }
}

TEST(Arguments, CallerRowsAreRestoredAndDirectionsZeroRunsNoPass) {
    Page page = page_with(BARCODE_CODE128, "ABC123", Placement{864, 600, 3, 0});
    Bitmap b = page.bitmap();
    std::uint8_t* marker[1] = {nullptr};
    b.rows = marker;
    SymbologySetting s = setting(1);
    DecodeRequest request{&s, 1, 0, 0, 8};
    BarcodeResultList list{};
    EXPECT_EQ(Stripescan(&b, &request, &list), 1);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(b.rows, marker);
    FreeBarcodeResultMem(&list);
}

TEST(Aliases, Gs1_128ReportedAsNineOnlyWhenRequested) {
    Page page = page_with(BARCODE_GS1_128, "[01]09501101530003[10]AB12", Placement{864, 600, 3, 0});
    auto reads = decode(page, {setting(9)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].symbology, 9);
    EXPECT_EQ(reads[0].text,
              "0109501101530003"
              "10AB12");  // the leading FNC1 removed

    reads = decode(page, {setting(1)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].symbology, 1);
    EXPECT_EQ(reads[0].text,
              "\x80"
              "0109501101530003"
              "10AB12");

    // Both asked for: the leading FNC1 decides.
    reads = decode(page, {setting(1), setting(9)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].symbology, 9);
}

TEST(Aliases, FnC1InTheMiddleGivesTheSeparatorByte) {
    // A variable-length field followed by another: the separator is an FNC1 inside the data.
    Page page = page_with(BARCODE_GS1_128, "[10]AB12[21]XY", Placement{864, 600, 3, 0});
    auto reads = decode(page, {setting(9)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text,
              "10AB12\x80"
              "21XY");
}

TEST(Aliases, PlainCode128FoundThroughNineIsReportedAsOne) {
    Page page = page_with(BARCODE_CODE128, "NOFNC1", Placement{864, 600, 3, 0});
    auto reads = decode(page, {setting(9)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].symbology, 1);
    EXPECT_EQ(reads[0].text, "NOFNC1");
}

TEST(Aliases, UpcAReportedAsTenOnlyWhenRequested) {
    Page upca = page_with(BARCODE_UPCA, "03600029145", Placement{864, 600, 3, 0});
    auto reads = decode(upca, {setting(10)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].symbology, 10);
    EXPECT_EQ(reads[0].text, "003600029145");  // 13 digits without the check digit

    reads = decode(upca, {with_check(10, 0, 1)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "0036000291452");

    reads = decode(upca, {setting(3)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].symbology, 3);

    Page ean = page_with(BARCODE_EANX, "400638133393", Placement{864, 600, 3, 0});
    reads = decode(ean, {setting(10)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].symbology, 3);
    EXPECT_EQ(reads[0].text, "400638133393");
}

TEST(Aliases, TheLaterEntryOfARepeatedNumberWins) {
    Page page = page_with(BARCODE_EANX, "400638133393", Placement{864, 600, 3, 0});
    auto reads = decode(page, {with_check(3, 0, 0), with_check(3, 0, 1)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "4006381333931");
}

TEST(Settings, MinSizeBelowEightActsAsEight) {
    Page page = page_with(BARCODE_CODE128, "SIZE-UNIT", Placement{864, 600, 3, 10});
    const auto a = decode(page, {setting(1)}, 3, 0);
    const auto b = decode(page, {setting(1)}, 3, 8);
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(std::memcmp(&a[0].raw.corners, &b[0].raw.corners, sizeof a[0].raw.corners), 0);
}

TEST(Settings, Code128CheckValueKeptOnlyWhenAsked) {
    Page page = page_with(BARCODE_CODE128, "1234", Placement{864, 600, 3, 0});  // set C: 12 34
    auto reads = decode(page, {setting(1)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "1234");
    reads = decode(page, {with_check(1, 0, 1)});
    ASSERT_EQ(reads.size(), 1u);
    // Check value (105 + 12 + 2 x 34) mod 103 = 82, given as two digits in set C.
    EXPECT_EQ(reads[0].text, "123482");
}

TEST(Code39, CheckCharacterVerifiedKeptOrDropped) {
    Page page = page_with(BARCODE_CODE39, "CODE39", Placement{864, 600, 3, 0}, 1);  // with mod-43 check
    auto reads = decode(page, {with_check(6, 1, 0)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "CODE39");
    reads = decode(page, {with_check(6, 1, 1)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text.substr(0, 6), "CODE39");
    EXPECT_EQ(reads[0].text.size(), 7u);
    // Not verified: the check character is just another character of the text.
    reads = decode(page, {with_check(6, 0, 0)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text.size(), 7u);
}

TEST(Code39, WrongCheckCharacterRejectedOnlyWhenVerified) {
    // "CODE39" followed by a character that is not its check character.
    Page page = page_with(BARCODE_CODE39, "CODE39Q", Placement{864, 600, 3, 0});
    EXPECT_TRUE(decode(page, {with_check(6, 1, 0)}).empty());
    auto reads = decode(page, {with_check(6, 0, 0)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "CODE39Q");
}

TEST(Code39, FullAsciiPairsExpandedUnlessPlain) {
    // Extended Code 39 draws "a%b" as "+A/E+B" and a NUL as "%U".
    Page page = page_with(BARCODE_EXCODE39, std::string("a%b\0z", 5), Placement{864, 600, 3, 0});
    auto reads = decode(page, {setting(6)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, std::string("a%b\0z", 5));
    SymbologySetting plain = setting(6);
    plain.plainCode39 = 1;
    reads = decode(page, {plain});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "+A/E+B%U+Z");
}

TEST(Code39, ShiftCheckCharacterWithoutPartnerStaysAsItIs) {
    // "A-1" sums to 10 + 36 + 1 = 47, 47 mod 43 = 4? Pick data whose check character is "$" (39).
    // "Z3" = 35 + 3 = 38 -> " "; "Z4" = 39 -> "$".
    Page page = page_with(BARCODE_CODE39, "Z4", Placement{864, 600, 3, 0}, 1);
    auto reads = decode(page, {with_check(6, 1, 1)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "Z4$");
    reads = decode(page, {with_check(6, 1, 0)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "Z4");
}

TEST(Results, CornersEncloseTheSymbolUpright) {
    ModuleImage symbol;
    ASSERT_TRUE(encode(BARCODE_CODE128, "CORNERS", symbol));
    Page page;
    const auto drawn = page.paint(symbol, Placement{700, 500, 3, 0});
    const auto reads = decode(page, {setting(1)});
    ASSERT_EQ(reads.size(), 1u);
    const auto& c = reads[0].raw.corners;
    const double left = drawn[0], top = drawn[1], right = drawn[4], bottom = drawn[5];
    // P0 lower right, P1 lower left, P2 upper left, P3 upper right, within a few pixels.
    EXPECT_NEAR(c[0], right, 4);
    EXPECT_NEAR(c[1], bottom, 4);
    EXPECT_NEAR(c[2], left, 4);
    EXPECT_NEAR(c[3], bottom, 4);
    EXPECT_NEAR(c[4], left, 4);
    EXPECT_NEAR(c[5], top, 4);
    EXPECT_NEAR(c[6], right, 4);
    EXPECT_NEAR(c[7], top, 4);
    EXPECT_EQ(reads[0].raw.scanDirX, 1);
    EXPECT_EQ(reads[0].raw.scanDirY, 0);
}

TEST(Results, CornersOfASkewedSymbolFormASlantedQuadrilateral) {
    ModuleImage symbol;
    ASSERT_TRUE(encode(BARCODE_CODE128, "SLANTED-01", symbol));
    Page page;
    const auto drawn = page.paint(symbol, Placement{800, 600, 3, 20});
    const auto reads = decode(page, {setting(1)});
    ASSERT_EQ(reads.size(), 1u);
    const auto& r = reads[0].raw;
    // P2 has the smallest y, P0 the largest; P1 left of P3.
    EXPECT_LT(r.corners[5], r.corners[1]);
    EXPECT_LT(r.corners[2], r.corners[6]);
    for (int i = 0; i < 4; ++i) {
        double best = 1e9;
        for (int j = 0; j < 4; ++j)
            best = std::min(
                best, std::hypot(r.corners[2 * i] - drawn[2 * j], r.corners[2 * i + 1] - drawn[2 * j + 1]));
        EXPECT_LT(best, 8.0) << "corner " << i;
    }
    // Read at right angles to the bars: 20 degrees, y component non-negative.
    EXPECT_GE(r.scanDirY, 0);
    const double angle = std::atan2(double(r.scanDirY), double(r.scanDirX)) * 180 / M_PI;
    EXPECT_NEAR(std::fmod(angle + 360.0, 180.0), 160.0, 3.0);
}

TEST(Results, VerticalSymbolIsReadDownColumnsOnly) {
    Page page = page_with(BARCODE_CODE128, "DOWNWARDS", Placement{864, 600, 3, 90});
    EXPECT_TRUE(decode(page, {setting(1)}, 1).empty());
    const auto reads = decode(page, {setting(1)}, 2);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "DOWNWARDS");
    EXPECT_EQ(reads[0].raw.scanDirX, 0);
    EXPECT_EQ(reads[0].raw.scanDirY, 1);
    const auto& c = reads[0].raw.corners;
    EXPECT_EQ(c[1], c[3]);  // P0 and P1 share the bottom row
    EXPECT_EQ(c[5], c[7]);  // P2 and P3 the top row
    EXPECT_LT(c[2], c[0]);
}

TEST(Results, EraseFoundWhitensOnlyTheChosenSymbologies) {
    ModuleImage a, b;
    ASSERT_TRUE(encode(BARCODE_CODE128, "ERASE-ME", a));
    ASSERT_TRUE(encode(BARCODE_CODE39, "KEEP", b));
    Page page;
    page.paint(a, Placement{500, 400, 3, 12});
    page.paint(b, Placement{1200, 800, 3, 0});
    SymbologySetting erase = setting(1);
    erase.eraseFound = 1;
    const int beforeA = page.black_count(300, 250, 700, 550);
    const int beforeB = page.black_count(1000, 700, 1400, 900);
    const auto reads = decode(page, {erase, setting(6)});
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_GT(beforeA, 1000);
    EXPECT_LT(page.black_count(300, 250, 700, 550), beforeA / 50);
    EXPECT_EQ(page.black_count(1000, 700, 1400, 900), beforeB);
    // Nothing left to find on the erased page.
    const auto again = decode(page, {setting(1)});
    EXPECT_TRUE(again.empty());
}

TEST(Results, TwoSymbolsOnOneScanLine) {
    ModuleImage a, b;
    ASSERT_TRUE(encode(BARCODE_CODE128, "LEFT-1", a));
    ASSERT_TRUE(encode(BARCODE_CODE128, "RIGHT-2", b));
    Page page;
    page.paint(a, Placement{450, 600, 3, 0});
    page.paint(b, Placement{1250, 600, 3, 0});
    const auto reads = decode(page, {setting(1)}, 1);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].text, "LEFT-1");
    EXPECT_EQ(reads[1].text, "RIGHT-2");
}

TEST(Results, TwoCopiesOfOneLabelAreBothReported) {
    // Repeats of one symbol are told apart by place: copies side by side, and one above the
    // other with a clear gap, are separate results.
    ModuleImage a;
    ASSERT_TRUE(encode(BARCODE_CODE128, "SAME-42", a));
    Page page;
    page.paint(a, Placement{450, 300, 3, 0});
    page.paint(a, Placement{1250, 300, 3, 0});
    page.paint(a, Placement{450, 800, 3, 0});
    const auto reads = decode(page, {setting(1)}, 3);
    ASSERT_EQ(reads.size(), 3u);
    for (const auto& r : reads) EXPECT_EQ(r.text, "SAME-42");
}

TEST(Results, ManySymbolsGrowTheResultList) {
    ModuleImage symbol;
    Page page;
    int drawn = 0;
    for (int row = 0; row < 6; ++row)
        for (int col = 0; col < 3; ++col) {
            ASSERT_TRUE(encode(BARCODE_CODE128, "N" + std::to_string(drawn++), symbol));
            page.paint(symbol, Placement{260.0 + col * 600, 100.0 + row * 190, 2, 0});
        }
    const auto reads = decode(page, {setting(1)});
    EXPECT_EQ(static_cast<int>(reads.size()), drawn);
}

TEST(Noise, HairlinesSplittingBarsAreMergedByMinElementWidth) {
    ModuleImage symbol;
    ASSERT_TRUE(encode(BARCODE_CODE39, "NOISY1", symbol));
    Page page;
    page.paint(symbol, Placement{864, 600, 4, 0});
    // One-pixel white cracks through every bar wider than one module, over the full height.
    const int left = 864 - symbol.width * 2;
    int cracked = 0;
    for (int m = 1; m + 1 < symbol.width; ++m) {
        if (!symbol.dark[m] || !symbol.dark[m + 1] || symbol.dark[m - 1]) continue;
        if (cracked++ % 2 == 1 || m < 20) continue;  // keep the start pattern whole
        const int x = left + (m + 1) * 4;
        for (int y = 0; y < page.height(); ++y) page.set_white(x, y);
    }
    ASSERT_GT(cracked, 4);
    EXPECT_TRUE(decode(page, {setting(6)}).empty());
    SymbologySetting filtered = setting(6);
    filtered.minElementWidth = 1;
    const auto reads = decode(page, {filtered});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "NOISY1");
}

TEST(Noise, AHairlineInTheQuietZoneIsIgnoredOnlyWithMinElementWidth) {
    ModuleImage symbol;
    ASSERT_TRUE(encode(BARCODE_CODE128, "QUIET-1", symbol));
    Page page;
    page.paint(symbol, Placement{864, 600, 3, 0});
    const int left = 864 - symbol.width * 3 / 2;
    for (int y = 0; y < page.height(); ++y) page.set_black(left - 12, y);  // 4 modules before the start
    EXPECT_TRUE(decode(page, {setting(1)}).empty());
    SymbologySetting filtered = setting(1);
    filtered.minElementWidth = 1;
    const auto reads = decode(page, {filtered});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "QUIET-1");
}

TEST(Noise, ScatteredSpecksDoNotHideOrInventSymbols) {
    ModuleImage symbol;
    ASSERT_TRUE(encode(BARCODE_EANX, "590123412345", symbol));
    Page page;
    page.paint(symbol, Placement{864, 600, 3, 5});
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i)
        page.set_black(static_cast<int>(rng() % 1728), static_cast<int>(rng() % 1200));
    SymbologySetting s = setting(3);
    s.minElementWidth = 1;
    std::vector<SymbologySetting> all{s};
    for (int k = 1; k <= 8; ++k)
        if (k != 3) all.push_back(setting(k));
    const auto reads = decode(page, all);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "590123412345");
}

// Damage never turns into a wrong text: a symbol cut short or with bars knocked out is either
// read correctly (its redundancy may allow that) or not at all. Interleaved 2 of 5 carries no
// check and no length, so a cut inside a digit pair can leave a shorter valid symbol, and a
// flipped module may form another valid pair; Codabar has no check either. Those two are cut
// only (Codabar), or left out.
TEST(Damage, TruncatedAndDamagedSymbolsAreNotMisread) {
    std::mt19937 rng(11);
    for (int symbology = 1; symbology <= 7; ++symbology) {
        for (int trial = 0; trial < 6; ++trial) {
            if (symbology == 7 && trial >= 3) continue;
            const std::string payload = random_payload(symbology, rng);
            ModuleImage symbol;
            ASSERT_TRUE(encode(zint_symbology_for(symbology), payload, symbol, symbology == 6 ? 1 : 0));
            if (trial < 3) {
                // Cut off the right part of the symbol (its stop pattern and more).
                const int keep = symbol.width * (60 + 10 * trial) / 100;
                for (int y = 0; y < symbol.height; ++y)
                    for (int x = keep; x < symbol.width; ++x)
                        symbol.dark[static_cast<std::size_t>(y) * symbol.width + x] = 0;
            } else {
                // Flip a few modules over the full height inside the data.
                for (int k = 0; k < trial - 2; ++k) {
                    const int x = symbol.width / 4 + static_cast<int>(rng() % (symbol.width / 2));
                    for (int y = 0; y < symbol.height; ++y) {
                        auto& px = symbol.dark[static_cast<std::size_t>(y) * symbol.width + x];
                        px = px ? 0 : 1;
                    }
                }
            }
            Page page;
            page.paint(symbol, Placement{864, 600, 3, trial * 7.0});
            std::vector<SymbologySetting> all;
            for (int k = 1; k <= 7; ++k) all.push_back(k == 6 ? with_check(6, 1, 0) : setting(k));
            for (const Read& r : decode(page, all)) {
                EXPECT_EQ(r.symbology, symbology) << payload;
                EXPECT_EQ(r.text, expected_text(symbology, payload))
                    << "symbology " << symbology << " trial " << trial;
            }
        }
    }
}

}  // namespace
}  // namespace stripescan::testing
