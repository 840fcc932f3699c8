/* device_session: one ticket through the scanner-printer: wait for it, scan it black and white
 * at 8 lines/mm, save it as Picture.bmp, read its barcodes, print the result on it and eject it.
 *
 *   cc device_session.c $(pkg-config --cflags --libs Kestrom decode) -o device_session
 *   ./device_session                                  # a scanner on USB
 *   PIPEWELL_LIBRARY=/usr/lib/libScannerEmulator.so EMULATOR_TICKETS=tickets ./device_session
 */
#define _POSIX_C_SOURCE 200809L /* nanosleep */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "Decode.h"
#include "Kestrom.h"

enum {
    POLL_MS = 50,
    TIMEOUT_MS = 20000,
    LINES_PER_MM = 8,
    PRINT_AREA_MM = 40,
    TEXT_COLUMN = 2, /* horizontal print position, 0..KESTROM_MAX_PRINT_COLUMN */
    TEXT_ROW_MM = 10,
    TEXT_SIZE = 4 /* 0..KESTROM_FONT_BYTE_MAX_SIZE */
};

static void pause_ms(int ms) {
    struct timespec t = {ms / 1000, (long)(ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

/* Polls the status until field `index` (see DeviceStatus) is 1; 0 on timeout or a failed read. */
static int wait_for(int index) {
    int32_t status[KESTROM_STATUS_FIELDS];
    for (int waited = 0; waited < TIMEOUT_MS; waited += POLL_MS) {
        if (GetBSStatus(status) != 1) return 0;
        if (status[index] == 1) return 1;
        pause_ms(POLL_MS);
    }
    return 0;
}

int main(void) {
    const int scannerIdle = offsetof(DeviceStatus, scannerIdle) / 4;
    const int paperSensorA = offsetof(DeviceStatus, paperSensorA) / 4;
    const int haveData = offsetof(DeviceStatus, haveData) / 4;
    if (OpenUSBPort() == 0) {
        fprintf(stderr, "no scanner: cannot open the USB port\n");
        return 3;
    }
    int rc = 3;
    uint8_t* picture = malloc(KESTROM_PICTURE_BUFFER_BYTES);
    if (picture == NULL) goto done;
    printf("waiting for a ticket...\n");
    if (!wait_for(paperSensorA) || !wait_for(scannerIdle)) {
        fprintf(stderr, "no ticket arrived\n");
        goto done;
    }
    /* The whole width and length, black and white; settings not stored in the device's flash. */
    if (!SetScanWidth(0, KESTROM_MAX_SCAN_WIDTH_MM) || !SetScanHeight(0) ||
        !SetScanPictureType(KESTROM_PICTURE_BLACK_WHITE, KESTROM_SAVE_CASUAL) ||
        !SetScanDPI(LINES_PER_MM, KESTROM_SAVE_CASUAL) || !StartScan(KESTROM_AFTER_SCAN_STOP) ||
        !wait_for(haveData)) {
        fprintf(stderr, "the scan did not start or brought no picture\n");
        goto done;
    }
    int lineBytes = 0, lines = 0, type = 0, linesPerMm = 0;
    if (!ReadPictureData(picture, &lineBytes, &lines, &type, &linesPerMm) ||
        !SaveDataToBmp(picture, lineBytes, lines, "Picture.bmp", type)) {
        fprintf(stderr, "reading or saving the picture failed\n");
        goto done;
    }
    printf("scanned %d x %d at %d lines/mm: Picture.bmp\n", lineBytes * 8, lines, linesPerMm);

    int kind = DECODE_KIND_BARCODES, out = linesPerMm;
    char text[DECODE_TEXT_CAPACITY];
    const int read = Decode(picture, lineBytes * 8, lines, &kind, &out, text);
    printf("%s", read ? text : "nothing read\n");

    char line[64];
    snprintf(line, sizeof line, read ? "READ %d SYMBOL(S)" : "NOT READ", out);
    if (!SetPrintBuffer(PRINT_AREA_MM) ||
        !SetCharPrintPosition(KESTROM_ANGLE_0, TEXT_COLUMN, TEXT_ROW_MM, KESTROM_FONT_BYTE, TEXT_SIZE,
                              line) ||
        StartPrint(KESTROM_PRINT_MODE_DEFAULT, KESTROM_AFTER_PRINT_EJECT) != 1) {
        fprintf(stderr, "printing failed; feeding the ticket out\n");
        StartFeedPaper(KESTROM_FEED_FORWARD, 0);
        goto done;
    }
    printf("printed \"%s\" and ejected the ticket\n", line);
    rc = read ? 0 : 1;
done:
    free(picture);
    CloseUSBPort();
    return rc;
}
