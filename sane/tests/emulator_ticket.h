#pragma once
// A test ticket for the software scanner-printer, and the pictures the kit's
// own library makes of it: the reference the backend's output must match.

#include <cstdint>
#include <string>
#include <vector>

namespace tqsane_test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr int kTicketWidth = 432;   // 54 mm at 8 dots per mm
inline constexpr int kTicketHeight = 640;  // 80 mm

// A white ticket with black boxes and a grey ramp (8-bit grey, top row first).
Bytes make_ticket();

// Writes `grey` (width x height, top row first) as an 8-bit BMP with a grey palette.
bool write_grey_bmp(const std::string& path, const Bytes& grey, int width, int height);

// One scan of the ticket now at the entry through libKestrom.so itself, as
// an application of the kit does it: raw rows as ReadPictureData leaves them.
struct KitScan {
    Bytes rows;
    int lineBytes = 0;
    int lines = 0;
};
bool kit_scan(const std::string& kestromPath, int pictureType, int linesPerMm, int borderMm, int widthMm,
              int threshold1, int threshold2, KitScan& out);

// Reads a binary PNM (P4 or P5) as scanimage writes it.
struct Pnm {
    char kind = 0;  // '4' or '5'
    int width = 0, height = 0;
    Bytes data;
};
bool read_pnm(const std::string& path, Pnm& out);

}  // namespace tqsane_test
