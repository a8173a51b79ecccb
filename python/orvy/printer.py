"""One open printer: raw bytes both ways, and the inquiry records."""

from __future__ import annotations

import ctypes
import errno
import json
import os
import threading
import time
from ctypes import c_void_p
from types import TracebackType
from typing import Any, Union

from . import _waits
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

# libOrvyApi's codes (Orvy_Api.h).
_API_E_INTERFACE_BUSY = -4
_API_E_GONE = -11
# libOrvyInquiry's results (Orvy_Inquiry.h).
_INQUIRY_E_SEND = -2
_INQUIRY_E_HEADER = -3
_INQUIRY_E_DATA = -6
_INQUIRY_E_GONE = -7

# Throwing input away ends once this long passed without a byte, or at the limit.
_CLEAR_QUIET_SECONDS = 0.1
_CLEAR_LIMIT_SECONDS = 1.0
_CLEAR_CHUNK = 4096
# An inquiry pauses before and after throwing input away, so that a late
# answer to an earlier inquiry is not taken for this one; each of its
# transfers has this long.
_INQUIRY_SETTLE_SECONDS = 0.1
_INQUIRY_TRANSFER_SECONDS = 1.0

#: A value of an inquiry record's field: a number, a text (hex digits for the
#: hex fields) or a list of texts.
FieldValue = Union[int, str, list[str]]


def _api_text(code: int) -> str:
    text: bytes | None = libraries().api.orvy_api_strerror(code)
    return text.decode("utf-8", "replace") if text else f"code {code}"


def _address(data: bytes) -> int:
    """Where the contents of ``data`` lie (no copy; bytes never move)."""
    return ctypes.cast(ctypes.c_char_p(data), c_void_p).value or 0


def _tell_written(error: BaseException, written: int) -> None:
    """Puts the count of bytes that a write had moved on what ended it."""
    try:
        setattr(error, "written", written)
    except (AttributeError, TypeError):
        pass


class Printer:
    """A connection to one Orvy printer.

    ``port`` is any port name that the toolkit takes: ``/dev/usb/lp0``,
    ``/dev/ttyS1`` (serial: 115200 8N1, RTS/CTS), ``/dev/bus/usb/001/011``, or
    a stable name such as ``/dev/orvy/by-serial/<SERIAL>/usb``. A port is held
    by one connection at a time. Opening fails with :class:`OpenError`.

    Use it as a context manager, or call :meth:`close`::

        with orvy.Printer("/dev/orvy/by-serial/K80P1-26-004711/usb") as printer:
            printer.write(b"Hello\n" + orvy.commands.form_feed() + orvy.commands.full_cut())
            status = printer.inquire("status")

    Several printers may be open at once and used from several threads; the
    calls on one printer run one after the other, and every wait lets the
    other threads run. Another thread can end a wait: :meth:`cancel_read`,
    :meth:`cancel_write`, and :meth:`close`, which ends any call on the
    printer with :class:`PrinterClosedError`. After :meth:`close`, every call
    but ``close`` raises :class:`PrinterClosedError`, a ``ValueError``, as a
    closed file does.

    Signals: every wait (opening, :meth:`write`, :meth:`read`, :meth:`clear`,
    :meth:`inquire`) is made of library calls of at most 0.1 s, so a signal
    handler that raises (Ctrl-C's ``KeyboardInterrupt``, a SIGTERM handler's
    ``SystemExit``) ends it within about 0.1 s, and its exception comes out
    of the call. What the call had done is kept: the exception that ends a
    write carries ``written``, the bytes the printer took; bytes that a read
    had received are returned first by the next read.
    """

    def __init__(self, port: str | os.PathLike[str]) -> None:
        self._port = os.fspath(port)
        self._lock = threading.Lock()
        self._conn: c_void_p | None = None
        # What a read had received when an exception ended it.
        self._unread = b""
        # close() was called: every call ends at its next slice.
        self._closing = False
        # Counts of cancel_read() and cancel_write() calls: a call that
        # sees its count change ends.
        self._read_cancels = 0
        self._write_cancels = 0
        if "\0" in self._port:
            raise ArgumentError(f"a port name holds no zero byte: {self._port!r}")
        code, errno_value = self._open()
        if code == _API_E_INTERFACE_BUSY:
            errno_value = errno.EBUSY
        if self._conn is None:
            raise OpenError(code, self._port, _api_text(code), errno_value)

    def _open(self) -> tuple[int, int]:
        """Opens the port on a thread of its own and waits for that thread.

        The library's open retries a USB interface that another program
        holds for about a second; the wait for the thread, unlike that call,
        ends on a signal at once. A connection that the thread gets after
        that is closed by the thread. Returns the open code and errno.
        """
        api = libraries().api
        name = os.fsencode(self._port)
        guard = threading.Lock()
        done = threading.Event()
        outcome: list[tuple[int, int]] = []
        abandoned: list[bool] = []

        def opener() -> None:
            try:
                conn = c_void_p()
                code = api.orvy_api_conn_open(name, ctypes.byref(conn))
                errno_value = ctypes.get_errno() if code == -1 else 0
                with guard:
                    keep = not abandoned
                    if keep:
                        outcome.append((code, errno_value))
                        if code == 0 and conn.value:
                            self._conn = conn
                if not keep and conn.value:
                    api.orvy_api_conn_close(conn)
            finally:
                done.set()

        threading.Thread(target=opener, name=f"orvy open {self._port}", daemon=True).start()
        try:
            done.wait()
        except BaseException:
            with guard:
                abandoned.append(True)
                conn, self._conn = self._conn, None
            if conn is not None:
                api.orvy_api_conn_close(conn)
            raise
        if not outcome:
            raise PrinterError(f"printer {self._port!r}: the open failed")
        return outcome[0]

    @property
    def port(self) -> str:
        """The port name the printer was opened with."""
        return self._port

    @property
    def closed(self) -> bool:
        """True once :meth:`close` was called."""
        return self._closing or self._conn is None

    def _require_open(self) -> c_void_p:
        if self._conn is None or self._closing:
            raise PrinterClosedError(f"printer {self._port!r} is closed")
        return self._conn

    def _check_closing(self) -> None:
        if self._closing:
            raise PrinterClosedError(f"printer {self._port!r} was closed during the call")

    def _failed(self, code: int, written: int = 0) -> PrinterError:
        if code == _API_E_GONE:
            return PrinterGone(f"printer {self._port!r} is gone: {_api_text(code)}", written)
        return PrinterError(f"printer {self._port!r}: {_api_text(code)} (code {code})")

    def _cancels(self, reading: bool) -> int:
        return self._read_cancels if reading else self._write_cancels

    def _move(self, reading: bool, conn: c_void_p, address: int, size: int,
              results: list[int], end: _waits.Deadline, cancels: int) -> bool:
        """Reads or writes ``size`` bytes at ``address`` in slices.

        Ends when all moved, when ``end`` has come (after one call at least,
        so a time-out of 0 still moves what can move at once), when the
        library returns a code (then the last of ``results``), or when the
        count of cancels is no longer ``cancels``: then returns True.
        :meth:`close` ends it with :class:`PrinterClosedError`. ``results``
        counts what moved, whatever ends the loop; it may hold bytes moved
        before.
        """
        api = libraries().api
        function = api.orvy_api_conn_read if reading else api.orvy_api_conn_write
        done = _waits.moved(results)
        first = True
        while done < size:
            self._check_closing()
            if self._cancels(reading) != cancels:
                return True
            milliseconds = _waits.slice_ms(end)
            if milliseconds is None:
                if not first:
                    break
                milliseconds = 0
            first = False
            if _waits.step(function, results, conn, address + done, size - done,
                           milliseconds) < 0:
                break
            done = _waits.moved(results)
            results[:] = [done]
        return False

    def _transfer(self, reading: bool, conn: c_void_p, address: int, size: int,
                  seconds: float) -> int:
        """Bytes moved within ``seconds``, or the library's code when none moved."""
        results: list[int] = []
        self._move(reading, conn, address, size, results, time.monotonic() + seconds,
                   self._cancels(reading))
        done = _waits.moved(results)
        return done if done or not results else min(results[-1], 0)

    def write(self, data: bytes | bytearray | memoryview, timeout: float | None = 1.0) -> int:
        """Sends ``data`` within ``timeout`` seconds and returns its length.

        ``timeout=None`` (or infinity) waits without a limit, until the
        printer took every byte; ``0`` sends only what the printer takes at
        once. Raises :class:`WriteTimeout` (a ``TimeoutError``) when the
        printer did not take every byte in time (out of paper, cover open)
        or :meth:`cancel_write` ended the wait; its ``written`` says how many
        it took: send only the rest again. Raises :class:`PrinterGone` when
        the printer was unplugged, also with ``written``. The exception of a
        signal handler or of :meth:`close` that ends the write gets
        ``written`` too.
        """
        cancels = self._write_cancels
        raw = bytes(data)
        end = _waits.deadline(timeout)
        results: list[int] = []
        with self._lock:
            conn = self._require_open()
            try:
                cancelled = self._move(False, conn, _address(raw), len(raw), results, end,
                                       cancels)
                written = _waits.moved(results)
            except BaseException as error:
                _tell_written(error, _waits.moved(results))
                raise
        if results and results[-1] < 0:
            raise self._failed(results[-1], written)
        if written < len(raw):
            raise WriteTimeout(written, len(raw), timeout, cancelled)
        return written

    def read(self, size: int, timeout: float | None = 1.0) -> bytes:
        """Receives up to ``size`` bytes within ``timeout`` seconds.

        Returns all ``size`` bytes, or fewer (possibly none) when the time
        ran out or :meth:`cancel_read` ended the wait: what arrived is never
        lost. ``timeout=None`` (or infinity) waits without a limit, until
        ``size`` bytes arrived; ``0`` returns what has arrived already. When
        a signal handler's exception ends the read, the bytes it had
        received stay with the printer and the next :meth:`read` returns
        them first (:meth:`clear` and :meth:`inquire` throw them away with
        the other pending input). When the printer is unplugged, returns
        what arrived before; with nothing to return (so on the next call)
        raises :class:`PrinterGone`.
        """
        cancels = self._read_cancels
        if size < 0:
            raise ArgumentError(f"cannot read {size} bytes")
        end = _waits.deadline(timeout)
        with self._lock:
            conn = self._require_open()
            held = self._unread
            if len(held) >= size:
                self._unread = held[size:]
                return held[:size]
            buffer = ctypes.create_string_buffer(held, size)
            results = [len(held)]
            try:
                self._move(True, conn, ctypes.addressof(buffer), size, results, end, cancels)
                data = buffer.raw[:_waits.moved(results)]
            except BaseException:
                self._unread = buffer.raw[:_waits.moved(results)]
                raise
            self._unread = b""
        if not data and results[-1] < 0:
            raise self._failed(results[-1])
        return data

    def clear(self) -> None:
        """Discards the input that is waiting, as before a new question.

        Throws away what has arrived and what arrives until 0.1 s pass
        without a byte, for at most 1 s.
        """
        with self._lock:
            code = self._discard(self._require_open())
        if code < 0:
            raise self._failed(code)

    def _discard(self, conn: c_void_p) -> int:
        """Throws the input away (see :meth:`clear`): 0, or the library's code."""
        self._unread = b""
        read = libraries().api.orvy_api_conn_read
        scratch = ctypes.create_string_buffer(_CLEAR_CHUNK)
        address = ctypes.addressof(scratch)
        limit = time.monotonic() + _CLEAR_LIMIT_SECONDS
        while True:
            self._check_closing()
            got = read(conn, address, _CLEAR_CHUNK, 0)
            if got == 0:
                # Nothing there now: wait the quiet time for one more byte.
                quiet = min(_CLEAR_QUIET_SECONDS, limit - time.monotonic())
                got = read(conn, address, 1, max(0, round(quiet * 1000)))
                if got == 0:
                    return 0
            if got < 0:
                return int(got)
            if time.monotonic() >= limit:
                return 0

    def inquire(self, record: str) -> dict[str, FieldValue]:
        """Asks the printer for one inquiry record and returns its fields.

        ``record`` is ``"status"``, ``"information"``, ``"sensor"``,
        ``"flash"``, ``"presenter"`` or ``"life"``. The result maps each
        field's name to its value, exactly as ``Orvy_InquiryTool -j`` shows
        it under ``"fields"``: ``{"printer_status.siPrintHeadTempC": 31,
        "printer_status.wError": "0000", ...}``. Numbers are ``int``; text
        slots are ``str`` (bytes read as Latin-1); hex fields are ``str`` of
        hex digits in stored order; lists are ``list[str]``.

        One exchange takes at least 200 ms: a pause, the pending input thrown
        away (as :meth:`clear`), a pause, the inquiry, then the answer, each
        transfer within 1 s. Raises :class:`InquiryError` when the record did
        not arrive intact, :class:`PrinterGone` when the printer was unplugged.
        """
        inquiry = libraries().inquiry
        handle = inquiry.orvy_inquiry_record_named(record.encode("ascii", "replace"))
        if not handle:
            names = ", ".join(record_names())
            raise ArgumentError(f"no inquiry record {record!r}; the records are {names}")
        size = inquiry.orvy_inquiry_record_size(handle)
        data = ctypes.create_string_buffer(size)
        with self._lock:
            code = self._exchange(self._require_open(), handle, data)
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

    def _exchange(self, conn: c_void_p, handle: Any, data: ctypes.Array[ctypes.c_char]) -> int:
        """One inquiry of record ``handle`` into ``data``; libOrvyInquiry's result code."""
        inquiry = libraries().inquiry
        time.sleep(_INQUIRY_SETTLE_SECONDS)
        if self._discard(conn) < 0:
            return _INQUIRY_E_GONE
        time.sleep(_INQUIRY_SETTLE_SECONDS)

        command = bytes((0x1D, 0x61, inquiry.orvy_inquiry_record_mask(handle)))
        sent = self._transfer(False, conn, _address(command), len(command),
                              _INQUIRY_TRANSFER_SECONDS)
        if sent == _API_E_GONE:
            return _INQUIRY_E_GONE
        if sent != len(command):
            return _INQUIRY_E_SEND

        header = ctypes.create_string_buffer(4)
        got = self._transfer(True, conn, ctypes.addressof(header), 4,
                             _INQUIRY_TRANSFER_SECONDS)
        if got == _API_E_GONE:
            return _INQUIRY_E_GONE
        if got != 4:
            return _INQUIRY_E_HEADER
        checked = int(inquiry.orvy_inquiry_check_header(handle, header.raw))
        if checked != 0:
            return checked

        got = self._transfer(True, conn, ctypes.addressof(data), len(data),
                             _INQUIRY_TRANSFER_SECONDS)
        if got == _API_E_GONE:
            return _INQUIRY_E_GONE
        return 0 if got == len(data) else _INQUIRY_E_DATA

    def cancel_read(self) -> None:
        """Ends the :meth:`read` that another thread waits in, within about 0.1 s.

        The read returns what has arrived. Reads that start later wait as
        usual; so does a read that waits for another call on this printer
        to end before it starts. An inquiry's wait for its answer ends too
        (with :class:`InquiryError`).
        """
        self._read_cancels += 1

    def cancel_write(self) -> None:
        """Ends the :meth:`write` that another thread waits in, within about 0.1 s.

        The write raises :class:`WriteTimeout`; its ``written`` says how many
        bytes the printer took. Writes that start later wait as usual.
        """
        self._write_cancels += 1

    def close(self) -> None:
        """Closes the connection; a second call does nothing.

        A call that another thread makes on this printer ends within about
        0.1 s and raises :class:`PrinterClosedError` (a write's with
        ``written``); then the connection closes. (On a device file the
        library lets written bytes drain for up to 1 s before it closes.)
        """
        self._closing = True
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
