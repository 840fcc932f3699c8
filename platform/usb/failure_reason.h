#pragma once
// Why a link operation failed, in words: libusb results by name with a hint
// for the ones a user can act on, and the PIPEWELL_DEBUG switch that copies
// every reason to stderr.

#include <string>

namespace pipewell {

inline constexpr const char* kDebugVariable = "PIPEWELL_DEBUG";

// "LIBUSB_ERROR_ACCESS (Access denied (insufficient permissions)): <hint>"
// for a libusb result code; the hint is empty for codes without one.
std::string describe_libusb(int code);

// True when PIPEWELL_DEBUG is set to anything but "" or "0".
bool debug_enabled();

// Writes "pipewell: <reason>\n" to stderr when debugging is on.
void report(const std::string& reason);

}  // namespace pipewell
