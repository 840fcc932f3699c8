#include "marks/handwritten/result_text.h"

#include <algorithm>

namespace inkmark {

namespace {

// D: the cell count as exactly four digits.
std::string four_digits(int count) {
    const int v = ((count % 10000) + 10000) % 10000;
    std::string s(4, '0');
    s[0] = static_cast<char>('0' + v / 1000);
    s[1] = static_cast<char>('0' + v / 100 % 10);
    s[2] = static_cast<char>('0' + v / 10 % 10);
    s[3] = static_cast<char>('0' + v % 10);
    return s;
}

void two_digits(std::string& s, int v) {
    v = std::clamp(v, 0, 99);
    s.push_back(static_cast<char>('0' + v / 10));
    s.push_back(static_cast<char>('0' + v % 10));
}

int first_top_track(const OmrForm& form) {
    for (std::size_t i = 0; i < form.tracks.size(); ++i)
        if (form.tracks[i].kind == kTop) return static_cast<int>(i);
    return -1;
}

bool has_code_slots(const OmrForm& form) {
    return form.codeSlotCount >= 2 && first_top_track(form) >= 0;
}

// Ratio x 100, truncated, at most 99.
int percent(double ratio) {
    const double v = ratio * 100.0;
    if (!(v > 0.0)) return 0;
    return v >= 99.0 ? 99 : static_cast<int>(v);
}

// The cells of the plain text (state digits) or of the extended text's first part.
void append_cells(std::string& s, const OmrForm& form, const std::vector<CellReading>& readings, int level,
                  bool values) {
    auto put = [&](std::size_t i) {
        const CellReading& r = readings[i];
        if (values) {
            two_digits(s, percent(r.ratio[level]));
        } else {
            s.push_back(static_cast<char>('0' + r.state[level]));
        }
    };
    if (form.bodyKind == 1) {
        for (int row = 0; row < form.rowCount; ++row) {
            s.push_back(',');
            for (int col = 0; col < form.columnCount; ++col)
                put(static_cast<std::size_t>(row) * static_cast<std::size_t>(form.columnCount) +
                    static_cast<std::size_t>(col));
        }
    } else if (form.bodyKind == 0) {
        s.push_back(',');
        for (std::size_t i = 0; i < readings.size(); ++i) put(i);
    }
}

std::string plain_text(const OmrForm& form, const FitResult& fit, const std::vector<CellReading>& readings,
                       int level) {
    std::string s = four_digits(form.cellCount);
    if (has_code_slots(form)) {
        s.push_back(',');
        s += code_slots(form, fit, false);
    }
    append_cells(s, form, readings, level, false);
    return s;
}

}  // namespace

std::int64_t result_text_size(const OmrForm& form, ResultStyle style) {
    const std::int64_t slots = has_code_slots(form) ? form.codeSlotCount : -1;  // -1: no slot section
    std::int64_t cells = 0;
    std::int64_t sections = 0;
    if (form.bodyKind == 1) {
        cells = static_cast<std::int64_t>(form.rowCount) * form.columnCount;
        sections = form.rowCount;
    } else if (form.bodyKind == 0) {
        cells = form.cellCount;
        sections = 1;
    }
    const std::int64_t plain = 4 + (slots >= 0 ? 1 + slots : 0) + sections + cells;
    switch (style) {
        case ResultStyle::Plain:
            return plain + 1;
        case ResultStyle::Extended:
            return 4 + (slots >= 0 ? 1 + 2 * slots : 0) + sections + 2 * cells + 1 + plain + 1;
        default:
            if (form.bodyKind != 1) return 5;
            return 4 + sections + cells + 1;
    }
}

std::vector<int> code_slot_marks(const OmrForm& form) {
    std::vector<int> marks;
    const int ti = first_top_track(form);
    if (ti < 0 || form.codeSlotCount < 2) return marks;
    const OmrTrack& t = form.tracks[static_cast<std::size_t>(ti)];
    marks.assign(static_cast<std::size_t>(form.codeSlotCount), -1);
    // From the last mark backwards (the last but one when the last is a shared corner).
    std::int64_t current = static_cast<std::int64_t>(t.marks.size()) - 1 - (form.codeFromLast == 1 ? 1 : 0);
    for (int slot = 0; slot < form.codeSlotCount && current >= 0; ++slot) {
        const std::int64_t from = static_cast<std::int64_t>(form.codeSlotStart) +
                                  static_cast<std::int64_t>(slot) * form.codeSlotPitch;
        const std::int64_t to = from + form.codeSlotPitch;
        const int position = t.marks[static_cast<std::size_t>(current)].formX;
        if (position >= from && position < to) {
            marks[static_cast<std::size_t>(slot)] = static_cast<int>(current);
            --current;
        }
    }
    return marks;
}

namespace {

// The pixel count of the image mark matched to mark `mark` of the first top
// track, and the mark's area as printed; zeros when there is none.
void code_mark_fill(const OmrForm& form, const FitResult& fit, int mark, std::int64_t& dark,
                    std::int64_t& area) {
    dark = 0;
    area = 0;
    const int ti = first_top_track(form);
    if (ti < 0 || mark < 0) return;
    const OmrTrack& t = form.tracks[static_cast<std::size_t>(ti)];
    if (static_cast<std::size_t>(mark) >= t.marks.size()) return;
    const TrackMatch* match = nullptr;
    for (const TrackMatch& m : fit.matches)
        if (m.track == ti) match = &m;
    const OmrCell& shape = t.marks[static_cast<std::size_t>(mark)];
    if (match != nullptr && static_cast<std::size_t>(mark) < match->blobs.size())
        dark = match->blobs[static_cast<std::size_t>(mark)].pixelCount;
    area = static_cast<std::int64_t>(shape.width) * shape.height;
}

}  // namespace

double code_slot_fill(const OmrForm& form, const FitResult& fit, int mark) {
    std::int64_t dark = 0, area = 0;
    code_mark_fill(form, fit, mark, dark, area);
    return area > 0 ? static_cast<double>(dark) / static_cast<double>(area) : 0.0;
}

std::string code_slots(const OmrForm& form, const FitResult& fit, bool fills) {
    std::string s;
    for (int mark : code_slot_marks(form)) {
        if (mark < 0) {
            s += fills ? "00" : "0";
        } else if (fills) {
            std::int64_t dark = 0, area = 0;
            code_mark_fill(form, fit, mark, dark, area);
            two_digits(s, area > 0 ? static_cast<int>(std::min<std::int64_t>(dark * 100 / area, 99)) : 0);
        } else {
            s.push_back('1');
        }
    }
    return s;
}

bool build_result_text(const OmrForm& form, const FitResult& fit, const std::vector<CellReading>& readings,
                       int level, ResultStyle style, std::size_t capacity, std::string& out) {
    out.clear();
    const std::int64_t need = result_text_size(form, style);
    if (need > static_cast<std::int64_t>(capacity)) return false;
    if (level < 0 || level >= kMaxLevels) return false;
    std::string s;
    s.reserve(static_cast<std::size_t>(need));
    if (style == ResultStyle::Plain) {
        s = plain_text(form, fit, readings, level);
    } else if (style == ResultStyle::Extended) {
        s = four_digits(form.cellCount);
        if (has_code_slots(form)) {
            s.push_back(',');
            s += code_slots(form, fit, true);
        }
        append_cells(s, form, readings, level, true);
        s.push_back(';');
        s += plain_text(form, fit, readings, level);
    } else {
        s = four_digits(form.cellCount);
        if (form.bodyKind == 1) {
            for (int row = 0; row < form.rowCount; ++row) {
                s.push_back(',');
                for (int col = 0; col < form.columnCount; ++col) {
                    const CellReading& r =
                        readings[static_cast<std::size_t>(row) * static_cast<std::size_t>(form.columnCount) +
                                 static_cast<std::size_t>(col)];
                    const double ratio = std::min(r.ratio[level], 1.0);
                    const double value = form.markedRatio > 0.0 ? ratio / form.markedRatio * 100.0 : 256.0;
                    const int byte = value >= 256.0 ? 255 : static_cast<int>(value);
                    s.push_back(static_cast<char>(static_cast<unsigned char>(std::max(byte, 0))));
                }
            }
        }
    }
    s.push_back('\0');
    if (s.size() > capacity) return false;
    out = std::move(s);
    return true;
}

}  // namespace inkmark
