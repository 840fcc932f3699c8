// Conversions of mark reader texts.

#include "decode/mark_text.h"

namespace decode {

namespace {

constexpr unsigned char kZeroByte = 0;
constexpr unsigned char kComma = ',';

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The reader's leading count, or -1 when the text does not start with four digits.
int leading_count(std::string_view reader) {
    if (reader.size() < static_cast<std::size_t>(kReaderCountDigits)) return -1;
    int n = 0;
    for (int i = 0; i < kReaderCountDigits; ++i) {
        if (!is_digit(reader[static_cast<std::size_t>(i)])) return -1;
        n = n * 10 + (reader[static_cast<std::size_t>(i)] - '0');
    }
    return n;
}

}  // namespace

std::optional<std::string> digit_mark_text(std::string_view reader) {
    if (leading_count(reader) < 0) return std::nullopt;
    const std::string_view lines = reader.substr(kReaderCountDigits);
    if (!lines.empty() && lines.front() != ',') return std::nullopt;
    std::size_t cells = 0;
    for (char c : lines) {
        if (c == ',') continue;
        if (!is_digit(c)) return std::nullopt;
        ++cells;
    }
    return std::to_string(cells) + std::string(lines);
}

std::optional<std::string> reliability_mark_text(std::string_view reader) {
    const int d = leading_count(reader);
    if (d < 0) return std::nullopt;
    const std::string_view lines = reader.substr(kReaderCountDigits);
    if (lines.empty()) return std::string("0");  // a cell list: no rows are reported
    // R commas and D cells: R = size - D, C = D / R.
    const std::size_t cellsAll = static_cast<std::size_t>(d);
    if (lines.size() <= cellsAll) return std::nullopt;
    const std::size_t rows = lines.size() - cellsAll;
    if (cellsAll % rows != 0) return std::nullopt;
    const std::size_t columns = cellsAll / rows;
    std::string out = std::to_string(cellsAll);
    out.reserve(out.size() + lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(lines[i]);
        if (i % (columns + 1) == 0) {
            if (b != kComma) return std::nullopt;
            out.push_back(',');
        } else if (b == kZeroByte) {
            out.push_back(static_cast<char>(kZeroByte + 1));
        } else if (b == kComma) {
            out.push_back(static_cast<char>(kComma + 1));
        } else {
            out.push_back(static_cast<char>(b));
        }
    }
    return out;
}

}  // namespace decode
