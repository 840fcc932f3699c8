"""The Device class against the software scanner-printer."""
import os
import re
import threading
from pathlib import Path

import numpy as np
import pytest
from PIL import Image

import ticketkit
from ticketkit import Device, DeviceError, PaperError, decode
from ticketkit import emulator as emu
from ticketkit.recognition import KIND_HANDWRITTEN_MARKS, KIND_HANDWRITTEN_RELIABILITY, KIND_PRINTED_MARKS

from conftest import TICKET_HEIGHT, TICKET_WIDTH, draw_symbol, ticket_with

HEADER = Path(__file__).resolve().parents[2] / "device" / "Kestrom.h"


def striped_ticket():
    """A white ticket with a black bar 100 rows down, columns 80..239."""
    ticket = np.full((TICKET_HEIGHT, TICKET_WIDTH), 255, np.uint8)
    ticket[100:140, 80:240] = 0
    return ticket


def test_status_fields_are_the_header_record_in_its_order():
    body = re.search(r"typedef struct DeviceStatus \{(.*?)\} DeviceStatus;", HEADER.read_text(), re.S).group(1)
    names = re.findall(r"\b([A-Za-z_][A-Za-z0-9_]*)\s*[,;]", body.replace("int32_t", ""))
    assert tuple(names) == ticketkit.device.STATUS_FIELDS and len(names) == 22


class TestScanning:
    def test_a_black_and_white_scan_holds_the_ticket_pixel_for_pixel(self, device):
        device.emulator.insert_ticket(striped_ticket())
        device.set_scan_area(0, 216)
        picture = device.scan(timeout=10)
        assert (picture.grey, picture.lines_per_mm, picture.width) == (False, 8, 1728)
        pixels = picture.to_numpy()
        assert pixels.shape[0] >= TICKET_HEIGHT - 8
        assert (pixels[100:140, 80:240] == 0).all()
        assert (pixels[20:90, 80:240] == 255).all() and (pixels[150:400, 260:600] == 255).all()
        assert device.status().waiting == 1

    def test_grey_scans_at_four_lines_per_mm_have_half_the_rows(self, device):
        device.set_picture_type(True)
        device.set_lines_per_mm(4)
        device.set_scan_area(0, 80)
        device.emulator.insert_ticket(striped_ticket())
        picture = device.scan(timeout=10)
        assert picture.grey and picture.lines_per_mm == 4 and picture.width == 640
        assert abs(picture.lines - TICKET_HEIGHT // 2) <= 6
        assert picture.to_numpy()[60, 100] < 64 and picture.to_numpy()[20, 100] > 192
        assert picture.to_image().mode == "L"

    def test_the_saved_bmp_reads_back_in_pillow_as_the_picture(self, device, tmp_path):
        device.emulator.insert_ticket(striped_ticket())
        picture = device.scan(timeout=10)
        Device.save_bmp(picture, tmp_path / "Picture.bmp")
        with Image.open(tmp_path / "Picture.bmp") as saved:
            assert saved.size == (picture.width, picture.lines)
            assert (np.asarray(saved.convert("L")) == picture.to_numpy()).all()

    def test_a_scanned_barcode_ticket_decodes_to_its_text(self, device, tmp_path):
        device.emulator.insert_ticket(ticket_with(draw_symbol(tmp_path, "CODE128", "BOARD-77"), at=(80, 120)))
        picture = device.scan(after=ticketkit.AFTER_SCAN_EJECT, timeout=10)
        assert decode(picture).text == "Code 128: BOARD-77\n"


class TestFailures:
    def test_bad_arguments_raise_before_anything_reaches_the_device(self, device):
        with pytest.raises(ValueError, match="216"):
            device.set_scan_area(100, 117)
        with pytest.raises(ValueError):
            device.place_text("A", 0, 0, font="asd", size=7)
        with pytest.raises(ValueError):
            device.place_picture("NINECHARS", 0, 0)
        assert device.emulator.written() == b""

    def test_a_scan_with_the_cover_open_names_the_call_and_the_cover(self, device):
        device.emulator.insert_ticket(striped_ticket())
        device.emulator.set_condition(emu.COND_COVER_OPEN)
        with pytest.raises(DeviceError) as raised:
            device.scan(timeout=2)
        assert raised.value.call == "StartScan" and "cover open" in str(raised.value)
        assert raised.value.status.coverOpen == 1

    def test_waiting_for_a_ticket_that_never_comes_times_out(self, device):
        with pytest.raises(ticketkit.DeviceTimeout, match="ticket at the entry"):
            device.scan(timeout=0.2)

    def test_an_unreachable_device_fails_to_open_with_the_link_named(self, device):
        device.close()
        device.emulator.inject_fault(emu.FAULT_OPEN_FAIL)
        with pytest.raises(DeviceError, match="libScannerEmulator"):
            device.open()
        device.emulator.clear_faults()
        device.open()

    def test_a_closed_device_refuses_calls_and_a_second_device_cannot_steal_the_port(self, device):
        with pytest.raises(DeviceError, match="another Device"):
            Device(emulator=True)
        device.close()
        with pytest.raises(DeviceError, match="not open"):
            device.status()
        with Device(emulator=True) as other:
            assert other.status().scannerIdle == 1
            assert os.environ["PIPEWELL_LIBRARY"] == other.emulator.path
        assert not other.is_open and "PIPEWELL_LIBRARY" not in os.environ


class TestPrinting:
    def test_text_and_a_stored_picture_are_printed_on_the_held_ticket(self, device):
        logo = np.full((48, 64), 255, np.uint8)
        logo[8:40, 8:56] = 0
        device.store_bitmap("LOGO", logo)
        assert device.bitmap_count(ticketkit.AREA_RAM)[0] == 1
        assert device.bitmap_names(ticketkit.AREA_RAM) == ["LOGO"]
        device.emulator.insert_ticket(striped_ticket())
        device.scan(timeout=10)
        device.print_ticket(50, texts=[("PAID 12.50", 2, 30, "byte", 2)], pictures=[("LOGO", 2, 5)],
                            after=ticketkit.AFTER_PRINT_STOP)
        printed = device.emulator.last_print()
        assert (printed < 128).sum() > 500

    def test_a_print_without_paper_at_the_head_raises_and_ejects_the_ticket(self, device):
        device.emulator.insert_ticket(striped_ticket())
        device.scan(timeout=10)
        device.emulator.set_condition(emu.COND_NO_PAPER_AT_HEAD)
        with pytest.raises(PaperError):
            device.print_ticket(20, texts=[("VOID", 0, 5)])
        device.emulator.set_condition(emu.COND_NO_PAPER_AT_HEAD, False)
        assert device.emulator.paper()[0] == 0


class TestMaintenance:
    def test_cis_calibration_reports_rising_progress_that_ends_at_one(self, device):
        seen = []
        device.calibrate_cis(progress=seen.append)
        assert seen[-1] == 1.0 and seen == sorted(seen) and len(seen) >= 2

    def test_a_failing_calibration_raises_and_a_failing_callback_is_raised_after_the_device_is_done(self, device):
        device.emulator.set_condition(emu.COND_CALIBRATION_FAILS)
        with pytest.raises(DeviceError, match="CISDataCorrect"):
            device.calibrate_cis()
        device.emulator.set_condition(emu.COND_CALIBRATION_FAILS, False)

        def interrupt(_):
            raise KeyboardInterrupt

        with pytest.raises(KeyboardInterrupt):
            device.calibrate_cis(progress=interrupt)
        assert device.status().scannerIdle == 1
        assert threading.active_count() == 1 or all(
            not t.name.startswith("ticketkit-") for t in threading.enumerate())

    def test_sensor_calibration_and_a_reset_end_with_the_device_idle_and_open(self, device):
        # Both wait in real time inside the device library (about 6 s and 4 s).
        seen = []
        device.calibrate_sensors(progress=seen.append)
        assert seen[-1] == 1.0 and seen == sorted(seen)
        device.store_bitmap("GONE", np.zeros((16, 16), np.uint8))
        seen.clear()
        device.reset(progress=seen.append)
        assert seen[-1] == 1.0 and device.is_open
        status = device.status()
        assert status.scannerIdle == 1 and status.statusError == 0
        # A restart loses what lived in the device's RAM.
        assert device.bitmap_names(ticketkit.AREA_RAM) == []

    def test_erasing_an_area_removes_its_bitmaps_only(self, device):
        device.store_bitmap("RAMPIC", np.zeros((16, 16), np.uint8))
        device.store_bitmap("FLASHPIC", np.zeros((16, 16), np.uint8), area=ticketkit.AREA_FLASH)
        device.erase_bitmaps(ticketkit.AREA_RAM)
        assert device.bitmap_names(ticketkit.AREA_RAM) == []
        assert device.bitmap_names(ticketkit.AREA_FLASH) == ["FLASHPIC"]
        device.erase_bitmaps(ticketkit.AREA_FLASH)
        assert device.bitmap_names(ticketkit.AREA_FLASH) == []
        with pytest.raises(ValueError):
            device.erase_bitmaps(2)

    def test_the_scan_mode_reaches_the_device_status(self, device):
        device.set_scan_mode(False)
        assert device.status().lockScan == 0
        device.set_scan_mode(True)
        assert device.status().lockScan == 1

    def test_versions_are_reported(self, device):
        assert Device.library_version() == "V1.01/10/03/17"
        assert device.emulator.firmware_version() in device.firmware_version()

    def test_a_file_that_is_not_firmware_is_refused(self, tmp_path):
        bogus = tmp_path / "update.JK"
        bogus.write_bytes(b"TQ-RMX7KP only once")
        with pytest.raises(DeviceError, match="ReadVersion"):
            Device.file_firmware_version(bogus)


def _mkfirmware():
    import os
    import shutil

    libdir = os.environ.get("TICKETKIT_LIBDIR")
    candidate = Path(libdir).parent / "bin" / "mkfirmware" if libdir else None
    if candidate and candidate.is_file():
        return str(candidate)
    found = shutil.which("mkfirmware")
    if found is None:
        pytest.skip("mkfirmware is not built")
    return found


class TestRestarts:
    def test_a_firmware_update_reconnects_and_the_device_runs_the_new_version(self, device, tmp_path):
        import subprocess

        image = tmp_path / "update.JK"
        subprocess.run([_mkfirmware(), "--version", "260412", str(image)], check=True, capture_output=True)
        assert Device.file_firmware_version(image) == "260412"
        seen = []
        device.update_firmware(image, progress=seen.append)
        assert device.emulator.firmware_version() == "260412"
        assert "260412" in device.firmware_version()
        assert seen[-1] == 1.0 and device.status().scannerIdle == 1


def _sample_tickets(pattern):
    libdir = os.environ.get("TICKETKIT_LIBDIR")
    folder = Path(libdir).parent / "samples" / "tickets" if libdir else None
    tickets = sorted(folder.glob(pattern))[:3] if folder and folder.is_dir() else []
    if not tickets:
        pytest.skip("the build has no sample tickets")
    return tickets


def test_the_builds_sample_barcode_tickets_scan_and_decode(device):
    # The whole passage at 8 lines/mm, as the command line's session scans barcode tickets.
    device.set_scan_area(0, 216, 0)
    device.set_picture_type(grey=False)
    device.set_lines_per_mm(8)
    for ticket in _sample_tickets("barcode-*.bmp"):
        device.emulator.insert_ticket(ticket)
        picture = device.scan(after=ticketkit.AFTER_SCAN_EJECT, timeout=10)
        assert decode(picture).symbols, ticket.name


def _expected_readings():
    """File name -> the cells (rows of 0/1 joined by ',') the build's sample generator drew."""
    libdir = os.environ.get("TICKETKIT_LIBDIR")
    manifest = Path(libdir).parent / "samples" / "expected.tsv" if libdir else None
    if not manifest or not manifest.is_file():
        pytest.skip("the build has no sample tickets")
    rows = (line.split("\t") for line in manifest.read_text().splitlines() if line)
    return {fields[0]: fields[3] for fields in rows}


@pytest.fixture
def mark_sheets(device, monkeypatch):
    """The scanner set for mark tickets (whole passage, black and white, 4 lines/mm)
    with the build's format files in force."""
    samples = Path(os.environ["TICKETKIT_LIBDIR"]).parent / "samples"
    monkeypatch.setenv("FMTFILEPATH", str(samples / "FormatFile.txt"))
    monkeypatch.setenv("FMTFILESPPATH", str(samples / "FormatFileSP.txt"))
    device.set_scan_area(0, 216, 0)
    device.set_picture_type(grey=False)
    device.set_lines_per_mm(4)
    return device


def _scan(device, ticket):
    device.emulator.insert_ticket(ticket)
    picture = device.scan(after=ticketkit.AFTER_SCAN_EJECT, timeout=10)
    assert picture.lines_per_mm == 4
    return picture


def test_the_builds_answer_sheets_scan_and_read_as_drawn_with_reliabilities(mark_sheets):
    expected = _expected_readings()
    for ticket in _sample_tickets("marks-*.bmp"):
        picture = _scan(mark_sheets, ticket)
        marks = decode(picture, KIND_HANDWRITTEN_MARKS)
        want = expected[ticket.name].split(",")
        assert marks.cells == want, ticket.name
        assert int(marks.text.split(",")[0]) == sum(len(row) for row in want)

        # Reliability: the same grid, one byte a cell, every filled cell above every blank one.
        sure = decode(picture, KIND_HANDWRITTEN_RELIABILITY)
        assert [len(row) for row in sure.cells] == [len(row) for row in want], ticket.name
        filled = [ord(c) for row, cells in zip(want, sure.cells) for bit, c in zip(row, cells) if bit == "1"]
        blank = [ord(c) for row, cells in zip(want, sure.cells) for bit, c in zip(row, cells) if bit == "0"]
        assert filled and blank and min(filled) > max(blank), (ticket.name, sure.text)


def test_the_builds_printed_mark_tickets_scan_and_read_as_drawn(mark_sheets):
    expected = _expected_readings()
    for ticket in _sample_tickets("printed-marks-*.bmp"):
        marks = decode(_scan(mark_sheets, ticket), KIND_PRINTED_MARKS)
        count, *rows = expected[ticket.name].split(",")
        assert marks.cells == rows, ticket.name
        assert int(marks.text.split(",")[0]) == int(count)


class TestPushTicket:
    def test_a_ticket_pushed_in_by_hand_covers_the_sensors_up_to_its_edge_and_the_device_stays_idle(self, device):
        emulator = device.emulator
        emulator.insert_ticket(striped_ticket())
        emulator.push_ticket(30)  # past both entry sensors and the image sensor, short of the head
        status = device.status()
        assert (status.paperSensorA, status.paperSensorB, status.paperAtPrintHead) == (1, 1, 0)
        assert status.scannerIdle == 1 and status.waiting == 0
        assert emulator.paper()[1] == 30
        emulator.push_ticket(70)  # now under the print head too
        assert device.status().paperAtPrintHead == 1
        # The next scan takes the ticket over.
        picture = device.scan(after=ticketkit.AFTER_SCAN_EJECT, timeout=10)
        assert picture.height > 0

    @pytest.mark.parametrize("edge_mm", [19, 111])
    def test_a_push_out_of_range_is_refused(self, device, edge_mm):
        device.emulator.insert_ticket(striped_ticket())
        with pytest.raises(ticketkit.TicketKitError, match="Emu_PushTicket"):
            device.emulator.push_ticket(edge_mm)

    def test_a_push_without_a_ticket_is_refused(self, device):
        with pytest.raises(ticketkit.TicketKitError, match="Emu_PushTicket"):
            device.emulator.push_ticket(40)
