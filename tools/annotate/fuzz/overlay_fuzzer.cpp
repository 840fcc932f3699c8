// Draws overlays built from the fuzzer's bytes (corners anywhere, any float
// including infinities and NaN, any text and state) on a small picture;
// AddressSanitizer reports any write outside the raster.

#include <cstdint>
#include <cstring>

#include "overlay.h"

namespace {

struct Bytes {
    const std::uint8_t* data;
    std::size_t size;
    template <typename T>
    T take() {
        T v{};
        if (size >= sizeof v) {
            std::memcpy(&v, data, sizeof v);
            data += sizeof v;
            size -= sizeof v;
        }
        return v;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in{data, size};
    const int width = 1 + in.take<std::uint8_t>() % 200;
    const int height = 1 + in.take<std::uint8_t>() % 200;
    const bool grey = in.take<std::uint8_t>() & 1;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(grey ? width : (width + 7) / 8) * height, 0x5A);
    annotate::PictureView picture{rows.data(), width, height, grey ? 8 : 1,
                                  static_cast<std::size_t>(grey ? width : (width + 7) / 8)};
    annotate::Overlay overlay;
    const int symbols = in.take<std::uint8_t>() % 4;
    for (int i = 0; i < symbols; ++i) {
        annotate::SymbolOutline s;
        s.symbology = "Code 128";
        const int n = in.take<std::uint8_t>() % 40;
        for (int k = 0; k < n; ++k) s.text.push_back(static_cast<char>(in.take<std::uint8_t>()));
        for (auto& c : s.corners) c = {in.take<double>(), in.take<double>()};
        overlay.symbols.push_back(s);
    }
    if (in.take<std::uint8_t>() & 1) {
        annotate::MarkOverlay m;
        m.form = in.take<std::int32_t>();
        m.orientation = in.take<std::int32_t>();
        const int cells = in.take<std::uint8_t>() % 16;
        for (int i = 0; i < cells; ++i) {
            MarkCell c{};
            for (int k = 0; k < 4; ++k) {
                c.box.x[k] = in.take<float>();
                c.box.y[k] = in.take<float>();
            }
            c.state[0] = in.take<std::int32_t>();
            m.cells.push_back(c);
        }
        overlay.marks = m;
    }
    const double aspect = in.take<double>();
    annotate::render(picture, overlay, {aspect});
    return 0;
}
