"""The printers attached to this machine, as Orvy_ListPrinters lists them."""

from __future__ import annotations

import json
from typing import Any, Iterator, Mapping

from ._library import libraries, take_string
from .errors import PrinterError


class PrinterInfo:
    """One attached printer, from the listing of ``Orvy_ListPrinters --json``.

    Every key of the listing is an attribute of the same name; the keys that
    every listing has are typed below, and keys that later listings add (the
    printer's make and model, its print queue) arrive as attributes too.
    ``None`` stands for "there is none".

    Attributes:
        serial: the printer's serial number.
        product_id: its USB product id (1 to 3).
        usb_port: the USB bus path, ``/dev/bus/usb/001/011``; changes on replug.
        lp_port: the usblp device file, ``/dev/usb/lp0``, when usblp is bound.
        stable_usb_port: ``/dev/orvy/by-serial/<SERIAL>/usb``, when the
            toolkit's udev rule is installed.
        stable_lp_port: ``/dev/orvy/by-serial/<SERIAL>/lp``.
        usb_access: whether this user may open the USB port.
        lp_access: whether this user may open the usblp file.
        usb_access_problem, usb_access_fix, lp_access_problem, lp_access_fix:
            why access is denied and what fixes it.
    """

    serial: str | None
    product_id: int
    usb_port: str | None
    lp_port: str | None
    stable_usb_port: str | None
    stable_lp_port: str | None
    usb_access: bool
    lp_access: bool
    usb_access_problem: str | None
    usb_access_fix: str | None
    lp_access_problem: str | None
    lp_access_fix: str | None

    def __init__(self, fields: Mapping[str, Any]) -> None:
        self._fields = dict(fields)
        for key, value in self._fields.items():
            if key.isidentifier() and not key.startswith("_"):
                setattr(self, key, value)

    @property
    def port(self) -> str | None:
        """The port to open: a stable name if there is one, else the USB bus path."""
        for key in ("stable_usb_port", "stable_lp_port", "usb_port", "lp_port"):
            value = self._fields.get(key)
            if value:
                return str(value)
        return None

    def as_dict(self) -> dict[str, Any]:
        """The listing's object for this printer, every key."""
        return dict(self._fields)

    def __getattr__(self, name: str) -> Any:
        # A key that this listing lacks (an older library) reads as none.
        if name in type(self).__annotations__:
            return None
        raise AttributeError(f"{type(self).__name__!r} object has no attribute {name!r}")

    def __iter__(self) -> Iterator[tuple[str, Any]]:
        return iter(self._fields.items())

    def __eq__(self, other: object) -> bool:
        return isinstance(other, PrinterInfo) and other._fields == self._fields

    def __repr__(self) -> str:
        return f"PrinterInfo(serial={self.serial!r}, port={self.port!r})"


def list_printers() -> list[PrinterInfo]:
    """The Orvy printers attached to this machine, sorted by USB bus path.

    The same listing as ``Orvy_ListPrinters``, from one walk of udev's device
    list; no printer is opened, so it is safe while another program prints.
    An empty list when there is none.
    """
    text = take_string(libraries().inquiry.orvy_inquiry_list_printers_json())
    if text is None:
        raise MemoryError("the listing could not be made")
    try:
        listing = json.loads(text)
    except ValueError as error:
        raise PrinterError(f"the listing is not JSON: {error}") from error
    return [PrinterInfo(entry) for entry in listing]
