// Tellerdesk: the demo dialog of the TQ-RMX7KP ticket scanner-printer.
//
//   Tellerdesk                      against the scanner on USB
//   Tellerdesk --emulator [--tickets DIR]
//                                   against the software scanner-printer of
//                                   the build, fed with the sample tickets

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <cstdlib>

#include "demo/binding.h"
#include "demo/main_window.h"
#include "demo/single_instance.h"

namespace {

// Sets `name` to `value` unless it is already set.
void set_default_env(const char* name, const QString& value) {
    if (std::getenv(name) == nullptr) qputenv(name, value.toLocal8Bit());
}

// Puts the build's software scanner-printer behind the device library and
// points it at the sample tickets and their format files.
void use_emulator(const QString& tickets) {
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString lib = QFileInfo(bin.filePath("../lib")).absoluteFilePath();
    qputenv("PIPEWELL_LIBRARY",
            QByteArray::fromStdString(tellerdesk::emulator_library_in(lib.toStdString())));
    const QString folder = tickets.isEmpty() ? bin.filePath("../samples/tickets") : tickets;
    qputenv("EMULATOR_TICKETS", QFileInfo(folder).absoluteFilePath().toLocal8Bit());
    set_default_env("FMTFILEPATH", QFileInfo(bin.filePath("../samples/FormatFile.txt")).absoluteFilePath());
    set_default_env("FMTFILESPPATH",
                    QFileInfo(bin.filePath("../samples/FormatFileSP.txt")).absoluteFilePath());
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(tellerdesk::kApplicationName);
    QApplication::setApplicationVersion("1.01");

    QCommandLineParser parser;
    parser.setApplicationDescription("Demo dialog of the TQ-RMX7KP ticket scanner-printer.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption emulator("emulator", "Use the software scanner-printer of the build.");
    const QCommandLineOption tickets("tickets", "Folder of BMP tickets the software scanner-printer feeds.",
                                     "DIR");
    parser.addOption(emulator);
    parser.addOption(tickets);
    parser.process(app);
    if (parser.isSet(emulator) || parser.isSet(tickets)) use_emulator(parser.value(tickets));

    tellerdesk::SingleInstance instance(tellerdesk::instance_key());
    if (!instance.claim()) return 0;

    tellerdesk::MainWindow window;
    QObject::connect(&instance, &tellerdesk::SingleInstance::activationRequested, &window,
                     &tellerdesk::MainWindow::bringToFront);
    window.show();
    if (!window.initialise().empty()) return 1;
    return app.exec();
}
