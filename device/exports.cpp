// The C exports of libKestrom.so: each calls its operation and turns any
// exception (an allocation failure) into the failure value.

#include "device/Kestrom.h"
#include "device/operations.h"
#include "device/port.h"
#include "kit/export.h"

using namespace kestrom;

KIT_EXPORT int OpenUSBPort(void) {
    return kit::fenced(0, [] { return open_port(); });
}
KIT_EXPORT void CloseUSBPort(void) {
    kit::fenced([] { close_port(); });
}
KIT_EXPORT int WritePort(const uint8_t* buf, int length) {
    return kit::fenced(0, [=] { return raw_write(buf, length, true); });
}

KIT_EXPORT int SetScanWidth(int border, int width) {
    return kit::fenced(0, [=] { return set_scan_width(border, width); });
}
KIT_EXPORT int SetScanHeight(int height) {
    return kit::fenced(0, [=] { return set_scan_height(height); });
}
KIT_EXPORT int SetScanPictureType(int type, int save) {
    return kit::fenced(0, [=] { return set_scan_picture_type(type, save); });
}
KIT_EXPORT int SetScanDPI(int linesPerMm, int save) {
    return kit::fenced(0, [=] { return set_scan_dpi(linesPerMm, save); });
}
KIT_EXPORT int SetScanMode(int lockScan, int save) {
    return kit::fenced(0, [=] { return set_scan_mode(lockScan, save); });
}
KIT_EXPORT int SetThresholdMethord(int method, int value1, int value2, int save) {
    return kit::fenced(0, [=] { return set_threshold_method(method, value1, value2, save); });
}
KIT_EXPORT int GetThresholdMethord(int* method, int* value1, int* value2) {
    return kit::fenced(0, [=] { return get_threshold_method(method, value1, value2); });
}
KIT_EXPORT int GetScanArea(int* border, int* width, int* height) {
    return kit::fenced(0, [=] { return get_scan_area(border, width, height); });
}
KIT_EXPORT int StartScan(int action) {
    return kit::fenced(0, [=] { return start_scan(action); });
}
KIT_EXPORT int AbortScan(void) {
    return kit::fenced(0, [] { return abort_scan(); });
}
KIT_EXPORT int GetBSStatus(int32_t* status22) {
    return kit::fenced(0, [=] { return get_status(status22); });
}
KIT_EXPORT int ReadPictureData(uint8_t* buffer, int* lineBytes, int* lines, int* pictureType,
                               int* linesPerMm) {
    return kit::fenced(0,
                       [=] { return read_picture_data(buffer, lineBytes, lines, pictureType, linesPerMm); });
}
KIT_EXPORT int SaveDataToBmp(const uint8_t* data, int lineBytes, int lines, const char* fileName,
                             int pictureType) {
    return kit::fenced(0, [=] { return save_data_to_bmp(data, lineBytes, lines, fileName, pictureType); });
}

KIT_EXPORT int SetPrintDarkness(int darkness, int save) {
    return kit::fenced(0, [=] { return set_print_darkness(darkness, save); });
}
KIT_EXPORT int SetPrintBuffer(int height) {
    return kit::fenced(0, [=] { return set_print_buffer(height); });
}
KIT_EXPORT int SetCharPrintPosition(int angle, int hor, int ver, int font, int size, const char* text) {
    return kit::fenced(0, [=] { return set_char_print_position(angle, hor, ver, font, size, text); });
}
KIT_EXPORT int SetPicPrintPosition(int hor, int ver, const char* name) {
    return kit::fenced(0, [=] { return set_pic_print_position(hor, ver, name); });
}
KIT_EXPORT int StartPrint(int mode, int after) {
    return kit::fenced(0, [=] { return start_print(mode, after); });
}
KIT_EXPORT int GetPaperPosition(int* passed, int* distance) {
    return kit::fenced(0, [=] { return get_paper_position(passed, distance); });
}
KIT_EXPORT int StartFeedPaper(int direction, int length) {
    return kit::fenced(0, [=] { return start_feed_paper(direction, length); });
}
KIT_EXPORT int CorrectFakeJamError(void) {
    return kit::fenced(0, [] { return correct_fake_jam_error(); });
}
KIT_EXPORT int SetPrinterHeadMode(int mode, int save) {
    return kit::fenced(0, [=] { return set_printer_head_mode(mode, save); });
}
KIT_EXPORT int SetDetectPaperTime(int time) {
    return kit::fenced(0, [=] { return set_detect_paper_time(time); });
}

KIT_EXPORT int DownLoadPicture(int area, int side, const char* name, const char* bmpFilePath) {
    return kit::fenced(0, [=] { return download_picture(area, side, name, bmpFilePath); });
}
KIT_EXPORT int DownLoadPictureEx(int area, int side, const char* name, int width, int height,
                                 int bitsPerPixel, const uint8_t* pixels) {
    return kit::fenced(
        0, [=] { return download_picture_ex(area, side, name, width, height, bitsPerPixel, pixels); });
}
KIT_EXPORT int GetBMPNumber(int area, int* count, int* freeBytes) {
    return kit::fenced(0, [=] { return get_bmp_number(area, count, freeBytes); });
}
KIT_EXPORT int GetBMPName(int area, int index, uint8_t* buffer) {
    return kit::fenced(0, [=] { return get_bmp_name(area, index, buffer); });
}
KIT_EXPORT int EraseBMPInFlash(void) {
    return kit::fenced(0, [] { return erase_bmp_in_flash(); });
}
KIT_EXPORT int EraseBMPInRam(void) {
    return kit::fenced(0, [] { return erase_bmp_in_ram(); });
}
KIT_EXPORT int CISDataCorrect(void) {
    return kit::fenced(0, [] { return cis_data_correct(); });
}
KIT_EXPORT int SensorCorrect(void) {
    return kit::fenced(0, [] { return sensor_correct(); });
}
KIT_EXPORT int ResetDev(void) {
    return kit::fenced(0, [] { return reset_device(); });
}
KIT_EXPORT int UpdateOnLine(const char* filePath) {
    return kit::fenced(0, [=] { return update_online(filePath); });
}
KIT_EXPORT int UpdateDeviceFirmware(const char* filePath) {
    return kit::fenced(0, [=] { return update_device_firmware(filePath); });
}
KIT_EXPORT int ReadVersion(const char* filePath, char* version) {
    return kit::fenced(0, [=] { return read_version(filePath, version); });
}
KIT_EXPORT int GetFirmwareVersion(char* buffer) {
    return kit::fenced(0, [=] { return get_firmware_version(buffer); });
}
KIT_EXPORT int GetKestromVersion(char* buffer) {
    return kit::fenced(0, [=] { return get_library_version(buffer); });
}
