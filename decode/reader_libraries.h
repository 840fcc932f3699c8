#pragma once
// The four reader libraries the dispatcher drives, bound by logical name at run time. Each
// library is opened on the first call that needs it and kept open for the life of the binding;
// a library that cannot be opened (or lacks an entry point) is looked for again next time.

#include <cstdint>
#include <string>

#include "barcode/linear/Stripescan.h"
#include "platform/dynamic_library.h"

namespace decode {

// Logical names ("X.dll") or file names of the readers. The defaults are the kit's libraries;
// tests name a missing file to see one reader absent.
struct ReaderNames {
    std::string inkmark = "Inkmark.dll";
    std::string typemark = "Typemark.dll";
    std::string stripescan = "Stripescan.dll";
    std::string stackread = "Stackread.dll";
};

using MarkReadFn = int (*)(const std::uint8_t*, int*, int, int, int, int, char*);
using StripescanFn = int (*)(Bitmap*, DecodeRequest*, BarcodeResultList*);
using FreeResultsFn = int (*)(BarcodeResultList*);
using StackreadFn = int (*)(const std::uint8_t*, int, int, std::uint8_t*, int*, int);

struct InkmarkEntries {
    MarkReadFn plain = nullptr;        // OMRead
    MarkReadFn reliability = nullptr;  // OMRead_Reliability
};

struct BarcodeEntries {
    StripescanFn stripescan = nullptr;
    FreeResultsFn freeResults = nullptr;  // FreeBarcodeResultMem
    StackreadFn stackread = nullptr;
};

class ReaderLibraries {
public:
    explicit ReaderLibraries(ReaderNames names = {}) : names_(std::move(names)) {}

    // Binds the library (or libraries) of a family; nullptr when one cannot be opened or lacks an
    // entry point. The entries stay valid while this object lives.
    const InkmarkEntries* inkmark();
    MarkReadFn typemark();  // OMReadSP
    const BarcodeEntries* barcodes();

private:
    ReaderNames names_;
    platform::DynamicLibrary inkmarkLib_, typemarkLib_, stripescanLib_, stackreadLib_;
    InkmarkEntries inkmarkEntries_;
    MarkReadFn omreadSp_ = nullptr;
    BarcodeEntries barcodeEntries_;
};

}  // namespace decode
