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
 *   A name of none of these forms reuses the transport of an earlier open.
 *
 * One connection per process
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
 *   A device file is opened for this process alone: another process that
 *   opens it through this library (or takes the same flock(2) lock, as other
 *   serial tools do) meanwhile gets -1 with errno EBUSY at once, and nothing
 *   is written to the port by it. The lock ends with its process, also one
 *   that dies without closing, so a crash never leaves the port locked.
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
 *      device file cannot be opened, the device file is in use by another
 *      process (errno EBUSY), or the name leads to something that is not a
 *      character device, such as a regular file or a FIFO (errno ENODEV;
 *      nothing is written to it)
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

#ifdef __cplusplus
}
#endif

#endif /* ORVY_API_H */
