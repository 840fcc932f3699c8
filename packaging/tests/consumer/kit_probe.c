/* A user's program built against the installed kit: it calls the image
 * library and the device library directly and prints what they answer. */
#include <Kestrom.h>
#include <Skewtrim.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    Bitmap bmp;
    memset(&bmp, 0, sizeof bmp);
    if (Bitmap_New(&bmp, 24, 8, 1, 1) != 0 || bmp.width != 24 || bmp.height != 8) {
        fprintf(stderr, "Bitmap_New failed\n");
        return 1;
    }
    Bitmap_Done(&bmp);
    char version[64] = {0};
    if (GetKestromVersion(version) != 1) {
        fprintf(stderr, "GetKestromVersion failed\n");
        return 1;
    }
    printf("kit_probe: bitmap 24x8 ok, Kestrom %s\n", version);
    return 0;
}
