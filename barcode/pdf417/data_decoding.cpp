// Compaction modes: a segment of codewords runs up to the next mode codeword (900 or more,
// except 913, which shifts one byte inside text); the codeword that ends it selects the next.
#include "barcode/pdf417/data_decoding.h"

#include <cstring>

namespace pdf417 {
namespace {

constexpr int kTextLatch = 900;
constexpr int kByteLatch = 901;
constexpr int kNumericLatch = 902;
constexpr int kByteShift = 913;
constexpr int kByteLatch6 = 924;

enum class Mode { Text, Byte, Numeric, End };

Mode mode_of(int codeword) {
    switch (codeword) {
        case kTextLatch:
            return Mode::Text;
        case kByteLatch:
        case kByteLatch6:
            return Mode::Byte;
        case kNumericLatch:
            return Mode::Numeric;
        default:
            return Mode::End;
    }
}

bool ends_segment(int codeword) {
    return codeword >= 900 && codeword != kByteShift;
}

// Characters of the text sub-modes; 0 marks a value that is a latch or shift, not a character.
const char kAlpha[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ ";
const char kLower[] = "abcdefghijklmnopqrstuvwxyz ";
const char kMixed[26] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '&', '\r', '\t',
                         ',', ':', '#', '-', '.', '$', '/', '+', '%', '*', '=', '^',  0};
const char kMixed26 = ' ';
const char kPunct[29] = {';',  '<', '>', '@', '[', '\\', ']', '_', '`', '~', '!', '\r', '\t', ',', ':',
                         '\n', '-', '.', '$', '/', '"',  '|', '*', '(', ')', '?', '{',  '}',  '\''};

enum class Sub { Alpha, Lower, Mixed, Punct };

struct TextState {
    Sub sub = Sub::Alpha;
    enum class Shift { None, Alpha, Punct } shift = Shift::None;
};

void text_value(int v, TextState& st, ByteSink& sink) {
    if (st.shift == TextState::Shift::Punct) {
        st.shift = TextState::Shift::None;
        if (v < 29) sink.put(kPunct[v]);
        return;
    }
    if (st.shift == TextState::Shift::Alpha) {
        st.shift = TextState::Shift::None;
        if (v < 27) sink.put(kAlpha[v]);
        return;
    }
    switch (st.sub) {
        case Sub::Alpha:
            if (v < 27)
                sink.put(kAlpha[v]);
            else if (v == 27)
                st.sub = Sub::Lower;
            else if (v == 28)
                st.sub = Sub::Mixed;
            else
                st.shift = TextState::Shift::Punct;
            break;
        case Sub::Lower:
            if (v < 27)
                sink.put(kLower[v]);
            else if (v == 27)
                st.shift = TextState::Shift::Alpha;
            else if (v == 28)
                st.sub = Sub::Mixed;
            else
                st.shift = TextState::Shift::Punct;
            break;
        case Sub::Mixed:
            if (v < 25)
                sink.put(kMixed[v]);
            else if (v == 26)
                sink.put(kMixed26);
            else if (v == 25)
                st.sub = Sub::Punct;
            else if (v == 27)
                st.sub = Sub::Lower;
            else if (v == 28)
                st.sub = Sub::Alpha;
            else
                st.shift = TextState::Shift::Punct;
            break;
        case Sub::Punct:
            if (v < 29)
                sink.put(kPunct[v]);
            else
                st.sub = Sub::Alpha;
            break;
    }
}

// Text codewords cw[begin .. end-1]; every text segment starts in Alpha.
void decode_text(const int* cw, int begin, int end, ByteSink& sink) {
    TextState st;
    for (int i = begin; i < end; ++i) {
        if (cw[i] == kByteShift) {
            if (i + 1 < end) sink.put(cw[i + 1] & 0xFF);
            st.shift = TextState::Shift::None;
            ++i;
            continue;
        }
        // A value of 29 right before a byte shift is handled like any other: as a shift it is
        // cleared by the byte shift, and in the Punctuation sub-mode it is the latch to Alpha
        // that the text after the byte needs (skipping it would decode that text wrongly).
        text_value(cw[i] / 30, st, sink);
        text_value(cw[i] % 30, st, sink);
    }
}

// Byte codewords cw[begin .. end-1] after 901 (sixGroups false) or 924 (true).
void decode_bytes(const int* cw, int begin, int end, bool allGroups, ByteSink& sink) {
    int k = end - begin;
    int groups = k / 5;
    if (!allGroups && k % 5 == 0 && groups > 0) --groups;
    int i = begin;
    for (int g = 0; g < groups; ++g, i += 5) {
        uint64_t v = 0;
        for (int j = 0; j < 5; ++j) v = v * 900 + static_cast<uint64_t>(cw[i + j]);
        for (int shift = 40; shift >= 0; shift -= 8) sink.put(static_cast<int>((v >> shift) & 0xFF));
    }
    for (; i < end; ++i) sink.put(cw[i] & 0xFF);
}

// Numeric codewords cw[begin .. end-1]: groups of up to 15 in base 900, written in decimal
// without the leading digit 1.
void decode_numeric(const int* cw, int begin, int end, ByteSink& sink) {
    for (int g = begin; g < end; g += 15) {
        int stop = g + 15 < end ? g + 15 : end;
        // Little-endian decimal digits; 15 codewords below 929 stay under 10^45.
        uint8_t digits[48];
        int count = 1;
        digits[0] = 0;
        for (int i = g; i < stop; ++i) {
            int carry = cw[i];
            for (int d = 0; d < count; ++d) {
                int v = digits[d] * 900 + carry;
                digits[d] = static_cast<uint8_t>(v % 10);
                carry = v / 10;
            }
            while (carry && count < 48) {
                digits[count++] = static_cast<uint8_t>(carry % 10);
                carry /= 10;
            }
        }
        while (count > 1 && digits[count - 1] == 0) --count;
        // Leading digit (the 1 marker) is dropped.
        for (int d = count - 2; d >= 0; --d) sink.put('0' + digits[d]);
    }
}

}  // namespace

int data_length(const int* codewords, int dataRegion) {
    int length = dataRegion;
    while (length > 0 && codewords[length - 1] == kTextLatch) --length;
    return length;
}

void decode_data(const int* cw, int length, ByteSink& sink) {
    if (length < 2) return;
    int i = 1;
    Mode mode = Mode::Text;
    int latch = 0;
    if (cw[1] == kByteLatch || cw[1] == kByteLatch6 || cw[1] == kNumericLatch) {
        mode = mode_of(cw[1]);
        latch = cw[1];
        i = 2;
    }
    while (i <= length && mode != Mode::End && !sink.overflow) {
        int end = i;
        while (end < length && !ends_segment(cw[end])) ++end;
        switch (mode) {
            case Mode::Text:
                decode_text(cw, i, end, sink);
                break;
            case Mode::Byte:
                decode_bytes(cw, i, end, latch == kByteLatch6, sink);
                break;
            case Mode::Numeric:
                decode_numeric(cw, i, end, sink);
                break;
            case Mode::End:
                break;
        }
        if (end >= length) break;
        latch = cw[end];
        mode = mode_of(latch);
        i = end + 1;
    }
}

}  // namespace pdf417
