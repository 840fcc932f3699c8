// decode, straighten and info: work on saved pictures, no device needed.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "cli.h"
#include "commands.h"
#include "image_files.h"
#include "overlay.h"
#include "reader_geometry.h"
#include "recognition.h"

namespace ticketkit {
namespace {

constexpr int kStraightenMode = 2;  // bilinear resampling
constexpr int kStraightenRule = 1;  // paper is lighter than the measured background
constexpr int kMeasureLevel = 0;    // let the library measure the background level

const char* kDecodeHelp =
    "usage: ticketkit decode FILE.bmp... --kind barcode|marks|marks-reliability|printed-marks\n"
    "                        [--lines-per-mm 4|8] [--json] [--annotate OUT.png|OUT.bmp]\n"
    "Reads barcodes or marks from saved pictures (any uncompressed BMP: 1, 4, 8, 24 or\n"
    "32 bits; grey and colour are reduced to black and white by the bitmap library).\n"
    "Lines per mm: from the option, else from the file's vertical resolution, else the\n"
    "kind's usual scan (8 for barcodes, 4 for marks). Mark readers take their format file\n"
    "from FMTFILEPATH / FMTFILESPPATH (else FormatFile.txt / FormatFileSP.txt here).\n"
    "--annotate writes the picture in grey with what was read drawn over it: barcode\n"
    "symbols outlined and labelled, mark cells boxed by state (green marked, blue empty,\n"
    "orange doubtful), timing and anchor marks in magenta, the form and its orientation\n"
    "in the top-left corner. PNG or 24-bit BMP by the name's suffix; with several files,\n"
    "OUT-<file name>.png for each. --json then also gives the symbols' corners and the\n"
    "cells (picture pixels; orientation in quarter turns clockwise).\n"
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

constexpr int kDotsAcrossPerMm = 8;              // the scanner's sampling across the paper
constexpr int kDotsPerMetrePerLinePerMm = 1000;  // dots per metre of one line per millimetre

struct FileResult {
    std::string path;
    bool ok = false;
    std::string error;
    Reading reading;
    int linesPerMm = 0;
    annotate::Overlay overlay;  // gathered with --annotate or --json
};

// Where the annotated picture of `input` goes: `out` itself for one input,
// else out's stem, "-", the input's stem and out's suffix.
std::string annotation_path(const std::string& out, const std::string& input, bool many) {
    if (!many) return out;
    const std::filesystem::path o(out);
    const std::string stem = std::filesystem::path(input).stem().string();
    return (o.parent_path() / (o.stem().string() + "-" + stem + o.extension().string())).string();
}

// The overlay of what the readers found on `bw`, which the dispatcher has just read.
annotate::Overlay gather_overlay(annotate::ReaderGeometry& readers, const BlackWhite& bw, const Kind& kind,
                                 const Reading& reading, int linesPerMm) {
    annotate::Overlay overlay;
    if (!reading.read) return overlay;
    if (kind.code == 1)
        overlay.symbols = readers.barcodes({bw.rows.data(), bw.widthPixels, bw.height, linesPerMm});
    else
        overlay.marks = readers.mark_layout(kind.code == 2);
    return overlay;
}

// Draws `overlay` over the file's picture and writes it; a Failure (kExitUsage)
// when the file cannot be written.
void write_annotation(const PictureFile& picture, const annotate::Overlay& overlay, int linesPerMm,
                      const std::string& out) {
    std::vector<std::uint8_t> grey;
    annotate::PictureView view{picture.rows.data(), picture.width, picture.height, picture.bitCount,
                               static_cast<std::size_t>(picture.stride)};
    if (picture.bitCount == 24) {  // colour: its luminance
        grey.resize(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height));
        for (std::size_t i = 0; i < grey.size(); ++i) {
            const std::uint8_t* bgr = &picture.rows[i * 3];
            grey[i] = static_cast<std::uint8_t>((29 * bgr[0] + 150 * bgr[1] + 77 * bgr[2]) >> 8);
        }
        view = {grey.data(), picture.width, picture.height, 8, static_cast<std::size_t>(picture.width)};
    }
    const annotate::Raster raster =
        annotate::render(view, overlay, {static_cast<double>(linesPerMm) / kDotsAcrossPerMm});
    const int dpmX =
        picture.dotsPerMetreX > 0 ? picture.dotsPerMetreX : kDotsAcrossPerMm * kDotsPerMetrePerLinePerMm;
    const int dpmY =
        picture.dotsPerMetreY > 0 ? picture.dotsPerMetreY : linesPerMm * kDotsPerMetrePerLinePerMm;
    const std::string why = annotate::write_image(raster, out, dpmX, dpmY);
    if (!why.empty()) fail(kExitUsage, out + ": " + why);
}

std::string json_number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", std::isfinite(v) ? v : 0.0);
    return text;
}

// The overlay as JSON members (with a leading ", "), "" when it holds nothing.
std::string overlay_json(const annotate::Overlay& o, const Kind& kind) {
    std::string out;
    if (kind.code == 1) {
        out += ", \"symbols\": [";
        for (std::size_t i = 0; i < o.symbols.size(); ++i) {
            const annotate::SymbolOutline& s = o.symbols[i];
            out += (i ? ", " : "") + std::string("{\"symbology\": ") + json_string(s.symbology) +
                   ", \"text\": " + json_string(s.text) + ", \"corners\": [";
            for (int k = 0; k < 4; ++k)
                out += (k ? ", " : "") + json_number(s.corners[k].x) + ", " + json_number(s.corners[k].y);
            out += "]}";
        }
        return out + "]";
    }
    if (!o.marks) return out;
    const annotate::MarkOverlay& m = *o.marks;
    auto quad = [](const MarkQuad& q) {
        std::string t = "[";
        for (int k = 0; k < 4; ++k) t += (k ? ", " : "") + json_number(q.x[k]) + ", " + json_number(q.y[k]);
        return t + "]";
    };
    out += ", \"layout\": {\"form\": " + std::to_string(m.form) +
           ", \"orientation\": " + std::to_string(m.orientation) + ", \"rows\": " + std::to_string(m.rows) +
           ", \"columns\": " + std::to_string(m.columns) + ", \"cells\": [";
    const int levels = std::clamp(m.levelCount, 1, MARK_LAYOUT_MAX_LEVELS);
    for (std::size_t i = 0; i < m.cells.size(); ++i) {
        const MarkCell& c = m.cells[i];
        out += (i ? ", " : "") + std::string("{\"row\": ") + std::to_string(c.row) +
               ", \"column\": " + std::to_string(c.column) +
               ", \"kind\": " + json_string(c.kind == MARK_CELL_CODE_SLOT ? "code" : "answer") +
               ", \"box\": " + quad(c.box) + ", \"state\": [";
        for (int l = 0; l < levels; ++l) out += (l ? ", " : "") + std::to_string(c.state[l]);
        out += "], \"ratio\": [";
        for (int l = 0; l < levels; ++l) {
            char r[16];
            std::snprintf(r, sizeof r, "%.3f", std::isfinite(c.ratio[l]) ? c.ratio[l] : 0.0f);
            out += (l ? ", " : "") + std::string(r);
        }
        out += "]}";
    }
    out += "], \"guides\": [";
    for (std::size_t i = 0; i < m.guides.size(); ++i) {
        const MarkGuide& g = m.guides[i];
        out += (i ? ", " : "") + std::string("{\"kind\": ") +
               json_string(g.kind == MARK_GUIDE_ANCHOR ? "anchor" : "timing") +
               ", \"index\": " + std::to_string(g.index) + ", \"box\": " + quad(g.box) + "}";
    }
    return out + "]}";
}

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
    const Args args(words, {"--json"}, {"--kind", "--lines-per-mm", "--annotate"});
    const auto kindName = args.value("--kind");
    if (!kindName) fail(kExitUsage, "decode needs --kind " + kind_names());
    const auto kind = kind_by_name(*kindName);
    if (!kind) fail(kExitUsage, "unknown kind \"" + *kindName + "\" (use " + kind_names() + ")");
    std::optional<int> lpm = args.integer("--lines-per-mm", 4, 8);
    if (lpm && *lpm != 4 && *lpm != 8) fail(kExitUsage, "--lines-per-mm takes 4 or 8");
    if (args.positional().empty()) fail(kExitUsage, "decode needs at least one BMP file (see --help)");
    const auto annotateOut = args.value("--annotate");
    if (annotateOut && !annotate::format_for(*annotateOut))
        fail(kExitUsage, "--annotate takes a file name ending in .png or .bmp, not \"" + *annotateOut + "\"");
    const bool wantGeometry = annotateOut || args.has("--json");

    SkewtrimLibrary skewtrim;
    DecodeLibrary decode;
    skewtrim.bind();
    decode.bind();
    // Opened before the dispatcher reads, so the readers it binds stay the ones asked afterwards.
    annotate::ReaderGeometry readers(
        [](const std::string& why) { std::fprintf(stderr, "ticketkit: %s\n", why.c_str()); });
    if (wantGeometry) readers.open();

    std::vector<FileResult> results;
    for (const std::string& path : args.positional()) {
        FileResult r;
        r.path = path;
        try {
            const PictureFile picture = load_picture(path);
            BlackWhite bw = to_black_white(skewtrim, picture, path);
            r.linesPerMm = lpm ? *lpm : lines_per_mm_from(picture.dotsPerMetreY);
            r.reading = recognise(decode, bw, *kind, r.linesPerMm);
            const int usedLinesPerMm = r.linesPerMm ? r.linesPerMm : kind->linesPerMm;
            if (wantGeometry) r.overlay = gather_overlay(readers, bw, *kind, r.reading, usedLinesPerMm);
            if (annotateOut)
                write_annotation(picture, r.overlay, usedLinesPerMm,
                                 annotation_path(*annotateOut, path, args.positional().size() > 1));
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
            out += "]" + overlay_json(r.overlay, *kind) + "}";
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
