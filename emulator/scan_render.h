#pragma once
// What the contact image sensor delivers for one scan.

#include "emulator/device.h"

namespace emu {

// Fills job.data, lineBytes and totalLines for a scan of `ticket` (may be
// null: no paper) with `settings`: kLeadLines lines of background, then the
// picture lines. Across: the window from border to border + width mm at
// 8 dots/mm; along: height mm, or the whole ticket when height is 0, at
// 4 or 8 lines/mm. Grey lines hold one byte per dot; black-and-white lines
// one bit per dot, most significant bit first, 1 = white.
void render_scan(const Ticket* ticket, const Settings& settings, ScanJob& job);

// Grey to black-and-white along one line with the two threshold values:
// darker than the lower value is black, at least the upper value is white,
// in between the pixel keeps the colour of its left neighbour.
void threshold_line(const std::uint8_t* grey, int dots, int value1, int value2, std::uint8_t* bits);

}  // namespace emu
