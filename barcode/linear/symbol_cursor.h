#pragma once
// A cursor over the runs of one symbol in reading direction, from the first run of its start
// pattern to the last run of its end pattern. The character readers walk it with next and skip
// instead of counting indexes from where the search put the symbol.

#include <algorithm>

#include "barcode/linear/runs.h"

namespace stripescan {

class SymbolCursor {
public:
    // The symbol is runs[first..last] of `runs`, which reads forwards (the search reverses a
    // symbol met backwards before it hands it over). `runs` must outlive the cursor.
    SymbolCursor(const RunList& runs, int first, int last)
        : runs_(&runs), first_(first), last_(last), at_(first) {}

    // The whole run list, for the key functions that read a character from an index.
    const RunList& runs() const { return *runs_; }
    // Index in runs() of the current run.
    int at() const { return at_; }
    // Answers the current index and moves on by `count` runs (one character of `count` runs).
    int next(int count) {
        const int here = at_;
        at_ += count;
        return here;
    }
    void skip(int count) { at_ += count; }
    // Runs from the current one to the symbol's last, inclusive; 0 once past the end.
    int remaining() const { return std::max(0, last_ + 1 - at_); }
    // Runs of the whole symbol.
    int size() const { return last_ - first_ + 1; }
    bool at_first() const { return at_ == first_; }

private:
    const RunList* runs_;
    int first_;
    int last_;
    int at_;
};

// What a character reader made of one symbol.
enum class ReadOutcome {
    Read,         // decoded, checked and converted
    TryReversed,  // the characters did not read this way round; the symbol may be upside down
    Rejected,     // not a valid symbol either way round
};

}  // namespace stripescan
