#pragma once
// What the operator has chosen in the dialog, as plain values: the dialog
// keeps one copy up to date and the workers read copies of it, so no thread
// but the dialog's ever touches a widget. Also the contents of every list and
// the presets that a scan type brings.

#include <string>
#include <vector>

namespace tellerdesk {

enum ScanType {
    kManuscriptOmr = 0,
    kBarCode = 1,
    kPrintedOmr = 2,
    kManuscriptReliability = 3,
    kScanPicture = 4
};
enum ActionAfterScan { kAfterScanStop = 0, kAfterScanPrint = 1, kAfterScanOutPaper = 2 };
enum FontType { kFontByte = 0, kFontAsd = 1, kFontCourier = 2 };

struct FormState {
    // Scan: edit lists hold their text, lists their selection index.
    std::string border = "0", scanWidth = "216", scanHeight = "0", printBuffer = "100";
    int pictureType = 0;  // 0 Black White, 1 Gray
    int dpi = 1;          // 0 "100", 1 "200"
    int saveType = 0;     // 0 Casual, 1 Fixed
    int scanType = kScanPicture;
    int actionAfterScan = kAfterScanOutPaper;
    int actionAfterPrint = 1;  // 0 Stop, 1 Out paper
    // Print content.
    bool printPicture = false, printCharacter = false, autoPrint = true;
    std::string pictureName;
    std::string picHor = "0", picVer = "20";
    int angle = 0;
    std::string charHor = "0", charVer = "10";
    int fontType = kFontByte;
    int fontSize = 4;
    std::string content = "Hello";
    // Paper, device settings.
    int feedDirection = 0;
    std::string feedLength = "0";
    int scanMode = 1;  // 0 No-LockScan, 1 LockScan
    std::string bitmapName = "PicName";
    int bitmapSide = 0;  // 0 Obverse, 1 Reverse
    std::string darkness = "160";
    int thresholdMethod = 0;
    std::string value1 = "160", value2 = "95";
    int tphMode = 0;
    int detectTime = 20;  // index into "0".."100"
};

// The edit-list convention: the leading decimal integer of the text, 0 when
// there is none (as the operator may type anything).
int to_int(const std::string& text);

// "first".."last" as decimal texts; with `width`, zero-padded to that width.
std::vector<std::string> number_list(int first, int last, int width = 0);

// The lists' fixed contents.
std::vector<std::string> picture_types();
std::vector<std::string> scan_dpis();
std::vector<std::string> save_types();
std::vector<std::string> scan_types();
std::vector<std::string> actions_after_scan();
std::vector<std::string> actions_after_print();
std::vector<std::string> angles();
std::vector<std::string> font_types();
std::vector<std::string> feed_directions();
std::vector<std::string> scan_modes();
std::vector<std::string> bitmap_sides();
std::vector<std::string> threshold_methods();
std::vector<std::string> tph_modes();

// The sizes offered for a font type: "000".."008" for byte, "P06".."P18" for
// ASD, "000".."007" for Courier.
std::vector<std::string> font_sizes(int fontType);

// The device's font code and size for the chosen font type and size index:
// codes 48, 80, 57; ASD sizes 6, 8, 10, 12, 14, 18 by index, others the index.
int font_code(int fontType);
int font_size_value(int fontType, int sizeIndex);

// Applies the presets a scan type brings (picture type, DPI, scan height,
// action after scan) to `form`.
void apply_scan_type_presets(FormState& form, int scanType);

// The recognition kind the dispatcher is given for a scan type; -1 for Scan Picture.
int recognition_kind(int scanType);

}  // namespace tellerdesk
