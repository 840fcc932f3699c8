#pragma once
// Loading the handwritten-mark format file: its forms, their geometry relative
// to the timing tracks, and the order in which the reader tries them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "marks/handwritten/form_model.h"

namespace inkmark {

// Largest number of cells a form may make; larger forms fail to load as an
// allocation failure would.
inline constexpr std::int64_t kMaxCells = 1'000'000;
// Lengths beyond this many dots (over 2 km) are held at it, so that sums of
// form lengths never overflow.
inline constexpr int kMaxDots = 1 << 24;
// The list form of a track is announced by this value in place of its line.
inline constexpr int kListFormMarker = 6666;
// The value that announces the open-ended flags.
inline constexpr double kOpenEndedMarker = 15.0;

// Length in millimetres to dots of the working image: 8 x L + 0.5, truncated
// (saturating for values no sheet has).
int dots(double millimetres);

// Builds one form from its values; nothing when the values break the grammar
// (too few, a track count other than 1 or 2, a track kind outside 0..3, a
// missing or leftover value, too many cells).
std::optional<OmrForm> parse_form(const std::vector<double>& values);

// Reads every form of the file's bytes until a form fails or the file ends;
// returns the number of forms read.
int load_forms(const std::vector<std::uint8_t>& file, OmrFormList& list);

// The same from a file; 0 when it cannot be read.
int load_form_file(const std::string& path, OmrFormList& list);

// Fills the trial order: forms without open-ended tracks in file order, then
// forms with one, then forms with two, each of the latter two ordered by the
// open tracks' mark count, largest first. False unless every form got a place.
bool order_forms(OmrFormList& list);

// Copies form `index` (0-based) into `out`; false outside 0..count-1.
bool select_form(const OmrFormList& list, int index, OmrForm& out);

// Offsets of an absolute form point from the form's tracks toward the sheet's
// interior (the relative cell geometry).
void relative_offsets(const OmrForm& form, int x, int y, int& dx, int& dy);

// The cells a form measures, in order: its list, or its grid row by row.
// False when memory runs out.
bool materialize_cells(OmrForm& form);

}  // namespace inkmark
