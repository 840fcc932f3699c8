#include "marks/printed/working_image.h"

#include <cstdlib>
#include <cstring>

namespace typemark {

WorkingImage::~WorkingImage() { release(); }

void WorkingImage::release() {
    std::free(bits_);
    bits_ = nullptr;
    capacity_ = 0;
    width_ = height_ = stride_ = 0;
}

bool WorkingImage::create(int width, int height, std::size_t capacity) {
    release();
    if (width <= 0 || height <= 0) return false;
    const std::size_t stride = static_cast<std::size_t>(stride_for(width));
    const std::size_t size = stride * static_cast<std::size_t>(height);
    if (size > kMaxImageBytes) return false;
    const std::size_t room = (capacity > size + 16) ? capacity : size + 16;
    bits_ = static_cast<std::uint8_t*>(std::calloc(room, 1));
    if (bits_ == nullptr) return false;
    capacity_ = room;
    width_ = width;
    height_ = height;
    stride_ = static_cast<int>(stride);
    return true;
}

bool WorkingImage::reserve(std::size_t capacity) {
    if (capacity <= capacity_) return true;
    auto* grown = static_cast<std::uint8_t*>(std::realloc(bits_, capacity));
    if (grown == nullptr) return false;
    std::memset(grown + capacity_, 0, capacity - capacity_);
    bits_ = grown;
    capacity_ = capacity;
    return true;
}

bool WorkingImage::resize(int width, int height) {
    if (width <= 0 || height <= 0) return false;
    const std::size_t stride = static_cast<std::size_t>(stride_for(width));
    if (stride * static_cast<std::size_t>(height) > capacity_) return false;
    width_ = width;
    height_ = height;
    stride_ = static_cast<int>(stride);
    return true;
}

bool prepare_copy(const std::uint8_t* src, std::size_t srcStride, int width, int height,
                  int flip, int repeat, std::size_t capacity, WorkingImage& out) {
    if (src == nullptr || width <= 0 || height <= 0 || repeat < 1) return false;
    const std::size_t rowBytes = static_cast<std::size_t>(WorkingImage::stride_for(width));
    if (srcStride < rowBytes) return false;
    const long long outHeight = static_cast<long long>(height) * repeat;
    if (outHeight > 0x7fffffff) return false;
    if (!out.create(width, static_cast<int>(outHeight), capacity)) return false;
    for (int k = 1; k < height; ++k) {
        int from = -1;
        if (flip == 0) from = k - 1;
        else if (flip == 1) from = height - k;
        if (from < 0) continue;  // any other flip leaves the rows dark
        const std::uint8_t* s = src + static_cast<std::size_t>(from) * srcStride;
        for (int r = 0; r < repeat; ++r) std::memcpy(out.row(k * repeat + r), s, rowBytes);
    }
    return true;
}

}  // namespace typemark
