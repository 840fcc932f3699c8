// Fuzzes a whole read on small random images: preparation and line stretching, border
// cleanup, labelling, fitting the forms of a fixed format file in four orientations, and
// the quarter-turn retry, then the layout handed out by OMReadLayoutSP into arrays of
// random capacities. Straightening and turning are done in process: straightening keeps the
// image (or fails on request) and its map says so (or is missing, or promises another size),
// the turn maps pixels as the bitmap library does.
// Input: width, height, flip, scan mode, straighten and selector bytes, then the rows.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "imaging/Skewtrim.h"
#include "marks/printed/Typemark.h"
#include "marks/printed/reader.h"

namespace {

// Forms with small marks so that random images hold candidates: a 2 x 2 block anchored
// by its top row, a 3 x 2 block read from its first column, and an explicit one.
const char kForms[] =
    "*two by two, top row full      \n1 2 1\n1 1 2 2\n1 3\n1 3\n0 0\n"
    "*three by two, first column    \n1 0 1\n1 1.5 3 2\n0 2 3\n1 4\n4 4 5\n0 0\n"
    "*explicit                      \n3 4 2 1 8 8 10 8 2 2 0 3 3 0 3 3 3 3 0 0\n*";

bool g_failStraighten = false;
int g_mapKind = 0;  // 0 identity, 1 missing, 2 another size than the straightening gives

int straightening_map(const std::uint8_t*, int width, int height, int, int, double* map, int* outWidth,
                      int* outHeight) {
    if (g_failStraighten) return 0;
    const double identity[6] = {1, 0, 0, 0, 1, 0};
    for (int i = 0; i < 6; ++i) map[i] = identity[i];
    *outWidth = width + (g_mapKind == 2 ? 1 : 0);
    *outHeight = height;
    return 1;
}

int keep_image(std::uint8_t*, int*, int*, int, int) {
    return g_failStraighten ? 0 : 1;
}

// Source (x, y) goes to column y of row w - 1 - x; a SKEWTRIM_ code.
int quarter_turn(std::uint8_t* pixels, int* width, int* height, int bitCount, int angle) {
    if (bitCount != 1 || angle != 90) return SKEWTRIM_INVALID_ARGUMENT;
    const int w = *width, h = *height;
    const int srcStride = (w + 7) / 8, dstStride = (h + 7) / 8;
    const std::vector<std::uint8_t> src(pixels, pixels + static_cast<std::size_t>(srcStride) * h);
    for (std::size_t i = 0; i < static_cast<std::size_t>(dstStride) * w; ++i) pixels[i] = 0xFF;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((src[static_cast<std::size_t>(y) * srcStride + x / 8] & (0x80 >> (x % 8))) == 0)
                pixels[static_cast<std::size_t>(w - 1 - x) * dstStride + y / 8] &=
                    static_cast<std::uint8_t>(~(0x80 >> (y % 8)));
    *width = h;
    *height = w;
    return SKEWTRIM_OK;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string path = "/tmp/typemark_decode_fuzz_forms.txt";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(kForms, 1, sizeof kForms - 1, f);
        std::fclose(f);
    }
    setenv("FMTFILESPPATH", path.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    const int width = 1 + data[0] % 160;
    const int height = 1 + data[1] % 120;
    const int flip = data[2] % 3;      // 2 is refused
    const int scanMode = data[3] % 6;  // 0 and 5 are refused
    const int straighten = data[4] & 1;
    g_failStraighten = (data[4] & 2) != 0;
    g_mapKind = (data[4] >> 2) % 3;
    int selector = data[5] % 4;
    const std::size_t stride = static_cast<std::size_t>((width + 7) / 8);
    std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(height), 0xFF);
    for (std::size_t i = 6; i < size && i - 6 < rows.size(); ++i) rows[i - 6] = data[i];

    typemark::ReadRequest rq =
        typemark::make_request(rows.data(), stride, width, height, straighten, flip, scanMode, &selector);
    // As the exports do, with the layout worked out through the map in process.
    std::optional<typemark::ReadTrace> trace;
    rq.trace = &trace;
    const auto text = typemark::read_with(rq, keep_image, quarter_turn);
    if (text && text->size() < 4) std::abort();               // a result always starts with the cell count
    if (text.has_value() != trace.has_value()) std::abort();  // every small read is traced
    auto& state = typemark::library_state();
    state.lastRead.reset();
    state.lastLayout.reset();
    if (trace) state.lastLayout = typemark::layout_of(*trace, g_mapKind == 1 ? nullptr : straightening_map);

    // Capacities around the counts, one record of guard beyond each.
    const int cellCapacity = data[5] >> 2, guideCapacity = data[4] >> 4;
    std::vector<MarkCell> cells(static_cast<std::size_t>(cellCapacity) + 1);
    std::vector<MarkGuide> guides(static_cast<std::size_t>(guideCapacity) + 1);
    cells.back().row = -1;
    guides.back().index = -1;
    MarkLayout layout{};
    layout.cells = cells.data();
    layout.cellCapacity = cellCapacity;
    layout.guides = guides.data();
    layout.guideCapacity = guideCapacity;
    const int handed = OMReadLayoutSP(&layout);
    if (cells.back().row != -1 || guides.back().index != -1) std::abort();  // written past a capacity
    if (handed == 1 && (!text || layout.cellCount > cellCapacity || layout.guideCount > guideCapacity))
        std::abort();
    if (!text && (layout.cellCount != 0 || layout.guideCount != 0)) std::abort();
    return 0;
}
