#include "platform/local_time.h"

namespace platform {

std::string format_local_time(const char* pattern, std::time_t when) {
    std::tm parts{};
    localtime_r(&when, &parts);
    char text[256];
    const std::size_t n = std::strftime(text, sizeof text, pattern, &parts);
    return std::string(text, n);
}

std::string format_local_time(const char* pattern) {
    return format_local_time(pattern, std::time(nullptr));
}

}  // namespace platform
