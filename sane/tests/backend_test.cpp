// The backend in process, through its SANE entry points, against the
// software scanner-printer: what it scans equals what the kit's own library
// scans of the same ticket, and waiting, cancelling and held tickets behave.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sane/sane.h>
#include <sane/saneopts.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "emulator/ScannerEmulator.h"
#include "emulator/testing/emulated_device.h"
#include "emulator/testing/scratch_folder.h"
#include "platform/dynamic_library.h"
#include "sane/tests/emulator_ticket.h"

namespace {

namespace fs = std::filesystem;
using namespace tqsane_test;
using Clock = std::chrono::steady_clock;

constexpr double kDeviceSpeedUp = 1.0;  // device milliseconds per real millisecond

struct SaneApi {
    platform::DynamicLibrary lib;
    SANE_Status (*init)(SANE_Int*, SANE_Auth_Callback) = nullptr;
    void (*exit)() = nullptr;
    SANE_Status (*getDevices)(const SANE_Device***, SANE_Bool) = nullptr;
    SANE_Status (*open)(SANE_String_Const, SANE_Handle*) = nullptr;
    void (*close)(SANE_Handle) = nullptr;
    const SANE_Option_Descriptor* (*descriptor)(SANE_Handle, SANE_Int) = nullptr;
    SANE_Status (*control)(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*) = nullptr;
    SANE_Status (*parameters)(SANE_Handle, SANE_Parameters*) = nullptr;
    SANE_Status (*start)(SANE_Handle) = nullptr;
    SANE_Status (*read)(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*) = nullptr;
    void (*cancel)(SANE_Handle) = nullptr;
    SANE_Status (*setIoMode)(SANE_Handle, SANE_Bool) = nullptr;

    bool load() {
        if (!lib.open(BACKEND_PATH)) return false;
        init = lib.resolve<decltype(init)>("sane_tqrmx7kp_init");
        exit = lib.resolve<decltype(exit)>("sane_tqrmx7kp_exit");
        getDevices = lib.resolve<decltype(getDevices)>("sane_tqrmx7kp_get_devices");
        open = lib.resolve<decltype(open)>("sane_tqrmx7kp_open");
        close = lib.resolve<decltype(close)>("sane_tqrmx7kp_close");
        descriptor = lib.resolve<decltype(descriptor)>("sane_tqrmx7kp_get_option_descriptor");
        control = lib.resolve<decltype(control)>("sane_tqrmx7kp_control_option");
        parameters = lib.resolve<decltype(parameters)>("sane_tqrmx7kp_get_parameters");
        start = lib.resolve<decltype(start)>("sane_tqrmx7kp_start");
        read = lib.resolve<decltype(read)>("sane_tqrmx7kp_read");
        cancel = lib.resolve<decltype(cancel)>("sane_tqrmx7kp_cancel");
        setIoMode = lib.resolve<decltype(setIoMode)>("sane_tqrmx7kp_set_io_mode");
        return init && exit && getDevices && open && close && descriptor && control && parameters && start &&
               read && cancel && setIoMode && lib.resolve<void*>("sane_tqrmx7kp_get_select_fd");
    }
};

class BackendWithEmulator : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.made());
        dir = scratch.path();
        ASSERT_EQ(emutesting::power_on_emulator({EMULATOR_PATH, {}, dir / "state", kDeviceSpeedUp, 0}), 1);
        ASSERT_TRUE(sane.load()) << sane.lib.error();
        SANE_Int version = 0;
        ASSERT_EQ(sane.init(&version, nullptr), SANE_STATUS_GOOD);
        EXPECT_EQ(SANE_VERSION_MAJOR(version), 1);
    }

    void TearDown() override {
        if (handle) sane.close(handle);
        sane.exit();
    }

    void open_device() {
        ASSERT_EQ(sane.open("emulator", &handle), SANE_STATUS_GOOD);
        ASSERT_NE(handle, nullptr);
    }

    int option(const char* name) {
        for (int n = 1; const SANE_Option_Descriptor* d = sane.descriptor(handle, n); ++n)
            if (d->name && std::strcmp(d->name, name) == 0) return n;
        ADD_FAILURE() << "no option " << name;
        return -1;
    }
    void set(const char* name, SANE_Word v) {
        ASSERT_EQ(sane.control(handle, option(name), SANE_ACTION_SET_VALUE, &v, nullptr), SANE_STATUS_GOOD)
            << name;
    }
    void set(const char* name, const char* text) {
        char buffer[64] = {};
        std::strncpy(buffer, text, sizeof buffer - 1);
        ASSERT_EQ(sane.control(handle, option(name), SANE_ACTION_SET_VALUE, buffer, nullptr),
                  SANE_STATUS_GOOD)
            << name;
    }

    static void insert_ticket(const Bytes& ticket) {
        ASSERT_EQ(Emu_InsertTicketPixels(ticket.data(), kTicketWidth, kTicketHeight, 8), 1);
    }

    // Reads the whole frame in small pieces, as frontends do.
    SANE_Status read_frame(Bytes& out) {
        out.clear();
        SANE_Byte piece[4000];
        for (;;) {
            SANE_Int n = 0;
            const SANE_Status st = sane.read(handle, piece, sizeof piece, &n);
            if (st == SANE_STATUS_EOF) return SANE_STATUS_GOOD;
            if (st != SANE_STATUS_GOOD) return st;
            out.insert(out.end(), piece, piece + n);
        }
    }

    static Bytes inverted(Bytes b) {
        for (auto& x : b) x = static_cast<std::uint8_t>(~x);
        return b;
    }

    SaneApi sane;
    SANE_Handle handle = nullptr;
    emutesting::ScratchFolder scratch{"tqsane_backend"};
    fs::path dir;
};

TEST_F(BackendWithEmulator, ListsOneDeviceAndOpensItOnceAtATime) {
    const SANE_Device** devices = nullptr;
    ASSERT_EQ(sane.getDevices(&devices, SANE_FALSE), SANE_STATUS_GOOD);
    ASSERT_NE(devices[0], nullptr);
    EXPECT_STREQ(devices[0]->name, "emulator");
    EXPECT_STREQ(devices[0]->type, "sheetfed scanner");
    EXPECT_EQ(devices[1], nullptr);

    SANE_Handle other = nullptr;
    EXPECT_EQ(sane.open("usb", &other), SANE_STATUS_INVAL);
    ASSERT_EQ(sane.open("", &handle), SANE_STATUS_GOOD);  // "" is the first device
    EXPECT_EQ(sane.open("emulator", &other), SANE_STATUS_DEVICE_BUSY);
    EXPECT_EQ(sane.setIoMode(handle, SANE_TRUE), SANE_STATUS_UNSUPPORTED);
    EXPECT_EQ(sane.setIoMode(handle, SANE_FALSE), SANE_STATUS_GOOD);
    // A handle that is not ours is refused, not followed.
    int stranger = 0;
    EXPECT_EQ(sane.start(&stranger), SANE_STATUS_INVAL);
    EXPECT_EQ(sane.descriptor(&stranger, 0), nullptr);
}

TEST_F(BackendWithEmulator, GreyAndLineartScansEqualTheKitsOwnScanOfTheTicket) {
    const Bytes ticket = make_ticket();
    struct Case {
        const char* mode;
        int dpi, pictureType, linesPerMm;
    };
    for (const Case c :
         {Case{SANE_VALUE_SCAN_MODE_GRAY, 200, 1, 8}, Case{SANE_VALUE_SCAN_MODE_LINEART, 100, 0, 4}}) {
        SCOPED_TRACE(c.mode);
        // The kit's own scan first, with the device library alone.
        insert_ticket(ticket);
        KitScan reference;
        ASSERT_TRUE(kit_scan(KESTROM_PATH, c.pictureType, c.linesPerMm, 2, 60, 150, 100, reference));
        ASSERT_EQ(Emu_RemoveTicket(), 1);

        insert_ticket(ticket);
        open_device();
        set(SANE_NAME_SCAN_MODE, c.mode);
        set(SANE_NAME_SCAN_RESOLUTION, c.dpi);
        set(SANE_NAME_SCAN_TL_X, SANE_FIX(2));
        set(SANE_NAME_SCAN_BR_X, SANE_FIX(62));
        if (c.pictureType == 0) {
            set(SANE_NAME_THRESHOLD, 150);
            set("threshold-2", 100);
        }
        set("ticket-wait", 5);
        ASSERT_EQ(sane.start(handle), SANE_STATUS_GOOD);
        SANE_Parameters p{};
        ASSERT_EQ(sane.parameters(handle, &p), SANE_STATUS_GOOD);
        EXPECT_EQ(p.format, SANE_FRAME_GRAY);
        EXPECT_EQ(p.depth, c.pictureType == 1 ? 8 : 1);
        EXPECT_EQ(p.pixels_per_line, 60 * 8);
        EXPECT_EQ(p.bytes_per_line, reference.lineBytes);
        EXPECT_EQ(p.lines, reference.lines);
        EXPECT_EQ(p.lines, kTicketHeight * c.linesPerMm / 8);
        Bytes frame;
        ASSERT_EQ(read_frame(frame), SANE_STATUS_GOOD);
        // SANE's lineart has 1 for black, the device 1 for white.
        EXPECT_TRUE(frame == (c.pictureType == 1 ? reference.rows : inverted(reference.rows)))
            << "scan differs from the kit's own scan";
        EXPECT_EQ(sane.read(handle, frame.data(), 1, nullptr), SANE_STATUS_INVAL);
        sane.cancel(handle);
        sane.close(handle);
        handle = nullptr;

        // Eject was the default: the ticket has left.
        for (int i = 0; i < 200; ++i) {
            int location = -1;
            Emu_GetPaperPosition(&location, nullptr, nullptr, nullptr);
            if (location == EMU_PAPER_NONE) break;
            ::usleep(10000);
        }
        int location = -1, out = 0;
        ASSERT_EQ(Emu_GetPaperPosition(&location, nullptr, &out, nullptr), 1);
        EXPECT_EQ(location, EMU_PAPER_NONE);
    }
}

TEST_F(BackendWithEmulator, HeldTicketIsScannedAgainWholeThenCutAndEjected) {
    const Bytes ticket = make_ticket();
    insert_ticket(ticket);
    open_device();
    set("after-scan", "Hold");
    ASSERT_EQ(sane.start(handle), SANE_STATUS_GOOD);
    Bytes first;
    ASSERT_EQ(read_frame(first), SANE_STATUS_GOOD);
    ASSERT_EQ(first.size(), 1728u * kTicketHeight);  // the whole passage width, the whole ticket

    // The second scan finds the held ticket without any new one coming in.
    set("after-scan", "Eject");
    set(SANE_NAME_SCAN_BR_Y, SANE_FIX(40));
    set("ticket-wait", 5);
    ASSERT_EQ(sane.start(handle), SANE_STATUS_GOOD);
    SANE_Parameters p{};
    ASSERT_EQ(sane.parameters(handle, &p), SANE_STATUS_GOOD);
    EXPECT_EQ(p.lines, 40 * 8);
    Bytes second;
    ASSERT_EQ(read_frame(second), SANE_STATUS_GOOD);
    ASSERT_EQ(second.size(), 1728u * 40 * 8);
    EXPECT_TRUE(std::equal(second.begin(), second.end(), first.begin()))
        << "second scan differs from the first";

    int location = -1, out = 0;
    ASSERT_EQ(Emu_GetPaperPosition(&location, nullptr, &out, nullptr), 1);
    EXPECT_EQ(location, EMU_PAPER_NONE);
    EXPECT_EQ(out, 1);
}

TEST_F(BackendWithEmulator, NoTicketEndsWithNoDocsOnceTheWaitRunsOut) {
    open_device();
    set("ticket-wait", 1);
    const auto began = Clock::now();
    EXPECT_EQ(sane.start(handle), SANE_STATUS_NO_DOCS);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
    EXPECT_GE(ms, 900);
    EXPECT_LT(ms, 3000);
    SANE_Int n = 0;
    SANE_Byte b[4];
    EXPECT_EQ(sane.read(handle, b, sizeof b, &n), SANE_STATUS_EOF);
    EXPECT_EQ(n, 0);
}

TEST_F(BackendWithEmulator, CancelFromAnotherThreadEndsTheWaitForATicket) {
    open_device();
    set("ticket-wait", 60);
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sane.cancel(handle);
    });
    const auto began = Clock::now();
    EXPECT_EQ(sane.start(handle), SANE_STATUS_CANCELLED);
    canceller.join();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count(), 3000);

    // The next scan is not cancelled by the earlier request.
    insert_ticket(make_ticket());
    set("ticket-wait", 5);
    ASSERT_EQ(sane.start(handle), SANE_STATUS_GOOD);
    sane.cancel(handle);  // mid-frame: the rest is dropped
    SANE_Int n = 0;
    SANE_Byte b[16];
    EXPECT_EQ(sane.read(handle, b, sizeof b, &n), SANE_STATUS_CANCELLED);
}

TEST_F(BackendWithEmulator, OpenCoverAndRealJamAreReportedAsSuch) {
    open_device();
    set("ticket-wait", 1);
    ASSERT_EQ(Emu_SetCondition(EMU_COND_COVER_OPEN, 1), 1);
    EXPECT_EQ(sane.start(handle), SANE_STATUS_COVER_OPEN);
    ASSERT_EQ(Emu_SetCondition(EMU_COND_COVER_OPEN, 0), 1);

    insert_ticket(make_ticket());
    ASSERT_EQ(Emu_SetCondition(EMU_COND_REAL_JAM, 1), 1);
    EXPECT_EQ(sane.start(handle), SANE_STATUS_JAMMED);
    ASSERT_EQ(Emu_SetCondition(EMU_COND_REAL_JAM, 0), 1);
}

}  // namespace

namespace {

// The backend where libKestrom.so cannot be found: a copy of it alone in a
// folder, so its RUNPATH ($ORIGIN) leads nowhere.
TEST(BackendWithoutDeviceLibrary, OffersNoDeviceAndRefusesToOpenWithoutCrashing) {
    // A device library loaded earlier in this process would be found by name.
    if (void* loaded = ::dlopen("libKestrom.so", RTLD_NOW | RTLD_NOLOAD)) {
        ::dlclose(loaded);
        GTEST_SKIP() << "libKestrom.so is loaded already; run this test in its own process (as ctest does)";
    }
    const emutesting::ScratchFolder scratch("tqsane_alone");
    ASSERT_TRUE(scratch.made());
    const fs::path dir = scratch.path();
    const fs::path copy = dir / "libsane-tqrmx7kp.so.1";
    fs::copy_file(BACKEND_PATH, copy);
    {
        SaneApi sane;
        ASSERT_TRUE(sane.lib.open(copy.string())) << sane.lib.error();
        auto init = sane.lib.resolve<SANE_Status (*)(SANE_Int*, SANE_Auth_Callback)>("sane_tqrmx7kp_init");
        auto devices =
            sane.lib.resolve<SANE_Status (*)(const SANE_Device***, SANE_Bool)>("sane_tqrmx7kp_get_devices");
        auto open = sane.lib.resolve<SANE_Status (*)(SANE_String_Const, SANE_Handle*)>("sane_tqrmx7kp_open");
        auto exit = sane.lib.resolve<void (*)()>("sane_tqrmx7kp_exit");
        ASSERT_TRUE(init && devices && open && exit);
        ASSERT_EQ(init(nullptr, nullptr), SANE_STATUS_GOOD);
        const SANE_Device** list = nullptr;
        ASSERT_EQ(devices(&list, SANE_FALSE), SANE_STATUS_GOOD);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list[0], nullptr);
        SANE_Handle h = reinterpret_cast<SANE_Handle>(1);
        EXPECT_EQ(open("", &h), SANE_STATUS_IO_ERROR);
        EXPECT_EQ(h, nullptr);
        EXPECT_EQ(devices(nullptr, SANE_FALSE), SANE_STATUS_INVAL);
        exit();
    }
}

}  // namespace
