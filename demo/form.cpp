#include "demo/form.h"

#include <cstdio>
#include <cstdlib>

namespace tellerdesk {

int to_int(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 2147483647LL) return negative ? -2147483647 : 2147483647;
    }
    return static_cast<int>(negative ? -value : value);
}

std::vector<std::string> number_list(int first, int last, int width) {
    std::vector<std::string> out;
    for (int v = first; v <= last; ++v) {
        char text[16];
        std::snprintf(text, sizeof text, "%0*d", width, v);
        out.emplace_back(text);
    }
    return out;
}

std::vector<std::string> picture_types() {
    return {"Black White", "Gray"};
}
std::vector<std::string> scan_dpis() {
    return {"100", "200"};
}
std::vector<std::string> save_types() {
    return {"Casual", "Fixed"};
}
std::vector<std::string> scan_types() {
    return {"Manuscript OMR", "Bar Code", "Printed OMR", "Manuscript OMR Reliability", "Scan Picture"};
}
std::vector<std::string> actions_after_scan() {
    return {"Stop", "Print", "Out paper"};
}
std::vector<std::string> actions_after_print() {
    return {"Stop", "Out paper"};
}
std::vector<std::string> angles() {
    return {"0", "90", "180", "270"};
}
std::vector<std::string> font_types() {
    return {"byte", "ASD", "Courier"};
}
std::vector<std::string> feed_directions() {
    return {"Front", "Back"};
}
std::vector<std::string> scan_modes() {
    return {"No-LockScan", "LockScan"};
}
std::vector<std::string> bitmap_sides() {
    return {"Obverse", "Reverse"};
}
std::vector<std::string> threshold_methods() {
    return {"0"};
}
std::vector<std::string> tph_modes() {
    return {"Up-PrintDown", "Up-PressDown", "Down-NoPressUp", "Down"};
}

std::vector<std::string> font_sizes(int fontType) {
    switch (fontType) {
        case kFontAsd:
            return {"P06", "P08", "P10", "P12", "P14", "P18"};
        case kFontCourier:
            return number_list(0, 7, 3);
        default:
            return number_list(0, 8, 3);
    }
}

int font_code(int fontType) {
    switch (fontType) {
        case kFontAsd:
            return 80;
        case kFontCourier:
            return 57;
        default:
            return 48;
    }
}

int font_size_value(int fontType, int sizeIndex) {
    if (fontType != kFontAsd) return sizeIndex;
    static constexpr int kAsdSizes[] = {6, 8, 10, 12, 14, 18};
    return sizeIndex >= 0 && sizeIndex < 6 ? kAsdSizes[sizeIndex] : sizeIndex;
}

void apply_scan_type_presets(FormState& form, int scanType) {
    form.scanType = scanType;
    form.scanHeight.assign(1, '0');  // (not = "0": g++ 12 misreports -Wrestrict there)
    form.actionAfterScan = kAfterScanOutPaper;
    switch (scanType) {
        case kManuscriptOmr:
        case kPrintedOmr:
        case kManuscriptReliability:
            form.pictureType = 0;
            form.dpi = 0;
            break;
        case kBarCode:
            form.pictureType = 0;
            form.dpi = 1;
            break;
        default:  // Scan Picture keeps the picture type
            form.dpi = 1;
            break;
    }
}

int recognition_kind(int scanType) {
    switch (scanType) {
        case kManuscriptOmr:
            return 0;
        case kBarCode:
            return 1;
        case kPrintedOmr:
            return 2;
        case kManuscriptReliability:
            return 5;
        default:
            return -1;
    }
}

}  // namespace tellerdesk
