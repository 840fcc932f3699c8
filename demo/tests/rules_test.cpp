// The dialog's rules that need no device: binding failures and their texts,
// the message panel, the status panel, mark results, lists and presets.

#include <QtTest>

#include "demo/binding.h"
#include "demo/form.h"
#include "demo/mark_result.h"
#include "demo/message_panel.h"
#include "demo/status_text.h"

using namespace tellerdesk;

class RulesTest : public QObject {
    Q_OBJECT
private slots:
    void theEmulatorIsFoundUnderItsBareOrItsVersionedName() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string lib = dir.path().toStdString();
        const std::string bare = lib + "/libScannerEmulator.so", versioned = bare + ".0";
        // Neither: the bare name, for the device library's failure message.
        QCOMPARE(emulator_library_in(lib), bare);
        // A runtime-only installation holds the versioned file alone.
        QVERIFY(QFile(QString::fromStdString(versioned)).open(QIODevice::WriteOnly));
        QCOMPARE(emulator_library_in(lib), versioned);
        // Both: the bare name first, as the loader tries them.
        QVERIFY(QFile(QString::fromStdString(bare)).open(QIODevice::WriteOnly));
        QCOMPARE(emulator_library_in(lib), bare);
    }

    void aMissingLibraryOrEntryPointIsReportedWithItsExactText_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("decode");
        QTest::addColumn<QString>("text");
        QTest::newRow("device library absent")
            << "/nonexistent/libKestrom.so" << DECODE_DOUBLE_PATH << " Load library:Kestrom.dll failed!";
        QTest::newRow("dispatcher absent") << KESTROM_PATH << "/nonexistent/libdecode.so"
                                           << " Load library:decode.dll failed!";
        QTest::newRow("no SetCharPrintPosition")
            << NO_CHAR_POSITION_PATH << DECODE_DOUBLE_PATH
            << " GetProcAddress SetCharPrintPosition in  Kestrom.dll failed!";
        QTest::newRow("no SetPrinterHeadMode: no leading blank")
            << NO_HEAD_MODE_PATH << DECODE_DOUBLE_PATH
            << "GetProcAddress SetPrinterHeadMode in  Kestrom.dll failed!";
        QTest::newRow("no GetDecodeVersion") << KESTROM_PATH << DECODE_NO_VERSION_PATH
                                             << " GetProcAddress GetDecodeVersion in  decode.dll failed!";
    }
    void aMissingLibraryOrEntryPointIsReportedWithItsExactText() {
        QFETCH(QString, device);
        QFETCH(QString, decode);
        QFETCH(QString, text);
        Binding binding;
        QCOMPARE(QString::fromStdString(binding.bind(device.toStdString(), decode.toStdString())), text);
        QVERIFY(!binding.bound());
        QVERIFY(binding.api().OpenUSBPort == nullptr);
    }

    void theFullTableBindsFortyTwoEntryPointsInOrder() {
        Binding binding;
        QCOMPARE(QString::fromStdString(binding.bind(KESTROM_PATH, DECODE_DOUBLE_PATH)), QString());
        QVERIFY(binding.bound());
        QCOMPARE(QString(entry_point_name(0)), QString("OpenUSBPort"));
        QCOMPARE(QString(entry_point_name(39)), QString("UpdateDeviceFirmware"));
        QCOMPARE(QString(entry_point_name(41)), QString("GetDecodeVersion"));
        QVERIFY(entry_point_name(42) == nullptr);
        const auto* table = reinterpret_cast<void* const*>(&binding.api());
        for (int i = 0; i < kBoundEntryPoints; ++i) QVERIFY2(table[i] != nullptr, entry_point_name(i));
        char version[64] = {};
        QCOMPARE(binding.api().GetKestromVersion(version), 1);
        QCOMPARE(QString(version), QString("V1.01/10/03/17"));
    }

    void thePanelPutsNewestFirstAndProgressReplacesTheTopLine() {
        MessagePanel panel;
        panel.add("first");
        panel.add("second");
        panel.replaceTop("working    40%");
        panel.add("****\r\nA\r\n****");
        QCOMPARE(QString::fromStdString(panel.text()), QString("****\nA\n****\nworking    40%\nfirst"));
    }

    void aFullPanelKeepsItsNewestThreeHundredLinesPlusTheNewOne() {
        MessagePanel panel;
        for (int i = 0; i < 499; ++i) panel.add("m" + std::to_string(i));
        QCOMPARE(panel.lineCount(), std::size_t(499));
        panel.add("m499");
        QCOMPARE(panel.lineCount(), std::size_t(500));
        panel.add("new");
        QCOMPARE(panel.lineCount(), std::size_t(301));
        QCOMPARE(QString::fromStdString(panel.lines().front()), QString("new"));
        QCOMPARE(QString::fromStdString(panel.lines()[1]), QString("m499"));
        QCOMPARE(QString::fromStdString(panel.lines().back()), QString("m200"));
    }

    void theStatusTextFollowsTheFields() {
        DeviceStatus s{};
        s.scanLinesPerMm = 8;
        s.lockScan = 1;
        s.scannerIdle = 1;
        QCOMPARE(QString::fromStdString(status_text(s)),
                 QString("Print header:normal\r\nCover:closed\r\nPassage:expedite\r\nCommand:normal"
                         "\r\nScan DPI:200\r\nPicture:black white\r\nMode: LockScan\r\nScanner:Idle"));
        DeviceStatus t{};
        t.headHot = 1;
        t.coverOpen = 1;
        t.passageJam = 1;
        t.commandError = 1;
        t.scanLinesPerMm = 3;
        t.grayPicture = 1;
        t.scanning = 1;
        t.waiting = 1;
        t.printing = 1;
        t.feedingPaper = 1;
        t.statusError = 1;
        t.haveData = 1;
        QCOMPARE(QString::fromStdString(status_text(t)),
                 QString("Print header:hot\r\nCover:opened\r\nPassage:jam\r\nCommand:error\r\nPicture:gray"
                         "\r\nMode: No-LockScan\r\nScanning\r\nWaiting\r\nPritning\r\nFeeding paper"
                         "\r\nStatus error\r\nHave date"));
    }

    void markResultsAreFormattedPerKind_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("reliability");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("two blocks") << QByteArray("4,AB,CD") << false
                                    << QByteArray("Block num:4\r\nAB\r\nCD");
        QTest::newRow("stops after count")
            << QByteArray("2,ABCD,EF") << false << QByteArray("Block num:2\r\nAB");
        QTest::newRow("reliability bytes")
            << QByteArray("2,\x01\xff") << true << QByteArray("Block num:2\r\n001  255  ");
        QTest::newRow("count beyond text") << QByteArray("99,A") << false << QByteArray("Block num:99\r\nA");
        QTest::newRow("no count") << QByteArray("garbage") << false << QByteArray("Block num:");
    }
    void markResultsAreFormattedPerKind() {
        QFETCH(QByteArray, text);
        QFETCH(bool, reliability);
        QFETCH(QByteArray, shown);
        QCOMPARE(QByteArray::fromStdString(format_mark_result(text.toStdString(), reliability)), shown);
    }

    void fontSizesAndCodesFollowTheFontType() {
        QCOMPARE(font_sizes(kFontByte).size(), std::size_t(9));
        QCOMPARE(QString::fromStdString(font_sizes(kFontByte)[4]), QString("004"));
        QCOMPARE(QString::fromStdString(font_sizes(kFontAsd).back()), QString("P18"));
        QCOMPARE(QString::fromStdString(font_sizes(kFontCourier).back()), QString("007"));
        QCOMPARE(font_code(kFontByte), 48);
        QCOMPARE(font_code(kFontAsd), 80);
        QCOMPARE(font_code(kFontCourier), 57);
        QCOMPARE(font_size_value(kFontAsd, 4), 14);
        QCOMPARE(font_size_value(kFontAsd, 5), 18);
        QCOMPARE(font_size_value(kFontCourier, 5), 5);
    }

    void scanTypesPresetTheirLists() {
        FormState f;
        f.pictureType = 1;
        f.dpi = 1;
        f.scanHeight = "50";
        f.actionAfterScan = kAfterScanStop;
        apply_scan_type_presets(f, kPrintedOmr);
        QCOMPARE(f.pictureType, 0);
        QCOMPARE(f.dpi, 0);
        QCOMPARE(QString::fromStdString(f.scanHeight), QString("0"));
        QCOMPARE(f.actionAfterScan, int(kAfterScanOutPaper));
        apply_scan_type_presets(f, kBarCode);
        QCOMPARE(f.dpi, 1);
        f.pictureType = 1;
        apply_scan_type_presets(f, kScanPicture);
        QCOMPARE(f.pictureType, 1);  // a picture scan keeps grey
        QCOMPARE(recognition_kind(kManuscriptReliability), 5);
        QCOMPARE(recognition_kind(kScanPicture), -1);
    }

    void editListTextsReadAsLeadingIntegers() {
        QCOMPARE(to_int("160"), 160);
        QCOMPARE(to_int(" 20mm"), 20);
        QCOMPARE(to_int("abc"), 0);
        QCOMPARE(to_int("99999999999"), 2147483647);
    }
};

QTEST_GUILESS_MAIN(RulesTest)
#include "rules_test.moc"
