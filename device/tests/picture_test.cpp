// Pulling a picture over the image pipe and saving pictures as BMP files.

#include <cstdio>
#include <fstream>
#include <sstream>

#include "device/port.h"
#include "device/tests/kestrom_fixture.h"

namespace kestrom_test {
namespace {

constexpr std::size_t kPictureBuffer = 10485760;
constexpr char kFillerKey[] = "tolvarinquesmadrekoplunavetrisbolmentagrufolin";

Bytes picture(std::size_t lines, std::size_t lineBytes) {
    Bytes out(lines * lineBytes);
    for (std::size_t i = 0; i < lines; ++i)
        for (std::size_t j = 0; j < lineBytes; ++j)
            out[i * lineBytes + j] = static_cast<std::uint8_t>(i * 7 + j);
    return out;
}

class PictureUpload : public KestromTest {
protected:
    void SetUp() override {
        KestromTest::SetUp();
        open_port();
        buffer.assign(kPictureBuffer, 0xEE);
    }

    int read() { return ReadPictureData(buffer.data(), &lineBytes, &lines, &type, &linesPerMm); }

    Bytes buffer;
    int lineBytes = -1, lines = -1, type = -1, linesPerMm = -1;
};

TEST_F(PictureUpload, BulkReadsOf64KiBDropFourLinesAndAppendTheFiller) {
    const std::size_t width = 80;  // grey, 10 mm
    const Bytes sent = picture(1650, width);
    queue_reply(bytes({0, 10, 0, 0}));
    queue_query(StatusBits().grey().eight_lines().have_data().scanning().pending(131200));
    queue_query(StatusBits().grey().eight_lines().have_data().scanning().scan_complete().pending(800));
    device_status(StatusBits().grey().eight_lines().idle());
    link().reads[3] = {{Bytes(sent.begin(), sent.begin() + 65536)},
                       {Bytes(sent.begin() + 65536, sent.begin() + 131072)},
                       {Bytes(sent.begin() + 131072, sent.begin() + 131200)},
                       {Bytes(sent.begin() + 131200, sent.end())}};
    ASSERT_EQ(read(), 1);
    EXPECT_EQ(lineBytes, 80);
    EXPECT_EQ(lines, 1646);
    EXPECT_EQ(type, 1);
    EXPECT_EQ(linesPerMm, 8);

    std::vector<int> counts;
    for (const auto& c : link().calls_of("uRead"))
        if (c.arg1 == 3) counts.push_back(c.arg2);
    EXPECT_EQ(counts, (std::vector<int>{65536, 65536, 128, 800}));

    const std::size_t n = 1646 * width;
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n),
                           sent.begin() + 4 * width));
    const std::size_t fill = n % 50 + 50;
    for (std::size_t k = 0; k < fill; ++k) {
        EXPECT_EQ(buffer[n + k],
                  static_cast<std::uint8_t>(n % static_cast<unsigned char>(kFillerKey[k % 46])))
            << k;
    }
    EXPECT_EQ(buffer[n + fill], sent[n + fill]);     // the tail of the moved picture stays
    EXPECT_EQ(pauses, (std::vector<int>{50, 100}));  // the area reply, then one end-of-scan poll
}

TEST_F(PictureUpload, BlackAndWhiteLinesAreTheScanWidthInBytes) {
    const Bytes sent = picture(10, 27);
    queue_reply(bytes({0, 27, 0, 0}));
    queue_query(StatusBits().have_data().scanning().pending(270));
    queue_query(StatusBits().scanning());  // nothing pending, still scanning
    queue_query(StatusBits().idle());      // no data, scanning over: done
    device_status(StatusBits().idle());
    link().reads[3] = {{sent}};
    ASSERT_EQ(read(), 1);
    EXPECT_EQ(lineBytes, 27);
    EXPECT_EQ(lines, 6);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(linesPerMm, 4);
}

TEST_F(PictureUpload, FillerStaysInsideTheCallersBuffer) {
    // One-byte lines that nearly fill the buffer: the filler would run past it.
    const std::size_t total = kPictureBuffer - 1;
    queue_reply(bytes({0, 1, 0, 0}));
    queue_query(
        StatusBits().have_data().scanning().scan_complete().pending(static_cast<std::uint32_t>(total)));
    device_status(StatusBits().idle());
    for (std::size_t at = 0; at < total; at += 65536)
        link().reads[3].push_back({Bytes(std::min<std::size_t>(65536, total - at), 0x5A)});
    Bytes guarded(kPictureBuffer + 64, 0xEE);
    ASSERT_EQ(ReadPictureData(guarded.data(), &lineBytes, &lines, &type, &linesPerMm), 1);
    EXPECT_EQ(lines, static_cast<int>(total - 4));
    const std::size_t n = total - 4;
    EXPECT_NE(guarded[n], 0xEE);  // filler written up to the end...
    EXPECT_NE(guarded[kPictureBuffer - 1], 0x5A);
    for (std::size_t i = kPictureBuffer; i < guarded.size(); ++i)
        ASSERT_EQ(guarded[i], 0xEE) << i;  // ...not past it
}

TEST_F(PictureUpload, RefusedPictures) {
    // Scan width 0.
    queue_reply(bytes({0, 0, 0, 0}));
    device_status(StatusBits().have_data().pending(10));
    EXPECT_EQ(read(), 0);
    EXPECT_TRUE(link().calls_of("uRead").size() == 1u);

    // Fewer than 4 lines.
    queue_reply(bytes({0, 2, 0, 0}));
    queue_query(StatusBits().have_data().scan_complete().pending(6));
    device_status(StatusBits().idle());
    link().reads[3] = {{Bytes(6, 1)}};
    EXPECT_EQ(read(), 0);

    // More than the buffer holds: refused before reading.
    link().calls.clear();
    queue_reply(bytes({0, 2, 0, 0}));
    device_status(StatusBits().have_data().scanning().pending(static_cast<std::uint32_t>(kPictureBuffer)));
    EXPECT_EQ(read(), 0);
    EXPECT_EQ(link().calls_of("uRead").size(), 1u);

    // No data.
    queue_reply(bytes({0, 2, 0, 0}));
    device_status(StatusBits().idle());
    EXPECT_EQ(read(), 0);

    EXPECT_EQ(ReadPictureData(buffer.data(), &lineBytes, nullptr, &type, &linesPerMm), 0);
}

TEST_F(PictureUpload, ErrorsDuringAndAfterTheTransfer) {
    // The device enters its error state half way.
    queue_reply(bytes({0, 2, 0, 0}));
    queue_query(StatusBits().have_data().scanning().pending(20));
    device_status(StatusBits().status_error());
    link().reads[3] = {{Bytes(20, 1)}};
    EXPECT_EQ(read(), 0);

    // Scanning never ends: 51 polls 100 ms apart.
    pauses.clear();
    queue_reply(bytes({0, 2, 0, 0}));
    queue_query(StatusBits().have_data().scanning().scan_complete().pending(20));
    device_status(StatusBits().scanning());
    link().reads[3] = {{Bytes(20, 1)}};
    EXPECT_EQ(read(), 0);
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 100), 51);

    // A failed bulk read.
    queue_reply(bytes({0, 2, 0, 0}));
    device_status(StatusBits().have_data().scanning().pending(20));
    link().reads[3] = {{Bytes(10, 1)}};
    link().resetPipeResults = {0};
    EXPECT_EQ(read(), 0);
}

TEST_F(PictureUpload, BytesStillAnnouncedAfterScanCompleteAreReadNotLost) {
    // A device that signals the end before offering the last lines: 8 lines
    // of 2 bytes, then 4 more while scanning goes on, then 3 more after
    // scanning has stopped.
    const Bytes sent = picture(15, 2);
    queue_reply(bytes({0, 2, 0, 0}));
    queue_query(StatusBits().have_data().scanning().scan_complete().pending(16));
    queue_query(StatusBits().have_data().scanning().scan_complete().pending(8));  // first end-of-scan poll
    queue_query(StatusBits().have_data().scan_complete().pending(6));             // scanning over, bytes left
    device_status(StatusBits().idle());
    link().reads[3] = {{Bytes(sent.begin(), sent.begin() + 16)},
                       {Bytes(sent.begin() + 16, sent.begin() + 24)},
                       {Bytes(sent.begin() + 24, sent.end())}};
    ASSERT_EQ(read(), 1);
    EXPECT_EQ(lines, 11);
    EXPECT_TRUE(std::equal(sent.begin() + 8, sent.end(), buffer.begin()));
    EXPECT_EQ(link().reads[3].size(), 0u);
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 100), 1);  // only the final poll waits

    // The buffer bound still holds for bytes offered that late.
    queue_reply(bytes({0, 2, 0, 0}));
    queue_query(StatusBits().have_data().scanning().scan_complete().pending(16));
    device_status(
        StatusBits().have_data().scanning().pending(static_cast<std::uint32_t>(kPictureBuffer - 16)));
    link().reads[3] = {{Bytes(16, 1)}};
    EXPECT_EQ(read(), 0);
}

TEST_F(PictureUpload, JamAtTheStartIsClearedOnce) {
    queue_reply(bytes({0, 2, 0, 0}));
    queue_query(StatusBits().status_error().jam().have_data());
    queue_query(StatusBits().idle());          // CorrectFakeJamError's query
    queue_query(StatusBits().status_error());  // still in error
    EXPECT_EQ(read(), 0);
    EXPECT_EQ(writes(), (std::vector<Bytes>{bytes({0x1B, 0x42}), bytes({0x1B, 0x46})}));
}

class BmpFiles : public KestromTest {
protected:
    static Bytes file(const char* name) {
        std::ifstream in(name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    static std::uint32_t le32(const Bytes& b, std::size_t at) {
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
    }
};

TEST_F(BmpFiles, BlackAndWhiteBytesExactly) {
    kestrom::set_vertical_pixels_per_metre(3938);
    const Bytes rows = bytes({0x81, 0x42, 0x24, 0xFF, 0x00, 0x18});  // 2 lines of 3 bytes
    ASSERT_EQ(SaveDataToBmp(rows.data(), 3, 2, "bw.bmp", 0), 1);
    // clang-format off
    const Bytes expected = bytes({
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0,                 // file header
        40, 0, 0, 0, 24, 0, 0, 0, 2, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0,   // size, width, height, planes, bits, compression
        0, 0, 0, 0, 0xC3, 0x1E, 0, 0, 0x62, 0x0F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,                          // palette
        0xFF, 0x00, 0x18, 0x00, 0x81, 0x42, 0x24, 0x00});               // rows bottom-up, padded
    // clang-format on
    EXPECT_EQ(file("bw.bmp"), expected);
    kestrom::set_vertical_pixels_per_metre(0);
}

TEST_F(BmpFiles, GreyHeaderPaletteAndSize) {
    const Bytes rows = picture(1000, 1728);
    ASSERT_EQ(SaveDataToBmp(rows.data(), 1728, 1000, "grey.bmp", 1), 1);
    const Bytes out = file("grey.bmp");
    ASSERT_EQ(out.size(), 1729078u);
    EXPECT_EQ(le32(out, 2), 1729078u);
    EXPECT_EQ(le32(out, 10), 1078u);
    EXPECT_EQ(le32(out, 18), 1728u);
    EXPECT_EQ(le32(out, 22), 1000u);
    EXPECT_EQ(out[28], 8);
    EXPECT_EQ(le32(out, 34), 1728000u);
    EXPECT_EQ(le32(out, 38), 7875u);
    EXPECT_EQ(le32(out, 46), 256u);
    EXPECT_EQ(le32(out, 54), 0u);  // palette entry 0 has a zero reserved byte
    EXPECT_EQ(le32(out, 54 + 4 * 200), 0xFFC8C8C8u);
    EXPECT_TRUE(std::equal(rows.end() - 1728, rows.end(), out.begin() + 1078));  // last row first

    // 27 bytes wide black-and-white: stride 28, 216 pixels.
    ASSERT_EQ(SaveDataToBmp(rows.data(), 27, 3, "bw27.bmp", 0), 1);
    const Bytes bw = file("bw27.bmp");
    EXPECT_EQ(bw.size(), 62u + 28 * 3);
    EXPECT_EQ(le32(bw, 18), 216u);
    EXPECT_EQ(le32(bw, 34), 0u);
}

TEST_F(BmpFiles, IndependentReaderSeesTheSamePixels) {
    const Bytes grey = picture(5, 7);
    ASSERT_EQ(SaveDataToBmp(grey.data(), 7, 5, "g.bmp", 1), 1);
    const Bytes bw = bytes({0xF0, 0x0F, 0xAA, 0x55});  // 2 lines of 16 pixels
    ASSERT_EQ(SaveDataToBmp(bw.data(), 2, 2, "b.bmp", 0), 1);
    const char* script =
        "/usr/bin/python3 -c \"from PIL import Image\n"
        "g=Image.open('g.bmp'); b=Image.open('b.bmp')\n"
        "print(g.size, g.mode, list(g.convert('L').getdata()))\n"
        "print(b.size, b.mode, [1 if p else 0 for p in b.convert('1').getdata()])\" > pil.txt";
    ASSERT_EQ(std::system(script), 0);
    std::ifstream in("pil.txt");
    std::string greyLine, bwLine;
    std::getline(in, greyLine);
    std::getline(in, bwLine);
    std::ostringstream expectGrey;
    expectGrey << "(7, 5) L [";
    for (std::size_t i = 0; i < grey.size(); ++i) expectGrey << (i ? ", " : "") << int(grey[i]);
    expectGrey << "]";
    EXPECT_EQ(greyLine, expectGrey.str());
    std::ostringstream expectBw;
    expectBw << "(16, 2) 1 [";
    for (std::size_t i = 0; i < 32; ++i)
        expectBw << (i ? ", " : "") << ((bw[i / 8] >> (7 - i % 8)) & 1);  // bit 1 = white
    expectBw << "]";
    EXPECT_EQ(bwLine, expectBw.str());
}

TEST_F(BmpFiles, RefusedArgumentsAndUnwritableFile) {
    const Bytes rows(8, 0);
    EXPECT_EQ(SaveDataToBmp(nullptr, 2, 2, "x.bmp", 0), 0);
    EXPECT_EQ(SaveDataToBmp(rows.data(), 2, 2, nullptr, 0), 0);
    EXPECT_EQ(SaveDataToBmp(rows.data(), -1, 2, "x.bmp", 0), 0);
    EXPECT_EQ(SaveDataToBmp(rows.data(), 2, -1, "x.bmp", 0), 0);
    EXPECT_EQ(SaveDataToBmp(rows.data(), 2, 2, "x.bmp", 2), 0);
    EXPECT_EQ(SaveDataToBmp(rows.data(), 2, 2, "no_such_dir/x.bmp", 0), 0);
    EXPECT_EQ(SaveDataToBmp(rows.data(), 0x7FFFFFFF, 0x7FFFFFFF, "x.bmp", 1), 0);
    EXPECT_FALSE(std::filesystem::exists("x.bmp"));
    EXPECT_EQ(SaveDataToBmp(rows.data(), 2, 0, "empty.bmp", 0), 1);
    EXPECT_EQ(std::filesystem::file_size("empty.bmp"), 62u);
}

}  // namespace
}  // namespace kestrom_test
