// Reading every barcode symbology on one picture.

#include "decode/barcode_reading.h"

#include <array>
#include <cstring>

#include "barcode/pdf417/Stackread.h"

namespace decode {

namespace {

// Stripescan symbology numbers.
constexpr int kCode128 = 1, kCode93 = 2, kEan13 = 3, kEan8 = 4, kUpcE = 5, kCode39 = 6, kCodabar = 7,
              kInterleaved2of5 = 8, kGs1128 = 9, kUpcA = 10;

constexpr int kBothPasses = 3;   // rows and columns: symbols at any angle
constexpr int kMinSizeUnit = 8;  // pixels, the reader's smallest size unit
constexpr int kPdf417Noise = 0;  // pixels merged as noise by stackread: none at 8 dots/mm

// The request: every linear symbology, EAN and UPC with their check digits, Code 39 as printed.
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

char shown_byte(std::uint8_t b) {
    return (b == 0 || b == '\n' || b == '\r') ? '?' : static_cast<char>(b);
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

std::string line_text(int number, const std::uint8_t* bytes, int length) {
    std::string s;
    if (bytes == nullptr || length <= 0) return s;
    int first = 0;
    if (number == kUpcA && length == 13 && bytes[0] == '0') first = 1;
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
        rowTable[static_cast<std::size_t>(y)] = bits + y * picture.rowBytes();
    const int stride = static_cast<int>(picture.rowBytes());
    Bitmap bitmap{picture.width, picture.height, 1, stride * picture.height, stride, rowTable.data(), bits};
    std::array<SymbologySetting, 9> settings = request_settings();
    DecodeRequest request{settings.data(), static_cast<std::int32_t>(settings.size()), 0, kBothPasses,
                          kMinSizeUnit};
    BarcodeResultList list{nullptr, 0, 0};
    if (readers.stripescan(&bitmap, &request, &list) == 1) {
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
