#pragma once
// The reader's result texts: plain (state digits), extended (two-digit fill
// values, then the plain text) and reliability (one raw byte per grid cell).

#include <cstddef>
#include <string>
#include <vector>

#include "marks/handwritten/form_fit.h"
#include "marks/handwritten/form_model.h"
#include "marks/handwritten/measurement.h"

namespace inkmark {

enum class ResultStyle { Plain, Extended, Reliability };

// Bytes the text of `style` needs for `form`, terminating zero included.
std::int64_t result_text_size(const OmrForm& form, ResultStyle style);

// The code slot string of the form: for each slot '1' when a mark of the
// first top track lies in it, else '0'; with `fills`, two digits per slot
// instead: the fill of the image mark matched to that mark ("00" when empty).
std::string code_slots(const OmrForm& form, const FitResult& fit, bool fills);

// For each code slot of the form, the index (kept order) of the mark of the
// first top track that lies in it, or -1 for an empty slot; empty when the
// form has no code slots.
std::vector<int> code_slot_marks(const OmrForm& form);

// The fill of mark `mark` of the first top track: the pixel count of the image
// mark matched to it over the mark's area as printed (may exceed 1); 0 when
// there is none.
double code_slot_fill(const OmrForm& form, const FitResult& fit, int mark);

// Writes the text of `style` for threshold level `level`, terminating zero
// included, into `out`. False when it would need more than `capacity` bytes
// (nothing is written then).
bool build_result_text(const OmrForm& form, const FitResult& fit, const std::vector<CellReading>& readings,
                       int level, ResultStyle style, std::size_t capacity, std::string& out);

}  // namespace inkmark
