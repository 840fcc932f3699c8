#pragma once
// Recognition kinds, turning any loaded picture into the 1-bit rows the
// dispatcher takes, calling it, and the measurements `info` reports.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kit_libraries.h"
#include "picture_file.h"

namespace ticketkit {

struct Kind {
    const char* name;  // as the command line spells it (and the ticket file-name prefix)
    int code;          // the dispatcher's kind number
    int linesPerMm;    // the resolution the kind is scanned at
};

// barcode (1, 8 lines/mm), marks (0, 4), marks-reliability (5, 4), printed-marks (2, 4).
std::optional<Kind> kind_by_name(const std::string& name);
// The kind a ticket file's name announces by its prefix ("printed-marks-…"), if any.
std::optional<Kind> kind_from_file_name(const std::string& fileName);
std::string kind_names();  // "barcode|marks|marks-reliability|printed-marks"

// 1-bit rows, top row first, widthPixels / 8 bytes each, 1 = white.
struct BlackWhite {
    int widthPixels = 0;  // a multiple of 8 (the last byte padded with white)
    int height = 0;
    std::vector<std::uint8_t> rows;
};

// Grey and colour pictures go through the bitmap library's colour reduction
// (dots darker than kBlackWhiteThreshold + 1 become black); 1-bit rows are kept.
BlackWhite to_black_white(SkewtrimLibrary& skewtrim, const PictureFile& picture, const std::string& path);

// The picture in a bitmap-library record with its top row last (as a bottom-up
// BMP stores it), so that the library's own BMP writer keeps it upright. The
// caller releases it with Bitmap_Done. Failure (kExitDevice) when the library refuses.
Bitmap to_bitmap(SkewtrimLibrary& skewtrim, const PictureFile& picture);

struct Reading {
    bool read = false;
    int count = 0;     // symbols (barcodes) or result blocks (marks)
    std::string text;  // as the dispatcher wrote it
};

// Hands the picture to the dispatcher. linesPerMm 4 or 8, or 0 for the kind's preset.
Reading recognise(DecodeLibrary& decode, BlackWhite& picture, const Kind& kind, int linesPerMm);

// The reading as lines a person reads: barcodes one per symbol, mark results
// "count" then one row per line; reliability bytes as three-digit numbers.
std::vector<std::string> reading_lines(const Reading& r, const Kind& kind);

// Skew of the paper on a darker background, from its left (else right) edge:
// degrees, positive when the paper is turned clockwise as seen (its right end
// lower). nullopt when no straight paper edge against a dark background is found.
std::optional<double> paper_skew_degrees(const BlackWhite& picture);

}  // namespace ticketkit
