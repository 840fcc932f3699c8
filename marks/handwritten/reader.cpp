#include "marks/handwritten/reader.h"

#include <cstring>
#include <new>
#include <vector>

#include "marks/common/border_cleanup.h"
#include "marks/common/format_text.h"
#include "marks/common/image.h"
#include "marks/common/picture_map.h"
#include "marks/common/skewtrim_binding.h"
#include "marks/handwritten/edge_scan.h"
#include "marks/handwritten/form_fit.h"
#include "marks/handwritten/format_file.h"
#include "marks/handwritten/measurement.h"
#include "marks/handwritten/preparation.h"

namespace inkmark {

namespace {

constexpr int kStraightenMode = 3;

bool valid_bitmap(const Bitmap* b) {
    if (b == nullptr || (b->bitCount != 1 && b->bitCount != 8)) return false;
    if (b->width <= 0 || b->height <= 0 || b->stride <= 0 || b->rows == nullptr || b->bits == nullptr)
        return false;
    // A row must hold the image's pixels.
    return b->stride >= marks::unpadded_stride(b->width, b->bitCount);
}

bool valid_set(const OmrResultSet* set) {
    if (set == nullptr || set->levelCount <= 0 || set->levelCount > kMaxLevels) return false;
    if (set->levels == nullptr || set->blocks == nullptr) return false;
    for (int k = 0; k < set->levelCount; ++k)
        if (set->blocks[k].capacity <= 0 || set->blocks[k].text == nullptr) return false;
    return true;
}

// Everything one read makes; released when the read ends, whatever the outcome.
struct ReadSession {
    marks::Image work;
    marks::Image grey;  // the measurement image of a grey sheet
    EdgeLists lists;
    OmrFormList forms;
    OmrForm current;
    FitResult fit;
    std::vector<CellReading> readings;
    std::string text;
};

bool straighten_sheet(marks::Image& work, int level, const ReadOptions& options) {
    marks::SkewtrimBinding library;
    if (!library.open(options.straightener)) return false;
    if (library.skewtrim == nullptr || library.skewtrimEx == nullptr) return false;
    return marks::skewtrim_in_place(work, library.skewtrim, kStraightenMode, level);
}

// A copy of the working image as it is about to be straightened, so that the
// layout can later ask where the straightening moved its pixels; nothing when
// memory runs out (the read goes on without a layout).
std::optional<marks::Image> keep_unstraightened(const marks::Image& work) {
    try {
        marks::Image copy;
        if (!copy.create(work.width, work.height, work.bitCount)) return std::nullopt;
        std::memcpy(copy.bits(), work.bits(), static_cast<std::size_t>(work.imageSize));
        return copy;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

// Asks the straightening library where it moved the pixels of the pending
// read and carries its layout to the caller's picture; false when the library
// cannot tell, or tells of another size than the straightening gave.
bool place_pending(LayoutRecord& record, PendingPlacement& pending) {
    marks::SkewtrimBinding library;
    if (!library.open(pending.straightener) || library.skewtrimMap == nullptr) return false;
    int width = 0, height = 0;
    const std::optional<marks::Affine> map =
        marks::straightening_map(pending.unstraightened, library.skewtrimMap, pending.level, &width, &height);
    if (!map || width != pending.straightenedWidth || height != pending.straightenedHeight) return false;
    pending.steps.straightening = *map;
    place_layout(record, sheet_to_picture(pending.steps));
    return true;
}

}  // namespace

InkmarkState& library_state() {
    static InkmarkState state;
    return state;
}

int decode_sheet(Bitmap* bitmap, int* selector, int flip, int scanMode, int straighten, OmrResultSet* set,
                 ResultStyle style, const ReadOptions& options) {
    library_state().layout.reset();
    library_state().pending.reset();
    if (!valid_bitmap(bitmap)) return 0;
    if (selector == nullptr || *selector < 0) return 0;
    if (flip != INKMARK_ROWS_AS_GIVEN && flip != INKMARK_ROWS_REVERSED) return 0;
    if (scanMode < INKMARK_SCAN_8DPM_DOUBLED || scanMode > INKMARK_SCAN_12DPM_DOUBLED) return 0;
    if (!valid_set(set)) return 0;
    if (*selector > INKMARK_FORMS_TWO_RATIOS) return 0;
    const int wantedRatios = *selector == INKMARK_FORMS_ONE_RATIO ? 1 : 2;
    *selector = 0;

    ReadSession s;
    PictureSteps steps;
    steps.flip = flip;
    steps.pictureHeight = bitmap->height;
    steps.copyWidth = bitmap->width;
    {
        marks::Image copy;
        const marks::SourceView source{bitmap->width, bitmap->height, bitmap->bitCount, bitmap->stride,
                                       bitmap->rows};
        if (!marks::copy_flipped(source, flip, copy)) return 0;
        if (!resample_to_working(copy, scanMode, s.work)) return 0;
    }
    steps.resampledWidth = s.work.width;
    steps.resampledHeight = s.work.height;
    std::optional<marks::Image> unstraightened;
    if (straighten == 1) {
        unstraightened = keep_unstraightened(s.work);
        if (!straighten_sheet(s.work, set->levels[0], options)) return 0;
        steps.straightened = true;
    }
    steps.workHeight = s.work.height;
    if (s.work.bitCount == 8) {
        s.grey = std::move(s.work);
        s.work = marks::Image();
        if (!threshold_grey(s.grey, set->levels[0], s.work)) return 0;
    }
    marks::clean_borders(s.work, kDotsPerMm);
    for (Edge e : {kEdgeB, kEdgeT, kEdgeL, kEdgeR})
        if (!scan_edge(s.work, e, s.lists[e])) return 0;

    const std::optional<std::string> path =
        marks::locate_format_file(kFormatFileVariable, kDefaultFormatFile);
    if (!path) return 0;
    if (load_form_file(*path, s.forms) <= 0) return 0;
    if (!order_forms(s.forms)) return 0;
    bool fitted = false;
    for (int index : s.forms.order) {
        if (!select_form(s.forms, index, s.current)) return 0;
        if (s.current.ratioCount != wantedRatios) continue;
        const FitOutcome outcome = fit_form(s.current, s.lists, s.work, s.fit);
        if (outcome == FitOutcome::OutOfMemory) return 0;
        if (outcome == FitOutcome::Fitted) {
            fitted = true;
            break;
        }
    }
    if (!fitted) return 0;

    if (!materialize_cells(s.current)) return 0;
    const marks::Image& measured = s.grey.empty() ? s.work : s.grey;
    if (!measure_cells(s.current, s.fit, measured, set->levels, set->levelCount, s.readings)) return 0;

    const int blocks = measured.bitCount == 8 ? set->levelCount : 1;
    for (int k = 0; k < blocks; ++k) {
        OmrResultBlock& block = set->blocks[k];
        if (!build_result_text(s.current, s.fit, s.readings, k, style,
                               static_cast<std::size_t>(block.capacity), s.text))
            return 0;
    }
    // Every text fits: write them all.
    for (int k = 0; k < blocks; ++k) {
        OmrResultBlock& block = set->blocks[k];
        build_result_text(s.current, s.fit, s.readings, k, style, static_cast<std::size_t>(block.capacity),
                          s.text);
        std::memcpy(block.text, s.text.data(), s.text.size());
        block.length = static_cast<std::int32_t>(s.text.size());
    }
    set->resultCount = blocks;
    *selector = s.current.filePosition + 1;
    // The layout never fails the read. A straightened one waits on the sheet
    // until it is asked for, so that reads do not pay for measuring the
    // straightening a second time.
    if (!steps.straightened || unstraightened) {
        try {
            library_state().layout = build_layout(s.current, s.fit, s.readings, blocks);
            if (steps.straightened) {
                library_state().pending =
                    PendingPlacement{std::move(*unstraightened), set->levels[0], s.work.width, s.work.height,
                                     options.straightener,       steps};
            } else {
                place_layout(*library_state().layout, sheet_to_picture(steps));
            }
        } catch (const std::bad_alloc&) {
            library_state().layout.reset();
            library_state().pending.reset();
        }
    }
    return 1;
}

int read_raw_sheet(const std::uint8_t* image, int* selector, int flip, int width, int height, int scanMode,
                   char* result, ResultStyle style, const ReadOptions& options) {
    library_state().layout.reset();
    library_state().pending.reset();
    if (image == nullptr || result == nullptr || width <= 0 || height <= 0) return 0;
    marks::Image sheet;
    if (!sheet.create(width, height, 1)) return 0;
    std::memcpy(sheet.bits(), image, static_cast<std::size_t>(sheet.imageSize));
    Bitmap bitmap{sheet.width,  sheet.height, sheet.bitCount, sheet.imageSize,
                  sheet.stride, sheet.rows(), sheet.bits()};
    std::vector<char> text(kFrontEndCapacity, 0);
    std::int32_t level = kFrontEndLevel;
    OmrResultBlock block{0, kFrontEndCapacity, text.data()};
    OmrResultSet set{0, 1, &level, &block};
    library_state().style = style;
    if (decode_sheet(&bitmap, selector, flip, scanMode, 1, &set, style, options) != 1) return 0;
    std::memcpy(result, text.data(), static_cast<std::size_t>(block.length));
    return 1;
}

int read_layout(MarkLayout* layout) {
    InkmarkState& state = library_state();
    if (layout != nullptr && state.layout && state.pending) {
        if (!place_pending(*state.layout, *state.pending)) state.layout.reset();
        state.pending.reset();
    }
    return copy_layout(state.layout, layout);
}

}  // namespace inkmark
