"""python3 -m orvy: the attached printers and each one's status, one line each."""

from __future__ import annotations

import sys

from . import PrinterError, PrinterInfo, Printer, list_printers

_USAGE = """usage: python3 -m orvy [PORT...]
Prints every attached Orvy printer (or the printers at the PORTs given) and
its status in one line. Exit status: 0 every printer answered, 1 no printer
found, 2 a printer did not answer, 3 a usage error."""


def status_line(port: str, serial: str | None = None) -> tuple[bool, str]:
    """One printer's line, and whether it answered."""
    label = f"{serial or '-'}  {port}"
    try:
        with Printer(port) as printer:
            status = printer.inquire("status")
    except PrinterError as error:
        return False, f"{label}  failed: {error}"
    error_word = status["printer_status.wError"]
    volts = int(str(status["printer_status.wBoardVoltageTv"])) / 10
    state = "ok" if error_word == "0000" else "error"
    return True, (
        f"{label}  {state}  status {status['printer_status.dwStatus']}"
        f"  state {status['printer_status.ubState']}  error {error_word}"
        f"  head {status['printer_status.siPrintHeadTempC']} C  board {volts:.1f} V"
    )


def main(arguments: list[str]) -> int:
    """Runs the command line; returns the exit status."""
    if any(argument.startswith("-") for argument in arguments):
        print(_USAGE, file=sys.stdout if "-h" in arguments or "--help" in arguments else sys.stderr)
        return 0 if "-h" in arguments or "--help" in arguments else 3
    try:
        printers: list[tuple[str, str | None]] = [(port, None) for port in arguments]
        if not printers:
            found: list[PrinterInfo] = list_printers()
            printers = [(info.port, info.serial) for info in found if info.port]
    except PrinterError as error:
        print(f"orvy: {error}", file=sys.stderr)
        return 1
    if not printers:
        print("No Orvy printer found.")
        return 1
    answered = True
    for port, serial in printers:
        ok, line = status_line(port, serial)
        answered = answered and ok
        print(line, flush=True)
    return 0 if answered else 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
