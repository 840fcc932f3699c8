#pragma once
// Local time formatted with a strftime pattern (e.g. "%Y-%m-%d %X ").

#include <ctime>
#include <string>

namespace platform {

std::string format_local_time(const char* pattern, std::time_t when);
std::string format_local_time(const char* pattern);  // now

}  // namespace platform
