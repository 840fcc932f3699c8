// Reed-Solomon error and erasure correction of a codeword sequence over GF(929).
#pragma once

namespace pdf417 {

// The most error-correction codewords a symbol carries (level 8).
constexpr int kMaxCheckCodewords = 512;
// The most codewords in one symbol.
constexpr int kMaxCodewords = 928;

// Corrects `codewords` (n values, first one the highest power) in place. The last
// `checkCount` (2 .. 512) codewords are the error-correction codewords; `erasures` lists
// `erasureCount` positions (0-based) whose values are unknown. Returns true when the sequence
// was corrected (or needed nothing); false when it is beyond repair, including every case in
// which the corrected sequence would not be a valid code word (the syndromes are checked again
// after correction), so a false answer never leaves a half-trusted sequence behind as success.
bool correct_errors(int* codewords, int n, int checkCount, const int* erasures, int erasureCount);

}  // namespace pdf417
