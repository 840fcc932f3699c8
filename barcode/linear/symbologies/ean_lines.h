#pragma once
// The digits that the lines of one fan read across an EAN/UPC symbol. A local threshold dots
// thin bars and starves others differently a few pixels apart along the bars, so a digit whose
// bars one line cannot tell from its pair (an erasure) is often read firmly by a neighbouring
// line of the same fan. The reader of each line leaves its digits here and settles its own
// erasures from the earlier lines that agree with it everywhere else.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "barcode/linear/keys.h"
#include "barcode/linear/symbologies/ean_digits.h"

namespace stripescan {

// One line's digits in reading order: value (-1 for an erasure), whether the value is firm
// (a 1, 2, 7 or 8 told from its pair with room to spare; every other digit read is), and set.
struct EanLineDigits {
    int symbology = 0;
    std::vector<int> values;
    std::vector<bool> firm;
    std::vector<EanSet> sets;
};

class EanFanLines {
public:
    // Lines kept; later lines of a fan are not stored (a fan holds fewer).
    static constexpr std::size_t kMostLines = 32;

    // Keeps `line` for the lines after it.
    void add(const EanLineDigits& line);

    // For each erasure of `line` (value -1): the value that the earlier lines read firmly at
    // that place, or -1. Only lines of the same symbology, digit count and sets whose every
    // digit read at a place `line` also read equals it count, and they must all agree on the
    // place (one disagreeing firm reading leaves it -1). Places `line` read answer -1.
    std::vector<int> settled(const EanLineDigits& line) const;

    // Per place of `line`: true where `line` read a firm digit and an earlier line that agrees
    // with it everywhere (as for settled) read the same digit firmly there.
    std::vector<bool> confirmed(const EanLineDigits& line) const;

    std::size_t size() const { return lines_.size(); }

private:
    std::vector<EanLineDigits> lines_;
};

// Settles the erasures of one line from the earlier lines of its fan, then leaves the line's
// own digits in `lines`. `read` are the line's digits in reading order (erasures -1), `text`
// the digits as characters from place `lead` on ('?' at the erasures), `erasures` the places
// of the erasures among `read` and `pairs` their two candidates. An erasure the other lines
// read firmly as one of its two candidates takes that value in `text` and leaves `erasures`
// and `pairs`. The line's digits are kept for later lines only when some choice of the
// candidates of its erasures makes `passes` (the whole text) true: a line that read a digit
// wrong vouches for nothing. A 1, 2, 7 or 8 counts as firm only when ean_pair_digit_firm with
// `symbolGain` and with its own local gain. Answers, per digit of `read`, whether it is firm
// here and was read the same firmly by an earlier line (EanFanLines::confirmed).
std::vector<bool> settle_from_lines(EanFanLines& lines, const RunList& runs, int symbology,
                                    const std::vector<ReadDigit>& read, int symbolGain, std::size_t lead,
                                    std::vector<int>& erasures, std::vector<DigitPair>& pairs,
                                    std::string& text, const std::function<bool(const std::string&)>& passes);

}  // namespace stripescan
