"""Orvy thermal kiosk printers from Python.

Pure Python over the toolkit's C libraries (libOrvyApi, libOrvyTb,
libOrvyInquiry) with ctypes: no compiler needed. The system loader finds the
installed libraries; ``ORVY_LIBDIR`` names another directory (after a build:
``build/default/lib``).

Find the printers, open one, print, read its status::

    import orvy

    for info in orvy.list_printers():
        print(info.serial, info.port)

    with orvy.Printer("/dev/orvy/by-serial/K80P1-26-004711/usb") as printer:
        printer.write(b"Hello\n" + orvy.commands.form_feed() + orvy.commands.full_cut(),
                      timeout=2.0)
        status = printer.inquire("status")
        print(status["printer_status.wError"])

Errors all derive from :class:`PrinterError`: :class:`OpenError` (an
``OSError`` with ``.code``), :class:`WriteTimeout` (a ``TimeoutError`` with
``.written``), :class:`PrinterGone` (a ``ConnectionError``),
:class:`InquiryError`, :class:`PrinterClosedError` (a ``ValueError``).

:mod:`orvy.commands` builds the printer's own commands (form feed, full cut,
page length, hard reset, status inquiry).

``python3 -m orvy`` prints the attached printers and each one's status.
"""

from . import commands
from .coded import decode, encode
from .errors import (
    ArgumentError,
    InquiryError,
    LibraryError,
    OpenError,
    PrinterClosedError,
    PrinterError,
    PrinterGone,
    WriteTimeout,
)
from .listing import PrinterInfo, list_printers
from .printer import FieldValue, Printer, record_names

#: The toolkit's version; the package's metadata (pip, Debian) carries the same.
__version__ = "1.6.0"

__all__ = [
    "ArgumentError",
    "FieldValue",
    "InquiryError",
    "LibraryError",
    "OpenError",
    "Printer",
    "PrinterClosedError",
    "PrinterError",
    "PrinterGone",
    "PrinterInfo",
    "WriteTimeout",
    "commands",
    "decode",
    "encode",
    "list_printers",
    "record_names",
]
