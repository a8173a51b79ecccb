/*
 * Orvy_Api.h - printer access library of the Orvy printer toolkit (libOrvyApi.so.1)
 *
 * Opens a connection to one Orvy kiosk printer from a port name, moves raw
 * bytes with time-outs, discards pending input and closes the connection.
 *
 * Port names and transports
 *   /dev/usb/lp<N>            USB printer-class device file (device-file transport)
 *   /dev/ttyS<N>              serial port; set to 115200 8N1, RTS/CTS (device-file transport)
 *   /dev/bus/usb/<bus>/<addr> USB bulk endpoints through libusb (USB bulk transport)
 *   A name of none of these forms reuses the transport of an earlier open of
 *   orvy_api_printer_open (orvy_api_conn_open refuses it with -2).
 *
 * Two interfaces
 *   The functions orvy_api_printer_* drive one printer per process from one
 *   thread, through process-wide state (below). The connections of
 *   orvy_api_conn_open (further below) are independent objects: any number of
 *   printers in one process, from any threads. New programs should use them.
 *
 * One connection per process (orvy_api_printer_*)
 *   The transport mode, the endpoint addresses, the interface number and the
 *   receive ring are process-wide. A process drives one printer at a time:
 *   an open while an earlier connection is still open ends the earlier one
 *   (its descriptor closed, or its interface released and its device closed)
 *   before it touches the new port, so opening the same printer again
 *   succeeds at once. The earlier handle then counts as no connection. A USB
 *   name that leads to no printer of the family leaves an earlier USB
 *   connection open. Nothing is locked: call the library from one thread.
 *
 * Exclusive ports
 *   A device file is opened for this process alone: another process (or any
 *   other opener of the node) that tries to open it meanwhile gets -1 with
 *   errno EBUSY at once, and nothing is written to the port by it.
 *
 * Ownership
 *   Buffers and the port name stay the caller's; the library keeps no pointer
 *   to them after a call. A handle is the caller's until orvy_api_printer_close.
 *
 * Handles
 *   A handle is never negative; negative values are open's error codes.
 *   Device file: the handle is a non-blocking, close-on-exec file descriptor.
 *   USB bulk: the handle carries the libusb device handle.
 *   Every function but open and set_serial accepts only the handle of the
 *   current connection; any other value (negative, closed, from an earlier
 *   open or the other transport) counts as "no connection": the call returns
 *   at once, prints nothing and touches nothing. (A new USB connection whose
 *   libusb handle happens to reuse the address of a closed one, or a new
 *   descriptor with the number of a closed one, cannot be told apart from it.)
 *
 * Diagnostics are printed to standard output only when DEBUG_MESSAGES is 1.
 */
#ifndef ORVY_API_H
#define ORVY_API_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define ORVY_API_EXPORT __attribute__((visibility("default")))
#else
#define ORVY_API_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Process-wide state -------------------------------------------------- */

/* 1 = print diagnostics to standard output. 0 at load. */
ORVY_API_EXPORT extern int DEBUG_MESSAGES;
/* Transport mode: 0 none chosen yet, 1 device file, 2 USB bulk. Set by open
 * (also by a failed one); close leaves it. */
ORVY_API_EXPORT extern int communication;
/* Bulk OUT endpoint address (0x02 at load). */
ORVY_API_EXPORT extern int ORVY_API_ACCESS_WRITE;
/* Bulk IN endpoint address (0x81 at load). */
ORVY_API_EXPORT extern int ORVY_API_ACCESS_READ;
/* Maximum packet size of the bulk IN endpoint (64 at load). */
ORVY_API_EXPORT extern int ORVY_API_ACCESS_READ_ENDPOINT_SIZE;
/* USB interface number that is claimed and released (0 at load). */
ORVY_API_EXPORT extern int ORVY_API_INTERFACE;
/* Receive ring of the USB bulk transport: 1024 bytes from a successful USB
 * open until close, none otherwise; holds at most 1023 bytes. */
ORVY_API_EXPORT extern unsigned char *m_pub_rx_buffer;
/* Receive ring read index (0..1023). */
ORVY_API_EXPORT extern int m_index_rx_bottom;
/* Receive ring write index (0..1023). */
ORVY_API_EXPORT extern int m_index_rx_top;

/* ---- Functions ------------------------------------------------------------ */

/* "Velmora - libOrvyApi - R3-V1.04e - S417702"; owned by the library. */
ORVY_API_EXPORT char *orvy_api_get_library_info(void);

/* Opens the printer at port (not altered, not kept). Returns a handle (>= 0)
 * or an error code:
 *   -1 libusb cannot be initialised or list devices, the device or the
 *      device file cannot be opened, or the device file is in use by
 *      another process (errno EBUSY)
 *   -2 no name, a name of no known form before any transport was chosen, a
 *      bus path without bus and address, no device there, or a device that
 *      is not a printer of the family (vendor id, product id 1..3)
 *   -3 the kernel driver holds the interface and cannot be detached
 *   -4 the interface cannot be claimed within 1000 ms
 *   -5 the active configuration descriptor cannot be read
 *   -6 the configuration has no interface or no alternate setting
 *   -7 an alternate setting has fewer than two endpoints
 *   -8 the receive ring cannot be allocated
 * A device of another vendor or product is left untouched. */
ORVY_API_EXPORT intptr_t orvy_api_printer_open(char *port);

/* Puts an open serial port into raw mode: speed (2400..115200, others give
 * 115200), 8 data bits whatever data_bits says, parity 'E'/'e' even, 'O'/'o'
 * odd, else none, stop_bits 2 gives two, else one; RTS/CTS, VMIN 0, VTIME 1.
 * Discards pending input. Returns 0 for a negative handle, else 1 (also when
 * the port is no terminal; does nothing unless the device-file transport is
 * in use). Earlier settings are never restored. */
ORVY_API_EXPORT int orvy_api_printer_set_serial(intptr_t printer, unsigned long baud_rate,
                                                unsigned char data_bits, unsigned char parity,
                                                unsigned char stop_bits);

/* Discards pending input. Device file: reads until 100 ms pass without a byte,
 * at most 1000 ms in all. USB: at most one ready packet within 100 ms, plus
 * everything in the receive ring. Returns 1, or 0 when nothing was done
 * (negative or unknown handle, no transport). */
ORVY_API_EXPORT int orvy_api_printer_clear(intptr_t printer);

/* Sends size bytes from data within timeout_ms. Returns the number of bytes
 * that the driver took; fewer than size means the time ran out. Write and
 * read end within one 10 ms polling pause after the time-out; the USB clear
 * within a few milliseconds after its 100 ms limit. */
ORVY_API_EXPORT int orvy_api_printer_write(intptr_t printer, unsigned char *data, int size,
                                           unsigned long timeout_ms);

/* Receives size bytes into data within timeout_ms.
 * Device file: the number of bytes received, possibly fewer than size.
 * USB: size when all arrived; 0 when they did not arrive in time (what did
 *   arrive stays in the receive ring for the next read, until a clear);
 *   -1 no memory; -2 the ring refused a packet; -3 a packet larger than the
 *   ring's free space. The ring holds at most 1023 bytes, so a USB read of
 *   more than 1023 bytes can never succeed.
 * 0 for size <= 0, no data, a negative or unknown handle. */
ORVY_API_EXPORT int orvy_api_printer_read(intptr_t printer, unsigned char *data, int size,
                                          unsigned long timeout_ms);

/* Ends the connection. Device file: waits up to 1000 ms for written bytes to
 * drain (what a terminal still holds then, or when its queue cannot be
 * asked, is dropped, so that close never waits longer), then closes. USB:
 * releases the interface, closes the device, frees the receive ring.
 * Negative or unknown handles are ignored. */
ORVY_API_EXPORT void orvy_api_printer_close(intptr_t printer);

/* ---- Result codes ------------------------------------------------------ */

/* Every code that the library returns. orvy_api_strerror gives a text for
 * each. The open codes -1..-8 are those of orvy_api_printer_open and
 * orvy_api_conn_open alike. */
enum orvy_api_code {
    ORVY_API_OK = 0,
    /* -1: the port cannot be opened (errno says why: EBUSY another program or
     * connection holds it, EACCES no permission, ENOENT no such file), or
     * libusb cannot be initialised, list the devices or open the device. */
    ORVY_API_E_OPEN = -1,
    /* -2: no port name, a name of no known form, a bus path without bus and
     * address, nothing there, or no printer of the family there. */
    ORVY_API_E_NO_PRINTER = -2,
    /* -3: the kernel's driver holds the interface and cannot be detached. */
    ORVY_API_E_KERNEL_DRIVER = -3,
    /* -4: the interface is held by another program (it cannot be claimed
     * within 1000 ms), or by another connection of this process (at once). */
    ORVY_API_E_INTERFACE_BUSY = -4,
    /* -5: the active configuration descriptor cannot be read. */
    ORVY_API_E_NO_CONFIGURATION = -5,
    /* -6: the interface has no alternate setting (connections: or the
     * alternate setting cannot be selected). */
    ORVY_API_E_NO_ALT_SETTING = -6,
    /* -7: an alternate setting has fewer than two endpoints (connections: no
     * alternate setting has both an IN and an OUT endpoint). */
    ORVY_API_E_ENDPOINTS = -7,
    /* -8: memory for the receive ring (or the connection) cannot be allocated. */
    ORVY_API_E_NO_MEMORY = -8,
    /* -9: no connection (a NULL connection pointer). */
    ORVY_API_E_NO_CONNECTION = -9,
    /* -10: an argument is unusable: no data buffer for a size above 0, a size
     * above LONG_MAX, no place for the new connection. */
    ORVY_API_E_INVALID_ARGUMENT = -10,
    /* -11: the printer is gone (unplugged): close the connection and open the
     * port again. */
    ORVY_API_E_GONE = -11,

    /* The negative results of orvy_api_printer_read on USB. They share their
     * numbers with open codes -1..-3; orvy_api_strerror gives the open texts. */
    ORVY_API_READ_E_NO_MEMORY = -1,
    ORVY_API_READ_E_RING_REFUSED = -2,
    ORVY_API_READ_E_PACKET_TOO_LARGE = -3
};

/* A one-line English text for a code of this library, without a line break;
 * "unknown code" for any other number. Owned by the library, never freed. */
ORVY_API_EXPORT const char *orvy_api_strerror(int code);

/* ---- Connections -------------------------------------------------------- */
/*
 * One connection per printer, any number of them at once, on both transports,
 * from any threads. A connection reads and writes none of the process-wide
 * variables above (nor DEBUG_MESSAGES: it prints nothing).
 *
 * Threads
 *   A call on one connection never waits for another connection. One
 *   connection may be used from several threads: its calls run one after the
 *   other. orvy_api_conn_close must be the last call on a connection: no
 *   other thread may be in, or enter, a call on it then.
 *
 * Exclusive ports
 *   A port that another connection of this process holds is refused like a
 *   port held by another program: a device file with -1 (errno EBUSY) and a
 *   USB printer with ORVY_API_E_INTERFACE_BUSY, both at once, before anything
 *   reaches the printer. (A USB printer that another program holds gives
 *   ORVY_API_E_INTERFACE_BUSY after about a second of claim retries.) The
 *   process-wide connection of orvy_api_printer_open counts as a connection.
 *
 * Time
 *   Every time-out is measured on the monotonic clock: setting the system
 *   time changes no wait. A call ends within about 10 ms of its time-out.
 *
 * A printer that is gone
 *   When the printer is unplugged (libusb: no device; a device file: ENODEV
 *   or EIO), a call ends at once. It returns what it had moved before, if
 *   anything, and ORVY_API_E_GONE otherwise; every later call on the
 *   connection returns ORVY_API_E_GONE at once. Close it and open the port
 *   again (a stable name such as /dev/orvy/by-serial/<SERIAL>/usb finds the
 *   printer at its new address).
 */
typedef struct orvy_api_conn orvy_api_conn;

/* Opens the printer at port: every form that orvy_api_printer_open takes
 * (stable links followed, serial ports with 115200 8N1 RTS/CTS), with the
 * same identity checks and the same open codes -1..-8. A name of no known
 * form is -2 (connections do not reuse an earlier transport). On USB the
 * interface is claimed by its own number, and the last alternate setting of
 * the first interface that has an IN and an OUT endpoint is selected.
 * Returns 0 and the connection in *conn, or an open code with *conn NULL
 * (errno kept for -1); ORVY_API_E_INVALID_ARGUMENT when conn is NULL. */
ORVY_API_EXPORT int orvy_api_conn_open(const char *port, orvy_api_conn **conn);

/* Sends size bytes from data within timeout_ms. Returns the number of bytes
 * that the driver took (fewer than size: the time ran out, or the printer
 * went away during the call), 0 for size 0, or a negative code:
 * ORVY_API_E_NO_CONNECTION, ORVY_API_E_INVALID_ARGUMENT, ORVY_API_E_GONE. */
ORVY_API_EXPORT long orvy_api_conn_write(orvy_api_conn *conn, const void *data, size_t size,
                                         unsigned long timeout_ms);

/* Receives up to size bytes into data within timeout_ms: all size bytes, or
 * fewer when the time ran out (or the printer went away), on both
 * transports. On USB, bytes of a packet beyond size stay in the connection's
 * own receive ring for its next read. Negative codes as write. */
ORVY_API_EXPORT long orvy_api_conn_read(orvy_api_conn *conn, void *data, size_t size,
                                        unsigned long timeout_ms);

/* Discards pending input as orvy_api_printer_clear does (device file: until
 * 100 ms pass without a byte, at most 1000 ms; USB: at most one ready packet
 * within 100 ms, and the receive ring). Returns 0, ORVY_API_E_NO_CONNECTION
 * or ORVY_API_E_GONE. */
ORVY_API_EXPORT int orvy_api_conn_clear(orvy_api_conn *conn);

/* Ends the connection and frees it (NULL: nothing). Device file: waits up to
 * 1000 ms for written bytes to drain, then closes. USB: releases the
 * interface, closes the device and its libusb context. */
ORVY_API_EXPORT void orvy_api_conn_close(orvy_api_conn *conn);

#ifdef __cplusplus
}
#endif

#endif /* ORVY_API_H */
