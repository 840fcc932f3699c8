// Driving the mark readers on a device picture.

#include "decode/mark_reading.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "decode/Decode.h"
#include "decode/mark_text.h"

namespace decode {

namespace {

constexpr int kScanModeLowLines = 1;   // 8 dots/mm across, every line doubled
constexpr int kScanModeHighLines = 2;  // 8 dots/mm both ways
constexpr int kOneRatioForms = 0;      // handwritten selector: forms with one threshold ratio
constexpr int kTwoRatioForms = 1;      // ... with two
constexpr int kEveryPrintedForm = 0;   // printed selector: every form in file order

// The handwritten reader copies at most its result block, 10,240 bytes, terminator included.
constexpr std::size_t kHandwrittenTextCapacity = 10240;
// The printed reader writes four digits, rows x (columns + 1) bytes and a terminator, with at
// most 4,096 rows and 4,096 columns in a form. The buffer is allocated untouched, so only the
// pages the text reaches cost anything.
constexpr std::size_t kPrintedGridLines = 4096;
constexpr std::size_t kPrintedTextCapacity = 4 + kPrintedGridLines * (kPrintedGridLines + 1) + 1;
// Filled into the handwritten buffer before a reliability read: the text ends at the last byte
// that differs from it (its terminating zero), since the reader copies exactly the text.
constexpr unsigned char kUnwrittenByte = 0xA5;
constexpr std::size_t kGuardBytes = 16;

}  // namespace

int scan_mode_for(int linesPerMm) {
    return linesPerMm == DECODE_LINES_PER_MM_LOW ? kScanModeLowLines : kScanModeHighLines;
}

std::optional<std::string> read_handwritten(const InkmarkEntries& reader, const Picture& picture,
                                            bool reliability) {
    const MarkReadFn read = reliability ? reader.reliability : reader.plain;
    std::vector<char> buffer(kHandwrittenTextCapacity + kGuardBytes);
    for (int selector0 : {kOneRatioForms, kTwoRatioForms}) {
        std::fill(buffer.begin(), buffer.end(), static_cast<char>(kUnwrittenByte));
        int selector = selector0;
        if (read(picture.rows, &selector, kTopRowFirstFlip, picture.width, picture.height,
                 scan_mode_for(picture.linesPerMm), buffer.data()) != 1)
            continue;
        if (!reliability) {
            const std::size_t n = strnlen(buffer.data(), kHandwrittenTextCapacity);
            if (n == kHandwrittenTextCapacity) return std::nullopt;
            return digit_mark_text(std::string_view(buffer.data(), n));
        }
        std::size_t end = buffer.size();
        while (end > 0 && static_cast<unsigned char>(buffer[end - 1]) == kUnwrittenByte) --end;
        if (end == 0 || buffer[end - 1] != '\0') return std::nullopt;
        return reliability_mark_text(std::string_view(buffer.data(), end - 1));
    }
    return std::nullopt;
}

std::optional<std::string> read_printed(MarkReadFn omreadSp, const Picture& picture) {
    std::unique_ptr<char[]> buffer(new char[kPrintedTextCapacity + kGuardBytes]);
    buffer[0] = '\0';
    int selector = kEveryPrintedForm;
    if (omreadSp(picture.rows, &selector, kTopRowFirstFlip, picture.width, picture.height,
                 scan_mode_for(picture.linesPerMm), buffer.get()) != 1)
        return std::nullopt;
    const std::size_t n = strnlen(buffer.get(), kPrintedTextCapacity);
    if (n == kPrintedTextCapacity) return std::nullopt;
    return digit_mark_text(std::string_view(buffer.get(), n));
}

}  // namespace decode
