// Opens the real dialog on a virtual display, scans a sample ticket through
// the software scanner-printer and saves a picture of the window.

#include <QComboBox>
#include <QPushButton>
#include <QScreen>
#include <QtTest>
#include <filesystem>

#include "demo/main_window.h"
#include "emulator/ScannerEmulator.h"
#include "emulator_fixture.h"

using namespace tellerdesk;
using namespace tellerdesk::testing;
namespace fs = std::filesystem;

class ScreenshotTest : public QObject {
    Q_OBJECT
private slots:
    void theDialogAfterOneTicketIsSavedAsAPicture() {
        EmulatorFixture fixture;
        fixture.setUp();
        {
            // A sample bar-code ticket when the build drew them, else our own.
            fs::path sample;
            const fs::path samples = fs::path(SAMPLES_FOLDER) / "tickets";
            if (fs::is_directory(samples))
                for (const auto& e : fs::directory_iterator(samples))
                    if (e.path().filename().string().rfind("barcode-", 0) == 0) {
                        sample = e.path();
                        break;
                    }

            MainWindow window;
            window.show();
            QCOMPARE(QString::fromStdString(
                         window.initialise({"Kestrom.dll", EmulatorFixture::decodeLibrary(true)})),
                     QString());
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            const QSize screen = window.screen()->availableSize();
            Q_UNUSED(screen);
            window.combo("scanType")->setCurrentIndex(kBarCode);
            QTest::mouseClick(window.button("Open port"), Qt::LeftButton);
            QTRY_VERIFY(window.button("Feed paper")->isEnabled());
            QVERIFY(sample.empty() ? EmulatorFixture::insertTicket()
                                   : Emu_InsertTicketFile(sample.c_str()) == 1);
            QTRY_VERIFY_WITH_TIMEOUT(window.panel().text().find("Decode") != std::string::npos, 20000);
            QTest::qWait(500);  // one more status cycle
            const char* target = std::getenv("TELLERDESK_SCREENSHOT");
            const QString path = target ? QString(target) : QString(SCREENSHOT_PATH);
            QVERIFY(window.grab().save(path, "PNG"));
            qInfo("window %dx%d", window.frameGeometry().width(), window.frameGeometry().height());
            QVERIFY(window.frameGeometry().width() <= 1366);
            QVERIFY(window.frameGeometry().height() <= 768);
            // Room left for a window manager's frame and a panel on a 1366 x 768 screen.
            QVERIFY(window.minimumSizeHint().width() <= 1366 - 30);
            QVERIFY(window.minimumSizeHint().height() <= 768 - 60);
            window.close();
        }
        fixture.tearDown();
    }
};

QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
