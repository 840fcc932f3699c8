/* A device library with every entry point of the dialog's table except the
 * one named by OMIT_*: for the binding-failure tests. Calls do nothing. */
// clang-format off
#define ENTRY(name) __attribute__((visibility("default"))) int name(void) { return 0; }
ENTRY(OpenUSBPort) ENTRY(WritePort) ENTRY(CloseUSBPort) ENTRY(SetScanWidth) ENTRY(SetScanHeight)
ENTRY(SetScanPictureType) ENTRY(SetScanDPI) ENTRY(SetScanMode) ENTRY(StartScan) ENTRY(AbortScan)
ENTRY(StartFeedPaper) ENTRY(CISDataCorrect) ENTRY(UpdateOnLine) ENTRY(SensorCorrect) ENTRY(ResetDev)
ENTRY(GetScanArea) ENTRY(GetBSStatus) ENTRY(GetPaperPosition) ENTRY(CorrectFakeJamError)
ENTRY(SaveDataToBmp) ENTRY(ReadPictureData) ENTRY(SetPrintDarkness) ENTRY(SetPrintBuffer)
ENTRY(SetPicPrintPosition)
#ifndef OMIT_SET_CHAR_PRINT_POSITION
ENTRY(SetCharPrintPosition)
#endif
ENTRY(StartPrint) ENTRY(DownLoadPicture) ENTRY(DownLoadPictureEx) ENTRY(EraseBMPInFlash)
ENTRY(EraseBMPInRam) ENTRY(GetBMPNumber) ENTRY(GetBMPName) ENTRY(GetFirmwareVersion) ENTRY(ReadVersion)
ENTRY(GetKestromVersion) ENTRY(SetThresholdMethord) ENTRY(GetThresholdMethord)
#ifndef OMIT_SET_PRINTER_HEAD_MODE
ENTRY(SetPrinterHeadMode)
#endif
ENTRY(SetDetectPaperTime) ENTRY(UpdateDeviceFirmware)
    // clang-format on
