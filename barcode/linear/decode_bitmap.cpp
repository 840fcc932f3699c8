#include "barcode/linear/decode_bitmap.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "barcode/common/halftone.h"
#include "barcode/linear/image.h"
#include "barcode/linear/line_walk.h"
#include "barcode/linear/search.h"
#include "platform/reentrant_lock.h"

namespace stripescan {
namespace {

constexpr int kResultGrowth = 16;
constexpr int kHorizontalPass = 1;
constexpr int kVerticalPass = 2;
// Lone pixels per pixel from which the paper counts as salted (SearchSettings::saltedPaper): a
// local threshold leaves about one in a hundred; printed and thresholded scans next to none.
constexpr double kSaltedLoneShare = 0.002;

// Pixel buffers kept between calls so that a page does not cost fresh pages of memory each time.
// Callers are asked to call one at a time; the lock keeps the buffers whole if they do not.
struct WorkBuffers {
    platform::ReentrantLock lock;          // guards both buffers for the length of one call
    std::vector<std::uint8_t> copy;        // the working copy of the caller's picture
    std::vector<std::uint8_t> transposed;  // the picture with rows and columns exchanged
    std::vector<std::uint8_t> smoothed;    // a dithered picture smoothed (barcode::smooth_halftone)
};

WorkBuffers& work_buffers() {
    static WorkBuffers buffers;
    return buffers;
}

// The symbologies asked for in one call: which numbers are marked, and with which setting.
struct RequestTable {
    std::array<bool, kSymbologySlots> marked{};
    std::array<bool, kSymbologySlots> itself{};
    std::array<const SymbologySetting*, kSymbologySlots> setting{};
};

RequestTable read_request(const DecodeRequest& request) {
    RequestTable t;
    for (int i = 0; i < request.settingCount; ++i) {
        const SymbologySetting& s = request.settings[i];
        if (s.symbology < 1 || s.symbology > 10) continue;
        t.marked[static_cast<std::size_t>(s.symbology)] = true;
        t.itself[static_cast<std::size_t>(s.symbology)] = true;
        t.setting[static_cast<std::size_t>(s.symbology)] = &s;
    }
    if (t.itself[kGs1128] && !t.itself[kCode128]) {
        t.marked[kCode128] = true;
        t.setting[kCode128] = t.setting[kGs1128];
    }
    if (t.itself[kUpcA] && !t.itself[kEan13]) {
        t.marked[kEan13] = true;
        t.setting[kEan13] = t.setting[kUpcA];
    }
    return t;
}

// Whether the request lies within the bounds its header states: settings present and
// 1..STRIPESCAN_MAX_SETTINGS of them, minSize at most STRIPESCAN_MAX_MIN_SIZE (a larger unit
// would lay no scan line on any real page and overflows the line spacing) and every
// minElementWidth at most STRIPESCAN_MAX_ELEMENT_WIDTH. Below-minimum minSize and
// minElementWidth values stay valid: they mean 8 and no merge.
bool request_in_bounds(const DecodeRequest& request) {
    if (!request.settings || request.settingCount < 1 || request.settingCount > STRIPESCAN_MAX_SETTINGS)
        return false;
    if (request.minSize > STRIPESCAN_MAX_MIN_SIZE) return false;
    for (int i = 0; i < request.settingCount; ++i) {
        if (request.settings[i].minElementWidth > STRIPESCAN_MAX_ELEMENT_WIDTH) return false;
    }
    return true;
}

// An image the search can read: positive sizes, 1 bit, pixels present and large enough.
bool usable(const Bitmap& b) {
    if (b.width <= 0 || b.height <= 0 || b.stride <= 0 || b.bitCount != 1 || !b.bits) return false;
    if (static_cast<long long>(b.stride) * 8 < b.width) return false;
    return static_cast<long long>(b.imageSize) >= static_cast<long long>(b.stride) * b.height;
}

// Appends one result; false when memory ran out.
bool append(BarcodeResultList& list, const FoundSymbol& found) {
    if (list.count == list.capacity) {
        const int capacity = list.capacity + kResultGrowth;
        void* grown = std::realloc(list.results, sizeof(BarcodeResult) * static_cast<std::size_t>(capacity));
        if (!grown) return false;
        list.results = static_cast<BarcodeResult*>(grown);
        list.capacity = capacity;
    }
    const std::string& text = found.decoded.text;
    auto* bytes = static_cast<std::uint8_t*>(std::malloc(text.size() + 1));
    if (!bytes) return false;
    std::memcpy(bytes, text.data(), text.size());
    bytes[text.size()] = 0;
    BarcodeResult& r = list.results[list.count++];
    r = BarcodeResult{};
    r.symbology = found.decoded.symbology;
    r.text = bytes;
    r.length = static_cast<std::int32_t>(text.size());
    r.fnc2Seen = found.decoded.fnc2 ? 1 : 0;
    for (int i = 0; i < 4; ++i) {
        r.corners[2 * i] = found.corners[i].x;
        r.corners[2 * i + 1] = found.corners[i].y;
    }
    r.scanDirX = found.direction.x;
    r.scanDirY = found.direction.y;
    return true;
}

// True when the centre of `inner`'s corners lies within the bounding box of `outer`'s.
bool centre_inside(const FoundSymbol& inner, const FoundSymbol& outer) {
    long long cx = 0, cy = 0;
    int x0 = outer.corners[0].x, x1 = x0, y0 = outer.corners[0].y, y1 = y0;
    for (const Point& p : inner.corners) {
        cx += p.x;
        cy += p.y;
    }
    for (const Point& p : outer.corners) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    cx /= 4;
    cy /= 4;
    return cx >= x0 && cx <= x1 && cy >= y0 && cy <= y1;
}

// Drops Interleaved 2 of 5 readings that lie inside another symbol found on the page: the
// start and stop of 2 of 5 (narrow bar, space, bar, space; wide bar, space, bar) occur within
// the bars of many symbols, and 2 of 5 has no check to tell such a reading from a symbol.
void drop_interleaved_inside_others(std::vector<FoundSymbol>& found) {
    std::vector<FoundSymbol> kept;
    for (const FoundSymbol& f : found) {
        bool inside = false;
        if (f.decoded.symbology == kInterleaved2of5) {
            for (const FoundSymbol& other : found) {
                if (other.decoded.symbology != kInterleaved2of5 && centre_inside(f, other)) inside = true;
            }
        }
        if (!inside) kept.push_back(f);
    }
    found.swap(kept);
}

// The horizontal and the vertical search of one picture, as the request's directions ask.
void search_both(Image& picture, const SearchSettings& settings, int directions,
                 std::vector<FoundSymbol>& found, std::vector<std::uint8_t>& scratch) {
    if (directions & kHorizontalPass) search_pass(picture, settings, false, found, scratch);
    if (directions & kVerticalPass) search_pass(picture, settings, true, found, scratch);
}

}  // namespace

void free_results(BarcodeResultList& list) {
    if (list.results) {
        for (int i = 0; i < list.count; ++i) std::free(list.results[i].text);
        std::free(list.results);
    }
    list = BarcodeResultList{};
}

int decode_bitmap(Bitmap& bitmap, const DecodeRequest& request, BarcodeResultList& list) {
    if (!request_in_bounds(request)) return STRIPESCAN_FAILED;
    list = BarcodeResultList{};
    const RequestTable table = read_request(request);
    SearchSettings settings;
    for (int number = 1; number <= 8; ++number) {
        if (!table.marked[static_cast<std::size_t>(number)]) continue;
        ActiveDecoder d;
        d.symbology = find_symbology(number);
        d.options.setting = *table.setting[static_cast<std::size_t>(number)];
        d.options.requestedItself = table.itself;
        settings.decoders.push_back(d);
    }
    settings.sizeUnit = std::max(request.minSize, kMinSizeUnit);
    settings.lineNoise = request.settings[0].minElementWidth;
    if (!usable(bitmap) || settings.decoders.empty()) return STRIPESCAN_OK;

    std::vector<FoundSymbol> found;
    try {
        const std::size_t bytes =
            static_cast<std::size_t>(bitmap.stride) * static_cast<std::size_t>(bitmap.height);
        WorkBuffers& buffers = work_buffers();
        platform::LockGuard guard(buffers.lock);
        if (buffers.copy.size() < bytes + 16) buffers.copy.resize(bytes + 16);
        std::memcpy(buffers.copy.data(), bitmap.bits, bytes);
        Image work{bitmap.width, bitmap.height, bitmap.stride, buffers.copy.data()};
        const double loneShare =
            barcode::lone_pixel_share(bitmap.bits, bitmap.width, bitmap.height, bitmap.stride);
        settings.saltedPaper = loneShare >= kSaltedLoneShare;
        search_both(work, settings, request.directions, found, buffers.transposed);
        // A dithered picture (grey paper scattered with lone dots, bar edges frayed) is searched
        // once more smoothed, where what the first search found is already erased.
        if (barcode::looks_dithered(loneShare)) {
            barcode::smooth_halftone(bitmap.bits, bitmap.width, bitmap.height, bitmap.stride,
                                     buffers.smoothed);
            buffers.smoothed.resize(bytes + 16);
            Image smooth{bitmap.width, bitmap.height, bitmap.stride, buffers.smoothed.data()};
            for (const FoundSymbol& f : found) fill_quadrilateral(smooth, f.corners);
            search_both(smooth, settings, request.directions, found, buffers.transposed);
        }
    } catch (const std::bad_alloc&) {
        for (const FoundSymbol& f : found) {
            if (!append(list, f)) break;
        }
        return STRIPESCAN_FAILED;
    }
    drop_interleaved_inside_others(found);
    Image caller{bitmap.width, bitmap.height, bitmap.stride, bitmap.bits};
    for (const FoundSymbol& f : found) {
        if (!append(list, f)) return STRIPESCAN_FAILED;
        const SymbologySetting* s = table.setting[static_cast<std::size_t>(f.decoded.symbology)];
        if (s && s->eraseFound != 0) fill_quadrilateral(caller, f.corners);
    }
    return STRIPESCAN_OK;
}

}  // namespace stripescan
