#pragma once
// An open connection to the scanner-printer through libKestrom.so, and the
// steps of a ticket's road the device subcommands share: wait for a ticket,
// scan it, read the picture, print lines of text on it, eject it.

#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "kit_libraries.h"

namespace ticketkit {

// Options every device subcommand takes.
struct DeviceOptions {
    bool emulator = false;  // --emulator: the software scanner-printer
    bool fast = false;      // --fast (with --emulator): the device's clock runs kFastClock times real time
};

constexpr double kFastClock = 8.0;
constexpr int kPollMs = 50;  // status polling while waiting
constexpr int kPictureBufferBytes = 10485760;

// Sets PIPEWELL_LIBRARY to the emulator beside this program (Failure when it is
// not there). Call before anything touches the device.
std::string use_emulator();

struct ScannedPicture {
    std::vector<std::uint8_t> data;  // kPictureBufferBytes
    int lineBytes = 0, lines = 0, pictureType = 0, linesPerMm = 0;
};

class DeviceSession {
public:
    // Binds libKestrom.so (and the emulator's control API with --emulator) and
    // opens the port; Failure(kExitDevice) naming the reason, with the link
    // library's own account of it when the link keeps one.
    explicit DeviceSession(const DeviceOptions& options);
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    KestromLibrary& kestrom() { return kestrom_; }
    EmulatorControl* emulator() { return emulator_.get(); }

    // The status now; Failure(kExitDevice) when it cannot be read.
    DeviceStatus status();
    // Waits until a ticket is at the entry with the scanner idle, or a ticket
    // is held; false after timeoutMs. A jam indication is cleared on the way.
    bool wait_for_ticket(int timeoutMs, Progress* progress);
    // Sends the scan settings (full width, whole ticket) and starts the scan
    // with `action` (0 hold, 1 to the print head, 2 eject).
    void start_scan(int pictureType, int linesPerMm, int action);
    // Waits for the picture and reads it (Failure on a device error or timeout).
    void read_picture(ScannedPicture& picture, int timeoutMs);
    // Prints `lines` (font byte, size 0) on the held ticket from verMm down,
    // buffer bufferMm, then `afterPrint` (0 hold, 1 eject). Returns StartPrint's
    // result (1 printed, 2 paper error, 0 failure); on anything but 1 with
    // afterPrint 1 the ticket is fed out. Lines that do not fit are dropped.
    int print_lines(const std::vector<std::string>& lines, int verMm, int bufferMm, int afterPrint);
    // Waits until no ticket is held, moving or scanned (an ejected ticket gone).
    bool wait_until_clear(int timeoutMs);

private:
    LinkLibrary link_;  // mapped before kestrom_ and unloaded after it
    KestromLibrary kestrom_;
    std::unique_ptr<EmulatorControl> emulator_;
    bool open_ = false;
};

// The status as the demo's status panel shows it, one item per line.
std::string status_text(const DeviceStatus& s);

// The characters per printed line in font byte, size 0, and the line pitch.
constexpr int kPrintColumns = 42;  // 256 head dots / 6 dots per character
constexpr int kPrintLineMm = 2;

// Splits long lines at kPrintColumns.
std::vector<std::string> wrap_for_print(const std::vector<std::string>& lines);

}  // namespace ticketkit
