// ticketkit: the kit from a shell. One program, one subcommand per task.

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "cli.h"
#include "commands.h"

namespace {

const char* kUsage =
    "usage: ticketkit COMMAND [options]   (ticketkit COMMAND --help for each)\n"
    "\n"
    "Saved pictures:\n"
    "  decode FILE.bmp... --kind KIND   read barcodes or marks (KIND: barcode, marks,\n"
    "                                   marks-reliability, printed-marks)\n"
    "  straighten IN.bmp OUT.bmp        turn a scanned ticket upright and cut it out\n"
    "  info FILE.bmp...                 size, depth, resolution, skew angle\n"
    "The scanner-printer (add --emulator to use the software device):\n"
    "  session                          scan, read, print on and eject every ticket\n"
    "  status                           the decoded device status\n"
    "  scan                             wait for a ticket, scan and save it\n"
    "  print --text TEXT                print on the held ticket\n"
    "  feed front|back                  move the ticket out\n"
    "  bitmaps list|download|erase      bitmaps stored in the device\n"
    "  calibrate cis|sensor             calibrate the image sensor or the paper sensors\n"
    "  firmware FILE                    load a firmware update\n"
    "  version                          library, firmware and dispatcher versions\n"
    "\n"
    "Exit status: 0 success, 1 nothing found, 2 usage or input error, 3 device error.\n";

struct Command {
    const char* name;
    int (*run)(const ticketkit::Words&);
};

const Command kCommands[] = {
    {"decode", ticketkit::run_decode},     {"straighten", ticketkit::run_straighten},
    {"info", ticketkit::run_info},         {"session", ticketkit::run_session},
    {"status", ticketkit::run_status},     {"scan", ticketkit::run_scan},
    {"print", ticketkit::run_print},       {"feed", ticketkit::run_feed},
    {"bitmaps", ticketkit::run_bitmaps},   {"calibrate", ticketkit::run_calibrate},
    {"firmware", ticketkit::run_firmware}, {"version", ticketkit::run_version},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return ticketkit::kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        std::fputs(kUsage, stdout);
        return ticketkit::kExitOk;
    }
    const ticketkit::Words words(argv + 2, argv + argc);
    for (const Command& c : kCommands) {
        if (name != c.name) continue;
        try {
            return c.run(words);
        } catch (const ticketkit::Failure& f) {
            std::fprintf(stderr, "ticketkit: %s\n", f.message.c_str());
            return f.code;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "ticketkit: %s: %s\n", name.c_str(), e.what());
            return ticketkit::kExitDevice;
        }
    }
    std::fprintf(stderr, "ticketkit: unknown command \"%s\"\n\n%s", name.c_str(), kUsage);
    return ticketkit::kExitUsage;
}
