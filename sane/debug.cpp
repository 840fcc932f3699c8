// Backend diagnostics on stderr.

#include "sane/debug.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace tqsane {
namespace {

int debug_level() {
    static const int level = [] {
        const char* v = std::getenv("SANE_DEBUG_TQRMX7KP");
        return v ? std::atoi(v) : 0;
    }();
    return level;
}

}  // namespace

void debug(int level, const char* format, ...) {
    if (level > debug_level()) return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "[tqrmx7kp] %s\n", line);
}

}  // namespace tqsane
