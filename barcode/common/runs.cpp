#include "barcode/common/runs.h"

namespace barcode {

int row_run_lengths(const std::uint8_t* row, int width, int from, int* lengths, int capacity,
                    bool& firstDark) {
    firstDark = false;
    if (row == nullptr || from < 0 || from >= width || capacity < 1) return 0;
    auto darkAt = [row](int x) { return !((row[x >> 3] >> (7 - (x & 7))) & 1); };
    bool dark = darkAt(from);
    firstDark = dark;
    int count = 0;
    int run = 0;
    int x = from;
    while (x < width) {
        // Whole bytes of the current colour pass at once.
        if ((x & 7) == 0 && x + 8 <= width && row[x >> 3] == (dark ? 0x00 : 0xFF)) {
            run += 8;
            x += 8;
            continue;
        }
        if (darkAt(x) == dark) {
            ++run;
        } else {
            lengths[count++] = run;
            if (count == capacity) return count;
            dark = !dark;
            run = 1;
        }
        ++x;
    }
    lengths[count++] = run;
    return count;
}

}  // namespace barcode
