#pragma once
// The Bitmap record: result codes, life cycle and row geometry.

#include "imaging/Skewtrim.h"

#include <cstdint>

namespace skewtrim {

// Result codes shared by every record-based operation of the library.
enum Code : int {
    kOk = 0,
    kInvalidArgument = 1,
    kCannotOpen = 2,
    kNotBmp = 3,
    kUnsupportedDepth = 4,  // also Bitmap_Copy without a destination
    kOutOfMemory = 5,
    kCannotCreate = 6,
    kWriteError = 7,
    kReadError = 8,
    kNoPaper = 9,
    kDegenerateFit = 10,
    kSideWithoutRuns = 11,
    kInvalidRecord = 12,
};

inline bool valid_depth(int bitCount) { return bitCount == 1 || bitCount == 8 || bitCount == 24; }

// Bytes of an unpadded row: (width x bitCount + 7) / 8, computed without overflow.
inline std::int64_t unpadded_row_bytes(std::int64_t width, int bitCount) {
    return (width * bitCount + 7) / 8;
}

// Bytes of a BMP row: ((width x bitCount + 31) / 8) rounded down to a multiple of 4.
inline std::int64_t padded_row_bytes(std::int64_t width, int bitCount) {
    return ((width * bitCount + 31) / 8) & ~std::int64_t{3};
}

// A derived record is padded exactly when its source's stride is a multiple of 4.
inline bool derives_padded(const Bitmap& src) { return src.stride % 4 == 0; }

// Makes a new record (pixel block zeroed, 16 spare bytes after it) and writes it
// into `out` only when complete. 1 for a missing record, a size that is not
// positive or an unsupported depth; 5 when memory runs out or when the byte
// count does not fit the record's 32-bit imageSize.
int bitmap_new(Bitmap* out, int width, int height, int bitCount, bool padded);

// Sets all fields to zero without releasing anything; 1 for a missing record.
int bitmap_init(Bitmap* bmp);

// Releases the buffers a record owns and empties it; 1 for a missing record.
int bitmap_done(Bitmap* bmp);

// 1 for a missing record, 12 for an invalid one, else 0.
int bitmap_check(const Bitmap* bmp);

// A new record with the source's size, depth and row length, holding its pixels.
// 4 when the destination is missing, else the check code of the source, else
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
inline bool bit_at(const std::uint8_t* row, int x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }
inline void put_bit(std::uint8_t* row, int x, bool set) {
    const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
    if (set) {
        row[x >> 3] |= mask;
    } else {
        row[x >> 3] &= static_cast<std::uint8_t>(~mask);
    }
}

}  // namespace skewtrim
