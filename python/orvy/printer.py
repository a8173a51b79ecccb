"""One open printer: raw bytes both ways, and the inquiry records."""

from __future__ import annotations

import ctypes
import json
import math
import os
import threading
from ctypes import c_void_p
from types import TracebackType
from typing import Union

from ._library import libraries, take_string
from .errors import (
    ArgumentError,
    InquiryError,
    OpenError,
    PrinterClosedError,
    PrinterError,
    PrinterGone,
    WriteTimeout,
)

# libOrvyApi's codes beyond the open codes (Orvy_Api.h).
_API_E_GONE = -11
# libOrvyInquiry's result for a printer that is gone (Orvy_Inquiry.h).
_INQUIRY_E_GONE = -7
_MAX_TIMEOUT_MS = 2**32 - 1

#: A value of an inquiry record's field: a number, a text (hex digits for the
#: hex fields) or a list of texts.
FieldValue = Union[int, str, list[str]]


def _milliseconds(timeout: float) -> int:
    if not isinstance(timeout, (int, float)) or math.isnan(timeout) or timeout < 0:
        raise ArgumentError(f"a time-out is a number of seconds, 0 or more, not {timeout!r}")
    return min(math.ceil(timeout * 1000), _MAX_TIMEOUT_MS)


def _api_text(code: int) -> str:
    text = libraries().api.orvy_api_strerror(code)
    return text.decode("utf-8", "replace") if text else f"code {code}"


class Printer:
    """A connection to one Orvy printer.

    ``port`` is any port name that the toolkit takes: ``/dev/usb/lp0``,
    ``/dev/ttyS1`` (serial: 115200 8N1, RTS/CTS), ``/dev/bus/usb/001/011``, or
    a stable name such as ``/dev/orvy/by-serial/<SERIAL>/usb``. A port is held
    by one connection at a time. Opening fails with :class:`OpenError`.

    Use it as a context manager, or call :meth:`close`::

        with orvy.Printer("/dev/orvy/by-serial/K80P1-26-004711/usb") as printer:
            printer.write(orvy.encode('"Hello" [0A] [1B 69]'))
            status = printer.inquire("status")

    Several printers may be open at once and used from several threads; the
    calls on one printer run one after the other, and every wait lets the
    other threads run. After :meth:`close`, every call but ``close`` raises
    :class:`PrinterClosedError`, a ``ValueError``, as a closed file does.
    """

    def __init__(self, port: str | os.PathLike[str]) -> None:
        self._port = os.fspath(port)
        self._lock = threading.Lock()
        self._conn: c_void_p | None = None
        if "\0" in self._port:
            raise ArgumentError(f"a port name holds no zero byte: {self._port!r}")
        api = libraries().api
        conn = c_void_p()
        code = api.orvy_api_conn_open(os.fsencode(self._port), ctypes.byref(conn))
        if code != 0 or not conn.value:
            errno_value = ctypes.get_errno() if code == -1 else 0
            raise OpenError(code, self._port, _api_text(code), errno_value)
        self._conn = conn

    @property
    def port(self) -> str:
        """The port name the printer was opened with."""
        return self._port

    @property
    def closed(self) -> bool:
        """True once :meth:`close` was called."""
        return self._conn is None

    def _require_open(self) -> c_void_p:
        if self._conn is None:
            raise PrinterClosedError(f"printer {self._port!r} is closed")
        return self._conn

    def _failed(self, code: int) -> PrinterError:
        if code == _API_E_GONE:
            return PrinterGone(f"printer {self._port!r} is gone: {_api_text(code)}")
        return PrinterError(f"printer {self._port!r}: {_api_text(code)} (code {code})")

    def write(self, data: bytes | bytearray | memoryview, timeout: float = 1.0) -> int:
        """Sends ``data`` within ``timeout`` seconds and returns its length.

        Raises :class:`WriteTimeout` (a ``TimeoutError``) when the printer did
        not take every byte in time (out of paper, cover open); its
        ``written`` says how many it took. Raises :class:`PrinterGone` when
        the printer was unplugged.
        """
        raw = bytes(data)
        milliseconds = _milliseconds(timeout)
        with self._lock:
            conn = self._require_open()
            written = libraries().api.orvy_api_conn_write(conn, raw, len(raw), milliseconds)
        if written < 0:
            raise self._failed(written)
        if written < len(raw):
            raise WriteTimeout(written, len(raw), timeout)
        return written

    def read(self, size: int, timeout: float = 1.0) -> bytes:
        """Receives up to ``size`` bytes within ``timeout`` seconds.

        Returns all ``size`` bytes, or fewer (possibly none) when the time
        ran out: what arrived in time is never lost. Raises
        :class:`PrinterGone` when the printer was unplugged.
        """
        if size < 0:
            raise ArgumentError(f"cannot read {size} bytes")
        milliseconds = _milliseconds(timeout)
        buffer = ctypes.create_string_buffer(size)
        with self._lock:
            conn = self._require_open()
            got = libraries().api.orvy_api_conn_read(conn, buffer, size, milliseconds)
        if got < 0:
            raise self._failed(got)
        return buffer.raw[:got]

    def clear(self) -> None:
        """Discards the input that is waiting, as before a new question."""
        with self._lock:
            conn = self._require_open()
            code = libraries().api.orvy_api_conn_clear(conn)
        if code < 0:
            raise self._failed(code)

    def inquire(self, record: str) -> dict[str, FieldValue]:
        """Asks the printer for one inquiry record and returns its fields.

        ``record`` is ``"status"``, ``"information"``, ``"sensor"``,
        ``"flash"``, ``"presenter"`` or ``"life"``. The result maps each
        field's name to its value, exactly as ``Orvy_InquiryTool -j`` shows
        it under ``"fields"``: ``{"printer_status.siPrintHeadTempC": 31,
        "printer_status.wError": "0000", ...}``. Numbers are ``int``; text
        slots are ``str`` (bytes read as Latin-1); hex fields are ``str`` of
        hex digits in stored order; lists are ``list[str]``.

        One exchange takes at least 200 ms. Raises :class:`InquiryError`
        when the record did not arrive intact, :class:`PrinterGone` when the
        printer was unplugged.
        """
        inquiry = libraries().inquiry
        handle = inquiry.orvy_inquiry_record_named(record.encode("ascii", "replace"))
        if not handle:
            names = ", ".join(record_names())
            raise ArgumentError(f"no inquiry record {record!r}; the records are {names}")
        size = inquiry.orvy_inquiry_record_size(handle)
        data = ctypes.create_string_buffer(size)
        with self._lock:
            conn = self._require_open()
            code = inquiry.orvy_inquiry_exchange(conn, handle, data, size)
        if code == _INQUIRY_E_GONE:
            raise PrinterGone(f"printer {self._port!r} is gone")
        if code != 0:
            text = inquiry.orvy_inquiry_strerror(code).decode("utf-8", "replace")
            raise InquiryError(record, code, text)
        fields = take_string(inquiry.orvy_inquiry_fields_json(handle, data, size))
        if fields is None:
            raise MemoryError("the fields could not be read")
        result: dict[str, FieldValue] = json.loads(fields)
        return result

    def close(self) -> None:
        """Closes the connection; a second call does nothing.

        Waits for a call that another thread is making on this printer.
        """
        with self._lock:
            conn, self._conn = self._conn, None
            if conn is not None:
                libraries().api.orvy_api_conn_close(conn)

    def __enter__(self) -> Printer:
        self._require_open()
        return self

    def __exit__(
        self,
        kind: type[BaseException] | None,
        value: BaseException | None,
        traceback: TracebackType | None,
    ) -> None:
        self.close()

    def __del__(self) -> None:
        # A printer that was never closed still gives its port back.
        if getattr(self, "_conn", None) is not None:
            try:
                self.close()
            except Exception:  # noqa: BLE001 - interpreter shutting down
                pass

    def __repr__(self) -> str:
        state = "closed" if self.closed else "open"
        return f"<orvy.Printer {self._port!r} {state}>"


def record_names() -> list[str]:
    """The short names of the six inquiry records, in inquiry bit order."""
    inquiry = libraries().inquiry
    names = []
    for index in range(inquiry.orvy_inquiry_record_count()):
        name = inquiry.orvy_inquiry_record_short_name(inquiry.orvy_inquiry_record_at(index))
        names.append(name.decode("ascii"))
    return names


