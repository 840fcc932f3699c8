"""Finding the kit's libraries as an installation lays them out."""
import os
from pathlib import Path

from ticketkit import _libraries


def test_a_runtime_only_folder_with_just_the_versioned_file_is_found(tmp_path, monkeypatch):
    built = Path(os.environ["TICKETKIT_LIBDIR"]) / "libScannerEmulator.so"
    versioned = tmp_path / "libScannerEmulator.so.0"
    versioned.symlink_to(built.resolve())
    monkeypatch.setenv(_libraries.LIBDIR_VARIABLE, str(tmp_path))
    assert _libraries.locate("ScannerEmulator") == str(versioned)
    # The bare name, where both exist, comes first.
    (tmp_path / "libScannerEmulator.so").symlink_to(built.resolve())
    assert _libraries.locate("ScannerEmulator") == str(tmp_path / "libScannerEmulator.so")
