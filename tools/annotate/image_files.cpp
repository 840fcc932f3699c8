// PNG and BMP files of a raster.

#include "image_files.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "kit/bmp_header.h"

namespace annotate {

namespace {

constexpr int kBmpBits = 24;
// zlib level for PNG files: annotated tickets are mostly flat paper, which the
// fast levels pack almost as small as the slow ones.
constexpr int kPngCompressionLevel = 3;

bool ends_with(const std::string& s, const char* suffix) {
    const std::string tail(suffix);
    if (s.size() < tail.size()) return false;
    return std::equal(
        tail.begin(), tail.end(), s.end() - static_cast<std::ptrdiff_t>(tail.size()),
        [](char want, char got) { return std::tolower(static_cast<unsigned char>(got)) == want; });
}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};

// Writes through libpng's write structures so that the resolution goes in too.
std::string write_png(const Raster& r, const std::string& path, int dpmX, int dpmY) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return "cannot create the file";
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return "libpng cannot start";
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return "libpng cannot start";
    }
    // The row table is made before setjmp: nothing with a destructor is
    // created between setjmp and the end of writing.
    std::vector<png_bytep> rows(static_cast<std::size_t>(r.height));
    for (int y = 0; y < r.height; ++y)
        rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(
            &r.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(r.width) * 3]);
    std::FILE* out = file.get();
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return "libpng could not write the file";
    }
    png_init_io(png, out);
    png_set_compression_level(png, kPngCompressionLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);  // one cheap filter instead of trying all five
    png_set_IHDR(png, info, static_cast<png_uint_32>(r.width), static_cast<png_uint_32>(r.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (dpmX > 0 && dpmY > 0)
        png_set_pHYs(png, info, static_cast<png_uint_32>(dpmX), static_cast<png_uint_32>(dpmY),
                     PNG_RESOLUTION_METER);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(out) != 0 || std::ferror(out)) return "cannot write the file";
    return "";
}

std::string write_bmp(const Raster& r, const std::string& path, int dpmX, int dpmY) {
    const auto stride = static_cast<std::size_t>(kit::bmp::stored_row_bytes(r.width, kBmpBits));
    const std::size_t pixelBytes = stride * static_cast<std::size_t>(r.height);
    const std::size_t headerBytes = kit::bmp::kFileHeaderBytes + kit::bmp::kInfoHeaderBytes;
    if (headerBytes + pixelBytes > 0xFFFFFFFFu) return "too large for a BMP file";
    kit::bmp::Header h;
    h.fileSize = static_cast<std::uint32_t>(headerBytes + pixelBytes);
    h.pixelOffset = static_cast<std::uint32_t>(headerBytes);
    h.width = r.width;
    h.height = r.height;  // bottom-up
    h.bitCount = kBmpBits;
    h.imageSize = static_cast<std::uint32_t>(pixelBytes);
    h.xPixelsPerMetre = std::max(dpmX, 0);
    h.yPixelsPerMetre = std::max(dpmY, 0);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(headerBytes + pixelBytes);
    kit::bmp::encode_headers(bytes, h);
    bytes.resize(headerBytes + pixelBytes, 0);
    for (int y = 0; y < r.height; ++y) {
        const std::uint8_t* src =
            &r.pixels[static_cast<std::size_t>(r.height - 1 - y) * static_cast<std::size_t>(r.width) * 3];
        std::uint8_t* dst = &bytes[headerBytes + static_cast<std::size_t>(y) * stride];
        for (int x = 0; x < r.width; ++x, src += 3, dst += 3) {
            dst[0] = src[2];  // blue, green, red
            dst[1] = src[1];
            dst[2] = src[0];
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return "cannot create the file";
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) return "cannot write the file";
    return "";
}

}  // namespace

std::optional<ImageFormat> format_for(const std::string& path) {
    if (ends_with(path, ".png")) return ImageFormat::Png;
    if (ends_with(path, ".bmp")) return ImageFormat::Bmp;
    return std::nullopt;
}

std::string write_image(const Raster& raster, const std::string& path, int dotsPerMetreX, int dotsPerMetreY) {
    const auto format = format_for(path);
    if (!format) return "the file name must end in .png or .bmp";
    if (raster.empty() || raster.pixels.size() != static_cast<std::size_t>(raster.width) *
                                                      static_cast<std::size_t>(raster.height) * 3)
        return "no picture to write";
    return *format == ImageFormat::Png ? write_png(raster, path, dotsPerMetreX, dotsPerMetreY)
                                       : write_bmp(raster, path, dotsPerMetreX, dotsPerMetreY);
}

}  // namespace annotate
