#include "marks/printed/printed_form.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace typemark {

namespace {

// Lengths beyond this many millimetres cannot belong to a ticket; refusing them keeps
// every dot count far inside the 32-bit range.
constexpr double kMaxMillimetres = 100000.0;
// Counts and raw dot values beyond this are refused for the same reason.
constexpr double kMaxRawValue = 1.0e7;

// Sequential reader over one form's values; every accessor fails once they run out.
class ValueCursor {
public:
    ValueCursor(const std::vector<double>& values, int dpm) : values_(values), dpm_(dpm) {}

    bool has(std::size_t count) const { return pos_ + count <= values_.size(); }
    std::size_t remaining() const { return values_.size() - pos_; }
    bool done() const { return pos_ == values_.size(); }
    double peek() const { return values_[pos_]; }

    // Next value truncated toward zero.
    std::optional<int> integer() {
        if (!has(1)) return std::nullopt;
        const double v = values_[pos_++];
        if (!(v >= 0.0) || v > kMaxRawValue) return std::nullopt;
        return static_cast<int>(v);
    }
    // Next value as millimetres converted to dots: dpm x L + 0.5, truncated.
    std::optional<int> dots() {
        if (!has(1)) return std::nullopt;
        const double v = values_[pos_++];
        if (!(v >= 0.0) || v > kMaxMillimetres) return std::nullopt;
        return static_cast<int>(dpm_ * v + 0.5);
    }

private:
    const std::vector<double>& values_;
    int dpm_;
    std::size_t pos_ = 0;
};

// Applies one key/value pair of the form header. The tables, the loader position and
// the reading scratch cannot be set this way: such a key makes the form fail.
bool apply_setting(PrintedForm& form, int key, int value) {
    switch (key) {
        case 0:
        case 1:
        case 2:
        case 3:
            form.anchor[key] = value;
            return true;
        case 4:
            form.columnCount = value;
            return true;
        case 6:
            form.rowCount = value;
            return true;
        case 8:
            form.markWidth = value;
            return true;
        case 10:
            form.markHeight = value;
            return true;
        case 12:
            form.spanX = value;
            return true;
        case 13:
            form.spanY = value;
            return true;
        // Second mark sizes and the two trailing values: accepted, not used by reading.
        case 9:
        case 11:
        case 14:
        case 15:
            return true;
        default:
            return false;
    }
}

bool read_pairs(ValueCursor& cur, int pairCount, PrintedForm& form) {
    for (int i = 0; i < pairCount; ++i) {
        const auto key = cur.integer();
        const auto value = cur.integer();
        if (!key || !value || !apply_setting(form, *key, *value)) return false;
    }
    return true;
}

bool valid_count(const std::optional<int>& n) {
    return n && *n >= 1 && *n <= kMaxGridLines;
}

// Gaps of a grid table: either "1, pitch" or a marker followed by count - 1 gaps.
bool read_grid_gaps(ValueCursor& cur, int count, int markSize, std::vector<TableEntry>& table) {
    table.assign(static_cast<std::size_t>(count), TableEntry{markSize, 0});
    if (!cur.has(1)) return false;
    const double marker = cur.peek();
    if (!cur.integer()) return false;
    if (static_cast<int>(marker) == 1) {
        const auto pitch = cur.dots();
        if (!pitch) return false;
        for (int i = 0; i + 1 < count; ++i) table[static_cast<std::size_t>(i)].gap = *pitch;
        return true;
    }
    for (int i = 0; i + 1 < count; ++i) {
        const auto gap = cur.dots();
        if (!gap) return false;
        table[static_cast<std::size_t>(i)].gap = *gap;
    }
    return true;
}

int gap_sum(const std::vector<TableEntry>& table) {
    long long sum = 0;
    for (const auto& e : table) sum += e.gap;
    return static_cast<int>(std::min<long long>(sum, 0x3fffffff));
}

std::optional<PrintedForm> parse_grid(ValueCursor& cur, int pairCount) {
    PrintedForm form;
    if (!read_pairs(cur, pairCount, form)) return std::nullopt;
    const auto w = cur.dots();
    const auto h = cur.dots();
    const auto rowCount = cur.integer();
    const auto columnCount = cur.integer();
    if (!w || !h || !valid_count(rowCount) || !valid_count(columnCount)) return std::nullopt;
    form.markWidth = *w;
    form.markHeight = *h;
    form.rowCount = *rowCount;
    form.columnCount = *columnCount;
    if (!read_grid_gaps(cur, form.rowCount, form.markHeight, form.rows)) return std::nullopt;
    if (!read_grid_gaps(cur, form.columnCount, form.markWidth, form.columns)) return std::nullopt;
    // The spans are optional: "4, span x, span y" ahead of the two final values.
    if (cur.remaining() >= 5 && cur.peek() >= 4.0 && cur.peek() < 5.0) {
        cur.integer();
        const auto sx = cur.dots();
        const auto sy = cur.dots();
        if (!sx || !sy) return std::nullopt;
        form.spanX = *sx;
        form.spanY = *sy;
    } else {
        form.spanX = gap_sum(form.columns);
        form.spanY = gap_sum(form.rows);
    }
    // Two trailing values close every form; reading does not use them.
    const auto e1 = cur.dots();
    const auto e2 = cur.dots();
    if (!e1 || !e2 || !cur.done()) return std::nullopt;
    return form;
}

bool read_explicit_table(ValueCursor& cur, int count, std::vector<TableEntry>& table) {
    table.assign(static_cast<std::size_t>(count), TableEntry{});
    for (auto& e : table) {
        const auto pos = cur.dots();
        if (!pos) return false;
        e.size = *pos;
    }
    for (int i = 0; i + 1 < count; ++i) {
        const auto second = cur.dots();
        if (!second) return false;
        table[static_cast<std::size_t>(i)].gap = *second;
    }
    return true;
}

std::optional<PrintedForm> parse_explicit(ValueCursor& cur, int pairCount) {
    PrintedForm form;
    form.explicitLayout = true;
    if (!read_pairs(cur, pairCount, form)) return std::nullopt;
    const auto rowCount = cur.integer();
    const auto columnCount = cur.integer();
    if (!valid_count(rowCount) || !valid_count(columnCount)) return std::nullopt;
    form.rowCount = *rowCount;
    form.columnCount = *columnCount;
    if (!read_explicit_table(cur, form.rowCount, form.rows)) return std::nullopt;
    if (!read_explicit_table(cur, form.columnCount, form.columns)) return std::nullopt;
    const auto sx = cur.dots();
    const auto sy = cur.dots();
    const auto e1 = cur.dots();
    const auto e2 = cur.dots();
    if (!sx || !sy || !e1 || !e2 || !cur.done()) return std::nullopt;
    form.spanX = *sx;
    form.spanY = *sy;
    return form;
}

}  // namespace

std::optional<PrintedForm> parse_printed_form(const std::vector<double>& values, int dpm) {
    if (values.size() <= 10) return std::nullopt;
    ValueCursor cur(values, dpm);
    const auto pairCount = cur.integer();
    if (!pairCount || static_cast<std::size_t>(*pairCount) > values.size()) return std::nullopt;
    const double layout = cur.peek();
    if (!(layout >= 0.0) || layout >= 5.0) return std::nullopt;
    switch (static_cast<int>(layout)) {
        case 0:
        case 1:
        case 2:
        case 3:
            return parse_grid(cur, *pairCount);
        case 4:
            cur.integer();
            return parse_explicit(cur, *pairCount);
        default:
            return std::nullopt;
    }
}

std::vector<TableEntry> reversed_table(const std::vector<TableEntry>& table) {
    const std::size_t n = table.size();
    std::vector<TableEntry> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        out[i].size = table[n - 1 - i].size;
        // The gap between entries i and i+1 of the result is the one between
        // entries n-2-i and n-1-i of the source.
        out[i].gap = (i + 1 < n) ? table[n - 2 - i].gap : 0;
    }
    return out;
}

PrintedForm adapt_to_orientation(const PrintedForm& form, int orientation) {
    PrintedForm a = form;
    const int l = form.anchor[kAnchorL], r = form.anchor[kAnchorR];
    const int u = form.anchor[kAnchorU], d = form.anchor[kAnchorD];
    auto exchange = [&]() {
        std::swap(a.rowCount, a.columnCount);
        std::swap(a.markWidth, a.markHeight);
        std::swap(a.spanX, a.spanY);
    };
    // The file lists rows from the top of the sheet; stored image rows run from its
    // bottom (row 0) upward. U is the top row, D the bottom row.
    switch (orientation & 3) {
        case 0:
            a.rows = reversed_table(form.rows);
            break;
        case 2:
            a.anchor[kAnchorL] = r;
            a.anchor[kAnchorR] = l;
            a.anchor[kAnchorU] = d;
            a.anchor[kAnchorD] = u;
            a.columns = reversed_table(form.columns);
            break;
        case 1:
            exchange();
            a.anchor[kAnchorL] = d;
            a.anchor[kAnchorR] = u;
            a.anchor[kAnchorU] = l;
            a.anchor[kAnchorD] = r;
            a.columns = reversed_table(form.rows);
            a.rows = reversed_table(form.columns);
            break;
        case 3:
            exchange();
            a.anchor[kAnchorL] = u;
            a.anchor[kAnchorR] = d;
            a.anchor[kAnchorU] = r;
            a.anchor[kAnchorD] = l;
            a.columns = form.rows;
            a.rows = form.columns;
            break;
    }
    return a;
}

}  // namespace typemark

namespace typemark {

namespace {

std::vector<TableEntry> gaps_from_positions(const std::vector<TableEntry>& table, int markSize) {
    std::vector<TableEntry> out(table.size(), TableEntry{markSize, 0});
    for (std::size_t i = 0; i + 1 < table.size(); ++i)
        out[i].gap = std::abs(table[i + 1].size - table[i].size);
    return out;
}

}  // namespace

std::optional<PrintedForm> layout_for_reading(const PrintedForm& form) {
    if (!form.explicitLayout) return form;
    PrintedForm g = form;
    if (g.markWidth <= 0 || g.markHeight <= 0) return std::nullopt;
    g.rows = gaps_from_positions(form.rows, g.markHeight);
    g.columns = gaps_from_positions(form.columns, g.markWidth);
    if (g.spanX == 0) g.spanX = gap_sum(g.columns);
    if (g.spanY == 0) g.spanY = gap_sum(g.rows);
    g.explicitLayout = false;
    return g;
}

}  // namespace typemark
