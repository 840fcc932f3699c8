#pragma once
// Where the kit's readers found what they read, for drawing it. The readers
// are bound by name at run time, as the dispatcher binds them; in one
// process the loader hands out the very instance the dispatcher uses, so the
// mark readers' layout exports describe the dispatcher's last read.
//
//   barcodes: Stripescan (corners of every linear symbol) and, when the
//     library has it, stackread_ex (corners of the PDF417 symbol), run on the
//     picture stretched to square pixels as the dispatcher reads it, with the
//     corners carried back to the picture's rows.
//   marks: OMReadLayout (libInkmark) and OMReadLayoutSP (libTypemark): the
//     layout of the library's last successful read.
//
// A library or export that is missing leaves that part out; `warn` is told
// once per missing part. Not thread-safe: the readers keep process-wide
// state, so call it from the thread that calls the dispatcher, after it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "overlay.h"
#include "platform/dynamic_library.h"

namespace annotate {

// 1-bit rows as the dispatcher takes them: top row first, widthPixels / 8
// bytes a row, bit 1 white.
struct BlackWhiteView {
    const std::uint8_t* rows = nullptr;
    int widthPixels = 0;  // a multiple of 8
    int height = 0;
    int linesPerMm = 8;  // 4 or 8 along the paper; 8 dots/mm across
};

// The display name of a linear symbology number as the dispatcher prints it,
// or nullptr for a number it does not report.
const char* symbology_name(int number);

// A linear symbol's text as the dispatcher shows it (UPC-A without the 0 of
// its EAN-13 form).
std::string symbol_text(int number, const std::uint8_t* bytes, int length);

// Logical names ("X.dll") or file names of the readers; tests name doubles.
struct ReaderFiles {
    std::string stripescan = "Stripescan.dll";
    std::string stackread = "Stackread.dll";
    std::string inkmark = "Inkmark.dll";
    std::string typemark = "Typemark.dll";
};

class ReaderGeometry {
public:
    using Warn = std::function<void(const std::string&)>;
    explicit ReaderGeometry(Warn warn = {}, ReaderFiles files = {})
        : warn_(std::move(warn)), files_(std::move(files)) {}

    // Opens the four readers now (each only once), so that they stay mapped
    // across the dispatcher's calls.
    void open();

    // The barcode symbols on `picture`, linear ones first, in picture pixels.
    // Empty when nothing is found, the picture is not usable or a reader is
    // missing.
    std::vector<SymbolOutline> barcodes(const BlackWhiteView& picture);

    // The fitted layout of the handwritten (`printed` false) or printed mark
    // reader's last successful read; nothing when there is none or the
    // export is missing.
    std::optional<MarkOverlay> mark_layout(bool printed);

private:
    void warn_once(bool& said, const std::string& text);

    Warn warn_;
    ReaderFiles files_;
    bool opened_ = false;
    platform::DynamicLibrary stripescanLib_, stackreadLib_, inkmarkLib_, typemarkLib_;
    bool saidStripescan_ = false, saidStackread_ = false, saidInkmark_ = false, saidTypemark_ = false;
};

// Largest cell or guide count taken from a reader's layout: beyond it the
// layout is treated as missing (a 4096 x 4096 grid plus its code slots).
inline constexpr std::int32_t kMaxLayoutEntries = 4096 * 4096 + 4096;

}  // namespace annotate
