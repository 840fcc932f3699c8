// Asking the kit's readers where the symbols and cells lie.

#include "reader_geometry.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "barcode/linear/Stripescan.h"
#include "barcode/pdf417/Stackread.h"

namespace annotate {

namespace {

// Stripescan symbology numbers.
constexpr int kCode128 = 1, kCode93 = 2, kEan13 = 3, kEan8 = 4, kUpcE = 5, kCode39 = 6, kCodabar = 7,
              kInterleaved2of5 = 8, kGs1128 = 9, kUpcA = 10;

constexpr int kBothPasses = 3;       // scan lines along rows and down columns
constexpr int kMinSizeUnit = 8;      // pixels, the reader's smallest size unit
constexpr int kPdf417Noise = 0;      // pixels merged as noise: none at 8 dots/mm
constexpr int kDotsPerMmAcross = 8;  // the scanner's fixed sampling across the paper
using StripescanFn = int (*)(Bitmap*, DecodeRequest*, BarcodeResultList*);
using FreeResultsFn = int (*)(BarcodeResultList*);
using StackreadExFn = decltype(&stackread_ex);
using LayoutFn = int (*)(MarkLayout*);

// The same request the dispatcher makes: every linear symbology, check digits kept.
std::array<SymbologySetting, 9> request_settings() {
    // symbology, minElementWidth, verifyCheck, sendCheck, plainCode39, eraseFound
    return {{{kCode128, 0, 0, 0, 0, 0},
             {kCode93, 0, 0, 0, 0, 0},
             {kEan13, 0, 0, 1, 0, 0},
             {kUpcA, 0, 0, 1, 0, 0},
             {kEan8, 0, 0, 1, 0, 0},
             {kUpcE, 0, 0, 1, 0, 0},
             {kCode39, 0, 0, 0, 1, 0},
             {kCodabar, 0, 0, 0, 0, 0},
             {kInterleaved2of5, 0, 0, 0, 0, 0}}};
}

// A pixel of the square-pixel copy back in the picture: rows were repeated
// `repeat` times, so copy row y lies on picture row y / repeat (rounded down
// when drawn).
Point to_picture(std::int32_t x, std::int32_t y, int repeat) {
    return {static_cast<double>(x), static_cast<double>(y) / repeat};
}

}  // namespace

const char* symbology_name(int number) {
    switch (number) {
        case kCode128:
        case kGs1128:
            return "Code 128";
        case kCode93:
            return "Code 93";
        case kEan13:
            return "EAN-13";
        case kEan8:
            return "EAN-8";
        case kUpcE:
            return "UPC-E";
        case kCode39:
            return "Code 39";
        case kCodabar:
            return "Codabar";
        case kInterleaved2of5:
            return "Interleaved 2 of 5";
        case kUpcA:
            return "UPC-A";
        default:
            return nullptr;
    }
}

std::string symbol_text(int number, const std::uint8_t* bytes, int length) {
    if (bytes == nullptr || length <= 0) return {};
    const int first = (number == kUpcA && length == 13 && bytes[0] == '0') ? 1 : 0;
    return std::string(reinterpret_cast<const char*>(bytes) + first,
                       static_cast<std::size_t>(length - first));
}

void ReaderGeometry::warn_once(bool& said, const std::string& text) {
    if (said) return;
    said = true;
    if (warn_) warn_(text);
}

void ReaderGeometry::open() {
    if (opened_) return;
    opened_ = true;
    stripescanLib_.open(files_.stripescan);
    stackreadLib_.open(files_.stackread);
    inkmarkLib_.open(files_.inkmark);
    typemarkLib_.open(files_.typemark);
}

std::vector<SymbolOutline> ReaderGeometry::barcodes(const BlackWhiteView& picture) {
    open();
    std::vector<SymbolOutline> symbols;
    if (picture.rows == nullptr || picture.widthPixels <= 0 || picture.widthPixels % 8 != 0 ||
        picture.height <= 0 || (picture.linesPerMm != 4 && picture.linesPerMm != 8))
        return symbols;
    // The square-pixel copy the dispatcher reads: at 4 lines/mm every row twice.
    const int repeat = kDotsPerMmAcross / picture.linesPerMm;
    const std::size_t rowBytes = static_cast<std::size_t>(picture.widthPixels) / 8;
    const int height = picture.height * repeat;
    std::vector<std::uint8_t> square(rowBytes * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        std::memcpy(&square[static_cast<std::size_t>(y) * rowBytes],
                    picture.rows + static_cast<std::size_t>(y / repeat) * rowBytes, rowBytes);

    const auto stripescan = stripescanLib_.resolve<StripescanFn>("Stripescan");
    const auto freeResults = stripescanLib_.resolve<FreeResultsFn>("FreeBarcodeResultMem");
    if (stripescan && freeResults) {
        std::vector<std::uint8_t*> rowTable(static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y)
            rowTable[static_cast<std::size_t>(y)] = &square[static_cast<std::size_t>(y) * rowBytes];
        const int stride = static_cast<int>(rowBytes);
        Bitmap bitmap{picture.widthPixels, height,       1, stride * height, stride,
                      rowTable.data(),     square.data()};
        std::array<SymbologySetting, 9> settings = request_settings();
        DecodeRequest request{settings.data(), static_cast<std::int32_t>(settings.size()), 0, kBothPasses,
                              kMinSizeUnit};
        BarcodeResultList list{nullptr, 0, 0};
        stripescan(&bitmap, &request, &list);
        for (int i = 0; i < list.count && list.results != nullptr; ++i) {
            const BarcodeResult& r = list.results[i];
            const char* name = symbology_name(r.symbology);
            if (name == nullptr || r.length <= 0) continue;
            SymbolOutline s{name, symbol_text(r.symbology, r.text, r.length), {}};
            for (int k = 0; k < 4; ++k)
                s.corners[k] = to_picture(r.corners[2 * k], r.corners[2 * k + 1], repeat);
            symbols.push_back(std::move(s));
        }
        freeResults(&list);
    } else {
        warn_once(saidStripescan_, "linear barcodes are not outlined: libStripescan cannot be bound");
    }

    const auto stackreadEx = stackreadLib_.resolve<StackreadExFn>("stackread_ex");
    if (stackreadEx) {
        std::vector<std::uint8_t> data(STACKREAD_MAX_OUTPUT);
        int length = 0;
        StackreadSymbol where{};
        if (stackreadEx(square.data(), picture.widthPixels, height, data.data(), &length, kPdf417Noise,
                        &where) == STACKREAD_OK &&
            length > 0 && length <= STACKREAD_MAX_OUTPUT) {
            SymbolOutline s{
                "PDF417",
                std::string(reinterpret_cast<const char*>(data.data()), static_cast<std::size_t>(length)),
                {}};
            for (int k = 0; k < 4; ++k)
                s.corners[k] = to_picture(where.corners[2 * k], where.corners[2 * k + 1], repeat);
            symbols.push_back(std::move(s));
        }
    } else {
        warn_once(saidStackread_, "PDF417 symbols are not outlined: libStackread has no stackread_ex");
    }
    return symbols;
}

std::optional<MarkOverlay> ReaderGeometry::mark_layout(bool printed) {
    open();
    platform::DynamicLibrary& lib = printed ? typemarkLib_ : inkmarkLib_;
    const char* name = printed ? "OMReadLayoutSP" : "OMReadLayout";
    const auto layoutFn = lib.resolve<LayoutFn>(name);
    if (layoutFn == nullptr) {
        warn_once(printed ? saidTypemark_ : saidInkmark_, std::string("mark cells are not drawn: ") +
                                                              (printed ? "libTypemark" : "libInkmark") +
                                                              " has no " + name);
        return std::nullopt;
    }
    // First the counts (no arrays), then the records.
    MarkLayout probe{};
    const int first = layoutFn(&probe);
    if (probe.cellCount < 0 || probe.guideCount < 0 || probe.cellCount > kMaxLayoutEntries ||
        probe.guideCount > kMaxLayoutEntries)
        return std::nullopt;
    const bool empty = probe.cellCount == 0 && probe.guideCount == 0;
    if (empty && first != 1) return std::nullopt;  // no successful read to show
    MarkOverlay m;
    MarkLayout layout = probe;
    if (!empty) {
        m.cells.resize(static_cast<std::size_t>(probe.cellCount));
        m.guides.resize(static_cast<std::size_t>(probe.guideCount));
        layout = MarkLayout{};
        layout.cells = m.cells.data();
        layout.cellCapacity = probe.cellCount;
        layout.guides = m.guides.data();
        layout.guideCapacity = probe.guideCount;
        if (layoutFn(&layout) != 1) return std::nullopt;
        m.cells.resize(static_cast<std::size_t>(std::clamp(layout.cellCount, 0, probe.cellCount)));
        m.guides.resize(static_cast<std::size_t>(std::clamp(layout.guideCount, 0, probe.guideCount)));
    }
    m.form = layout.form;
    m.orientation = layout.orientation;
    m.levelCount = layout.levelCount;
    m.rows = layout.rows;
    m.columns = layout.columns;
    return m;
}

}  // namespace annotate
