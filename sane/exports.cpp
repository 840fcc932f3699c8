// The SANE 1 entry points of libsane-tqrmx7kp.so.1, named as SANE's dll
// loader looks them up (sane_tqrmx7kp_*). Each forwards to the backend and
// turns any exception into a SANE status.

#include <sane/sane.h>

#include <new>

#include "sane/backend.h"
#include "sane/debug.h"

#define TQSANE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using tqsane::backend;
using tqsane::Handle;

template <typename Call>
SANE_Status guarded(const char* what, Call call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        tqsane::debug(1, "%s: out of memory", what);
        return SANE_STATUS_NO_MEM;
    } catch (...) {
        tqsane::debug(1, "%s: internal failure", what);
        return SANE_STATUS_IO_ERROR;
    }
}

Handle* as_handle(SANE_Handle h) {
    return static_cast<Handle*>(h);
}

}  // namespace

TQSANE_EXPORT SANE_Status sane_tqrmx7kp_init(SANE_Int* versionCode, SANE_Auth_Callback) {
    return guarded("sane_init", [&] { return backend().init(versionCode); });
}

TQSANE_EXPORT void sane_tqrmx7kp_exit(void) {
    guarded("sane_exit", [] {
        backend().exit();
        return SANE_STATUS_GOOD;
    });
}

TQSANE_EXPORT SANE_Status sane_tqrmx7kp_get_devices(const SANE_Device*** deviceList, SANE_Bool) {
    return guarded("sane_get_devices", [&] { return backend().get_devices(deviceList); });
}

TQSANE_EXPORT SANE_Status sane_tqrmx7kp_open(SANE_String_Const name, SANE_Handle* handle) {
    return guarded("sane_open", [&] {
        Handle* h = nullptr;
        const SANE_Status st = backend().open(name, &h);
        if (handle) *handle = h;
        return st;
    });
}

TQSANE_EXPORT void sane_tqrmx7kp_close(SANE_Handle handle) {
    guarded("sane_close", [&] {
        backend().close(as_handle(handle));
        return SANE_STATUS_GOOD;
    });
}

TQSANE_EXPORT const SANE_Option_Descriptor* sane_tqrmx7kp_get_option_descriptor(SANE_Handle handle,
                                                                                SANE_Int option) {
    Handle* h = as_handle(handle);
    return backend().owns(h) ? h->options.descriptor(option) : nullptr;
}

TQSANE_EXPORT SANE_Status sane_tqrmx7kp_control_option(SANE_Handle handle, SANE_Int option,
                                                       SANE_Action action, void* value, SANE_Int* info) {
    return guarded("sane_control_option",
                   [&] { return backend().control_option(as_handle(handle), option, action, value, info); });
}

TQSANE_EXPORT SANE_Status sane_tqrmx7kp_get_parameters(SANE_Handle handle, SANE_Parameters* params) {
    return guarded("sane_get_parameters",
                   [&] { return backend().get_parameters(as_handle(handle), params); });
}

TQSANE_EXPORT SANE_Status sane_tqrmx7kp_start(SANE_Handle handle) {
    return guarded("sane_start", [&] { return backend().start(as_handle(handle)); });
}

TQSANE_EXPORT SANE_Status sane_tqrmx7kp_read(SANE_Handle handle, SANE_Byte* data, SANE_Int maxLength,
                                             SANE_Int* length) {
    return guarded("sane_read", [&] { return backend().read(as_handle(handle), data, maxLength, length); });
}

TQSANE_EXPORT void sane_tqrmx7kp_cancel(SANE_Handle handle) {
    backend().cancel(as_handle(handle));
}

TQSANE_EXPORT SANE_Status sane_tqrmx7kp_set_io_mode(SANE_Handle handle, SANE_Bool nonBlocking) {
    if (!backend().owns(as_handle(handle))) return SANE_STATUS_INVAL;
    return nonBlocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

TQSANE_EXPORT SANE_Status sane_tqrmx7kp_get_select_fd(SANE_Handle, SANE_Int*) {
    return SANE_STATUS_UNSUPPORTED;
}
