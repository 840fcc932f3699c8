#include "demo/mark_result.h"

#include <cstdio>

namespace tellerdesk {

std::string format_mark_result(const std::string& text, bool reliability) {
    std::size_t pos = 0;
    long long count = 0;
    std::string digits;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        digits += text[pos];
        if (count < 1000000000) count = count * 10 + (text[pos] - '0');
        ++pos;
    }
    std::string out = "Block num:" + digits;
    long long taken = 0;
    for (; pos < text.size() && taken < count; ++pos) {
        const char c = text[pos];
        if (c == ',') {
            out += "\r\n";
            continue;
        }
        if (reliability) {
            char value[8];
            std::snprintf(value, sizeof value, "%03u  ",
                          static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += value;
        } else {
            out += c;
        }
        ++taken;
    }
    return out;
}

}  // namespace tellerdesk
