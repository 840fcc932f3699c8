#include "recognition.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "cli.h"

namespace ticketkit {
namespace {

constexpr int kBlackWhiteThreshold = 127;  // grey levels above it are white
constexpr std::size_t kDecodeText = 1024;  // the dispatcher's text buffer, terminator included
constexpr int kEdgeMinRows = 40;           // rows with an edge needed to measure a skew
constexpr double kEdgeOutlierDots = 3.0;   // residual beyond which an edge point is dropped

const Kind kKinds[] = {
    {"barcode", 1, 8},
    {"marks", 0, 4},
    {"marks-reliability", 5, 4},
    {"printed-marks", 2, 4},
};

bool white(const BlackWhite& p, int x, int y) {
    return (p.rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.widthPixels / 8) +
                   static_cast<std::size_t>(x >> 3)] >>
            (7 - (x & 7))) &
           1;
}

// Least-squares x = a + b y over the points; returns b, with a in `a`.
double fit(const std::vector<std::pair<double, double>>& pts, double& a) {
    double sy = 0, sx = 0, syy = 0, sxy = 0;
    for (const auto& [y, x] : pts) {
        sy += y;
        sx += x;
        syy += y * y;
        sxy += x * y;
    }
    const double n = static_cast<double>(pts.size());
    const double d = n * syy - sy * sy;
    const double b = d == 0 ? 0 : (n * sxy - sx * sy) / d;
    a = (sx - b * sy) / n;
    return b;
}

}  // namespace

std::optional<Kind> kind_by_name(const std::string& name) {
    for (const Kind& k : kKinds)
        if (name == k.name) return k;
    return std::nullopt;
}

std::optional<Kind> kind_from_file_name(const std::string& fileName) {
    // Longest prefix first: "marks-reliability-" before "marks-".
    std::optional<Kind> best;
    std::size_t bestLength = 0;
    for (const Kind& k : kKinds) {
        const std::string prefix = std::string(k.name) + "-";
        if (fileName.rfind(prefix, 0) == 0 && prefix.size() > bestLength) {
            best = k;
            bestLength = prefix.size();
        }
    }
    return best;
}

std::string kind_names() {
    return "barcode|marks|marks-reliability|printed-marks";
}

BlackWhite to_black_white(SkewtrimLibrary& skewtrim, const PictureFile& picture, const std::string& path) {
    BlackWhite out;
    out.widthPixels = (picture.width + 7) / 8 * 8;
    out.height = picture.height;
    const std::size_t rowBytes = static_cast<std::size_t>(out.widthPixels / 8);
    out.rows.assign(rowBytes * static_cast<std::size_t>(out.height), 0xFF);
    const int spare = out.widthPixels - picture.width;
    const auto padMask = static_cast<std::uint8_t>((1u << spare) - 1u);  // white beyond the width

    if (picture.bitCount == 1) {
        for (int y = 0; y < picture.height; ++y) {
            std::memcpy(&out.rows[static_cast<std::size_t>(y) * rowBytes],
                        &picture.rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.stride)],
                        rowBytes);
            out.rows[(static_cast<std::size_t>(y) + 1) * rowBytes - 1] |= padMask;
        }
        return out;
    }
    Bitmap source = to_bitmap(skewtrim, picture);
    Bitmap reduced{};
    const int rc = skewtrim.GetBWBitmap(&source, &reduced, kBlackWhiteThreshold);
    skewtrim.Bitmap_Done(&source);
    if (rc != 0)
        fail(kExitDevice, path +
                              ": the bitmap library could not reduce the picture to black and white (code " +
                              std::to_string(rc) + ")");
    // The record holds the top row last.
    for (int y = 0; y < out.height; ++y) {
        std::memcpy(&out.rows[static_cast<std::size_t>(y) * rowBytes], reduced.rows[out.height - 1 - y],
                    rowBytes);
        out.rows[(static_cast<std::size_t>(y) + 1) * rowBytes - 1] |= padMask;
    }
    skewtrim.Bitmap_Done(&reduced);
    return out;
}

Bitmap to_bitmap(SkewtrimLibrary& skewtrim, const PictureFile& picture) {
    Bitmap b{};
    const int rc = skewtrim.Bitmap_New(&b, picture.width, picture.height, picture.bitCount, 1);
    if (rc != 0)
        fail(kExitDevice, "the bitmap library cannot hold a " + std::to_string(picture.width) + " x " +
                              std::to_string(picture.height) + " picture (code " + std::to_string(rc) + ")");
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(b.rows[picture.height - 1 - y],
                    &picture.rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.stride)],
                    static_cast<std::size_t>(picture.stride));
    return b;
}

Reading recognise(DecodeLibrary& decode, BlackWhite& picture, const Kind& kind, int linesPerMm) {
    std::vector<char> text(kDecodeText + 1, 0);  // one spare byte the dispatcher never owns
    int k = kind.code;
    int out = linesPerMm;
    Reading r;
    r.read =
        decode.Decode(picture.rows.data(), picture.widthPixels, picture.height, &k, &out, text.data()) == 1;
    text[kDecodeText - 1] = '\0';
    r.count = r.read ? out : 0;
    r.text = text.data();
    return r;
}

std::vector<std::string> reading_lines(const Reading& r, const Kind& kind) {
    std::vector<std::string> lines;
    if (kind.code == 1) {
        std::size_t start = 0;
        while (start < r.text.size()) {
            std::size_t end = r.text.find('\n', start);
            if (end == std::string::npos) end = r.text.size();
            if (end > start) lines.push_back(r.text.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }
    // Marks: the count, then the cells row by row (separated by ',').
    std::string line;
    for (const char c : r.text) {
        if (c == ',') {
            lines.push_back(line);
            line.clear();
        } else if (kind.code == 5) {
            char number[8];
            std::snprintf(number, sizeof number, "%s%03u", line.empty() ? "" : " ",
                          static_cast<unsigned char>(c));
            line += number;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::optional<double> paper_skew_degrees(const BlackWhite& p) {
    if (p.height < kEdgeMinRows || p.widthPixels < 16) return std::nullopt;
    for (const bool fromLeft : {true, false}) {
        // Rows in the middle 80 % whose outermost dot is dark and that hold paper.
        std::vector<std::pair<double, double>> pts;
        for (int y = p.height / 10; y < p.height - p.height / 10; ++y) {
            const int first = fromLeft ? 0 : p.widthPixels - 1;
            if (white(p, first, y)) continue;
            int x = first;
            const int step = fromLeft ? 1 : -1;
            while (x >= 0 && x < p.widthPixels && !white(p, x, y)) x += step;
            if (x < 0 || x >= p.widthPixels) continue;
            pts.push_back({static_cast<double>(y), static_cast<double>(x)});
        }
        if (static_cast<int>(pts.size()) < kEdgeMinRows) continue;
        double a = 0;
        double b = fit(pts, a);
        std::vector<std::pair<double, double>> kept;
        for (const auto& pt : pts)
            if (std::fabs(pt.second - (a + b * pt.first)) <= kEdgeOutlierDots) kept.push_back(pt);
        if (static_cast<int>(kept.size()) < kEdgeMinRows || kept.size() * 2 < pts.size()) continue;
        b = fit(kept, a);
        // Clockwise (right end lower) moves both side edges left going down.
        return -std::atan(b) * 180.0 / 3.14159265358979323846;
    }
    return std::nullopt;
}

}  // namespace ticketkit
