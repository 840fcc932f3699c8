// The dialog's workflows against the software scanner-printer: open, the
// bitmap list, tickets scanned through the worker, decoding, automatic print,
// jam recovery, the refusals, the long operations and closing while busy.

#include "demo/session.h"

#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "demo/binding.h"
#include "emulator/ScannerEmulator.h"
#include "emulator_fixture.h"

using namespace tellerdesk;
using namespace tellerdesk::testing;
namespace fs = std::filesystem;

namespace {

// Bits per pixel and height of a BMP file, read from its header.
bool bmp_header(const fs::path& path, int& bits, int& height) {
    std::ifstream in(path, std::ios::binary);
    unsigned char h[54] = {};
    if (!in.read(reinterpret_cast<char*>(h), sizeof h) || h[0] != 'B' || h[1] != 'M') return false;
    bits = h[28] | h[29] << 8;
    height = h[22] | h[23] << 8 | h[24] << 16 | h[25] << 24;
    return true;
}

// The grey level at (x, y), top row 0, of an 8-bit bottom-up BMP; -1 when unreadable.
int grey_at(const fs::path& path, int x, int y) {
    std::ifstream in(path, std::ios::binary);
    unsigned char h[54] = {};
    if (!in.read(reinterpret_cast<char*>(h), sizeof h)) return -1;
    const int offset = h[10] | h[11] << 8 | h[12] << 16 | h[13] << 24;
    const int width = h[18] | h[19] << 8 | h[20] << 16 | h[21] << 24;
    const int height = h[22] | h[23] << 8 | h[24] << 16 | h[25] << 24;
    if (x < 0 || y < 0 || x >= width || y >= height) return -1;
    const int stride = (width + 3) / 4 * 4;
    in.seekg(offset + static_cast<std::streamoff>(height - 1 - y) * stride + x);
    char v = 0;
    return in.get(v) ? static_cast<unsigned char>(v) : -1;
}

bool journal_has_write(std::uint8_t lead, std::uint8_t op) {
    // Asks for the count first: an empty journal is not copied at all.
    const int total = Emu_JournalWritten(nullptr, 0);
    if (total <= 0) return false;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(total));
    const int n = Emu_JournalWritten(bytes.data(), static_cast<int>(bytes.size()));
    for (int i = 0; i + 1 < std::min<int>(n, static_cast<int>(bytes.size())); ++i)
        if (bytes[i] == lead && bytes[i + 1] == op) return true;
    return false;
}

}  // namespace

class SessionTest : public QObject {
    Q_OBJECT

    EmulatorFixture fixture_;
    Binding binding_;
    std::unique_ptr<RecordingView> view_;
    std::unique_ptr<Session> session_;

    void openWith(const FormState& form) {
        session_->setForm(form);
        QVERIFY(session_->openPort());
        QVERIFY(view_->waitFor([&] { return !view_->lastStatus().empty(); }));
    }

    // The operator's procedure: after the prompt a calibration sheet goes in
    // and is pushed on by hand until it covers both paper sensors and the
    // print head; the calibration then runs and its progress ends at 100 %.
    void calibrate(bool cis, const std::string& name) {
        openWith(FormState{});
        QVERIFY(cis ? session_->cisCorrect() : session_->sensorCorrect());
        QVERIFY(view_->waitForMessage("Please input paper for " + name + " correcting!"));
        QVERIFY(EmulatorFixture::insertTicket());
        QCOMPARE(Emu_PushTicket(70), 1);
        QVERIFY(view_->waitForMessage(name + " correct successful!"));
        session_->waitForOperation();
        const auto lines = view_->panelLines();
        QCOMPARE(QString::fromStdString(lines.at(0)), QString::fromStdString(name + " correct successful!"));
        QCOMPARE(QString::fromStdString(lines.at(1)),
                 QString::fromStdString(name + " correcting now,please wait...    100%"));
        QVERIFY(view_->waitFor([&] { return session_->workerRunning(); }));
    }

private slots:
    void init() {
        fixture_.setUp();
        QCOMPARE(QString::fromStdString(
                     binding_.bind(EmulatorFixture::deviceLibrary(), EmulatorFixture::decodeLibrary(false))),
                 QString());
        view_ = std::make_unique<RecordingView>();
        session_ = std::make_unique<Session>(binding_.api(), *view_);
    }

    void cleanup() {
        if (QTest::currentTestFailed() || std::getenv("TELLERDESK_TEST_DUMP"))
            for (const auto& m : view_->messages()) qWarning("  panel: %s", m.c_str());
        session_.reset();
        binding_.unload();
        view_.reset();
        fixture_.tearDown();
    }

    void openListsStoredBitmapsFlashFirst() {
        const auto& api = binding_.api();
        QVERIFY(api.OpenUSBPort());
        const std::vector<std::uint8_t> logo(3 * 16, 0x0F);
        QCOMPARE(api.DownLoadPictureEx(0, 0, "RAMLOGO", 24, 16, 1, logo.data()), 1);
        QCOMPARE(api.DownLoadPictureEx(1, 0, "FLASH8CH", 24, 16, 1, logo.data()), 1);
        api.CloseUSBPort();

        openWith(FormState{});
        QCOMPARE(view_->count("Open usb port successful!"), 1);
        QCOMPARE(view_->names(), (std::vector<std::string>{"FLASH8CH", "RAMLOGO"}));
        QCOMPARE(session_->connectionState(), kConnectionOpen);
        QVERIFY(view_->waitFor([&] { return view_->lastControls() == ControlState{true, false, false}; }));
        QVERIFY(session_->workerRunning());
    }

    void aBarcodeTicketIsScannedSavedAndDecodedWithItsRate() {
        FormState form;
        apply_scan_type_presets(form, kBarCode);
        openWith(form);
        QVERIFY(EmulatorFixture::insertTicket());
        QVERIFY(view_->waitForMessage("Decode successful!Decode rate:1/1!"));
        QCOMPARE(QString::fromStdString(view_->lastResult()), QString("Code 128: DOUBLE-1\n"));
        int bits = 0, height = 0;
        QVERIFY(bmp_header("Picture.bmp", bits, height));
        QCOMPARE(bits, 1);
        QCOMPARE(height, EmulatorFixture::kTicketHeight);  // 200 DPI: every row
        // The reports of one ticket, in order.
        const auto m = view_->messages();
        const std::vector<std::string> expected{"Scanning...", "Reading picture...",
                                                "Read picture successful!", "Save picture successful!",
                                                "Decode successful!Decode rate:1/1!"};
        auto at = m.begin();
        for (const auto& e : expected) {
            at = std::find(at, m.end(), e);
            QVERIFY2(at != m.end(), e.c_str());
        }
    }

    void aReliabilityMarkTicketIsShownAsByteValues() {
        FormState form;
        apply_scan_type_presets(form, kManuscriptReliability);
        openWith(form);
        QVERIFY(EmulatorFixture::insertTicket());
        QVERIFY(view_->waitForMessage("Decode successful!Decode rate:1/1!"));
        QCOMPARE(QString::fromStdString(view_->lastResult()), QString("Block num:2\r\n001  255  "));
        int bits = 0, height = 0;
        QVERIFY(bmp_header("Picture.bmp", bits, height));
        QCOMPARE(height, EmulatorFixture::kTicketHeight / 2);  // 100 DPI preset: every other row
    }

    void aGreyPictureIsSavedButNeverDecoded_data() {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("rows");
        // At 200 DPI the grey picture spans more than one 256 KiB batch of the device.
        QTest::newRow("100 DPI") << 0 << EmulatorFixture::kTicketHeight / 2;
        QTest::newRow("200 DPI") << 1 << EmulatorFixture::kTicketHeight;
    }

    void aGreyPictureIsSavedButNeverDecoded() {
        QFETCH(int, dpi);
        QFETCH(int, rows);
        FormState form;
        apply_scan_type_presets(form, kBarCode);
        form.pictureType = 1;
        form.scanWidth = "54";  // the ticket's width
        form.dpi = dpi;
        openWith(form);
        QVERIFY(EmulatorFixture::insertTicket());
        QVERIFY(view_->waitForMessage("Save picture successful!"));
        int bits = 0, height = 0;
        QVERIFY(bmp_header("Picture.bmp", bits, height));
        QCOMPARE(bits, 8);
        QCOMPARE(height, rows);
        // The ticket's last box (rows 560..619 of 640, columns 296..415) is there
        // in full: nothing at the end of the picture was lost.
        const int boxRow = 590 * rows / EmulatorFixture::kTicketHeight;
        const int lastRow =
            rows - 1 - 8 * rows / EmulatorFixture::kTicketHeight;  // in the white margin below it
        QVERIFY(grey_at("Picture.bmp", 350, boxRow) < 128);
        QVERIFY(grey_at("Picture.bmp", 100, boxRow) >= 128);
        QVERIFY(grey_at("Picture.bmp", 350, lastRow) >= 128);
        QVERIFY(view_->waitFor([&] { return Emu_StoredBitmapCount(0) == 0; }));  // let the cycle end
        QCOMPARE(session_->decodeTries(), 0);
        QCOMPARE(view_->lastResult(), std::string());
    }

    void autoPrintPrintsTheHeldTicketAndEjectsIt() {
        // First scan holds the ticket; with it under the print head, ticking
        // Print character makes the next scan print automatically.
        FormState form;
        apply_scan_type_presets(form, kBarCode);
        form.actionAfterScan = kAfterScanStop;
        openWith(form);
        QVERIFY(EmulatorFixture::insertTicket());
        QVERIFY(view_->waitForMessage("Read picture successful!"));
        form.printCharacter = true;
        form.autoPrint = true;
        form.content = "PAID";
        form.printBuffer = "40";  // shorter than the ticket
        session_->setForm(form);
        QVERIFY(view_->waitForMessage("Print successful!"));
        QVERIFY(session_->printFlag());
        QVERIFY(view_->count("Set character print position successful!") >= 1);
        char path[512] = {};
        QVERIFY(view_->waitFor([&] { return Emu_GetLastPrintFile(path, sizeof path) == 1; }));
        QCOMPARE(fs::path(path).parent_path(), fixture_.workDir / "printed");
        QVERIFY(fs::exists(path));
        int ticketsOut = 0;
        QVERIFY(view_->waitFor([&] {
            Emu_GetPaperPosition(nullptr, nullptr, &ticketsOut, nullptr);
            return ticketsOut == 1;
        }));
    }

    void aJammedTicketIsRecoveredAndTheWorkerGoesOn() {
        openWith(FormState{});
        Emu_SetCondition(EMU_COND_FAKE_JAM, 1);
        QVERIFY(view_->waitForMessage("The scanner is paper error,please erasure!"));
        QVERIFY(view_->waitFor(
            [&] { return view_->lastStatus().find("Passage:expedite") != std::string::npos; }));
        QVERIFY(session_->workerRunning());
        QCOMPARE(view_->count("Get status failed!"), 0);
    }

    void aJamThatStaysEndsTheWorkerAndClosesThePort() {
        openWith(FormState{});
        QVERIFY(EmulatorFixture::insertTicket());
        Emu_SetCondition(EMU_COND_REAL_JAM, 1);
        QVERIFY(view_->waitFor([&] { return !session_->workerRunning(); }, std::chrono::seconds(20)));
        QVERIFY(view_->count("The scanner is paper error,please erasure!") >= 1);
        QVERIFY(view_->waitFor([&] { return view_->lastControls() == ControlState{false, true, true}; }));
        QCOMPARE(view_->lastStatus(), std::string());
    }

    void theTphCheckRefusesToScanWithoutPaperAtTheHead() {
        FormState form;
        form.actionAfterScan = kAfterScanStop;
        form.printCharacter = true;
        openWith(form);
        Emu_JournalClear();
        QVERIFY(EmulatorFixture::insertTicket());
        QVERIFY(view_->waitForMessage("Please place paper on the TPH!"));
        QCOMPARE(view_->count("Scanning..."), 0);
        QVERIFY(!journal_has_write(0x1A, 0x87));  // no scan started, no settings sent
        int location = 0;
        Emu_GetPaperPosition(&location, nullptr, nullptr, nullptr);
        QCOMPARE(location, int(EMU_PAPER_AT_ENTRY));
    }

    void outTicketWithoutATicketSendsNothing() {
        openWith(FormState{});
        Emu_JournalClear();
        session_->outTicket();
        session_->backTicket();
        QCOMPARE(view_->count("No ticket in device, can't out ticket!"), 1);
        QCOMPARE(view_->count("No ticket in device, can't back ticket!"), 1);
        QVERIFY(!journal_has_write(0x1A, 0x4B));
    }

    void bitmapNamesAreCheckedBeforeAnyFileDialog() {
        openWith(FormState{});
        int dialogs = 0;
        const FileChooser chooser = [&](const std::string&) {
            ++dialogs;
            return std::string();
        };
        FormState form;
        form.bitmapName = "NINECHARS";
        session_->setForm(form);
        QVERIFY(!session_->downloadBitmap(chooser));
        form.bitmapName = "";
        session_->setForm(form);
        QVERIFY(!session_->downloadBitmap(chooser));
        QCOMPARE(dialogs, 0);
        QCOMPARE(view_->count("The length of picture's name can't more than 8!"), 1);
        QCOMPARE(view_->count("Please input a name for bitmap in scanner!"), 1);
    }

    void aFailedDownloadLeavesTheListUnchangedAndAGoodOneAddsTheName() {
        openWith(FormState{});
        const auto before = view_->names();
        std::ofstream("not-a-bitmap.bmp") << "this is not a BMP";
        FormState form;
        form.bitmapName = "LOGO";
        session_->setForm(form);
        std::string filter;
        QVERIFY(session_->downloadBitmap([&](const std::string& f) {
            filter = f;
            return (fixture_.workDir / "not-a-bitmap.bmp").string();
        }));
        session_->waitForOperation();
        QCOMPARE(QString::fromStdString(filter), QString("Files (*.bmp)"));
        QCOMPARE(view_->count("Download picture failed!"), 1);
        QCOMPARE(session_->bitmapNames(), before);

        // A real 1-bit BMP, 32 x 16, written by the device library itself.
        const std::vector<std::uint8_t> rows(4 * 16, 0xF0);
        QCOMPARE(binding_.api().SaveDataToBmp(rows.data(), 4, 16, "logo.bmp", 0), 1);
        QVERIFY(session_->downloadBitmap(
            [&](const std::string&) { return (fixture_.workDir / "logo.bmp").string(); }));
        session_->waitForOperation();
        QCOMPARE(view_->count("Download picture successful!"), 1);
        QCOMPARE(session_->bitmapNames(), std::vector<std::string>{"LOGO"});
        QCOMPARE(Emu_StoredBitmapCount(0), 1);
        QVERIFY(view_->waitFor([&] { return session_->workerRunning(); }));
    }

    void cancellingDownloadFileClosesThePort() {
        std::string filter;
        QVERIFY(!session_->downloadFile([&](const std::string& f) {
            filter = f;
            return std::string();
        }));
        QCOMPARE(QString::fromStdString(filter), QString("All Files (*)"));
        const auto m = view_->messages();
        QCOMPARE(m, (std::vector<std::string>{"Open usb port successful!", "Close usb port successful!"}));
        QCOMPARE(session_->connectionState(), kConnectionClosed);
        QVERIFY(view_->lastControls() == (ControlState{false, true, true}));
    }

    void downloadFileSendsTheWholeFileRaw() {
        std::ofstream("raw.bin", std::ios::binary) << std::string("\x1b\x40", 2);
        Emu_JournalClear();
        QVERIFY(session_->downloadFile(
            [&](const std::string&) { return (fixture_.workDir / "raw.bin").string(); }));
        session_->waitForOperation();
        QCOMPARE(view_->count("Download file successful!"), 1);
        QCOMPARE(view_->messages().back(), std::string("Close usb port successful!"));
        QVERIFY(journal_has_write(0x1B, 0x40));
    }

    void cisCorrectWithASheetOverEverySensorEndsAt100Percent() { calibrate(true, "CIS"); }

    void sensorCorrectWithASheetOverEverySensorEndsAt100Percent() { calibrate(false, "Sensor"); }

    void aFailedCalibrationKeepsItsLastPercentageAndRestartsTheWorker() {
        openWith(FormState{});
        QCOMPARE(Emu_SetCondition(EMU_COND_CALIBRATION_FAILS, 1), 1);
        QVERIFY(session_->cisCorrect());
        QVERIFY(view_->waitForMessage("Please input paper for CIS correcting!"));
        QVERIFY(EmulatorFixture::insertTicket());
        QCOMPARE(Emu_PushTicket(70), 1);
        QVERIFY(view_->waitForMessage("CIS correct failed!"));
        session_->waitForOperation();
        const auto lines = view_->panelLines();
        QCOMPARE(QString::fromStdString(lines.at(0)), QString("CIS correct failed!"));
        QVERIFY(QString::fromStdString(lines.at(1)).startsWith("CIS correcting now,please wait...    "));
        QVERIFY(!QString::fromStdString(lines.at(1)).endsWith("100%"));
        QVERIFY(view_->waitFor([&] { return session_->workerRunning(); }));
    }

    void aResetReportsProgressAndOpensThePortAgain() {
        openWith(FormState{});
        QVERIFY(session_->resetDevice());
        session_->waitForOperation();
        QVERIFY(view_->count("The device is resetting now,please wait...    100%") == 1);
        const auto m = view_->messages();
        const auto done = std::find(m.begin(), m.end(), "Resetting the device successful!");
        QVERIFY(done != m.end());
        QVERIFY(std::find(done, m.end(), "Open usb port successful!") != m.end());
        QVERIFY(session_->workerRunning());
        QCOMPARE(session_->connectionState(), kConnectionOpen);
    }

    void closePortStopsTheWorkerAndClearsTheStatus() {
        openWith(FormState{});
        session_->closePort();
        session_->waitForOperation();
        QVERIFY(!session_->workerRunning());
        QCOMPARE(view_->count("Closing USB port now,please wait...    100%"), 1);
        QCOMPARE(view_->messages().back(), std::string("Close USB port successful!"));
        QCOMPARE(view_->lastStatus(), std::string());
        QVERIFY(view_->lastControls() == (ControlState{false, true, true}));
    }

    void closingDuringALongOperationStopsAndWaits() {
        openWith(FormState{});
        QVERIFY(session_->cisCorrect());  // waits for paper that never comes
        QVERIFY(view_->waitForMessage("Please input paper for CIS correcting!"));
        QElapsedTimer timer;
        timer.start();
        session_->shutdown();
        QVERIFY(timer.elapsed() < 3000);
        QVERIFY(!session_->workerRunning());
        QVERIFY(!session_->operationRunning());
        const auto reports = view_->messages().size();
        binding_.unload();  // CloseUSBPort, then the libraries go
        QTest::qWait(100);
        QCOMPARE(view_->messages().size(), reports);
    }

    void aFailedOpenLeavesOnlyOpenPortAndDownloadFile() {
        Emu_InjectFault(EMU_FAULT_OPEN_FAIL, -1, 0, -1);
        QVERIFY(!session_->openPort());
        QCOMPARE(view_->messages(), std::vector<std::string>{"Open usb port failed!"});
        QVERIFY(view_->lastControls() == (ControlState{false, true, true}));
        QVERIFY(!session_->workerRunning());
    }

    void aStatusThatCannotBeReadEndsTheWorkerAndClosesThePort() {
        openWith(FormState{});
        Emu_InjectFault(EMU_FAULT_STATUS_FAIL, -1, 0, -1);
        QVERIFY(view_->waitForMessage("Get status failed!"));
        QVERIFY(view_->waitFor([&] { return !session_->workerRunning(); }));
        QVERIFY(view_->waitFor([&] { return view_->lastControls() == ControlState{false, true, true}; }));
        QCOMPARE(view_->lastStatus(), std::string());
    }

    void printMarkChecksContentStatusAndTicketFirst() {
        openWith(FormState{});
        Emu_JournalClear();
        session_->printMark();  // nothing ticked at the last scan start
        QCOMPARE(view_->count("Please select print content first!"), 1);
        QVERIFY(journal_has_write(0x1A, 0x4B));  // the ticket is fed out instead

        // A held ticket under the head, print content chosen: Print Mark prints.
        FormState form;
        form.actionAfterScan = kAfterScanStop;
        session_->setForm(form);
        QVERIFY(EmulatorFixture::insertTicket());
        QVERIFY(view_->waitForMessage("Read picture successful!"));
        form.printCharacter = true;
        form.autoPrint = false;
        form.printBuffer = "40";
        session_->setForm(form);
        QVERIFY(view_->waitFor([&] { return session_->printFlag(); }));
        // Hold the ticket without scanning it again, then print by hand.
        form.actionAfterScan = kAfterScanPrint;
        session_->setForm(form);
        const auto held = [&] {
            const DeviceStatus s = session_->lastStatus();
            return s.waiting == 1 && s.scanning == 0 && s.haveData == 0;
        };
        QVERIFY(view_->waitFor(held));
        QTest::qWait(100);  // a few worker cycles: no new scan starts
        QVERIFY(view_->waitFor(held));
        session_->printMark();
        QVERIFY(view_->waitForMessage("Print successful!"));
        int ticketsOut = 0;
        QVERIFY(view_->waitFor([&] {
            Emu_GetPaperPosition(nullptr, nullptr, &ticketsOut, nullptr);
            return ticketsOut == 1;
        }));
        QVERIFY(view_->waitFor([&] { return session_->lastStatus().waiting == 0; }));
        session_->printMark();
        QCOMPARE(view_->count("Please scan image first and then to print!"), 1);
    }

    void theBitmapReportListsEveryStoredName() {
        const std::vector<std::uint8_t> logo(3 * 16, 0x0F);
        QVERIFY(binding_.api().OpenUSBPort());
        QCOMPARE(binding_.api().DownLoadPictureEx(0, 0, "ONE", 24, 16, 1, logo.data()), 1);
        QCOMPARE(binding_.api().DownLoadPictureEx(0, 0, "TWO", 24, 16, 1, logo.data()), 1);
        binding_.api().CloseUSBPort();
        openWith(FormState{});
        session_->getCasualBitmaps();
        const std::string frame = "****************************************************";
        const std::string report = view_->messages().back();
        QVERIFY(report.rfind(frame + "\r\nRam bitmap number:2,remainder memory:", 0) == 0);
        QVERIFY(report.find("\r\nThe name of 0 bitmap = ONE\r\nThe name of 1 bitmap = TWO\r\n" + frame) !=
                std::string::npos);
        session_->eraseCasualArea();
        QVERIFY(view_->messages().back() == frame + "\r\nErasure bitmap of ram successful!\r\n" + frame);
        QVERIFY(view_->waitFor([&] { return view_->names().empty(); }));
    }

    void aBadFirmwareFileIsRefusedWithAMessageBox() {
        openWith(FormState{});
        std::ofstream("bad.JK") << "no device name here";
        std::string filter;
        QVERIFY(!session_->updateFirmware([&](const std::string& f) {
            filter = f;
            return (fixture_.workDir / "bad.JK").string();
        }));
        QCOMPARE(QString::fromStdString(filter), QString("Files (*.JK)"));
        QCOMPARE(view_->boxes(),
                 std::vector<std::string>{"The file to download is error and can't be download!"});
        QVERIFY(session_->workerRunning());
    }

#ifdef MKFIRMWARE_PATH
    void aFirmwareUpdateNamesBothVersionsAndRestartsTheWorker() {
        openWith(FormState{});
        char before[7] = {};
        QVERIFY(Emu_GetFirmwareVersion(before));
        std::ofstream("image.bin", std::ios::binary) << std::string(256, '\x5a');
        const std::string command =
            std::string(MKFIRMWARE_PATH) + " --bin image.bin --version 2.0.07 update.JK";
        QCOMPARE(std::system(command.c_str()), 0);
        QVERIFY(session_->updateFirmware(
            [&](const std::string&) { return (fixture_.workDir / "update.JK").string(); }));
        session_->waitForOperation();
        const auto m = view_->messages();
        const auto start = std::find_if(m.begin(), m.end(), [](const std::string& t) {
            return t.rfind("Update from ", 0) == 0 &&
                   t.find(" to 2.0.07,please wait...") != std::string::npos &&
                   t.find('/') == std::string::npos;
        });
        QVERIFY(start != m.end());
        QVERIFY(std::find(start, m.end(), "Update firmware successful!") != m.end());
        char after[7] = {};
        QVERIFY(Emu_GetFirmwareVersion(after));
        QCOMPARE(QString(after), QString("2.0.07"));
        QVERIFY(session_->workerRunning());
    }
#endif

    void reportsAreFramed() {
        openWith(FormState{});
        session_->getScanArea();
        session_->getVersion();
        const auto m = view_->messages();
        const std::string frame = "****************************************************";
        QCOMPARE(QString::fromStdString(m.at(m.size() - 2)),
                 QString::fromStdString(frame + "\r\nborder width = 0;scan width = 80;scan height=0.\r\n" +
                                        frame));
        QVERIFY(m.back().find("\r\nKestrom.dll version = V1.01/10/03/17\r\n") != std::string::npos);
        QVERIFY(m.back().find("\r\nDecode.dll version = decode double 1.0") != std::string::npos);
        QVERIFY(m.back().find("\r\nFirmware version = ") != std::string::npos);
    }
};

QTEST_GUILESS_MAIN(SessionTest)
#include "session_test.moc"
