#include "marks/printed/reader.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "imaging/Skewtrim.h"
#include "marks/common/border_cleanup.h"
#include "marks/common/format_text.h"
#include "marks/common/skewtrim_binding.h"
#include "marks/printed/block_fit.h"
#include "marks/printed/form_file.h"
#include "marks/printed/printed_form.h"
#include "marks/printed/result_text.h"
#include "platform/files.h"

namespace typemark {

namespace {

constexpr int kStraightenMode = SKEWTRIM_MODE_BILINEAR;  // SkewtrimEx resampling
constexpr int kQuarterTurn = 90;
constexpr int kOrientationOrder[4] = {0, 2, 1, 3};
// Largest scan accepted, in bytes of 1-bit rows (far beyond any ticket).
constexpr std::size_t kMaxScanBytes = std::size_t{1} << 28;
// Largest straightened image a read keeps a copy of for its layout, in bytes (a ticket needs
// well under a megabyte; 32 MiB holds tens of metres of paper).
constexpr int kMaxTracedBytes = 32 << 20;

// Pixels (centres at whole numbers) of the copied and stretched image back to the caller's
// rows: `repeat` rows of the stretched copy per copied row; the copy's row 0 is left dark and
// flip 0 puts caller row y at row y + 1, flip 1 at row height - y.
marks::Affine undo_preparation(int flip, int repeat, int height) {
    const double n = repeat;
    const marks::Affine unstretch{1.0, 0.0, 0.0, 0.0, 1.0 / n, 0.5 / n - 0.5};
    const marks::Affine unflip = flip == 1
                                     ? marks::Affine{1.0, 0.0, 0.0, 0.0, -1.0, static_cast<double>(height)}
                                     : marks::Affine::translate(0.0, -1.0);
    return unstretch.then(unflip);
}

}  // namespace

TypemarkState& library_state() {
    static TypemarkState state;
    return state;
}

ReadRequest make_request(const std::uint8_t* pixels, std::size_t stride, int width, int height,
                         int straighten, int flip, int scanMode, int* selector) {
    ReadRequest rq;
    rq.pixels = pixels;
    rq.stride = stride;
    rq.width = width;
    rq.height = height;
    rq.straighten = straighten;
    rq.flip = flip;
    rq.scanMode = scanMode;
    rq.selector = selector;
    return rq;
}

int dots_per_mm(int scanMode) {
    switch (scanMode) {
        case 1:
        case 2:
            return 8;
        case 3:
        case 4:
            return 12;
        default:
            return 0;
    }
}

bool repeat_rows(const marks::Image& image, int repeat, marks::Image& out) {
    const long long height = static_cast<long long>(image.height) * repeat;
    if (repeat < 1 || height > 0x7fffffff) return false;
    if (!out.create(image.width, static_cast<int>(height), image.bitCount)) return false;
    const std::size_t n = static_cast<std::size_t>(image.stride);
    for (int y = 0; y < image.height; ++y)
        for (int r = 0; r < repeat; ++r) std::memcpy(out.row(y * repeat + r), image.row(y), n);
    return true;
}

bool quarter_turn(marks::Image& image, RotatePicSPFn rotatePicSP) {
    if (image.bitCount != 1) return false;
    return marks::rotate_in_place(image, rotatePicSP, kQuarterTurn);
}

std::optional<std::string> read_form(const std::vector<Region>& regions, const PrintedForm& form, int dpm,
                                     int* orientationOut, FitReport* fit) {
    const auto layout = layout_for_reading(form);
    if (!layout) return std::nullopt;
    std::map<std::pair<int, int>, std::vector<const Region*>> candidates;
    for (int orientation : kOrientationOrder) {
        const PrintedForm adapted = adapt_to_orientation(*layout, orientation);
        const auto key = std::make_pair(adapted.markWidth, adapted.markHeight);
        auto it = candidates.find(key);
        if (it == candidates.end())
            it = candidates.emplace(key, select_candidates(regions, key.first, key.second, dpm)).first;
        if (it->second.empty()) continue;
        if (auto grid = fit_block(it->second, adapted, dpm, fit != nullptr ? &fit->place : nullptr)) {
            if (orientationOut != nullptr) *orientationOut = orientation;
            std::string text = result_text(*grid, orientation);
            if (fit != nullptr) {
                fit->orientation = orientation;
                fit->rowCount = adapted.rowCount;
                fit->columnCount = adapted.columnCount;
                fit->grid = std::move(*grid);
            }
            return text;
        }
    }
    return std::nullopt;
}

BlockSearch read_block(const marks::Image& image, int dpm, int* selector, std::string& text, int* orientation,
                       FitReport* fit) {
    const std::vector<Region> regions = find_dark_regions(image, dpm);
    const auto path = format_file_path();
    if (!path) return BlockSearch::NoForms;
    const auto file = platform::read_file(*path);
    if (!file || file->empty()) return BlockSearch::NoForms;

    marks::FormText form;
    if (*selector == 0) {
        int number = 0;
        std::size_t pos = 0;
        while (marks::read_form_text(*file, pos, form) == marks::FormTextStatus::Ok) {
            pos = form.nextOffset;
            const auto parsed = parse_printed_form(form.values, dpm);
            if (!parsed) break;  // a form that fails to parse ends the search
            ++number;
            if (auto found = read_form(regions, *parsed, dpm, orientation, fit)) {
                text = std::move(*found);
                if (fit != nullptr) fit->form = number;
                *selector = number;
                return BlockSearch::Fitted;
            }
        }
        return number > 0 ? BlockSearch::NotFitted : BlockSearch::NoForms;
    }
    std::size_t pos = 0;
    if (!skip_forms(*file, pos, *selector - 1)) return BlockSearch::NoForms;
    if (marks::read_form_text(*file, pos, form) != marks::FormTextStatus::Ok) return BlockSearch::NoForms;
    const auto parsed = parse_printed_form(form.values, dpm);
    if (!parsed) return BlockSearch::NoForms;
    if (auto found = read_form(regions, *parsed, dpm, orientation, fit)) {
        text = std::move(*found);
        if (fit != nullptr) fit->form = *selector;
        *selector = 0;
        return BlockSearch::Fitted;
    }
    return BlockSearch::NotFitted;
}

std::optional<std::string> read_printed_marks(const ReadRequest& rq) {
    if (dots_per_mm(rq.scanMode) == 0 || rq.selector == nullptr || *rq.selector < 0) return std::nullopt;
    marks::SkewtrimBinding skewtrim;  // released when the read ends, on every path
    if (!skewtrim.open(library_state().skewtrimLibrary) || skewtrim.skewtrimEx == nullptr ||
        skewtrim.rotatePicSP == nullptr || skewtrim.saveBmpToFile == nullptr)
        return std::nullopt;
    return read_with(rq, skewtrim.skewtrimEx, skewtrim.rotatePicSP);
}

std::optional<SheetLayout> layout_through_library(const ReadTrace& trace) {
    if (!trace.straightened) return layout_of(trace, nullptr);
    marks::SkewtrimBinding skewtrim;
    if (!skewtrim.open(library_state().skewtrimLibrary)) return std::nullopt;
    return layout_of(trace, skewtrim.skewtrimMap);
}

std::optional<std::string> read_with(const ReadRequest& rq, SkewtrimExFn skewtrimEx,
                                     RotatePicSPFn rotatePicSP) {
    if (rq.trace != nullptr) rq.trace->reset();
    const int dpm = dots_per_mm(rq.scanMode);
    if (dpm == 0 || rq.selector == nullptr || *rq.selector < 0) return std::nullopt;
    if (rq.pixels == nullptr || rq.width <= 0 || rq.height <= 0) return std::nullopt;
    if (rq.flip != 0 && rq.flip != 1) return std::nullopt;
    const std::int64_t rowBytes = marks::unpadded_stride(rq.width, 1);
    if (rowBytes <= 0 || rq.stride < static_cast<std::size_t>(rowBytes)) return std::nullopt;
    if (rowBytes * rq.height > static_cast<std::int64_t>(kMaxScanBytes)) return std::nullopt;

    // The copy with row 0 dark, flipped as asked, then stretched to full line resolution.
    std::vector<const std::uint8_t*> sourceRows(static_cast<std::size_t>(rq.height));
    for (int y = 0; y < rq.height; ++y)
        sourceRows[static_cast<std::size_t>(y)] = rq.pixels + static_cast<std::size_t>(y) * rq.stride;
    marks::SourceView source;
    source.width = rq.width;
    source.height = rq.height;
    source.bitCount = 1;
    source.stride = static_cast<int>(std::min<std::size_t>(rq.stride, 0x7fffffff));
    source.rows = sourceRows.data();
    marks::Image image;
    if (!marks::copy_flipped(source, rq.flip, image)) return std::nullopt;
    const int repeat = rq.scanMode == 1 ? 2 : (rq.scanMode == 3 ? 3 : 1);
    if (repeat > 1) {
        marks::Image stretched;
        if (!repeat_rows(image, repeat, stretched)) return std::nullopt;
        std::swap(image, stretched);
    }
    // What the layout will need, while it can be had.
    bool tracing = rq.trace != nullptr;
    ReadTrace trace;
    if (tracing) trace.preparation = undo_preparation(rq.flip, repeat, rq.height);

    if (rq.straighten == 1) {
        tracing = tracing && image.imageSize <= kMaxTracedBytes;
        if (tracing) {
            trace.straightened = true;
            trace.beforeStraightening.assign(image.bits(), image.bits() + image.imageSize);
            trace.widthBefore = image.width;
            trace.heightBefore = image.height;
        }
        if (!marks::skewtrim_ex_in_place(image, skewtrimEx, kStraightenMode)) return std::nullopt;
    }
    trace.widthAfter = image.width;
    trace.heightAfter = image.height;
    marks::clean_borders(image, dpm);

    std::string text;
    int selector = *rq.selector;
    FitReport* fit = tracing ? &trace.fit : nullptr;
    BlockSearch outcome = read_block(image, dpm, &selector, text, rq.orientation, fit);
    if (outcome == BlockSearch::NotFitted) {
        // Once more with the image turned by a quarter.
        if (!quarter_turn(image, rotatePicSP)) return std::nullopt;
        trace.turned = true;
        if (rq.turned != nullptr) *rq.turned = 1;
        selector = *rq.selector;
        outcome = read_block(image, dpm, &selector, text, rq.orientation, fit);
    }
    if (outcome != BlockSearch::Fitted) return std::nullopt;
    *rq.selector = selector;
    if (tracing) {
        trace.fit.ratios = cell_ratios(trace.fit.place, image);
        *rq.trace = std::move(trace);
    }
    return text;
}

}  // namespace typemark
