#include "marks/printed/form_file.h"

#include "marks/common/format_text.h"

namespace typemark {

std::optional<std::string> format_file_path() {
    return marks::locate_format_file(kFormatFileVariable, kDefaultFormatFile);
}

bool skip_forms(const std::vector<std::uint8_t>& file, std::size_t& pos, int count) {
    for (int k = 0; k < count; ++k) {
        std::size_t i = pos;
        while (i < file.size() && file[i] != '*') ++i;
        if (i >= file.size()) return false;
        pos = i + marks::kTitleBytes;
    }
    return true;
}

}  // namespace typemark
