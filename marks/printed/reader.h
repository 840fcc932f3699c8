#pragma once
// Reading one sheet: binding the bitmap library, preparing and straightening the working
// image, cleaning its borders, finding the printed-mark block of a form in one of four
// orientations, and the quarter-turn retry.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "marks/common/image.h"
#include "marks/printed/dark_regions.h"
#include "marks/printed/printed_form.h"
#include "marks/printed/read_layout.h"

namespace typemark {

// Process-wide settings of the library.
struct TypemarkState {
    // The bitmap library, by logical name or file path.
    std::string skewtrimLibrary = "Skewtrim.dll";
    // The last successful read through an export, until its layout is asked for; forgotten
    // by every other read.
    std::optional<ReadTrace> lastRead;
    // Its layout once asked for (nothing when it cannot be had).
    std::optional<SheetLayout> lastLayout;
};
TypemarkState& library_state();

struct ReadRequest {
    const std::uint8_t* pixels = nullptr;  // 1-bit rows, `stride` bytes apart
    std::size_t stride = 0;
    int width = 0, height = 0;
    int straighten = 1;
    int flip = 0;
    int scanMode = 2;
    int* selector = nullptr;
    int* orientation = nullptr;  // optional: receives the orientation the block was read in
    int* turned = nullptr;       // optional: set to 1 when the quarter-turn retry ran
    // optional: receives what a successful read takes to work out its layout; left empty on
    // failure, and for a straightened image too large to keep a copy of
    std::optional<ReadTrace>* trace = nullptr;
};

// A request for `height` rows of `width` dots, `stride` bytes apart at `pixels`, with
// the caller's options; orientation and turn reports are left off.
ReadRequest make_request(const std::uint8_t* pixels, std::size_t stride, int width, int height,
                         int straighten, int flip, int scanMode, int* selector);

// Dots per millimetre of a scan mode: 8 for modes 1 and 2, 12 for 3 and 4, else 0.
int dots_per_mm(int scanMode);

using SkewtrimExFn = int (*)(std::uint8_t* pixels, int* width, int* height, int bitCount, int mode);
using RotatePicSPFn = int (*)(std::uint8_t* pixels, int* width, int* height, int bitCount, int angle);
using marks::SkewtrimMapFn;

// The result text (without its terminating zero), or nothing when the read fails. Binds
// the bitmap library for the read (SkewtrimEx, RotatePicSP and SaveBmpToFile must exist).
std::optional<std::string> read_printed_marks(const ReadRequest& request);

// The read after binding, with the straightening and turning calls given.
std::optional<std::string> read_with(const ReadRequest& request, SkewtrimExFn skewtrimEx,
                                     RotatePicSPFn rotatePicSP);

// The layout a read traced, asking the bitmap library (bound for the call, like a read)
// where its straightening took the pixels from. Nothing when the library or its SkewtrimMap
// is missing or cannot say.
std::optional<SheetLayout> layout_through_library(const ReadTrace& trace);

enum class BlockSearch { Fitted, NotFitted, NoForms };

// Reading proper on a prepared image: regions, forms, orientations. On Fitted, `text`
// holds the result, the selector is updated and `fit` (when given) says where the block lies.
BlockSearch read_block(const marks::Image& image, int dpm, int* selector, std::string& text,
                       int* orientation = nullptr, FitReport* fit = nullptr);

// A copy of `image` whose every row is repeated `repeat` times (scan modes with half or
// a third of the line resolution). False when the size is out of range or memory runs out.
bool repeat_rows(const marks::Image& image, int repeat, marks::Image& out);

// Turns the image by a quarter through RotatePicSP (which answers SKEWTRIM_OK on success), first
// enlarging the pixel block to width x ((height + 7) / 8) + 1024 bytes and the row table
// to width entries.
bool quarter_turn(marks::Image& image, RotatePicSPFn rotatePicSP);

// Tries one form in the four orientations on the regions of an image. `fit` (when given)
// receives where the block lies; its form number is left to the caller.
std::optional<std::string> read_form(const std::vector<Region>& regions, const PrintedForm& form, int dpm,
                                     int* orientation = nullptr, FitReport* fit = nullptr);

}  // namespace typemark
