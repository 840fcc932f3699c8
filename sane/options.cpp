// Option descriptors, values and their constraints.

#include "sane/options.h"

#include <sane/saneopts.h>

#include <algorithm>
#include <cstring>

namespace tqsane {
namespace {

constexpr const char* kModeLineart = SANE_VALUE_SCAN_MODE_LINEART;
constexpr const char* kModeGray = SANE_VALUE_SCAN_MODE_GRAY;
constexpr const char* kAfterEject = "Eject";
constexpr const char* kAfterHold = "Hold";
constexpr const char* kMethodHysteresis = "Hysteresis";
constexpr std::size_t kStringOptionSize = 32;  // bytes, terminator included

SANE_String_Const kModes[] = {kModeLineart, kModeGray, nullptr};
SANE_String_Const kAfterScanActions[] = {kAfterEject, kAfterHold, nullptr};
SANE_String_Const kThresholdMethods[] = {kMethodHysteresis, nullptr};
const SANE_Word kResolutions[] = {2, 100, 200};  // count, then the values in dpi
const SANE_Word kAcrossResolutions[] = {1, kAcrossDpi};
const SANE_Range kWidthRange = {SANE_FIX(0), SANE_FIX(kPassageWidthMm), SANE_FIX(1)};
const SANE_Range kHeightRange = {SANE_FIX(0), SANE_FIX(kMaxScanHeightMm), SANE_FIX(1)};
const SANE_Range kThresholdRange = {0, 255, 1};
const SANE_Range kTicketWaitRange = {0, kMaxTicketWaitSeconds, 1};

SANE_Option_Descriptor group(const char* title) {
    SANE_Option_Descriptor d{};
    d.name = "";
    d.title = title;
    d.desc = "";
    d.type = SANE_TYPE_GROUP;
    d.cap = 0;
    d.constraint_type = SANE_CONSTRAINT_NONE;
    return d;
}

SANE_Option_Descriptor option(const char* name, const char* title, const char* desc, SANE_Value_Type type,
                              SANE_Unit unit) {
    SANE_Option_Descriptor d{};
    d.name = name;
    d.title = title;
    d.desc = desc;
    d.type = type;
    d.unit = unit;
    d.size = type == SANE_TYPE_STRING ? static_cast<SANE_Int>(kStringOptionSize) : sizeof(SANE_Word);
    d.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    d.constraint_type = SANE_CONSTRAINT_NONE;
    return d;
}

SANE_Option_Descriptor with_range(SANE_Option_Descriptor d, const SANE_Range* range) {
    d.constraint_type = SANE_CONSTRAINT_RANGE;
    d.constraint.range = range;
    return d;
}

SANE_Option_Descriptor with_list(SANE_Option_Descriptor d, const SANE_Word* list) {
    d.constraint_type = SANE_CONSTRAINT_WORD_LIST;
    d.constraint.word_list = list;
    return d;
}

SANE_Option_Descriptor with_strings(SANE_Option_Descriptor d, SANE_String_Const* list) {
    d.constraint_type = SANE_CONSTRAINT_STRING_LIST;
    d.constraint.string_list = list;
    return d;
}

SANE_Option_Descriptor read_only(SANE_Option_Descriptor d) {
    d.cap = SANE_CAP_SOFT_DETECT;
    return d;
}

// Fits `v` into the range: clamped, then put on the quantisation grid.
SANE_Word fit_range(SANE_Word v, const SANE_Range& r) {
    v = std::clamp(v, r.min, r.max);
    if (r.quant > 0) {
        const SANE_Word steps = (v - r.min + r.quant / 2) / r.quant;
        v = std::min(r.max, r.min + steps * r.quant);
    }
    return v;
}

// The list entry nearest to `v` (first of equals).
SANE_Word fit_list(SANE_Word v, const SANE_Word* list) {
    SANE_Word best = list[1];
    for (SANE_Word i = 1; i <= list[0]; ++i) {
        const auto d = [v](SANE_Word x) {
            return x > v ? static_cast<long long>(x) - v : static_cast<long long>(v) - x;
        };
        if (d(list[i]) < d(best)) best = list[i];
    }
    return best;
}

bool in_list(const char* s, const SANE_String_Const* list) {
    for (; *list; ++list)
        if (std::strcmp(s, *list) == 0) return true;
    return false;
}

int whole_mm(SANE_Word fixed) {
    return SANE_UNFIX(fixed) < 0 ? 0 : static_cast<int>(SANE_UNFIX(fixed) + 0.5);
}

}  // namespace

int window_width_mm(int leftMm, int rightMm) {
    const int left = std::clamp(leftMm, 0, kPassageWidthMm);
    const int width = rightMm - left;
    return width > 0 ? std::min(width, kPassageWidthMm - left) : kPassageWidthMm - left;
}

OptionTable::OptionTable() {
    auto& d = descriptors_;
    d[kOptCount] = read_only(option(SANE_NAME_NUM_OPTIONS, SANE_TITLE_NUM_OPTIONS, SANE_DESC_NUM_OPTIONS,
                                    SANE_TYPE_INT, SANE_UNIT_NONE));
    d[kOptModeGroup] = group("Scan mode");
    d[kOptMode] =
        with_strings(option(SANE_NAME_SCAN_MODE, SANE_TITLE_SCAN_MODE,
                            "Lineart: black and white by the threshold values; Gray: 256 grey levels.",
                            SANE_TYPE_STRING, SANE_UNIT_NONE),
                     kModes);
    d[kOptResolution] = with_list(option(SANE_NAME_SCAN_RESOLUTION, SANE_TITLE_SCAN_RESOLUTION,
                                         "Lines per inch along the ticket: 100 or 200. Across the ticket the "
                                         "sensor always reads 200 dots per inch.",
                                         SANE_TYPE_INT, SANE_UNIT_DPI),
                                  kResolutions);
    d[kOptXResolution] =
        read_only(with_list(option(SANE_NAME_SCAN_X_RESOLUTION, SANE_TITLE_SCAN_X_RESOLUTION,
                                   "Dots per inch across the ticket (fixed).", SANE_TYPE_INT, SANE_UNIT_DPI),
                            kAcrossResolutions));
    d[kOptYResolution] = read_only(with_list(
        option(SANE_NAME_SCAN_Y_RESOLUTION, SANE_TITLE_SCAN_Y_RESOLUTION,
               "Lines per inch along the ticket (set by resolution).", SANE_TYPE_INT, SANE_UNIT_DPI),
        kResolutions));
    d[kOptAfterScan] =
        with_strings(option("after-scan", "After the scan",
                            "What the device does with the ticket after the scan: Eject it out "
                            "of the front, or Hold it in the passage.",
                            SANE_TYPE_STRING, SANE_UNIT_NONE),
                     kAfterScanActions);
    d[kOptTicketWait] =
        with_range(option("ticket-wait", "Wait for a ticket",
                          "Seconds to wait for a ticket when a scan starts; after that the scan "
                          "ends with 'out of documents'. 0 = do not wait.",
                          SANE_TYPE_INT, SANE_UNIT_NONE),
                   &kTicketWaitRange);
    d[kOptGeometryGroup] = group("Geometry");
    d[kOptLeft] = with_range(option(SANE_NAME_SCAN_TL_X, SANE_TITLE_SCAN_TL_X,
                                    "Left edge of the scan window: the border from the left guide.",
                                    SANE_TYPE_FIXED, SANE_UNIT_MM),
                             &kWidthRange);
    d[kOptRight] = with_range(option(SANE_NAME_SCAN_BR_X, SANE_TITLE_SCAN_BR_X,
                                     "Right edge of the scan window; at or left of the left edge = up to the "
                                     "right guide.",
                                     SANE_TYPE_FIXED, SANE_UNIT_MM),
                              &kWidthRange);
    d[kOptBottom] = with_range(option(SANE_NAME_SCAN_BR_Y, SANE_TITLE_SCAN_BR_Y,
                                      "Length of ticket to scan from its leading edge; 0 = the whole ticket.",
                                      SANE_TYPE_FIXED, SANE_UNIT_MM),
                               &kHeightRange);
    d[kOptEnhancementGroup] = group("Enhancement");
    d[kOptThresholdMethod] = with_strings(
        option("threshold-method", "Threshold method", "How grey levels become black and white (Lineart).",
               SANE_TYPE_STRING, SANE_UNIT_NONE),
        kThresholdMethods);
    d[kOptThreshold1] =
        with_range(option(SANE_NAME_THRESHOLD, "Threshold 1",
                          "A dot darker than the lower of the two thresholds is black; one at "
                          "least as light as the higher is white; one in between takes the "
                          "colour of its left neighbour.",
                          SANE_TYPE_INT, SANE_UNIT_NONE),
                   &kThresholdRange);
    d[kOptThreshold2] =
        with_range(option("threshold-2", "Threshold 2", "The second threshold (see threshold).",
                          SANE_TYPE_INT, SANE_UNIT_NONE),
                   &kThresholdRange);

    for (int n = 0; n < kOptionCount; ++n) set_auto(n, nullptr);
    word(kOptCount) = kOptionCount;
    update_activity();
}

void OptionTable::update_activity() {
    const bool lineart = mode_ == kModeLineart;
    for (int n : {kOptThresholdMethod, kOptThreshold1, kOptThreshold2}) {
        auto& cap = descriptors_[static_cast<std::size_t>(n)].cap;
        cap = lineart ? (cap & ~SANE_CAP_INACTIVE) : (cap | SANE_CAP_INACTIVE);
    }
    word(kOptYResolution) = word(kOptResolution);
    word(kOptXResolution) = kAcrossDpi;
}

const SANE_Option_Descriptor* OptionTable::descriptor(int n) const {
    if (n < 0 || n >= kOptionCount) return nullptr;
    return &descriptors_[static_cast<std::size_t>(n)];
}

SANE_Status OptionTable::get(int n, void* value) const {
    const SANE_Option_Descriptor* d = descriptor(n);
    if (!d || !value || d->type == SANE_TYPE_GROUP || !SANE_OPTION_IS_ACTIVE(d->cap))
        return SANE_STATUS_INVAL;
    if (d->type == SANE_TYPE_STRING) {
        const std::string& s = n == kOptMode ? mode_ : n == kOptAfterScan ? afterScan_ : thresholdMethod_;
        std::memcpy(value, s.c_str(), s.size() + 1);
    } else {
        *static_cast<SANE_Word*>(value) = word(n);
    }
    return SANE_STATUS_GOOD;
}

SANE_Status OptionTable::set(int n, const void* value, SANE_Int* info) {
    const SANE_Option_Descriptor* d = descriptor(n);
    if (info) *info = 0;
    if (!d || !value || d->type == SANE_TYPE_GROUP) return SANE_STATUS_INVAL;
    if (!SANE_OPTION_IS_SETTABLE(d->cap) || !SANE_OPTION_IS_ACTIVE(d->cap)) return SANE_STATUS_INVAL;

    SANE_Int flags = 0;
    if (d->type == SANE_TYPE_STRING) {
        // The frontend's buffer is d->size bytes; never read past it.
        const char* text = static_cast<const char*>(value);
        const std::string s(text, strnlen(text, static_cast<std::size_t>(d->size)));
        if (!in_list(s.c_str(), d->constraint.string_list)) return SANE_STATUS_INVAL;
        if (n == kOptMode) {
            if (s != mode_) flags |= SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
            mode_ = s;
        } else if (n == kOptAfterScan) {
            afterScan_ = s;
        } else {
            thresholdMethod_ = s;
        }
    } else {
        const SANE_Word asked = *static_cast<const SANE_Word*>(value);
        SANE_Word v = asked;
        if (d->constraint_type == SANE_CONSTRAINT_RANGE) v = fit_range(v, *d->constraint.range);
        if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) v = fit_list(v, d->constraint.word_list);
        if (v != asked) flags |= SANE_INFO_INEXACT;
        if (n == kOptResolution && v != word(n)) flags |= SANE_INFO_RELOAD_OPTIONS;
        if (n == kOptResolution || n == kOptLeft || n == kOptRight || n == kOptBottom)
            flags |= SANE_INFO_RELOAD_PARAMS;
        word(n) = v;
    }
    update_activity();
    if (info) *info = flags;
    return SANE_STATUS_GOOD;
}

SANE_Status OptionTable::set_auto(int n, SANE_Int* info) {
    if (info) *info = 0;
    switch (n) {
        case kOptMode:
            mode_ = kModeGray;
            break;
        case kOptAfterScan:
            afterScan_ = kAfterEject;
            break;
        case kOptThresholdMethod:
            thresholdMethod_ = kMethodHysteresis;
            break;
        case kOptResolution:
            word(n) = 200;
            break;
        case kOptTicketWait:
            word(n) = kDefaultTicketWaitSeconds;
            break;
        case kOptLeft:
            word(n) = SANE_FIX(0);
            break;
        case kOptRight:
            word(n) = SANE_FIX(kPassageWidthMm);
            break;
        case kOptBottom:
            word(n) = SANE_FIX(0);
            break;
        case kOptThreshold1:
            word(n) = 160;
            break;
        case kOptThreshold2:
            word(n) = 95;
            break;
        default:
            return SANE_STATUS_INVAL;
    }
    update_activity();
    if (info) *info = SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
    return SANE_STATUS_GOOD;
}

ScanSettings OptionTable::settings() const {
    ScanSettings s;
    s.pictureType = mode_ == kModeGray ? 1 : 0;
    s.linesPerMm = word(kOptResolution) == 100 ? 4 : 8;
    s.borderMm = std::min(whole_mm(word(kOptLeft)), kPassageWidthMm - 1);
    s.widthMm = window_width_mm(s.borderMm, whole_mm(word(kOptRight)));
    s.heightMm = std::min(whole_mm(word(kOptBottom)), kMaxScanHeightMm);
    s.threshold1 = word(kOptThreshold1);
    s.threshold2 = word(kOptThreshold2);
    s.eject = afterScan_ == kAfterEject;
    s.ticketWaitSeconds = word(kOptTicketWait);
    return s;
}

SANE_Parameters OptionTable::parameters() const {
    const ScanSettings s = settings();
    SANE_Parameters p{};
    p.format = SANE_FRAME_GRAY;
    p.last_frame = SANE_TRUE;
    p.depth = s.pictureType == 1 ? 8 : 1;
    p.pixels_per_line = s.widthMm * kDotsPerMm;
    p.bytes_per_line = s.pictureType == 1 ? p.pixels_per_line : p.pixels_per_line / 8;
    p.lines = s.heightMm > 0 ? s.heightMm * s.linesPerMm : -1;
    return p;
}

}  // namespace tqsane
