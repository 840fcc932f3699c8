#include "barcode/pdf417/workspace.h"

#include <algorithm>

namespace pdf417 {

void Cell::vote(int c) {
    int i = 0;
    while (i < distinct && value[i] != c) ++i;
    if (i == distinct) {
        if (distinct == kCandidates) return;  // too many different readings to follow more
        value[distinct] = static_cast<int16_t>(c);
        count[distinct++] = 0;
    }
    if (count[i] < 0xFFFF) ++count[i];

    int best = 0, second = -1;
    for (int k = 1; k < distinct; ++k) {
        if (count[k] > count[best]) {
            second = best;
            best = k;
        } else if (second < 0 || count[k] > count[second]) {
            second = k;
        }
    }
    if (second >= 0 && count[second] == count[best]) {
        state = kConflict;
        older = value[std::min(best, second)];
        newer = value[std::max(best, second)];
    } else {
        state = count[best] >= 2 ? kConfirmed : kSingle;
        older = value[best];
    }
}

int VoteList::most_frequent() const {
    int best = -1, bestCount = 0;
    for (int i = 0; i < count; ++i) {
        int n = 0;
        for (int j = 0; j < count; ++j) n += value[j] == value[i];
        if (n > bestCount) {
            bestCount = n;
            best = value[i];
        }
    }
    return best;
}

void Workspace::clear() {
    line.count = 0;
    reversed.count = 0;
    for (auto& m : matches) m.count = 0;
    widthCount = 0;
    startSide = Grid{};
    stopSide = Grid{};
    rowGroups.count = rowRemainders.count = levels.count = columns.count = 0;
    edgeSampleCount = 0;
    profileCount = 0;
}

void Workspace::clear_reading() {
    startSide = Grid{};
    stopSide = Grid{};
    rowGroups.count = rowRemainders.count = levels.count = columns.count = 0;
    edgeSampleCount = 0;
    profileCount = 0;
}

Workspace& workspace() {
    static Workspace instance;
    return instance;
}

}  // namespace pdf417
