#include "picture_file.h"

#include <cstdlib>
#include <fstream>
#include <limits>

#include "cli.h"
#include "kit/bmp_header.h"

namespace ticketkit {
namespace {

constexpr std::int32_t kMaxSide = 65535;  // dots; larger files are refused
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;
constexpr int kDotsPerMetre4 = 3938;  // 4 lines per mm
constexpr int kDotsPerMetre8 = 7875;  // 8 lines per mm

std::vector<std::uint8_t> read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail(kExitUsage, path + ": cannot open (missing or not readable)");
    // One read of the whole file (a ticket is a few megabytes at most).
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) fail(kExitUsage, path + ": cannot read (not a regular file?)");
    in.seekg(0, std::ios::beg);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), size))
        fail(kExitUsage, path + ": read error");
    return bytes;
}

// What a file that is not a BMP seems to be, for the message.
std::string not_bmp_reason(const std::vector<std::uint8_t>& b) {
    if (b.empty()) return "empty file, not a BMP";
    if (b.size() >= 8 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G')
        return "a PNG file, not a BMP";
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return "a JPEG file, not a BMP";
    if (b.size() >= 4 && ((b[0] == 'I' && b[1] == 'I') || (b[0] == 'M' && b[1] == 'M')) &&
        (b[2] == 42 || b[3] == 42))
        return "a TIFF file, not a BMP";
    bool text = true;
    for (std::size_t i = 0; i < b.size() && i < 512; ++i)
        if (b[i] < 9 || (b[i] > 13 && b[i] < 32)) text = false;
    return text ? "a text file, not a BMP" : "not a BMP file (no \"BM\" signature)";
}

using Header = kit::bmp::Header;

// Parses and checks the headers; "" when usable, else the reason.
std::string parse_header(const std::vector<std::uint8_t>& b, Header& h) {
    if (b.size() < 2 || b[0] != 'B' || b[1] != 'M') return not_bmp_reason(b);
    switch (kit::bmp::decode_headers(b.data(), b.size(), h)) {
        case kit::bmp::Verdict::Truncated:
            return "BMP header cut short";
        case kit::bmp::Verdict::NotBmp:
            return not_bmp_reason(b);
        case kit::bmp::Verdict::UnsupportedHeader:
            return "old-style BMP header (OS/2), not supported";
        case kit::bmp::Verdict::Compressed:  // judged below, after the planes and the depth
        case kit::bmp::Verdict::Ok:
            break;
    }
    if (h.planes != 1) return "damaged BMP header (planes is not 1)";
    if (h.compression == kCompressionRle8 || h.compression == kCompressionRle4)
        return "RLE-compressed BMP, only uncompressed BMP files are supported";
    if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 24 && h.bitCount != 32)
        return "unsupported depth: " + std::to_string(h.bitCount) + " bits per pixel";
    if (h.compressed()) return "unsupported BMP compression " + std::to_string(h.compression);
    if (h.width <= 0 || h.width > kMaxSide || h.height == 0 ||
        h.height == std::numeric_limits<std::int32_t>::min() || std::abs(h.height) > kMaxSide)
        return "unsupported picture size " + std::to_string(h.width) + " x " + std::to_string(h.height);
    const auto stride = static_cast<std::uint64_t>(kit::bmp::stored_row_bytes(h.width, h.bitCount));
    const std::uint64_t need =
        static_cast<std::uint64_t>(h.pixelOffset) + stride * static_cast<std::uint64_t>(std::abs(h.height));
    if (h.pixelOffset < h.palette_offset() || need > b.size()) return "pixel data cut short (damaged BMP)";
    return "";
}

}  // namespace

int lines_per_mm_from(int dotsPerMetre) {
    auto near = [dotsPerMetre](int target) { return std::abs(dotsPerMetre - target) * 50 <= target; };
    if (near(kDotsPerMetre4)) return 4;
    if (near(kDotsPerMetre8)) return 8;
    return 0;
}

std::string bmp_problem(const std::string& path) {
    try {
        const std::vector<std::uint8_t> b = read_all(path);
        Header h;
        return parse_header(b, h);
    } catch (const Failure&) {
        return "cannot open (missing or not readable)";
    }
}

PictureFile load_picture(const std::string& path) {
    const std::vector<std::uint8_t> b = read_all(path);
    Header h;
    if (const std::string why = parse_header(b, h); !why.empty()) fail(kExitUsage, path + ": " + why);

    PictureFile p;
    p.width = h.width;
    p.height = std::abs(h.height);
    p.topDown = h.height < 0;
    p.fileBits = h.bitCount;
    p.dotsPerMetreX = h.xPixelsPerMetre;
    p.dotsPerMetreY = h.yPixelsPerMetre;
    const auto fileStride = static_cast<std::size_t>(kit::bmp::stored_row_bytes(h.width, h.bitCount));
    auto fileRow = [&](int y) {
        const int stored = p.topDown ? y : p.height - 1 - y;
        return &b[h.pixelOffset + fileStride * static_cast<std::size_t>(stored)];
    };

    // The palette as blue, green, red entries; missing entries are black.
    std::vector<std::uint8_t> palette;
    bool greyPalette = true;
    if (h.bitCount <= 8) {
        const std::size_t entries = std::size_t{1} << h.bitCount;
        std::size_t given = h.coloursUsed == 0 || h.coloursUsed > entries ? entries : h.coloursUsed;
        const std::size_t start = h.palette_offset();
        if (start + given * kit::bmp::kPaletteEntryBytes > h.pixelOffset)
            given = start < h.pixelOffset ? (h.pixelOffset - start) / kit::bmp::kPaletteEntryBytes : 0;
        palette.assign(entries * 3, 0);
        for (std::size_t i = 0; i < given; ++i)
            for (int k = 0; k < 3; ++k)
                palette[i * 3 + static_cast<std::size_t>(k)] =
                    b[start + i * kit::bmp::kPaletteEntryBytes + static_cast<std::size_t>(k)];
        for (std::size_t i = 0; i < entries; ++i) {
            const std::uint8_t* e = &palette[i * 3];
            if (e[0] != e[1] || e[1] != e[2]) greyPalette = false;
        }
    }

    if (h.bitCount == 1) {
        // Kept as bits; a palette whose entry 0 is the lighter one is inverted
        // so that 1 stays white.
        const bool invert = kit::bmp::white_first(&palette[0], &palette[3]);
        p.bitCount = 1;
        p.stride = (p.width + 7) / 8;
        p.rows.resize(static_cast<std::size_t>(p.stride) * static_cast<std::size_t>(p.height));
        for (int y = 0; y < p.height; ++y) {
            const std::uint8_t* src = fileRow(y);
            std::uint8_t* dst = &p.rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.stride)];
            for (int i = 0; i < p.stride; ++i) dst[i] = invert ? static_cast<std::uint8_t>(~src[i]) : src[i];
        }
        return p;
    }
    const bool grey = h.bitCount == 8 && greyPalette;
    p.bitCount = grey ? 8 : 24;
    p.stride = grey ? p.width : p.width * 3;
    p.rows.resize(static_cast<std::size_t>(p.stride) * static_cast<std::size_t>(p.height));
    for (int y = 0; y < p.height; ++y) {
        const std::uint8_t* src = fileRow(y);
        std::uint8_t* dst = &p.rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.stride)];
        for (int x = 0; x < p.width; ++x) {
            const std::uint8_t* bgr = nullptr;
            switch (h.bitCount) {
                case 4:
                    bgr = &palette[static_cast<std::size_t>((src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F) * 3];
                    break;
                case 8:
                    bgr = &palette[static_cast<std::size_t>(src[x]) * 3];
                    break;
                case 24:
                    bgr = &src[x * 3];
                    break;
                default:
                    bgr = &src[x * 4];
                    break;  // 32 bits: blue, green, red, unused or alpha
            }
            if (grey) {
                dst[x] = bgr[0];
            } else {
                dst[x * 3] = bgr[0];
                dst[x * 3 + 1] = bgr[1];
                dst[x * 3 + 2] = bgr[2];
            }
        }
    }
    return p;
}

}  // namespace ticketkit
