// Reading every barcode symbology on one picture.

#include "decode/barcode_reading.h"

#include <array>
#include <cstring>

#include "barcode/linear/Stripescan.h"
#include "barcode/pdf417/Stackread.h"

namespace decode {

namespace {

constexpr int kBothPasses = STRIPESCAN_BOTH_DIRECTIONS;  // rows and columns: symbols at any angle
constexpr int kMinSizeUnit = STRIPESCAN_MIN_SIZE;        // pixels, the reader's smallest size unit
constexpr int kPdf417Noise = 0;  // pixels merged as noise by stackread: none at 8 dots/mm

// The request: every linear symbology, EAN and UPC with their check digits, Code 39 as printed.
std::array<SymbologySetting, 9> request_settings() {
    // symbology, minElementWidth, verifyCheck, sendCheck, plainCode39, eraseFound
    return {{{STRIPESCAN_CODE128, 0, 0, 0, 0, 0},
             {STRIPESCAN_CODE93, 0, 0, 0, 0, 0},
             {STRIPESCAN_EAN13, 0, 0, 1, 0, 0},
             {STRIPESCAN_UPCA, 0, 0, 1, 0, 0},
             {STRIPESCAN_EAN8, 0, 0, 1, 0, 0},
             {STRIPESCAN_UPCE, 0, 0, 1, 0, 0},
             {STRIPESCAN_CODE39, 0, 0, 0, 1, 0},
             {STRIPESCAN_CODABAR, 0, 0, 0, 0, 0},
             {STRIPESCAN_ITF, 0, 0, 0, 0, 0}}};
}

char shown_byte(std::uint8_t b) {
    return (b == 0 || b == '\n' || b == '\r') ? '?' : static_cast<char>(b);
}

}  // namespace

const char* symbology_name(int number) {
    switch (number) {
        case STRIPESCAN_CODE128:
        case STRIPESCAN_GS1_128:
            return "Code 128";
        case STRIPESCAN_CODE93:
            return "Code 93";
        case STRIPESCAN_EAN13:
            return "EAN-13";
        case STRIPESCAN_EAN8:
            return "EAN-8";
        case STRIPESCAN_UPCE:
            return "UPC-E";
        case STRIPESCAN_CODE39:
            return "Code 39";
        case STRIPESCAN_CODABAR:
            return "Codabar";
        case STRIPESCAN_ITF:
            return "Interleaved 2 of 5";
        case STRIPESCAN_UPCA:
            return "UPC-A";
        default:
            return nullptr;
    }
}

std::string line_text(int number, const std::uint8_t* bytes, int length) {
    std::string s;
    if (bytes == nullptr || length <= 0) return s;
    int first = 0;
    if (number == STRIPESCAN_UPCA && length == 13 && bytes[0] == '0') first = 1;
    s.reserve(static_cast<std::size_t>(length - first));
    for (int i = first; i < length; ++i) s.push_back(shown_byte(bytes[i]));
    return s;
}

std::vector<SymbolText> read_barcodes(const BarcodeEntries& readers, const Picture& picture) {
    std::vector<SymbolText> symbols;
    // Stripescan wants a row table and writable pixels (it writes only when asked to erase).
    std::vector<std::uint8_t*> rowTable(static_cast<std::size_t>(picture.height));
    std::uint8_t* bits = const_cast<std::uint8_t*>(picture.rows);
    for (int y = 0; y < picture.height; ++y)
        rowTable[static_cast<std::size_t>(y)] = bits + y * picture.row_bytes();
    const int stride = static_cast<int>(picture.row_bytes());
    Bitmap bitmap{picture.width, picture.height, 1, stride * picture.height, stride, rowTable.data(), bits};
    std::array<SymbologySetting, 9> settings = request_settings();
    DecodeRequest request{settings.data(), static_cast<std::int32_t>(settings.size()), 0, kBothPasses,
                          kMinSizeUnit};
    BarcodeResultList list{nullptr, 0, 0};
    if (readers.stripescan(&bitmap, &request, &list) == STRIPESCAN_OK) {
        for (int i = 0; i < list.count; ++i) {
            const BarcodeResult& r = list.results[i];
            const char* name = symbology_name(r.symbology);
            if (name == nullptr || r.length <= 0) continue;
            symbols.push_back({name, line_text(r.symbology, r.text, r.length)});
        }
    }
    readers.freeResults(&list);

    std::vector<std::uint8_t> data(STACKREAD_MAX_OUTPUT);
    int length = 0;
    if (readers.stackread(picture.rows, picture.width, picture.height, data.data(), &length, kPdf417Noise) ==
            STACKREAD_OK &&
        length > 0 && length <= STACKREAD_MAX_OUTPUT) {
        std::string text;
        text.reserve(static_cast<std::size_t>(length));
        for (int i = 0; i < length; ++i) text.push_back(shown_byte(data[static_cast<std::size_t>(i)]));
        symbols.push_back({"PDF417", std::move(text)});
    }
    return symbols;
}

}  // namespace decode
