#include "demo/status_text.h"

namespace tellerdesk {

std::string status_text(const DeviceStatus& s) {
    std::string t = s.headHot == 1 ? "Print header:hot" : "Print header:normal";
    t += s.coverOpen ? "\r\nCover:opened" : "\r\nCover:closed";
    t += s.passageJam ? "\r\nPassage:jam" : "\r\nPassage:expedite";
    t += s.commandError ? "\r\nCommand:error" : "\r\nCommand:normal";
    if (s.scanLinesPerMm == 4) t += "\r\nScan DPI:100";
    if (s.scanLinesPerMm == 8) t += "\r\nScan DPI:200";
    t += s.grayPicture ? "\r\nPicture:gray" : "\r\nPicture:black white";
    t += s.lockScan ? "\r\nMode: LockScan" : "\r\nMode: No-LockScan";
    if (s.scannerIdle == 1) t += "\r\nScanner:Idle";
    if (s.scanning == 1) t += "\r\nScanning";
    if (s.waiting == 1) t += "\r\nWaiting";
    if (s.printing == 1) t += "\r\nPritning";
    if (s.feedingPaper == 1) t += "\r\nFeeding paper";
    if (s.statusError == 1) t += "\r\nStatus error";
    if (s.haveData == 1) t += "\r\nHave date";
    return t;
}

}  // namespace tellerdesk
