#pragma once
// Diagnostics on stderr, as SANE backends give them: the level comes from
// SANE_DEBUG_TQRMX7KP (0 = silent, 1 = failures, 2 = each step, 3 = calls).

namespace tqsane {

void debug(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace tqsane
