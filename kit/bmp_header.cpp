#include "kit/bmp_header.h"

#include "kit/bytes.h"

namespace kit::bmp {

namespace {

// Channel sum above which a lone palette entry counts as white (3 x 127.5).
constexpr int kMidGreySum = 382;

int channel_sum(const std::uint8_t* entry) {
    return entry[0] + entry[1] + entry[2];
}

}  // namespace

bool decode_file_header(const std::uint8_t* bytes, Header& out) {
    if (bytes[0] != 'B' || bytes[1] != 'M') return false;
    out.fileSize = get_le32(bytes + 2);
    out.pixelOffset = get_le32(bytes + 10);
    return true;
}

void decode_info_header(const std::uint8_t* bytes, Header& out) {
    out.infoSize = get_le32(bytes);
    out.width = static_cast<std::int32_t>(get_le32(bytes + 4));
    out.height = static_cast<std::int32_t>(get_le32(bytes + 8));
    out.planes = get_le16(bytes + 12);
    out.bitCount = get_le16(bytes + 14);
    out.compression = get_le32(bytes + 16);
    out.imageSize = get_le32(bytes + 20);
    out.xPixelsPerMetre = static_cast<std::int32_t>(get_le32(bytes + 24));
    out.yPixelsPerMetre = static_cast<std::int32_t>(get_le32(bytes + 28));
    out.coloursUsed = get_le32(bytes + 32);
    out.coloursImportant = get_le32(bytes + 36);
}

Verdict decode_headers(const std::uint8_t* data, std::size_t size, Header& out) {
    if (data == nullptr || size < kFileHeaderBytes) return Verdict::Truncated;
    if (!decode_file_header(data, out)) return Verdict::NotBmp;
    if (size < kFileHeaderBytes + kInfoHeaderBytes) return Verdict::Truncated;
    decode_info_header(data + kFileHeaderBytes, out);
    if (out.infoSize < kInfoHeaderBytes) return Verdict::UnsupportedHeader;
    if (out.compressed()) return Verdict::Compressed;
    return Verdict::Ok;
}

bool white_first(const std::uint8_t* entry0, const std::uint8_t* entry1) {
    if (entry1 == nullptr) return channel_sum(entry0) > kMidGreySum;
    return channel_sum(entry0) > channel_sum(entry1);
}

void invert_rows(std::uint8_t* bits, std::int64_t stride, std::int64_t width, std::int64_t height) {
    const std::int64_t whole = width / 8;
    const int rest = static_cast<int>(width % 8);
    for (std::int64_t y = 0; y < height; ++y) {
        std::uint8_t* row = bits + y * stride;
        for (std::int64_t i = 0; i < whole; ++i) row[i] = static_cast<std::uint8_t>(~row[i]);
        if (rest != 0) row[whole] = static_cast<std::uint8_t>(~row[whole] & (0xFF << (8 - rest)));
    }
}

void encode_headers(std::vector<std::uint8_t>& out, const Header& h) {
    out.push_back('B');
    out.push_back('M');
    put_le32(out, h.fileSize);
    put_le16(out, 0);
    put_le16(out, 0);
    put_le32(out, h.pixelOffset);
    put_le32(out, kInfoHeaderBytes);
    put_le32(out, static_cast<std::uint32_t>(h.width));
    put_le32(out, static_cast<std::uint32_t>(h.height));
    put_le16(out, h.planes);
    put_le16(out, static_cast<std::uint32_t>(h.bitCount));
    put_le32(out, h.compression);
    put_le32(out, h.imageSize);
    put_le32(out, static_cast<std::uint32_t>(h.xPixelsPerMetre));
    put_le32(out, static_cast<std::uint32_t>(h.yPixelsPerMetre));
    put_le32(out, h.coloursUsed);
    put_le32(out, h.coloursImportant);
}

}  // namespace kit::bmp
