/*
 * Orvy_Inquiry.h - libOrvyInquiry: the six inquiry records of the Orvy printers
 * and the list of the printers attached to this machine.
 *
 * A printer answers the inquiry GS a n (bytes 1D 61 n, n one of 01 02 04 08
 * 10 20) with a 4-byte header (1B FF type size) and a record of fixed size.
 * This library knows the six records: their names, types and sizes, the
 * fields of each with the names and the typed values that
 * "Orvy_InquiryTool -j" prints, the check of an answer header, and the whole
 * exchange of one record on a connection of libOrvyApi's per-connection
 * interface.
 *
 * Records and fields are constant data of the library: the pointers it hands
 * out stay valid while it is loaded, and every function may be called from
 * any thread. Texts and JSON that the library makes for the caller are
 * malloc'ed; give them back with orvy_inquiry_free.
 */
#ifndef ORVY_INQUIRY_H
#define ORVY_INQUIRY_H

#include <stddef.h>

#include "Orvy_Api.h"

#if defined(__GNUC__)
#define ORVY_INQUIRY_EXPORT __attribute__((visibility("default")))
#else
#define ORVY_INQUIRY_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Results ------------------------------------------------------------- */
#define ORVY_INQUIRY_OK 0
#define ORVY_INQUIRY_ERROR_ARGUMENT (-1)      /* no record, no connection, area too small */
#define ORVY_INQUIRY_ERROR_SEND (-2)          /* the 3-byte inquiry was not taken in time */
#define ORVY_INQUIRY_ERROR_HEADER (-3)        /* fewer than 4 header bytes arrived in time */
#define ORVY_INQUIRY_ERROR_SIZE_MISMATCH (-4) /* no 1B FF, or another record size */
#define ORVY_INQUIRY_ERROR_TYPE_MISMATCH (-5) /* another block type */
#define ORVY_INQUIRY_ERROR_DATA (-6)          /* the record did not arrive whole in time */
#define ORVY_INQUIRY_ERROR_GONE (-7)          /* the printer is no longer there */
#define ORVY_INQUIRY_ERROR_MEMORY (-8)        /* out of memory */

/* One line of English for each result above, the inquiry tool's failure text
 * where it has one; a fixed text for any other number. Never NULL. */
ORVY_INQUIRY_EXPORT const char *orvy_inquiry_strerror(int code);

/* ---- Records and fields -------------------------------------------------- */
typedef struct orvy_inquiry_record orvy_inquiry_record;

/* How a field's bytes read, as the inquiry tool's verbose report shows them. */
typedef enum orvy_inquiry_form {
    ORVY_INQUIRY_FORM_DECIMAL = 0,  /* little-endian number, zero-extended */
    ORVY_INQUIRY_FORM_SIGNED = 1,   /* little-endian number, sign-extended */
    ORVY_INQUIRY_FORM_UNSIGNED = 2, /* little-endian unsigned number */
    ORVY_INQUIRY_FORM_TEXT = 3,     /* a text slot, up to its first zero byte */
    ORVY_INQUIRY_FORM_HEX = 4,      /* the bytes in stored order, as hex text */
    ORVY_INQUIRY_FORM_HEX_LIST = 5, /* equal groups of bytes, each as hex text */
    ORVY_INQUIRY_FORM_TEXT_LIST = 6 /* equal text slots */
} orvy_inquiry_form;

/* The six records, index 0 to 5 in the order of their inquiry bits (status,
 * information, sensor, flash, presenter, life); NULL for another index. */
ORVY_INQUIRY_EXPORT const orvy_inquiry_record *orvy_inquiry_record_at(size_t index);
ORVY_INQUIRY_EXPORT size_t orvy_inquiry_record_count(void);

/* The record of the inquiry bit `mask` (0x01 ... 0x20), or NULL. */
ORVY_INQUIRY_EXPORT const orvy_inquiry_record *orvy_inquiry_record_for_mask(unsigned mask);

/* The record by its short name ("status", "information", "sensor", "flash",
 * "presenter", "life") or its inquiry name ("printer_status" ...), or NULL. */
ORVY_INQUIRY_EXPORT const orvy_inquiry_record *orvy_inquiry_record_named(const char *name);

/* The record's inquiry bit, inquiry name ("printer_information"), short name
 * ("information"), block type and size in bytes; 0 or NULL for no record. */
ORVY_INQUIRY_EXPORT unsigned orvy_inquiry_record_mask(const orvy_inquiry_record *record);
ORVY_INQUIRY_EXPORT const char *orvy_inquiry_record_name(const orvy_inquiry_record *record);
ORVY_INQUIRY_EXPORT const char *orvy_inquiry_record_short_name(const orvy_inquiry_record *record);
ORVY_INQUIRY_EXPORT int orvy_inquiry_record_type(const orvy_inquiry_record *record);
ORVY_INQUIRY_EXPORT size_t orvy_inquiry_record_size(const orvy_inquiry_record *record);

/* The record's fields, 0 to count - 1 in rising offset order: the printed
 * name ("printer_status.siPrintHeadTempC"), the form, the offset and width in
 * bytes (all groups together) and the number of groups (1 unless a list).
 * NULL or 0 for no record or another index. */
ORVY_INQUIRY_EXPORT size_t orvy_inquiry_field_count(const orvy_inquiry_record *record);
ORVY_INQUIRY_EXPORT const char *orvy_inquiry_field_name(const orvy_inquiry_record *record,
                                                        size_t field);
ORVY_INQUIRY_EXPORT int orvy_inquiry_field_form(const orvy_inquiry_record *record, size_t field);
ORVY_INQUIRY_EXPORT size_t orvy_inquiry_field_offset(const orvy_inquiry_record *record,
                                                     size_t field);
ORVY_INQUIRY_EXPORT size_t orvy_inquiry_field_width(const orvy_inquiry_record *record,
                                                    size_t field);
ORVY_INQUIRY_EXPORT size_t orvy_inquiry_field_groups(const orvy_inquiry_record *record,
                                                     size_t field);

/* ---- Values of a received record ----------------------------------------- */
/* `data` holds `size` bytes of the record (the record's size; a field that
 * does not lie inside them has no value). */

/* The value of a number field (decimal, signed or unsigned form) into
 * *value. ORVY_INQUIRY_OK, or ORVY_INQUIRY_ERROR_ARGUMENT for another form,
 * another index or a field outside `size`. */
ORVY_INQUIRY_EXPORT int orvy_inquiry_field_number(const orvy_inquiry_record *record, size_t field,
                                                  const void *data, size_t size, long long *value);

/* Group `group` of a text or hex field (0 for the single-group forms) as
 * text: a text slot up to its first zero byte, hex as upper-case pairs. A
 * malloc'ed string, or NULL for a number field, another index or group, a
 * field outside `size`, or no memory. */
ORVY_INQUIRY_EXPORT char *orvy_inquiry_field_text(const orvy_inquiry_record *record, size_t field,
                                                  size_t group, const void *data, size_t size);

/* Every field of the record as one JSON object, field name to value, exactly
 * as "Orvy_InquiryTool -j" shows it under "fields": numbers for the number
 * forms, strings for text and hex (bytes outside printable ASCII as \u00XX),
 * arrays for the lists. A malloc'ed string, or NULL for no record, `size`
 * other than the record's size, or no memory. */
ORVY_INQUIRY_EXPORT char *orvy_inquiry_fields_json(const orvy_inquiry_record *record,
                                                   const void *data, size_t size);

/* ---- The exchange -------------------------------------------------------- */
/* One inquiry of `record` on `conn` (orvy_api_conn_open): pauses 100 ms,
 * clears pending input, pauses 100 ms, sends the 3-byte inquiry, reads and
 * checks the 4-byte answer header and reads the record into `data`, which
 * holds `size` bytes, at least the record's size; each transfer with a
 * 1000 ms time-out. One attempt, at least 200 ms. ORVY_INQUIRY_OK, or the
 * result of the step that failed: ORVY_INQUIRY_ERROR_GONE at once when the
 * printer is no longer there (close the connection then). Calls on one
 * connection run one after the other; on different connections, side by
 * side. */
ORVY_INQUIRY_EXPORT int orvy_inquiry_exchange(orvy_api_conn *conn,
                                              const orvy_inquiry_record *record, void *data,
                                              size_t size);

/* Checks the 4-byte answer header: ORVY_INQUIRY_OK, or the size or type
 * mismatch (a wrong type is a type mismatch; a wrong marker or size with
 * the right type a size mismatch). */
ORVY_INQUIRY_EXPORT int orvy_inquiry_check_header(const orvy_inquiry_record *record,
                                                  const unsigned char header[4]);

/* Releases what the library malloc'ed for the caller; NULL does nothing. */
ORVY_INQUIRY_EXPORT void orvy_inquiry_free(void *memory);

/* ---- The attached printers ----------------------------------------------- */
/* The printers of the family attached to this machine as one JSON array,
 * exactly what "Orvy_ListPrinters --json" prints (one object a printer, its
 * keys as that program's manual lists them), from one walk of udev's device
 * list; no printer node is opened. "[]" when there are none or udev cannot
 * be asked. A malloc'ed string, NULL when out of memory. */
ORVY_INQUIRY_EXPORT char *orvy_inquiry_list_printers_json(void);

#ifdef __cplusplus
}
#endif

#endif /* ORVY_INQUIRY_H */
