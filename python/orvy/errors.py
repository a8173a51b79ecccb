"""The exceptions of the package; every one derives from PrinterError."""

from __future__ import annotations

import os


class PrinterError(Exception):
    """Base of every error that the orvy package raises."""


class LibraryError(PrinterError, OSError):
    """The toolkit's C libraries cannot be loaded (see ORVY_LIBDIR)."""


class OpenError(PrinterError, OSError):
    """The printer's port could not be opened.

    ``code`` is the library's open code (-1 to -8; see ``man Orvy_Api``),
    ``port`` the port name. For code -1 ``errno`` says why (EBUSY: another
    program or connection holds the port; EACCES: no permission; ENOENT: no
    such file).
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

    def __str__(self) -> str:
        reason = self.strerror if self.errno else self.text
        return f"cannot open printer port {self.port!r}: {reason} (open error {self.code})"


class WriteTimeout(PrinterError, TimeoutError):
    """Not every byte was taken within the time-out.

    ``written`` is the number of bytes that the printer did take: send only the
    rest again.
    """

    def __init__(self, written: int, size: int, timeout: float | None) -> None:
        within = "" if timeout is None else f" within {timeout} s"
        super().__init__(f"the printer took {written} of {size} bytes{within}")
        self.written = written
        self.size = size


class PrinterGone(PrinterError, ConnectionError):
    """The printer is no longer there (unplugged).

    Close the printer and open its port again; a stable name such as
    ``/dev/orvy/by-serial/<SERIAL>/usb`` finds it after a replug.
    """


class InquiryError(PrinterError):
    """An inquiry record did not arrive intact.

    ``code`` is libOrvyInquiry's result code, ``record`` the record's short
    name.
    """

    def __init__(self, record: str, code: int, text: str) -> None:
        super().__init__(f"inquiry {record!r} failed: {text}")
        self.record = record
        self.code = code


class PrinterClosedError(PrinterError, ValueError):
    """A call on a printer that was closed, as on a closed file."""


class ArgumentError(PrinterError, ValueError):
    """An argument that the call cannot take: a negative time-out, an unknown record."""
