// session: the road of every ticket through the kit, as the demo's scan
// worker drives it: wait for a ticket, scan it at its kind's resolution, save
// Picture-N.bmp, recognise it, print the result on it, eject it; one line per
// ticket, a summary when no further ticket arrives.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "commands.h"
#include "device_session.h"
#include "recognition.h"

namespace ticketkit {
namespace {

namespace fs = std::filesystem;

constexpr int kDefaultIdleS = 10;  // the session ends after this long without a ticket
constexpr int kEmulatorIdleS = 2;  // the emulator feeds its tickets 1 s (device time) apart
constexpr int kPictureWaitMs = 20000;
constexpr int kEjectWaitMs = 20000;
constexpr int kPrintBandMm = 28;  // the result is printed into the ticket's last 28 mm
constexpr int kMaxPrintBufferMm = 297;
constexpr int kPassageDots = 1728;        // widest ticket the device takes (216 mm)
constexpr int kLongestTicketDots = 4800;  // longest ticket the emulator takes (600 mm)

const char* kSessionHelp =
    "usage: ticketkit session [--tickets DIR] [--kind KIND] [--out DIR] [--timeout SECONDS]\n"
    "                         [--emulator] [--fast] [--json]\n"
    "For every ticket that arrives: scan it at its kind's resolution, save Picture-N.bmp\n"
    "in the output folder (./ticketkit-session unless --out), read it, print the result on\n"
    "the ticket's last 28 mm, eject it. The kind comes from --kind or, for tickets fed by\n"
    "the emulator, from the file name (barcode-..., marks-..., marks-reliability-...,\n"
    "printed-marks-...). Ends when no ticket arrives for 10 s (2 s with --emulator; --timeout).\n"
    "With --emulator the tickets are the BMP files of --tickets DIR, else the kit's sample\n"
    "tickets; printed tickets are kept in OUT/printed (or EMULATOR_PRINT_DIR).\n"
    "Format files: FMTFILEPATH / FMTFILESPPATH, else FormatFile.txt / FormatFileSP.txt found\n"
    "in or beside the tickets folder.\n"
    "  --emulator   use the software scanner-printer (libScannerEmulator.so[.0] beside this program)\n"
    "  --fast       with --emulator: run the device's clock 8 times faster\n"
    "Exit: 0 every ticket read, 1 no ticket or one not read, 2 bad arguments, 3 device error.\n";

// The kit's sample tickets beside this program (build tree or installation).
std::string find_samples() {
    const fs::path here = program_folder();
    for (const fs::path& dir : {here / ".." / "samples", here / ".." / "share" / "ticketkit" / "samples"}) {
        std::error_code error;
        if (fs::is_directory(dir / "tickets", error))
            return fs::weakly_canonical(dir / "tickets", error).string();
    }
    return "";
}

std::string absolute(const std::string& path) {
    std::error_code error;
    const fs::path p = fs::absolute(path, error);
    return error ? path : p.lexically_normal().string();
}

// Points `variable` at the first of `candidates` that exists, unless it is set.
void default_format_file(const char* variable, const std::vector<fs::path>& candidates) {
    if (std::getenv(variable) != nullptr) return;
    for (const fs::path& c : candidates) {
        std::error_code error;
        if (fs::is_regular_file(c, error)) {
            ::setenv(variable, absolute(c.string()).c_str(), 1);
            return;
        }
    }
}

// The ticket files in the order the emulator feeds them, without the ones it
// cannot use (it says so itself on stderr).
std::vector<std::string> ticket_files(const std::string& dir) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (ext == ".bmp" && entry.is_regular_file(error)) files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> usable;
    for (const std::string& f : files) {
        if (!bmp_problem(f).empty()) continue;
        try {
            const PictureFile p = load_picture(f);
            if (p.width <= kPassageDots && p.height <= kLongestTicketDots) usable.push_back(f);
        } catch (const Failure&) {
        }
    }
    return usable;
}

struct TicketOutcome {
    int number = 0;
    std::string source;  // the ticket file (emulator) or ""
    std::string kind;    // "" when unknown
    bool read = false;
    std::vector<std::string> lines;
    std::string picture;
    std::string printed;  // the emulator's printed-ticket file, or ""
    int printResult = 0;
};

std::string outcome_json(const TicketOutcome& t) {
    std::string out = "{\"ticket\": " + std::to_string(t.number) + ", \"file\": " + json_string(t.source) +
                      ", \"kind\": " + json_string(t.kind) + ", \"read\": " + (t.read ? "true" : "false") +
                      ", \"lines\": [";
    for (std::size_t i = 0; i < t.lines.size(); ++i) out += (i ? ", " : "") + json_string(t.lines[i]);
    return out + "], \"picture\": " + json_string(t.picture) + ", \"printed\": " + json_string(t.printed) +
           ", \"printResult\": " + std::to_string(t.printResult) + "}";
}

}  // namespace

int run_session(const Words& words) {
    if (wants_help(words, kSessionHelp)) return kExitOk;
    const Args args(words, {"--emulator", "--fast", "--json"}, {"--tickets", "--kind", "--out", "--timeout"});
    if (!args.positional().empty()) fail(kExitUsage, "session takes no file arguments (see --help)");
    const bool emulator = args.has("--emulator");
    if (args.has("--fast") && !emulator) fail(kExitUsage, "--fast needs --emulator");
    if (args.value("--tickets") && !emulator)
        fail(kExitUsage, "--tickets needs --emulator (a real scanner takes paper)");
    std::optional<Kind> fixedKind;
    if (const auto k = args.value("--kind")) {
        fixedKind = kind_by_name(*k);
        if (!fixedKind) fail(kExitUsage, "unknown kind \"" + *k + "\" (use " + kind_names() + ")");
    }
    const int idleS = args.integer("--timeout", 1, 3600).value_or(emulator ? kEmulatorIdleS : kDefaultIdleS);
    const std::string outDir = absolute(args.value("--out").value_or("ticketkit-session"));
    std::error_code error;
    fs::create_directories(outDir, error);
    if (error || !fs::is_directory(outDir)) fail(kExitUsage, outDir + ": cannot create the output folder");

    std::vector<std::string> queue;
    std::string printDir;
    if (emulator) {
        std::string tickets = args.value("--tickets").value_or("");
        if (tickets.empty()) {
            tickets = find_samples();
            if (tickets.empty())
                fail(kExitUsage, "the sample tickets are not beside this program; give --tickets DIR");
        }
        tickets = absolute(tickets);
        if (!fs::is_directory(tickets, error)) fail(kExitUsage, tickets + ": tickets folder missing");
        queue = ticket_files(tickets);
        ::setenv("EMULATOR_TICKETS", tickets.c_str(), 1);
        if (const char* p = std::getenv("EMULATOR_PRINT_DIR")) {
            printDir = p;
        } else {
            printDir = outDir + "/printed";
            ::setenv("EMULATOR_PRINT_DIR", printDir.c_str(), 1);
        }
        const fs::path t = tickets;
        default_format_file("FMTFILEPATH", {t / "FormatFile.txt", t.parent_path() / "FormatFile.txt"});
        default_format_file("FMTFILESPPATH", {t / "FormatFileSP.txt", t.parent_path() / "FormatFileSP.txt"});
        if (queue.empty())
            std::fprintf(stderr, "ticketkit: %s holds no usable .bmp ticket\n", tickets.c_str());
    }

    DecodeLibrary decode;
    SkewtrimLibrary skewtrim;
    bool canRead = true;
    try {
        decode.bind();
    } catch (const Failure& f) {
        canRead = false;
        std::fprintf(stderr, "ticketkit: %s; tickets are scanned and saved but not read\n",
                     f.message.c_str());
    }

    DeviceOptions options;
    options.emulator = emulator;
    options.fast = args.has("--fast");
    DeviceSession dev(options);
    Progress progress("waiting for a ticket");
    std::vector<TicketOutcome> outcomes;
    ScannedPicture picture;
    for (int number = 1;; ++number) {
        progress.set("waiting for ticket " + std::to_string(number));
        if (!dev.wait_for_ticket(idleS * 1000, &progress)) {
            const std::string end =
                "No further ticket within " + std::to_string(idleS) + " s: the session ends.";
            if (args.has("--json"))
                std::fprintf(stderr, "%s\n", end.c_str());  // stdout stays pure JSON
            else
                progress.say(end);
            break;
        }
        TicketOutcome t;
        t.number = number;
        if (static_cast<std::size_t>(number) <= queue.size())
            t.source = queue[static_cast<std::size_t>(number) - 1];
        std::optional<Kind> kind = fixedKind;
        if (!kind && !t.source.empty()) kind = kind_from_file_name(fs::path(t.source).filename().string());
        t.kind = kind ? kind->name : "";

        progress.set("ticket " + std::to_string(number) + ": scanning");
        dev.start_scan(0, kind ? kind->linesPerMm : 8, 0);
        dev.read_picture(picture, kPictureWaitMs);
        t.picture = outDir + "/Picture-" + std::to_string(number) + ".bmp";
        if (dev.kestrom().SaveDataToBmp(picture.data.data(), picture.lineBytes, picture.lines,
                                        t.picture.c_str(), picture.pictureType) != 1) {
            std::fprintf(stderr, "ticketkit: %s: cannot write the picture\n", t.picture.c_str());
            t.picture.clear();
        }

        if (kind && canRead) {
            progress.set("ticket " + std::to_string(number) + ": reading");
            BlackWhite bw;
            bw.widthPixels = picture.lineBytes * 8;
            bw.height = picture.lines;
            bw.rows.assign(
                picture.data.begin(),
                picture.data.begin() + static_cast<std::ptrdiff_t>(picture.lineBytes) * picture.lines);
            const Reading reading = recognise(decode, bw, *kind, picture.linesPerMm);
            t.read = reading.read;
            if (reading.read) t.lines = reading_lines(reading, *kind);
        }

        // The result goes on the ticket's last millimetres, then the ticket leaves.
        progress.set("ticket " + std::to_string(number) + ": printing");
        const int lengthMm = picture.linesPerMm > 0 ? picture.lines / picture.linesPerMm : 0;
        const int buffer = std::min(lengthMm, kMaxPrintBufferMm);
        std::vector<std::string> print = {"TICKET " + std::to_string(number) + " " +
                                          (t.kind.empty() ? "SCANNED" : t.kind)};
        if (t.read)
            print.insert(print.end(), t.lines.begin(), t.lines.end());
        else
            print.push_back(!kind ? "kind unknown: not read" : canRead ? "not read" : "no reader installed");
        t.printResult = dev.print_lines(wrap_for_print(print), std::max(0, buffer - kPrintBandMm), buffer, 1);
        if (dev.emulator() && t.printResult == 1) {
            char file[1024] = {};
            if (dev.emulator()->GetLastPrintFile(file, sizeof file) == 1) t.printed = file;
        }
        progress.set("ticket " + std::to_string(number) + ": ejecting");
        if (!dev.wait_until_clear(kEjectWaitMs)) fail(kExitDevice, "the ticket did not leave the device");

        std::string line = "ticket " + std::to_string(number);
        if (!t.source.empty()) line += " " + fs::path(t.source).filename().string();
        line += " (" + (t.kind.empty() ? std::string("kind unknown") : t.kind) + ", " +
                std::to_string(picture.linesPerMm) + " lines/mm): ";
        if (t.read) {
            for (std::size_t i = 0; i < t.lines.size(); ++i) line += (i ? " | " : "") + t.lines[i];
        } else {
            line += !kind ? "not read (no --kind)" : canRead ? "NOT READ" : "not read (libdecode.so missing)";
        }
        if (!args.has("--json")) {
            progress.say(line);
            progress.say("  saved " + (t.picture.empty() ? std::string("nothing") : t.picture) +
                         (t.printed.empty() ? (t.printResult == 1 ? ", printed" : ", print failed")
                                            : ", printed " + t.printed));
        }
        outcomes.push_back(std::move(t));
    }

    int read = 0;
    for (const TicketOutcome& t : outcomes) read += t.read ? 1 : 0;
    const int total = static_cast<int>(outcomes.size());
    if (args.has("--json")) {
        std::string out = "{\"tickets\": [";
        for (std::size_t i = 0; i < outcomes.size(); ++i)
            out += (i ? ",\n  " : "\n  ") + outcome_json(outcomes[i]);
        out += "],\n \"read\": " + std::to_string(read) + ", \"total\": " + std::to_string(total) +
               ", \"pictures\": " + json_string(outDir) + ", \"printed\": " + json_string(printDir) + "}";
        progress.say(out);
    } else {
        progress.say(std::to_string(total) + " ticket" + (total == 1 ? "" : "s") + ", " +
                     std::to_string(read) + " read, " + std::to_string(total - read) + " not read.");
        progress.say("Scanned pictures (kept): " + outDir);
        if (!printDir.empty()) progress.say("Printed tickets (kept):  " + printDir);
    }
    return total > 0 && read == total ? kExitOk : kExitNothing;
}

}  // namespace ticketkit
