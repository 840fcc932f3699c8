"""Control of the software scanner-printer (libScannerEmulator.so).

The emulator stands in for the USB link library when ``PIPEWELL_LIBRARY`` names
it (``Device(emulator=True)`` does that). This class binds its control API: power
cycle, tickets, device conditions, link faults, the journal of written bytes, the
last print and the device clock. The emulator is one device per process.
"""
from __future__ import annotations

import ctypes
import os
from typing import Any, Tuple

import numpy as np

from . import _libraries, images
from .errors import TicketKitError

# Device conditions and link faults (numbers of the emulator's control API).
COND_HEAD_HOT, COND_COVER_OPEN, COND_FAKE_JAM, COND_REAL_JAM, COND_STATUS_ERROR = 1, 2, 3, 4, 5
COND_NO_PAPER_AT_HEAD, COND_CALIBRATION_FAILS, COND_BAD_SENSOR, COND_JAM_ON_NEXT_MOVE = 10, 11, 12, 13
FAULT_OPEN_FAIL, FAULT_WRITE_FAIL, FAULT_READ_FAIL, FAULT_STATUS_FAIL, FAULT_NO_ANSWER = 1, 2, 4, 6, 9


class Emulator:
    """The software scanner-printer's control API."""

    def __init__(self) -> None:
        self._lib = _libraries.load("ScannerEmulator")
        self.path = _libraries.library_path("ScannerEmulator")

    def _ok(self, name: str, result: int, *arguments: Any) -> None:
        if result == 0:
            raise TicketKitError(f"{name}{arguments} failed")

    def reset(self, factory: bool = False) -> None:
        """Power cycle; ``factory`` also erases the flash image."""
        self._ok("Emu_Reset", self._lib.Emu_Reset(int(factory)), factory)

    def set_time_scale(self, scale: float) -> None:
        """Device milliseconds per real millisecond (1 = real time)."""
        self._ok("Emu_SetTimeScale", self._lib.Emu_SetTimeScale(float(scale)), scale)

    def advance_time(self, ms: int) -> None:
        self._ok("Emu_AdvanceTime", self._lib.Emu_AdvanceTime(int(ms)), ms)

    def now_ms(self) -> int:
        """The device clock in milliseconds since power-on."""
        return int(self._lib.Emu_Now())

    def insert_ticket(self, ticket: Any) -> None:
        """Puts a ticket at the entry: a BMP file path, or a picture (NumPy array
        or Pillow image) at 8 dots per millimetre, top row = leading edge."""
        if isinstance(ticket, (str, os.PathLike)):
            self._ok("Emu_InsertTicketFile", self._lib.Emu_InsertTicketFile(os.fsencode(ticket)), str(ticket))
            return
        array = images.as_array(ticket)
        if array.dtype == bool:
            array = array.astype(np.uint8) * np.uint8(255)
        if array.ndim == 3:
            data, bits = np.ascontiguousarray(array[:, :, ::-1]).tobytes(), 24
        else:
            data, bits = np.ascontiguousarray(array).tobytes(), 8
        height, width = array.shape[:2]
        buffer = (ctypes.c_uint8 * len(data)).from_buffer_copy(data)
        self._ok("Emu_InsertTicketPixels", self._lib.Emu_InsertTicketPixels(buffer, width, height, bits),
                 width, height, bits)

    def set_ticket_placement(self, offset_dots: int, skew_degrees: float) -> None:
        self._ok("Emu_SetTicketPlacement", self._lib.Emu_SetTicketPlacement(offset_dots, skew_degrees),
                 offset_dots, skew_degrees)

    def push_ticket(self, leading_edge_mm: int) -> None:
        """Pushes the ticket resting at the entry in by hand, as an operator does
        with a calibration sheet, until its leading edge stands ``leading_edge_mm``
        (20..110) from the entry; the device stays idle and reports every sensor
        the ticket covers. Raises TicketKitError without a ticket, when the device
        is busy, or out of range."""
        self._ok("Emu_PushTicket", self._lib.Emu_PushTicket(int(leading_edge_mm)), leading_edge_mm)

    def remove_ticket(self) -> None:
        self._ok("Emu_RemoveTicket", self._lib.Emu_RemoveTicket())

    def paper(self) -> Tuple[int, int, int, int]:
        """(location 0 none / 1 at entry / 2 inside / 3 moving, leading edge mm,
        tickets ejected, tickets returned)."""
        values = [ctypes.c_int() for _ in range(4)]
        self._ok("Emu_GetPaperPosition", self._lib.Emu_GetPaperPosition(*[ctypes.byref(v) for v in values]))
        return tuple(v.value for v in values)  # type: ignore[return-value]

    def last_print(self) -> np.ndarray:
        """The last print job as laid down (grey, 255 = no ink)."""
        width, height = ctypes.c_int(), ctypes.c_int()
        self._ok("Emu_GetLastPrint", self._lib.Emu_GetLastPrint(None, 0, ctypes.byref(width), ctypes.byref(height)))
        size = width.value * height.value
        buffer = (ctypes.c_uint8 * max(size, 1))()
        self._ok("Emu_GetLastPrint", self._lib.Emu_GetLastPrint(buffer, size, ctypes.byref(width), ctypes.byref(height)))
        return np.frombuffer(buffer, dtype=np.uint8, count=size).reshape(height.value, width.value).copy()

    def set_condition(self, condition: int, on: bool = True) -> None:
        self._ok("Emu_SetCondition", self._lib.Emu_SetCondition(condition, int(on)), condition, on)

    def inject_fault(self, fault: int, pipe: int = -1, skip: int = 0, count: int = -1) -> None:
        self._ok("Emu_InjectFault", self._lib.Emu_InjectFault(fault, pipe, skip, count), fault, pipe, skip, count)

    def clear_faults(self) -> None:
        self._ok("Emu_ClearFaults", self._lib.Emu_ClearFaults())

    def clear_journal(self) -> None:
        self._ok("Emu_JournalClear", self._lib.Emu_JournalClear())

    def written(self) -> bytes:
        """Every byte the device received since the journal was cleared."""
        total = self._lib.Emu_JournalWritten(None, 0)
        buffer = (ctypes.c_uint8 * max(total, 1))()
        self._lib.Emu_JournalWritten(buffer, total)
        return bytes(buffer[:total])

    def firmware_version(self) -> str:
        buffer = ctypes.create_string_buffer(8)
        self._ok("Emu_GetFirmwareVersion", self._lib.Emu_GetFirmwareVersion(buffer))
        return buffer.value.decode("latin-1")

    def stored_bitmaps(self, area: int) -> int:
        return int(self._lib.Emu_StoredBitmapCount(area))
