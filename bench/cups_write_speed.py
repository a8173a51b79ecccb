#!/usr/bin/env python3
"""Write speed through CUPS: the same 256 KiB job as api_write_speed_bench,
sent by Debian's CUPS usb backend (an outside client) to a simulated printer
with a 16 KiB buffer that prints 115200 bytes/s.

    python3 bench/cups_write_speed.py [BUILD_DIR] [RUNS]

BUILD_DIR defaults to build/default, RUNS to 3. The script starts itself
again under Orvy_Simulator. Per run it prints:
  send_s      from the backend's "Sending data to printer." to its
              "Sent 262144 bytes" (the time the printer took the job)
  floor_s     bytes beyond the buffer / rate: no send can end sooner
  over_floor  send_s / floor_s
  total_s     the backend's whole run (it waits for the printer's back
              channel after the last byte before it exits)
  cpu_ms      the backend's CPU time (user + system) over the whole run
"""
import os
import resource
import subprocess
import sys
import time

BACKEND = "/usr/lib/cups/backend/usb"
JOB_BYTES = 256 * 1024
BUFFER_BYTES = 16 * 1024
RATE = 115200
CHILD_MARK = "ORVY_CUPS_WRITE_SPEED_CHILD"


def print_job() -> bytes:
    """Receipt lines of 47 characters and a line feed, as a long text job."""
    lines = []
    size = 0
    line = 0
    while size < JOB_BYTES:
        text = "%06u ITEM %s 12.50 EUR\n" % (line, "." * 25)
        lines.append(text)
        size += len(text)
        line += 1
    return "".join(lines).encode()[:JOB_BYTES]


def cups_uri(listing: str) -> str:
    out = subprocess.run([listing, "--json"], capture_output=True, text=True, timeout=30,
                         check=True).stdout
    for part in out.split('"cups_uri": "')[1:]:
        return part.split('"', 1)[0]
    raise SystemExit("no cups_uri in the listing")


def one_run(uri: str, job_file: str) -> None:
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    started = time.monotonic()
    sending = sent = None
    env = dict(os.environ, DEVICE_URI=uri)
    with subprocess.Popen([BACKEND, "1", "root", "receipt", "1", "", job_file], env=env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True) as proc:
        assert proc.stderr is not None
        for line in proc.stderr:
            now = time.monotonic()
            if line.startswith("INFO: Sending data to printer."):
                sending = now
            elif line.startswith("DEBUG: Sent %d bytes" % JOB_BYTES):
                sent = now
        proc.wait(timeout=60)
    total = time.monotonic() - started
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu_ms = (after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) * 1000
    floor = (JOB_BYTES - BUFFER_BYTES) / RATE
    if sending is None or sent is None:
        print("backend did not report sending the whole job (exit %d)" % proc.returncode)
        return
    send = sent - sending
    print("send_s=%.3f floor_s=%.3f over_floor=%.3f total_s=%.2f cpu_ms=%.1f"
          % (send, floor, send / floor, total, cpu_ms))


def main() -> None:
    build = sys.argv[1] if len(sys.argv) > 1 else "build/default"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    if not os.access(BACKEND, os.X_OK):
        raise SystemExit("no CUPS usb backend (%s, package cups)" % BACKEND)
    if os.environ.get(CHILD_MARK) is None:
        simulator = os.path.join(build, "sim", "Orvy_Simulator")
        env = dict(os.environ, **{CHILD_MARK: "1"})
        sys.exit(subprocess.call([simulator, "--print-buffer", str(BUFFER_BYTES),
                                  "--print-rate", str(RATE), "--", sys.executable,
                                  os.path.abspath(__file__), build, str(runs)], env=env))
    uri = cups_uri(os.path.join(build, "tools", "list", "Orvy_ListPrinters"))
    job_file = os.path.join(os.environ.get("TMPDIR", "/tmp"), "orvy-cups-bench-job")
    with open(job_file, "wb") as out:
        out.write(print_job())
    try:
        for _ in range(runs):
            one_run(uri, job_file)
            # Let the printer empty its buffer before the next job.
            time.sleep(BUFFER_BYTES / RATE + 0.5)
    finally:
        os.unlink(job_file)


if __name__ == "__main__":
    main()
