// The C exports of libStripescan.so: argument checks and a catch-all around the library.

#include "barcode/linear/Stripescan.h"
#include "barcode/linear/bitmap_io.h"
#include "barcode/linear/decode_bitmap.h"
#include "barcode/linear/image.h"
#include "barcode/linear/line_walk.h"
#include "kit/export.h"

KIT_EXPORT int Stripescan(Bitmap* bitmap, DecodeRequest* request, BarcodeResultList* list) {
    if (!bitmap || !request || !list || request->settingCount <= 0 || !request->settings) return 0;
    uint8_t** caller_rows = bitmap->rows;
    const int result = kit::fenced(0, [&] { return stripescan::decode_bitmap(*bitmap, *request, *list); });
    bitmap->rows = caller_rows;
    return result;
}

KIT_EXPORT int FreeBarcodeResultMem(BarcodeResultList* list) {
    if (!list || !list->results) {
        if (list) *list = BarcodeResultList{};
        return 1;
    }
    stripescan::free_results(*list);
    return 1;
}

KIT_EXPORT int DrawPolygon(Bitmap* bitmap, const int32_t* points, int count) {
    if (!bitmap || !points || count <= 0) return 0;
    if (bitmap->bitCount != 1 || !bitmap->bits || bitmap->width <= 0 || bitmap->height <= 0 ||
        static_cast<long long>(bitmap->stride) * 8 < bitmap->width)
        return 0;
    return kit::fenced(0, [&] {
        stripescan::Image image{bitmap->width, bitmap->height, bitmap->stride, bitmap->bits};
        return stripescan::draw_polygon(image, points, count) ? 1 : 0;
    });
}

KIT_EXPORT int ReadBimapFromFile(Bitmap* bitmap, const char* path) {
    if (!bitmap) return 0;
    *bitmap = Bitmap{};
    if (!path) return 0;
    const int read = kit::fenced(0, [&] { return stripescan::read_bitmap_file(*bitmap, path); });
    if (read == 0) stripescan::free_bitmap(*bitmap);
    return read;
}

KIT_EXPORT int SaveBimapToFile(const Bitmap* bitmap, const char* path) {
    if (!bitmap || !path) return 0;
    return kit::fenced(0, [&] { return stripescan::save_bitmap_file(*bitmap, path); });
}

KIT_EXPORT int FreeBitmap(Bitmap* bitmap) {
    if (!bitmap) return 0;
    stripescan::free_bitmap(*bitmap);
    return 1;
}
