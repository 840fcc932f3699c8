#include "marks/handwritten/format_file.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "marks/common/format_text.h"
#include "platform/files.h"

namespace inkmark {

namespace {

// Distance below which marks of two tracks are taken as the same corner position.
constexpr int kCornerReach = 8;
// Room a corner mark must leave to the track's own marks to count as new.
constexpr int kCornerClearance = 8;

// Truncation toward zero of a non-negative count, saturating.
int count_of(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    return static_cast<int>(v);
}

// Values are read one after another; a missing value fails the form.
class ValueReader {
public:
    explicit ValueReader(const std::vector<double>& v) : v_(v) {}
    bool has(std::size_t n = 1) const { return pos_ <= v_.size() && v_.size() - pos_ >= n; }
    bool next(double& out) {
        if (!has()) return false;
        out = v_[pos_++];
        return true;
    }
    bool peek(double& out) const {
        if (!has()) return false;
        out = v_[pos_];
        return true;
    }
    std::size_t remaining() const { return v_.size() - pos_; }

private:
    const std::vector<double>& v_;
    std::size_t pos_ = 0;
};

bool parse_track(ValueReader& r, OmrTrack& t) {
    double kind = 0, count = 0, role = 0, lineOrMarker = 0;
    if (!r.next(kind) || !r.next(count) || !r.next(role) || !r.next(lineOrMarker)) return false;
    t.kind = count_of(kind);
    if (t.kind > 3) return false;
    t.markCount = count_of(count);
    t.role = count_of(role);
    try {
        if (count_of(lineOrMarker) == kListFormMarker) {
            if (r.remaining() / 4 < static_cast<std::size_t>(t.markCount)) return false;
            t.marks.resize(static_cast<std::size_t>(t.markCount));
            for (OmrCell& m : t.marks) {
                double x = 0, y = 0, w = 0, h = 0;
                r.next(x);
                r.next(y);
                r.next(w);
                r.next(h);
                m.width = dots(w);
                m.height = dots(h);
                m.x = dots(x) + m.width / 2;
                m.y = dots(y) + m.height / 2;
                t.markWidth = std::max(t.markWidth, m.width);
                t.markHeight = std::max(t.markHeight, m.height);
            }
            if (!t.marks.empty()) t.line = is_vertical(t.kind) ? t.marks[0].x : t.marks[0].y;
        } else {
            double w = 0, h = 0;
            if (!r.next(w) || !r.next(h)) return false;
            if (r.remaining() < static_cast<std::size_t>(t.markCount)) return false;
            t.line = dots(lineOrMarker);
            t.markWidth = dots(w);
            t.markHeight = dots(h);
            t.line += is_vertical(t.kind) ? (t.markWidth + 1) / 2 : (t.markHeight + 1) / 2;
            t.marks.resize(static_cast<std::size_t>(t.markCount));
            t.positions.resize(static_cast<std::size_t>(t.markCount));
            for (int i = 0; i < t.markCount; ++i) {
                double p = 0;
                r.next(p);
                OmrCell& m = t.marks[static_cast<std::size_t>(i)];
                m.width = t.markWidth;
                m.height = t.markHeight;
                if (is_vertical(t.kind)) {
                    m.x = t.line;
                    m.y = dots(p) + (t.markHeight + 1) / 2;
                    t.positions[static_cast<std::size_t>(i)] = m.y;
                } else {
                    m.x = dots(p) + (t.markWidth + 1) / 2;
                    m.y = t.line;
                    t.positions[static_cast<std::size_t>(i)] = m.x;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool parse_body(ValueReader& r, OmrForm& f) {
    double kind = 0;
    if (!r.next(kind)) return false;
    f.bodyKind = count_of(kind);
    if (kind < 0.0 || kind >= 2.0) f.bodyKind = 2;  // no cells
    if (f.bodyKind == 0) {
        double count = 0;
        if (!r.next(count)) return false;
        const int n = count_of(count);
        if (r.remaining() / 4 < static_cast<std::size_t>(n) || n > kMaxCells) return false;
        f.cells.resize(static_cast<std::size_t>(n));
        for (OmrCell& c : f.cells) {
            double x = 0, y = 0, w = 0, h = 0;
            r.next(x);
            r.next(y);
            r.next(w);
            r.next(h);
            c.width = dots(w);
            c.height = dots(h);
            c.x = dots(x) + c.width / 2;
            c.y = dots(y) + c.height / 2;
        }
        f.cellCount = n;
    } else if (f.bodyKind == 1) {
        double cw = 0, ch = 0, columns = 0;
        if (!r.next(cw) || !r.next(ch) || !r.next(columns)) return false;
        f.cellWidth = dots(cw);
        f.cellHeight = dots(ch);
        f.columnCount = count_of(columns);
        if (r.remaining() < static_cast<std::size_t>(f.columnCount)) return false;
        f.columnX.resize(static_cast<std::size_t>(f.columnCount));
        for (int& x : f.columnX) {
            double v = 0;
            r.next(v);
            x = dots(v) + (f.cellWidth + 1) / 2;
        }
        double rows = 0;
        if (!r.next(rows)) return false;
        f.rowCount = count_of(rows);
        if (r.remaining() < static_cast<std::size_t>(f.rowCount)) return false;
        f.rowY.resize(static_cast<std::size_t>(f.rowCount));
        for (int& y : f.rowY) {
            double v = 0;
            r.next(v);
            y = dots(v) + (f.cellHeight + 1) / 2;
        }
        const std::int64_t cells = static_cast<std::int64_t>(f.rowCount) * f.columnCount;
        if (cells > kMaxCells) return false;
        f.cellCount = static_cast<int>(cells);
    }
    return true;
}

int along(const OmrTrack& t, const OmrCell& m) {
    return is_vertical(t.kind) ? m.y : m.x;
}

// Position of a mark along its track in the track's kept direction (kinds 0
// and 2 ascending, 1 and 3 descending).
int directed(const OmrTrack& t, int position) {
    return (t.kind == kLeft || t.kind == kBottom) ? position : -position;
}

// Inserts `mark` into `t` keeping the marks ordered along the track.
void insert_ordered(OmrTrack& t, const OmrCell& mark) {
    const int key = directed(t, along(t, mark));
    auto at = std::find_if(t.marks.begin(), t.marks.end(),
                           [&](const OmrCell& m) { return directed(t, along(t, m)) > key; });
    t.marks.insert(at, mark);
    ++t.markCount;
}

// A mark of track `from` standing on the line of track `to`, clear of every
// mark `to` already has, joins `to` (the last such mark found).
bool share_corner(const OmrTrack& from, OmrTrack& to) {
    const OmrCell* found = nullptr;
    for (const OmrCell& m : from.marks) {
        const int acrossTo = is_vertical(to.kind) ? m.x : m.y;
        if (std::abs(acrossTo - to.line) >= kCornerReach) continue;
        bool clear = true;
        for (const OmrCell& own : to.marks) {
            const int distance = std::abs(along(to, m) - along(to, own));
            const int extent = is_vertical(to.kind) ? (m.height + own.height) / 2 : (m.width + own.width) / 2;
            if (distance - extent <= kCornerClearance) {
                clear = false;
                break;
            }
        }
        if (clear) found = &m;
    }
    if (found == nullptr) return false;
    insert_ordered(to, *found);
    return true;
}

// Index of the mark of `t` nearest the line of the other track `other`.
int nearest_mark(const OmrTrack& t, const OmrTrack& other) {
    int best = 0;
    int bestDistance = 0;
    for (std::size_t i = 0; i < t.marks.size(); ++i) {
        const OmrCell& m = t.marks[i];
        const int d = std::abs((is_vertical(other.kind) ? m.x : m.y) - other.line);
        if (i == 0 || d < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = d;
        }
    }
    return best;
}

void finish_geometry(OmrForm& f) {
    for (OmrTrack& t : f.tracks) {
        if (t.kind == kRight || t.kind == kTop) {
            std::reverse(t.marks.begin(), t.marks.end());
            std::reverse(t.positions.begin(), t.positions.end());
        }
    }
    if (f.trackCount == 2 && is_vertical(f.tracks[0].kind) != is_vertical(f.tracks[1].kind)) {
        OmrTrack& v = is_vertical(f.tracks[0].kind) ? f.tracks[0] : f.tracks[1];
        OmrTrack& h = is_vertical(f.tracks[0].kind) ? f.tracks[1] : f.tracks[0];
        const bool toVertical = share_corner(h, v);
        const bool toHorizontal = share_corner(v, h);
        // The top track's last mark is a corner shared with the vertical track.
        if (f.codeSlotCount >= 2 && h.kind == kTop && (toVertical || toHorizontal) && !h.marks.empty() &&
            std::abs(h.marks.back().x - v.line) < kCornerReach)
            f.codeFromLast = 1;
        if (!v.marks.empty() && !h.marks.empty()) {
            v.nearest = nearest_mark(v, h);
            h.nearest = nearest_mark(h, v);
            f.pairOffset[v.kind][h.kind] = h.marks[static_cast<std::size_t>(h.nearest)].x - v.line;
            f.pairOffset[h.kind][v.kind] = v.marks[static_cast<std::size_t>(v.nearest)].y - h.line;
        }
    }
    for (std::size_t ti = 0; ti < f.tracks.size(); ++ti) {
        OmrTrack& t = f.tracks[ti];
        t.gaps.assign(t.marks.size(), 0);
        for (std::size_t i = 1; i < t.marks.size(); ++i)
            t.gaps[i] = directed(t, along(t, t.marks[i])) - directed(t, along(t, t.marks[i - 1]));
        if (t.marks.size() == 1 && f.trackCount == 2) {
            const OmrTrack& other = f.tracks[1 - ti];
            t.gaps[0] = std::abs(along(t, t.marks[0]) - other.line);
        }
        for (OmrCell& m : t.marks) {
            m.formX = m.x;
            m.formY = m.y;
        }
    }
    for (OmrCell& c : f.cells) {
        c.formX = c.x;
        c.formY = c.y;
        relative_offsets(f, c.formX, c.formY, c.x, c.y);
    }
}

}  // namespace

int dots(double millimetres) {
    const double d = 8.0 * millimetres + 0.5;
    if (!(d > 0.0)) return 0;  // values carry no sign
    if (d >= static_cast<double>(kMaxDots)) return kMaxDots;
    return static_cast<int>(d);
}

void relative_offsets(const OmrForm& f, int x, int y, int& dx, int& dy) {
    dx = x;
    dy = y;
    if (f.tracks.empty()) return;
    auto acrossVertical = [](const OmrTrack& t, int px) {
        return t.kind == kLeft ? px - t.line : t.line - px;
    };
    auto acrossHorizontal = [](const OmrTrack& t, int py) {
        return t.kind == kBottom ? t.line - py : py - t.line;
    };
    if (f.trackCount == 1) {
        const OmrTrack& t = f.tracks[0];
        const OmrCell first = t.marks.empty() ? OmrCell{} : t.marks.front();
        switch (t.kind) {
            case kLeft:
                dx = acrossVertical(t, x);
                dy = y - first.y;
                break;
            case kRight:
                dx = acrossVertical(t, x);
                dy = first.y - y;
                break;
            case kBottom:
                dy = acrossHorizontal(t, y);
                dx = x - first.x;
                break;
            default:
                dy = acrossHorizontal(t, y);
                dx = first.x - x;
                break;
        }
        return;
    }
    for (const OmrTrack& t : f.tracks) {
        if (is_vertical(t.kind)) {
            dx = acrossVertical(t, x);
        } else {
            dy = acrossHorizontal(t, y);
        }
    }
}

std::optional<OmrForm> parse_form(const std::vector<double>& values) {
    if (values.size() < 4) return std::nullopt;
    ValueReader r(values);
    OmrForm f;
    double count = 0;
    double leading = 0;  // two leading values of every form; reading does not use them
    r.next(leading);
    r.next(leading);
    r.next(count);
    if (!(count >= 1.0 && count < 3.0)) return std::nullopt;
    f.trackCount = count_of(count);
    try {
        f.tracks.resize(static_cast<std::size_t>(f.trackCount));
        for (OmrTrack& t : f.tracks)
            if (!parse_track(r, t)) return std::nullopt;
        if (!parse_body(r, f)) return std::nullopt;
        double v = 0;
        if (!r.peek(v)) return std::nullopt;
        if (v > 1.0) {
            double pitch = 0, start = 0;
            r.next(v);
            if (!r.next(pitch) || !r.next(start)) return std::nullopt;
            f.codeSlotCount = count_of(v);
            f.codeSlotPitch = dots(pitch);
            f.codeSlotStart = dots(start);
        }
        if (!r.next(f.markedRatio)) return std::nullopt;
        f.ratioCount = 1;
        if (r.peek(v) && !(v > 1.0)) {
            r.next(f.doubtfulRatio);
            f.ratioCount = 2;
        }
        if (r.peek(v) && v == kOpenEndedMarker) {
            r.next(v);
            for (OmrTrack& t : f.tracks) {
                double flag = 0;
                if (!r.next(flag)) return std::nullopt;
                t.openEnded = count_of(flag);
            }
        }
        if (r.remaining() != 0) return std::nullopt;
        finish_geometry(f);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return f;
}

int load_forms(const std::vector<std::uint8_t>& file, OmrFormList& list) {
    list.forms.clear();
    list.order.clear();
    std::size_t offset = 0;
    marks::FormText text;
    try {
        for (;;) {
            if (marks::read_form_text(file, offset, text) != marks::FormTextStatus::Ok) break;
            std::optional<OmrForm> form = parse_form(text.values);
            if (!form) break;
            form->filePosition = static_cast<int>(list.forms.size());
            if (list.forms.size() == list.forms.capacity()) list.forms.reserve(list.forms.size() + 100);
            list.forms.push_back(std::move(*form));
            offset = text.nextOffset;
        }
    } catch (const std::bad_alloc&) {
        // Loading stops; the forms read so far stay usable.
    }
    return static_cast<int>(list.forms.size());
}

int load_form_file(const std::string& path, OmrFormList& list) {
    list.forms.clear();
    list.order.clear();
    std::optional<std::vector<std::uint8_t>> file = platform::read_file(path);
    if (!file) return 0;
    return load_forms(*file, list);
}

bool order_forms(OmrFormList& list) {
    std::vector<int> front;
    std::vector<std::pair<int, int>> a;  // (key, form)
    std::vector<std::pair<int, int>> b;
    for (std::size_t i = 0; i < list.forms.size(); ++i) {
        int open = 0;
        std::int64_t key = 0;
        for (const OmrTrack& t : list.forms[i].tracks) {
            if (t.openEnded == 1) {
                ++open;
                key += t.markCount;
            }
        }
        const int k = static_cast<int>(std::min<std::int64_t>(key, 2147483647));
        if (open == 0)
            front.push_back(static_cast<int>(i));
        else if (open == 1)
            a.emplace_back(k, static_cast<int>(i));
        else if (open == 2)
            b.emplace_back(k, static_cast<int>(i));
    }
    auto exchangeSort = [](std::vector<std::pair<int, int>>& v) {
        for (std::size_t i = 0; i < v.size(); ++i)
            for (std::size_t j = i + 1; j < v.size(); ++j)
                if (v[i].first < v[j].first) std::swap(v[i], v[j]);
    };
    exchangeSort(a);
    exchangeSort(b);
    list.order = front;
    for (const auto& e : a) list.order.push_back(e.second);
    for (const auto& e : b) list.order.push_back(e.second);
    return list.order.size() == list.forms.size();
}

bool select_form(const OmrFormList& list, int index, OmrForm& out) {
    if (index < 0 || static_cast<std::size_t>(index) >= list.forms.size()) return false;
    out = list.forms[static_cast<std::size_t>(index)];
    return true;
}

bool materialize_cells(OmrForm& f) {
    if (f.bodyKind != 1) return true;
    try {
        f.cells.assign(static_cast<std::size_t>(f.cellCount), OmrCell{});
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::size_t i = 0;
    for (int r = 0; r < f.rowCount; ++r) {
        for (int c = 0; c < f.columnCount; ++c, ++i) {
            OmrCell& cell = f.cells[i];
            cell.formX = f.columnX[static_cast<std::size_t>(c)];
            cell.formY = f.rowY[static_cast<std::size_t>(r)];
            cell.width = f.cellWidth;
            cell.height = f.cellHeight;
            relative_offsets(f, cell.formX, cell.formY, cell.x, cell.y);
        }
    }
    return true;
}

}  // namespace inkmark
