#pragma once
// The reading of one sheet: preparation, straightening, edge scans, form
// fitting, measurement and the result texts.

#include <cstdint>
#include <optional>
#include <string>

#include "kit/MarkLayout.h"
#include "marks/common/image.h"
#include "marks/handwritten/Inkmark.h"
#include "marks/handwritten/layout.h"
#include "marks/handwritten/result_text.h"

namespace inkmark {

// What a straightened read's layout still needs: the working image as it was
// handed to the straightening, and what came of it. The layout is carried to
// the caller's picture when it is first asked for.
struct PendingPlacement {
    marks::Image unstraightened;
    int level = 0;  // the straightening level
    int straightenedWidth = 0, straightenedHeight = 0;
    std::string straightener;  // the library that straightened
    PictureSteps steps;        // all but the straightening map
};

// Process-wide state of the library: the result style the front ends set,
// kept for later direct calls of the core (plain at load time), and the
// layout of the last successful read (none after a failed one), still on the
// sheet while `pending` holds what is needed to place it.
struct InkmarkState {
    ResultStyle style = ResultStyle::Plain;
    std::optional<LayoutRecord> layout;
    std::optional<PendingPlacement> pending;
};
InkmarkState& library_state();

// The front ends' result block size and threshold level.
inline constexpr int kFrontEndCapacity = INKMARK_RESULT_BYTES;
inline constexpr int kFrontEndLevel = INKMARK_FRONT_END_LEVEL;
inline constexpr const char* kFormatFileVariable = "FMTFILEPATH";
inline constexpr const char* kDefaultFormatFile = "FormatFile.txt";

struct ReadOptions {
    // The straightening library, by logical name or file path.
    std::string straightener = "Skewtrim.dll";
};

// The core read (image_decode_OMR): 1 on success, 0 on any failure.
int decode_sheet(Bitmap* bitmap, int* selector, int flip, int scanMode, int straighten, OmrResultSet* set,
                 ResultStyle style, const ReadOptions& options = {});

// The front ends (OMRead, OMReadEx, OMRead_Reliability): raw 1-bit rows,
// straightened, one level 90, the text copied to `result`.
int read_raw_sheet(const std::uint8_t* image, int* selector, int flip, int width, int height, int scanMode,
                   char* result, ResultStyle style, const ReadOptions& options = {});

// OMReadLayout: the layout of the last successful read (see copy_layout).
int read_layout(MarkLayout* layout);

}  // namespace inkmark
