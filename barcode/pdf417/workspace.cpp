#include "workspace.h"

namespace pdf417 {

void Cell::vote(int c) {
    switch (state) {
    case Empty:
        state = Single;
        older = static_cast<int16_t>(c);
        break;
    case Single:
        if (c == older) {
            state = Confirmed;
        } else {
            state = Conflict;
            newer = static_cast<int16_t>(c);
        }
        break;
    case Conflict:
        if (c == newer) {
            state = Confirmed;
            older = static_cast<int16_t>(c);
        } else if (c == older) {
            state = Confirmed;
        } else {
            state = Empty;
        }
        break;
    default:
        break;
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
    for (auto &m : matches) m.count = 0;
    widthCount = 0;
    startSide = Grid{};
    stopSide = Grid{};
    rowGroups.count = rowRemainders.count = levels.count = columns.count = 0;
}

Workspace &workspace() {
    static Workspace instance;
    return instance;
}

}  // namespace pdf417
