#pragma once
// Laying a print job down: text in the built-in fonts at four angles and
// stored pictures, on a canvas as wide as the print head.

#include <cstdint>
#include <string>

#include "emulator/device.h"

namespace emu {

// True when `size` is accepted for font code `font` ('0', 'P' or '9').
bool font_size_valid(int font, int size);

// Character cell of a font size in dots (width, height).
void font_cell(int font, int size, int& cellWidth, int& cellHeight);

// Draws `text` with its box's top-left corner at (x, y) of the canvas,
// rotated by angle x 90 degrees counter-clockwise, with grey level `ink`.
void draw_text(GreyImage& canvas, int x, int y, int angle, int font, int size, const std::string& text,
               std::uint8_t ink);

// The grey level of a printed dot for a darkness setting 0..255.
std::uint8_t ink_for_darkness(int darkness);

// The print job as the head lays it down (kPrintHeadDots wide).
GreyImage render_print_job(const Device& device);

// Finishes the running print job at time `at`: renders it, lays it on the
// ticket, writes the printed ticket to the print folder, sets printDone.
void complete_print(Device& device, std::int64_t at);

}  // namespace emu
