#include "emulator_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "emulator/ScannerEmulator.h"
#include "platform/sleep.h"

namespace tellerdesk::testing {

namespace fs = std::filesystem;

namespace {

// The scratch folder of the whole test program, emptied for each test, and the environment that
// points the libraries into it, written once before main. Qt's test watchdog reads the
// environment from its own thread at the start of every test function, and setenv may move
// the environment under a reader in another thread (a test program crashed in getenv so).
class ScratchRoot {
public:
    ScratchRoot() {
        char pattern[] = "/tmp/tellerdesk_test_XXXXXX";
        if (::mkdtemp(pattern) != nullptr) path_ = pattern;
        ::setenv("PIPEWELL_LIBRARY", EMULATOR_PATH, 1);
        ::setenv("EMULATOR_PRINT_DIR", (path_ / "printed").c_str(), 1);
        ::setenv("EMULATOR_STATE_DIR", (path_ / "state").c_str(), 1);
        ::unsetenv("EMULATOR_TICKETS");
    }
    ~ScratchRoot() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    ScratchRoot(const ScratchRoot&) = delete;
    ScratchRoot& operator=(const ScratchRoot&) = delete;

    const fs::path& path() const { return path_; }

    // Removes everything in the folder, which stays.
    void empty() const {
        std::error_code ignored;
        if (path_.empty()) return;
        for (const auto& entry : fs::directory_iterator(path_, ignored))
            fs::remove_all(entry.path(), ignored);
    }

private:
    fs::path path_;
};

const ScratchRoot kScratchRoot;

}  // namespace

void EmulatorFixture::setUp() {
    workDir = kScratchRoot.path();
    kScratchRoot.empty();
    previousDir = fs::current_path();
    fs::current_path(workDir);
    fs::create_directories(workDir / "printed");
    if (std::getenv("TELLERDESK_RUN_LOG")) std::ofstream("recode_run_log.ini") << "";
    Emu_SetTimeScale(kTimeLapse);
    Emu_SetTransferStep(0);
    Emu_Reset(1);
    // The dialog's and the device library's pauses pass kTimeLapse times
    // faster; the device keeps pace.
    paceDevice(kTimeLapse);
    platform::set_sleep_observer([](int ms) {
        if (ms > 0) std::this_thread::sleep_for(std::chrono::microseconds(ms * 1000LL / kTimeLapse));
    });
}

void EmulatorFixture::paceDevice(int lapse) {
    if (!pacedDevice_.is_open() && !pacedDevice_.open(deviceLibrary())) return;
    if (auto pace = pacedDevice_.resolve<int (*)(int)>("TellerdeskTest_PaceDevice")) pace(lapse);
}

void EmulatorFixture::tearDown() {
    platform::set_sleep_observer({});
    paceDevice(0);
    pacedDevice_.close();
    Emu_ClearFaults();
    Emu_RemoveTicket();
    for (int c = EMU_COND_HEAD_HOT; c <= EMU_COND_JAM_ON_NEXT_MOVE; ++c) Emu_SetCondition(c, 0);
    fs::current_path(previousDir);
    if (std::getenv("TELLERDESK_RUN_LOG")) {
        std::error_code ignoredCopy;
        fs::copy(workDir / "scanner_log", std::getenv("TELLERDESK_RUN_LOG"), fs::copy_options::recursive,
                 ignoredCopy);
    }
    kScratchRoot.empty();
}

std::string EmulatorFixture::decodeLibrary(bool preferReal) {
    const fs::path real = fs::path(LIB_FOLDER) / "libdecode.so";
    if (preferReal && fs::exists(real)) return real.string();
    return DECODE_DOUBLE_PATH;
}

std::vector<std::uint8_t> EmulatorFixture::ticketPixels() {
    std::vector<std::uint8_t> t(static_cast<std::size_t>(kTicketWidth) * kTicketHeight, 255);
    auto box = [&t](int x0, int y0, int w, int h) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) t[static_cast<std::size_t>(y) * kTicketWidth + x] = 0;
    };
    box(16, 16, 64, 32);
    box(200, 100, 8, 400);
    box(296, 560, 120, 60);
    return t;
}

bool EmulatorFixture::insertTicket() {
    const auto t = ticketPixels();
    return Emu_InsertTicketPixels(t.data(), kTicketWidth, kTicketHeight, 8) == 1;
}

// ---- RecordingView ----

void RecordingView::message(const std::string& text) {
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    panel_.add(text);
    changed_.notify_all();
}

void RecordingView::progress(const std::string& text) {
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    panel_.replaceTop(text);
    changed_.notify_all();
}

void RecordingView::result(const std::string& text) {
    std::lock_guard lock(mutex_);
    result_ = text;
    changed_.notify_all();
}

void RecordingView::status(const std::string& text) {
    std::lock_guard lock(mutex_);
    status_ = text;
    changed_.notify_all();
}

void RecordingView::controls(const ControlState& state) {
    std::lock_guard lock(mutex_);
    controls_ = state;
    changed_.notify_all();
}

void RecordingView::bitmapNames(const std::vector<std::string>& names, int) {
    std::lock_guard lock(mutex_);
    names_ = names;
    changed_.notify_all();
}

void RecordingView::messageBox(const std::string& text) {
    std::lock_guard lock(mutex_);
    boxes_.push_back(text);
    changed_.notify_all();
}

bool RecordingView::waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(20));
    }
    return done();
}

bool RecordingView::waitForMessage(const std::string& text, std::chrono::milliseconds limit) {
    return waitFor([&] { return count(text) > 0; }, limit);
}

std::vector<std::string> RecordingView::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<std::string> RecordingView::panelLines() const {
    std::lock_guard lock(mutex_);
    return {panel_.lines().begin(), panel_.lines().end()};
}

std::string RecordingView::lastResult() const {
    std::lock_guard lock(mutex_);
    return result_;
}

std::string RecordingView::lastStatus() const {
    std::lock_guard lock(mutex_);
    return status_;
}

ControlState RecordingView::lastControls() const {
    std::lock_guard lock(mutex_);
    return controls_;
}

std::vector<std::string> RecordingView::names() const {
    std::lock_guard lock(mutex_);
    return names_;
}

std::vector<std::string> RecordingView::boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

int RecordingView::count(const std::string& text) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(messages_.begin(), messages_.end(), text));
}

}  // namespace tellerdesk::testing
