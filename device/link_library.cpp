#include "device/link_library.h"

#include "platform/files.h"

namespace kestrom {

std::string link_library_file() {
    const auto chosen = platform::environment(kLinkLibraryVariable);
    if (chosen && !chosen->empty()) return *chosen;
    return kLinkLibraryName;
}

namespace {

constexpr int kReasonBytes = 512;

template <typename Fn>
bool resolve_into(const platform::DynamicLibrary& library, const char* name, Fn& target,
                  const char** missing) {
    target = library.resolve<Fn>(name);
    if (target == nullptr && *missing == nullptr) *missing = name;
    return target != nullptr;
}

}  // namespace

bool load_link(platform::DynamicLibrary& library, LinkOperations& ops, std::string* reason) {
    ops = LinkOperations{};
    const std::string file = link_library_file();
    if (!library.open(file)) {
        if (reason != nullptr) *reason = "cannot load " + file + ": " + library.error();
        return false;
    }
    const char* missing = nullptr;
    const bool complete = resolve_into(library, "OpenDevice", ops.openDevice, &missing) &&
                          resolve_into(library, "uRead", ops.read, &missing) &&
                          resolve_into(library, "uWrite", ops.write, &missing) &&
                          resolve_into(library, "GetSpecStatus", ops.getSpecStatus, &missing) &&
                          resolve_into(library, "CloseDevice", ops.closeDevice, &missing) &&
                          resolve_into(library, "SetUSBTimeouts", ops.setTimeouts, &missing) &&
                          resolve_into(library, "SendSpecCommand", ops.sendSpecCommand, &missing) &&
                          resolve_into(library, "ResetPipes", ops.resetPipes, &missing);
    if (!complete) {
        if (reason != nullptr) *reason = file + " has no entry point " + missing;
        ops = LinkOperations{};
        library.close();
        return false;
    }
    ops.lastError = library.resolve<int (*)(char*, int)>("PipewellLastError");
    return true;
}

std::string link_failure_reason(const LinkOperations& ops) {
    if (ops.lastError == nullptr) return {};
    char text[kReasonBytes] = {};
    ops.lastError(text, kReasonBytes);
    text[kReasonBytes - 1] = '\0';
    return text;
}

}  // namespace kestrom
