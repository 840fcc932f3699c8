// The option table: defaults, constraints, activity and the settings and
// parameters a scan gets from them.

#include "sane/options.h"

#include <gtest/gtest.h>
#include <sane/saneopts.h>

#include <cstring>
#include <string>
#include <vector>

#include "sane/ticket_scan.h"

namespace {

using tqsane::OptionTable;

int find(const OptionTable& t, const char* name) {
    for (int n = 0; t.descriptor(n); ++n)
        if (std::strcmp(t.descriptor(n)->name, name) == 0) return n;
    return -1;
}

SANE_Int set_word(OptionTable& t, const char* name, SANE_Word v, SANE_Status expect = SANE_STATUS_GOOD) {
    SANE_Int info = -1;
    EXPECT_EQ(t.set(find(t, name), &v, &info), expect) << name;
    return info;
}

SANE_Status set_string(OptionTable& t, const char* name, const char* v, SANE_Int* info = nullptr) {
    std::vector<char> buffer(static_cast<std::size_t>(t.descriptor(find(t, name))->size), 0);
    std::strncpy(buffer.data(), v, buffer.size() - 1);
    return t.set(find(t, name), buffer.data(), info);
}

TEST(Options, DefaultsScanTheWholeTicketInGreyAt200DpiAndEject) {
    OptionTable t;
    SANE_Word count = 0;
    ASSERT_EQ(t.get(0, &count), SANE_STATUS_GOOD);
    EXPECT_EQ(count, tqsane::kOptionCount);
    EXPECT_EQ(t.descriptor(count), nullptr);
    EXPECT_EQ(t.descriptor(-1), nullptr);

    const tqsane::ScanSettings s = t.settings();
    EXPECT_EQ(s.pictureType, 1);
    EXPECT_EQ(s.linesPerMm, 8);
    EXPECT_EQ(s.borderMm, 0);
    EXPECT_EQ(s.widthMm, 216);
    EXPECT_EQ(s.heightMm, 0);
    EXPECT_TRUE(s.eject);
    EXPECT_EQ(s.ticketWaitSeconds, tqsane::kDefaultTicketWaitSeconds);

    const SANE_Parameters p = t.parameters();
    EXPECT_EQ(p.format, SANE_FRAME_GRAY);
    EXPECT_EQ(p.depth, 8);
    EXPECT_EQ(p.pixels_per_line, 1728);
    EXPECT_EQ(p.bytes_per_line, 1728);
    EXPECT_EQ(p.lines, -1);  // the whole ticket: known after the scan
    EXPECT_TRUE(p.last_frame);

    // Every descriptor a frontend walks is well formed.
    for (int n = 0; n < count; ++n) {
        const SANE_Option_Descriptor* d = t.descriptor(n);
        ASSERT_NE(d->name, nullptr);
        ASSERT_NE(d->title, nullptr);
        ASSERT_NE(d->desc, nullptr);
        if (d->type == SANE_TYPE_GROUP || !SANE_OPTION_IS_ACTIVE(d->cap)) continue;
        std::vector<char> value(static_cast<std::size_t>(d->size) + 1, 0);
        EXPECT_EQ(t.get(n, value.data()), SANE_STATUS_GOOD) << d->name;
    }
}

TEST(Options, LineartAtHundredDpiWithAWindowGivesBitRowsAndKnownLines) {
    OptionTable t;
    SANE_Int info = 0;
    ASSERT_EQ(set_string(t, SANE_NAME_SCAN_MODE, SANE_VALUE_SCAN_MODE_LINEART, &info), SANE_STATUS_GOOD);
    EXPECT_TRUE(info & SANE_INFO_RELOAD_OPTIONS);
    EXPECT_TRUE(info & SANE_INFO_RELOAD_PARAMS);
    EXPECT_TRUE(set_word(t, SANE_NAME_SCAN_RESOLUTION, 100) & SANE_INFO_RELOAD_PARAMS);
    set_word(t, SANE_NAME_SCAN_TL_X, SANE_FIX(10));
    set_word(t, SANE_NAME_SCAN_BR_X, SANE_FIX(64));
    set_word(t, SANE_NAME_SCAN_BR_Y, SANE_FIX(80));

    const tqsane::ScanSettings s = t.settings();
    EXPECT_EQ(s.pictureType, 0);
    EXPECT_EQ(s.linesPerMm, 4);
    EXPECT_EQ(s.borderMm, 10);
    EXPECT_EQ(s.widthMm, 54);
    EXPECT_EQ(s.heightMm, 80);
    const SANE_Parameters p = t.parameters();
    EXPECT_EQ(p.depth, 1);
    EXPECT_EQ(p.pixels_per_line, 54 * 8);
    EXPECT_EQ(p.bytes_per_line, 54);
    EXPECT_EQ(p.lines, 320);

    SANE_Word x = 0, y = 0;
    ASSERT_EQ(t.get(find(t, SANE_NAME_SCAN_X_RESOLUTION), &x), SANE_STATUS_GOOD);
    ASSERT_EQ(t.get(find(t, SANE_NAME_SCAN_Y_RESOLUTION), &y), SANE_STATUS_GOOD);
    EXPECT_EQ(x, 200);
    EXPECT_EQ(y, 100);
    // Read-only options refuse a value.
    set_word(t, SANE_NAME_SCAN_X_RESOLUTION, 100, SANE_STATUS_INVAL);
}

TEST(Options, ThresholdsAreActiveOnlyForLineartAndReachTheSettings) {
    OptionTable t;
    const int threshold = find(t, SANE_NAME_THRESHOLD);
    ASSERT_GE(threshold, 0);
    EXPECT_FALSE(SANE_OPTION_IS_ACTIVE(t.descriptor(threshold)->cap));
    SANE_Word v = 0;
    EXPECT_EQ(t.get(threshold, &v), SANE_STATUS_INVAL);
    set_word(t, SANE_NAME_THRESHOLD, 100, SANE_STATUS_INVAL);

    ASSERT_EQ(set_string(t, SANE_NAME_SCAN_MODE, SANE_VALUE_SCAN_MODE_LINEART), SANE_STATUS_GOOD);
    EXPECT_TRUE(SANE_OPTION_IS_ACTIVE(t.descriptor(threshold)->cap));
    set_word(t, SANE_NAME_THRESHOLD, 128);
    set_word(t, "threshold-2", 130);
    EXPECT_EQ(t.settings().threshold1, 128);
    EXPECT_EQ(t.settings().threshold2, 130);
}

TEST(Options, ValuesOutsideTheirConstraintsAreFittedOrRefused) {
    OptionTable t;
    // Numbers snap to the nearest allowed value and say so.
    EXPECT_TRUE(set_word(t, SANE_NAME_SCAN_RESOLUTION, 180) & SANE_INFO_INEXACT);
    EXPECT_EQ(t.settings().linesPerMm, 8);
    EXPECT_TRUE(set_word(t, SANE_NAME_SCAN_RESOLUTION, 120) & SANE_INFO_INEXACT);
    EXPECT_EQ(t.settings().linesPerMm, 4);
    EXPECT_TRUE(set_word(t, SANE_NAME_SCAN_BR_Y, SANE_FIX(1000)) & SANE_INFO_INEXACT);
    EXPECT_EQ(t.settings().heightMm, 297);
    EXPECT_TRUE(set_word(t, SANE_NAME_SCAN_TL_X, SANE_FIX(-5)) & SANE_INFO_INEXACT);
    EXPECT_EQ(t.settings().borderMm, 0);
    EXPECT_TRUE(set_word(t, "ticket-wait", -1) & SANE_INFO_INEXACT);
    EXPECT_EQ(t.settings().ticketWaitSeconds, 0);
    EXPECT_EQ(set_word(t, SANE_NAME_SCAN_BR_X, SANE_FIX(100.4)) & SANE_INFO_INEXACT, SANE_INFO_INEXACT);
    EXPECT_EQ(t.settings().widthMm, 100);

    // Strings must be one of the list; an unterminated one is read only up to the option's size.
    EXPECT_EQ(set_string(t, SANE_NAME_SCAN_MODE, "Color"), SANE_STATUS_INVAL);
    EXPECT_EQ(set_string(t, "after-scan", "Hold"), SANE_STATUS_GOOD);
    EXPECT_FALSE(t.settings().eject);
    std::vector<char> unterminated(static_cast<std::size_t>(t.descriptor(find(t, SANE_NAME_SCAN_MODE))->size),
                                   'G');
    EXPECT_EQ(t.set(find(t, SANE_NAME_SCAN_MODE), unterminated.data(), nullptr), SANE_STATUS_INVAL);

    // Groups, bad indexes and null values are refused.
    SANE_Word w = 0;
    EXPECT_EQ(t.set(tqsane::kOptGeometryGroup, &w, nullptr), SANE_STATUS_INVAL);
    EXPECT_EQ(t.set(tqsane::kOptionCount, &w, nullptr), SANE_STATUS_INVAL);
    EXPECT_EQ(t.set(tqsane::kOptMode, nullptr, nullptr), SANE_STATUS_INVAL);
    EXPECT_EQ(t.get(-3, &w), SANE_STATUS_INVAL);

    // Automatic values are the defaults.
    EXPECT_EQ(t.set_auto(tqsane::kOptMode, nullptr), SANE_STATUS_GOOD);
    EXPECT_EQ(t.settings().pictureType, 1);
}

TEST(Options, ScanWindowNeverLeavesThePassage) {
    // br-x at or left of tl-x means: up to the right guide.
    EXPECT_EQ(tqsane::window_width_mm(0, 216), 216);
    EXPECT_EQ(tqsane::window_width_mm(20, 20), 196);
    EXPECT_EQ(tqsane::window_width_mm(20, 5), 196);
    EXPECT_EQ(tqsane::window_width_mm(20, 74), 54);
    EXPECT_EQ(tqsane::window_width_mm(216, 216), 0);

    OptionTable t;
    set_word(t, SANE_NAME_SCAN_TL_X, SANE_FIX(216));
    const tqsane::ScanSettings s = t.settings();
    EXPECT_EQ(s.borderMm, 215);  // at least one millimetre stays to scan
    EXPECT_EQ(s.widthMm, 1);
    EXPECT_LE(s.borderMm + s.widthMm, 216);
}

TEST(LineartConversion, DeviceWhiteBitsBecomeSaneBlackBits) {
    std::vector<std::uint8_t> rows{0xFF, 0x00, 0x0F, 0xA5};
    tqsane::invert_lineart(rows);
    EXPECT_EQ(rows, (std::vector<std::uint8_t>{0x00, 0xFF, 0xF0, 0x5A}));
}

}  // namespace
