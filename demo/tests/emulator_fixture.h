#pragma once
// What the dialog's tests share: the software scanner-printer behind the
// device library with its clock sped up, a scratch working folder, a drawn
// ticket, and a view that records what the workflows report.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "demo/message_panel.h"
#include "demo/session.h"
#include "platform/dynamic_library.h"

namespace tellerdesk::testing {

// Device milliseconds per real millisecond, and the same factor for the
// dialog's own pauses.
constexpr int kTimeLapse = 20;

class EmulatorFixture {
public:
    // Scratch folder as the current directory, print and flash folders in it,
    // no ticket folder, a factory-fresh device, sped-up pauses. With
    // TELLERDESK_RUN_LOG=<folder> the device library's run log is switched on
    // and copied there at tearDown.
    void setUp();
    void tearDown();

    // The device library the workflow tests bind: the real library built with
    // a pace control, whose pauses setUp shortens by kTimeLapse as well.
    static std::string deviceLibrary() { return KESTROM_PACED_PATH; }

    // The dispatcher the tests bind: the build's libdecode.so when it is
    // there and `preferReal`, else the fixed-answer double.
    static std::string decodeLibrary(bool preferReal);

    // A 54 x 80 mm white ticket with black boxes, 8-bit grey, 8 dots per mm.
    static std::vector<std::uint8_t> ticketPixels();
    static constexpr int kTicketWidth = 432, kTicketHeight = 640;
    static bool insertTicket();

    std::filesystem::path workDir;
    std::filesystem::path previousDir;

private:
    void paceDevice(int lapse);
    platform::DynamicLibrary pacedDevice_;
};

// Records every report; waits for one with a deadline in real time.
class RecordingView : public SessionView {
public:
    void message(const std::string& text) override;
    void progress(const std::string& text) override;
    void result(const std::string& text) override;
    void status(const std::string& text) override;
    void controls(const ControlState& state) override;
    void bitmapNames(const std::vector<std::string>& names, int selected) override;
    void messageBox(const std::string& text) override;

    // True once `text` was shown as a message (or progress line), within `limit`.
    bool waitForMessage(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(15));
    bool waitFor(const std::function<bool()>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(15));

    std::vector<std::string> messages() const;  // every message and progress text, in order
    std::vector<std::string> panelLines() const;
    std::string lastResult() const;
    std::string lastStatus() const;
    ControlState lastControls() const;
    std::vector<std::string> names() const;
    std::vector<std::string> boxes() const;
    int count(const std::string& text) const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> messages_, names_, boxes_;
    MessagePanel panel_;
    std::string result_, status_;
    ControlState controls_{};
};

}  // namespace tellerdesk::testing
