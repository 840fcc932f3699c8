#pragma once
// Mark sheets on a picture, read by the handwritten or the printed mark reader with the flip and
// scan mode that describe a device picture.

#include <optional>
#include <string>

#include "decode/picture.h"
#include "decode/reader_libraries.h"

namespace decode {

// Flip for rows that come top row first: the readers take the last stored row as the top.
constexpr int kTopRowFirstFlip = 1;

// The readers' scan mode for 8 dots/mm across and `linesPerMm` along: 1 (lines doubled) for 4,
// 2 (as they are) for 8.
int scan_mode_for(int linesPerMm);

// Reads the handwritten marks of `picture` (one-ratio forms first, then two-ratio forms) with
// OMRead or, when `reliability`, OMRead_Reliability; the text in the dialog's form, or nothing
// when no form fits.
std::optional<std::string> read_handwritten(const InkmarkEntries& reader, const Picture& picture,
                                            bool reliability);

// Reads the printed marks of `picture` with OMReadSP (every form of the file in order); the text
// in the dialog's form, or nothing when no form fits.
std::optional<std::string> read_printed(MarkReadFn omreadSp, const Picture& picture);

}  // namespace decode
