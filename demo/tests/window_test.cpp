// The real dialog, offscreen: a binding failure closes it with one message,
// a second start only brings the first forward, the enabling rules, and a
// ticket scanned through the window's own controls.

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QtTest>

#include "demo/main_window.h"
#include "demo/single_instance.h"
#include "emulator/ScannerEmulator.h"
#include "emulator_fixture.h"
#include "platform/dynamic_library.h"

using namespace tellerdesk;
using namespace tellerdesk::testing;

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void aMissingDispatcherShowsOneMessageAndClosesTheDialog() {
        MainWindow window;
        QStringList boxes;
        window.setMessageBoxHook([&](const QString& text) { boxes << text; });
        window.show();
        QCOMPARE(QString::fromStdString(window.initialise({KESTROM_PATH, "/nonexistent/libdecode.so"})),
                 QString(" Load library:decode.dll failed!"));
        QCOMPARE(boxes, QStringList{" Load library:decode.dll failed!"});
        QTRY_VERIFY(!window.isVisible());
        QVERIFY(window.session() == nullptr);
    }

    void aSecondStartOnlyBringsTheFirstForward() {
        const QString key = instance_key() + "-test-" + QString::number(QCoreApplication::applicationPid());
        SingleInstance first(key);
        QVERIFY(first.claim());
        QSignalSpy activated(&first, &SingleInstance::activationRequested);
        SingleInstance second(key);
        QVERIFY(!second.claim());
        QTRY_COMPARE(activated.count(), 1);
    }

    void controlsFollowTheOpenStateAndTheCheckBoxes() {
        EmulatorFixture fixture;
        fixture.setUp();
        {
            MainWindow window;
            window.show();
            QCOMPARE(QString::fromStdString(window.initialise(
                         {EmulatorFixture::deviceLibrary(), EmulatorFixture::decodeLibrary(false)})),
                     QString());
            QVERIFY(window.button("Open port")->isEnabled());
            QVERIFY(window.button("Download file")->isEnabled());
            QVERIFY(!window.button("Feed paper")->isEnabled());
            QCOMPARE(window.combo("fontSize")->currentText(), QString("004"));
            window.combo("fontType")->setCurrentIndex(kFontAsd);
            QCOMPARE(window.combo("fontSize")->count(), 6);
            QCOMPARE(window.combo("fontSize")->currentText(), QString("P06"));
            window.combo("scanType")->setCurrentIndex(kManuscriptOmr);
            QCOMPARE(window.combo("scanDpi")->currentText(), QString("100"));

            QTest::mouseClick(window.button("Open port"), Qt::LeftButton);
            QTRY_VERIFY(window.button("Feed paper")->isEnabled());
            QVERIFY(!window.button("Open port")->isEnabled());
            QTRY_VERIFY(!window.button("Download file")->isEnabled());
            // Auto is ticked: the manual print and ticket buttons wait.
            QVERIFY(!window.check("auto")->isEnabled());
            QVERIFY(!window.button("Print Mark")->isEnabled());
            window.check("printCharacter")->setChecked(true);
            QVERIFY(window.check("auto")->isEnabled());
            window.check("auto")->setChecked(false);
            QVERIFY(window.button("Print Mark")->isEnabled());
            QVERIFY(window.button("Out Ticket")->isEnabled());

            // A bar code ticket through the window.
            window.check("printCharacter")->setChecked(false);
            window.combo("scanType")->setCurrentIndex(kBarCode);
            QVERIFY(EmulatorFixture::insertTicket());
            QTRY_VERIFY_WITH_TIMEOUT(window.resultText() == "Code 128: DOUBLE-1\n", 15000);
            QTRY_VERIFY(window.statusText().startsWith("Print header:normal\nCover:closed"));
            window.close();  // stops the worker and unloads while it runs
        }
        fixture.tearDown();
    }

    // The picture pane after a scan: the whole scanned picture, and on a ticket
    // with a real symbol that symbol outlined in the overlay's red.
    void thePicturePaneShowsTheScannedTicketWithItsSymbolOutlined() {
        EmulatorFixture fixture;
        fixture.setUp();
        {
            MainWindow window;
            window.show();
            QCOMPARE(QString::fromStdString(window.initialise(
                         {EmulatorFixture::deviceLibrary(), EmulatorFixture::decodeLibrary(false)})),
                     QString());
            QVERIFY(window.picturePane()->picture().isNull());
            window.combo("scanType")->setCurrentIndex(kBarCode);
            QTest::mouseClick(window.button("Open port"), Qt::LeftButton);
            QTRY_VERIFY(window.button("Feed paper")->isEnabled());
            const std::string ticket = std::string(SAMPLES_FOLDER) + "/tickets/barcode-skewed-code128.bmp";
            QVERIFY(Emu_InsertTicketFile(ticket.c_str()) == 1);
            QTRY_VERIFY_WITH_TIMEOUT(!window.picturePane()->picture().isNull(), 15000);
            const QImage shown = window.picturePane()->picture();
            QCOMPARE(shown.width(), 1728);  // the 216 mm scan width at 8 dots/mm
            QVERIFY(shown.height() > 0);
            int red = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x) red += shown.pixel(x, y) == qRgb(220, 0, 0);
            QVERIFY2(red > 500, qPrintable(QString::number(red)));
            window.close();
        }
        fixture.tearDown();
    }

    // An answer sheet read by the real dispatcher at 4 lines/mm: the pane shows
    // its cells boxed, the marked ones in green. Runs once libInkmark exports
    // OMReadLayout; until then it says why it is skipped.
    void thePicturePaneBoxesTheCellsOfAReadAnswerSheet() {
        platform::DynamicLibrary inkmark;
        if (!inkmark.open(std::string(LIB_FOLDER) + "/libInkmark.so") || !inkmark.symbol("OMReadLayout"))
            QSKIP("libInkmark has no OMReadLayout in this build");
        const std::string samples = SAMPLES_FOLDER;
        EmulatorFixture fixture;
        fixture.setUp();
        {
            MainWindow window;
            window.show();
            QCOMPARE(QString::fromStdString(window.initialise(
                         {EmulatorFixture::deviceLibrary(), EmulatorFixture::decodeLibrary(true)})),
                     QString());
            window.combo("scanType")->setCurrentIndex(kManuscriptOmr);
            QTest::mouseClick(window.button("Open port"), Qt::LeftButton);
            QTRY_VERIFY(window.button("Feed paper")->isEnabled());
            QVERIFY(Emu_InsertTicketFile((samples + "/tickets/marks-answer-sheet.bmp").c_str()) == 1);
            QTRY_VERIFY_WITH_TIMEOUT(window.resultText().startsWith("Block num:48"), 15000);
            QTRY_VERIFY(!window.picturePane()->picture().isNull());
            const QImage shown = window.picturePane()->picture();
            int green = 0, blue = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x) {
                    green += shown.pixel(x, y) == qRgb(0, 160, 0);
                    blue += shown.pixel(x, y) == qRgb(30, 90, 230);
                }
            QVERIFY2(green > 100 && blue > green, qPrintable(QString("%1 %2").arg(green).arg(blue)));
            window.close();
        }
        fixture.tearDown();
    }
};

// The answer sheet's format file, written into the environment before main: Qt's test watchdog
// reads the environment from its own thread during the tests (see emulator_fixture.cpp).
const bool kFormatFileSet = ::setenv("FMTFILEPATH", SAMPLES_FOLDER "/FormatFile.txt", 1) == 0;

QTEST_MAIN(WindowTest)
#include "window_test.moc"
