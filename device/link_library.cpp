#include "device/link_library.h"

#include "platform/files.h"

namespace kestrom {

std::string link_library_file() {
    const auto chosen = platform::environment(kLinkLibraryVariable);
    if (chosen && !chosen->empty()) return *chosen;
    return kLinkLibraryName;
}

namespace {

template <typename Fn>
bool resolve_into(const platform::DynamicLibrary& library, const char* name, Fn& target) {
    target = library.resolve<Fn>(name);
    return target != nullptr;
}

}  // namespace

bool load_link(platform::DynamicLibrary& library, LinkOperations& ops) {
    ops = LinkOperations{};
    if (!library.open(link_library_file())) return false;
    const bool complete = resolve_into(library, "OpenDevice", ops.openDevice) &&
                          resolve_into(library, "uRead", ops.read) &&
                          resolve_into(library, "uWrite", ops.write) &&
                          resolve_into(library, "GetSpecStatus", ops.getSpecStatus) &&
                          resolve_into(library, "CloseDevice", ops.closeDevice) &&
                          resolve_into(library, "SetUSBTimeouts", ops.setTimeouts) &&
                          resolve_into(library, "SendSpecCommand", ops.sendSpecCommand) &&
                          resolve_into(library, "ResetPipes", ops.resetPipes);
    if (!complete) {
        ops = LinkOperations{};
        library.close();
    }
    return complete;
}

}  // namespace kestrom
