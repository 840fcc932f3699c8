// Bitmaps stored in the device: counting, naming, downloading from a file or
// from rows, and erasing.

#include <fstream>

#include "device/port.h"
#include "device/tests/kestrom_fixture.h"

namespace kestrom_test {
namespace {

using Writes = std::vector<Bytes>;

class StoredBitmaps : public KestromTest {
protected:
    void SetUp() override {
        KestromTest::SetUp();
        open_port();
        install_store();
    }

    static Bytes file(const char* name) {
        std::ifstream in(name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    // A black-and-white BMP with the header width and height patched in.
    static void write_bmp(const char* name, int width, int height, int type = 0) {
        const Bytes rows(4 * 3, 0x0F);
        ASSERT_EQ(SaveDataToBmp(rows.data(), 4, 3, name, type), 1);
        Bytes data = file(name);
        for (int i = 0; i < 4; ++i) {
            data[18 + i] = static_cast<std::uint8_t>(width >> (8 * i));
            data[22 + i] = static_cast<std::uint8_t>(height >> (8 * i));
        }
        std::ofstream(name, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
};

TEST_F(StoredBitmaps, CountAndFreeMemory) {
    store.count[1] = 5;
    store.freeBytes = 0x01020304;
    int count = -1, freeBytes = -1;
    EXPECT_EQ(GetBMPNumber(1, &count, &freeBytes), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1A, 0x6B, 0x42}), bytes({0x1B, 0x4B})}));
    EXPECT_EQ(count, 5);
    EXPECT_EQ(freeBytes, 0x01020304);
    EXPECT_EQ(pauses, (std::vector<int>{50, 50}));

    EXPECT_EQ(GetBMPNumber(2, &count, &freeBytes), 0);
    EXPECT_EQ(GetBMPNumber(0, nullptr, &freeBytes), 0);

    // A reply for the other area is refused.
    link().onWrite = nullptr;
    queue_reply(bytes({'B', 1, 0, 0, 0, 0}));
    EXPECT_EQ(GetBMPNumber(0, &count, &freeBytes), 0);
}

TEST_F(StoredBitmaps, CountWaitsForTheReplyAndClearsAJamFirst) {
    queue_query(StatusBits().jam().status_error());  // neither idle nor waiting
    queue_query(StatusBits().idle());                // CorrectFakeJamError
    queue_query(StatusBits().waiting());             // again: waiting will do
    queue_query(StatusBits().waiting());             // after 1A 6B: not ready yet
    queue_query(StatusBits().waiting());
    int count = -1, freeBytes = -1;
    EXPECT_EQ(GetBMPNumber(0, &count, &freeBytes), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1B, 0x46}), bytes({0x1A, 0x6B, 0x41}), bytes({0x1B, 0x4B})}));
    EXPECT_EQ(pauses, (std::vector<int>{50, 50, 50, 50, 50}));

    link().calls.clear();
    queue_query(StatusBits().scanning());
    queue_query(StatusBits().scanning());
    EXPECT_EQ(GetBMPNumber(0, &count, &freeBytes), 0);
    EXPECT_TRUE(writes().empty());
}

TEST_F(StoredBitmaps, NameReplyStopsAtFF) {
    std::uint8_t name[12];
    EXPECT_EQ(GetBMPName(0, 128, name), 0);
    EXPECT_EQ(GetBMPName(0, -1, name), 0);
    EXPECT_EQ(GetBMPName(0, 0, nullptr), 0);
    EXPECT_TRUE(link().calls.empty());
    link().onWrite = nullptr;
    std::fill(name, name + 12, 0xEE);
    queue_reply(bytes({0x00, 0x01, 'L', 'O', 'G', 'O', 0xFF, 'x', 'y', 'z'}));
    EXPECT_EQ(GetBMPName(1, 127, name), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1A, 0x6C, 0x42, 0x7F}), bytes({0x1B, 0x4B})}));
    EXPECT_EQ(Bytes(name, name + 7), bytes({0x00, 0x01, 'L', 'O', 'G', 'O', 0xEE}));
    queue_reply(bytes({1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(GetBMPName(0, 0, name), 0);
}

TEST_F(StoredBitmaps, DownloadFromAFile) {
    write_bmp("logo.bmp", 32, 3);
    const Bytes bmp = file("logo.bmp");
    store.count[0] = 2;
    pauses.clear();
    EXPECT_EQ(DownLoadPicture(0, 1, "LOGO", "logo.bmp"), 1);
    EXPECT_EQ(store.count[0], 3);
    EXPECT_EQ(writes(),
              (Writes{bytes({0x1A, 0x6B, 0x41}), bytes({0x1B, 0x4B}),
                      bytes({0x1B, 0x4A, 0x1A, 0x69, 'A', 'b', 'L', 'O', 'G', 'O', 0x0D}), bmp,
                      bytes({0x1A, 0x53}), bytes({0x1A, 0x6B, 0x42}), bytes({0x1B, 0x4B}),  // liveness probe
                      bytes({0x1A, 0x6B, 0x41}), bytes({0x1B, 0x4B})}));
    EXPECT_EQ(pauses, (std::vector<int>{50, 50, 50, 50, 50, 50, 50}));

    // Flash: side 0 is 'B', and the device takes 2 s to store.
    link().calls.clear();
    pauses.clear();
    EXPECT_EQ(DownLoadPicture(1, 0, "A", "logo.bmp"), 1);
    EXPECT_EQ(writes()[2], bytes({0x1B, 0x4A, 0x1A, 0x69, 'B', 'B', 'A', 0x0D}));
    EXPECT_EQ(pauses[2], 2000);

    // The device did not store it: the count check fails and 1A 53 closes.
    link().calls.clear();
    store.countDownloads = false;
    EXPECT_EQ(DownLoadPicture(0, 0, "LOGO", "logo.bmp"), 0);
    EXPECT_EQ(writes().back(), bytes({0x1A, 0x53}));
}

TEST_F(StoredBitmaps, DownloadRefusesUnsuitableFilesBeforeSending) {
    write_bmp("grey.bmp", 4, 3, 1);  // pixel data at 1078
    write_bmp("wide.bmp", 257, 3);
    write_bmp("tall.bmp", 32, 2377);
    write_bmp("flat.bmp", 32, 0);
    write_bmp("ok.bmp", 256, 2376);
    const Writes refused = {bytes({0x1A, 0x6B, 0x41}), bytes({0x1B, 0x4B}), bytes({0x1A, 0x53})};
    for (const char* name : {"grey.bmp", "wide.bmp", "tall.bmp", "flat.bmp", "missing.bmp"}) {
        link().calls.clear();
        EXPECT_EQ(DownLoadPicture(0, 0, "X", name), 0) << name;
        EXPECT_EQ(writes(), refused) << name;
    }
    link().calls.clear();
    EXPECT_EQ(DownLoadPicture(0, 0, "NINECHARS", "ok.bmp"), 0);  // examined, then the name
    EXPECT_EQ(writes(), refused);
    link().calls.clear();
    EXPECT_EQ(DownLoadPicture(0, 0, "", "ok.bmp"), 0);
    EXPECT_EQ(writes(), refused);
    link().calls.clear();
    store.freeBytes = 73;  // one byte short
    EXPECT_EQ(DownLoadPicture(0, 0, "X", "ok.bmp"), 0);
    EXPECT_EQ(writes(), refused);

    link().calls.clear();
    EXPECT_EQ(DownLoadPicture(2, 0, "X", "ok.bmp"), 0);
    EXPECT_EQ(DownLoadPicture(0, 2, "X", "ok.bmp"), 0);
    EXPECT_EQ(DownLoadPicture(0, 0, nullptr, "ok.bmp"), 0);
    EXPECT_TRUE(link().calls.empty());
}

TEST_F(StoredBitmaps, DownloadFromRowsBuildsTheBmpBottomRowFirst) {
    kestrom::set_vertical_pixels_per_metre(7875);
    const Bytes rows = bytes({0xAA, 0xC0, 0x55, 0x40});  // 2 rows of 10 pixels
    pauses.clear();
    EXPECT_EQ(DownLoadPictureEx(0, 0, "ROWS", 10, 2, 1, rows.data()), 1);
    const Bytes expected =
        bytes({'B', 'M', 70,   0,    0,    0,    0,    0,    0,    0,    62, 0, 0,    0,    40, 0, 0, 0,
               10,  0,   0,    0,    2,    0,    0,    0,    1,    0,    1,  0, 0,    0,    0,  0, 0, 0,
               0,   0,   0xC3, 0x1E, 0,    0,    0xC3, 0x1E, 0,    0,    0,  0, 0,    0,    0,  0, 0, 0,
               0,   0,   0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xAA, 0xC0, 0,  0, 0x55, 0x40, 0,  0});
    EXPECT_EQ(writes()[2], bytes({0x1B, 0x4A, 0x1A, 0x69, 'A', 'B', 'R', 'O', 'W', 'S', 0x0D}));
    EXPECT_EQ(writes()[3], expected);
    EXPECT_EQ(pauses, (std::vector<int>{50, 50, 200, 200, 50, 50, 50}));
    kestrom::set_vertical_pixels_per_metre(0);

    for (auto args : {std::vector<int>{0, 0, 257, 2, 1},
                      {0, 0, 0, 2, 1},
                      {0, 0, 8, 2377, 1},
                      {0, 0, 8, 0, 1},
                      {0, 0, 8, 2, 8},
                      {2, 0, 8, 2, 1},
                      {0, 2, 8, 2, 1}}) {
        link().calls.clear();
        EXPECT_EQ(DownLoadPictureEx(args[0], args[1], "R", args[2], args[3], args[4], rows.data()), 0);
        EXPECT_TRUE(link().calls.empty());
    }
    EXPECT_EQ(DownLoadPictureEx(0, 0, "R", 8, 2, 1, nullptr), 0);
    EXPECT_EQ(DownLoadPictureEx(0, 0, nullptr, 8, 2, 1, rows.data()), 0);
    EXPECT_EQ(DownLoadPictureEx(0, 0, "NINECHARS", 8, 2, 1, rows.data()), 0);
    EXPECT_EQ(writes().back(), bytes({0x1A, 0x53}));
}

TEST_F(StoredBitmaps, Erase) {
    pauses.clear();
    EXPECT_EQ(EraseBMPInFlash(), 1);
    EXPECT_EQ(EraseBMPInRam(), 1);
    EXPECT_EQ(writes(), (Writes{bytes({0x1A, 0x6A}), bytes({0x1A, 0x6B, 0x42}), bytes({0x1B, 0x4B}),
                                bytes({0x1A, 0x68}), bytes({0x1A, 0x6B, 0x42}), bytes({0x1B, 0x4B})}));
    EXPECT_EQ(pauses, (std::vector<int>{4000, 50, 200, 50}));
    link().calls.clear();
    device_status(StatusBits().scanning());
    EXPECT_EQ(EraseBMPInRam(), 0);
    EXPECT_TRUE(writes().empty());
}

}  // namespace
}  // namespace kestrom_test
