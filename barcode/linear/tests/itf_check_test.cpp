// Interleaved 2 of 5 with its modulo-10 check digit verified on request.

#include <gtest/gtest.h>
#include <zint.h>

#include <set>
#include <string>

#include "barcode/linear/tests/symbol_page.h"

namespace stripescan::testing {
namespace {

SymbologySetting verified(int sendCheck) {
    SymbologySetting s = setting(STRIPESCAN_ITF);
    s.verifyCheck = 1;
    s.sendCheck = sendCheck;
    return s;
}

std::vector<Read> read_itf(const std::string& digits, const SymbologySetting& how) {
    ModuleImage symbol;
    EXPECT_TRUE(encode(BARCODE_C25INTER, digits, symbol));
    Page page;
    page.paint(symbol, Placement{864, 600, 3, 4});
    return decode(page, {how});
}

TEST(ItfCheckDigit, AValidCheckDigitIsKeptOrDroppedAsAsked) {
    // 1 is the check digit of 1234567890123 (weights 3 and 1 from the right), as on ITF-14.
    auto reads = read_itf("12345678901231", verified(1));
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "12345678901231");

    reads = read_itf("12345678901231", verified(0));
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].symbology, STRIPESCAN_ITF);
    EXPECT_EQ(reads[0].text, "1234567890123");

    reads = read_itf("123457", verified(0));  // 7 checks 12345
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].text, "12345");
}

TEST(ItfCheckDigit, AWrongCheckDigitIsReadOnlyWhenNotVerified) {
    for (const char* digits : {"12345678901232", "12345678901230", "123456"}) {
        EXPECT_TRUE(read_itf(digits, verified(1)).empty()) << digits;
        const auto plain = read_itf(digits, setting(STRIPESCAN_ITF));
        ASSERT_EQ(plain.size(), 1u) << digits;
        EXPECT_EQ(plain[0].text, digits);
    }
}

TEST(ItfCheckDigit, CutsThatReadAsShorterCodesMostlyFailTheCheck) {
    // A 2 of 5 symbol cut through its last pairs reads as a shorter code whenever the bars left
    // end like a stop pattern. Verified, such a reading passes only when its last digit happens
    // to check the others (one in ten codes).
    ModuleImage symbol;
    ASSERT_TRUE(encode(BARCODE_C25INTER, "12345678901231", symbol));
    std::set<std::string> plainShorter, verifiedShorter;
    for (int keep = symbol.width / 3; keep < symbol.width - 2; ++keep) {
        ModuleImage cut = symbol;
        for (int y = 0; y < cut.height; ++y)
            for (int x = keep; x < cut.width; ++x) cut.dark[static_cast<std::size_t>(y) * cut.width + x] = 0;
        Page page;
        page.paint(cut, Placement{864, 600, 3, 0});
        for (const Read& r : decode(page, {setting(STRIPESCAN_ITF)})) plainShorter.insert(r.text);
        for (const Read& r : decode(page, {verified(1)})) verifiedShorter.insert(r.text);
    }
    EXPECT_GE(plainShorter.size(), 2u);
    // Of 123456, 12345678, 1234567890 and 123456789012 only the last ends in its check digit.
    // It no longer reads at all: the cut through the next pair leaves a wide bar and a wide
    // space, which a stop (wide bar, narrow space) read by its keys no longer takes.
    for (const std::string& text : verifiedShorter) EXPECT_EQ(text, "123456789012");
    EXPECT_EQ(plainShorter.count("123456789012"), verifiedShorter.size());
}

}  // namespace
}  // namespace stripescan::testing
