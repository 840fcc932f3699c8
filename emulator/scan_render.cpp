#include "emulator/scan_render.h"

#include <algorithm>

namespace emu {
namespace {

// The grey level the sensor dot `x` sees on ticket row band [row, row + rows).
std::uint8_t sample(const Ticket* ticket, int x, int row, int rows) {
    if (ticket == nullptr) return kBackgroundGrey;
    int sum = 0;
    for (int r = row; r < row + rows; ++r) {
        std::uint8_t grey = kBackgroundGrey;
        ticket->paper_at(x, r, grey);
        sum += grey;
    }
    return static_cast<std::uint8_t>((sum + rows / 2) / rows);
}

}  // namespace

void threshold_line(const std::uint8_t* grey, int dots, int value1, int value2, std::uint8_t* bits) {
    const int low = std::min(value1, value2);
    const int high = std::max(value1, value2);
    const int bytes = (dots + 7) / 8;
    std::fill(bits, bits + bytes, 0);
    bool white = true;
    for (int x = 0; x < dots; ++x) {
        if (grey[x] < low)
            white = false;
        else if (grey[x] >= high)
            white = true;
        if (white) bits[x >> 3] = static_cast<std::uint8_t>(bits[x >> 3] | (0x80 >> (x & 7)));
    }
}

void render_scan(const Ticket* ticket, const Settings& settings, ScanJob& job) {
    const int firstDot = settings.border * kDotsPerMm;
    const int dots = settings.width * kDotsPerMm;
    const int linesPerMm = settings.linesPerMm == 4 ? 4 : 8;
    const int rowsPerLine = kDotsPerMm / linesPerMm;
    int pictureLines = settings.height * linesPerMm;
    if (settings.height == 0) {
        const int ticketRows = ticket != nullptr ? ticket->extent_rows() : 0;
        pictureLines = std::min((ticketRows + rowsPerLine - 1) / rowsPerLine, kMaxScanMm * linesPerMm);
    }
    job.pictureType = settings.pictureType;
    job.linesPerMm = linesPerMm;
    job.lineBytes = settings.pictureType == 1 ? dots : settings.width;
    job.totalLines = kLeadLines + pictureLines;
    job.data.assign(static_cast<std::size_t>(job.lineBytes) * job.totalLines, 0);
    if (job.data.empty()) return;

    std::vector<std::uint8_t> grey(static_cast<std::size_t>(dots));
    for (int line = 0; line < job.totalLines; ++line) {
        const bool lead = line < kLeadLines;
        const int row = (line - kLeadLines) * rowsPerLine;
        for (int i = 0; i < dots; ++i)
            grey[i] = lead ? kBackgroundGrey : sample(ticket, firstDot + i, row, rowsPerLine);
        std::uint8_t* out = &job.data[static_cast<std::size_t>(line) * job.lineBytes];
        if (job.pictureType == 1)
            std::copy(grey.begin(), grey.end(), out);
        else
            threshold_line(grey.data(), dots, settings.threshold1, settings.threshold2, out);
    }
}

}  // namespace emu
