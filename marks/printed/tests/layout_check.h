#pragma once
// Checks of a read's layout against the sheet the test drew: the ways a drawn sheet can
// reach the reader and where each point of the drawing then lies in the picture passed.

#include <functional>
#include <initializer_list>
#include <vector>

#include "kit/MarkLayout.h"
#include "marks/printed/tests/sheet.h"

namespace layout_check {

struct Feed {
    const char* name;
    std::function<sheet::Picture(const sheet::Picture&)> turn;  // the picture passed
    int flip;                                                   // with this flip
    int orientation;                                  // MARK_ORIENTATION_* of the form's top in that picture
    std::function<sheet::Point(sheet::Point)> where;  // a point of the drawing in that picture
};

// Upright, a half turn and a quarter turn either way, each as delivered (flip 1) and with
// its rows reversed (flip 0); `width` x `height` is the drawn picture.
std::vector<Feed> every_feed(int width, int height);

// Each of the layout's cells, row by row of the form, lies on the drawn cell within
// `tolerance` pixels at every corner (in the form's order), with the drawn state.
void expect_cells_on_drawing(const std::vector<MarkCell>& cells, const sheet::Layout& drawn,
                             const std::function<sheet::Point(sheet::Point)>& where, double tolerance);

// The guides are the marks of the anchors in `flags` (L 0, R 1, U 2, D 3): the full row's by
// column, then the end column's by row, each on its drawn mark within `tolerance` pixels.
void expect_guides_on_drawing(const std::vector<MarkGuide>& guides, const sheet::Layout& drawn,
                              std::initializer_list<int> flags,
                              const std::function<sheet::Point(sheet::Point)>& where, double tolerance);

}  // namespace layout_check
