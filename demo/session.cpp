#include "demo/session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <new>

#include "demo/mark_result.h"
#include "demo/status_text.h"
#include "overlay.h"
#include "platform/sleep.h"

namespace tellerdesk {

namespace {

constexpr const char* kReportFrame = "****************************************************";

// printf into a std::string; texts here are short and fixed.
template <typename... Args>
std::string format(const char* pattern, Args... args) {
    const int n = std::snprintf(nullptr, 0, pattern, args...);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), pattern, args...);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// The zero-terminated text in a fixed buffer, never reading past its end.
std::string bounded_text(const char* buffer, std::size_t capacity) {
    return std::string(buffer, strnlen(buffer, capacity));
}

// Name of a stored bitmap from a GetBMPName reply: the reply text from its
// third byte on, up to the first zero (the library fills at most 10 bytes).
std::string bitmap_name_from_reply(const uint8_t (&reply)[11]) {
    return bounded_text(reinterpret_cast<const char*>(reply) + 2, 8);
}

}  // namespace

Session::Session(const DeviceApi& api, SessionView& view)
    : api_(api),
      view_(view),
      geometry_([](const std::string& why) { std::fprintf(stderr, "Tellerdesk: %s\n", why.c_str()); }) {}

Session::~Session() {
    shutdown();
}

void Session::setForm(const FormState& form) {
    std::lock_guard lock(formMutex_);
    form_ = form;
}

FormState Session::form() const {
    std::lock_guard lock(formMutex_);
    return form_;
}

DeviceStatus Session::lastStatus() const {
    std::lock_guard lock(statusMutex_);
    return status_;
}

std::vector<std::string> Session::bitmapNames() const {
    std::lock_guard lock(namesMutex_);
    return names_;
}

void Session::pause(int ms) {
    // Long pauses are cut into slices so that closing the dialog is not held up.
    constexpr int kSliceMs = 100;
    while (ms > 0 && !closing_) {
        const int slice = std::min(ms, kSliceMs);
        platform::sleep_ms(slice);
        ms -= slice;
    }
}

void Session::publishControls(const ControlState& state) {
    {
        std::lock_guard lock(controlsMutex_);
        controls_ = state;
    }
    view_.controls(state);
}

void Session::report(const std::vector<std::string>& lines) {
    std::string text = kReportFrame;
    for (const auto& line : lines) text += (line.rfind("\r\n", 0) == 0 ? "" : "\r\n") + line;
    text += "\r\n";
    text += kReportFrame;
    view_.message(text);
}

// ---- open, bitmap list -------------------------------------------------

bool Session::openPort() {
    if (closing_) return false;
    if (!api_.OpenUSBPort()) {
        view_.message("Open usb port failed!");
        publishControls({false, true, true});
        return false;
    }
    view_.message("Open usb port successful!");
    refreshBitmapNames();
    flags_ |= 1u;
    publishControls({true, false, true});
    startWorker();
    if (api_.SetScanMode(1, 0)) {
        connection_ = kConnectionOpen;
        publishControls({true, false, false});
    } else {
        publishControls({true, true, true});
    }
    return true;
}

void Session::refreshBitmapNames() {
    std::vector<std::string> names;
    for (int area : {1, 0}) {
        int count = 0, freeBytes = 0;
        if (!api_.GetBMPNumber(area, &count, &freeBytes)) continue;
        for (int i = 0; i < count; ++i) {
            uint8_t reply[11] = {};
            if (api_.GetBMPName(area, i, reply)) names.push_back(bitmap_name_from_reply(reply));
        }
    }
    {
        std::lock_guard lock(namesMutex_);
        names_ = names;
    }
    view_.bitmapNames(names, names.empty() ? -1 : 0);
}

// ---- scan worker -------------------------------------------------------

void Session::startWorker() {
    std::lock_guard lock(workerMutex_);
    if (closing_) return;
    if (worker_.joinable()) {
        stop_ = true;
        worker_.join();
    }
    stop_ = false;
    workerActive_ = true;
    worker_ = std::thread([this] { workerLoop(); });
}

void Session::stopWorker() {
    stop_ = true;
    // The worker reads the flag at the top of its cycle; give it the time the
    // device needs to finish a cycle, then make sure it has.
    pause(kWorkerStopWaitMs);
    std::lock_guard lock(workerMutex_);
    if (worker_.joinable()) worker_.join();
}

bool Session::readStatus(DeviceStatus& s) {
    DeviceStatus fresh{};
    if (!api_.GetBSStatus(reinterpret_cast<int32_t*>(&fresh))) return false;
    s = fresh;
    std::lock_guard lock(statusMutex_);
    status_ = fresh;
    return true;
}

void Session::workerEndOnError() {
    flags_ &= ~1u;
    connection_ = kConnectionClosed;
    publishControls({false, false, false});
    view_.status("");
    api_.CloseUSBPort();
    publishControls({false, true, true});
}

void Session::workerLoop() {
    struct Done {
        std::atomic<bool>& active;
        ~Done() { active = false; }
    } done{workerActive_};

    while (!stop_) {
        platform::sleep_ms(kStatusPollMs);
        if (stop_) break;
        DeviceStatus s{};
        if (!readStatus(s)) {
            platform::sleep_ms(kStatusPollMs);
            if (stop_) break;
            if (!readStatus(s)) {
                view_.message("Get status failed!");
                workerEndOnError();
                return;
            }
        }
        view_.status(status_text(s));

        if (s.statusError == 1 && s.passageJam == 1) {
            view_.message("The scanner is paper error,please erasure!");
            view_.result("");
            bool cleared = false;
            for (int i = 0; i < kJamCorrectTries && !stop_; ++i) {
                api_.CorrectFakeJamError();
                platform::sleep_ms(kJamCorrectSettleMs);
                if (!readStatus(s)) {
                    view_.message("Get status failed!");
                    workerEndOnError();
                    return;
                }
                platform::sleep_ms(kJamCorrectSettleMs);
                if (s.passageJam != 1) {
                    cleared = true;
                    break;
                }
                platform::sleep_ms(kJamRetryPauseMs);
            }
            if (stop_) break;
            if (!cleared) {
                workerEndOnError();
                return;
            }
            view_.status(status_text(s));
        }

        if (s.paperSensorA || s.paperSensorB || s.paperAtPrintHead) {
            const FormState f = form();
            if (s.scannerIdle == 1) {
                scanStart(s);
            } else if (s.waiting && f.actionAfterScan == kAfterScanStop && !f.scanHeight.empty() &&
                       f.scanHeight[0] >= '0') {
                scanStart(s);
            }
        }

        if (!(s.haveData == 1 && s.statusError == 0)) {
            platform::sleep_ms(kNoDataPauseMs);
            continue;
        }
        handlePicture(form(), s);
    }
}

void Session::scanStart(const DeviceStatus& s) {
    const FormState f = form();
    printFlag_ = f.actionAfterScan != kAfterScanOutPaper && (f.printPicture || f.printCharacter);
    if (printFlag_ && s.paperAtPrintHead != 1) {
        view_.message("Please place paper on the TPH!");
        return;
    }
    const int linesPerMm = 4 + 4 * f.dpi;
    if (!api_.SetScanWidth(to_int(f.border), to_int(f.scanWidth))) {
        view_.message("Set Scan width failed!");
    } else if (!api_.SetScanHeight(to_int(f.scanHeight))) {
        view_.message("Set Scan height failed!");
    } else if (!api_.SetScanPictureType(f.pictureType, f.saveType)) {
        view_.message("Set Scan picture type failed!");
    } else if (!api_.SetScanDPI(linesPerMm, f.saveType)) {
        view_.message("Set Scan DPI failed!");
    } else if (!api_.StartScan(f.actionAfterScan)) {
        view_.message("Set the action after scan failed!");
    } else {
        view_.message("Scanning...");
    }
}

void Session::handlePicture(const FormState& f, const DeviceStatus& s) {
    view_.message("Reading picture...");
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kPictureBufferBytes]);
    if (!buffer) {
        view_.message("Malloc memory failed!");
        workerEndOnError();
        stop_ = true;
        return;
    }
    int lineBytes = 0, lines = 0, pictureType = 0, linesPerMm = 0;
    if (!api_.ReadPictureData(buffer.get(), &lineBytes, &lines, &pictureType, &linesPerMm)) {
        view_.message("Read picture failed!");
        buffer.reset();
        platform::sleep_ms(kStatusPollMs);
        return;
    }
    view_.message("Read picture successful!");
    view_.message(api_.SaveDataToBmp(buffer.get(), lineBytes, lines, "Picture.bmp", pictureType)
                      ? "Save picture successful!"
                      : "Save picture fail!");

    const int kind = recognition_kind(f.scanType);
    bool decoded = false;
    if (pictureType == 0 && kind >= 0 && lineBytes > 0 && lines > 0) {
        // The readers the dispatcher binds stay mapped from here on, so their layouts can be asked for.
        geometry_.open();
        ++tries_;
        char text[kDecodeTextBytes] = {};
        int kindArg = kind;
        int out = linesPerMm;
        const int r = api_.Decode(buffer.get(), lineBytes * 8, lines, &kindArg, &out, text);
        text[kDecodeTextBytes - 1] = '\0';  // a dispatcher that fills the whole buffer still ends here
        if (r == 1) {
            decoded = true;
            ++successes_;
            const std::string raw = bounded_text(text, kDecodeTextBytes);
            view_.result(kind == 1 ? raw : format_mark_result(raw, kind == 5));
            view_.message(format("Decode successful!Decode rate:%d/%d!", successes_.load(), tries_.load()));
        } else {
            view_.result("decode failed!");
            view_.message(format("Decode failed!Decode rate:%d/%d!", successes_.load(), tries_.load()));
        }
    }
    showPicture(buffer.get(), lineBytes, lines, pictureType, linesPerMm, kind, decoded);
    buffer.reset();
    if (form().autoPrint && s.statusError == 0 && printFlag_) printSequence(form());
}

void Session::showPicture(const std::uint8_t* buffer, int lineBytes, int lines, int pictureType,
                          int linesPerMm, int kind, bool decoded) {
    constexpr int kDotsAcrossPerMm = 8;
    constexpr int kBarcodeKind = 1, kPrintedKind = 2;
    if (lineBytes <= 0 || lines <= 0) return;
    // Never past the picture buffer, whatever the counts say.
    lines = std::min<std::size_t>(static_cast<std::size_t>(lines),
                                  kPictureBufferBytes / static_cast<std::size_t>(lineBytes));
    if (lines <= 0) return;
    const bool blackWhite = pictureType == 0;
    const int width = blackWhite ? lineBytes * 8 : lineBytes;
    if (linesPerMm != 4 && linesPerMm != 8) linesPerMm = kDotsAcrossPerMm;
    annotate::Overlay overlay;
    if (decoded && kind == kBarcodeKind)
        overlay.symbols = geometry_.barcodes({buffer, width, lines, linesPerMm});
    else if (decoded)
        overlay.marks = geometry_.mark_layout(kind == kPrintedKind);
    const double rowsPerDot = static_cast<double>(linesPerMm) / kDotsAcrossPerMm;
    annotate::Raster raster =
        annotate::render({buffer, width, lines, blackWhite ? 1 : 8, static_cast<std::size_t>(lineBytes)},
                         overlay, {rowsPerDot});
    if (!raster.empty()) view_.picture(std::move(raster), rowsPerDot);
}

// ---- printing ----------------------------------------------------------

void Session::printSequence(const FormState& f) {
    if (!api_.SetPrintBuffer(to_int(f.printBuffer))) {
        view_.message("Set print buffer height failed!");
        return;
    }
    bool placed = false;
    if (f.printPicture) {
        if (api_.SetPicPrintPosition(to_int(f.picHor), to_int(f.picVer), f.pictureName.c_str())) {
            view_.message("Set pciture print position successful!");
            placed = true;
        } else {
            view_.message("Set pciture print position failed!");
        }
    }
    if (f.printCharacter) {
        if (api_.SetCharPrintPosition(f.angle, to_int(f.charHor), to_int(f.charVer), font_code(f.fontType),
                                      font_size_value(f.fontType, f.fontSize), f.content.c_str())) {
            view_.message("Set character print position successful!");
            placed = true;
        } else {
            view_.message("Set character print position failed!");
        }
    }
    if (!placed) return;
    const int r = api_.StartPrint(1, f.actionAfterPrint);
    if (r == 1) {
        view_.message("Print successful!");
    } else if (r == 2) {
        view_.message("No paper on Printer head!");
        api_.CorrectFakeJamError();
    } else {
        view_.message("Set position successful but start print failed!");
    }
    if (r != 1) api_.StartFeedPaper(0, 0);
}

void Session::printMark() {
    const DeviceStatus s = lastStatus();
    if (!printFlag_) {
        view_.message("Please select print content first!");
        api_.StartFeedPaper(0, 0);
        return;
    }
    if (s.statusError) {
        view_.message("Device status error,can't print!");
        return;
    }
    if (s.waiting != 1) {
        view_.message("Please scan image first and then to print!");
        return;
    }
    printSequence(form());
}

// ---- single-call buttons -----------------------------------------------

void Session::feedPaper() {
    const FormState f = form();
    view_.message(api_.StartFeedPaper(f.feedDirection, to_int(f.feedLength)) ? "Feed paper successful!"
                                                                             : "Feed paper failed!");
}

void Session::setScanMode() {
    const FormState f = form();
    view_.message(api_.SetScanMode(f.scanMode, f.saveType) ? "Set scan mode successful!"
                                                           : "Set scan mode failed!");
}

void Session::abortScan() {
    view_.message(api_.AbortScan() ? "Abort scan successful!" : "Abort scan failed!");
}

void Session::setDarkness() {
    const FormState f = form();
    view_.message(api_.SetPrintDarkness(to_int(f.darkness), f.saveType) ? "Set print darkness successful!"
                                                                        : "Set print darkness failed!");
}

void Session::setThreshold() {
    const FormState f = form();
    view_.message(api_.SetThresholdMethord(f.thresholdMethod, to_int(f.value1), to_int(f.value2), f.saveType)
                      ? "Set threshold and value successful!"
                      : "Set threshold and value darkness failed!");
}

void Session::getThreshold() {
    int method = 0, v1 = 0, v2 = 0;
    if (api_.GetThresholdMethord(&method, &v1, &v2))
        view_.message(format("Methord:%d,value1:%d,value2:%d", method, v1, v2));
    else
        view_.message("Get threshola and value darkness failed!");
}

void Session::setTphMode() {
    view_.message(api_.SetPrinterHeadMode(form().tphMode, 0) ? "Set printer head mode successful!"
                                                             : "Set printer head mode failed!");
}

void Session::setDetectTime() {
    view_.message(api_.SetDetectPaperTime(form().detectTime) ? "Set detecting paper time successful!"
                                                             : "Set detecting paper time failed!");
}

void Session::outTicket() {
    if (lastStatus().waiting == 1)
        api_.StartFeedPaper(0, 0);
    else
        view_.message("No ticket in device, can't out ticket!");
}

void Session::backTicket() {
    if (lastStatus().waiting == 1)
        api_.StartFeedPaper(1, 0);
    else
        view_.message("No ticket in device, can't back ticket!");
}

// ---- reports -----------------------------------------------------------

void Session::getPaperPosition() {
    int passed = 0, distance = 0;
    if (api_.GetPaperPosition(&passed, &distance)) {
        report(
            {passed ? "\r\nThe paper'end have passed sensor!" : "\r\nThe paper'end have not passed sensor!",
             format("\r\nDistance between paper'head and printer'head is %d.", distance)});
    } else {
        report({"\r\nGet paper position failed!"});
    }
}

void Session::getVersion() {
    std::vector<std::string> lines;
    // The firmware reply is 15 bytes without a terminator: one byte more, zeroed.
    char firmware[16] = {};
    lines.push_back(api_.GetFirmwareVersion(firmware) ? "Firmware version = " + bounded_text(firmware, 15)
                                                      : "Get Firmware failed!");
    char decode[kDecodeTextBytes] = {};
    if (api_.GetDecodeVersion(decode))
        lines.push_back("Decode.dll version = " + bounded_text(decode, sizeof decode - 1));
    else
        lines.push_back("Get Decode.dll version failed!");
    char kestrom[64] = {};
    lines.push_back(api_.GetKestromVersion(kestrom)
                        ? "Kestrom.dll version = " + bounded_text(kestrom, sizeof kestrom - 1)
                        : "Get Kestrom.dll version failed!");
    report(lines);
}

void Session::obviatePaperError() {
    report({api_.CorrectFakeJamError() ? "\r\nObviate paper error successful!"
                                       : "\r\nObviate paper error failed!"});
}

void Session::eraseFixedArea() {
    report({api_.EraseBMPInFlash() ? "\r\nErasure bitmap of flash successful!"
                                   : "\r\nErasure bitmap of flash failed!"});
    refreshBitmapNames();
}

void Session::eraseCasualArea() {
    report({api_.EraseBMPInRam() ? "\r\nErasure bitmap of ram successful!"
                                 : "\r\nErasure bitmap of ram failed!"});
    refreshBitmapNames();
}

void Session::getScanArea() {
    int border = 0, width = 0, height = 0;
    if (api_.GetScanArea(&border, &width, &height))
        report({format("border width = %d;scan width = %d;scan height=%d.", border, width, height)});
    else
        report({"Get scan area failed!"});
}

void Session::getFixedBitmaps() {
    listBitmaps(1, "Flash");
}

void Session::getCasualBitmaps() {
    listBitmaps(0, "Ram");
}

// Reports the count, free bytes and names of the bitmaps stored in `area`
// (1 = flash, 0 = RAM), `areaName` naming it in the texts.
void Session::listBitmaps(int area, const char* areaName) {
    int count = 0, freeBytes = 0;
    if (!api_.GetBMPNumber(area, &count, &freeBytes)) {
        report({format("\r\nGet the bitmap number of %s failed", areaName)});
        return;
    }
    std::vector<std::string> lines{
        format("%s bitmap number:%d,remainder memory:%d", areaName, count, freeBytes)};
    for (int i = 0; i < count; ++i) {
        uint8_t reply[11] = {};
        lines.push_back(api_.GetBMPName(area, i, reply)
                            ? format("The name of %d bitmap = %s", i, bitmap_name_from_reply(reply).c_str())
                            : format("Get the name of %d bitmap failed!", i));
    }
    report(lines);
}

// ---- long operations ---------------------------------------------------

bool Session::startOperation(std::function<void()> body) {
    std::lock_guard lock(operationMutex_);
    if (closing_ || operationBusy_) return false;
    if (operation_.joinable()) operation_.join();
    operationBusy_ = true;
    operation_ = std::thread([this, body = std::move(body)] {
        body();
        operationBusy_ = false;
    });
    return true;
}

void Session::waitForOperation() {
    std::lock_guard lock(operationMutex_);
    if (operation_.joinable()) operation_.join();
}

bool Session::runWithProgress(const std::string& text, int step, const std::function<bool()>& call) {
    progressText_ = text;
    progressStep_ = step;
    progressSuccess_ = false;
    progressBusy_ = true;
    view_.message(text);
    std::thread progress([this] {
        int percent = 0;
        while (progressBusy_) {
            view_.progress(format("%s    %d%%", progressText_.c_str(), percent));
            percent = std::min(kProgressCap, percent + progressStep_.load());
            platform::sleep_ms(kProgressTickMs);
        }
        view_.progress(format("%s    %d%%", progressText_.c_str(), progressSuccess_ ? 100 : percent));
    });
    const bool ok = call();
    progressSuccess_ = ok;  // before busy clears: the progress thread reads it after
    progressBusy_ = false;
    progress.join();
    return ok;
}

void Session::restoreAfterOperation() {
    if (flags_ & 1u) {
        publishControls({true, false, connection_ != kConnectionOpen});
        startWorker();
    } else {
        publishControls({false, true, true});
    }
}

bool Session::downloadBitmap(const FileChooser& choose) {
    const FormState f = form();
    if (f.bitmapName.empty()) {
        view_.message("Please input a name for bitmap in scanner!");
        return false;
    }
    if (f.bitmapName.size() > 8) {
        view_.message("The length of picture's name can't more than 8!");
        return false;
    }
    if (operationBusy_) return false;
    const std::string file = choose ? choose("Files (*.bmp)") : std::string();
    if (file.empty()) return false;
    return startOperation([this, f, file] {
        const ControlState before = [this] {
            std::lock_guard lock(controlsMutex_);
            return controls_;
        }();
        publishControls({false, false, false});
        stopWorker();
        const bool ok = runWithProgress("Download picture now,please wait...", kStepDownloadBitmap, [&] {
            return api_.DownLoadPicture(f.saveType, f.bitmapSide, f.bitmapName.c_str(), file.c_str()) == 1;
        });
        if (ok) {
            view_.message("Download picture successful!");
            std::vector<std::string> names;
            {
                std::lock_guard lock(namesMutex_);
                names_.push_back(f.bitmapName);
                names = names_;
            }
            view_.bitmapNames(names, names.size() == 1 ? 0 : -2);
        } else {
            view_.message("Download picture failed!");
        }
        publishControls(before);
        if (flags_ & 1u) startWorker();
    });
}

bool Session::calibrate(bool cis) {
    stopWorker();
    publishControls({false, false, false});
    view_.message(cis ? "Please input paper for CIS correcting!"
                      : "Please input paper for Sensor correcting!");
    // The worker's stop pause was the first wait; poll until the paper covers
    // both entry sensors and the print head.
    while (!closing_) {
        DeviceStatus s{};
        if (!readStatus(s)) {  // repeated almost at once, without spinning on a dead link
            pause(kStatusRetryMs);
            continue;
        }
        if (s.paperSensorA == 1 && s.paperSensorB == 1 && s.paperAtPrintHead == 1) break;
        pause(kCalibrationPollMs);
    }
    if (closing_) return false;
    bool ok;
    if (cis) {
        ok = runWithProgress("CIS correcting now,please wait...", kStepCisCorrect,
                             [this] { return api_.CISDataCorrect() == 1; });
        view_.message(ok ? "CIS correct successful!" : "CIS correct failed!");
    } else {
        ok = runWithProgress("Sensor correcting now,please wait...", kStepSensorCorrect,
                             [this] { return api_.SensorCorrect() == 1; });
        view_.message(ok ? "Sensor correct successful!" : "Sensor correct failed!");
    }
    restoreAfterOperation();
    return ok;
}

bool Session::cisCorrect() {
    return startOperation([this] { calibrate(true); });
}

bool Session::sensorCorrect() {
    return startOperation([this] { calibrate(false); });
}

bool Session::resetDevice() {
    return startOperation([this] {
        const bool ok = runWithProgress("The device is resetting now,please wait...", kStepReset, [this] {
            stop_ = true;
            publishControls({false, false, false});
            flags_ &= ~1u;
            stopWorker();
            return api_.ResetDev() == 1;
        });
        view_.message(ok ? "Resetting the device successful!" : "Reset the device failed!");
        if (!closing_) openPort();
    });
}

void Session::closePort() {
    startOperation([this] {
        runWithProgress("Closing USB port now,please wait...", kStepClose, [this] {
            stop_ = true;
            flags_ &= ~1u;
            publishControls({false, false, false});
            stopWorker();
            publishControls({false, true, false});
            api_.CloseUSBPort();
            connection_ = kConnectionClosed;
            return true;
        });
        view_.message("Close USB port successful!");
        view_.status("");
        publishControls({false, true, true});
    });
}

bool Session::updateFirmware(const FileChooser& choose) {
    if (connection_ != kConnectionOpen || operationBusy_) return false;
    const std::string file = choose ? choose("Files (*.JK)") : std::string();
    if (file.empty()) return false;
    char newVersion[8] = {};
    if (!api_.ReadVersion(file.c_str(), newVersion)) {
        view_.messageBox("The file to download is error and can't be download!");
        return false;
    }
    const std::string next = bounded_text(newVersion, 7);
    char current[16] = {};
    std::string text;
    if (api_.GetFirmwareVersion(current)) {
        std::string now = bounded_text(current, 15);
        now = now.substr(0, now.find('/'));
        text = "Update from " + now + " to " + next + ",please wait...";
    } else {
        text = "Update version to " + next + ",please wait...";
    }
    return startOperation([this, text, file] {
        publishControls({false, false, false});
        const bool ok = runWithProgress(text, kStepFirmware, [this, &file] {
            stopWorker();
            return api_.UpdateOnLine(file.c_str()) == 1;
        });
        if (ok) {
            view_.message("Update firmware successful!");
            restoreAfterOperation();
        } else {
            view_.message("Update firmware failed!");
            flags_ = 0;
            connection_ = kConnectionClosed;
            publishControls({false, true, true});
        }
    });
}

bool Session::downloadFile(const FileChooser& choose) {
    if (operationBusy_ || (flags_ & 1u)) return false;
    if (!api_.OpenUSBPort()) {
        view_.message("Open usb port failed!");
        return false;
    }
    view_.message("Open usb port successful!");
    connection_ = kConnectionRawDownload;
    publishControls({false, false, false});
    const std::string file = choose ? choose("All Files (*)") : std::string();
    if (file.empty()) {
        api_.CloseUSBPort();
        connection_ = kConnectionClosed;
        view_.message("Close usb port successful!");
        publishControls({false, true, true});
        return false;
    }
    return startOperation([this, file] {
        const bool ok = runWithProgress("Download file now,please wait...", kStepDownloadFile, [this, &file] {
            std::ifstream in(file, std::ios::binary);
            if (!in) return false;
            std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (data.empty() || data.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
                return false;
            pause(kRawWritePauseMs);
            const int r = api_.WritePort(data.data(), static_cast<int>(data.size()));
            pause(kRawWriteAfterMs);
            return r == 1;
        });
        view_.message(ok ? "Download file successful!" : "Download file failed!");
        api_.CloseUSBPort();
        connection_ = kConnectionClosed;
        view_.message("Close usb port successful!");
        publishControls({false, true, true});
    });
}

// ---- shutdown ----------------------------------------------------------

void Session::shutdown() {
    closing_ = true;
    stop_ = true;
    {
        std::lock_guard lock(operationMutex_);
        if (operation_.joinable()) operation_.join();
    }
    {
        std::lock_guard lock(workerMutex_);
        if (worker_.joinable()) worker_.join();
    }
}

}  // namespace tellerdesk
