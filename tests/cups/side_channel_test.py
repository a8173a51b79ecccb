"""The backend's side channel, asked as CUPS filters ask it: libcups'
cupsSideChannelDoRequest on descriptor 4, with the backend printing a job
from standard input to the simulated printer.

    Orvy_Simulator -- python3 side_channel_test.py BACKEND
"""
import ctypes
import os
import socket
import subprocess
import sys

CUPS_SC_FD = 4
GET_DEVICE_ID, GET_STATE, GET_CONNECTED, GET_BIDI, DRAIN_OUTPUT, SOFT_RESET = 4, 5, 8, 3, 2, 1
STATUS_OK, STATUS_NOT_IMPLEMENTED = 1, 7
STATE_ONLINE = 1
URI = "orvy://Velmora/Orvy%20K80%20Kiosk%20Printer?serial=K80P1-26-004711"


def main() -> None:
    # Descriptors 0 to 4 taken (a test runner may have closed some), so that
    # the ones made below cannot land on 4 or on standard input.
    while (placeholder := os.open(os.devnull, os.O_RDWR)) <= CUPS_SC_FD:
        pass
    os.close(placeholder)
    cups = ctypes.CDLL("libcups.so.2")
    ours, theirs = socket.socketpair()
    job_in, job_out = os.pipe()
    os.dup2(theirs.fileno(), CUPS_SC_FD)  # the backend's end, as cupsd sets it
    backend = subprocess.Popen([sys.argv[1], "1", "root", "t", "1", ""], stdin=job_in,
                               pass_fds=(CUPS_SC_FD,), stderr=subprocess.PIPE, text=True,
                               env=dict(os.environ, DEVICE_URI=URI))
    os.dup2(ours.fileno(), CUPS_SC_FD)  # ours, as a filter has it
    os.write(job_out, b"Hello side channel\n")

    def ask(command: int) -> tuple[int, bytes]:
        data = ctypes.create_string_buffer(2048)
        size = ctypes.c_int(len(data))
        status = cups.cupsSideChannelDoRequest(command, data, ctypes.byref(size),
                                               ctypes.c_double(10.0))
        return status, data.raw[:size.value]

    answers = {command: ask(command) for command in
               (GET_DEVICE_ID, GET_STATE, GET_CONNECTED, GET_BIDI, DRAIN_OUTPUT, SOFT_RESET)}
    os.close(job_out)
    status = backend.wait(30)
    expected = {
        GET_DEVICE_ID: (STATUS_OK, b"MFG:Velmora;MDL:Orvy K80 Kiosk Printer;CMD:ORVY;"
                                   b"CLS:PRINTER;SN:K80P1-26-004711;"),
        GET_STATE: (STATUS_OK, bytes([STATE_ONLINE])),
        GET_CONNECTED: (STATUS_OK, b"\x01"),
        GET_BIDI: (STATUS_OK, b"\x00"),
        DRAIN_OUTPUT: (STATUS_OK, b""),
        SOFT_RESET: (STATUS_NOT_IMPLEMENTED, b""),
    }
    assert status == 0, f"backend exit {status}: {backend.communicate()[1]}"
    assert answers == expected, f"{answers} != {expected}"
    print("ok: side channel")


if __name__ == "__main__":
    main()
