/*
 * Orvy_Tb.h - toolbox library of the Orvy printer toolkit (libOrvyTb.so.1)
 *
 * Small services with a C interface:
 *   - time stamps and elapsed milliseconds (CLOCK_REALTIME, absolute distances),
 *   - command records: printer commands as coded text and as raw bytes,
 *   - sized memory blocks that carry their own size, and white-space trimming.
 *
 * Conventions
 *   - Missing pointer arguments are tolerated: functions without a result do
 *     nothing, functions with a result return 0 or none.
 *   - Getters return 1 on success, 0 on failure; constructors return 0 on failure.
 *   - Character classes follow the process's current locale.
 *   - No function keeps shared state; distinct objects may be used from
 *     different threads at once.
 */
#ifndef ORVY_TB_H
#define ORVY_TB_H

#include <stddef.h>
#include <stdint.h>
#include <time.h>

#if defined(__GNUC__)
#define ORVY_TB_EXPORT __attribute__((visibility("default")))
#else
#define ORVY_TB_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Declared here as well, so that the prototypes below refer to the one POSIX
 * type even where <time.h> leaves it out (strict C99 without POSIX). */
struct timespec;

/* ---- Library information and time stamps -------------------------------- */

/* "Velmora - libOrvyTb - R3-V1.04e - S417702"; owned by the library, the same
 * pointer on every call. Never modify or free it. */
ORVY_TB_EXPORT char *orvy_tb_get_library_info(void);

/* Fills *ts_start with the present CLOCK_REALTIME time. */
ORVY_TB_EXPORT void orvy_tb_set_time_stamp(struct timespec *ts_start);

/* Milliseconds between *ts_start and now, as an absolute distance (a stamp in
 * the future gives a positive age), truncated. 0 when ts_start is none or the
 * clock cannot be read. */
ORVY_TB_EXPORT unsigned long orvy_tb_calc_age_in_ms(struct timespec *ts_start);

/* *ms = ts->tv_sec * 1000 + ts->tv_nsec / 1000000, computed in unsigned long
 * (wraps modulo its width). */
ORVY_TB_EXPORT void orvy_tb_convert_ts_to_ms(struct timespec *ts, unsigned long *ms);

/* *delta = |*ts1 - *ts2|; delta may be the same object as ts1 or ts2. */
ORVY_TB_EXPORT void orvy_tb_get_delta_ts(struct timespec *ts1, struct timespec *ts2,
                                         struct timespec *delta);

/* ---- Command records ---------------------------------------------------- */
/*
 * A command record holds one printer command both as coded text and as raw
 * bytes. The handle (0 = no command) is owned by the caller until it is given
 * to orvy_tb_cmd_exit. Getters hand out pointers into the record's own
 * storage, valid until orvy_tb_cmd_exit; never free them.
 *
 * Coded notation: "[1B 40]" hexadecimal pairs in brackets, "\"text\"" quoted
 * runs, backslash escapes (\n \r \t \b \f, \x hex mode on, \A hex mode off,
 * any other byte literally), "//" comment to the end, blanks and tabs ignored,
 * other printable characters taken as they stand.
 */

/* Parses cmd_size bytes of coded text. Returns 0 for no text, a size of 0,
 * an allocation failure or a text longer than 2147483647 bytes. */
ORVY_TB_EXPORT intptr_t orvy_tb_cmd_init_coded(unsigned char *cmd_ptr, unsigned int cmd_size);

/* Takes cmd_size raw bytes; the coded form is "[XX XX ...]" plus a zero byte.
 * Returns 0 for no bytes, a size of 0, an allocation failure or more than
 * 715827881 bytes. */
ORVY_TB_EXPORT intptr_t orvy_tb_cmd_init_raw(unsigned char *cmd_ptr, unsigned int cmd_size);

/* Raw bytes and their count. 1 on success, 0 (nothing written) otherwise. */
ORVY_TB_EXPORT int orvy_tb_cmd_get_raw(intptr_t cmd, unsigned char **cmd_ptr,
                                       unsigned int *cmd_size);

/* Coded text and its length. 1 on success, 0 (nothing written) otherwise. */
ORVY_TB_EXPORT int orvy_tb_cmd_get_coded(intptr_t cmd, unsigned char **cmd_ptr,
                                         unsigned int *cmd_size);

/* Coded text as a string: zero-terminated for records made from raw bytes;
 * for records made from coded text only if the caller counted a zero byte. */
ORVY_TB_EXPORT int orvy_tb_cmd_get_coded_str(intptr_t cmd, char **ppszStr);

/* Releases the record; the handle is invalid afterwards. 0 does nothing. */
ORVY_TB_EXPORT void orvy_tb_cmd_exit(intptr_t cmd);

/* ---- Sized memory blocks and trimming ----------------------------------- */
/*
 * A sized block is a heap block whose payload is preceded by its size. Callers
 * hold the payload address and release it only with orvy_tb_free, or hand it
 * to orvy_tb_alloc_mem_cat, which always consumes it.
 */

/* New zero-filled block of size bytes, or none (also when size is too large
 * to be represented together with the header). */
ORVY_TB_EXPORT void *orvy_tb_alloc_mem(unsigned long size);

/* Releases a block; none does nothing. */
ORVY_TB_EXPORT void orvy_tb_free(void *my_mem);

/* New block holding mem's payload followed by size bytes from data (zero
 * bytes when data is none). mem is released in every case, also when the new
 * block cannot be allocated or the sizes together cannot be represented; then
 * none is returned. data may point into mem's payload. */
ORVY_TB_EXPORT void *orvy_tb_alloc_mem_cat(void *mem, void *data, unsigned long size);

/* Payload size of a block, 0 for none. */
ORVY_TB_EXPORT unsigned long orvy_tb_alloc_mem_size(void *mem);

/* Cuts white space at both ends of s in place and returns s (none for none). */
ORVY_TB_EXPORT char *orvy_tb_trim(char *s);

/* ---- The printer's commands --------------------------------------------- */
/*
 * The commands of the Orvy printers that the sample programs send, as bytes:
 *
 *   status inquiry  1D 61 02              (the information record)
 *   page length     1B F1 01 03 0A hi lo  (tenths of a millimetre)
 *   hard reset      1B F2 03 00
 *   form feed       0C
 *   full cut        1B F0 06 01 02
 *
 * Each function writes its command into buffer when size holds all of it and
 * returns the command's length in every case, so (NULL, 0) asks for the
 * length; nothing is written when size is too small. No state: any thread.
 */
#define ORVY_TB_COMMAND_MAX_SIZE 7

ORVY_TB_EXPORT size_t orvy_tb_command_status_inquiry(unsigned char *buffer, size_t size);

/* hi = tenths_mm / 255 (truncated), lo = tenths_mm - 255 * hi, each sent as
 * its low eight bits: 1255 (125.5 mm) gives 1B F1 01 03 0A 04 EB. Values from
 * 0 to 65279 are carried exactly; others are not refused. */
ORVY_TB_EXPORT size_t orvy_tb_command_page_length(int tenths_mm, unsigned char *buffer,
                                                  size_t size);

ORVY_TB_EXPORT size_t orvy_tb_command_hard_reset(unsigned char *buffer, size_t size);
ORVY_TB_EXPORT size_t orvy_tb_command_form_feed(unsigned char *buffer, size_t size);
ORVY_TB_EXPORT size_t orvy_tb_command_full_cut(unsigned char *buffer, size_t size);

#ifdef __cplusplus
}
#endif

#endif /* ORVY_TB_H */
