#pragma once
// The demo dialog's way of showing a mark result, written out independently as an oracle: the
// count's digits after "Block num:", then the characters after the count in order, each ","
// as a line break and any other character as it is (or, for reliability results, as its byte
// value in three decimal digits and two blanks), stopping after as many non-"," characters as
// the count says.

#include <cstdio>
#include <string>

namespace decode_test {

inline std::string dialog_shows(const std::string& text, bool reliability) {
    std::size_t i = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    const std::string digits = text.substr(0, i);
    const long count = digits.empty() ? 0 : std::stol(digits);
    std::string shown = "Block num:" + digits;
    long cells = 0;
    for (; i < text.size() && cells < count; ++i) {
        const char c = text[i];
        if (c == ',') {
            shown += "\r\n";
            continue;
        }
        if (reliability) {
            char b[8];
            std::snprintf(b, sizeof b, "%03d  ", static_cast<unsigned char>(c));
            shown += b;
        } else {
            shown += c;
        }
        ++cells;
    }
    return shown;
}

}  // namespace decode_test
