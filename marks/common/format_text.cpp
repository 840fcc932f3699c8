#include "marks/common/format_text.h"

#include <cstdlib>
#include <cstring>

#include "platform/files.h"

namespace marks {

double token_value(const char* token, std::size_t length) {
    char buffer[kMaxNumberLength + 1];
    if (length > kMaxNumberLength) length = kMaxNumberLength;
    std::memcpy(buffer, token, length);
    buffer[length] = '\0';
    return std::strtod(buffer, nullptr);
}

FormTextStatus read_form_text(const std::vector<std::uint8_t>& file, std::size_t offset, FormText& out) {
    out.values.clear();
    std::size_t pos = offset;
    while (pos < file.size() && file[pos] != '*') ++pos;
    if (pos >= file.size()) return FormTextStatus::NoForm;
    out.start = pos;
    pos += kTitleBytes;
    char token[kMaxNumberLength + 1];
    std::size_t length = 0;
    auto flush = [&]() {
        if (length > 0) out.values.push_back(token_value(token, length));
        length = 0;
    };
    for (; pos < file.size(); ++pos) {
        const char c = static_cast<char>(file[pos]);
        if (c == '*') {
            flush();
            out.nextOffset = pos;
            return FormTextStatus::Ok;
        }
        if ((c >= '0' && c <= '9') || c == '.') {
            if (length == kMaxNumberLength) return FormTextStatus::Failed;
            token[length++] = c;
        } else {
            flush();
        }
    }
    return FormTextStatus::Failed;
}

std::optional<std::string> locate_format_file(const char* variable, const char* defaultName) {
    std::string path;
    if (auto value = platform::environment(variable)) {
        path = *value;
    } else {
        path = defaultName;
    }
    if (path.empty() || path.size() > kMaxPathLength) return std::nullopt;
    return path;
}

}  // namespace marks
