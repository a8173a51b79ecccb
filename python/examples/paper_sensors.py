#!/usr/bin/python3
"""Watches the paper sensors of every attached Orvy printer.

One thread per printer keeps the printer open, asks for its sensor record
every few seconds and prints a line whenever a paper sensor changes: paper
near its end, paper at the entry, paper in the exit or the presenter. A
printer that is unplugged is opened again by its stable name when it comes
back.

    python3 paper_sensors.py [--interval SECONDS] [--rounds N]

From the source tree, after a build, on the simulated printers:

    build/default/sim/Orvy_Simulator --printers 2 -- \\
        env PYTHONPATH=python ORVY_LIBDIR=build/default/lib \\
        python3 python/examples/paper_sensors.py --rounds 2
"""

from __future__ import annotations

import argparse
import threading
import time

import orvy

# The paper sensors of the sensor record, and what a change of each means.
PAPER_SENSORS = {
    "printer_sensor.ubPaperPreEndSensorState": "paper near end",
    "printer_sensor.ubPaperEntrySensor1State": "paper entry 1",
    "printer_sensor.ubPaperEntrySensor2State": "paper entry 2",
    "printer_sensor.ubPaperExitSensorState": "paper exit",
    "printer_sensor.ubPresenterSensor1State": "presenter 1",
    "printer_sensor.ubPresenterSensor2State": "presenter 2",
}

print_lock = threading.Lock()


def say(serial: str, text: str) -> None:
    with print_lock:
        print(f"{time.strftime('%H:%M:%S')}  {serial}  {text}", flush=True)


def watch(info: orvy.PrinterInfo, interval: float, rounds: int | None) -> None:
    """Polls one printer's paper sensors; reports each change."""
    serial = info.serial or "?"
    port = info.port
    if port is None:
        say(serial, "no port to open")
        return
    last: dict[str, orvy.FieldValue] = {}
    problem = ""  # told once, until it changes

    def trouble(text: str) -> None:
        nonlocal problem
        if text != problem:
            say(serial, text)
            problem = text

    done = 0
    while rounds is None or done < rounds:
        try:
            with orvy.Printer(port) as printer:
                while rounds is None or done < rounds:
                    sensors = printer.inquire("sensor")
                    problem = ""
                    for field, label in PAPER_SENSORS.items():
                        if sensors[field] != last.get(field):
                            say(serial, f"{label}: {sensors[field]}")
                            last[field] = sensors[field]
                    done += 1
                    time.sleep(interval)
        except orvy.PrinterGone:
            trouble("unplugged; waiting for it to come back")
            time.sleep(1)
        except orvy.OpenError as error:
            trouble(f"cannot open it: {error}")
            time.sleep(max(interval, 1))
        except orvy.PrinterError as error:
            trouble(f"no answer: {error}")
            done += 1
            time.sleep(interval)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--interval", type=float, default=5.0, help="seconds between inquiries")
    parser.add_argument("--rounds", type=int, default=None, help="stop after N inquiries a printer")
    arguments = parser.parse_args()

    printers = orvy.list_printers()
    if not printers:
        print("No Orvy printer found.")
        return 1
    threads = [
        threading.Thread(target=watch, args=(info, arguments.interval, arguments.rounds),
                         daemon=True)
        for info in printers
    ]
    for thread in threads:
        thread.start()
    try:
        for thread in threads:
            thread.join()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
