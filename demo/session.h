#pragma once
// The dialog's workflows without any widget: opening the port, the scan
// worker (status loop, jam recovery, scan start, reading, saving, decoding,
// automatic print), the print sequence, the single-call and report buttons and
// the long operations with their progress line. The dialog calls these from
// its own thread; everything the operator should see goes out through a
// SessionView, from whichever thread produced it, and the view hands it to
// the dialog's thread.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "demo/binding.h"
#include "demo/form.h"
#include "device/Kestrom.h"
#include "raster.h"
#include "reader_geometry.h"

namespace tellerdesk {

// Which controls may be used. `device` covers every control that talks to the
// device; Open port and Download file have their own switches.
struct ControlState {
    bool device = false;
    bool openPort = true;
    bool downloadFile = true;
    bool operator==(const ControlState&) const = default;
};

// Where the workflows report. Called from any thread; implementations must be
// thread-safe and must not block on the dialog's thread.
class SessionView {
public:
    virtual ~SessionView() = default;
    virtual void message(const std::string& text) = 0;   // a new top line
    virtual void progress(const std::string& text) = 0;  // replaces the top line
    virtual void result(const std::string& text) = 0;    // the recognition result
    virtual void status(const std::string& text) = 0;    // the status panel ("" clears it)
    virtual void controls(const ControlState& state) = 0;
    // The picture-name list; `selected` is the index to select, -1 for none,
    // -2 to keep the current choice.
    virtual void bitmapNames(const std::vector<std::string>& names, int selected) = 0;
    virtual void messageBox(const std::string& text) = 0;
    // The last scanned picture in grey with what was read drawn over it;
    // `rowsPerDot` is its rows per dot across (0.5 at 4 lines/mm). The
    // raster is the receiver's to keep.
    virtual void picture(annotate::Raster&& /*raster*/, double /*rowsPerDot*/) {}
};

// Asks the operator for a file with a file-dialog filter such as
// "Files (*.bmp)"; "" when the choice was cancelled. Runs on the dialog's thread.
using FileChooser = std::function<std::string(const std::string& filter)>;

// Pauses of the workflows, in milliseconds.
constexpr int kStatusPollMs = 200;       // between two status reads of the worker
constexpr int kNoDataPauseMs = 100;      // extra pause when no picture is waiting
constexpr int kJamCorrectSettleMs = 50;  // after each jam correction and status read
constexpr int kJamRetryPauseMs = 500;    // between two jam corrections
constexpr int kJamCorrectTries = 10;
constexpr int kWorkerStopWaitMs = 1200;  // a long operation waits this long for the worker
constexpr int kCalibrationPollMs = 300;  // paper polling before a calibration
constexpr int kStatusRetryMs = 20;       // after a failed status read while polling for paper
constexpr int kProgressTickMs = 300;     // progress line refresh
constexpr int kProgressCap = 95;         // percent shown while still busy
constexpr int kRawWritePauseMs = 100;    // before a raw file download
constexpr int kRawWriteAfterMs = 5000;   // after a raw file download
constexpr std::size_t kPictureBufferBytes = 10485760;
constexpr std::size_t kDecodeTextBytes = 1024;

// The progress step (percent per tick) of each long operation.
constexpr int kStepDownloadBitmap = 13;
constexpr int kStepCisCorrect = 2;
constexpr int kStepSensorCorrect = 5;
constexpr int kStepReset = 5;
constexpr int kStepClose = 10;
constexpr int kStepFirmware = 1;
constexpr int kStepDownloadFile = 1;

// Connection states.
constexpr int kConnectionClosed = 0;
constexpr int kConnectionRawDownload = 2;
constexpr int kConnectionOpen = 3;

class Session {
public:
    Session(const DeviceApi& api, SessionView& view);
    ~Session();  // shutdown()
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The dialog's current choices; the workers read copies.
    void setForm(const FormState& form);
    FormState form() const;

    // Open port, and the long Close port.
    bool openPort();
    void closePort();

    // The print sequence behind Print Mark, with its checks.
    void printMark();

    // Single-call buttons.
    void feedPaper();
    void setScanMode();
    void abortScan();
    void setDarkness();
    void setThreshold();
    void getThreshold();
    void setTphMode();
    void setDetectTime();
    void outTicket();
    void backTicket();

    // Report buttons.
    void getPaperPosition();
    void getVersion();
    void obviatePaperError();
    void eraseFixedArea();
    void eraseCasualArea();
    void getScanArea();
    void getFixedBitmaps();
    void getCasualBitmaps();

    // Long operations: each runs on its own thread with a progress thread.
    // They return false when refused before starting (another operation
    // running, a check failed, the file choice cancelled).
    bool downloadBitmap(const FileChooser& choose);
    bool cisCorrect();
    bool sensorCorrect();
    bool resetDevice();
    bool updateFirmware(const FileChooser& choose);
    bool downloadFile(const FileChooser& choose);

    // True while a long operation's thread is running.
    bool operationRunning() const { return operationBusy_.load(); }
    // Waits until the running long operation has finished.
    void waitForOperation();

    // Stops every thread and waits for it; closes the port. After this no
    // device call is made and the view is not called any more.
    void shutdown();

    // Observers for tests and the dialog.
    DeviceStatus lastStatus() const;
    int connectionState() const { return connection_.load(); }
    bool workerRunning() const { return workerActive_.load(); }
    bool printFlag() const { return printFlag_.load(); }
    int decodeTries() const { return tries_.load(); }
    int decodeSuccesses() const { return successes_.load(); }
    std::vector<std::string> bitmapNames() const;

private:
    void listBitmaps(int area, const char* areaName);
    // Worker.
    void startWorker();
    void stopWorker();  // sets the stop flag, waits its pause, joins
    void workerLoop();
    void workerEndOnError();
    bool readStatus(DeviceStatus& s);
    void scanStart(const DeviceStatus& s);
    void handlePicture(const FormState& params, const DeviceStatus& s);
    // Draws the picture with what the readers found on it (after a successful
    // Decode of `kind`, else the picture alone) and hands it to the view.
    void showPicture(const std::uint8_t* buffer, int lineBytes, int lines, int pictureType, int linesPerMm,
                     int kind, bool decoded);
    void printSequence(const FormState& f);

    // Long operations.
    bool startOperation(std::function<void()> body);
    bool runWithProgress(const std::string& text, int step, const std::function<bool()>& call);
    void restoreAfterOperation();
    bool calibrate(bool cis);

    // Helpers.
    void pause(int ms);
    void refreshBitmapNames();
    void publishControls(const ControlState& state);
    void report(const std::vector<std::string>& lines);

    const DeviceApi& api_;
    SessionView& view_;

    mutable std::mutex formMutex_;  // guards form_
    FormState form_;

    mutable std::mutex statusMutex_;  // guards status_: copied whole in and out
    DeviceStatus status_{};

    mutable std::mutex namesMutex_;  // guards names_
    std::vector<std::string> names_;

    std::mutex workerMutex_;  // guards worker_ (the thread object)
    std::thread worker_;
    std::atomic<bool> stop_{true};
    std::atomic<bool> workerActive_{false};

    std::mutex operationMutex_;  // guards operation_ (the thread object)
    std::thread operation_;
    std::atomic<bool> operationBusy_{false};

    // Progress of the running long operation.
    std::atomic<bool> progressBusy_{false};
    std::atomic<bool> progressSuccess_{false};
    std::atomic<int> progressStep_{0};
    std::string progressText_;  // set before the progress thread starts

    std::atomic<bool> closing_{false};
    std::atomic<int> connection_{kConnectionClosed};
    std::atomic<unsigned> flags_{0};  // bit 0: the port is open
    std::atomic<bool> printFlag_{false};
    std::atomic<int> tries_{0}, successes_{0};
    std::mutex controlsMutex_;
    ControlState controls_{};

    // Where the readers found what the dispatcher read; used by the worker only.
    annotate::ReaderGeometry geometry_;
};

}  // namespace tellerdesk
