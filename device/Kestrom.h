/* Kestrom: control library of the TQ-RMX7KP ticket scanner-printer.
 *
 * Every function returns 1 on success and 0 on failure unless noted. The
 * library keeps one port connection per process; any thread may call it.
 * Callers own every buffer they pass in. */
#ifndef KESTROM_H
#define KESTROM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The device status handed out by GetBSStatus: 22 consecutive 32-bit fields. */
typedef struct DeviceStatus {
    int32_t headHot, coverOpen, passageJam, commandError, printPaperError, printDone;
    int32_t scannerIdle, scanning, waiting, printing, feedingPaper, statusError;
    int32_t haveData, scanLinesPerMm, grayPicture, lockScan;
    int32_t paperSensorA, paperSensorB, paperAtPrintHead;
    int32_t statusBit3_4, statusBit3_0, statusBit2_0;
} DeviceStatus;

/* Connection and raw commands. OpenUSBPort returns non-zero on success. */
int  OpenUSBPort(void);
void CloseUSBPort(void);
int  WritePort(const uint8_t *buf, int length);

/* Scan settings, scanning and image upload. */
int  SetScanWidth(int border, int width);
int  SetScanHeight(int height);
int  SetScanPictureType(int type, int save);
int  SetScanDPI(int linesPerMm, int save);
int  SetScanMode(int lockScan, int save);
int  SetThresholdMethord(int method, int value1, int value2, int save);
int  GetThresholdMethord(int *method, int *value1, int *value2);
int  GetScanArea(int *border, int *width, int *height);
int  StartScan(int action);
int  AbortScan(void);
int  GetBSStatus(int32_t *status22);
/* buffer: at least 10,485,760 bytes. */
int  ReadPictureData(uint8_t *buffer, int *lineBytes, int *lines, int *pictureType, int *linesPerMm);
int  SaveDataToBmp(const uint8_t *data, int lineBytes, int lines, const char *fileName, int pictureType);

/* Printing and paper handling. StartPrint returns 2 when stopped by a paper error. */
int  SetPrintDarkness(int darkness, int save);
int  SetPrintBuffer(int height);
int  SetCharPrintPosition(int angle, int hor, int ver, int font, int size, const char *text);
int  SetPicPrintPosition(int hor, int ver, const char *name);
int  StartPrint(int mode, int after);
int  GetPaperPosition(int *passed, int *distance);
int  StartFeedPaper(int direction, int length);
int  CorrectFakeJamError(void);
int  SetPrinterHeadMode(int mode, int save);
int  SetDetectPaperTime(int time);

/* Stored bitmaps, calibration, firmware and versions. */
int  DownLoadPicture(int area, int side, const char *name, const char *bmpFilePath);
int  DownLoadPictureEx(int area, int side, const char *name, int width, int height,
                       int bitsPerPixel, const uint8_t *pixels);
int  GetBMPNumber(int area, int *count, int *freeBytes);
int  GetBMPName(int area, int index, uint8_t *buffer);
int  EraseBMPInFlash(void);
int  EraseBMPInRam(void);
int  CISDataCorrect(void);
int  SensorCorrect(void);
int  ResetDev(void);
int  UpdateOnLine(const char *filePath);
int  UpdateDeviceFirmware(const char *filePath);
int  ReadVersion(const char *filePath, char *version);
int  GetFirmwareVersion(char *buffer);
int  GetKestromVersion(char *buffer);

#ifdef __cplusplus
}
#endif

#endif /* KESTROM_H */
