"""Exceptions raised by the ticketkit package.

The C libraries answer 1 or 0; this package turns every 0 into an exception that
names the call, its arguments and whatever reason can be found out afterwards.
"""
from __future__ import annotations

from typing import Any, Optional, Sequence


class TicketKitError(Exception):
    """Base class of every error this package raises."""


class LibraryNotFoundError(TicketKitError):
    """A kit library (or one of its entry points) could not be loaded."""


class DeviceError(TicketKitError):
    """A device call failed.

    Attributes: ``call`` (C function name), ``arguments`` (as passed), ``reason``
    (what the device status or the run log tells, may be empty), ``status`` (the
    DeviceStatus read after the failure, or None when it could not be read).
    """

    def __init__(self, call: str, arguments: Sequence[Any] = (), reason: str = "",
                 status: Optional[Any] = None, result: Optional[int] = None) -> None:
        self.call = call
        self.arguments = tuple(arguments)
        self.reason = reason
        self.status = status
        self.result = result
        shown = ", ".join(repr(a) for a in self.arguments)
        text = f"{call}({shown}) failed"
        if reason:
            text += f": {reason}"
        super().__init__(text)


class DeviceTimeout(DeviceError):
    """The device did not reach the awaited state in time."""


class PaperError(DeviceError):
    """A print job stopped because no paper was at the print head (StartPrint answered 2)."""


class RecognitionError(TicketKitError):
    """A reader saw something but could not decode it (for example a damaged PDF417 symbol)."""
