#pragma once
// The reader's own 1-bit image: unpadded rows ((width + 7) / 8 bytes), 1 = light,
// 0 = dark, in a zero-filled pixel block that may be larger than the image so that
// in-place operations of the bitmap library (straightening, quarter turns) have room.

#include <cstddef>
#include <cstdint>

namespace typemark {

class WorkingImage {
public:
    WorkingImage() = default;
    ~WorkingImage();
    WorkingImage(const WorkingImage&) = delete;
    WorkingImage& operator=(const WorkingImage&) = delete;

    // A zero (all dark) image of width x height with room for at least `capacity` bytes
    // (never less than the image plus 16). False when sizes are invalid or memory runs out.
    bool create(int width, int height, std::size_t capacity = 0);
    // Grows the block, zero-filling the new bytes, to at least `capacity`.
    bool reserve(std::size_t capacity);
    // Takes new sizes (after an in-place operation); false when they do not fit the block.
    bool resize(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return stride_; }
    std::size_t imageSize() const { return static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_); }
    std::size_t capacity() const { return capacity_; }
    std::uint8_t* bits() { return bits_; }
    const std::uint8_t* bits() const { return bits_; }
    std::uint8_t* row(int y) { return bits_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_); }
    const std::uint8_t* row(int y) const { return bits_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_); }

    bool dark(int x, int y) const { return (row(y)[x >> 3] & (0x80u >> (x & 7))) == 0; }
    void set_light(int x, int y) { row(y)[x >> 3] |= static_cast<std::uint8_t>(0x80u >> (x & 7)); }

    static int stride_for(int width) { return static_cast<int>((static_cast<long long>(width) + 7) / 8); }

private:
    void release();

    std::uint8_t* bits_ = nullptr;
    std::size_t capacity_ = 0;
    int width_ = 0, height_ = 0, stride_ = 0;
};

// Largest image the reader accepts, in bytes of 1-bit pixel data.
constexpr std::size_t kMaxImageBytes = std::size_t{1} << 28;

// Copies `height` source rows (each `srcStride` bytes apart, (width + 7) / 8 used) into a
// new image of width x (height x repeat): row 0 of the copy stays dark; flip 0 puts source
// rows 0 .. height-2 in rows 1 .. height-1, flip 1 source rows height-1 down to 1; every
// copy row is then repeated `repeat` times. `capacity` is passed to create().
bool prepare_copy(const std::uint8_t* src, std::size_t srcStride, int width, int height,
                  int flip, int repeat, std::size_t capacity, WorkingImage& out);

}  // namespace typemark
