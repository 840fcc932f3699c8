// One recognition call from arguments to text.

#include "decode/dispatcher.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "decode/Decode.h"
#include "decode/barcode_reading.h"
#include "decode/mark_reading.h"
#include "decode/picture.h"
#include "decode/result_text.h"

#ifndef DECODE_VERSION
#define DECODE_VERSION "0.0.0"
#endif

namespace decode {

namespace {

// Serialises every read: the reader libraries keep their working state process-wide.
std::mutex& reading_lock() {
    static std::mutex lock;
    return lock;
}

bool known_kind(int kind) {
    return kind == DECODE_KIND_HANDWRITTEN_MARKS || kind == DECODE_KIND_BARCODES ||
           kind == DECODE_KIND_PRINTED_MARKS || kind == DECODE_KIND_HANDWRITTEN_MARKS_RELIABILITY;
}

}  // namespace

int Dispatcher::decode(const std::uint8_t* image, int widthPixels, int heightLines, const int* kind, int* out,
                       char* text1024) {
    if (text1024 != nullptr) text1024[0] = '\0';
    if (out == nullptr) return 0;
    const int requestedLines = *out;
    *out = 0;
    if (text1024 == nullptr || kind == nullptr || !known_kind(*kind)) return 0;
    const int k = *kind;
    const std::optional<Picture> picture =
        describe_picture(image, widthPixels, heightLines, lines_per_mm_for(k, requestedLines));
    if (!picture) return 0;

    std::lock_guard<std::mutex> guard(reading_lock());
    if (k == DECODE_KIND_BARCODES) {
        const BarcodeEntries* readers = libraries_.barcodes();
        if (readers == nullptr) return 0;
        std::vector<std::uint8_t> storage;
        const std::vector<SymbolText> symbols = read_barcodes(*readers, square_pixels(*picture, storage));
        if (symbols.empty()) return 0;
        write_text(cut_barcode_text(barcode_text(symbols), DECODE_TEXT_CAPACITY), text1024,
                   DECODE_TEXT_CAPACITY);
        *out = static_cast<int>(symbols.size());
        return 1;
    }

    std::optional<std::string> marks;
    if (k == DECODE_KIND_PRINTED_MARKS) {
        const MarkReadFn omreadSp = libraries_.typemark();
        if (omreadSp == nullptr) return 0;
        marks = read_printed(omreadSp, *picture);
    } else {
        const InkmarkEntries* reader = libraries_.inkmark();
        if (reader == nullptr) return 0;
        marks = read_handwritten(*reader, *picture, k == DECODE_KIND_HANDWRITTEN_MARKS_RELIABILITY);
    }
    if (!marks) return 0;
    write_text(cut_mark_text(*marks, DECODE_TEXT_CAPACITY), text1024, DECODE_TEXT_CAPACITY);
    *out = 1;  // one result block: the readers give one for a 1-bit picture
    return 1;
}

Dispatcher& process_dispatcher() {
    static Dispatcher dispatcher;
    return dispatcher;
}

const char* version_text() {
    return "libdecode " DECODE_VERSION;
}

}  // namespace decode
