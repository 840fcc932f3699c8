#pragma once
// Loading a kit library by its logical name ("Skewtrim.dll" -> "libSkewtrim.so")
// through dlopen, so LD_LIBRARY_PATH and the caller's RUNPATH apply, and
// resolving its entry points by name.

#include <string>
#include <string_view>

namespace platform {

// "X.dll" (any case of the extension) -> "libX.so". A name that contains a '/'
// or already ends in ".so" is a file name and is returned unchanged.
std::string library_file_name(std::string_view logicalOrFile);

// "libX.so" -> "libX.so.N", the name an installed library keeps at run time
// when its development files (which add the bare "libX.so") are absent.
// Other names are returned unchanged.
std::string versioned_file_name(std::string_view file);

// An open library; closes itself when destroyed. Move-only.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Opens by logical name or explicit file name; false (and error()) on failure.
    // A bare file name that cannot be found is tried again with the kit's
    // version number appended (libX.so -> libX.so.N).
    bool open(std::string_view logicalOrFile);
    void close();
    bool is_open() const { return handle_ != nullptr; }

    // The address of an exported symbol, or nullptr when it is missing.
    void* symbol(const char* name) const;

    // Typed lookup: lib.resolve<int (*)(int)>("Name").
    template <typename Fn>
    Fn resolve(const char* name) const {
        return reinterpret_cast<Fn>(symbol(name));
    }

    // The loader's message for the last failed open or lookup.
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    mutable std::string error_;
};

}  // namespace platform
