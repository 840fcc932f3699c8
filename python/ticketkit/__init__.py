"""ticketkit: the TQ-RMX7KP ticket scanner-printer kit for Python.

A pure-Python layer over the kit's shared libraries (ctypes, no compiled code):

    from ticketkit import Device, decode
    with Device() as scanner:
        picture = scanner.scan()
        print(decode(picture, "barcodes").text)

See README.md beside this package for the whole interface.
"""
from .device import (AFTER_PRINT_EJECT, AFTER_PRINT_STOP, AFTER_SCAN_EJECT, AFTER_SCAN_PRINT,
                     AFTER_SCAN_STOP, AREA_FLASH, AREA_RAM, Device, DeviceStatus, Picture)
from .emulator import Emulator
from .errors import (DeviceError, DeviceTimeout, LibraryNotFoundError, PaperError, RecognitionError,
                     TicketKitError)
from .recognition import (Barcode, Recognition, Symbol, decode, decode_version, read_barcodes,
                          read_pdf417, straighten)

__version__ = "0.1.0"

__all__ = [
    "Device", "DeviceStatus", "Picture", "Emulator", "decode", "decode_version", "read_barcodes",
    "read_pdf417", "straighten", "Barcode", "Recognition", "Symbol", "TicketKitError", "DeviceError",
    "DeviceTimeout", "PaperError", "RecognitionError", "LibraryNotFoundError",
    "AFTER_SCAN_STOP", "AFTER_SCAN_PRINT", "AFTER_SCAN_EJECT", "AFTER_PRINT_STOP", "AFTER_PRINT_EJECT",
    "AREA_RAM", "AREA_FLASH",
]
