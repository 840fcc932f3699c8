// Test ticket, BMP and PNM files, and the kit's own scan for comparison.

#include "sane/tests/emulator_ticket.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "emulator/testing/scratch_folder.h"
#include "platform/dynamic_library.h"

namespace tqsane_test {
namespace {

constexpr std::size_t kPictureBuffer = 10485760;

void put16(Bytes& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

}  // namespace

Bytes make_ticket() {
    Bytes t(static_cast<std::size_t>(kTicketWidth) * kTicketHeight, 255);
    auto box = [&t](int x0, int y0, int w, int h, std::uint8_t v) {
        emutesting::paint_box(t, kTicketWidth, x0, y0, w, h, v);
    };
    box(16, 16, 64, 32, 0);
    box(200, 100, 8, 400, 0);
    box(296, 560, 120, 60, 0);
    box(40, 420, 90, 30, 120);  // mid grey: between thresholds
    for (int x = 0; x < 256; ++x) box(88 + x, 300, 1, 40, static_cast<std::uint8_t>(x));  // ramp
    return t;
}

bool write_grey_bmp(const std::string& path, const Bytes& grey, int width, int height) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) + 3) / 4 * 4;
    const std::uint32_t offset = 14 + 40 + 1024;
    Bytes f;
    f.push_back('B');
    f.push_back('M');
    put32(f, offset + stride * static_cast<std::uint32_t>(height));
    put32(f, 0);
    put32(f, offset);
    put32(f, 40);
    put32(f, static_cast<std::uint32_t>(width));
    put32(f, static_cast<std::uint32_t>(height));
    put16(f, 1);
    put16(f, 8);
    put32(f, 0);
    put32(f, stride * static_cast<std::uint32_t>(height));
    put32(f, 7875);
    put32(f, 7875);
    put32(f, 256);
    put32(f, 0);
    for (int i = 0; i < 256; ++i) {
        for (int c = 0; c < 3; ++c) f.push_back(static_cast<std::uint8_t>(i));
        f.push_back(0);
    }
    for (int y = height - 1; y >= 0; --y) {
        const auto row = grey.begin() + static_cast<std::ptrdiff_t>(y) * width;
        f.insert(f.end(), row, row + width);
        f.insert(f.end(), stride - static_cast<std::uint32_t>(width), 0);
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
    return static_cast<bool>(out);
}

bool kit_scan(const std::string& kestromPath, int pictureType, int linesPerMm, int borderMm, int widthMm,
              int threshold1, int threshold2, KitScan& out) {
    platform::DynamicLibrary kestrom;
    if (!kestrom.open(kestromPath)) return false;
    auto open = kestrom.resolve<int (*)()>("OpenUSBPort");
    auto close = kestrom.resolve<void (*)()>("CloseUSBPort");
    auto width = kestrom.resolve<int (*)(int, int)>("SetScanWidth");
    auto height = kestrom.resolve<int (*)(int)>("SetScanHeight");
    auto type = kestrom.resolve<int (*)(int, int)>("SetScanPictureType");
    auto dpi = kestrom.resolve<int (*)(int, int)>("SetScanDPI");
    auto threshold = kestrom.resolve<int (*)(int, int, int, int)>("SetThresholdMethord");
    auto start = kestrom.resolve<int (*)(int)>("StartScan");
    auto status = kestrom.resolve<int (*)(int32_t*)>("GetBSStatus");
    auto read = kestrom.resolve<int (*)(uint8_t*, int*, int*, int*, int*)>("ReadPictureData");
    if (!open || !close || !width || !height || !type || !dpi || !threshold || !start || !status || !read)
        return false;
    if (!open()) return false;
    bool ok = width(borderMm, widthMm) && height(0) && type(pictureType, 0) && dpi(linesPerMm, 0) &&
              threshold(0, threshold1, threshold2, 0) && start(0);
    for (int polls = 0; ok; ++polls) {  // until haveData (field 12)
        int32_t s[22] = {};
        if (!status(s) || polls > 2000)
            ok = false;
        else if (s[12] == 1)
            break;
        else
            ::usleep(5000);
    }
    Bytes buffer(kPictureBuffer);
    int pictureType2 = 0, perMm = 0;
    ok = ok && read(buffer.data(), &out.lineBytes, &out.lines, &pictureType2, &perMm);
    close();
    if (!ok) return false;
    out.rows.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(out.lineBytes) * out.lines);
    return true;
}

bool read_pnm(const std::string& path, Pnm& out) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    if (!(in >> magic) || (magic != "P4" && magic != "P5")) return false;
    out.kind = magic[1];
    auto number = [&in](int& v) {
        for (;;) {
            in >> std::ws;
            if (in.peek() == '#') {
                std::string comment;
                std::getline(in, comment);
                continue;
            }
            return static_cast<bool>(in >> v);
        }
    };
    int maxValue = 1;
    if (!number(out.width) || !number(out.height)) return false;
    if (out.kind == '5' && (!number(maxValue) || maxValue != 255)) return false;
    in.get();  // the single white space before the data
    const std::size_t rowBytes = out.kind == '4' ? (static_cast<std::size_t>(out.width) + 7) / 8 : out.width;
    out.data.resize(rowBytes * static_cast<std::size_t>(out.height));
    in.read(reinterpret_cast<char*>(out.data.data()), static_cast<std::streamsize>(out.data.size()));
    return static_cast<std::size_t>(in.gcount()) == out.data.size();
}

}  // namespace tqsane_test
