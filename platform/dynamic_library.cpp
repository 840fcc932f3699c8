#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <utility>

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

DynamicLibrary::~DynamicLibrary() { close(); }

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
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* msg = dlerror();
        error_ = msg ? msg : ("cannot open " + file);
        return false;
    }
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
