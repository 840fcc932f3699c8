"""Conversions between the kit's raw picture rows and NumPy arrays / Pillow images.

The kit's black-and-white rows are packed eight pixels to a byte, most significant
bit leftmost, bit 1 = white (paper), 0 = black. Grey rows hold one byte per pixel
(0 black .. 255 white). In NumPy a picture is a 2-D ``uint8`` array of grey levels
(black-and-white pictures as 0 and 255) or a 2-D ``bool`` array (True = white, as
Pillow's mode "1" converts), or a 3-D RGB ``uint8`` array.
"""
from __future__ import annotations

from typing import Any, Tuple

import numpy as np

# A grey level at or above this counts as white when a grey picture is reduced to
# black and white (0..255).
WHITE_THRESHOLD = 128


def _from_pil(image: Any) -> np.ndarray:
    """Pillow image -> NumPy array (bool for mode "1", grey uint8 otherwise, RGB kept)."""
    if image.mode == "1":
        return np.asarray(image, dtype=bool)
    if image.mode in ("RGB", "RGBA"):
        return np.asarray(image.convert("RGB"), dtype=np.uint8)
    return np.asarray(image.convert("L"), dtype=np.uint8)


def as_array(image: Any) -> np.ndarray:
    """Any supported picture (NumPy array, Pillow image, object with to_numpy())
    as a NumPy array; raises TypeError or ValueError for anything else."""
    if hasattr(image, "to_numpy") and not isinstance(image, np.ndarray):
        return image.to_numpy()
    if hasattr(image, "mode") and hasattr(image, "size") and hasattr(image, "convert"):
        return _from_pil(image)
    if not isinstance(image, np.ndarray):
        raise TypeError(f"expected a NumPy array or a Pillow image, got {type(image).__name__}")
    if image.ndim == 3 and image.shape[2] in (3, 4):
        return np.ascontiguousarray(image[:, :, :3], dtype=np.uint8)
    if image.ndim != 2:
        raise ValueError(f"expected a 2-D picture (or H x W x 3 RGB), got shape {image.shape}")
    if image.shape[0] < 1 or image.shape[1] < 1:
        raise ValueError(f"empty picture of shape {image.shape}")
    if image.dtype == bool:
        return image
    if image.dtype != np.uint8:
        if image.min() < 0 or image.max() > 255:
            raise ValueError("grey levels must lie within 0..255")
        return image.astype(np.uint8)
    return image


def white_mask(image: Any) -> np.ndarray:
    """2-D bool array, True where the picture is white (paper)."""
    array = as_array(image)
    if array.dtype == bool:
        return array
    if array.ndim == 3:
        grey = (array[:, :, 0] * 0.299 + array[:, :, 1] * 0.587 + array[:, :, 2] * 0.114)
        return grey >= WHITE_THRESHOLD
    return array >= WHITE_THRESHOLD


def pack_rows(image: Any, width_multiple: int = 1) -> Tuple[bytes, int, int]:
    """The picture as packed 1-bit rows (bit 1 = white), padded on the right with
    white to a width that is a multiple of ``width_multiple`` pixels.
    Returns (rows, width in pixels, height in rows)."""
    mask = white_mask(image)
    height, width = mask.shape
    padded = -(-width // width_multiple) * width_multiple
    whole_bytes = -(-padded // 8) * 8
    if whole_bytes != width:
        mask = np.concatenate([mask, np.ones((height, whole_bytes - width), dtype=bool)], axis=1)
    return np.packbits(mask, axis=1).tobytes(), padded, height


def unpack_rows(data: bytes, line_bytes: int, lines: int, width: int = 0) -> np.ndarray:
    """Packed 1-bit rows -> 2-D uint8 array of 0 (black) and 255 (white);
    ``width`` (pixels) cuts the padding off, 0 keeps line_bytes x 8."""
    packed = np.frombuffer(data, dtype=np.uint8, count=line_bytes * lines).reshape(lines, line_bytes)
    bits = np.unpackbits(packed, axis=1)
    if width:
        bits = bits[:, :width]
    return bits * np.uint8(255)


def to_pil(array: np.ndarray, black_and_white: bool = False) -> Any:
    """NumPy grey (or RGB) array -> Pillow image, mode "1" when black_and_white."""
    from PIL import Image

    if array.ndim == 3:
        return Image.fromarray(array, "RGB")
    image = Image.fromarray(np.ascontiguousarray(array, dtype=np.uint8), "L")
    return image.convert("1", dither=Image.Dither.NONE) if black_and_white else image
