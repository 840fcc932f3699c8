#include "barcode/pdf417/data_decoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using pdf417::ByteSink;
using pdf417::data_length;
using pdf417::decode_data;

namespace {

// Decodes a data region (length descriptor first) the way the reader does.
std::string decode(std::vector<int> cw, int capacity = 4096, bool* overflow = nullptr) {
    std::vector<uint8_t> buffer(capacity + 16, 0xEE);
    ByteSink sink{buffer.data(), capacity};
    decode_data(cw.data(), data_length(cw.data(), static_cast<int>(cw.size())), sink);
    for (int i = capacity; i < capacity + 16; ++i) EXPECT_EQ(buffer[i], 0xEE) << "wrote past the end";
    if (overflow) *overflow = sink.overflow;
    return std::string(buffer.begin(), buffer.begin() + sink.length);
}

int text_pair(int a, int b) {
    return a * 30 + b;
}

// Base-900 codewords of "1" followed by `digits` (the encoder's numeric group).
std::vector<int> numeric_group(const std::string& digits) {
    std::string number = "1" + digits;
    std::vector<int> out;
    while (number != "0") {
        std::string quotient;
        int remainder = 0;
        for (char c : number) {
            remainder = remainder * 10 + (c - '0');
            if (!quotient.empty() || remainder / 900) quotient += static_cast<char>('0' + remainder / 900);
            remainder %= 900;
        }
        out.insert(out.begin(), remainder);
        number = quotient.empty() ? "0" : quotient;
    }
    return out;
}

}  // namespace

TEST(TextCompaction, AlphaLatchToLower) {
    EXPECT_EQ(decode({3, 1, 812}), "ABc");
}

TEST(TextCompaction, MixedAndPunctuationSubModes) {
    // A, latch Mixed, '1', '&', latch Punct, ';', latch Alpha, 'Z'
    EXPECT_EQ(decode({5, text_pair(0, 28), text_pair(1, 10), text_pair(25, 0), text_pair(29, 25)}), "A1&;Z");
    // Lower: shift to Alpha gives one capital, then lower again.
    EXPECT_EQ(decode({4, text_pair(27, 0), text_pair(27, 1), text_pair(2, 26)}), "aBc ");
    // Shift to Punctuation from Alpha and Mixed, including values 27 and 28.
    EXPECT_EQ(decode({4, text_pair(29, 27), text_pair(29, 28), text_pair(28, 26)}), "}' ");
}

TEST(TextCompaction, ByteShiftInsideText) {
    // "A" then padding shift, 913 with byte 0xC3 (its low 8 bits), then "B"
    EXPECT_EQ(decode({5, text_pair(0, 29), 913, 0x1C3, text_pair(1, 29)}), std::string("A\xC3"
                                                                                       "B"));
}

TEST(TextCompaction, LatchToAlphaRightBeforeAByteShiftIsKept) {
    // 'A', latch Mixed; latch Punct, '"'; '!', latch Alpha; byte C9; 'U', shift Punct; byte 15.
    // The latch to Alpha in front of the byte shift decides how the text after the byte reads.
    EXPECT_EQ(decode({9, text_pair(0, 28), text_pair(25, 20), text_pair(10, 29), 913, 0xC9, text_pair(20, 29),
                      913, 0x15}),
              std::string("A\"!\xC9U\x15"));
}

TEST(TextCompaction, EveryTextSegmentStartsInAlpha) {
    // Lower, then a byte segment, then text again: starts as capitals.
    EXPECT_EQ(decode({6, text_pair(27, 0), 901, 65, 900, text_pair(0, 0)}), "aAAA");
}

TEST(ByteCompaction, GroupsAfter924AndSingleBytesAfter901) {
    std::vector<int> group{1, 2, 3, 4, 5};  // 1*900^4 + 2*900^3 + 3*900^2 + 4*900 + 5
    std::vector<int> cw{0, 924};
    for (int r = 0; r < 2; ++r) cw.insert(cw.end(), group.begin(), group.end());
    cw[0] = static_cast<int>(cw.size());
    std::string all = decode(cw);
    ASSERT_EQ(all.size(), 12u);
    uint64_t v = 656100000000ull + 2ull * 729000000 + 3ull * 810000 + 4ull * 900 + 5;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(static_cast<uint8_t>(all[i]), (v >> (40 - 8 * i)) & 0xFF);
    EXPECT_EQ(all.substr(0, 6), all.substr(6, 6));

    cw[1] = 901;
    std::string single = decode(cw);
    ASSERT_EQ(single.size(), 11u);
    EXPECT_EQ(single.substr(0, 6), all.substr(0, 6));
    EXPECT_EQ(single.substr(6), std::string("\x01\x02\x03\x04\x05"));
    EXPECT_EQ(decode({4, 901, 72, 105}), "Hi");
}

TEST(NumericCompaction, LeadingOneIsDropped) {
    // 112345 = 124 * 900 + 745
    EXPECT_EQ(decode({4, 902, 124, 745}), "12345");
    // 1000 = 1 * 900 + 100: digits after the 1 keep their zeros
    EXPECT_EQ(decode({4, 902, 1, 100}), "000");
    // 100 digits: groups of 44, 44 and 12 digits, each with a leading 1.
    std::string digits;
    for (int i = 0; i < 100; ++i) digits += static_cast<char>('0' + (i * 7 + 3) % 10);
    digits.replace(44, 3, "000");
    std::vector<int> cw{0, 902};
    for (std::size_t g = 0; g < digits.size(); g += 44) {
        auto group = numeric_group(digits.substr(g, 44));
        cw.insert(cw.end(), group.begin(), group.end());
    }
    EXPECT_EQ(cw.size(), 2u + 15 + 15 + 5);
    cw[0] = static_cast<int>(cw.size());
    EXPECT_EQ(decode(cw), digits);
}

TEST(ModeSwitching, TrailingPaddingAndUnknownCodewords) {
    EXPECT_EQ(decode({5, text_pair(0, 1), 900, 900, 900}), "AB");
    // 927 (ECI) ends the decoding with what came before.
    EXPECT_EQ(decode({6, text_pair(0, 1), 927, 3, text_pair(2, 3)}), "AB");
    // A data region holding only the length descriptor gives nothing.
    EXPECT_EQ(decode({1}), "");
    EXPECT_EQ(decode({902}), "");
}

TEST(ModeSwitching, NeverWritesPastTheCapacity) {
    std::vector<int> cw{0, 924};
    for (int i = 0; i < 900; ++i) cw.push_back(i % 900);
    cw[0] = static_cast<int>(cw.size());
    bool overflow = false;
    EXPECT_EQ(decode(cw, 100, &overflow).size(), 100u);
    EXPECT_TRUE(overflow);
}
