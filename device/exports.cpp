// The C exports of libKestrom.so: each calls its operation and turns any
// exception (an allocation failure) into the failure value.

#include "device/Kestrom.h"
#include "device/operations.h"
#include "device/port.h"

#define KESTROM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

template <typename Call>
int guarded(Call call) noexcept {
    try {
        return call();
    } catch (...) {
        return 0;
    }
}

}  // namespace

using namespace kestrom;

KESTROM_EXPORT int OpenUSBPort(void) { return guarded([] { return open_port(); }); }
KESTROM_EXPORT void CloseUSBPort(void) { guarded([] { close_port(); return 0; }); }
KESTROM_EXPORT int WritePort(const uint8_t* buf, int length) {
    return guarded([=] { return raw_write(buf, length, true); });
}

KESTROM_EXPORT int SetScanWidth(int border, int width) {
    return guarded([=] { return set_scan_width(border, width); });
}
KESTROM_EXPORT int SetScanHeight(int height) { return guarded([=] { return set_scan_height(height); }); }
KESTROM_EXPORT int SetScanPictureType(int type, int save) {
    return guarded([=] { return set_scan_picture_type(type, save); });
}
KESTROM_EXPORT int SetScanDPI(int linesPerMm, int save) {
    return guarded([=] { return set_scan_dpi(linesPerMm, save); });
}
KESTROM_EXPORT int SetScanMode(int lockScan, int save) {
    return guarded([=] { return set_scan_mode(lockScan, save); });
}
KESTROM_EXPORT int SetThresholdMethord(int method, int value1, int value2, int save) {
    return guarded([=] { return set_threshold_method(method, value1, value2, save); });
}
KESTROM_EXPORT int GetThresholdMethord(int* method, int* value1, int* value2) {
    return guarded([=] { return get_threshold_method(method, value1, value2); });
}
KESTROM_EXPORT int GetScanArea(int* border, int* width, int* height) {
    return guarded([=] { return get_scan_area(border, width, height); });
}
KESTROM_EXPORT int StartScan(int action) { return guarded([=] { return start_scan(action); }); }
KESTROM_EXPORT int AbortScan(void) { return guarded([] { return abort_scan(); }); }
KESTROM_EXPORT int GetBSStatus(int32_t* status22) {
    return guarded([=] { return get_status(status22); });
}
KESTROM_EXPORT int ReadPictureData(uint8_t* buffer, int* lineBytes, int* lines, int* pictureType,
                                   int* linesPerMm) {
    return guarded([=] { return read_picture_data(buffer, lineBytes, lines, pictureType, linesPerMm); });
}
KESTROM_EXPORT int SaveDataToBmp(const uint8_t* data, int lineBytes, int lines,
                                 const char* fileName, int pictureType) {
    return guarded([=] { return save_data_to_bmp(data, lineBytes, lines, fileName, pictureType); });
}

KESTROM_EXPORT int SetPrintDarkness(int darkness, int save) {
    return guarded([=] { return set_print_darkness(darkness, save); });
}
KESTROM_EXPORT int SetPrintBuffer(int height) { return guarded([=] { return set_print_buffer(height); }); }
KESTROM_EXPORT int SetCharPrintPosition(int angle, int hor, int ver, int font, int size,
                                        const char* text) {
    return guarded([=] { return set_char_print_position(angle, hor, ver, font, size, text); });
}
KESTROM_EXPORT int SetPicPrintPosition(int hor, int ver, const char* name) {
    return guarded([=] { return set_pic_print_position(hor, ver, name); });
}
KESTROM_EXPORT int StartPrint(int mode, int after) {
    return guarded([=] { return start_print(mode, after); });
}
KESTROM_EXPORT int GetPaperPosition(int* passed, int* distance) {
    return guarded([=] { return get_paper_position(passed, distance); });
}
KESTROM_EXPORT int StartFeedPaper(int direction, int length) {
    return guarded([=] { return start_feed_paper(direction, length); });
}
KESTROM_EXPORT int CorrectFakeJamError(void) { return guarded([] { return correct_fake_jam_error(); }); }
KESTROM_EXPORT int SetPrinterHeadMode(int mode, int save) {
    return guarded([=] { return set_printer_head_mode(mode, save); });
}
KESTROM_EXPORT int SetDetectPaperTime(int time) {
    return guarded([=] { return set_detect_paper_time(time); });
}

KESTROM_EXPORT int DownLoadPicture(int area, int side, const char* name, const char* bmpFilePath) {
    return guarded([=] { return download_picture(area, side, name, bmpFilePath); });
}
KESTROM_EXPORT int DownLoadPictureEx(int area, int side, const char* name, int width, int height,
                                     int bitsPerPixel, const uint8_t* pixels) {
    return guarded([=] {
        return download_picture_ex(area, side, name, width, height, bitsPerPixel, pixels);
    });
}
KESTROM_EXPORT int GetBMPNumber(int area, int* count, int* freeBytes) {
    return guarded([=] { return get_bmp_number(area, count, freeBytes); });
}
KESTROM_EXPORT int GetBMPName(int area, int index, uint8_t* buffer) {
    return guarded([=] { return get_bmp_name(area, index, buffer); });
}
KESTROM_EXPORT int EraseBMPInFlash(void) { return guarded([] { return erase_bmp_in_flash(); }); }
KESTROM_EXPORT int EraseBMPInRam(void) { return guarded([] { return erase_bmp_in_ram(); }); }
KESTROM_EXPORT int CISDataCorrect(void) { return guarded([] { return cis_data_correct(); }); }
KESTROM_EXPORT int SensorCorrect(void) { return guarded([] { return sensor_correct(); }); }
KESTROM_EXPORT int ResetDev(void) { return guarded([] { return reset_device(); }); }
KESTROM_EXPORT int UpdateOnLine(const char* filePath) {
    return guarded([=] { return update_online(filePath); });
}
KESTROM_EXPORT int UpdateDeviceFirmware(const char* filePath) {
    return guarded([=] { return update_device_firmware(filePath); });
}
KESTROM_EXPORT int ReadVersion(const char* filePath, char* version) {
    return guarded([=] { return read_version(filePath, version); });
}
KESTROM_EXPORT int GetFirmwareVersion(char* buffer) {
    return guarded([=] { return get_firmware_version(buffer); });
}
KESTROM_EXPORT int GetKestromVersion(char* buffer) {
    return guarded([=] { return get_library_version(buffer); });
}
