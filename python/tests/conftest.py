"""Shared fixtures: the software scanner-printer behind the device library, and
tickets with real symbols drawn by the independent zint encoder."""
from __future__ import annotations

import shutil
import subprocess
from pathlib import Path

import numpy as np
import pytest
from PIL import Image

import ticketkit

# Device milliseconds per real millisecond: scans, feeds and calibrations finish fast.
EMULATOR_TIME_SCALE = 50
# Ticket size in dots (8 per mm): 80 mm across, 60 mm along.
TICKET_WIDTH, TICKET_HEIGHT = 640, 480


@pytest.fixture(scope="session")
def scanner():
    """One open Device on the emulator for the whole run (the port is per process)."""
    device = ticketkit.Device(emulator=True)
    device.emulator.set_time_scale(EMULATOR_TIME_SCALE)
    yield device
    device.close()


@pytest.fixture
def device(scanner, tmp_path, monkeypatch):
    """The scanner after a factory power cycle, idle and empty, port open."""
    monkeypatch.chdir(tmp_path)
    emulator = scanner.emulator
    emulator.clear_faults()
    emulator.reset(factory=True)
    emulator.set_time_scale(EMULATOR_TIME_SCALE)
    if not scanner.is_open:
        scanner.open()
    scanner.set_picture_type(False)
    scanner.set_lines_per_mm(8)
    emulator.clear_journal()
    return scanner


def draw_symbol(tmp_path: Path, symbology: str, data: str, scale: float = 1.5) -> Image.Image:
    """A symbol drawn by the zint command line, as a grey Pillow image."""
    if shutil.which("zint") is None:
        pytest.skip("the zint encoder is not installed")
    out = tmp_path / f"{symbology}.png"
    subprocess.run(["zint", f"--barcode={symbology}", f"--scale={scale}", "--notext", f"--data={data}",
                    f"--output={out}"], check=True, capture_output=True)
    with Image.open(out) as image:
        return image.convert("L")


def ticket_with(symbol: Image.Image, at=(60, 80)) -> np.ndarray:
    """A white ticket (grey levels) with the symbol pasted at (x, y)."""
    ticket = Image.new("L", (TICKET_WIDTH, TICKET_HEIGHT), 255)
    ticket.paste(symbol, at)
    return np.asarray(ticket, dtype=np.uint8).copy()
