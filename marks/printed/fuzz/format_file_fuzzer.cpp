// Fuzzes the format-file loader: framing, the two form layouts, the orientation tables,
// and placing each form that loads on a small fixed set of printed marks.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "marks/common/format_text.h"
#include "marks/printed/form_file.h"
#include "marks/printed/printed_form.h"
#include "marks/printed/reader.h"

namespace {

// A 3 x 4 block of 2 x 2 mm marks at 8 dots per mm, 5 mm apart, with a stray mark.
std::vector<typemark::Region> marks_block() {
    std::vector<typemark::Region> regions;
    int number = 0;
    auto add = [&](int cx, int cy, int w, int h) {
        typemark::Region r;
        r.centroidX = cx;
        r.centroidY = cy;
        r.width = w;
        r.height = h;
        r.minX = cx - w / 2;
        r.maxX = r.minX + w - 1;
        r.minY = cy - h / 2;
        r.maxY = r.minY + h - 1;
        r.pixelCount = w * h;
        r.number = number++;
        regions.push_back(r);
    };
    for (int row = 0; row < 3; ++row)
        for (int c = 0; c < 4; ++c)
            if (row == 0 || (row + c) % 2 == 0) add(100 + 40 * c, 100 + 40 * row, 16, 16);
    add(400, 110, 16, 16);
    return regions;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<typemark::Region> regions = marks_block();
    const std::vector<std::uint8_t> file(data, data + size);
    std::size_t pos = 0;
    marks::FormText form;
    for (int n = 0; n < 8 && marks::read_form_text(file, pos, form) == marks::FormTextStatus::Ok; ++n) {
        pos = form.nextOffset;
        for (int dpm : {8, 12}) {
            const auto parsed = typemark::parse_printed_form(form.values, dpm);
            if (!parsed) continue;
            for (int o = 0; o < 4; ++o) (void)typemark::adapt_to_orientation(*parsed, o);
            (void)typemark::read_form(regions, *parsed, dpm);
        }
    }
    std::size_t skipPos = 0;
    (void)typemark::skip_forms(file, skipPos, size > 0 ? data[0] % 8 : 0);
    return 0;
}
