// Small sheets made of rectangles the input places, read against a fixed
// format file: any sheet, depth, flip, scan mode and levels must be read or
// refused without a crash.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "kit/MarkLayout.h"
#include "marks/common/image.h"
#include "marks/handwritten/reader.h"

namespace {

// A small left-and-top form (one and two ratios, with code slots) and a
// one-track form, sized for a 30 x 36 mm sheet.
const char kFormatFile[] =
    "* small left and top form ....\n"
    "0 0 2  0 3 0 2 3 1.5 12 18 24  3 3 0 2 1.5 3 2.75 12 20  1 3 2 2 11 19 2 11.75 17.75  0.5\n"
    "* the same with two ratios ...\n"
    "0 0 2  0 3 0 2 3 1.5 12 18 24  3 3 1 2 1.5 3 2.75 12 20  0 2 11 11.75 3 2 19 17.75 3 2  2 4 10  0.6 "
    "0.3\n"
    "* one track ..................\n"
    "0 0 1  0 3 0 2 3 1.5 12 18 24  1 3 2 1 11 2 11.75 17.75  0.5 15 1\n"
    "*";

constexpr int kWidth = 240;  // the sheet the forms describe; other sizes come from the input
constexpr int kHeight = 288;

bool prepare() {
    std::FILE* f = std::fopen("inkmark_fuzz_forms.txt", "wb");
    if (f == nullptr) return false;
    std::fwrite(kFormatFile, 1, sizeof kFormatFile - 1, f);
    std::fclose(f);
    setenv("FMTFILEPATH", "inkmark_fuzz_forms.txt", 1);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = prepare();
    if (!ready || size < 6) return 0;
    const int flip = data[0] & 1;
    const int scanMode = 1 + data[0] / 2 % 6;  // 6 is refused
    const int bitCount = (data[1] & 1) ? 8 : 1;
    const int selector0 = data[1] / 2 % 3;  // 2 is refused
    const int levelCount = 1 + data[2] % 3;
    std::int32_t levels[3] = {data[3], data[3] + 20, 255};

    // Mostly the forms' sheet size; sometimes a small odd one.
    const int width = data[4] < 200 ? kWidth : 1 + data[4] % 64;  // data[4] & 1: no drawn form
    const int height = data[5] < 200 ? kHeight : 1 + data[5] % 64;
    marks::Image sheet;
    if (!sheet.create(width, height, bitCount)) return 0;
    std::fill(sheet.bits(), sheet.bits() + sheet.imageSize,
              static_cast<std::uint8_t>(bitCount == 1 ? 0xFF : 200));
    // Rectangles in millimetres, y from the sheet's top (the last stored row).
    auto paint = [&](double x, double y, double w, double h, bool dark) {
        const int x0 = static_cast<int>(x * 8), x1 = std::min(width, static_cast<int>((x + w) * 8));
        const int y0 = static_cast<int>(y * 8), y1 = std::min(height, static_cast<int>((y + h) * 8));
        for (int yy = y0; yy < y1; ++yy)
            for (int xx = x0; xx < x1; ++xx) {
                const int row = height - 1 - yy;
                if (bitCount == 1) {
                    dark ? sheet.set_dark(xx, row) : sheet.set_light(xx, row);
                } else {
                    sheet.row(row)[xx] = dark ? 30 : 200;
                }
            }
    };
    // Usually the first form's sheet (timing marks and two filled cells), so
    // that reads get as far as measuring and writing texts.
    if ((data[4] & 1) == 0 && width == kWidth && height == kHeight) {
        for (double y : {12.0, 18.0, 24.0}) paint(2, y, 3, 1.5, true);
        for (double x : {2.75, 12.0, 20.0}) paint(x, 2, 1.5, 3, true);
        paint(11, 11.75, 3, 2, true);
        paint(19, 17.75, 3, 2, true);
    }
    for (std::size_t i = 6; i + 4 <= size; i += 4) {
        const int x0 = data[i] * width / 256;
        const int y0 = data[i + 1] * height / 256;
        const int x1 = std::min(width, x0 + 1 + data[i + 2] % 48);
        const int y1 = std::min(height, y0 + 1 + data[i + 3] % 48);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                if (bitCount == 1) {
                    (data[i + 2] & 0x80) ? sheet.set_light(x, y) : sheet.set_dark(x, y);
                } else {
                    sheet.row(y)[x] = static_cast<std::uint8_t>(data[i + 3] * 2);
                }
            }
    }
    Bitmap bitmap{sheet.width,  sheet.height, sheet.bitCount, sheet.imageSize,
                  sheet.stride, sheet.rows(), sheet.bits()};
    std::vector<char> texts[3];
    OmrResultBlock blocks[3];
    for (int k = 0; k < 3; ++k) {
        // From too small for any text to room for every text.
        texts[k].assign(static_cast<std::size_t>(1 + data[5] % 48 + 24 * k), 0);
        blocks[k] = OmrResultBlock{0, static_cast<std::int32_t>(texts[k].size()), texts[k].data()};
    }
    OmrResultSet set{0, levelCount, levels, blocks};
    const inkmark::ResultStyle style = static_cast<inkmark::ResultStyle>(data[2] / 3 % 3);
    int selector = selector0;
    const int read = inkmark::decode_sheet(&bitmap, &selector, flip, scanMode, 0, &set, style);

    // The layout of that read, with room from none to plenty: counts only, then whatever the
    // input's capacities allow, then exactly the counts. It exists exactly when the read succeeded,
    // and no record is ever written past a capacity.
    MarkLayout layout{};
    const int counted = inkmark::read_layout(&layout);
    if (counted != 0 || (read == 1) != (layout.cellCount > 0 || layout.guideCount > 0 || layout.form > 0))
        std::abort();
    const int cells = layout.cellCount, guides = layout.guideCount;
    const int cellRoom = data[4] % 3 == 0 ? cells : data[4] % 96;
    const int guideRoom = data[5] % 3 == 0 ? guides : data[5] % 24;
    std::vector<MarkCell> cellBuffer(static_cast<std::size_t>(cellRoom) + 1);
    std::vector<MarkGuide> guideBuffer(static_cast<std::size_t>(guideRoom) + 1);
    cellBuffer.back().row = guideBuffer.back().index = -1;
    layout.cells = cellBuffer.data();
    layout.cellCapacity = cellRoom;
    layout.guides = guideBuffer.data();
    layout.guideCapacity = guideRoom;
    const int written = inkmark::read_layout(&layout);
    if (cellBuffer.back().row != -1 || guideBuffer.back().index != -1) std::abort();
    if (written != (read == 1 && cellRoom >= cells && guideRoom >= guides ? 1 : 0)) std::abort();
    return 0;
}
