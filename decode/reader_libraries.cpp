// Run-time binding of the reader libraries.

#include "decode/reader_libraries.h"

namespace decode {

namespace {

// Opens `lib` by `name` unless it is already open; false when the loader cannot find it.
bool ensure_open(platform::DynamicLibrary& lib, const std::string& name) {
    return lib.is_open() || lib.open(name);
}

}  // namespace

const InkmarkEntries* ReaderLibraries::inkmark() {
    if (inkmarkEntries_.plain != nullptr) return &inkmarkEntries_;
    if (!ensure_open(inkmarkLib_, names_.inkmark)) return nullptr;
    InkmarkEntries e;
    e.plain = inkmarkLib_.resolve<MarkReadFn>("OMRead");
    e.reliability = inkmarkLib_.resolve<MarkReadFn>("OMRead_Reliability");
    if (e.plain == nullptr || e.reliability == nullptr) {
        inkmarkLib_.close();
        return nullptr;
    }
    inkmarkEntries_ = e;
    return &inkmarkEntries_;
}

MarkReadFn ReaderLibraries::typemark() {
    if (omreadSp_ != nullptr) return omreadSp_;
    if (!ensure_open(typemarkLib_, names_.typemark)) return nullptr;
    omreadSp_ = typemarkLib_.resolve<MarkReadFn>("OMReadSP");
    if (omreadSp_ == nullptr) typemarkLib_.close();
    return omreadSp_;
}

const BarcodeEntries* ReaderLibraries::barcodes() {
    if (barcodeEntries_.stripescan != nullptr) return &barcodeEntries_;
    if (!ensure_open(stripescanLib_, names_.stripescan) || !ensure_open(stackreadLib_, names_.stackread))
        return nullptr;
    BarcodeEntries e;
    e.stripescan = stripescanLib_.resolve<StripescanFn>("Stripescan");
    e.freeResults = stripescanLib_.resolve<FreeResultsFn>("FreeBarcodeResultMem");
    e.stackread = stackreadLib_.resolve<StackreadFn>("stackread");
    if (e.stripescan == nullptr || e.freeResults == nullptr) {
        stripescanLib_.close();
        return nullptr;
    }
    if (e.stackread == nullptr) {
        stackreadLib_.close();
        return nullptr;
    }
    barcodeEntries_ = e;
    return &barcodeEntries_;
}

}  // namespace decode
