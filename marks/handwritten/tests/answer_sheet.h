#pragma once
// The answer sheet most tests use: a left timing track with one mark per row,
// a top track with a corner mark and one mark per column, a grid of outlined
// cells, and fills given by a picture of the answers.

#include <string>
#include <vector>

#include "marks/handwritten/tests/sheet_painter.h"

namespace inktest {

struct AnswerSheet {
    int rows = 8;
    int columns = 6;
    double width = 110;
    double height = 130;
    bool outlines = true;
    int topRole = 1;
    double rowPitch = 8;
    double columnPitch = 10;
    double partial = 0.3;          // share of a cell that '+' fills
    bool corner = true;            // the top track starts with a mark in the left track's column
    bool topTrack = true;          // false: a one-track sheet with the left track only
    std::vector<double> topMarks;  // left edges of the top marks after the corner; empty: one per column

    std::vector<double> top_marks() const {
        if (!topMarks.empty()) return topMarks;
        std::vector<double> v;
        for (int c = 0; c < columns; ++c) v.push_back(20 + columnPitch * c);
        return v;
    }

    double row_top(int r) const { return 29 + rowPitch * r; }         // cell top edge
    double column_left(int c) const { return 18 + columnPitch * c; }  // cell left edge
    static constexpr double kCellW = 6, kCellH = 4;

    // answers: one string per row, one character per column:
    // '#' filled (a little beyond the cell), '+' partly filled from the left, anything else empty.
    Sheet draw(const std::vector<std::string>& answers) const {
        Sheet s;
        s.width = width;
        s.height = height;
        if (topTrack) {
            if (corner) s.fill({5.5, 4, 2, 5});  // the corner mark, shared by both tracks
            for (double x : top_marks()) s.fill({x, 4, 2, 5});
        }
        for (int r = 0; r < rows; ++r) s.fill({4, 30 + rowPitch * r, 5, 2});
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                const Rect cell{column_left(c), row_top(r), kCellW, kCellH};
                if (outlines) s.outline(cell);
                const char a = r < static_cast<int>(answers.size()) && c < static_cast<int>(answers[r].size())
                                   ? answers[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]
                                   : '.';
                if (a == '#') s.fill({cell.x - 0.25, cell.y - 0.25, cell.w + 0.5, cell.h + 0.5});
                if (a == '+') s.fill({cell.x, cell.y, cell.w * partial, cell.h});
            }
        }
        return s;
    }

    // The form's values; `ratios` e.g. "0.5" or "0.65 0.3".
    std::string form(const std::string& ratios, const std::string& codeSlots = "") const {
        std::string v =
            std::string("1 1 ") + (topTrack ? "2" : "1") + "\n0 " + std::to_string(rows) + " 0 4 5 2";
        for (int r = 0; r < rows; ++r) v += " " + num(30 + rowPitch * r);
        if (topTrack) {
            const std::vector<double> marks = top_marks();
            v += "\n3 " + std::to_string(marks.size() + (corner ? 1 : 0)) + " " + std::to_string(topRole) +
                 " 4 2 5" + (corner ? " 5.5" : "");
            for (double x : marks) v += " " + num(x);
        }
        v += "\n1 6 4 " + std::to_string(columns);
        for (int c = 0; c < columns; ++c) v += " " + num(column_left(c));
        v += " " + std::to_string(rows);
        for (int r = 0; r < rows; ++r) v += " " + num(row_top(r));
        v += "\n" + codeSlots + (codeSlots.empty() ? "" : " ") + ratios + "\n";
        return form_text(v);
    }

    static std::string num(double v) {
        char b[32];
        std::snprintf(b, sizeof b, "%g", v);
        return b;
    }
};

}  // namespace inktest
