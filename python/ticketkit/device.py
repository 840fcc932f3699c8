"""The TQ-RMX7KP scanner-printer through libKestrom.

``Device`` opens the port on construction (or ``open()``), closes it on ``close()``
or at the end of a ``with`` block, and raises a ``DeviceError`` naming the call,
its arguments and the reason instead of answering 0. libKestrom keeps one
connection per process, so only one ``Device`` may be open at a time.
"""
from __future__ import annotations

import ctypes
import dataclasses
import os
import threading
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Any, Callable, List, Optional, Sequence, Tuple, Union

import numpy as np

from . import _libraries, images
from .errors import DeviceError, DeviceTimeout, PaperError

PathLike = Union[str, "os.PathLike[str]"]
ProgressCallback = Callable[[float], None]

# libKestrom needs a picture buffer of at least this many bytes.
PICTURE_BUFFER_BYTES = 10_485_760
# ReadPictureData writes up to 99 filler bytes after the picture; room for them.
PICTURE_BUFFER_SLACK = 4096
# Pause between two status polls while waiting for the device (seconds).
POLL_INTERVAL_S = 0.02
# Expected durations of the long operations (seconds), for progress estimates.
CIS_CALIBRATION_S = 4.0
SENSOR_CALIBRATION_S = 6.5
RESTART_S = 8.0
# How often a progress callback is called while a long operation runs (seconds).
PROGRESS_INTERVAL_S = 0.1

# Text fonts: code -> accepted sizes.
FONT_BYTE, FONT_ASD, FONT_COURIER = 48, 80, 57
FONT_SIZES = {FONT_BYTE: range(0, 9), FONT_ASD: (6, 8, 10, 12, 14, 18), FONT_COURIER: range(0, 8)}
_FONT_NAMES = {"byte": FONT_BYTE, "asd": FONT_ASD, "courier": FONT_COURIER}

# Action after a scan.
AFTER_SCAN_STOP, AFTER_SCAN_PRINT, AFTER_SCAN_EJECT = 0, 1, 2
# Action after a print.
AFTER_PRINT_STOP, AFTER_PRINT_EJECT = 0, 1
# Stored-bitmap areas.
AREA_RAM, AREA_FLASH = 0, 1

_RUN_LOG_SWITCH = "recode_run_log.ini"
_RUN_LOG_FOLDER = "scanner_log"
# Run-log lines quoted in an error reason.
_RUN_LOG_LINES = 4


@dataclass(frozen=True)
class DeviceStatus:
    """The device status as GetBSStatus hands it out: 22 fields, each 0 or 1
    except ``scanLinesPerMm`` (4 or 8)."""
    headHot: int
    coverOpen: int
    passageJam: int
    commandError: int
    printPaperError: int
    printDone: int
    scannerIdle: int
    scanning: int
    waiting: int
    printing: int
    feedingPaper: int
    statusError: int
    haveData: int
    scanLinesPerMm: int
    grayPicture: int
    lockScan: int
    paperSensorA: int
    paperSensorB: int
    paperAtPrintHead: int
    statusBit3_4: int
    statusBit3_0: int
    statusBit2_0: int

    @property
    def paper_at_entry(self) -> bool:
        """A ticket is at one of the entry paper sensors."""
        return bool(self.paperSensorA or self.paperSensorB)

    def describe(self) -> str:
        """The fields that signal a problem or a state, as short words."""
        words = {
            "headHot": "print head hot", "coverOpen": "cover open", "passageJam": "paper jam",
            "commandError": "command rejected", "printPaperError": "no paper at print head",
            "statusError": "device error state", "scanning": "scanning", "waiting": "holding a ticket",
            "printing": "print pending", "feedingPaper": "feeding paper", "scannerIdle": "idle",
            "haveData": "image data ready",
        }
        shown = [text for field, text in words.items() if getattr(self, field)]
        return ", ".join(shown) if shown else "no state bits set"


STATUS_FIELDS = tuple(f.name for f in dataclasses.fields(DeviceStatus))


@dataclass
class Picture:
    """A scanned picture as ReadPictureData leaves it: ``lines`` rows of
    ``line_bytes`` bytes, top row first; black-and-white rows are packed 1-bit
    (bit 1 = white), grey rows one byte per pixel."""
    data: bytes
    line_bytes: int
    lines: int
    grey: bool
    lines_per_mm: int

    @property
    def width(self) -> int:
        """Pixels per row (8 dots per millimetre across)."""
        return self.line_bytes if self.grey else self.line_bytes * 8

    @property
    def height(self) -> int:
        return self.lines

    def to_numpy(self) -> np.ndarray:
        """2-D uint8 array of grey levels (black-and-white as 0 and 255)."""
        if self.grey:
            return np.frombuffer(self.data, dtype=np.uint8,
                                 count=self.line_bytes * self.lines).reshape(self.lines, self.line_bytes).copy()
        return images.unpack_rows(self.data, self.line_bytes, self.lines)

    def to_image(self) -> Any:
        """Pillow image: mode "1" for black-and-white, "L" for grey."""
        return images.to_pil(self.to_numpy(), black_and_white=not self.grey)


def _status_from(values: Sequence[int]) -> DeviceStatus:
    return DeviceStatus(*[int(v) for v in values])


class Device:
    """The scanner-printer. ``Device()`` opens the port; ``Device(emulator=True)``
    puts the software scanner-printer (libScannerEmulator.so) behind it, as setting
    ``PIPEWELL_LIBRARY`` does. Use it as a context manager to close the port."""

    _open_lock = threading.Lock()
    _open_device: Optional["Device"] = None

    def __init__(self, emulator: bool = False, open: bool = True) -> None:
        self._kestrom = _libraries.load("Kestrom")
        self._is_open = False
        self.emulator = None
        self._link: Optional[str] = None
        self._saved_link: Optional[str] = None
        if emulator:
            from .emulator import Emulator

            # Holding the emulator loaded keeps its state across port closes.
            self.emulator = Emulator()
            self._link = self.emulator.path
        if open:
            self.open()

    # ---- connection -------------------------------------------------------

    def open(self) -> "Device":
        """Opens the port; raises DeviceError when the device cannot be reached
        or another Device of this process holds the port."""
        with Device._open_lock:
            if self._is_open:
                return self
            if Device._open_device is not None:
                raise DeviceError("OpenUSBPort", (), "another Device of this process holds the port; close it first")
            # The device library reads the link library's name at every open, its
            # own reopens included, so the emulator stays named while the port is open.
            if self._link is not None:
                self._saved_link = os.environ.get("PIPEWELL_LIBRARY")
                os.environ["PIPEWELL_LIBRARY"] = self._link
            result = self._kestrom.OpenUSBPort()
            if result == 0:
                link = os.environ.get("PIPEWELL_LIBRARY", "libPipewell.so")
                self._restore_link()
                raise DeviceError("OpenUSBPort", (), f"no device answered through {link}" + self._log_reason())
            self._is_open = True
            Device._open_device = self
        return self

    def close(self) -> None:
        """Closes the port (nothing when already closed)."""
        with Device._open_lock:
            if self._is_open:
                self._kestrom.CloseUSBPort()
                self._is_open = False
                Device._open_device = None
                self._restore_link()

    def _restore_link(self) -> None:
        """Puts PIPEWELL_LIBRARY back as it was before an emulator Device opened."""
        if self._link is None:
            return
        if self._saved_link is None:
            os.environ.pop("PIPEWELL_LIBRARY", None)
        else:
            os.environ["PIPEWELL_LIBRARY"] = self._saved_link

    @property
    def is_open(self) -> bool:
        return self._is_open

    def __enter__(self) -> "Device":
        return self.open()

    def __exit__(self, *exc: Any) -> None:
        self.close()

    def __del__(self) -> None:
        try:
            self.close()
        except Exception:
            pass

    # ---- failure reasons --------------------------------------------------

    def _log_reason(self) -> str:
        """The last lines of the run log, when the run log is switched on."""
        if not Path(_RUN_LOG_SWITCH).is_file():
            return ""
        logs = sorted(Path(_RUN_LOG_FOLDER).glob("*.log"), key=lambda p: p.stat().st_mtime)
        if not logs:
            return ""
        try:
            lines = [l.strip() for l in logs[-1].read_text(errors="replace").splitlines() if l.strip()]
        except OSError:
            return ""
        return "; run log: " + " | ".join(lines[-_RUN_LOG_LINES:])

    def _fail(self, call: str, arguments: Sequence[Any], result: Optional[int] = None,
              error: type = DeviceError, reason: str = "") -> DeviceError:
        """A DeviceError for a failed call, with the device status read afterwards."""
        status = None
        if not self._is_open:
            reason = reason or "the port is not open"
        else:
            values = (ctypes.c_int32 * 22)()
            if self._kestrom.GetBSStatus(values):
                status = _status_from(values)
                reason = (reason + "; " if reason else "") + "device reports: " + status.describe()
            else:
                reason = (reason + "; " if reason else "") + "the device status could not be read"
        return error(call, arguments, reason + self._log_reason(), status, result)

    def _call(self, name: str, *arguments: Any, shown: Optional[Sequence[Any]] = None) -> int:
        """Calls a libKestrom export; raises DeviceError when it answers 0."""
        self._require_open(name, shown if shown is not None else arguments)
        result = getattr(self._kestrom, name)(*arguments)
        if result == 0:
            raise self._fail(name, shown if shown is not None else arguments, result)
        return result

    def _require_open(self, name: str, arguments: Sequence[Any]) -> None:
        if not self._is_open:
            raise DeviceError(name, arguments, "the port is not open")

    @staticmethod
    def _check(name: str, arguments: Sequence[Any], ok: bool, what: str) -> None:
        if not ok:
            raise ValueError(f"{name}{tuple(arguments)}: {what}")

    # ---- status -----------------------------------------------------------

    def status(self) -> DeviceStatus:
        """The device status (22 fields)."""
        self._require_open("GetBSStatus", ())
        values = (ctypes.c_int32 * 22)()
        if not self._kestrom.GetBSStatus(values):
            raise DeviceError("GetBSStatus", (), "the status could not be read" + self._log_reason())
        return _status_from(values)

    def wait_for(self, condition: Callable[[DeviceStatus], bool], timeout: float,
                 what: str = "the awaited state") -> DeviceStatus:
        """Polls the status until ``condition`` holds; raises DeviceTimeout after
        ``timeout`` seconds."""
        deadline = time.monotonic() + timeout
        while True:
            status = self.status()
            if condition(status):
                return status
            if time.monotonic() >= deadline:
                raise DeviceTimeout("GetBSStatus", (), f"{what} not reached within {timeout:g} s; "
                                    f"device reports: {status.describe()}", status)
            time.sleep(POLL_INTERVAL_S)

    def write(self, command: bytes) -> None:
        """Sends raw command bytes as they are."""
        data = bytes(command)
        self._check("WritePort", (data,), len(data) > 0, "nothing to send")
        buffer = (ctypes.c_uint8 * len(data)).from_buffer_copy(data)
        self._call("WritePort", buffer, len(data), shown=(data,))

    # ---- scan settings ----------------------------------------------------

    def set_scan_area(self, border_mm: int, width_mm: int, height_mm: Optional[int] = None) -> None:
        """Scan window: left border and width across (mm, sum at most 216), and
        optionally the length along (mm, 0..297; 0 = the whole ticket)."""
        args = (border_mm, width_mm)
        self._check("SetScanWidth", args, 0 <= border_mm <= 216 and 0 <= width_mm <= 216
                    and border_mm + width_mm <= 216, "border and width are 0..216 mm with a sum of at most 216")
        self._call("SetScanWidth", border_mm, width_mm)
        if height_mm is not None:
            self._check("SetScanHeight", (height_mm,), 0 <= height_mm <= 297, "height is 0..297 mm")
            self._call("SetScanHeight", height_mm)

    def scan_area(self) -> Tuple[int, int, int]:
        """(border, width, height) in millimetres as the device holds them."""
        border, width, height = ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
        self._call("GetScanArea", ctypes.byref(border), ctypes.byref(width), ctypes.byref(height), shown=())
        return border.value, width.value, height.value

    def set_picture_type(self, grey: bool, save: bool = False) -> None:
        """Grey (one byte per pixel) or black-and-white pictures; save=True stores it in flash."""
        self._call("SetScanPictureType", int(bool(grey)), int(save))

    def set_lines_per_mm(self, lines_per_mm: int, save: bool = False) -> None:
        """Resolution along the ticket: 4 ("100 DPI") or 8 ("200 DPI") lines per mm."""
        self._check("SetScanDPI", (lines_per_mm,), lines_per_mm in (4, 8), "lines per mm is 4 or 8")
        self._call("SetScanDPI", lines_per_mm, int(save))

    def set_scan_mode(self, lock_scan: bool, save: bool = False) -> None:
        """Locked scan mode on or off."""
        self._call("SetScanMode", int(bool(lock_scan)), int(save))

    def set_threshold(self, low: int, high: int, save: bool = False) -> None:
        """Black-and-white thresholds (grey levels 0..255)."""
        self._check("SetThresholdMethord", (low, high), 0 <= low <= 255 and 0 <= high <= 255,
                    "thresholds are 0..255")
        self._call("SetThresholdMethord", 0, low, high, int(save))

    def threshold(self) -> Tuple[int, int, int]:
        """(method, value1, value2) as the device holds them."""
        m, v1, v2 = ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
        self._call("GetThresholdMethord", ctypes.byref(m), ctypes.byref(v1), ctypes.byref(v2), shown=())
        return m.value, v1.value, v2.value

    # ---- scanning ---------------------------------------------------------

    def start_scan(self, after: int = AFTER_SCAN_STOP) -> None:
        """Starts scanning the ticket at the entry; ``after``: 0 hold it, 1 move it
        to the print head, 2 eject it."""
        self._check("StartScan", (after,), after in (0, 1, 2), "after is 0, 1 or 2")
        self._call("StartScan", after)

    def abort_scan(self) -> None:
        self._call("AbortScan")

    def read_picture(self) -> Picture:
        """Pulls the scanned picture out of the device (after ``haveData``)."""
        self._require_open("ReadPictureData", ())
        buffer = (ctypes.c_uint8 * (PICTURE_BUFFER_BYTES + PICTURE_BUFFER_SLACK))()
        line_bytes, lines, kind, lpm = ctypes.c_int(), ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
        if not self._kestrom.ReadPictureData(buffer, ctypes.byref(line_bytes), ctypes.byref(lines),
                                             ctypes.byref(kind), ctypes.byref(lpm)):
            raise self._fail("ReadPictureData", ())
        size = line_bytes.value * lines.value
        if line_bytes.value <= 0 or lines.value <= 0:
            raise self._fail("ReadPictureData", (), reason="the device delivered an empty picture")
        return Picture(bytes(memoryview(buffer)[:size]), line_bytes.value, lines.value,
                       bool(kind.value), lpm.value)

    def scan(self, after: int = AFTER_SCAN_STOP, timeout: float = 30.0) -> Picture:
        """Waits (up to ``timeout`` s) for a ticket at the entry, scans it and
        returns the picture."""
        status = self.status()
        if status.coverOpen or status.statusError:
            raise self._fail("StartScan", (after,), reason="the device cannot scan now")
        self.wait_for(lambda s: s.scannerIdle and s.paper_at_entry and not s.statusError, timeout,
                      "a ticket at the entry with the scanner idle")
        self.start_scan(after)
        status = self.wait_for(lambda s: s.haveData or s.statusError or s.commandError, timeout,
                               "image data")
        if not status.haveData:
            raise self._fail("StartScan", (after,), reason="the scan stopped before any image data")
        return self.read_picture()

    @staticmethod
    def save_bmp(picture: Picture, path: PathLike) -> None:
        """Writes the picture as a BMP file, as the device library writes them."""
        kestrom = _libraries.load("Kestrom")
        size = picture.line_bytes * picture.lines
        if len(picture.data) < size:
            raise ValueError("picture data shorter than line_bytes x lines")
        buffer = (ctypes.c_uint8 * max(size, 1)).from_buffer_copy(picture.data[:size] or b"\0")
        if not kestrom.SaveDataToBmp(buffer, picture.line_bytes, picture.lines,
                                     os.fsencode(path), int(picture.grey)):
            raise DeviceError("SaveDataToBmp", (str(path),), f"{path} could not be written")

    # ---- printing and paper -------------------------------------------------

    def set_print_darkness(self, darkness: int, save: bool = False) -> None:
        self._check("SetPrintDarkness", (darkness,), 0 <= darkness <= 255, "darkness is 0..255")
        self._call("SetPrintDarkness", darkness, int(save))

    def set_head_mode(self, mode: int, save: bool = False) -> None:
        self._check("SetPrinterHeadMode", (mode,), 0 <= mode <= 3, "mode is 0..3")
        self._call("SetPrinterHeadMode", mode, int(save))

    def set_detect_paper_time(self, time_value: int) -> None:
        self._check("SetDetectPaperTime", (time_value,), 0 <= time_value <= 100, "time is 0..100")
        self._call("SetDetectPaperTime", time_value)

    def begin_print(self, height_mm: int) -> None:
        """Prepares a print job of ``height_mm`` (0..297) on the held ticket."""
        self._check("SetPrintBuffer", (height_mm,), 0 <= height_mm <= 297, "height is 0..297 mm")
        self._call("SetPrintBuffer", height_mm)

    def place_text(self, text: str, x_mm: int, y_mm: int, font: Union[int, str] = FONT_BYTE,
                   size: int = 1, angle: int = 0) -> None:
        """Places a text line in the prepared job: position (0..32, 0..297 mm),
        font ("byte"/48, "asd"/80, "courier"/57) and size, angle 0..3 (x 90 degrees)."""
        code = _FONT_NAMES.get(font.lower()) if isinstance(font, str) else font
        args = (text, x_mm, y_mm, font, size, angle)
        self._check("SetCharPrintPosition", args, code in FONT_SIZES, "font is byte/48, asd/80 or courier/57")
        self._check("SetCharPrintPosition", args, size in FONT_SIZES[code], f"size not offered by font {font}")
        self._check("SetCharPrintPosition", args, 0 <= angle <= 3 and 0 <= x_mm <= 32 and 0 <= y_mm <= 297,
                    "angle 0..3, x 0..32 mm, y 0..297 mm")
        encoded = text.encode("latin-1")
        self._check("SetCharPrintPosition", args, b"\0" not in encoded and b"\r" not in encoded,
                    "text may not hold NUL or CR")
        self._call("SetCharPrintPosition", angle, x_mm, y_mm, code, size, encoded, shown=args)

    def place_picture(self, name: str, x_mm: int, y_mm: int) -> None:
        """Places a stored bitmap (by name, at most 8 characters) in the prepared job."""
        encoded = name.encode("ascii")
        args = (name, x_mm, y_mm)
        self._check("SetPicPrintPosition", args, 1 <= len(encoded) <= 8, "name is 1..8 characters")
        self._check("SetPicPrintPosition", args, 0 <= x_mm <= 32 and 0 <= y_mm <= 297, "x 0..32 mm, y 0..297 mm")
        self._call("SetPicPrintPosition", x_mm, y_mm, encoded, shown=args)

    def finish_print(self, after: int = AFTER_PRINT_EJECT) -> None:
        """Runs the prepared job; ``after`` 0 holds, 1 ejects the ticket. Raises
        PaperError when it stopped for lack of paper at the head."""
        self._check("StartPrint", (after,), after in (0, 1), "after is 0 or 1")
        self._require_open("StartPrint", (1, after))
        result = self._kestrom.StartPrint(1, after)
        if result == 2:
            raise self._fail("StartPrint", (1, after), result, PaperError, "stopped: no paper at the print head")
        if result != 1:
            raise self._fail("StartPrint", (1, after), result)

    def print_ticket(self, height_mm: int, texts: Sequence[Tuple] = (), pictures: Sequence[Tuple] = (),
                     after: int = AFTER_PRINT_EJECT, eject_on_failure: bool = True) -> None:
        """One print job on the held ticket: ``texts`` as (text, x, y[, font, size,
        angle]) and ``pictures`` as (name, x, y). When the job fails the ticket is
        fed out (``eject_on_failure``) before the error is raised."""
        try:
            self.begin_print(height_mm)
            for picture in pictures:
                self.place_picture(*picture)
            for text in texts:
                self.place_text(*text)
            self.finish_print(after)
        except DeviceError:
            if eject_on_failure:
                try:
                    self.feed(0, 0)
                except DeviceError:
                    pass
            raise

    def paper_position(self) -> Tuple[int, int]:
        """(passed, distance) as the device reports them."""
        passed, distance = ctypes.c_int(), ctypes.c_int()
        self._call("GetPaperPosition", ctypes.byref(passed), ctypes.byref(distance), shown=())
        return passed.value, distance.value

    def feed(self, direction: int = 0, length: int = 0) -> None:
        """Moves the paper: direction 0 forward (out of the front), 1 back; length 0..255."""
        self._check("StartFeedPaper", (direction, length), direction in (0, 1) and 0 <= length <= 255,
                    "direction 0 or 1, length 0..255")
        self._call("StartFeedPaper", direction, length)

    def eject(self) -> None:
        """Feeds the ticket out of the front."""
        self.feed(0, 0)

    def clear_jam(self) -> None:
        """Clears a jam indication the device raised without a real jam."""
        self._call("CorrectFakeJamError")

    # ---- stored bitmaps ---------------------------------------------------

    def bitmap_count(self, area: int = AREA_RAM) -> Tuple[int, int]:
        """(number of stored bitmaps, free bytes) of area 0 (RAM) or 1 (flash)."""
        self._check("GetBMPNumber", (area,), area in (0, 1), "area is 0 or 1")
        count, free = ctypes.c_int(), ctypes.c_int()
        self._call("GetBMPNumber", area, ctypes.byref(count), ctypes.byref(free), shown=(area,))
        return count.value, free.value

    def bitmap_names(self, area: int = AREA_RAM) -> List[str]:
        """Names of the bitmaps stored in the area."""
        count, _ = self.bitmap_count(area)
        names = []
        for index in range(min(count, 128)):
            buffer = (ctypes.c_uint8 * 16)()
            self._call("GetBMPName", area, index, buffer, shown=(area, index))
            raw = bytes(buffer[2:10]).split(b"\0")[0]
            names.append(raw.decode("latin-1"))
        return names

    def store_bitmap(self, name: str, image: Any, area: int = AREA_RAM, side: int = 0) -> None:
        """Stores a black-and-white picture in the device under ``name`` (1..8
        characters). ``image``: a BMP file path, a NumPy array or a Pillow image
        (at most 256 x 2376 pixels)."""
        encoded = name.encode("ascii")
        self._check("DownLoadPicture", (name,), 1 <= len(encoded) <= 8, "name is 1..8 characters")
        self._check("DownLoadPicture", (name, area, side), area in (0, 1) and side in (0, 1), "area and side are 0 or 1")
        if isinstance(image, (str, os.PathLike)):
            path = os.fspath(image)
            if not os.path.isfile(path):
                raise FileNotFoundError(path)
            self._call("DownLoadPicture", area, side, encoded, os.fsencode(path), shown=(area, side, name, path))
            return
        rows, width, height = images.pack_rows(image)
        self._check("DownLoadPictureEx", (name, width, height), 1 <= width <= 256 and 1 <= height <= 2376,
                    "pictures are 1..256 pixels wide and 1..2376 high")
        buffer = (ctypes.c_uint8 * len(rows)).from_buffer_copy(rows)
        self._call("DownLoadPictureEx", area, side, encoded, width, height, 1, buffer,
                   shown=(area, side, name, width, height))

    def erase_bitmaps(self, area: int) -> None:
        """Erases every bitmap of area 0 (RAM) or 1 (flash)."""
        self._check("EraseBMP", (area,), area in (0, 1), "area is 0 or 1")
        self._call("EraseBMPInRam" if area == AREA_RAM else "EraseBMPInFlash")

    # ---- long operations ----------------------------------------------------

    def _long_call(self, name: str, arguments: Sequence[Any], expected_s: float,
                   progress: Optional[ProgressCallback], shown: Sequence[Any] = ()) -> int:
        """Runs a blocking export on a worker thread while ``progress`` receives
        an estimate in 0..1 every PROGRESS_INTERVAL_S (1.0 once on success).
        An exception from the callback is raised after the call has ended."""
        self._require_open(name, shown)
        outcome: List[int] = []
        worker = threading.Thread(target=lambda: outcome.append(getattr(self._kestrom, name)(*arguments)),
                                  name=f"ticketkit-{name}", daemon=True)
        started = time.monotonic()
        worker.start()
        callback_error: Optional[BaseException] = None
        while worker.is_alive():
            worker.join(PROGRESS_INTERVAL_S)
            if progress is not None and callback_error is None and worker.is_alive():
                try:
                    progress(min(0.99, (time.monotonic() - started) / expected_s))
                except BaseException as error:  # reported once the device is done
                    callback_error = error
        result = outcome[0] if outcome else 0
        if callback_error is not None:
            raise callback_error
        if result == 0:
            raise self._fail(name, shown, result)
        if progress is not None:
            progress(1.0)
        return result

    def calibrate_cis(self, progress: Optional[ProgressCallback] = None) -> None:
        """Calibrates the contact image sensor (a few seconds; device idle, no ticket)."""
        self._long_call("CISDataCorrect", (), CIS_CALIBRATION_S, progress)

    def calibrate_sensors(self, progress: Optional[ProgressCallback] = None) -> None:
        """Calibrates the paper sensors (about 6 s)."""
        self._long_call("SensorCorrect", (), SENSOR_CALIBRATION_S, progress)

    def reset(self, progress: Optional[ProgressCallback] = None) -> None:
        """Restarts the device and reconnects."""
        try:
            self._long_call("ResetDev", (), RESTART_S, progress)
        except DeviceError:
            self._mark_closed_if_lost()
            raise

    def update_firmware(self, path: PathLike, verify: bool = True,
                        progress: Optional[ProgressCallback] = None) -> None:
        """Loads a firmware file and reconnects; with ``verify`` the device must
        then report the file's version."""
        encoded = os.fsencode(path)
        if not os.path.isfile(path):
            raise FileNotFoundError(os.fspath(path))
        name = "UpdateDeviceFirmware" if verify else "UpdateOnLine"
        try:
            self._long_call(name, (encoded,), RESTART_S, progress, shown=(os.fspath(path),))
        except DeviceError:
            self._mark_closed_if_lost()
            raise

    def _mark_closed_if_lost(self) -> None:
        """After a failed restart the library may have closed the connection."""
        values = (ctypes.c_int32 * 22)()
        if not self._kestrom.GetBSStatus(values):
            self.close()

    def firmware_version(self) -> str:
        """The firmware version text the device reports."""
        buffer = ctypes.create_string_buffer(32)
        self._call("GetFirmwareVersion", buffer, shown=())
        return buffer.raw[:15].split(b"\0")[0].decode("latin-1").strip()

    @staticmethod
    def file_firmware_version(path: PathLike) -> str:
        """The 6-character version inside a firmware file."""
        kestrom = _libraries.load("Kestrom")
        buffer = ctypes.create_string_buffer(16)
        if not kestrom.ReadVersion(os.fsencode(path), buffer):
            raise DeviceError("ReadVersion", (os.fspath(path),), "not a readable firmware file")
        return buffer.value.decode("latin-1")

    @staticmethod
    def library_version() -> str:
        """Version text of libKestrom."""
        buffer = ctypes.create_string_buffer(64)
        _libraries.load("Kestrom").GetKestromVersion(buffer)
        return buffer.value.decode("latin-1")
