"""The exceptions of the package; every one derives from PrinterError.

Every one pickles with its attributes, so that it crosses from a worker
process (multiprocessing, concurrent.futures) to the caller intact.
"""

from __future__ import annotations

import os
from typing import Any


class PrinterError(Exception):
    """Base of every error that the orvy package raises."""

    def __reduce__(self) -> tuple[Any, ...]:
        # Exception's own pickling calls the class with .args, which holds
        # the message, not what the constructors below take.
        return (type(self), self._arguments(), self.__dict__)

    def _arguments(self) -> tuple[Any, ...]:
        """What the constructor takes to make this error again."""
        return self.args


class LibraryError(PrinterError, OSError):
    """The toolkit's C libraries cannot be loaded (see ORVY_LIBDIR)."""


class OpenError(PrinterError, OSError):
    """The printer's port could not be opened.

    ``code`` is the library's open code (-1 to -8; see ``man Orvy_Api``),
    ``port`` the port name. ``errno`` says why for code -1 (EBUSY: another
    program or connection holds the port; EACCES: no permission; ENOENT: no
    such file), and is EBUSY for code -4 too (a USB printer whose interface
    another program or connection holds), so that a port held elsewhere is
    EBUSY on every transport; otherwise ``None``.
    """

    def __init__(self, code: int, port: str, text: str, errno_value: int = 0) -> None:
        if errno_value:
            super().__init__(errno_value, f"{text}: {os.strerror(errno_value)}", port)
        else:
            super().__init__(text)
            self.filename = port
        self.code = code
        self.port = port
        self.text = text

    def _arguments(self) -> tuple[Any, ...]:
        return (self.code, self.port, self.text, self.errno or 0)

    def __str__(self) -> str:
        reason = self.strerror if self.errno else self.text
        return f"cannot open printer port {self.port!r}: {reason} (open error {self.code})"


class WriteTimeout(PrinterError, TimeoutError):
    """Not every byte was taken within the time-out, or the write was cancelled.

    ``written`` is the number of bytes that the printer did take: send only the
    rest again. ``size`` is the number of bytes the write had, ``timeout`` its
    time-out.
    """

    def __init__(self, written: int, size: int, timeout: float | None,
                 cancelled: bool = False) -> None:
        if cancelled:
            when = " before the write was cancelled"
        else:
            when = "" if timeout is None else f" within {timeout} s"
        super().__init__(f"the printer took {written} of {size} bytes{when}")
        self.written = written
        self.size = size
        self.timeout = timeout
        self.cancelled = cancelled

    def _arguments(self) -> tuple[Any, ...]:
        return (self.written, self.size, self.timeout, self.cancelled)


class PrinterGone(PrinterError, ConnectionError):
    """The printer is no longer there (unplugged).

    Close the printer and open its port again; a stable name such as
    ``/dev/orvy/by-serial/<SERIAL>/usb`` finds it after a replug. ``written``
    is the number of bytes that the printer took of a write that it left in
    the middle (0 for other calls).
    """

    def __init__(self, message: str, written: int = 0) -> None:
        super().__init__(message)
        self.written = written

    def _arguments(self) -> tuple[Any, ...]:
        return (self.args[0], self.written)


class InquiryError(PrinterError):
    """An inquiry record did not arrive intact.

    ``code`` is libOrvyInquiry's result code, ``record`` the record's short
    name, ``text`` the library's text for the code.
    """

    def __init__(self, record: str, code: int, text: str) -> None:
        super().__init__(f"inquiry {record!r} failed: {text}")
        self.record = record
        self.code = code
        self.text = text

    def _arguments(self) -> tuple[Any, ...]:
        return (self.record, self.code, self.text)


class PrinterClosedError(PrinterError, ValueError):
    """A call on a printer that was closed, as on a closed file."""


class ArgumentError(PrinterError, ValueError):
    """An argument that the call cannot take: a bad time-out, an unknown record."""
