#include "marks/printed/reader.h"

#include <algorithm>
#include <map>
#include <utility>

#include "marks/printed/block_fit.h"
#include "marks/printed/border_cleanup.h"
#include "marks/printed/form_file.h"
#include "marks/printed/printed_form.h"
#include "marks/printed/result_text.h"
#include "marks/printed/skewtrim_binding.h"
#include "platform/files.h"

namespace typemark {

namespace {

constexpr int kStraightenMode = 2;        // SkewtrimEx resampling mode
constexpr int kQuarterTurn = 90;
constexpr std::size_t kTurnSlack = 1024;  // bytes added to the block before a quarter turn
constexpr int kOrientationOrder[4] = {0, 2, 1, 3};

// Room for the straightened image. Its size is the paper's, normally smaller than the
// scan; the outline's corners are bounded by lines through points of the image, so twice
// the sum of the sides bounds each output side.
std::size_t straighten_capacity(int width, int height) {
    const std::size_t side = 2 * (static_cast<std::size_t>(width) + static_cast<std::size_t>(height));
    const std::size_t room = (side + 7) / 8 * side + 1024;
    return std::min(room, kMaxImageBytes);
}

}  // namespace

TypemarkState& library_state() {
    static TypemarkState state;
    return state;
}

int dots_per_mm(int scanMode) {
    switch (scanMode) {
        case 1: case 2: return 8;
        case 3: case 4: return 12;
        default: return 0;
    }
}

std::optional<std::string> read_form(const std::vector<Region>& regions, const PrintedForm& form, int dpm,
                                     int* orientationOut) {
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
        if (const auto grid = fit_block(it->second, adapted, dpm)) {
            if (orientationOut != nullptr) *orientationOut = orientation;
            return result_text(*grid, orientation);
        }
    }
    return std::nullopt;
}

BlockSearch read_block(const WorkingImage& image, int dpm, int* selector, std::string& text, int* orientation) {
    const std::vector<Region> regions = find_dark_regions(image, printed_mark_rules(dpm));
    const auto path = format_file_path();
    if (!path) return BlockSearch::NoForms;
    const auto file = platform::read_file(*path);
    if (!file || file->empty()) return BlockSearch::NoForms;

    std::vector<double> values;
    std::size_t pos = 0;
    if (*selector == 0) {
        int number = 0;
        while (read_form_values(*file, pos, values) == FormStatus::Ok) {
            const auto form = parse_printed_form(values, dpm);
            if (!form) break;  // a form that fails to parse ends the search
            ++number;
            if (auto found = read_form(regions, *form, dpm, orientation)) {
                text = std::move(*found);
                *selector = number;
                return BlockSearch::Fitted;
            }
        }
        return number > 0 ? BlockSearch::NotFitted : BlockSearch::NoForms;
    }
    if (!skip_forms(*file, pos, *selector - 1)) return BlockSearch::NoForms;
    if (read_form_values(*file, pos, values) != FormStatus::Ok) return BlockSearch::NoForms;
    const auto form = parse_printed_form(values, dpm);
    if (!form) return BlockSearch::NoForms;
    if (auto found = read_form(regions, *form, dpm, orientation)) {
        text = std::move(*found);
        *selector = 0;
        return BlockSearch::Fitted;
    }
    return BlockSearch::NotFitted;
}

std::optional<std::string> read_printed_marks(const ReadRequest& rq) {
    const int dpm = dots_per_mm(rq.scanMode);
    if (dpm == 0 || rq.selector == nullptr || *rq.selector < 0) return std::nullopt;
    if (rq.pixels == nullptr || rq.width <= 0 || rq.height <= 0) return std::nullopt;
    if (rq.flip != 0 && rq.flip != 1) return std::nullopt;

    SkewtrimBinding skewtrim;  // released when the read ends, on every path
    if (!skewtrim.bind(library_state().skewtrimLibrary)) return std::nullopt;

    const int repeat = rq.scanMode == 1 ? 2 : (rq.scanMode == 3 ? 3 : 1);
    const long long stretched = static_cast<long long>(rq.height) * repeat;
    if (stretched > 0x7fffffff) return std::nullopt;
    const std::size_t capacity =
        rq.straighten == 1 ? straighten_capacity(rq.width, static_cast<int>(stretched)) : 0;
    WorkingImage image;
    if (!prepare_copy(rq.pixels, rq.stride, rq.width, rq.height, rq.flip, repeat, capacity, image))
        return std::nullopt;

    if (rq.straighten == 1) {
        int w = image.width(), h = image.height();
        if (skewtrim.skewtrimEx(image.bits(), &w, &h, 1, kStraightenMode) == 0) return std::nullopt;
        if (!image.resize(w, h)) return std::nullopt;
    }
    clean_borders(image, 2 * dpm, dpm);

    std::string text;
    int* selector = rq.selector;
    int local = *selector;
    BlockSearch outcome = read_block(image, dpm, &local, text, rq.orientation);
    if (outcome == BlockSearch::NotFitted) {
        // Once more with the image turned by a quarter.
        int w = image.width(), h = image.height();
        const std::size_t need = static_cast<std::size_t>(w) * ((static_cast<std::size_t>(h) + 7) / 8) + kTurnSlack;
        if (need > kMaxImageBytes + kTurnSlack || !image.reserve(need)) return std::nullopt;
        if (skewtrim.rotatePicSP(image.bits(), &w, &h, 1, kQuarterTurn) != 0) return std::nullopt;
        if (!image.resize(w, h)) return std::nullopt;
        local = *selector;
        if (rq.turned != nullptr) *rq.turned = 1;
        outcome = read_block(image, dpm, &local, text, rq.orientation);
    }
    if (outcome != BlockSearch::Fitted) return std::nullopt;
    *selector = local;
    return text;
}

}  // namespace typemark
