#include "marks/common/image.h"

#include <cstring>
#include <new>

namespace marks {

std::int64_t unpadded_stride(int width, int bitCount) {
    if (width <= 0 || bitCount <= 0) return -1;
    return (static_cast<std::int64_t>(width) * bitCount + 7) / 8;
}

namespace {
constexpr std::int64_t kMaxImageBytes = 0x7FFFFFFF - 1024 * 1024;
}

bool Image::create(int w, int h, int bits) {
    clear();
    if (w <= 0 || h <= 0) return false;
    if (bits != 1 && bits != 8 && bits != 24) return false;
    const std::int64_t s = unpadded_stride(w, bits);
    const std::int64_t size = s * h;
    if (s <= 0 || size > kMaxImageBytes) return false;
    try {
        bits_.assign(static_cast<std::size_t>(size + kSpareBytes), 0);
        rows_.assign(static_cast<std::size_t>(h), nullptr);
    } catch (const std::bad_alloc&) {
        clear();
        return false;
    }
    width = w;
    height = h;
    bitCount = bits;
    stride = static_cast<int>(s);
    imageSize = static_cast<int>(size);
    for (int y = 0; y < h; ++y)
        rows_[static_cast<std::size_t>(y)] = bits_.data() + static_cast<std::size_t>(y) * s;
    return true;
}

void Image::clear() {
    std::vector<std::uint8_t>().swap(bits_);
    std::vector<std::uint8_t*>().swap(rows_);
    width = height = bitCount = imageSize = stride = 0;
}

bool Image::reserve(std::size_t bytes, std::size_t rowEntries) {
    try {
        if (bytes > bits_.size()) bits_.resize(bytes, 0);
        if (rowEntries > rows_.size()) rows_.resize(rowEntries, nullptr);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // The block may have moved: point the rows at it again.
    for (int y = 0; y < height; ++y)
        rows_[static_cast<std::size_t>(y)] =
            bits_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
    return true;
}

bool Image::relayout(int newWidth, int newHeight) {
    if (newWidth <= 0 || newHeight <= 0 || bits_.empty()) return false;
    const std::int64_t s = unpadded_stride(newWidth, bitCount);
    const std::int64_t size = s * newHeight;
    if (s <= 0 || size > static_cast<std::int64_t>(bits_.size())) return false;
    try {
        if (rows_.size() < static_cast<std::size_t>(newHeight))
            rows_.resize(static_cast<std::size_t>(newHeight));
    } catch (const std::bad_alloc&) {
        return false;
    }
    width = newWidth;
    height = newHeight;
    stride = static_cast<int>(s);
    imageSize = static_cast<int>(size);
    for (int y = 0; y < newHeight; ++y)
        rows_[static_cast<std::size_t>(y)] = bits_.data() + static_cast<std::size_t>(y) * s;
    return true;
}

SourceView Image::view() const {
    SourceView v;
    v.width = width;
    v.height = height;
    v.bitCount = bitCount;
    v.stride = stride;
    v.rows = rows_.data();
    return v;
}

bool copy_flipped(const SourceView& source, int flip, Image& out) {
    if (source.rows == nullptr || source.width <= 0 || source.height <= 0) return false;
    const std::int64_t need = unpadded_stride(source.width, source.bitCount);
    if (need <= 0 || source.stride < need) return false;
    if (!out.create(source.width, source.height, source.bitCount)) return false;
    if (flip != 0 && flip != 1) return true;
    const std::size_t n = static_cast<std::size_t>(out.stride);
    for (int y = 1; y < source.height; ++y) {
        const int from = flip == 0 ? y - 1 : source.height - y;
        const std::uint8_t* src = source.rows[from];
        if (src == nullptr) {
            out.clear();
            return false;
        }
        std::memcpy(out.row(y), src, n);
    }
    return true;
}

void lighten_row_padding(Image& image) {
    if (image.bitCount != 1 || image.empty()) return;
    const int used = image.width & 7;
    if (used == 0) return;
    const std::uint8_t mask = static_cast<std::uint8_t>(0xFFu >> used);
    for (int y = 0; y < image.height; ++y) image.row(y)[image.stride - 1] |= mask;
}

}  // namespace marks
