"""Finding and binding the kit's shared libraries.

Libraries are looked up by their logical name ("Kestrom" -> libKestrom.so) the way
the kit itself binds them:

1. the folder named by the environment variable ``TICKETKIT_LIBDIR``;
2. when this package runs from a source checkout, the ``lib/`` folder of a build
   beside it (``build/default/lib``, then ``build/debug/lib``, ``build/asan/lib``);
   when it was installed with the kit, the kit's library folder of that prefix;
3. the system loader (``LD_LIBRARY_PATH``, the loader cache, the system folders).

Every library is loaded once per process and its entry points get exact ctypes
prototypes here, so the rest of the package never guesses an argument type.
"""
from __future__ import annotations

import ctypes
import os
import threading
from ctypes import POINTER, c_char_p, c_double, c_int, c_int32, c_int64, c_uint8, c_void_p
from pathlib import Path
from typing import Dict, Optional

from .errors import LibraryNotFoundError

LIBDIR_VARIABLE = "TICKETKIT_LIBDIR"
_BUILD_PRESETS = ("default", "debug", "asan")

_lock = threading.Lock()
_loaded: Dict[str, ctypes.CDLL] = {}


def file_name(logical: str) -> str:
    """'Kestrom' or 'Kestrom.dll' -> 'libKestrom.so'."""
    if logical.lower().endswith(".dll"):
        logical = logical[:-4]
    return f"lib{logical}.so"


# The ABI number of the kit's libraries: an installation without the development
# files holds only lib<Name>.so.<SOVERSION>.
SOVERSION = 0


def file_names(logical: str) -> list:
    """The file names a library may have, in the order they are tried:
    'Kestrom' -> ['libKestrom.so', 'libKestrom.so.0']."""
    bare = file_name(logical)
    return [bare, f"{bare}.{SOVERSION}"]


def _source_tree_libdirs() -> list:
    """The lib/ folders of builds next to a source checkout of this package."""
    root = Path(__file__).resolve().parent.parent.parent
    return [root / "build" / preset / "lib" for preset in _BUILD_PRESETS]


def _install_libdirs() -> list:
    """The library folders of an installed kit this package was installed with:
    <prefix>/lib/python3/dist-packages/ticketkit -> <prefix>/lib[/<multiarch>]."""
    lib = Path(__file__).resolve().parent.parent.parent.parent
    if lib.name != "lib":
        return []
    return [lib] + sorted(lib.glob("*-linux-gnu*"))


def locate(logical: str) -> Optional[str]:
    """Full path of the library file when found in an explicit folder, else None
    (the system loader may still find it by bare name)."""
    folders = []
    if os.environ.get(LIBDIR_VARIABLE):
        folders.append(Path(os.environ[LIBDIR_VARIABLE]))
    folders.extend(_source_tree_libdirs())
    folders.extend(_install_libdirs())
    for folder in folders:
        for name in file_names(logical):
            candidate = folder / name
            if candidate.is_file():
                return str(candidate)
    return None


# Prototypes per library: name -> (restype, argtypes).
_u8p = POINTER(c_uint8)
_ip = POINTER(c_int)

_PROTOTYPES = {
    "Kestrom": {
        "OpenUSBPort": (c_int, []),
        "CloseUSBPort": (None, []),
        "WritePort": (c_int, [_u8p, c_int]),
        "SetScanWidth": (c_int, [c_int, c_int]),
        "SetScanHeight": (c_int, [c_int]),
        "SetScanPictureType": (c_int, [c_int, c_int]),
        "SetScanDPI": (c_int, [c_int, c_int]),
        "SetScanMode": (c_int, [c_int, c_int]),
        "SetThresholdMethord": (c_int, [c_int, c_int, c_int, c_int]),
        "GetThresholdMethord": (c_int, [_ip, _ip, _ip]),
        "GetScanArea": (c_int, [_ip, _ip, _ip]),
        "StartScan": (c_int, [c_int]),
        "AbortScan": (c_int, []),
        "GetBSStatus": (c_int, [POINTER(c_int32)]),
        "ReadPictureData": (c_int, [_u8p, _ip, _ip, _ip, _ip]),
        "SaveDataToBmp": (c_int, [_u8p, c_int, c_int, c_char_p, c_int]),
        "SetPrintDarkness": (c_int, [c_int, c_int]),
        "SetPrintBuffer": (c_int, [c_int]),
        "SetCharPrintPosition": (c_int, [c_int, c_int, c_int, c_int, c_int, c_char_p]),
        "SetPicPrintPosition": (c_int, [c_int, c_int, c_char_p]),
        "StartPrint": (c_int, [c_int, c_int]),
        "GetPaperPosition": (c_int, [_ip, _ip]),
        "StartFeedPaper": (c_int, [c_int, c_int]),
        "CorrectFakeJamError": (c_int, []),
        "SetPrinterHeadMode": (c_int, [c_int, c_int]),
        "SetDetectPaperTime": (c_int, [c_int]),
        "DownLoadPicture": (c_int, [c_int, c_int, c_char_p, c_char_p]),
        "DownLoadPictureEx": (c_int, [c_int, c_int, c_char_p, c_int, c_int, c_int, _u8p]),
        "GetBMPNumber": (c_int, [c_int, _ip, _ip]),
        "GetBMPName": (c_int, [c_int, c_int, _u8p]),
        "EraseBMPInFlash": (c_int, []),
        "EraseBMPInRam": (c_int, []),
        "CISDataCorrect": (c_int, []),
        "SensorCorrect": (c_int, []),
        "ResetDev": (c_int, []),
        "UpdateOnLine": (c_int, [c_char_p]),
        "UpdateDeviceFirmware": (c_int, [c_char_p]),
        "ReadVersion": (c_int, [c_char_p, ctypes.c_char_p]),
        "GetFirmwareVersion": (c_int, [ctypes.c_char_p]),
        "GetKestromVersion": (c_int, [ctypes.c_char_p]),
    },
    "Skewtrim": {
        "Bitmap_New": (c_int, [c_void_p, c_int, c_int, c_int, c_int]),
        "Bitmap_Done": (c_int, [c_void_p]),
        "ImageSkewtrim": (c_int, [c_void_p, c_int, c_int, c_int, c_void_p]),
        "ReadBitmapFromFile": (c_int, [c_void_p, c_char_p]),
        "SaveBitmapToFile": (c_int, [c_void_p, c_char_p]),
    },
    "Stripescan": {
        "Stripescan": (c_int, [c_void_p, c_void_p, c_void_p]),
        "FreeBarcodeResultMem": (c_int, [c_void_p]),
    },
    "Stackread": {
        "stackread": (c_int, [_u8p, c_int, c_int, _u8p, _ip, c_int]),
    },
    "decode": {
        "Decode": (c_int, [_u8p, c_int, c_int, _ip, _ip, ctypes.c_char_p]),
        "GetDecodeVersion": (c_int, [ctypes.c_char_p]),
    },
    "ScannerEmulator": {
        "Emu_Reset": (c_int, [c_int]),
        "Emu_InsertTicketFile": (c_int, [c_char_p]),
        "Emu_InsertTicketPixels": (c_int, [_u8p, c_int, c_int, c_int]),
        "Emu_SetTicketPlacement": (c_int, [c_int, c_double]),
        "Emu_PushTicket": (c_int, [c_int]),
        "Emu_RemoveTicket": (c_int, []),
        "Emu_GetPaperPosition": (c_int, [_ip, _ip, _ip, _ip]),
        "Emu_GetLastPrint": (c_int, [_u8p, c_int, _ip, _ip]),
        "Emu_GetStatus": (c_int, [_u8p]),
        "Emu_SetCondition": (c_int, [c_int, c_int]),
        "Emu_InjectFault": (c_int, [c_int, c_int, c_int, c_int]),
        "Emu_ClearFaults": (c_int, []),
        "Emu_JournalClear": (c_int, []),
        "Emu_JournalWritten": (c_int, [_u8p, c_int]),
        "Emu_SetTimeScale": (c_int, [c_double]),
        "Emu_AdvanceTime": (c_int, [c_int]),
        "Emu_SetTransferStep": (c_int, [c_int]),
        "Emu_Now": (c_int64, []),
        "Emu_GetFirmwareVersion": (c_int, [ctypes.c_char_p]),
        "Emu_StoredBitmapCount": (c_int, [c_int]),
    },
}


def load(logical: str) -> ctypes.CDLL:
    """The loaded library with its prototypes set; raises LibraryNotFoundError
    (naming the folders searched and the loader's message) when it cannot be
    loaded or lacks an entry point."""
    with _lock:
        if logical in _loaded:
            return _loaded[logical]
        path = locate(logical)
        lib = None
        first_error = None
        for target in [path] if path else file_names(logical):
            try:
                lib = ctypes.CDLL(target)
                break
            except OSError as error:
                # The first failure names the file the caller asked for.
                first_error = first_error or error
        if lib is None:
            error = first_error
            searched = [os.environ.get(LIBDIR_VARIABLE) or f"(${LIBDIR_VARIABLE} unset)"]
            searched += [str(p) for p in _source_tree_libdirs()]
            raise LibraryNotFoundError(
                f"{file_name(logical)} could not be loaded (searched {', '.join(searched)}, "
                f"then the system loader): {error}") from None
        for name, (restype, argtypes) in _PROTOTYPES.get(logical, {}).items():
            try:
                function = getattr(lib, name)
            except AttributeError:
                raise LibraryNotFoundError(
                    f"{target} has no entry point {name}") from None
            function.restype = restype
            function.argtypes = argtypes
        _loaded[logical] = lib
        return lib


def library_path(logical: str) -> str:
    """Path of the library file as it would be loaded (for PIPEWELL_LIBRARY)."""
    path = locate(logical)
    if path is None:
        lib = load(logical)
        return lib._name
    return path
