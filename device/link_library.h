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
};

// Logical name of the link library, and the environment variable naming a
// replacement file (the emulator or a test double).
inline constexpr const char* kLinkLibraryName = "Pipewell.dll";
inline constexpr const char* kLinkLibraryVariable = "PIPEWELL_LIBRARY";

// The file to load: $PIPEWELL_LIBRARY when set and not empty, else the logical name.
std::string link_library_file();

// Loads the link library and resolves the eight operations in their fixed
// order (OpenDevice, uRead, uWrite, GetSpecStatus, CloseDevice, SetUSBTimeouts,
// SendSpecCommand, ResetPipes). False when the library or any one is missing;
// the library is then left closed.
bool load_link(platform::DynamicLibrary& library, LinkOperations& ops);

}  // namespace kestrom
