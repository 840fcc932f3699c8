/* Every public header of the kit, included together by a C translation unit: they must
 * compile as C and share one Bitmap record. */
#include <stddef.h>

#include "barcode/linear/Stripescan.h"
#include "barcode/pdf417/Stackread.h"
#include "device/Kestrom.h"
#include "imaging/Skewtrim.h"
#include "marks/handwritten/Inkmark.h"
#include "marks/printed/Typemark.h"

size_t kit_c_bitmap_size(void);
size_t kit_c_bitmap_bits_offset(void);

/* The record's layout as a C caller sees it. */
size_t kit_c_bitmap_size(void) {
    return sizeof(Bitmap);
}
size_t kit_c_bitmap_bits_offset(void) {
    return offsetof(Bitmap, bits);
}
