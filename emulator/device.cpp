#include "emulator/device.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "emulator/command_table.h"
#include "emulator/flash_store.h"
#include "emulator/print_job.h"
#include "platform/files.h"

namespace emu {
namespace {

// Most image bytes announced in one status (whole lines only).
constexpr std::size_t kMaxPendingBytes = 4 * 65536;

std::vector<std::string> list_tickets(const std::string& folder) {
    std::vector<std::string> files;
    if (folder.empty()) return files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::string extension = entry.path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (extension == ".bmp" && entry.is_regular_file(error)) files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::uint8_t bit(bool on, int position) {
    return on ? static_cast<std::uint8_t>(1u << position) : 0;
}

}  // namespace

std::size_t StorageArea::used() const {
    std::size_t total = 0;
    for (const StoredBitmap& bitmap : bitmaps) total += bitmap.file.size();
    return total;
}

namespace {
constexpr double kPi = 3.14159265358979323846;
}

int Ticket::extent_rows() const {
    if (placement.skewDegrees == 0.0) return image.height;
    const double angle = placement.skewDegrees * kPi / 180.0;
    return static_cast<int>(
        std::ceil(image.height * std::cos(angle) + image.width * std::fabs(std::sin(angle))));
}

bool Ticket::paper_at(int x, int y, std::uint8_t& grey) const {
    if (placement.skewDegrees == 0.0) {
        const int u = x - placement.offsetDots;
        if (u < 0 || u >= image.width || y < 0 || y >= image.height) return false;
        grey = image.at(u, y);
        return true;
    }
    const double angle = placement.skewDegrees * kPi / 180.0;
    const double c = std::cos(angle), s = std::sin(angle);
    // Rows are counted from the ticket's first point to reach the sensor.
    const double firstRow = std::min(0.0, image.width * s);
    const double dx = x + 0.5 - placement.offsetDots;
    const double dy = y + 0.5 + firstRow;
    const double u = dx * c + dy * s;
    const double v = -dx * s + dy * c;
    if (u < 0 || v < 0 || u >= image.width || v >= image.height) return false;
    grey = image.at(static_cast<int>(u), static_cast<int>(v));
    return true;
}

std::int64_t Motion::end_time() const {
    return start + static_cast<std::int64_t>(std::ceil(std::fabs(toMm - fromMm) / mmPerMs));
}

double Motion::position(std::int64_t now) const {
    const double distance = std::fabs(toMm - fromMm);
    const double moved = std::min(distance, static_cast<double>(now - start) * mmPerMs);
    return toMm >= fromMm ? fromMm + moved : fromMm - moved;
}

Device::Device() {
    areas[0].capacity = kRamBytes;
    areas[1].capacity = kFlashBytes;
    firmwareVersion = kFactoryFirmwareVersion;
    std::copy(std::begin(kGoodSensorValues), std::end(kGoodSensorValues), sensorValues.begin());
}

void Device::power_on(std::int64_t now, bool factory) {
    env.ticketsDir = platform::environment("EMULATOR_TICKETS").value_or("");
    env.printDir = platform::environment("EMULATOR_PRINT_DIR").value_or("");
    env.stateDir = platform::environment("EMULATOR_STATE_DIR").value_or("");

    FlashImage flash;
    if (factory) {
        std::error_code error;
        if (!env.stateDir.empty()) std::filesystem::remove(flash_path(env.stateDir), error);
    } else if (!env.stateDir.empty()) {
        load_flash(env.stateDir, flash);  // a missing or damaged file leaves the factory image
    } else {
        // No state folder: flash lives as long as the process.
        flash.fixed = fixedSettings;
        flash.firmwareVersion = firmwareVersion;
        flash.bitmaps = areas[1].bitmaps;
    }
    fixedSettings = flash.fixed;
    firmwareVersion = flash.firmwareVersion;
    areas[1].bitmaps = flash.bitmaps;

    ticket.reset();
    cond = Conditions{};
    placement = Placement{};
    restart_device(now, 0);
    ticketFiles = list_tickets(env.ticketsDir);
    if (!env.ticketsDir.empty() && !platform::is_directory(env.ticketsDir))
        std::fprintf(stderr, "emulator: EMULATOR_TICKETS folder %s does not exist; no tickets will be fed\n",
                     env.ticketsDir.c_str());
    else if (!env.ticketsDir.empty() && ticketFiles.empty())
        std::fprintf(stderr, "emulator: EMULATOR_TICKETS folder %s holds no .bmp ticket\n",
                     env.ticketsDir.c_str());
    nextTicketFile = 0;
    nextFeedAt = now + kTicketFeedIntervalMs / 2;
    ticketsOut = 0;
    ticketsReturned = 0;
    lastPrint = GreyImage{};
    lastPrintedTicket = GreyImage{};
    lastPrintFile.clear();
}

void Device::restart_device(std::int64_t now, int downMs) {
    linkDownUntil = now + downMs;
    ++linkGeneration;
    settings = fixedSettings;
    areas[0].bitmaps.clear();
    persistArmed = commandError = printPaperError = printDone = false;
    cond.fakeJam = cond.statusError = false;
    scan = ScanJob{};
    scanCompleteFlag = false;
    print = PrintJob{};
    replyOut.clear();
    replyPos = 0;
    pending.reset();
    busyUntil = now + downMs;
    cisActive = false;
    cisResult = -1;
    download = Download{};
    if (phase == Phase::Moving && ticket) ticket->leadMm = motion.position(now);
    phase = Phase::Idle;
    if (ticket && ticket->leadMm > kInsertLeadMm && !ticket->heldByHand) phase = Phase::Held;
}

void Device::update(std::int64_t now) {
    for (int round = 0; round < 16; ++round) {
        bool changed = false;
        if (phase == Phase::Scanning && scan.active) {
            if (ticket) ticket->heldByHand = false;  // the scan has drawn it in
            const auto elapsed = static_cast<double>(now - scan.start);
            const int produced =
                std::min(scan.totalLines, static_cast<int>(std::floor(elapsed / scan.msPerLine)));
            if (scan.jamAtLine >= 0 && produced >= scan.jamAtLine) {
                if (ticket) ticket->leadMm = kCisMm + static_cast<double>(scan.jamAtLine) / scan.linesPerMm;
                scan = ScanJob{};
                cond.realJam = true;
                phase = Phase::Held;
                changed = true;
            } else {
                scan.producedLines = std::max(scan.producedLines, produced);
                const int pictureLines = std::max(0, scan.producedLines - kLeadLines);
                if (ticket) ticket->leadMm = kCisMm + static_cast<double>(pictureLines) / scan.linesPerMm;
                if (scan.production_done()) scanCompleteFlag = true;
                if (scan.production_done() && scan.readOffset >= scan.data.size()) {
                    finish_scan(now);
                    changed = true;
                }
            }
        }
        if (phase == Phase::Moving) {
            if (ticket) ticket->leadMm = motion.position(now);
            if (motion.end_time() <= now) {
                finish_motion(motion.end_time());
                changed = true;
            }
        }
        if (cisActive && now >= cisStart + kCisCalibrationMs) {
            cisActive = false;
            cisResult = cond.calibrationFails ? 2 : 1;
        }
        feed_from_folder(now);
        if (!changed) break;
    }
}

void Device::finish_scan(std::int64_t at) {
    const int action = scan.action;
    scan.active = false;
    scan.data.clear();
    scan.data.shrink_to_fit();
    scan.readOffset = 0;
    scan.producedLines = scan.totalLines = 0;
    phase = Phase::Held;
    if (!ticket) {
        phase = Phase::Idle;
        return;
    }
    if (action == 1)
        start_motion(MotionKind::Feed, kPrintHeadMm, kFeedMmPerMs, at);
    else if (action == 2)
        start_motion(MotionKind::Feed, kExitMm + ticket->length_mm(), kFeedMmPerMs, at);
}

void Device::start_motion(MotionKind kind, double toMm, double mmPerMs, std::int64_t now) {
    if (!ticket) return;
    motion = Motion{};
    motion.kind = kind;
    motion.fromMm = ticket->leadMm;
    motion.toMm = toMm;
    motion.mmPerMs = mmPerMs;
    motion.start = now;
    ticket->heldByHand = false;  // the rollers have it now
    if (cond.jamOnNextMove) {
        cond.jamOnNextMove = false;
        motion.jams = true;
        motion.toMm = motion.fromMm + (toMm - motion.fromMm) / 2;
    }
    phase = Phase::Moving;
}

void Device::finish_motion(std::int64_t at) {
    if (ticket) ticket->leadMm = motion.toMm;
    if (motion.jams) {
        cond.realJam = true;
        phase = Phase::Held;
        if (motion.kind == MotionKind::Print) print = PrintJob{};
        return;
    }
    if (motion.kind == MotionKind::Print) {
        complete_print(*this, at);
        if (print.runsOut) {
            printDone = false;
            printPaperError = true;
            print = PrintJob{};
            phase = Phase::Held;
            return;
        }
        if (print.after == 1 && ticket) {
            print = PrintJob{};
            start_motion(MotionKind::Feed, kExitMm + ticket->length_mm(), kFeedMmPerMs, at);
            return;
        }
        print = PrintJob{};
        phase = Phase::Held;
        return;
    }
    leave_ticket_at_rest(at);
}

void Device::leave_ticket_at_rest(std::int64_t at) {
    phase = Phase::Idle;
    if (!ticket) return;
    const double trail = ticket->leadMm - ticket->length_mm();
    if (trail >= kExitMm || ticket->leadMm <= 0.0) {
        if (trail >= kExitMm)
            ++ticketsOut;
        else
            ++ticketsReturned;
        ticket.reset();
        print = PrintJob{};
        nextFeedAt = at + kTicketFeedIntervalMs;
        return;
    }
    if (ticket->leadMm > kInsertLeadMm) phase = Phase::Held;
}

void Device::feed_from_folder(std::int64_t now) {
    while (phase == Phase::Idle && !ticket && !busy(now) && now >= nextFeedAt &&
           nextTicketFile < ticketFiles.size()) {
        GreyImage image;
        const std::string& path = ticketFiles[nextTicketFile++];
        if (load_ticket(path, image)) {
            insert_ticket(std::move(image), now);
        } else {
            // Said on stderr, as a person at the device would see the ticket refused.
            std::fprintf(stderr, "emulator: cannot feed ticket %s: %s; skipped\n", path.c_str(),
                         ticket_problem(path).c_str());
        }
    }
}

void Device::receive(const std::uint8_t* bytes, std::size_t count, std::int64_t now) {
    if (bytes == nullptr || count == 0) return;
    if (!download.active && take_firmware_file(*this, bytes, count, now)) return;
    run_commands(*this, bytes, count, now);
}

std::array<std::uint8_t, 8> Device::status(std::int64_t now) const {
    const bool jam = jammed();
    const bool isBusy = busy(now) || cisActive;
    const bool dataLeft = scan.active && scan.readOffset < scan.produced_bytes();
    std::size_t pendingBytes = 0;
    if (dataLeft && scan.lineBytes > 0) {
        pendingBytes = std::min(scan.produced_bytes() - scan.readOffset, kMaxPendingBytes);
        pendingBytes -= pendingBytes % static_cast<std::size_t>(scan.lineBytes);
    }
    // scanComplete marks the announcement that carries the picture's last
    // bytes; while more is held than one status can announce it stays clear,
    // so a host reading late keeps reading until everything has been offered.
    const std::size_t undelivered = scan.produced_bytes() - std::min(scan.readOffset, scan.produced_bytes());
    const bool lastAnnounced = !scan.active || undelivered == pendingBytes;
    const bool scanInUse = scan.active;
    const int linesPerMm = scanInUse ? scan.linesPerMm : settings.linesPerMm;
    const int pictureType = scanInUse ? scan.pictureType : settings.pictureType;

    auto covered = [this](double at) {
        if (!ticket) return false;
        return ticket->leadMm >= at && ticket->leadMm - ticket->length_mm() < at;
    };
    const bool replyReady = pending.has_value() && now >= pending->readyAt;

    std::array<std::uint8_t, 8> s{};
    s[0] = bit(cond.headHot, 1) | bit(cond.coverOpen, 2) | bit(jam, 3) | bit(commandError, 5) |
           bit(printPaperError, 6) | bit(printDone, 7);
    s[1] = bit(phase == Phase::Idle && !isBusy && !jam, 1) | bit(phase == Phase::Scanning, 2) |
           bit(phase == Phase::Held && !jam, 3) | bit(print.open, 5) | bit(phase == Phase::Moving, 6) |
           bit(jam || cond.statusError, 7);
    s[2] = bit(cond.bit20 || isBusy, 0) | bit(pendingBytes > 0, 1) |
           bit(scanCompleteFlag && lastAnnounced, 2) | bit(linesPerMm == 8, 3) | bit(pictureType == 1, 6) |
           bit(settings.lockScan != 0, 7);
    s[3] = bit(cond.bit30, 0) | bit(covered(kPrintHeadMm) && !cond.noPaperAtHead, 2) |
           bit(covered(kSensorBMm), 3) | bit(cond.bit34, 4) | bit(cond.bit35, 5) | bit(replyReady, 6) |
           bit(covered(kSensorAMm), 7);
    const auto n = static_cast<std::uint32_t>(pendingBytes);
    s[4] = static_cast<std::uint8_t>(n);
    s[5] = static_cast<std::uint8_t>(n >> 8);
    s[6] = static_cast<std::uint8_t>(n >> 16);
    s[7] = static_cast<std::uint8_t>(n >> 24);
    return s;
}

int Device::read_reply(std::uint8_t* out, int count) {
    if (out == nullptr || count <= 0 || replyPos >= replyOut.size()) return 0;
    const std::size_t n = std::min(static_cast<std::size_t>(count), replyOut.size() - replyPos);
    std::copy_n(replyOut.begin() + static_cast<std::ptrdiff_t>(replyPos), n, out);
    replyPos += n;
    return static_cast<int>(n);
}

int Device::read_bulk(std::uint8_t* out, int count) {
    if (out == nullptr || count <= 0 || !scan.active) return 0;
    const std::size_t available = scan.produced_bytes() - std::min(scan.readOffset, scan.produced_bytes());
    const std::size_t n = std::min(static_cast<std::size_t>(count), available);
    std::copy_n(scan.data.begin() + static_cast<std::ptrdiff_t>(scan.readOffset), n, out);
    scan.readOffset += n;
    return static_cast<int>(n);
}

bool Device::ticket_fits(int width, int height) {
    return width > 0 && height > 0 && width <= kPassageDots && height <= kMaxTicketRows;
}

bool Device::load_ticket(const std::string& path, GreyImage& image) {
    const auto bytes = platform::read_file(path);
    BmpHeader header;
    if (!bytes || !read_bmp_header(bytes->data(), bytes->size(), header)) return false;
    const int height = header.height < 0 ? -header.height : header.height;
    return ticket_fits(header.width, height) && decode_bmp(bytes->data(), bytes->size(), image);
}

std::string Device::ticket_problem(const std::string& path) {
    const auto bytes = platform::read_file(path);
    if (!bytes) return "cannot be read";
    const std::vector<std::uint8_t>& b = *bytes;
    if (b.size() < 2 || b[0] != 'B' || b[1] != 'M') {
        if (b.size() >= 4 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G')
            return "a PNG file, not a BMP";
        if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return "a JPEG file, not a BMP";
        bool text = !b.empty();
        for (std::size_t i = 0; i < b.size() && i < 512; ++i)
            if (b[i] < 9 || (b[i] > 13 && b[i] < 32)) text = false;
        return text ? "a text file, not a BMP" : "not a BMP file";
    }
    BmpHeader header;
    switch (kit::bmp::decode_headers(b.data(), b.size(), header)) {
        case kit::bmp::Verdict::Ok:
            break;
        case kit::bmp::Verdict::Compressed:
            if (header.compression == 1 || header.compression == 2)
                return "RLE-compressed; only uncompressed BMP files are fed";
            return "BMP compression " + std::to_string(header.compression) + " is not supported";
        case kit::bmp::Verdict::UnsupportedHeader:
            return "an old OS/2 BMP header; only Windows BMP files are fed";
        default:
            return "damaged BMP header";
    }
    if (header.planes != 1) return "damaged BMP header";
    const int bits = header.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return std::to_string(bits) + " bits per pixel is not supported (1, 4, 8, 24 or 32)";
    const int height = header.height < 0 ? -header.height : header.height;
    if (!ticket_fits(header.width, height))
        return std::to_string(header.width) + " x " + std::to_string(height) +
               " dots does not fit the passage (" + std::to_string(kPassageDots) + " dots wide, " +
               std::to_string(kMaxTicketRows) + " long)";
    GreyImage image;
    if (!decode_bmp(b.data(), b.size(), image)) return "pixel data cut short or damaged";
    return "";
}

bool Device::insert_ticket(GreyImage image, std::int64_t now) {
    (void)now;
    if (ticket || !ticket_fits(image.width, image.height)) return false;
    Ticket t;
    t.image = std::move(image);
    t.leadMm = kInsertLeadMm;
    t.placement = placement;
    ticket = std::move(t);
    if (phase == Phase::Held) phase = Phase::Idle;
    return true;
}

bool Device::push_ticket(double leadMm) {
    if (!ticket || phase != Phase::Idle || !(leadMm >= kInsertLeadMm && leadMm <= kExitMm)) return false;
    ticket->leadMm = leadMm;
    ticket->heldByHand = leadMm > kInsertLeadMm;
    return true;
}

bool Device::remove_ticket(std::int64_t now) {
    if (!ticket) return false;
    ticket.reset();
    cond.realJam = cond.fakeJam = false;
    if (scan.active) scan = ScanJob{};
    if (print.running) {
        print = PrintJob{};
        printPaperError = true;
    }
    phase = Phase::Idle;
    nextFeedAt = now + kTicketFeedIntervalMs;
    return true;
}

void Device::set_reply(std::vector<std::uint8_t> bytes) {
    replyOut = std::move(bytes);
    replyPos = 0;
}

void Device::set_pending_reply(std::vector<std::uint8_t> bytes, std::int64_t now) {
    PendingReply reply;
    reply.bytes = std::move(bytes);
    reply.readyAt = std::max(now, busyUntil);
    pending = std::move(reply);
}

bool Device::save_flash() const {
    if (env.stateDir.empty()) return true;
    FlashImage image;
    image.fixed = fixedSettings;
    image.firmwareVersion = firmwareVersion;
    image.bitmaps = areas[1].bitmaps;
    return store_flash(env.stateDir, image);
}

const StoredBitmap* Device::find_bitmap(const std::string& name) const {
    for (const StorageArea& area : areas) {
        for (const StoredBitmap& bitmap : area.bitmaps) {
            if (bitmap.name == name) return &bitmap;
        }
    }
    return nullptr;
}

}  // namespace emu
