// Any bytes as a format file: loading, ordering, selecting, making the cells
// and sizing the result texts must never crash.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "marks/handwritten/format_file.h"
#include "marks/handwritten/result_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> file(data, data + size);
    inkmark::OmrFormList list;
    const int count = inkmark::load_forms(file, list);
    if (count <= 0) return 0;
    inkmark::order_forms(list);
    inkmark::OmrForm form;
    for (int index : list.order) {
        if (!inkmark::select_form(list, index, form)) continue;
        if (form.cellCount <= 4096) inkmark::materialize_cells(form);
        inkmark::result_text_size(form, inkmark::ResultStyle::Extended);
    }
    return 0;
}
