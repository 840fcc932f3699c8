// Bounded result texts.

#include "decode/result_text.h"

#include <cstring>

#include "decode/Decode.h"

namespace decode {

namespace {

constexpr std::string_view kCutMark = DECODE_CUT_MARK;

}  // namespace

std::string barcode_text(const std::vector<SymbolText>& symbols) {
    std::string s;
    for (const SymbolText& sym : symbols) {
        s += sym.symbology;
        s += ": ";
        s += sym.text;
        s += '\n';
    }
    return s;
}

std::string cut_barcode_text(const std::string& full, std::size_t capacity) {
    if (full.size() < capacity) return full;
    // Room for the text, a possible line break, the mark and the terminator.
    const std::size_t keep = capacity - 1 - kCutMark.size();
    std::string s = full.substr(0, keep);
    if (!s.empty() && s.back() == '\n') s.pop_back();  // the mark starts with the line break
    s += kCutMark;
    return s;
}

std::string cut_mark_text(const std::string& full, std::size_t capacity) {
    if (full.size() < capacity) return full;
    std::size_t digits = 0;
    while (digits < full.size() && full[digits] >= '0' && full[digits] <= '9') ++digits;
    // The kept count has no more digits than the full one.
    const std::size_t room = capacity - 1 - kCutMark.size() - digits;
    const std::string body = full.substr(digits, room);
    std::size_t cells = 0;
    for (char c : body) cells += c != ',' ? 1 : 0;
    // Reliability cells are never ',' (44 travels as 45), so counting non-commas counts cells.
    return std::to_string(cells) + body + std::string(kCutMark);
}

void write_text(const std::string& text, char* dest, std::size_t capacity) {
    const std::size_t n = text.size() < capacity ? text.size() : capacity - 1;
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
}

}  // namespace decode
