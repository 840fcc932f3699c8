#include "barcode/pdf417/tests/spoilt_pages.h"

#include <cstdint>
#include <vector>

#include "barcode/pdf417/Stackread.h"

namespace stackread_test {

using barcode::degrade::BitPage;
using barcode::degrade::ModuleGrid;
using barcode::degrade::Render;

std::string random_text(std::mt19937& rng, int n) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -.:/abcdefghijklmnopqrstuvwxyz";
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(alphabet[rng() % (sizeof(alphabet) - 1)]);
    return s;
}

double uniform(std::mt19937& rng, double a, double b) {
    return std::uniform_real_distribution<double>(a, b)(rng);
}

ModuleGrid module_grid(const Symbol& symbol) {
    ModuleGrid g{symbol.width, symbol.rows, {}};
    g.dark.resize(static_cast<size_t>(symbol.width) * symbol.rows);
    for (int r = 0; r < symbol.rows; ++r)
        for (int c = 0; c < symbol.width; ++c)
            g.dark[static_cast<size_t>(r) * symbol.width + c] = symbol.at(r, c);
    return g;
}

BitPage draw_centred(const ModuleGrid& grid, Render how, std::mt19937& rng, double widthFactor, int marginX,
                     int marginY) {
    BitPage page(static_cast<int>(grid.width * how.module * widthFactor) + marginX,
                 static_cast<int>(grid.height * how.moduleY) + marginY);
    how.cx = page.width / 2.0 + 0.37;
    how.cy = page.height / 2.0 + 0.61;
    render(grid, how, page, rng);
    return page;
}

Reading read_page(const BitPage& page) {
    std::vector<uint8_t> out(STACKREAD_MAX_OUTPUT);
    int length = 0;
    Reading r;
    r.result = stackread(page.bits.data(), page.width, page.height, out.data(), &length, 0);
    if (r.result == STACKREAD_OK) r.text.assign(out.begin(), out.begin() + length);
    return r;
}

}  // namespace stackread_test
