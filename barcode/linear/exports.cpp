// The C exports of libStripescan.so: argument checks and a catch-all around the library.

#include "barcode/linear/Stripescan.h"
#include "barcode/linear/bitmap_io.h"
#include "barcode/linear/decode_bitmap.h"
#include "barcode/linear/image.h"
#include "barcode/linear/line_walk.h"
#include "kit/export.h"

KIT_EXPORT int Stripescan(Bitmap* bitmap, DecodeRequest* request, BarcodeResultList* list) {
    if (!bitmap || !request || !list || request->settingCount <= 0 || !request->settings)
        return STRIPESCAN_FAILED;
    uint8_t** callerRows = bitmap->rows;
    const int result =
        kit::fenced(STRIPESCAN_FAILED, [&] { return stripescan::decode_bitmap(*bitmap, *request, *list); });
    bitmap->rows = callerRows;
    return result;
}

KIT_EXPORT int FreeBarcodeResultMem(BarcodeResultList* list) {
    if (!list || !list->results) {
        if (list) *list = BarcodeResultList{};
        return STRIPESCAN_OK;
    }
    stripescan::free_results(*list);
    return STRIPESCAN_OK;
}

KIT_EXPORT int DrawPolygon(Bitmap* bitmap, const int32_t* points, int count) {
    if (!bitmap || !points || count <= 0) return STRIPESCAN_FAILED;
    if (bitmap->bitCount != 1 || !bitmap->bits || bitmap->width <= 0 || bitmap->height <= 0 ||
        static_cast<long long>(bitmap->stride) * 8 < bitmap->width)
        return STRIPESCAN_FAILED;
    return kit::fenced(STRIPESCAN_FAILED, [&] {
        stripescan::Image image{bitmap->width, bitmap->height, bitmap->stride, bitmap->bits};
        return stripescan::draw_polygon(image, points, count) ? STRIPESCAN_OK : STRIPESCAN_FAILED;
    });
}

KIT_EXPORT int ReadBimapFromFile(Bitmap* bitmap, const char* path) {
    if (!bitmap) return STRIPESCAN_FAILED;
    *bitmap = Bitmap{};
    if (!path) return STRIPESCAN_FAILED;
    const int read =
        kit::fenced(STRIPESCAN_FAILED, [&] { return stripescan::read_bitmap_file(*bitmap, path); });
    if (read == STRIPESCAN_FAILED) stripescan::free_bitmap(*bitmap);
    return read;
}

KIT_EXPORT int SaveBimapToFile(const Bitmap* bitmap, const char* path) {
    if (!bitmap || !path) return STRIPESCAN_FAILED;
    return kit::fenced(STRIPESCAN_FAILED, [&] { return stripescan::save_bitmap_file(*bitmap, path); });
}

KIT_EXPORT int FreeBitmap(Bitmap* bitmap) {
    if (!bitmap) return STRIPESCAN_FAILED;
    stripescan::free_bitmap(*bitmap);
    return STRIPESCAN_OK;
}
