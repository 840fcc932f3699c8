/* A mark reader's layout export with a fixed answer: a 1 x 3 form (marked,
 * empty, doubtful cells) fitted by two timing marks, form 2, turned 90
 * degrees. Follows the export's rules: counts first, records only when both
 * arrays are large enough. */
#include <stddef.h>

#include "kit/MarkLayout.h"

#define EXPORT __attribute__((visibility("default")))

static void quad(MarkQuad* q, float x0, float y0, float x1, float y1) {
    q->x[0] = x0, q->y[0] = y0;
    q->x[1] = x1, q->y[1] = y0;
    q->x[2] = x1, q->y[2] = y1;
    q->x[3] = x0, q->y[3] = y1;
}

static int fill(MarkLayout* layout) {
    if (layout == NULL) return 0;
    layout->form = 2;
    layout->orientation = MARK_ORIENTATION_QUARTER;
    layout->levelCount = 1;
    layout->rows = 1;
    layout->columns = 3;
    layout->cellCount = 3;
    layout->guideCount = 2;
    if (layout->cellCapacity < 3 || layout->guideCapacity < 2 || layout->cells == NULL ||
        layout->guides == NULL)
        return 0;
    for (int i = 0; i < 3; ++i) {
        MarkCell* c = &layout->cells[i];
        *c = (MarkCell){0};
        quad(&c->box, 20.0f + 30.0f * (float)i, 40.0f, 40.0f + 30.0f * (float)i, 60.0f);
        c->row = 0;
        c->column = i;
        c->kind = MARK_CELL_ANSWER;
        c->state[0] = i == 0 ? MARK_STATE_MARKED : i == 1 ? MARK_STATE_EMPTY : MARK_STATE_DOUBTFUL;
        c->ratio[0] = i == 0 ? 0.8f : i == 1 ? 0.05f : 0.3f;
    }
    for (int i = 0; i < 2; ++i) {
        MarkGuide* g = &layout->guides[i];
        *g = (MarkGuide){0};
        quad(&g->box, 5.0f, 40.0f + 20.0f * (float)i, 12.0f, 46.0f + 20.0f * (float)i);
        g->kind = MARK_GUIDE_TIMING;
        g->index = i;
    }
    return 1;
}

EXPORT int OMReadLayout(MarkLayout* layout) {
    return fill(layout);
}

EXPORT int OMReadLayoutSP(MarkLayout* layout) {
    return fill(layout);
}
