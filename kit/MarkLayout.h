/* The layout records the two mark readers hand out after a successful read (OMReadLayout of
 * libInkmark, OMReadLayoutSP of libTypemark): where the fitted form lies on the caller's
 * picture, cell by cell, so that a program can draw what the reader saw.
 *
 * Coordinates are pixels of the picture exactly as the caller passed it to the read: x counts
 * pixels along a stored row (0 = the first pixel of the row, pixel centres at x + 0.5), y counts
 * rows in the order they lie in the caller's memory (0 = the first row stored), whatever flip,
 * scan mode and straightening the read used. Corners run clockwise as the form is printed:
 * top-left, top-right, bottom-right, bottom-left of the form's own upright view.
 *
 * All records are plain data with natural alignment; the caller owns every buffer. */
#ifndef TICKETKIT_MARK_LAYOUT_RECORD
#define TICKETKIT_MARK_LAYOUT_RECORD

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MARK_LAYOUT_MAX_LEVELS 16 /* grey levels one read can report */

/* MarkCell.kind */
#define MARK_CELL_ANSWER 0    /* a cell of the answer grid */
#define MARK_CELL_CODE_SLOT 1 /* a slot of the form's code (form identification) */

/* MarkCell.state[] */
#define MARK_STATE_EMPTY 0
#define MARK_STATE_MARKED 1
#define MARK_STATE_DOUBTFUL 2

/* MarkGuide.kind */
#define MARK_GUIDE_TIMING 0 /* a timing mark of the sheet's edge track */
#define MARK_GUIDE_ANCHOR 1 /* a mark of the anchor row or column a printed form is fitted by */

/* MarkLayout.orientation: how the sheet lay in the picture, in quarter turns clockwise from
 * upright as seen in the picture with its first stored row at the top. */
#define MARK_ORIENTATION_UPRIGHT 0
#define MARK_ORIENTATION_QUARTER 1 /* turned 90 degrees clockwise */
#define MARK_ORIENTATION_HALF 2    /* upside down */
#define MARK_ORIENTATION_THREE_QUARTERS 3

/* Four corners in the caller's picture. */
typedef struct MarkQuad {
    float x[4], y[4];
} MarkQuad;

/* One cell of the form as read. Levels beyond MarkLayout.levelCount hold 0. */
typedef struct MarkCell {
    MarkQuad box;
    int32_t row, column; /* 0-based grid position in the form as printed */
    int32_t kind;        /* MARK_CELL_* */
    int32_t state[MARK_LAYOUT_MAX_LEVELS];
    float ratio[MARK_LAYOUT_MAX_LEVELS]; /* the cell's dark fraction per level, 0 .. 1 */
} MarkCell;

/* One timing mark or anchor mark the form was fitted by. */
typedef struct MarkGuide {
    MarkQuad box;
    int32_t kind;  /* MARK_GUIDE_* */
    int32_t index; /* 0-based position along its track, row or column */
} MarkGuide;

/* The fitted form. The caller sets cells/cellCapacity and guides/guideCapacity (a null array
 * with capacity 0 asks for the counts only); the reader fills the rest. */
typedef struct MarkLayout {
    int32_t form;          /* 1-based number of the form in its format file */
    int32_t orientation;   /* MARK_ORIENTATION_* */
    int32_t levelCount;    /* levels reported per cell, 1 .. MARK_LAYOUT_MAX_LEVELS */
    int32_t rows, columns; /* the form's answer grid */
    int32_t cellCount;     /* cells of the form; written to `cells` when cellCount <= cellCapacity */
    int32_t cellCapacity;
    int32_t guideCount; /* guides the form was fitted by; written when guideCount <= guideCapacity */
    int32_t guideCapacity;
    MarkCell* cells;
    MarkGuide* guides;
} MarkLayout;

#ifdef __cplusplus
}
#endif

#endif /* TICKETKIT_MARK_LAYOUT_RECORD */
