#pragma once
// The SANE backend's process-wide state and the logic behind each entry point.
// SANE itself makes the backend process-wide (sane_init .. sane_exit); the
// device library behind it keeps one connection per process, so the backend
// offers at most one device and one open handle at a time.

#include <sane/sane.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "sane/kestrom_api.h"
#include "sane/options.h"
#include "sane/ticket_scan.h"

namespace tqsane {

inline constexpr SANE_Int kBackendBuild = 1;

// One open scanner.
struct Handle {
    OptionTable options;
    Picture picture;
    std::size_t readOffset = 0;
    bool framePending = false;                 // sane_start succeeded, not all bytes read yet
    std::atomic<bool> cancelRequested{false};  // set by sane_cancel (maybe from a signal handler)
    static_assert(std::atomic<bool>::is_always_lock_free);
};

class Backend {
public:
    SANE_Status init(SANE_Int* version);
    void exit();
    SANE_Status get_devices(const SANE_Device*** list);
    SANE_Status open(const char* name, Handle** handle);
    void close(Handle* handle);
    SANE_Status control_option(Handle* h, SANE_Int option, SANE_Action action, void* value, SANE_Int* info);
    SANE_Status get_parameters(Handle* h, SANE_Parameters* params);
    SANE_Status start(Handle* h);
    SANE_Status read(Handle* h, SANE_Byte* data, SANE_Int maxLength, SANE_Int* length);
    void cancel(Handle* h);

    bool owns(const Handle* h) const { return h && h == handle_.get(); }

private:
    // Looks for the scanner (or the emulator) once the library is bound;
    // true when one answers.
    bool probe();
    void describe_device();

    KestromApi api_;
    bool initialised_ = false;
    bool deviceFound_ = false;
    std::string deviceName_, vendor_, model_, type_;
    SANE_Device device_{};
    const SANE_Device* deviceList_[2] = {nullptr, nullptr};
    std::unique_ptr<Handle> handle_;
};

// The single backend of the process.
Backend& backend();

}  // namespace tqsane
