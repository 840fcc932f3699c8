#pragma once
// The headers of Windows BMP files, read and written in one place for every
// BMP reader and writer of the kit.
//
// A file starts with a 14-byte file header ("BM", file size, two reserved
// words, pixel-data offset) and an information header whose first four bytes
// give its own size: 40 bytes in the common form, 108 or 124 in the later ones,
// which begin with the same 40 bytes. The palette (four bytes an entry: blue,
// green, red, reserved) follows the information header, wherever it ends.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kit::bmp {

inline constexpr std::size_t kFileHeaderBytes = 14;
inline constexpr std::size_t kInfoHeaderBytes = 40;  // the part of every information header read
inline constexpr std::size_t kPaletteEntryBytes = 4;
inline constexpr std::uint32_t kUncompressed = 0;
inline constexpr std::uint32_t kBitFields = 3;  // plain 32-bit pixels with channel masks

// The fields of both headers, as stored.
struct Header {
    std::uint32_t fileSize = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t infoSize = kInfoHeaderBytes;
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative: rows stored top-down
    std::uint16_t planes = 1;
    int bitCount = 0;
    std::uint32_t compression = kUncompressed;
    std::uint32_t imageSize = 0;
    std::int32_t xPixelsPerMetre = 0;
    std::int32_t yPixelsPerMetre = 0;
    std::uint32_t coloursUsed = 0;
    std::uint32_t coloursImportant = 0;

    // Byte position of the first palette entry: right after the information header.
    std::size_t palette_offset() const { return kFileHeaderBytes + infoSize; }
    // True for run-length (RLE4/RLE8), JPEG, PNG and other packed pixel data;
    // 32-bit pixels with channel masks are stored plainly and count as uncompressed.
    bool compressed() const {
        return compression != kUncompressed && !(compression == kBitFields && bitCount == 32);
    }
};

// Reads the 14-byte file header at `bytes` into `out`; false when the
// signature is not "BM" (nothing else is judged).
bool decode_file_header(const std::uint8_t* bytes, Header& out);

// Reads the first 40 bytes of an information header at `bytes` into `out`.
void decode_info_header(const std::uint8_t* bytes, Header& out);

// What a whole file in memory says about itself.
enum class Verdict {
    Ok,
    Truncated,          // ends inside a header
    NotBmp,             // no "BM" signature
    UnsupportedHeader,  // information header shorter than 40 bytes (an OS/2 core header)
    Compressed,         // pixel data stored compressed (see Header::compressed)
};

// Decodes both headers of the `size` bytes at `data`; `out` holds whatever was
// read even when the verdict is not kOk.
Verdict decode_headers(const std::uint8_t* data, std::size_t size, Header& out);

// True when a two-colour palette puts the lighter colour first (index 0 white),
// so that the stored bits must be inverted to keep 1 as light. `entry1` may be
// null when the file holds only one entry; entry 0 then counts as white when its
// channels sum above mid-grey.
bool white_first(const std::uint8_t* entry0, const std::uint8_t* entry1);

// Bytes of one stored row: width x bitCount bits rounded up to a multiple of 4 bytes.
inline std::int64_t stored_row_bytes(std::int64_t width, int bitCount) {
    return (width * bitCount + 31) / 32 * 4;
}

// Inverts the first `width` pixels of each of `height` 1-bit rows of `stride`
// bytes; the unused low bits of a partial last byte become 0 and the padding
// bytes after it stay as they are.
void invert_rows(std::uint8_t* bits, std::int64_t stride, std::int64_t width, std::int64_t height);

// Appends the file header and a 40-byte information header holding `h`'s
// fields (infoSize is always written as 40).
void encode_headers(std::vector<std::uint8_t>& out, const Header& h);

}  // namespace kit::bmp
