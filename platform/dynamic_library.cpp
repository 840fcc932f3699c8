#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

// The ABI number of the kit's libraries (libX.so.N), set by the build.
#ifndef KIT_SOVERSION
#define KIT_SOVERSION 0
#endif
#define KIT_STRINGIFY_(x) #x
#define KIT_STRINGIFY(x) KIT_STRINGIFY_(x)

namespace platform {

std::string library_file_name(std::string_view name) {
    if (name.find('/') != std::string_view::npos) return std::string(name);
    if (name.size() >= 3 && name.substr(name.size() - 3) == ".so") return std::string(name);
    if (name.size() > 4) {
        std::string ext(name.substr(name.size() - 4));
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (ext == ".dll") return "lib" + std::string(name.substr(0, name.size() - 4)) + ".so";
    }
    return "lib" + std::string(name) + ".so";
}

std::string versioned_file_name(std::string_view file) {
    std::string name(file);
    if (name.size() >= 3 && name.compare(name.size() - 3, 3, ".so") == 0)
        name += "." KIT_STRINGIFY(KIT_SOVERSION);
    return name;
}

namespace {

// The folder of the module (program or shared library) that linked this layer.
std::string own_module_folder() {
    Dl_info info{};
    std::string path;
    if (dladdr(reinterpret_cast<void*>(&own_module_folder), &info) && info.dli_fname) path = info.dli_fname;
    if (path.empty() || path.front() != '/') {
        char exe[PATH_MAX];
        const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n <= 0) return {};
        path.assign(exe, static_cast<std::size_t>(n));
    }
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

DynamicLibrary::~DynamicLibrary() {
    close();
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

bool DynamicLibrary::open(std::string_view name) {
    close();
    const std::string file = library_file_name(name);
    // An installed kit keeps only the versioned file (libX.so.N) in its runtime
    // package; the bare name comes with the development files. Try both.
    std::vector<std::string> candidates{file};
    if (file.find('/') == std::string::npos) candidates.push_back(versioned_file_name(file));
    for (const std::string& candidate : candidates) {
        handle_ = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_) break;
        // Report the first failure: it names the file the caller asked for.
        if (const char* msg = dlerror(); msg && error_.empty()) error_ = msg;
    }
    if (!handle_ && error_.empty()) error_ = "cannot open " + file;
    // The loader's search uses the RUNPATH of the object that called dlopen; where an
    // interposer (a sanitizer runtime) hides the real caller, look where that RUNPATH
    // ($ORIGIN, $ORIGIN/../lib) would have looked.
    if (!handle_ && file.find('/') == std::string::npos) {
        const std::string folder = own_module_folder();
        for (const char* rel : {"/", "/../lib/"}) {
            if (folder.empty() || handle_) break;
            for (const std::string& candidate : candidates) {
                const std::string path = folder + rel + candidate;
                if (::access(path.c_str(), F_OK) != 0) continue;
                handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
                if (handle_) break;
                if (const char* m = dlerror()) error_ = m;
            }
        }
    }
    if (!handle_) return false;
    error_.clear();
    return true;
}

void DynamicLibrary::close() {
    if (handle_) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

void* DynamicLibrary::symbol(const char* name) const {
    if (!handle_ || !name) {
        error_ = "library not open";
        return nullptr;
    }
    dlerror();
    void* address = dlsym(handle_, name);
    if (!address) {
        const char* msg = dlerror();
        error_ = msg ? msg : (std::string("missing symbol ") + name);
    }
    return address;
}

}  // namespace platform
