"""The readers on pictures with symbols drawn by zint, and the straightening on
tickets drawn with Pillow."""
import numpy as np
import pytest
from PIL import Image

import ticketkit
from ticketkit import RecognitionError, decode, read_barcodes, read_pdf417, straighten

from conftest import draw_symbol, ticket_with


class TestLinearBarcodes:
    def test_code128_and_ean13_are_read_with_their_place_on_the_ticket(self, tmp_path):
        ticket = ticket_with(draw_symbol(tmp_path, "CODE128", "TK-2026-0042"), at=(60, 40))
        ticket[300:, :] = np.asarray(ticket_with(draw_symbol(tmp_path, "EANX", "400638133393"), at=(60, 0)))[:180]
        found = {b.name: b for b in read_barcodes(ticket)}
        assert found["Code 128"].text == "TK-2026-0042"
        assert found["EAN-13"].text == "4006381333931"
        (right, bottom), (left, _), (_, top), _ = found["Code 128"].corners
        assert 50 <= left <= 70 and top < 300 and bottom < 300 and right > left
        assert found["Code 128"].direction == (1, 0)

    def test_a_symbol_turned_a_quarter_is_read_down_the_columns(self, tmp_path):
        symbol = draw_symbol(tmp_path, "CODE39", "GATE7").rotate(90, expand=True)
        [barcode] = read_barcodes(ticket_with(symbol, at=(100, 40)))
        assert (barcode.name, barcode.text, barcode.direction) == ("Code 39", "GATE7", (0, 1))

    def test_only_the_symbologies_asked_for_are_reported(self, tmp_path):
        ticket = ticket_with(draw_symbol(tmp_path, "CODE128", "ONLY128"))
        assert read_barcodes(ticket, symbologies=["EAN-13", "Codabar"]) == []
        assert [b.text for b in read_barcodes(ticket, symbologies=["Code 128"])] == ["ONLY128"]
        with pytest.raises(ValueError):
            read_barcodes(ticket, symbologies=["QR Code"])

    def test_a_blank_ticket_has_no_barcodes(self):
        assert read_barcodes(np.full((200, 300), 255, np.uint8)) == []


class TestPdf417:
    def test_the_symbol_data_comes_back_byte_for_byte(self, tmp_path):
        text = "Ticket 42: Lisbon-Porto, coach 5"
        assert read_pdf417(ticket_with(draw_symbol(tmp_path, "PDF417", text))) == text.encode()

    def test_a_blank_picture_gives_none(self):
        assert read_pdf417(np.full((100, 100), 255, np.uint8)) is None

    def test_a_symbol_with_most_of_its_columns_wiped_is_an_error_not_a_text(self, tmp_path):
        ticket = ticket_with(draw_symbol(tmp_path, "PDF417", "Ticket 42: Lisbon-Porto, coach 5"))
        ticket[:, 150:330] = 255
        try:
            assert read_pdf417(ticket) is None
        except RecognitionError as error:
            assert "PDF417" in str(error)


class TestDecode:
    def test_barcode_kind_lists_every_symbol_as_name_and_text(self, tmp_path):
        ticket = ticket_with(draw_symbol(tmp_path, "CODE128", "SEAT-14B"), at=(40, 20))
        ticket[250:, :] = ticket_with(draw_symbol(tmp_path, "PDF417", "Coach 5"), at=(40, 0))[:230]
        result = decode(Image.fromarray(ticket).convert("1"), "barcodes")
        assert result.text == "Code 128: SEAT-14B\nPDF417: Coach 5\n"
        assert result.count == 2 and not result.cut
        assert [(s.symbology, s.text) for s in result.symbols] == [("Code 128", "SEAT-14B"), ("PDF417", "Coach 5")]

    def test_a_blank_page_reads_nothing_and_is_false(self):
        result = decode(np.full((120, 200), 255, np.uint8), ticketkit.recognition.KIND_BARCODES)
        assert not result and result.text == "" and result.symbols == ()

    @pytest.mark.parametrize("kind, lines_per_mm", [(3, None), ("qr", None), (1, 6)])
    def test_bad_arguments_raise_instead_of_reading_nothing(self, kind, lines_per_mm):
        with pytest.raises(ValueError):
            decode(np.full((16, 16), 255, np.uint8), kind, lines_per_mm)

    def test_the_dispatcher_reports_its_version(self):
        assert ticketkit.decode_version().startswith("libdecode")


def skewed_ticket(mode="L", angle=4.0):
    """A 400 x 250 white ticket with a black bar, turned by `angle` on dark grey."""
    paper = Image.new(mode, (400, 250), "white")
    paper.paste("black" if mode != "L" else 0, (40, 40, 200, 80))
    canvas = Image.new(mode, (560, 420), (60, 60, 60) if mode == "RGB" else 60)
    turned = paper.rotate(angle, expand=True, fillcolor=(60, 60, 60) if mode == "RGB" else 60)
    canvas.paste(turned, (60, 60))
    return canvas


class TestStraighten:
    @pytest.mark.parametrize("mode", ["L", "RGB"])
    def test_a_skewed_ticket_comes_back_upright_at_its_own_size(self, mode):
        result = straighten(skewed_ticket(mode))
        assert isinstance(result, Image.Image) and result.mode == mode
        width, height = result.size
        assert abs(width - 400) <= 6 and abs(height - 250) <= 6
        grey = np.asarray(result.convert("L"))
        # The bar sits upright: its top and bottom rows are dark over their whole length.
        assert grey[60, 60:180].mean() < 80
        assert grey[140, 20:380].mean() > 200

    def test_numpy_grey_in_gives_numpy_grey_out(self):
        result = straighten(np.asarray(skewed_ticket("L")), method="nearest")
        assert result.dtype == np.uint8 and result.ndim == 2

    def test_a_picture_without_paper_is_an_error_with_the_reason(self):
        with pytest.raises(RecognitionError, match="no paper"):
            straighten(np.full((200, 300), 60, np.uint8))

    def test_unknown_methods_and_levels_are_refused(self):
        with pytest.raises(ValueError):
            straighten(np.full((20, 20), 60, np.uint8), method="lanczos")
        with pytest.raises(ValueError):
            straighten(np.full((20, 20), 60, np.uint8), level=256)
