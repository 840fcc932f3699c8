#include "emulator/print_job.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "emulator/bitmap_font.h"
#include "platform/files.h"

namespace emu {
namespace {

constexpr int kPixelsPerMetre = kDotsPerMm * 1000;
constexpr int kDefaultPrintMm = 100;         // print buffer height 0 without a ticket
constexpr std::uint8_t kInkThreshold = 128;  // stored-picture pixels darker than this print

void ink_dot(GreyImage& canvas, int x, int y, std::uint8_t ink) {
    if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) return;
    std::uint8_t& dot = canvas.at(x, y);
    dot = std::min(dot, ink);
}

std::string next_print_file(Device& device) {
    for (int attempt = 0; attempt < 100000; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "printed-%04d.bmp", ++device.printFileCounter);
        const std::string path = device.env.printDir + "/" + name;
        if (!platform::file_exists(path)) return path;
    }
    return {};
}

// A print item that reaches beyond the print head is cut there; say so on
// stderr rather than lose the overhang silently.
void report_overhang(int rightDot, int leftDot, const std::string& what) {
    if (rightDot <= kPrintHeadDots) return;
    std::fprintf(stderr,
                 "emulator: print %s placed at %d mm reaches %d dots beyond the %d-dot (%d mm) print head; "
                 "the overhang is not printed\n",
                 what.c_str(), leftDot / kDotsPerMm, rightDot - kPrintHeadDots, kPrintHeadDots,
                 kPrintHeadDots / kDotsPerMm);
}

}  // namespace

bool font_size_valid(int font, int size) {
    switch (font) {
        case '0':
            return size >= 0 && size <= 8;
        case 'P':
            return size == 6 || size == 8 || size == 10 || size == 12 || size == 14 || size == 18;
        case '9':
            return size >= 0 && size <= 7;
        default:
            return false;
    }
}

void font_cell(int font, int size, int& cellWidth, int& cellHeight) {
    switch (font) {
        case 'P':  // ASD: sizes in points
            cellHeight = static_cast<int>(std::lround(size * 25.4 / 72.0 * kDotsPerMm));
            cellWidth = cellHeight * kCellColumns / kCellRows;
            break;
        case '9':  // Courier: fixed pitch, 3:5 cells
            cellHeight = 16 + 8 * size;
            cellWidth = cellHeight * 3 / 5;
            break;
        default:  // '0', byte: whole multiples of the 6 x 8 cell
            cellHeight = kCellRows * (size + 1);
            cellWidth = kCellColumns * (size + 1);
            break;
    }
}

void draw_text(GreyImage& canvas, int x, int y, int angle, int font, int size, const std::string& text,
               std::uint8_t ink) {
    int cellWidth = 0, cellHeight = 0;
    font_cell(font, size, cellWidth, cellHeight);
    const int boxWidth = cellWidth * static_cast<int>(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<std::uint8_t>(text[i]);
        for (int v = 0; v < cellHeight; ++v) {
            const int row = v * kCellRows / cellHeight;
            for (int cu = 0; cu < cellWidth; ++cu) {
                if (!glyph_dot(c, cu * kCellColumns / cellWidth, row)) continue;
                const int u = static_cast<int>(i) * cellWidth + cu;
                switch (angle & 3) {
                    case 0:
                        ink_dot(canvas, x + u, y + v, ink);
                        break;
                    case 1:
                        ink_dot(canvas, x + v, y + boxWidth - 1 - u, ink);
                        break;
                    case 2:
                        ink_dot(canvas, x + boxWidth - 1 - u, y + cellHeight - 1 - v, ink);
                        break;
                    default:
                        ink_dot(canvas, x + cellHeight - 1 - v, y + u, ink);
                        break;
                }
            }
        }
    }
}

std::uint8_t ink_for_darkness(int darkness) {
    const int d = std::clamp(darkness, 0, 255);
    return static_cast<std::uint8_t>(255 - (64 + d * 191 / 255));
}

GreyImage render_print_job(const Device& device) {
    int heightMm = device.print.heightMm;
    if (heightMm <= 0) {
        heightMm = device.ticket ? static_cast<int>(std::ceil(device.ticket->length_mm())) : kDefaultPrintMm;
    }
    GreyImage canvas;
    canvas.width = kPrintHeadDots;
    canvas.height = heightMm * kDotsPerMm;
    canvas.pixels.assign(static_cast<std::size_t>(canvas.width) * canvas.height, 255);
    const std::uint8_t ink = ink_for_darkness(device.settings.darkness);
    for (const PrintItem& item : device.print.items) {
        const int x = item.hor * kDotsPerMm;
        const int y = item.ver * kDotsPerMm;
        if (item.isText) {
            int cellWidth = 0, cellHeight = 0;
            font_cell(item.font, item.size, cellWidth, cellHeight);
            const int length = cellWidth * static_cast<int>(item.text.size());
            report_overhang(x + ((item.angle & 1) ? cellHeight : length), x, "text \"" + item.text + "\"");
            draw_text(canvas, x, y, item.angle, item.font, item.size, item.text, ink);
            continue;
        }
        const StoredBitmap* stored = device.find_bitmap(item.text);
        GreyImage picture;
        if (stored == nullptr || !decode_bmp(stored->file.data(), stored->file.size(), picture)) continue;
        report_overhang(x + picture.width, x, "picture " + item.text);
        for (int py = 0; py < picture.height; ++py) {
            for (int px = 0; px < picture.width; ++px) {
                if (picture.at(px, py) < kInkThreshold) ink_dot(canvas, x + px, y + py, ink);
            }
        }
    }
    return canvas;
}

void complete_print(Device& device, std::int64_t at) {
    (void)at;
    GreyImage canvas = render_print_job(device);
    if (device.ticket) {
        // Head dot x lands on ticket column x - offset.
        GreyImage& paper = device.ticket->image;
        const int offset = device.ticket->placement.offsetDots;
        const int rows = std::min(canvas.height, paper.height);
        for (int y = 0; y < rows; ++y) {
            for (int x = std::max(0, offset); x < canvas.width && x - offset < paper.width; ++x) {
                std::uint8_t& dot = paper.at(x - offset, y);
                dot = std::min(dot, canvas.at(x, y));
            }
        }
        device.lastPrintedTicket = paper;
    } else {
        device.lastPrintedTicket = canvas;
    }
    device.lastPrint = std::move(canvas);
    device.printDone = true;

    if (device.env.printDir.empty()) return;
    if (!platform::is_directory(device.env.printDir) && !platform::create_directory(device.env.printDir))
        return;
    const std::string path = next_print_file(device);
    const std::vector<std::uint8_t> file = encode_grey_bmp(device.lastPrintedTicket, kPixelsPerMetre);
    if (!path.empty() && platform::write_file(path, file.data(), file.size())) device.lastPrintFile = path;
}

}  // namespace emu
