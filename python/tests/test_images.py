"""Picture conversions, checked against Pillow's own 1-bit packing."""
import numpy as np
import pytest
from PIL import Image

from ticketkit import images


def test_packed_rows_match_pillow_for_a_width_that_is_not_a_multiple_of_eight():
    rng = np.random.default_rng(7)
    grey = rng.integers(0, 256, size=(13, 21), dtype=np.uint8)
    oracle = Image.fromarray(grey).point(lambda v: 255 if v >= images.WHITE_THRESHOLD else 0).convert("1")
    rows, width, height = images.pack_rows(grey)
    assert (width, height) == (21, 13)
    # Pillow pads each row with zero bits; ours pads with white (1) bits.
    expected = np.frombuffer(oracle.tobytes(), dtype=np.uint8).reshape(13, 3).copy()
    expected[:, 2] |= 0x07
    assert rows == expected.tobytes()


def test_rows_padded_to_whole_bytes_stay_white_and_unpack_back():
    mask = np.zeros((2, 5), dtype=bool)
    rows, width, _ = images.pack_rows(mask, width_multiple=8)
    assert width == 8 and rows == bytes([0b00000111, 0b00000111])
    assert images.unpack_rows(rows, 1, 2, width=5).tolist() == [[0] * 5, [0] * 5]


def test_pillow_images_of_every_mode_give_the_same_white_mask():
    grey = np.array([[0, 255], [255, 0]], dtype=np.uint8)
    for image in (Image.fromarray(grey), Image.fromarray(grey).convert("1"), Image.fromarray(grey).convert("RGB")):
        assert images.white_mask(image).tolist() == [[False, True], [True, False]]


@pytest.mark.parametrize("bad", [np.zeros((0, 4), np.uint8), np.zeros((2, 2, 2, 2), np.uint8),
                                 np.array([[300]]), "picture.bmp"])
def test_unusable_pictures_are_refused_with_a_clear_error(bad):
    with pytest.raises((TypeError, ValueError)):
        images.pack_rows(bad)
