#pragma once
// The library's operations, one per export, over the port layer. Each returns
// 1 on success and 0 on failure (start_print also KESTROM_PRINT_PAPER_ERROR) and
// never throws except on allocation failure, which the export wrappers turn into 0.

#include <cstdint>

namespace kestrom {

// A yes/no argument (save type, flags, areas and sides): 0 or 1.
inline bool is_flag(int v) {
    return v == 0 || v == 1;
}

// Scanning (scan.cpp, picture_upload.cpp, bmp_writer.cpp).
int set_scan_width(int border, int width);
int set_scan_height(int height);
int set_scan_picture_type(int type, int save);
int set_scan_dpi(int linesPerMm, int save);
int set_scan_mode(int lockScan, int save);
int set_threshold_method(int method, int value1, int value2, int save);
int get_threshold_method(int* method, int* value1, int* value2);
int get_scan_area(int* border, int* width, int* height);
int start_scan(int action);
int abort_scan();
int get_status(std::int32_t* status22);
int read_picture_data(std::uint8_t* buffer, int* lineBytes, int* lines, int* pictureType, int* linesPerMm);
int save_data_to_bmp(const std::uint8_t* data, int lineBytes, int lines, const char* fileName,
                     int pictureType);

// Printing and paper (print.cpp).
int set_print_darkness(int darkness, int save);
int set_print_buffer(int height);
int set_char_print_position(int angle, int hor, int ver, int font, int size, const char* text);
int set_pic_print_position(int hor, int ver, const char* name);
int start_print(int mode, int after);
int get_paper_position(int* passed, int* distance);
int start_feed_paper(int direction, int length);
int correct_fake_jam_error();
int set_printer_head_mode(int mode, int save);
int set_detect_paper_time(int time);

// Stored bitmaps (stored_bitmaps.cpp).
int download_picture(int area, int side, const char* name, const char* bmpFilePath);
int download_picture_ex(int area, int side, const char* name, int width, int height, int bitsPerPixel,
                        const std::uint8_t* pixels);
int get_bmp_number(int area, int* count, int* freeBytes);
int get_bmp_name(int area, int index, std::uint8_t* buffer);
int erase_bmp_in_flash();
int erase_bmp_in_ram();

// Calibration, reset, firmware and versions (maintenance.cpp).
int cis_data_correct();
int sensor_correct();
int reset_device();
int update_online(const char* filePath);
int update_device_firmware(const char* filePath);
int read_version(const char* filePath, char* version);
int get_firmware_version(char* buffer);
int get_library_version(char* buffer);

}  // namespace kestrom
