#pragma once
// The options of one open scanner: their SANE descriptors, their current
// values, and the scan settings they add up to. Values are checked and fitted
// to their constraints here, so the scan code only ever sees valid settings.

#include <sane/sane.h>

#include <array>
#include <string>

namespace tqsane {

enum Option : int {
    kOptCount = 0,
    kOptModeGroup,
    kOptMode,
    kOptResolution,
    kOptXResolution,
    kOptYResolution,
    kOptAfterScan,
    kOptTicketWait,
    kOptGeometryGroup,
    kOptLeft,    // tl-x: border from the left guide
    kOptRight,   // br-x: right edge of the window
    kOptBottom,  // br-y: height along the ticket, 0 = the whole ticket
    kOptEnhancementGroup,
    kOptThresholdMethod,
    kOptThreshold1,
    kOptThreshold2,
    kOptionCount
};

// What one scan asks of the device, in the device's own units.
struct ScanSettings {
    int pictureType = 1;   // 0 black-and-white, 1 grey
    int linesPerMm = 8;    // 4 or 8 lines per millimetre along the ticket
    int borderMm = 0;      // 0..216 from the left guide
    int widthMm = 216;     // 1..216, border + width <= 216
    int heightMm = 0;      // 0..297, 0 = the whole ticket
    int threshold1 = 160;  // 0..255
    int threshold2 = 95;   // 0..255
    bool eject = true;     // eject after the scan, else hold the ticket
    int ticketWaitSeconds = 30;
};

inline constexpr int kPassageWidthMm = 216;
inline constexpr int kMaxScanHeightMm = 297;
inline constexpr int kDotsPerMm = 8;
inline constexpr int kAcrossDpi = 200;  // 8 dots per millimetre, as the device names it
inline constexpr int kMaxTicketWaitSeconds = 3600;
inline constexpr int kDefaultTicketWaitSeconds = 30;

class OptionTable {
public:
    OptionTable();

    // The descriptor of option n, or nullptr when n is out of range.
    const SANE_Option_Descriptor* descriptor(int n) const;

    // Copies the value of option n into `value` (a SANE_Word, or a string
    // buffer of the descriptor's size). INVAL for a bad index, a group or an
    // inactive option.
    SANE_Status get(int n, void* value) const;

    // Sets option n from `value`, fitting numbers to their range or list
    // (SANE_INFO_INEXACT when changed) and rejecting unknown strings (INVAL).
    // `info` receives the reload flags; it may be null.
    SANE_Status set(int n, const void* value, SANE_Int* info);

    // SANE_ACTION_SET_AUTO: resets option n to its default.
    SANE_Status set_auto(int n, SANE_Int* info);

    ScanSettings settings() const;

    // Parameters of the picture the settings describe; lines = -1 when the
    // height is the whole ticket (known only after the scan).
    SANE_Parameters parameters() const;

private:
    void update_activity();
    SANE_Word& word(int n) { return words_[static_cast<std::size_t>(n)]; }
    SANE_Word word(int n) const { return words_[static_cast<std::size_t>(n)]; }

    std::array<SANE_Option_Descriptor, kOptionCount> descriptors_{};
    std::array<SANE_Word, kOptionCount> words_{};
    std::string mode_;
    std::string afterScan_;
    std::string thresholdMethod_;
};

// Width of the scan window in whole millimetres from the geometry options:
// br-x - tl-x, or everything right of the border when that is 0 or less.
int window_width_mm(int leftMm, int rightMm);

}  // namespace tqsane
