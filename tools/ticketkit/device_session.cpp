#include "device_session.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace ticketkit {
namespace {

constexpr int kFullWidthMm = 216;
constexpr int kWholeTicket = 0;  // scan height 0: the whole ticket
constexpr int kCasual = 0;       // settings not stored in the device's flash
constexpr int kFontByte = '0';
constexpr int kFontSize = 0;
constexpr int kPrintMode = 1;
constexpr int kJamClearTries = 10;

using Clock = std::chrono::steady_clock;

int elapsed_ms(Clock::time_point since) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

void pause_ms(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

std::string use_emulator() {
    const std::string path = find_emulator_library();
    if (path.empty())
        fail(kExitDevice,
             "--emulator: libScannerEmulator.so is not installed beside this program (looked in " +
                 program_folder() + "/../lib)");
    ::setenv("PIPEWELL_LIBRARY", path.c_str(), 1);
    return path;
}

DeviceSession::DeviceSession(const DeviceOptions& options) {
    if (options.emulator) {
        const std::string path = use_emulator();
        emulator_ = std::make_unique<EmulatorControl>();
        emulator_->bind(path);
        if (options.fast) emulator_->SetTimeScale(kFastClock);
    }
    kestrom_.bind();
    link_.open();
    if (kestrom_.OpenUSBPort() == 0) {
        const char* link = std::getenv("PIPEWELL_LIBRARY");
        const std::string reason = link_.last_error();
        fail(kExitDevice,
             std::string("cannot open the scanner: ") +
                 (link ? std::string("the link library ") + link + " found no device"
                       : "no TQ-RMX7KP found on USB (unplugged, or no permission: see the README's "
                         "udev rule); --emulator runs against the software scanner-printer") +
                 (reason.empty() ? "" : "\n  link: " + reason));
    }
    open_ = true;
}

DeviceSession::~DeviceSession() {
    if (open_) kestrom_.CloseUSBPort();
}

DeviceStatus DeviceSession::status() {
    DeviceStatus s{};
    if (kestrom_.GetBSStatus(reinterpret_cast<int32_t*>(&s)) == 1) return s;
    pause_ms(kPollMs);  // one more try, as the demo's worker does
    if (kestrom_.GetBSStatus(reinterpret_cast<int32_t*>(&s)) == 1) return s;
    fail(kExitDevice, "cannot read the device status (link lost?)");
}

bool DeviceSession::wait_for_ticket(int timeoutMs, Progress* progress) {
    const auto start = Clock::now();
    int jamTries = 0;
    for (;;) {
        const DeviceStatus s = status();
        if (s.statusError == 1 && s.passageJam == 1) {
            if (++jamTries > kJamClearTries)
                fail(kExitDevice, "paper jam in the passage; take the ticket out");
            kestrom_.CorrectFakeJamError();
        } else {
            const bool paper = s.paperSensorA == 1 || s.paperSensorB == 1 || s.paperAtPrintHead == 1;
            if ((paper && s.scannerIdle == 1) || s.waiting == 1) return true;
        }
        if (elapsed_ms(start) >= timeoutMs) return false;
        if (progress) progress->set("waiting for a ticket");
        pause_ms(kPollMs);
    }
}

void DeviceSession::start_scan(int pictureType, int linesPerMm, int action) {
    if (kestrom_.SetScanWidth(0, kFullWidthMm) != 1) fail(kExitDevice, "the device refused the scan width");
    if (kestrom_.SetScanHeight(kWholeTicket) != 1) fail(kExitDevice, "the device refused the scan height");
    if (kestrom_.SetScanPictureType(pictureType, kCasual) != 1)
        fail(kExitDevice, "the device refused the picture type");
    if (kestrom_.SetScanDPI(linesPerMm, kCasual) != 1) fail(kExitDevice, "the device refused the resolution");
    if (kestrom_.StartScan(action) != 1) fail(kExitDevice, "the device did not start the scan");
}

void DeviceSession::read_picture(ScannedPicture& picture, int timeoutMs) {
    const auto start = Clock::now();
    for (;;) {
        const DeviceStatus s = status();
        if (s.haveData == 1 && s.statusError == 0) break;
        if (s.statusError == 1)
            fail(kExitDevice, std::string("the device reported an error while scanning") +
                                  (s.passageJam ? " (paper jam)" : ""));
        if (elapsed_ms(start) >= timeoutMs) fail(kExitDevice, "no picture data arrived from the scanner");
        pause_ms(kPollMs);
    }
    picture.data.assign(kPictureBufferBytes, 0);
    if (kestrom_.ReadPictureData(picture.data.data(), &picture.lineBytes, &picture.lines,
                                 &picture.pictureType, &picture.linesPerMm) != 1)
        fail(kExitDevice, "reading the picture from the scanner failed");
}

int DeviceSession::print_lines(const std::vector<std::string>& lines, int verMm, int bufferMm,
                               int afterPrint) {
    if (kestrom_.SetPrintBuffer(bufferMm) != 1) {
        if (afterPrint == 1) kestrom_.StartFeedPaper(0, 0);
        return 0;
    }
    bool placed = false;
    int ver = verMm;
    for (const std::string& line : lines) {
        if (ver + kPrintLineMm > bufferMm) break;  // no room left on the ticket
        if (!line.empty() &&
            kestrom_.SetCharPrintPosition(0, 0, ver, kFontByte, kFontSize, line.c_str()) == 1)
            placed = true;
        ver += kPrintLineMm;
    }
    const int result = placed ? kestrom_.StartPrint(kPrintMode, afterPrint) : 0;
    if (result == 2) kestrom_.CorrectFakeJamError();
    if (result != 1 && afterPrint == 1) kestrom_.StartFeedPaper(0, 0);
    return result;
}

bool DeviceSession::wait_until_clear(int timeoutMs) {
    const auto start = Clock::now();
    for (;;) {
        const DeviceStatus s = status();
        // Gone when nothing is held or moving; the next ticket may already wait at the entry.
        if (s.waiting == 0 && s.feedingPaper == 0 && s.printing == 0 && s.scanning == 0) return true;
        if (elapsed_ms(start) >= timeoutMs) return false;
        pause_ms(kPollMs);
    }
}

std::string status_text(const DeviceStatus& s) {
    std::string t = s.headHot == 1 ? "Print header:hot" : "Print header:normal";
    t += s.coverOpen == 1 ? "\nCover:opened" : "\nCover:closed";
    t += s.passageJam == 1 ? "\nPassage:jam" : "\nPassage:expedite";
    t += s.commandError == 1 ? "\nCommand:error" : "\nCommand:normal";
    if (s.scanLinesPerMm == 4) t += "\nScan DPI:100";
    if (s.scanLinesPerMm == 8) t += "\nScan DPI:200";
    t += s.grayPicture == 1 ? "\nPicture:gray" : "\nPicture:black white";
    t += s.lockScan == 1 ? "\nMode: LockScan" : "\nMode: No-LockScan";
    if (s.scannerIdle == 1) t += "\nScanner:Idle";
    if (s.scanning == 1) t += "\nScanning";
    if (s.waiting == 1) t += "\nWaiting";
    if (s.printing == 1) t += "\nPritning";
    if (s.feedingPaper == 1) t += "\nFeeding paper";
    if (s.statusError == 1) t += "\nStatus error";
    if (s.haveData == 1) t += "\nHave date";
    return t;
}

std::vector<std::string> wrap_for_print(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& line : lines)
        for (std::size_t at = 0; at < line.size() || (at == 0 && line.empty()); at += kPrintColumns)
            out.push_back(line.substr(at, kPrintColumns));
    return out;
}

}  // namespace ticketkit
