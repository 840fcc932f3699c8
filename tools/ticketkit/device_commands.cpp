// The device subcommands: single operations of the scanner-printer through
// libKestrom.so, against hardware or (--emulator) the software device.

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "commands.h"
#include "device_session.h"
#include "recognition.h"

namespace ticketkit {
namespace {

constexpr int kDefaultTicketWaitS = 30;
constexpr int kPictureWaitMs = 20000;
constexpr int kBitmapSlots = 128;

const char* kDeviceOptionsHelp =
    "  --emulator   use the software scanner-printer (libScannerEmulator.so[.0] beside this program)\n"
    "  --fast       with --emulator: run the device's clock 8 times faster\n"
    "Exit: 0 done, 1 nothing found, 2 bad arguments, 3 device error or device absent.\n";

std::string help(const char* usage) {
    return std::string(usage) + kDeviceOptionsHelp;
}

DeviceOptions device_options(const Args& args) {
    DeviceOptions o;
    o.emulator = args.has("--emulator");
    o.fast = args.has("--fast");
    if (o.fast && !o.emulator) fail(kExitUsage, "--fast needs --emulator (a real device keeps its own pace)");
    return o;
}

Args device_args(const Words& words, std::vector<std::string> flags, std::vector<std::string> valued) {
    flags.push_back("--emulator");
    flags.push_back("--fast");
    return Args(words, flags, valued);
}

int area_from(const std::string& word) {
    if (word == "ram" || word == "casual" || word == "0") return 0;
    if (word == "flash" || word == "fixed" || word == "1") return 1;
    fail(kExitUsage, "unknown storage area \"" + word + "\" (use ram or flash)");
}

}  // namespace

int run_status(const Words& words) {
    static const std::string h =
        help("usage: ticketkit status [--json] [--emulator]\nThe decoded device status.\n");
    if (wants_help(words, h.c_str())) return kExitOk;
    const Args args = device_args(words, {"--json"}, {});
    DeviceSession dev(device_options(args));
    const DeviceStatus s = dev.status();
    if (!args.has("--json")) {
        std::printf("%s\n", status_text(s).c_str());
        std::printf("Paper:%s%s%s%s\n", s.paperSensorA ? " sensor A" : "", s.paperSensorB ? " sensor B" : "",
                    s.paperAtPrintHead ? " print head" : "",
                    s.paperSensorA || s.paperSensorB || s.paperAtPrintHead ? "" : " none");
        return kExitOk;
    }
    const char* names[] = {"headHot",         "coverOpen",      "passageJam",       "commandError",
                           "printPaperError", "printDone",      "scannerIdle",      "scanning",
                           "waiting",         "printing",       "feedingPaper",     "statusError",
                           "haveData",        "scanLinesPerMm", "grayPicture",      "lockScan",
                           "paperSensorA",    "paperSensorB",   "paperAtPrintHead", "statusBit3_4",
                           "statusBit3_0",    "statusBit2_0"};
    const auto* fields = reinterpret_cast<const int32_t*>(&s);
    std::string out = "{";
    for (int i = 0; i < 22; ++i)
        out += std::string(i ? ", " : "") + "\"" + names[i] + "\": " + std::to_string(fields[i]);
    std::printf("%s, \"text\": %s}\n", out.c_str(), json_string(status_text(s)).c_str());
    return kExitOk;
}

int run_scan(const Words& words) {
    static const std::string h = help(
        "usage: ticketkit scan [-o FILE.bmp] [--gray] [--lines-per-mm 4|8] [--decode KIND]\n"
        "                      [--eject|--hold] [--timeout SECONDS] [--ticket FILE.bmp] [--json]\n"
        "Waits for a ticket (30 s unless --timeout), scans it (black and white unless --gray;\n"
        "8 lines/mm, or the kind's resolution with --decode), saves it (Picture.bmp unless -o)\n"
        "and ejects it (--hold keeps it in the device). --decode barcode|marks|marks-reliability|\n"
        "printed-marks reads it. --ticket inserts a ticket file into the emulator first.\n");
    if (wants_help(words, h.c_str())) return kExitOk;
    const Args args = device_args(words, {"--gray", "--eject", "--hold", "--json"},
                                  {"-o", "--output", "--lines-per-mm", "--decode", "--timeout", "--ticket"});
    if (!args.positional().empty()) fail(kExitUsage, "scan takes no file arguments (use -o FILE.bmp)");
    if (args.has("--eject") && args.has("--hold")) fail(kExitUsage, "--eject and --hold exclude each other");
    std::optional<Kind> kind;
    if (const auto k = args.value("--decode")) {
        kind = kind_by_name(*k);
        if (!kind) fail(kExitUsage, "unknown kind \"" + *k + "\" (use " + kind_names() + ")");
        if (args.has("--gray")) fail(kExitUsage, "--decode reads black-and-white pictures; drop --gray");
    }
    int lpm = kind ? kind->linesPerMm : 8;
    if (const auto v = args.integer("--lines-per-mm", 4, 8)) {
        if (*v != 4 && *v != 8) fail(kExitUsage, "--lines-per-mm takes 4 or 8");
        lpm = *v;
    }
    const int timeoutS = args.integer("--timeout", 0, 3600).value_or(kDefaultTicketWaitS);
    const std::string output = args.value("-o").value_or(args.value("--output").value_or("Picture.bmp"));
    const auto ticket = args.value("--ticket");
    if (ticket && !args.has("--emulator")) fail(kExitUsage, "--ticket needs --emulator");
    DecodeLibrary decode;
    SkewtrimLibrary skewtrim;
    if (kind) {
        decode.bind();
        skewtrim.bind();
    }

    DeviceSession dev(device_options(args));
    if (ticket) {
        if (const std::string why = bmp_problem(*ticket); !why.empty())
            fail(kExitUsage, *ticket + ": " + why);
        if (dev.emulator()->InsertTicketFile(ticket->c_str()) != 1)
            fail(
                kExitUsage,
                *ticket + ": the emulator refused the ticket (larger than the passage, or paper already in)");
    }
    ScannedPicture picture;
    {
        Progress progress("waiting for a ticket");
        if (!dev.wait_for_ticket(timeoutS * 1000, &progress)) {
            std::fprintf(stderr, "ticketkit: no ticket arrived within %d s\n", timeoutS);
            return kExitNothing;
        }
        progress.set("scanning");
        dev.start_scan(args.has("--gray") ? 1 : 0, lpm, args.has("--hold") ? 0 : 2);
        dev.read_picture(picture, kPictureWaitMs);
    }
    if (dev.kestrom().SaveDataToBmp(picture.data.data(), picture.lineBytes, picture.lines, output.c_str(),
                                    picture.pictureType) != 1)
        fail(kExitUsage, output + ": cannot write the picture");
    const int width = picture.pictureType == 1 ? picture.lineBytes : picture.lineBytes * 8;
    Reading reading;
    if (kind) {
        BlackWhite bw;
        bw.widthPixels = width;
        bw.height = picture.lines;
        bw.rows.assign(picture.data.begin(),
                       picture.data.begin() + static_cast<std::ptrdiff_t>(picture.lineBytes) * picture.lines);
        reading = recognise(decode, bw, *kind, picture.linesPerMm);
    }
    if (args.has("--json")) {
        std::printf("{\"file\": %s, \"width\": %d, \"height\": %d, \"gray\": %s, \"linesPerMm\": %d",
                    json_string(output).c_str(), width, picture.lines,
                    picture.pictureType == 1 ? "true" : "false", picture.linesPerMm);
        if (kind)
            std::printf(", \"kind\": %s, \"read\": %s, \"count\": %d, \"text\": %s",
                        json_string(kind->name).c_str(), reading.read ? "true" : "false", reading.count,
                        json_string(reading.text).c_str());
        std::printf("}\n");
    } else {
        std::printf("%s: %d x %d, %s, %d lines/mm\n", output.c_str(), width, picture.lines,
                    picture.pictureType == 1 ? "grey" : "black and white", picture.linesPerMm);
        if (kind && reading.read)
            for (const std::string& line : reading_lines(reading, *kind)) std::printf("%s\n", line.c_str());
        if (kind && !reading.read) std::fprintf(stderr, "ticketkit: nothing read (%s)\n", kind->name);
    }
    return kind && !reading.read ? kExitNothing : kExitOk;
}

int run_print(const Words& words) {
    static const std::string h = help(
        "usage: ticketkit print --text TEXT [--picture NAME] [--font byte|asd|courier] [--size N]\n"
        "                       [--at HOR,VER] [--buffer MM] [--hold] [--ticket FILE.bmp]\n"
        "Prints on the ticket held in the device (after `scan --hold`): the text at HOR,VER mm\n"
        "(default 0,10), a stored bitmap NAME at 0,20 mm; print buffer MM (default 100); then\n"
        "ejects the ticket unless --hold. Sizes: byte 0-8, asd 6/8/10/12/14/18, courier 0-7.\n"
        "--ticket (with --emulator) puts a ticket file in and scans it first, to print on it.\n");
    if (wants_help(words, h.c_str())) return kExitOk;
    const Args args = device_args(
        words, {"--hold"}, {"--text", "--picture", "--font", "--size", "--at", "--buffer", "--ticket"});
    const auto ticket = args.value("--ticket");
    if (ticket && !args.has("--emulator")) fail(kExitUsage, "--ticket needs --emulator");
    const auto text = args.value("--text");
    const auto picture = args.value("--picture");
    if (!text && !picture) fail(kExitUsage, "print needs --text and/or --picture");
    int font = '0';
    if (const auto f = args.value("--font")) {
        if (*f == "byte")
            font = '0';
        else if (*f == "asd")
            font = 'P';
        else if (*f == "courier")
            font = '9';
        else
            fail(kExitUsage, "unknown font \"" + *f + "\" (use byte, asd or courier)");
    }
    const int size = args.integer("--size", 0, 18).value_or(font == 'P' ? 8 : 1);
    int hor = 0, ver = 10;
    if (const auto at = args.value("--at")) {
        if (std::sscanf(at->c_str(), "%d,%d", &hor, &ver) != 2 || hor < 0 || hor > 32 || ver < 0 || ver > 297)
            fail(kExitUsage, "--at takes HOR,VER in mm (0-32, 0-297)");
    }
    const int buffer = args.integer("--buffer", 0, 297).value_or(100);
    if (picture && (picture->empty() || picture->size() > 8))
        fail(kExitUsage, "--picture: a stored name has 1 to 8 characters");

    DeviceSession dev(device_options(args));
    KestromLibrary& k = dev.kestrom();
    if (ticket) {
        // The software device starts empty in every process: bring a ticket in and hold it.
        if (const std::string why = bmp_problem(*ticket); !why.empty())
            fail(kExitUsage, *ticket + ": " + why);
        if (dev.emulator()->InsertTicketFile(ticket->c_str()) != 1)
            fail(kExitUsage, *ticket + ": the emulator refused the ticket (larger than the passage?)");
        ScannedPicture ignored;
        Progress progress("taking the ticket in");
        if (!dev.wait_for_ticket(kDefaultTicketWaitS * 1000, &progress))
            fail(kExitDevice, "the ticket was not taken in");
        dev.start_scan(0, 8, 0);
        dev.read_picture(ignored, kPictureWaitMs);
    }
    if (dev.status().waiting != 1)
        fail(kExitDevice, "no ticket held in the device (scan one with --hold first)");
    if (k.SetPrintBuffer(buffer) != 1)
        fail(kExitDevice, "the device refused the print buffer of " + std::to_string(buffer) + " mm");
    bool placed = false;
    if (picture) {
        if (k.SetPicPrintPosition(0, 20, picture->c_str()) == 1)
            placed = true;
        else
            std::fprintf(stderr, "ticketkit: the device refused the picture \"%s\" (not stored?)\n",
                         picture->c_str());
    }
    if (text) {
        if (k.SetCharPrintPosition(0, hor, ver, font, size, text->c_str()) == 1)
            placed = true;
        else
            std::fprintf(stderr,
                         "ticketkit: the device refused the text (font size or position out of range?)\n");
    }
    const int after = args.has("--hold") ? 0 : 1;
    const int result = placed ? k.StartPrint(1, after) : 0;
    if (result == 2) k.CorrectFakeJamError();
    if (result != 1 && after == 1) k.StartFeedPaper(0, 0);
    if (result == 1) {
        std::printf("printed\n");
        return kExitOk;
    }
    fail(kExitDevice,
         result == 2 ? "no paper at the print head; the print stopped" : "the print did not complete");
}

int run_feed(const Words& words) {
    static const std::string h = help(
        "usage: ticketkit feed front|back [--length N]\nMoves the ticket out of the front or back out of the "
        "entry.\n");
    if (wants_help(words, h.c_str())) return kExitOk;
    const Args args = device_args(words, {}, {"--length"});
    if (args.positional().size() != 1 || (args.positional()[0] != "front" && args.positional()[0] != "back"))
        fail(kExitUsage, "feed needs front or back");
    const int length = args.integer("--length", 0, 255).value_or(0);
    DeviceSession dev(device_options(args));
    const DeviceStatus s = dev.status();
    if (s.waiting != 1 && s.paperSensorA != 1 && s.paperSensorB != 1 && s.paperAtPrintHead != 1)
        fail(kExitDevice, "no ticket in the device to feed");
    Progress progress("feeding");
    if (dev.kestrom().StartFeedPaper(args.positional()[0] == "front" ? 0 : 1, length) != 1)
        fail(kExitDevice, "the device did not feed the paper (no ticket, or an error)");
    progress.say("fed " + args.positional()[0]);
    return kExitOk;
}

int run_bitmaps(const Words& words) {
    static const std::string h = help(
        "usage: ticketkit bitmaps list [--json]\n"
        "       ticketkit bitmaps download FILE.bmp --name NAME [--area ram|flash] [--side 0|1]\n"
        "       ticketkit bitmaps erase ram|flash\n"
        "Bitmaps stored in the device (1-bit BMP, up to 256 x 2376 dots, names of 1-8 characters).\n");
    if (wants_help(words, h.c_str())) return kExitOk;
    const Args args = device_args(words, {"--json"}, {"--name", "--area", "--side"});
    const auto& pos = args.positional();
    if (pos.empty()) fail(kExitUsage, "bitmaps needs list, download or erase");
    const std::string& action = pos[0];
    if (action == "list") {
        DeviceSession dev(device_options(args));
        std::string json = "[";
        for (int area = 1; area >= 0; --area) {
            int count = 0, freeBytes = 0;
            if (dev.kestrom().GetBMPNumber(area, &count, &freeBytes) != 1)
                fail(kExitDevice, std::string("cannot list the ") + (area ? "flash" : "RAM") + " bitmaps");
            if (!args.has("--json"))
                std::printf("%s: %d bitmaps, %d bytes free\n", area ? "flash" : "ram", count, freeBytes);
            for (int i = 0; i < count && i < kBitmapSlots; ++i) {
                std::uint8_t reply[11] = {};
                if (dev.kestrom().GetBMPName(area, i, reply) != 1)
                    fail(kExitDevice, "cannot read a bitmap name");
                const std::string name(reinterpret_cast<const char*>(reply + 2),
                                       strnlen(reinterpret_cast<const char*>(reply + 2), 8));
                if (args.has("--json"))
                    json += std::string(json.size() > 1 ? ", " : "") +
                            "{\"area\": " + json_string(area ? "flash" : "ram") +
                            ", \"name\": " + json_string(name) + "}";
                else
                    std::printf("  %s\n", name.c_str());
            }
        }
        if (args.has("--json")) std::printf("%s]\n", json.c_str());
        return kExitOk;
    }
    if (action == "download") {
        if (pos.size() != 2) fail(kExitUsage, "bitmaps download needs one BMP file");
        const auto name = args.value("--name");
        if (!name || name->empty() || name->size() > 8)
            fail(kExitUsage, "bitmaps download needs --name of 1 to 8 characters");
        const int area = area_from(args.value("--area").value_or("ram"));
        const int side = args.integer("--side", 0, 1).value_or(0);
        if (const std::string why = bmp_problem(pos[1]); !why.empty()) fail(kExitUsage, pos[1] + ": " + why);
        DeviceSession dev(device_options(args));
        Progress progress("downloading " + pos[1]);
        if (dev.kestrom().DownLoadPicture(area, side, name->c_str(), pos[1].c_str()) != 1)
            fail(kExitDevice,
                 pos[1] +
                     ": the device did not store it (a 1-bit BMP of at most 256 x 2376 dots that fits "
                     "the free memory is needed)");
        progress.say("stored " + *name);
        return kExitOk;
    }
    if (action == "erase") {
        if (pos.size() != 2) fail(kExitUsage, "bitmaps erase needs ram or flash");
        const int area = area_from(pos[1]);
        DeviceSession dev(device_options(args));
        Progress progress("erasing");
        const int ok = area == 1 ? dev.kestrom().EraseBMPInFlash() : dev.kestrom().EraseBMPInRam();
        if (ok != 1) fail(kExitDevice, "the device did not erase the bitmaps");
        progress.say("erased");
        return kExitOk;
    }
    fail(kExitUsage, "unknown bitmaps action \"" + action + "\" (use list, download or erase)");
}

int run_calibrate(const Words& words) {
    static const std::string h = help(
        "usage: ticketkit calibrate cis|sensor\nCalibrates the image sensor (cis) or the paper sensors.\n");
    if (wants_help(words, h.c_str())) return kExitOk;
    const Args args = device_args(words, {}, {});
    if (args.positional().size() != 1 || (args.positional()[0] != "cis" && args.positional()[0] != "sensor"))
        fail(kExitUsage, "calibrate needs cis or sensor");
    const bool cis = args.positional()[0] == "cis";
    DeviceSession dev(device_options(args));
    Progress progress(cis ? "calibrating the image sensor" : "calibrating the paper sensors");
    const int ok = cis ? dev.kestrom().CISDataCorrect() : dev.kestrom().SensorCorrect();
    if (ok != 1)
        fail(kExitDevice, cis ? "image sensor calibration failed" : "paper sensor calibration failed");
    progress.say("calibrated");
    return kExitOk;
}

int run_firmware(const Words& words) {
    static const std::string h =
        help("usage: ticketkit firmware FILE\nLoads a firmware update file; the device restarts with it.\n");
    if (wants_help(words, h.c_str())) return kExitOk;
    const Args args = device_args(words, {}, {});
    if (args.positional().size() != 1) fail(kExitUsage, "firmware needs one update file");
    const std::string& file = args.positional()[0];
    if (!std::filesystem::is_regular_file(file)) fail(kExitUsage, file + ": missing or not a file");
    DeviceSession dev(device_options(args));
    char version[8] = {};
    if (dev.kestrom().ReadVersion(file.c_str(), version) != 1)
        fail(kExitUsage, file + ": not a firmware update file for this device");
    Progress progress(std::string("loading firmware ") + version);
    if (dev.kestrom().UpdateDeviceFirmware(file.c_str()) != 1)
        fail(kExitDevice, "the firmware update failed (the device did not come back with version " +
                              std::string(version) + ")");
    progress.say(std::string("firmware ") + version + " loaded");
    return kExitOk;
}

int run_version(const Words& words) {
    static const std::string h = help(
        "usage: ticketkit version [--json] [--emulator]\nVersions of the device library, the device's "
        "firmware and the dispatcher.\n");
    if (wants_help(words, h.c_str())) return kExitOk;
    const Args args = device_args(words, {"--json"}, {});
    DeviceSession dev(device_options(args));
    char library[32] = {};
    dev.kestrom().GetKestromVersion(library);
    char firmware[32] = {};
    const bool haveFirmware = dev.kestrom().GetFirmwareVersion(firmware) == 1;
    firmware[15] = '\0';
    std::string decodeVersion;
    DecodeLibrary decode;
    try {
        decode.bind();
        char text[256] = {};
        decode.GetDecodeVersion(text);
        text[255] = '\0';
        decodeVersion = text;
    } catch (const Failure&) {
        decodeVersion = "";
    }
    if (args.has("--json")) {
        std::printf("{\"kestrom\": %s, \"firmware\": %s, \"decode\": %s}\n", json_string(library).c_str(),
                    haveFirmware ? json_string(firmware).c_str() : "null",
                    decodeVersion.empty() ? "null" : json_string(decodeVersion).c_str());
    } else {
        std::printf("libKestrom: %s\nfirmware:   %s\nlibdecode:  %s\n", library,
                    haveFirmware ? firmware : "(no answer)",
                    decodeVersion.empty() ? "(not installed)" : decodeVersion.c_str());
    }
    return haveFirmware ? kExitOk : kExitDevice;
}

}  // namespace ticketkit
