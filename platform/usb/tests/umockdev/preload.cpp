#include "preload.h"

#include <link.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace usbtest {
namespace {

constexpr const char* kMarker = "USBTEST_UNDER_UMOCKDEV";

// Path of the loaded AddressSanitizer runtime, or "" when there is none.
std::string sanitizer_runtime() {
    std::string found;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* out) {
            if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "/libasan.so") != nullptr) {
                *static_cast<std::string*>(out) = info->dlpi_name;
                return 1;
            }
            return 0;
        },
        &found);
    return found;
}

}  // namespace

void run_under_umockdev(char** argv) {
    if (std::getenv(kMarker) != nullptr) return;
    std::string preload;
    const std::string asan = sanitizer_runtime();
    if (!asan.empty()) preload = asan + " ";  // the sanitizer insists on coming first
    preload += UMOCKDEV_PRELOAD;
    if (const char* previous = std::getenv("LD_PRELOAD"); previous != nullptr && *previous != '\0')
        preload += std::string(" ") + previous;
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    ::setenv(kMarker, "1", 1);
    ::execv("/proc/self/exe", argv);
    std::perror("starting again under the umockdev preload library");
}

}  // namespace usbtest
