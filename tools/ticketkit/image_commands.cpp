// decode, straighten and info: work on saved pictures, no device needed.

#include <cmath>
#include <cstdio>

#include "cli.h"
#include "commands.h"
#include "recognition.h"

namespace ticketkit {
namespace {

constexpr int kStraightenMode = 2;  // bilinear resampling
constexpr int kStraightenRule = 1;  // paper is lighter than the measured background
constexpr int kMeasureLevel = 0;    // let the library measure the background level

const char* kDecodeHelp =
    "usage: ticketkit decode FILE.bmp... --kind barcode|marks|marks-reliability|printed-marks\n"
    "                        [--lines-per-mm 4|8] [--json]\n"
    "Reads barcodes or marks from saved pictures (any uncompressed BMP: 1, 4, 8, 24 or\n"
    "32 bits; grey and colour are reduced to black and white by the bitmap library).\n"
    "Lines per mm: from the option, else from the file's vertical resolution, else the\n"
    "kind's usual scan (8 for barcodes, 4 for marks). Mark readers take their format file\n"
    "from FMTFILEPATH / FMTFILESPPATH (else FormatFile.txt / FormatFileSP.txt here).\n"
    "Exit: 0 every file read, 1 something not found, 2 bad arguments or file, 3 library missing.\n";

const char* kStraightenHelp =
    "usage: ticketkit straighten IN.bmp OUT.bmp\n"
    "Finds the ticket on the darker scanner background, turns it upright and cuts it out;\n"
    "writes OUT.bmp at the depth the bitmap library keeps (1, 8 or 24 bits).\n"
    "Exit: 0 written, 1 no ticket outline found, 2 bad arguments or file, 3 library missing.\n";

const char* kInfoHelp =
    "usage: ticketkit info FILE.bmp... [--json]\n"
    "Size, depth, resolution and the paper's skew angle (degrees, clockwise positive,\n"
    "measured on the paper's edge against a darker background).\n"
    "Exit: 0, or 2 for a file that cannot be read.\n";

struct FileResult {
    std::string path;
    bool ok = false;
    std::string error;
    Reading reading;
    int linesPerMm = 0;
};

}  // namespace

bool wants_help(const Words& words, const char* text) {
    for (const std::string& w : words) {
        if (w == "--") break;
        if (w == "--help" || w == "-h") {
            std::fputs(text, stdout);
            return true;
        }
    }
    return false;
}

int run_decode(const Words& words) {
    if (wants_help(words, kDecodeHelp)) return kExitOk;
    const Args args(words, {"--json"}, {"--kind", "--lines-per-mm"});
    const auto kindName = args.value("--kind");
    if (!kindName) fail(kExitUsage, "decode needs --kind " + kind_names());
    const auto kind = kind_by_name(*kindName);
    if (!kind) fail(kExitUsage, "unknown kind \"" + *kindName + "\" (use " + kind_names() + ")");
    std::optional<int> lpm = args.integer("--lines-per-mm", 4, 8);
    if (lpm && *lpm != 4 && *lpm != 8) fail(kExitUsage, "--lines-per-mm takes 4 or 8");
    if (args.positional().empty()) fail(kExitUsage, "decode needs at least one BMP file (see --help)");

    SkewtrimLibrary skewtrim;
    DecodeLibrary decode;
    skewtrim.bind();
    decode.bind();

    std::vector<FileResult> results;
    for (const std::string& path : args.positional()) {
        FileResult r;
        r.path = path;
        try {
            const PictureFile picture = load_picture(path);
            BlackWhite bw = to_black_white(skewtrim, picture, path);
            r.linesPerMm = lpm ? *lpm : lines_per_mm_from(picture.dotsPerMetreY);
            r.reading = recognise(decode, bw, *kind, r.linesPerMm);
            r.ok = true;
        } catch (const Failure& f) {
            if (f.code != kExitUsage) throw;
            r.error = f.message;
            std::fprintf(stderr, "ticketkit: %s\n", f.message.c_str());
        }
        results.push_back(std::move(r));
    }

    bool inputError = false, missed = false;
    for (const FileResult& r : results) {
        inputError = inputError || !r.ok;
        missed = missed || (r.ok && !r.reading.read);
    }
    if (args.has("--json")) {
        std::string out = "[";
        for (std::size_t i = 0; i < results.size(); ++i) {
            const FileResult& r = results[i];
            out += i ? ",\n " : "";
            out += "{\"file\": " + json_string(r.path) + ", \"kind\": " + json_string(kind->name);
            if (!r.ok) {
                out += ", \"error\": " + json_string(r.error) + "}";
                continue;
            }
            out += ", \"read\": " + std::string(r.reading.read ? "true" : "false") +
                   ", \"count\": " + std::to_string(r.reading.count) +
                   ", \"text\": " + json_string(r.reading.text) + ", \"lines\": [";
            const auto lines = reading_lines(r.reading, *kind);
            for (std::size_t k = 0; k < lines.size(); ++k) out += (k ? ", " : "") + json_string(lines[k]);
            out += "]}";
        }
        std::printf("%s]\n", out.c_str());
    } else {
        const bool many = results.size() > 1;
        for (const FileResult& r : results) {
            if (!r.ok) continue;
            if (!r.reading.read) {
                std::fprintf(stderr, "ticketkit: %s: nothing read (%s)\n", r.path.c_str(), kind->name);
                continue;
            }
            for (const std::string& line : reading_lines(r.reading, *kind))
                std::printf("%s%s\n", many ? (r.path + ": ").c_str() : "", line.c_str());
        }
    }
    return inputError ? kExitUsage : missed ? kExitNothing : kExitOk;
}

int run_straighten(const Words& words) {
    if (wants_help(words, kStraightenHelp)) return kExitOk;
    const Args args(words, {}, {});
    if (args.positional().size() != 2) fail(kExitUsage, "straighten needs IN.bmp and OUT.bmp (see --help)");
    const std::string& in = args.positional()[0];
    const std::string& out = args.positional()[1];
    SkewtrimLibrary skewtrim;
    skewtrim.bind();
    const PictureFile picture = load_picture(in);
    Bitmap source = to_bitmap(skewtrim, picture);
    Bitmap upright{};
    const int rc = skewtrim.ImageSkewtrim(&source, kStraightenMode, kMeasureLevel, kStraightenRule, &upright);
    skewtrim.Bitmap_Done(&source);
    if (rc != 0) {
        std::fprintf(stderr, "ticketkit: %s: no ticket outline found on a darker background (code %d)\n",
                     in.c_str(), rc);
        return kExitNothing;
    }
    const int saved = skewtrim.SaveBitmapToFile(&upright, out.c_str());
    const int width = upright.width, height = upright.height;
    skewtrim.Bitmap_Done(&upright);
    if (saved != 0) fail(kExitUsage, out + ": cannot write (code " + std::to_string(saved) + ")");
    std::printf("%s: %d x %d\n", out.c_str(), width, height);
    return kExitOk;
}

int run_info(const Words& words) {
    if (wants_help(words, kInfoHelp)) return kExitOk;
    const Args args(words, {"--json"}, {});
    if (args.positional().empty()) fail(kExitUsage, "info needs a BMP file (see --help)");
    SkewtrimLibrary skewtrim;
    skewtrim.bind();
    bool inputError = false;
    std::string json = "[";
    for (const std::string& path : args.positional()) {
        PictureFile picture;
        try {
            picture = load_picture(path);
        } catch (const Failure& f) {
            if (f.code != kExitUsage) throw;
            std::fprintf(stderr, "ticketkit: %s\n", f.message.c_str());
            inputError = true;
            continue;
        }
        const BlackWhite bw = to_black_white(skewtrim, picture, path);
        const auto skew = paper_skew_degrees(bw);
        const int lpm = lines_per_mm_from(picture.dotsPerMetreY);
        char skewText[32] = "unknown";
        if (skew) std::snprintf(skewText, sizeof skewText, "%.2f", *skew);
        if (args.has("--json")) {
            json += (json.size() > 1 ? ",\n " : "");
            json += "{\"file\": " + json_string(path) + ", \"width\": " + std::to_string(picture.width) +
                    ", \"height\": " + std::to_string(picture.height) +
                    ", \"bits\": " + std::to_string(picture.fileBits) +
                    ", \"linesPerMm\": " + std::to_string(lpm) +
                    ", \"skewDegrees\": " + (skew ? skewText : "null") + "}";
        } else {
            std::printf("%s: %d x %d, %d bits per pixel, %s, skew %s%s\n", path.c_str(), picture.width,
                        picture.height, picture.fileBits,
                        lpm ? (std::to_string(lpm) + " lines/mm").c_str() : "resolution not given", skewText,
                        skew ? " degrees" : " (no paper edge on a dark background)");
        }
    }
    if (args.has("--json")) std::printf("%s]\n", json.c_str());
    return inputError ? kExitUsage : kExitOk;
}

}  // namespace ticketkit
