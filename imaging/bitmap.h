#pragma once
// The Bitmap record: result codes, life cycle and row geometry.

#include <cstdint>

#include "imaging/Skewtrim.h"

namespace skewtrim {

// Result codes shared by every record-based operation of the library (the
// SKEWTRIM_ names of the public header).
enum Code : int {
    kOk = SKEWTRIM_OK,
    kInvalidArgument = SKEWTRIM_INVALID_ARGUMENT,
    kCannotOpen = SKEWTRIM_CANNOT_OPEN,
    kNotBmp = SKEWTRIM_NOT_BMP,
    kUnsupportedDepth = SKEWTRIM_UNSUPPORTED,  // also compressed files and Bitmap_Copy without a destination
    kOutOfMemory = SKEWTRIM_OUT_OF_MEMORY,
    kCannotCreate = SKEWTRIM_CANNOT_CREATE,
    kWriteError = SKEWTRIM_WRITE_ERROR,
    kReadError = SKEWTRIM_READ_ERROR,
    kNoPaper = SKEWTRIM_NO_PAPER,
    kDegenerateFit = SKEWTRIM_DEGENERATE_FIT,
    kSideWithoutRuns = SKEWTRIM_SIDE_WITHOUT_RUNS,
    kInvalidRecord = SKEWTRIM_INVALID_RECORD,
};

inline bool valid_depth(int bitCount) {
    return bitCount == 1 || bitCount == 8 || bitCount == 24;
}

// Bytes of an unpadded row: (width x bitCount + 7) / 8, computed without overflow.
inline std::int64_t unpadded_row_bytes(std::int64_t width, int bitCount) {
    return (width * bitCount + 7) / 8;
}

// Bytes of a BMP row: ((width x bitCount + 31) / 8) rounded down to a multiple of 4.
inline std::int64_t padded_row_bytes(std::int64_t width, int bitCount) {
    return ((width * bitCount + 31) / 8) & ~std::int64_t{3};
}

// A derived record is padded exactly when its source's stride is a multiple of 4.
inline bool derives_padded(const Bitmap& src) {
    return src.stride % 4 == 0;
}

// Whether a new record's pixel block starts zeroed or is left for the caller,
// who then writes every byte of it (the spare bytes are zeroed either way).
enum class NewPixels { Zeroed, Unset };

// Makes a new record (pixel block zeroed unless asked otherwise, 16 spare
// bytes after it) and writes it into `out` only when complete.
// kInvalidArgument for a missing record, a size that is not positive or an
// unsupported depth; kOutOfMemory when memory runs out or when the byte count
// does not fit the record's 32-bit imageSize.
int bitmap_new(Bitmap* out, int width, int height, int bitCount, bool padded,
               NewPixels pixels = NewPixels::Zeroed);

// Sets all fields to zero without releasing anything; kInvalidArgument for a missing record.
int bitmap_init(Bitmap* bmp);

// Releases the buffers a record owns and empties it; kInvalidArgument for a missing record.
int bitmap_done(Bitmap* bmp);

// kInvalidArgument for a missing record, kInvalidRecord for an invalid one, else kOk.
int bitmap_check(const Bitmap* bmp);

// A new record with the source's size, depth and row length, holding its pixels.
// kUnsupportedDepth when the destination is missing, else the check code of the source, else
// the bitmap_new code.
int bitmap_copy(const Bitmap* src, Bitmap* dst);

// Releases a record on scope exit unless it has been handed on.
class BitmapGuard {
public:
    BitmapGuard() { bitmap_init(&bmp_); }
    ~BitmapGuard() { bitmap_done(&bmp_); }
    BitmapGuard(const BitmapGuard&) = delete;
    BitmapGuard& operator=(const BitmapGuard&) = delete;
    Bitmap* get() { return &bmp_; }
    Bitmap& operator*() { return bmp_; }
    Bitmap* operator->() { return &bmp_; }
    // Gives the record away: the guard forgets it.
    Bitmap release() {
        Bitmap out = bmp_;
        bitmap_init(&bmp_);
        return out;
    }

private:
    Bitmap bmp_;
};

// Pixel access helpers for 1-bit rows (most significant bit first, 1 = white).
inline bool bit_at(const std::uint8_t* row, int x) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}
inline void put_bit(std::uint8_t* row, int x, bool set) {
    const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
    if (set) {
        row[x >> 3] |= mask;
    } else {
        row[x >> 3] &= static_cast<std::uint8_t>(~mask);
    }
}

}  // namespace skewtrim
