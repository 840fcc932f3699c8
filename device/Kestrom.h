/* Kestrom: control library of the TQ-RMX7KP ticket scanner-printer.
 *
 * Results: every function returns 1 on success and 0 on failure (a bad argument, no open
 * connection, a failed transfer, an unexpected reply or device state), except where noted:
 * OpenUSBPort returns a non-zero value on success, CloseUSBPort returns nothing, StartPrint
 * also returns KESTROM_PRINT_PAPER_ERROR (2), GetKestromVersion always returns 1. No function says why it
 * failed; the run log (switch file "recode_run_log.ini" in the current directory at OpenUSBPort) records it.
 *
 * Threads: the library keeps one port connection per process; any thread may call it. Single
 * transfers are serialised inside; a command (a write and its reply read) is not atomic, so
 * callers that send commands from several threads should serialise them.
 *
 * Ownership: the library hands out no memory; callers own every buffer they pass in and size
 * it as stated below. Strings are zero-terminated and sent without their terminator.
 *
 * Units: scan window and print positions in millimetres; the scanner samples 8 dots per
 * millimetre across and 4 or 8 lines per millimetre along the ticket. */
#ifndef KESTROM_H
#define KESTROM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Named values ------------------------------------------------------------------- */

/* Save type, the last argument of the Set... functions that take one. */
#define KESTROM_SAVE_CASUAL 0 /* until the device restarts */
#define KESTROM_SAVE_FIXED 1  /* stored in the device's flash */

/* Picture types (SetScanPictureType, ReadPictureData, SaveDataToBmp). */
#define KESTROM_PICTURE_BLACK_WHITE 0 /* 1 bit per pixel, 8 pixels a byte, bit 1 white */
#define KESTROM_PICTURE_GREY 1        /* 1 byte per pixel, 0 black .. 255 white */

/* Action after scan (StartScan). */
#define KESTROM_AFTER_SCAN_STOP 0  /* hold the ticket */
#define KESTROM_AFTER_SCAN_PRINT 1 /* go on to printing */
#define KESTROM_AFTER_SCAN_EJECT 2 /* out paper */

/* Action after print, the second argument of StartPrint. */
#define KESTROM_AFTER_PRINT_STOP 0
#define KESTROM_AFTER_PRINT_EJECT 1
/* StartPrint's mode argument as every known caller passes it. */
#define KESTROM_PRINT_MODE_DEFAULT 1
/* StartPrint's result when the print stopped with a paper error. */
#define KESTROM_PRINT_PAPER_ERROR 2

/* Text fonts of SetCharPrintPosition: code and the sizes each accepts. */
#define KESTROM_FONT_BYTE 48    /* '0': sizes 0..8 */
#define KESTROM_FONT_ASD 80     /* 'P': sizes 6, 8, 10, 12, 14, 18 */
#define KESTROM_FONT_COURIER 57 /* '9': sizes 0..7 */
#define KESTROM_FONT_BYTE_MAX_SIZE 8
#define KESTROM_FONT_COURIER_MAX_SIZE 7

/* Text angles of SetCharPrintPosition, in quarter turns. */
#define KESTROM_ANGLE_0 0
#define KESTROM_ANGLE_90 1
#define KESTROM_ANGLE_180 2
#define KESTROM_ANGLE_270 3

/* Print head modes of SetPrinterHeadMode. */
#define KESTROM_HEAD_UP_PRINT_DOWN 0
#define KESTROM_HEAD_UP_PRESS_DOWN 1
#define KESTROM_HEAD_DOWN_NO_PRESS_UP 2
#define KESTROM_HEAD_DOWN 3

/* Paper feed directions of StartFeedPaper. */
#define KESTROM_FEED_FORWARD 0 /* out of the front */
#define KESTROM_FEED_BACK 1

/* Stored-bitmap areas and print sides (DownLoadPicture, GetBMPNumber, GetBMPName). */
#define KESTROM_AREA_RAM 0   /* casual area, 'A' */
#define KESTROM_AREA_FLASH 1 /* fixed area, 'B' */
#define KESTROM_SIDE_OBVERSE 0
#define KESTROM_SIDE_REVERSE 1

/* Ranges. */
#define KESTROM_MAX_SCAN_WIDTH_MM 216  /* border + width */
#define KESTROM_MAX_LENGTH_MM 297      /* scan height, print buffer, vertical positions */
#define KESTROM_MAX_PRINT_COLUMN 32    /* horizontal print positions 0..32 */
#define KESTROM_MAX_NAME_CHARS 8       /* stored-bitmap names: 1..8 characters */
#define KESTROM_MAX_BITMAP_WIDTH 256   /* stored bitmaps, pixels */
#define KESTROM_MAX_BITMAP_HEIGHT 2376 /* stored bitmaps, rows */
#define KESTROM_MAX_BITMAP_INDEX 127   /* GetBMPName */

/* Buffer sizes. */
#define KESTROM_PICTURE_BUFFER_BYTES 10485760 /* ReadPictureData's buffer, at least */
#define KESTROM_STATUS_FIELDS 22              /* GetBSStatus: 22 int32_t, a DeviceStatus */
#define KESTROM_FIRMWARE_VERSION_BYTES 15     /* GetFirmwareVersion: 15 bytes, NOT terminated */
#define KESTROM_BMP_NAME_BYTES 10             /* GetBMPName: up to 10 raw reply bytes */
#define KESTROM_FILE_VERSION_BYTES 7          /* ReadVersion: 6 characters and a zero */
#define KESTROM_LIBRARY_VERSION_BYTES 15      /* GetKestromVersion: "V1.01/10/03/17" and a zero */

/* The device status handed out by GetBSStatus: 22 consecutive 32-bit fields, each 0 or 1
 * except scanLinesPerMm (4 or 8). */
typedef struct DeviceStatus {
    int32_t headHot, coverOpen, passageJam, commandError, printPaperError, printDone;
    int32_t scannerIdle, scanning, waiting, printing, feedingPaper, statusError;
    int32_t haveData, scanLinesPerMm, grayPicture, lockScan;
    int32_t paperSensorA, paperSensorB, paperAtPrintHead;
    int32_t statusBit3_4, statusBit3_0, statusBit2_0;
} DeviceStatus;

/* ---- Connection and raw commands ---------------------------------------------------- */

/* Loads the USB link ("Pipewell.dll", or the file named by PIPEWELL_LIBRARY), opens the
 * device and sets its timeouts. Non-zero on success; 0 leaves nothing loaded or open. An open
 * connection is closed and opened anew. */
int OpenUSBPort(void);
/* Closes the connection and unloads the link; harmless when closed. */
void CloseUSBPort(void);
/* Sends `length` (> 0) bytes of `buf` as they are, with link recovery on a failed write. */
int WritePort(const uint8_t* buf, int length);

/* ---- Scan settings, scanning and image upload --------------------------------------- */

/* Scan window across the ticket: border (offset) and width in mm, each 0..216, together at
 * most KESTROM_MAX_SCAN_WIDTH_MM. */
int SetScanWidth(int border, int width);
/* Scan length along the ticket in mm, 0..KESTROM_MAX_LENGTH_MM. */
int SetScanHeight(int height);
/* type: KESTROM_PICTURE_*; save: KESTROM_SAVE_*. */
int SetScanPictureType(int type, int save);
/* linesPerMm: 4 or 8 (100 or 200 dpi along the ticket); save: KESTROM_SAVE_*. */
int SetScanDPI(int linesPerMm, int save);
/* lockScan: 0 or 1; save: KESTROM_SAVE_*. */
int SetScanMode(int lockScan, int save);
/* method: 0; value1, value2: 0..255; save: KESTROM_SAVE_*. (The name is spelled so.) */
int SetThresholdMethord(int method, int value1, int value2, int save);
/* Reads back the threshold method and its two values; all three pointers required. */
int GetThresholdMethord(int* method, int* value1, int* value2);
/* Reads back border and width (mm) and height (mm); all three pointers required. */
int GetScanArea(int* border, int* width, int* height);
/* Starts a scan with the action after it (KESTROM_AFTER_SCAN_*). The scanner must be idle,
 * or hold a ticket with action KESTROM_AFTER_SCAN_STOP and a scan height of 0. */
int StartScan(int action);
/* Stops a running scan. */
int AbortScan(void);
/* Copies the current status into `status22` (KESTROM_STATUS_FIELDS int32_t, or a
 * DeviceStatus cast to int32_t *). */
int GetBSStatus(int32_t* status22);
/* Pulls the scanned picture into `buffer` (at least KESTROM_PICTURE_BUFFER_BYTES): `*lines`
 * rows of `*lineBytes` bytes, top row first, unpadded; `*pictureType` is KESTROM_PICTURE_*,
 * `*linesPerMm` 4 or 8. A black-and-white row is the scan width in mm bytes (8 pixels per
 * byte, bit 1 white); a grey row 8 bytes per mm. Up to 99 bytes after the picture are
 * overwritten. All five pointers required. */
int ReadPictureData(uint8_t* buffer, int* lineBytes, int* lines, int* pictureType, int* linesPerMm);
/* Writes `lines` rows of `lineBytes` bytes at `data` (top row first) as a bottom-up BMP
 * file: 1 bit per pixel with a black, white palette for KESTROM_PICTURE_BLACK_WHITE, 8 bits
 * with a grey palette for KESTROM_PICTURE_GREY. Rows are padded to 4 bytes in the file. */
int SaveDataToBmp(const uint8_t* data, int lineBytes, int lines, const char* fileName, int pictureType);

/* ---- Printing and paper handling ---------------------------------------------------- */

/* darkness: 0..255; save: KESTROM_SAVE_*. */
int SetPrintDarkness(int darkness, int save);
/* Opens a print job of `height` mm (0..KESTROM_MAX_LENGTH_MM); the device must hold a ticket
 * (`waiting`) without an error, and then reports `printing`. */
int SetPrintBuffer(int height);
/* Places a text line: angle KESTROM_ANGLE_*, hor 0..KESTROM_MAX_PRINT_COLUMN,
 * ver 0..KESTROM_MAX_LENGTH_MM mm, font KESTROM_FONT_* with a size it accepts, text required. */
int SetCharPrintPosition(int angle, int hor, int ver, int font, int size, const char* text);
/* Places the stored bitmap `name` (1..KESTROM_MAX_NAME_CHARS characters) at hor, ver as above. */
int SetPicPrintPosition(int hor, int ver, const char* name);
/* Prints the job: mode 0 or 1 (KESTROM_PRINT_MODE_DEFAULT), after KESTROM_AFTER_PRINT_*.
 * 1 printed, KESTROM_PRINT_PAPER_ERROR stopped with a paper error, 0 failed. After anything
 * but 1, eject the ticket with StartFeedPaper(KESTROM_FEED_FORWARD, 0). */
int StartPrint(int mode, int after);
/* The device's paper position: `passed` (reply byte 0) and `distance` (reply bytes 2 and 3,
 * low byte first); both pointers required. */
int GetPaperPosition(int* passed, int* distance);
/* Moves the ticket: direction KESTROM_FEED_*, length 0..255 mm. */
int StartFeedPaper(int direction, int length);
/* Clears a jam or command error indication; 1 when the status then shows neither. */
int CorrectFakeJamError(void);
/* mode: KESTROM_HEAD_*; save: KESTROM_SAVE_*. */
int SetPrinterHeadMode(int mode, int save);
/* Paper-detect time, 0..100 (device units). */
int SetDetectPaperTime(int time);

/* ---- Stored bitmaps, calibration, firmware and versions ----------------------------- */

/* Sends a 1-bit BMP file (pixel data at byte 62, width 1..KESTROM_MAX_BITMAP_WIDTH, height
 * 1..KESTROM_MAX_BITMAP_HEIGHT) to be stored as `name` (1..KESTROM_MAX_NAME_CHARS characters)
 * in `area` (KESTROM_AREA_*) for printing on `side` (KESTROM_SIDE_*). 1 only when the device
 * then counts one more bitmap. */
int DownLoadPicture(int area, int side, const char* name, const char* bmpFilePath);
/* The same from `height` rows of (width + 7) / 8 bytes at `pixels`; bitsPerPixel must be 1.
 * The first row given becomes the bottom row of the stored picture. */
int DownLoadPictureEx(int area, int side, const char* name, int width, int height, int bitsPerPixel,
                      const uint8_t* pixels);
/* Number of bitmaps stored in `area` and the free bytes left there. */
int GetBMPNumber(int area, int* count, int* freeBytes);
/* Up to KESTROM_BMP_NAME_BYTES raw reply bytes for bitmap `index` (0..KESTROM_MAX_BITMAP_INDEX)
 * of `area`; the name starts at buffer[2]. The buffer is NOT terminated: zero it first. */
int GetBMPName(int area, int index, uint8_t* buffer);
/* Erase every stored bitmap of the flash (fixed) or RAM (casual) area. */
int EraseBMPInFlash(void);
int EraseBMPInRam(void);
/* Sensor calibrations; they take seconds. */
int CISDataCorrect(void);
int SensorCorrect(void);
/* Resets the device and reopens the connection; takes several seconds. */
int ResetDev(void);
/* Sends a file unchanged to the device, then reopens the connection. */
int UpdateOnLine(const char* filePath);
/* Loads a firmware file; 1 only when the device then reports the file's version. */
int UpdateDeviceFirmware(const char* filePath);
/* The 6-character version inside a firmware file, with a zero (KESTROM_FILE_VERSION_BYTES). */
int ReadVersion(const char* filePath, char* version);
/* The device's firmware version: exactly KESTROM_FIRMWARE_VERSION_BYTES bytes of text, NOT
 * terminated; give a buffer of at least 16 bytes zeroed first to use it as a string. */
int GetFirmwareVersion(char* buffer);
/* Copies "V1.01/10/03/17" and its zero (KESTROM_LIBRARY_VERSION_BYTES); always 1. */
int GetKestromVersion(char* buffer);

#ifdef __cplusplus
}
#endif

#endif /* KESTROM_H */
