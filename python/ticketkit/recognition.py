"""Recognition and image work over the kit's reader libraries.

- ``decode``: the recognition dispatcher (libdecode): barcodes or mark sheets.
- ``read_barcodes``: linear barcodes with their places (libStripescan).
- ``read_pdf417``: one PDF417 symbol (libStackread).
- ``straighten``: finds the ticket on its background, turns it upright and crops it
  (libSkewtrim).

Pictures may be NumPy arrays, Pillow images or scanned ``Picture`` objects; see
``ticketkit.images`` for the conventions.

The readers keep process-wide working state, so every call into them here is
serialised by one lock.
"""
from __future__ import annotations

import ctypes
import threading
from ctypes import POINTER, Structure, c_int32, c_uint8
from dataclasses import dataclass
from typing import Any, Iterable, List, Optional, Sequence, Tuple

import numpy as np

from . import _libraries, images
from .errors import RecognitionError

_readers_lock = threading.Lock()

# Recognition kinds of decode().
KIND_HANDWRITTEN_MARKS = 0
KIND_BARCODES = 1
KIND_PRINTED_MARKS = 2
KIND_HANDWRITTEN_RELIABILITY = 5
_KINDS = {"handwritten": 0, "marks": 0, "barcodes": 1, "barcode": 1, "printed": 2, "reliability": 5}

DECODE_TEXT_CAPACITY = 1024
DECODE_CUT_MARK = "\n(cut)\n"
STACKREAD_MAX_OUTPUT = 2710
# Largest picture the dispatcher takes: 32,768 pixels across, 1,048,576 rows, 64 MiB.
_DECODE_MAX_WIDTH, _DECODE_MAX_HEIGHT, _DECODE_MAX_BYTES = 32768, 1_048_576, 64 << 20

SYMBOLOGY_NAMES = {1: "Code 128", 2: "Code 93", 3: "EAN-13", 4: "EAN-8", 5: "UPC-E", 6: "Code 39",
                   7: "Codabar", 8: "Interleaved 2 of 5", 9: "Code 128", 10: "UPC-A"}
_SYMBOLOGY_NUMBERS = {"code128": 1, "code93": 2, "ean13": 3, "ean8": 4, "upce": 5, "code39": 6,
                      "codabar": 7, "interleaved2of5": 8, "i2of5": 8, "gs1128": 9, "ean128": 9, "upca": 10}
# The linear request: every symbology, EAN and UPC with their check digits, Code 39 as printed.
_DEFAULT_SYMBOLOGIES = (1, 2, 3, 10, 4, 5, 6, 7, 8)
_SENDS_CHECK = {3, 4, 5, 10}
# Scan passes of the linear reader: 1 rows, 2 columns, 3 both.
DIRECTIONS_BOTH = 3
# Smallest size unit of the linear reader, pixels.
MIN_SIZE_UNIT = 8
# PDF417 result codes.
_STACKREAD_REASONS = {-1: "a PDF417 symbol was seen but its structure is not usable",
                      -2: "the PDF417 symbol has more errors than its error correction repairs",
                      -6: "the picture has no rows or columns"}
_STACKREAD_NOT_FOUND = -3
# Resampling methods of straighten().
_METHODS = {"bicubic": 1, "bilinear": 2, "nearest": 3}
# Straightening result codes.
_SKEWTRIM_REASONS = {1: "invalid argument or no usable paper side", 5: "out of memory",
                     9: "no paper found, or its outline is not a plausible rectangle",
                     10: "degenerate edge fit", 11: "a paper side has no edges near its fitted line",
                     12: "invalid bitmap record"}


class _Bitmap(Structure):
    _fields_ = [("width", c_int32), ("height", c_int32), ("bitCount", c_int32), ("imageSize", c_int32),
                ("stride", c_int32), ("rows", POINTER(POINTER(c_uint8))), ("bits", POINTER(c_uint8))]


class _SymbologySetting(Structure):
    _fields_ = [("symbology", c_int32), ("minElementWidth", c_int32), ("verifyCheck", c_int32),
                ("sendCheck", c_int32), ("plainCode39", c_int32), ("eraseFound", c_int32)]


class _DecodeRequest(Structure):
    _fields_ = [("settings", POINTER(_SymbologySetting)), ("settingCount", c_int32), ("reserved", c_int32),
                ("directions", c_int32), ("minSize", c_int32)]


class _BarcodeResult(Structure):
    _fields_ = [("symbology", c_int32), ("text", POINTER(c_uint8)), ("length", c_int32), ("fnc2Seen", c_int32),
                ("corners", c_int32 * 8), ("scanDirX", c_int32), ("scanDirY", c_int32)]


class _BarcodeResultList(Structure):
    _fields_ = [("results", POINTER(_BarcodeResult)), ("count", c_int32), ("capacity", c_int32)]


@dataclass(frozen=True)
class Symbol:
    """One symbol read by decode(): its symbology name and text."""
    symbology: str
    text: str


@dataclass(frozen=True)
class Recognition:
    """What decode() read. ``count``: symbols (barcodes) or result blocks (marks);
    ``text``: the dispatcher's text; ``cut``: the text was too long and was cut."""
    kind: int
    count: int
    text: str
    cut: bool = False
    symbols: Tuple[Symbol, ...] = ()

    def __bool__(self) -> bool:
        return self.count > 0

    @property
    def cells(self) -> List[str]:
        """Mark kinds: the lines of cells (the text after the count, split at ",")."""
        if self.kind == KIND_BARCODES or not self.text:
            return []
        return self.text.split(",")[1:]


@dataclass(frozen=True)
class Barcode:
    """One linear symbol: symbology number and name, decoded bytes, the four
    corners (x, y) P0..P3 and the reading direction."""
    symbology: int
    name: str
    data: bytes
    corners: Tuple[Tuple[int, int], ...]
    direction: Tuple[int, int]
    fnc2: bool = False

    @property
    def text(self) -> str:
        return self.data.decode("latin-1")


def _lines_per_mm(image: Any, lines_per_mm: Optional[int]) -> int:
    if lines_per_mm is not None:
        return lines_per_mm
    return int(getattr(image, "lines_per_mm", 0) or 0)


def _kind_number(kind: Any) -> int:
    if isinstance(kind, str):
        if kind.lower() not in _KINDS:
            raise ValueError(f"unknown recognition kind {kind!r}; expected one of {sorted(_KINDS)}")
        return _KINDS[kind.lower()]
    if kind not in (0, 1, 2, 5):
        raise ValueError(f"recognition kind {kind!r} is not 0, 1, 2 or 5")
    return int(kind)


def decode(image: Any, kind: Any = KIND_BARCODES, lines_per_mm: Optional[int] = None) -> Recognition:
    """Recognises one black-and-white ticket picture with the dispatcher.

    kind: 0 / "handwritten", 1 / "barcodes", 2 / "printed", 5 / "reliability".
    lines_per_mm: resolution along the picture, 4 or 8; None takes it from a
    scanned Picture, else the preset of the kind (8 barcodes, 4 marks).
    Returns a Recognition (false when nothing was read: blank page, no form
    fits); raises ValueError for bad arguments, LibraryNotFoundError when
    libdecode is missing.
    """
    number = _kind_number(kind)
    lpm = _lines_per_mm(image, lines_per_mm)
    if lpm not in (0, 4, 8):
        raise ValueError(f"lines_per_mm is 4 or 8, not {lpm}")
    rows, width, height = images.pack_rows(image, width_multiple=8)
    if width > _DECODE_MAX_WIDTH or height > _DECODE_MAX_HEIGHT or len(rows) > _DECODE_MAX_BYTES:
        raise ValueError(f"picture of {width} x {height} pixels is larger than decode() takes")
    lib = _libraries.load("decode")
    buffer = (c_uint8 * len(rows)).from_buffer_copy(rows)
    kind_in, out = ctypes.c_int(number), ctypes.c_int(lpm)
    text = ctypes.create_string_buffer(DECODE_TEXT_CAPACITY)
    with _readers_lock:
        found = lib.Decode(buffer, width, height, ctypes.byref(kind_in), ctypes.byref(out), text)
    if not found:
        return Recognition(number, 0, "")
    raw = text.value.decode("latin-1")
    cut = raw.endswith(DECODE_CUT_MARK)
    body = raw[: -len(DECODE_CUT_MARK)] if cut else raw
    symbols: Tuple[Symbol, ...] = ()
    if number == KIND_BARCODES:
        parsed = []
        for line in body.split("\n"):
            if ": " in line:
                name, value = line.split(": ", 1)
                parsed.append(Symbol(name, value))
        symbols = tuple(parsed)
    return Recognition(number, out.value, raw, cut, symbols)


def decode_version() -> str:
    """Version text of libdecode."""
    buffer = ctypes.create_string_buffer(64)
    _libraries.load("decode").GetDecodeVersion(buffer)
    return buffer.value.decode("latin-1")


def _symbology_numbers(symbologies: Optional[Iterable[Any]]) -> Sequence[int]:
    if symbologies is None:
        return _DEFAULT_SYMBOLOGIES
    numbers = []
    for s in symbologies:
        if isinstance(s, str):
            key = s.lower().replace(" ", "").replace("-", "").replace("_", "")
            if key not in _SYMBOLOGY_NUMBERS:
                raise ValueError(f"unknown symbology {s!r}")
            numbers.append(_SYMBOLOGY_NUMBERS[key])
        elif s in SYMBOLOGY_NAMES:
            numbers.append(int(s))
        else:
            raise ValueError(f"unknown symbology number {s!r}")
    if not numbers:
        raise ValueError("no symbology asked for")
    return numbers


def read_barcodes(image: Any, symbologies: Optional[Iterable[Any]] = None,
                  directions: int = DIRECTIONS_BOTH, min_size: int = MIN_SIZE_UNIT,
                  noise: int = 0) -> List[Barcode]:
    """Reads the linear barcodes of a picture (any skew), in the order found.

    symbologies: names ("Code 128", "EAN-13", "ean8", ...) or numbers 1..10;
    None reads all eight. directions: 1 rows, 2 columns, 3 both. noise: runs of
    this many pixels or fewer are merged away. An empty list when none is found.
    """
    if directions not in (1, 2, 3):
        raise ValueError("directions is 1 (rows), 2 (columns) or 3 (both)")
    numbers = _symbology_numbers(symbologies)
    rows, width, height = images.pack_rows(image)
    stride = (width + 7) // 8
    bits = (c_uint8 * (len(rows) + 16)).from_buffer_copy(rows + bytes(16))
    base = ctypes.addressof(bits)
    table = (POINTER(c_uint8) * height)(*[ctypes.cast(base + y * stride, POINTER(c_uint8)) for y in range(height)])
    bitmap = _Bitmap(width, height, 1, stride * height, stride, table, ctypes.cast(bits, POINTER(c_uint8)))
    settings = (_SymbologySetting * len(numbers))(
        *[_SymbologySetting(n, noise, 0, int(n in _SENDS_CHECK), 1, 0) for n in numbers])
    request = _DecodeRequest(settings, len(numbers), 0, directions, min_size)
    results = _BarcodeResultList()
    lib = _libraries.load("Stripescan")
    found: List[Barcode] = []
    with _readers_lock:
        ok = lib.Stripescan(ctypes.byref(bitmap), ctypes.byref(request), ctypes.byref(results))
        try:
            for i in range(results.count if ok else 0):
                r = results.results[i]
                data = ctypes.string_at(r.text, r.length) if r.text and r.length > 0 else b""
                if r.symbology == 10 and len(data) == 13 and data[:1] == b"0":
                    data = data[1:]
                corners = tuple((r.corners[2 * k], r.corners[2 * k + 1]) for k in range(4))
                found.append(Barcode(r.symbology, SYMBOLOGY_NAMES.get(r.symbology, str(r.symbology)), data,
                                     corners, (r.scanDirX, r.scanDirY), bool(r.fnc2Seen)))
        finally:
            lib.FreeBarcodeResultMem(ctypes.byref(results))
    if not ok:
        raise RecognitionError("Stripescan ran out of memory")
    return found


def read_pdf417(image: Any, noise: int = 0) -> Optional[bytes]:
    """The data of the PDF417 symbol in the picture, or None when there is none.
    Raises RecognitionError when a symbol is seen but cannot be decoded."""
    rows, width, height = images.pack_rows(image, width_multiple=8)
    lib = _libraries.load("Stackread")
    source = (c_uint8 * len(rows)).from_buffer_copy(rows)
    out = (c_uint8 * STACKREAD_MAX_OUTPUT)()
    length = ctypes.c_int(0)
    with _readers_lock:
        result = lib.stackread(source, width, height, out, ctypes.byref(length), noise)
    if result == 1:
        if not 0 <= length.value <= STACKREAD_MAX_OUTPUT:
            raise RecognitionError(f"stackread reported an impossible length {length.value}")
        return bytes(out[: length.value])
    if result == _STACKREAD_NOT_FOUND:
        return None
    raise RecognitionError(_STACKREAD_REASONS.get(result, f"stackread answered {result}"))


def straighten(image: Any, method: str = "bilinear", level: int = 0) -> Any:
    """The ticket found on its darker background, turned upright and cropped.

    Takes and returns the same form: a Pillow image gives a Pillow image; a
    NumPy bool array (1 bit), grey uint8 array or RGB array gives the same.
    method: "bicubic", "bilinear" or "nearest" (1-bit pictures always use
    nearest). level: grey level above which a pixel is paper, 1..255; 0 measures
    it from the picture's side columns. Raises RecognitionError with the reason
    when no ticket outline is found.
    """
    if method not in _METHODS:
        raise ValueError(f"method is one of {sorted(_METHODS)}")
    if not 0 <= level <= 255:
        raise ValueError("level is 0..255")
    is_pil = hasattr(image, "mode") and hasattr(image, "convert") and not isinstance(image, np.ndarray)
    array = images.as_array(image)
    height, width = array.shape[:2]
    if array.dtype == bool:
        bit_count = 1
        data = np.packbits(array, axis=1)
    elif array.ndim == 3:
        bit_count = 24
        data = np.ascontiguousarray(array[:, :, ::-1]).reshape(height, width * 3)
    else:
        bit_count = 8
        data = np.ascontiguousarray(array)
    lib = _libraries.load("Skewtrim")
    source, result = _Bitmap(), _Bitmap()
    code = lib.Bitmap_New(ctypes.byref(source), width, height, bit_count, 0)
    if code != 0:
        raise RecognitionError(f"Bitmap_New({width}, {height}, {bit_count}) failed with code {code}")
    try:
        ctypes.memmove(source.bits, data.tobytes(), source.imageSize)
        code = lib.ImageSkewtrim(ctypes.byref(source), _METHODS[method], level, 1, ctypes.byref(result))
        if code != 0:
            raise RecognitionError(f"ImageSkewtrim failed with code {code}: "
                                   f"{_SKEWTRIM_REASONS.get(code, 'unknown failure')}")
        raw = np.frombuffer(ctypes.string_at(result.bits, result.imageSize), dtype=np.uint8)
        rows = raw.reshape(result.height, result.stride)
        if bit_count == 1:
            out: np.ndarray = np.unpackbits(rows, axis=1)[:, : result.width].astype(bool)
        elif bit_count == 24:
            out = rows[:, : result.width * 3].reshape(result.height, result.width, 3)[:, :, ::-1].copy()
        else:
            out = rows[:, : result.width].copy()
    finally:
        lib.Bitmap_Done(ctypes.byref(source))
        lib.Bitmap_Done(ctypes.byref(result))
    if is_pil:
        from PIL import Image

        return Image.fromarray(out) if out.dtype != bool else Image.fromarray(out).convert("1")
    return out
