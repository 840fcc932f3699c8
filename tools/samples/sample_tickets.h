#pragma once
// The sample tickets of the main job: what each one shows and what a reader
// must find on it.

#include <string>
#include <vector>

#include "grey_picture.h"

namespace samples {

struct SampleTicket {
    std::string file;                   // BMP name; its prefix names the kind
    std::string kind;                   // barcode, marks or printed-marks
    int linesPerMm = 8;                 // the resolution the kind is scanned at
    std::vector<std::string> expected;  // texts the reading must contain
    GreyPicture picture;
};

// Every sample ticket, drawn at 8 dots per millimetre. Throws std::runtime_error
// when a barcode cannot be drawn.
std::vector<SampleTicket> draw_sample_tickets();

// The format files that describe the mark tickets.
std::string handwritten_format_text();
std::string printed_format_text();

}  // namespace samples
