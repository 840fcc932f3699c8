#include "kit_libraries.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "cli.h"

#ifndef KIT_INSTALL_LIBDIR
#define KIT_INSTALL_LIBDIR "lib"
#endif

namespace ticketkit {
namespace {

constexpr int kLinkReasonBytes = 512;  // longest failure reason kept, with its terminating zero

template <typename Fn>
void resolve(const platform::DynamicLibrary& lib, const char* library, const char* name, Fn& fn) {
    fn = lib.resolve<Fn>(name);
    if (fn == nullptr)
        fail(kExitDevice, std::string(library) + " has no entry point " + name + " (wrong version?)");
}

void open_library(platform::DynamicLibrary& lib, const char* logical, const char* file) {
    if (!lib.open(logical)) fail(kExitDevice, std::string(file) + " cannot be loaded: " + lib.error());
}

}  // namespace

#define TK_RESOLVE(lib_, name_, field) resolve(lib, lib_, #field, field)

void KestromLibrary::bind() {
    open_library(lib, "Kestrom.dll", "libKestrom.so");
    const char* n = "libKestrom.so";
    TK_RESOLVE(n, , OpenUSBPort);
    TK_RESOLVE(n, , CloseUSBPort);
    TK_RESOLVE(n, , SetScanWidth);
    TK_RESOLVE(n, , SetScanHeight);
    TK_RESOLVE(n, , SetScanPictureType);
    TK_RESOLVE(n, , SetScanDPI);
    TK_RESOLVE(n, , StartScan);
    TK_RESOLVE(n, , GetBSStatus);
    TK_RESOLVE(n, , ReadPictureData);
    TK_RESOLVE(n, , SaveDataToBmp);
    TK_RESOLVE(n, , SetPrintBuffer);
    TK_RESOLVE(n, , SetCharPrintPosition);
    TK_RESOLVE(n, , SetPicPrintPosition);
    TK_RESOLVE(n, , StartPrint);
    TK_RESOLVE(n, , StartFeedPaper);
    TK_RESOLVE(n, , CorrectFakeJamError);
    TK_RESOLVE(n, , DownLoadPicture);
    TK_RESOLVE(n, , GetBMPNumber);
    TK_RESOLVE(n, , GetBMPName);
    TK_RESOLVE(n, , EraseBMPInFlash);
    TK_RESOLVE(n, , EraseBMPInRam);
    TK_RESOLVE(n, , CISDataCorrect);
    TK_RESOLVE(n, , SensorCorrect);
    TK_RESOLVE(n, , UpdateDeviceFirmware);
    TK_RESOLVE(n, , ReadVersion);
    TK_RESOLVE(n, , GetFirmwareVersion);
    TK_RESOLVE(n, , GetKestromVersion);
}

void SkewtrimLibrary::bind() {
    open_library(lib, "Skewtrim.dll", "libSkewtrim.so");
    const char* n = "libSkewtrim.so";
    TK_RESOLVE(n, , Bitmap_New);
    TK_RESOLVE(n, , Bitmap_Done);
    TK_RESOLVE(n, , GetBWBitmap);
    TK_RESOLVE(n, , ImageSkewtrim);
    TK_RESOLVE(n, , SaveBitmapToFile);
}

void DecodeLibrary::bind() {
    open_library(lib, "decode.dll", "libdecode.so");
    const char* n = "libdecode.so";
    TK_RESOLVE(n, , Decode);
    TK_RESOLVE(n, , GetDecodeVersion);
}

void EmulatorControl::bind(const std::string& path) {
    if (!lib.open(path)) fail(kExitDevice, path + " cannot be loaded: " + lib.error());
    resolve(lib, "libScannerEmulator.so", "Emu_SetTimeScale", SetTimeScale);
    resolve(lib, "libScannerEmulator.so", "Emu_InsertTicketFile", InsertTicketFile);
    resolve(lib, "libScannerEmulator.so", "Emu_GetLastPrintFile", GetLastPrintFile);
}

#undef TK_RESOLVE

void LinkLibrary::open() {
    const char* chosen = std::getenv("PIPEWELL_LIBRARY");
    if (!lib.open(chosen != nullptr && *chosen != '\0' ? chosen : "Pipewell.dll")) return;
    LastError = lib.resolve<int (*)(char*, int)>("PipewellLastError");
}

std::string LinkLibrary::last_error() const {
    if (LastError == nullptr) return "";
    char text[kLinkReasonBytes] = {};
    LastError(text, kLinkReasonBytes);
    text[kLinkReasonBytes - 1] = '\0';
    return text;
}

std::string program_folder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : exe.parent_path().string();
}

std::string find_emulator_library() {
    namespace fs = std::filesystem;
    const fs::path here = program_folder();
    // The runtime package holds only the versioned file; a build or the
    // development package adds the bare name.
    const std::string bare = kEmulatorFile;
    for (const fs::path& folder : {here / ".." / "lib", here / ".." / KIT_INSTALL_LIBDIR}) {
        for (const std::string& name : {bare, platform::versioned_file_name(bare)}) {
            std::error_code error;
            const fs::path candidate = folder / name;
            if (fs::is_regular_file(candidate, error)) return fs::weakly_canonical(candidate, error).string();
        }
    }
    return "";
}

}  // namespace ticketkit
