#pragma once
// The USB link library behind the port: its eight operations, resolved by name.

#include <cstdint>
#include <string>

#include "platform/dynamic_library.h"

namespace kestrom {

struct LinkOperations {
    int (*openDevice)() = nullptr;
    int (*read)(int handle, int pipe, std::uint8_t* buf, int count) = nullptr;
    int (*write)(int handle, int pipe, const std::uint8_t* buf, int count) = nullptr;
    int (*getSpecStatus)(int handle, std::uint8_t* buf, int count, int* delivered) = nullptr;
    int (*closeDevice)(int handle) = nullptr;
    int (*setTimeouts)(int handle, int first, int second) = nullptr;
    int (*sendSpecCommand)(int handle, int code) = nullptr;
    int (*resetPipes)(int handle, int pipe) = nullptr;
    // Optional: why the last operation failed (libPipewell has it, the
    // emulator and test doubles need not); null when the library lacks it.
    int (*lastError)(char* text, int capacity) = nullptr;
};

// Logical name of the link library, and the environment variable naming a
// replacement file (the emulator or a test double).
inline constexpr const char* kLinkLibraryName = "Pipewell.dll";
inline constexpr const char* kLinkLibraryVariable = "PIPEWELL_LIBRARY";

// The file to load: $PIPEWELL_LIBRARY when set and not empty, else the logical name.
std::string link_library_file();

// Loads the link library and resolves the eight operations in their fixed
// order (OpenDevice, uRead, uWrite, GetSpecStatus, CloseDevice, SetUSBTimeouts,
// SendSpecCommand, ResetPipes), and PipewellLastError when present. False
// when the library or any one of the eight is missing; the library is then
// left closed and `reason` (when given) says which and, for the library, the
// loader's message.
bool load_link(platform::DynamicLibrary& library, LinkOperations& ops, std::string* reason = nullptr);

// The link library's reason for its last failure; empty when it gives none.
std::string link_failure_reason(const LinkOperations& ops);

}  // namespace kestrom
