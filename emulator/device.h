#pragma once
// The emulated TQ-RMX7KP: everything the device keeps and does, driven by the
// command bytes it receives and by its own clock. The Emulator (emulator.h)
// owns one Device and calls it under its lock; command handlers live in
// commands/, one file per subject, and work on this state directly.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "emulator/bmp_file.h"

namespace emu {

// ---- passage geometry and speeds ----------------------------------------
// Positions are the ticket's leading edge in millimetres from the entry.
constexpr double kSensorAMm = 5.0;      // paper sensor A
constexpr double kSensorBMm = 15.0;     // paper sensor B
constexpr double kInsertLeadMm = 20.0;  // where an inserted ticket rests
constexpr double kCisMm = 25.0;         // contact image sensor line
constexpr double kPrintHeadMm = 60.0;   // thermal print head line
constexpr double kExitMm = 110.0;       // front exit rollers
constexpr double kScanMmPerMs = 0.15;   // paper speed while scanning
constexpr double kFeedMmPerMs = 0.25;   // paper speed while feeding
constexpr double kPrintMmPerMs = 0.10;  // paper speed while printing

constexpr int kDotsPerMm = 8;
constexpr int kPassageDots = 216 * kDotsPerMm;           // scan width of the passage
constexpr int kPrintHeadDots = 256;                      // print head width (32 mm)
constexpr int kLeadLines = 4;                            // lines sent before the picture
constexpr std::uint8_t kBackgroundGrey = 16;             // what the sensor sees without paper
constexpr int kMaxScanMm = 600;                          // longest whole-ticket scan
constexpr int kMaxTicketRows = kMaxScanMm * kDotsPerMm;  // longest ticket accepted

// ---- device timing (device milliseconds) --------------------------------
constexpr int kRestartMs = 2500;     // reset or firmware restart: link down
constexpr int kPortResetMs = 20;     // USB port reset: link down
constexpr int kRamWriteMs = 30;      // storing a bitmap in RAM
constexpr int kFlashWriteMs = 1500;  // storing a bitmap or settings block in flash
constexpr int kFlashEraseMs = 2500;
constexpr int kRamEraseMs = 100;
constexpr int kCisCalibrationMs = 3000;
constexpr int kSensorCalibrationMs = 5000;
constexpr int kTicketFeedIntervalMs = 1000;  // between tickets from the folder

// ---- storage ------------------------------------------------------------
constexpr std::size_t kRamBytes = 256 * 1024;
constexpr std::size_t kFlashBytes = 1024 * 1024;
constexpr int kMaxStoredBitmaps = 128;

// Values of the eight paper sensors after a good calibration (also the
// factory values).
constexpr std::uint8_t kGoodSensorValues[8] = {0x7A, 0x81, 0x77, 0x90, 0x85, 0x6E, 0x88, 0x7F};

struct Settings {
    int border = 0;       // scan window offset, mm
    int width = 80;       // scan window width, mm
    int height = 0;       // scan height, mm (0 = whole ticket)
    int pictureType = 0;  // 0 black-and-white, 1 grey
    int linesPerMm = 8;   // 4 or 8
    int lockScan = 0;
    int thresholdMethod = 0;
    int threshold1 = 128;
    int threshold2 = 128;
    int darkness = 160;
    int headMode = 0;
    int detectTime = 10;
};

struct StoredBitmap {
    char side = 'B';                 // 'B' obverse, 'b' reverse
    std::string name;                // 1..8 bytes
    std::vector<std::uint8_t> file;  // the 1-bit BMP file as received
};

struct StorageArea {
    std::vector<StoredBitmap> bitmaps;
    std::size_t capacity = 0;
    std::size_t used() const;
    std::size_t free_bytes() const { return capacity - used(); }
};

// How a ticket lies in the passage.
struct Placement {
    int offsetDots = 0;      // left edge from the left guide
    double skewDegrees = 0;  // positive: turned clockwise, right end trailing
};

struct Ticket {
    GreyImage image;                // 8 dots/mm both ways, row 0 = leading edge
    double leadMm = kInsertLeadMm;  // leading edge position
    Placement placement;
    // Pushed in beyond the entry by the operator, who holds it there (a
    // calibration sheet): the device has not taken it and stays idle. The
    // first motion or scan takes it over.
    bool heldByHand = false;

    // Rows of the passage the turned ticket spans from its first to its last point.
    int extent_rows() const;
    double length_mm() const { return static_cast<double>(extent_rows()) / kDotsPerMm; }
    // The grey level of the paper at passage dot x, row y (row 0 = the first
    // point of the ticket to reach the sensor); false where there is no paper.
    bool paper_at(int x, int y, std::uint8_t& grey) const;
};

enum class Phase {
    Idle,      // ready; a ticket, if any, rests at the entry
    Scanning,  // a scan is producing or delivering lines
    Held,      // the device holds the ticket inside ("waiting")
    Moving     // feeding, printing or returning the ticket
};

enum class MotionKind { Feed, Print, Return };

struct Motion {
    MotionKind kind = MotionKind::Feed;
    double fromMm = 0;
    double toMm = 0;
    double mmPerMs = kFeedMmPerMs;
    std::int64_t start = 0;
    bool jams = false;  // stops half way with a real jam
    std::int64_t end_time() const;
    double position(std::int64_t now) const;
};

struct ScanJob {
    bool active = false;
    int action = 0;  // after the scan: 0 stop, 1 print position, 2 eject
    int pictureType = 0;
    int linesPerMm = 8;
    int lineBytes = 0;
    int totalLines = 0;  // including the lead lines
    double msPerLine = 1.0;
    std::int64_t start = 0;
    int producedLines = 0;
    int jamAtLine = -1;  // real jam when production reaches this line
    std::size_t readOffset = 0;
    std::vector<std::uint8_t> data;
    std::size_t produced_bytes() const {
        return static_cast<std::size_t>(producedLines) * static_cast<std::size_t>(lineBytes);
    }
    bool production_done() const { return producedLines >= totalLines; }
};

struct PrintItem {
    bool isText = true;
    int angle = 0, hor = 0, ver = 0, font = '0', size = 0;
    std::string text;  // the text, or the picture name
};

struct PrintJob {
    bool open = false;     // between the print buffer and the end of printing
    bool running = false;  // StartPrint accepted, head working
    int heightMm = 0;
    int after = 0;
    bool runsOut = false;  // the job is longer than the paper left under the head
    std::vector<PrintItem> items;
};

struct PendingReply {
    std::vector<std::uint8_t> bytes;
    std::int64_t readyAt = 0;
};

struct Download {
    bool active = false;
    int area = 0;
    char side = 'B';
    std::string name;
    std::vector<std::uint8_t> data;
};

struct Conditions {
    bool headHot = false, coverOpen = false, fakeJam = false, realJam = false;
    bool statusError = false, bit30 = false, bit34 = false, bit35 = false, bit20 = false;
    bool noPaperAtHead = false, calibrationFails = false, badSensor = false;
    bool jamOnNextMove = false;
};

struct Environment {
    std::string ticketsDir;
    std::string printDir;
    std::string stateDir;
};

class Device {
public:
    Device();

    // Power-on: RAM state cleared, flash reloaded (erased with factory).
    void power_on(std::int64_t now, bool factory);

    // Runs every activity of the device up to `now`.
    void update(std::int64_t now);

    // Bytes arriving on the command pipe.
    void receive(const std::uint8_t* bytes, std::size_t count, std::int64_t now);

    // The 8 status bytes now.
    std::array<std::uint8_t, 8> status(std::int64_t now) const;

    // Reads of the reply pipe (1) and the image pipe (3): bytes delivered.
    int read_reply(std::uint8_t* out, int count);
    int read_bulk(std::uint8_t* out, int count);

    bool link_up(std::int64_t now) const { return now >= linkDownUntil; }
    bool busy(std::int64_t now) const { return now < busyUntil; }

    // Control API helpers. A ticket wider than the passage or longer than
    // kMaxTicketRows does not go in.
    static bool ticket_fits(int width, int height);
    static bool load_ticket(const std::string& path, GreyImage& image);
    // Why a ticket file cannot be fed ("" when it can): missing, not a BMP
    // (PNG, text), compressed, an unsupported depth, too large, cut short.
    static std::string ticket_problem(const std::string& path);
    bool insert_ticket(GreyImage image, std::int64_t now);
    // Pushes the ticket resting at the entry further in by hand, its leading
    // edge to leadMm (kInsertLeadMm..kExitMm); only while the device is idle.
    bool push_ticket(double leadMm);
    bool remove_ticket(std::int64_t now);

    // ---- state (handlers work on it directly) ---------------------------
    Environment env;
    Settings settings;       // in use
    Settings fixedSettings;  // in flash
    std::string firmwareVersion;
    std::array<StorageArea, 2> areas;  // 0 RAM ('A'), 1 flash ('B')

    Placement placement;  // for the tickets inserted next (control API)

    bool persistArmed = false;  // the persist prefix came before this command
    bool commandError = false;
    bool printPaperError = false;
    bool printDone = false;
    Conditions cond;

    Phase phase = Phase::Idle;
    Motion motion;
    std::optional<Ticket> ticket;
    ScanJob scan;
    bool scanCompleteFlag = false;  // every line produced; the status bit waits for the last announcement
    PrintJob print;

    std::vector<std::uint8_t> replyOut;  // pipe 1
    std::size_t replyPos = 0;
    std::optional<PendingReply> pending;  // fetched with 1B 4B

    std::int64_t busyUntil = 0;
    std::int64_t linkDownUntil = 0;
    int linkGeneration = 0;  // bumps when the link drops; old handles die

    bool cisActive = false;  // CIS calibration running
    std::int64_t cisStart = 0;
    int cisResult = -1;                          // state of the last finished calibration, -1 none
    std::array<std::uint8_t, 8> sensorValues{};  // factory values until calibrated

    Download download;

    std::vector<std::string> ticketFiles;  // from EMULATOR_TICKETS
    std::size_t nextTicketFile = 0;
    std::int64_t nextFeedAt = 0;
    int ticketsOut = 0;
    int ticketsReturned = 0;

    GreyImage lastPrint;
    GreyImage lastPrintedTicket;
    std::string lastPrintFile;
    int printFileCounter = 0;

    // ---- helpers for handlers ------------------------------------------
    void set_reply(std::vector<std::uint8_t> bytes);  // immediate reply on pipe 1
    void set_pending_reply(std::vector<std::uint8_t> bytes, std::int64_t now);
    void start_motion(MotionKind kind, double toMm, double mmPerMs, std::int64_t now);
    void restart_device(std::int64_t now, int downMs);  // link drops, RAM state lost
    bool jammed() const { return cond.fakeJam || cond.realJam; }
    bool save_flash() const;  // writes the flash image when a state folder is set
    // The device works on its own for ms (flash writes, calibration): not idle.
    void keep_busy(std::int64_t now, int ms) {
        if (busyUntil < now + ms) busyUntil = now + ms;
    }
    const StoredBitmap* find_bitmap(const std::string& name) const;

private:
    void finish_motion(std::int64_t at);
    void finish_scan(std::int64_t at);
    void leave_ticket_at_rest(std::int64_t at);
    void feed_from_folder(std::int64_t now);
};

}  // namespace emu
