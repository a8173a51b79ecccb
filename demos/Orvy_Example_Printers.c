/*
 * Orvy_Example_Printers - reads the status record of every printer named on
 * the command line, each in a thread of its own on a connection of its own,
 * and prints one line per printer, in the order of the command line:
 *
 *   /dev/bus/usb/001/011: status 80000001, state 01, error 0000, head -7 C, 24.1 V
 *   /dev/usb/lp1: error -1 (port cannot be opened (busy, missing or no access))
 *
 * Usage: Orvy_Example_Printers PORT...
 * Exit status: 0 when every printer answered, 1 when one did not, 2 without ports.
 *
 * Build it against the installed library:
 *   cc Orvy_Example_Printers.c $(pkg-config --cflags --libs orvy-api) -pthread \
 *      -o Orvy_Example_Printers
 */
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "Orvy_Api.h"

#define TIMEOUT_MS 1000UL
#define STATUS_SIZE 14

/* Our own codes, beside the library's: the printer did not answer as asked. */
#define NO_ANSWER 1
#define WRONG_ANSWER 2

struct printer_job {
    const char *port;
    int threaded; /* read in a thread of its own, to be joined */
    int code;     /* 0, a library code, NO_ANSWER or WRONG_ANSWER */
    unsigned char status[STATUS_SIZE];
};

/* The status inquiry GS a 1 and the header of its answer. */
static const unsigned char inquiry[] = {0x1D, 0x61, 0x01};
static const unsigned char expected_header[] = {0x1B, 0xFF, 0x02, STATUS_SIZE};

static int ask_status(orvy_api_conn *conn, unsigned char *status)
{
    unsigned char header[sizeof expected_header];
    long count;
    int code = orvy_api_conn_clear(conn);
    if (code != ORVY_API_OK) return code;
    count = orvy_api_conn_write(conn, inquiry, sizeof inquiry, TIMEOUT_MS);
    if (count < 0) return (int)count;
    if (count != (long)sizeof inquiry) return NO_ANSWER;
    count = orvy_api_conn_read(conn, header, sizeof header, TIMEOUT_MS);
    if (count < 0) return (int)count;
    if (count != (long)sizeof header) return NO_ANSWER;
    if (memcmp(header, expected_header, sizeof header) != 0) return WRONG_ANSWER;
    count = orvy_api_conn_read(conn, status, STATUS_SIZE, TIMEOUT_MS);
    if (count < 0) return (int)count;
    return count == STATUS_SIZE ? ORVY_API_OK : NO_ANSWER;
}

static void *read_printer(void *argument)
{
    struct printer_job *job = argument;
    orvy_api_conn *conn = NULL;
    job->code = orvy_api_conn_open(job->port, &conn);
    if (job->code != ORVY_API_OK) return NULL;
    job->code = ask_status(conn, job->status);
    orvy_api_conn_close(conn);
    return NULL;
}

static unsigned long little_endian(const unsigned char *bytes, int count)
{
    unsigned long value = 0;
    for (int i = count - 1; i >= 0; i--) value = value << 8 | bytes[i];
    return value;
}

static void print_line(const struct printer_job *job)
{
    const unsigned char *s = job->status;
    if (job->code == ORVY_API_OK) {
        const long head = (long)(short)little_endian(s + 5, 2);
        const unsigned long voltage = little_endian(s + 7, 2);
        printf("%s: status %08lX, state %02X, error %04lX, head %ld C, %lu.%lu V\n", job->port,
               little_endian(s, 4), s[9], little_endian(s + 10, 2), head, voltage / 10,
               voltage % 10);
    } else if (job->code == NO_ANSWER) {
        printf("%s: no answer\n", job->port);
    } else if (job->code == WRONG_ANSWER) {
        printf("%s: unexpected answer\n", job->port);
    } else {
        printf("%s: error %d (%s)\n", job->port, job->code, orvy_api_strerror(job->code));
    }
}

int main(int argc, char **argv)
{
    const int count = argc - 1;
    struct printer_job *jobs;
    pthread_t *threads;
    int failures = 0;

    if (count < 1) {
        fprintf(stderr, "Usage: %s PORT...\n", argv[0]);
        return 2;
    }
    jobs = calloc((size_t)count, sizeof *jobs);
    threads = calloc((size_t)count, sizeof *threads);
    if (jobs == NULL || threads == NULL) {
        fprintf(stderr, "%s: out of memory\n", argv[0]);
        return 1;
    }
    for (int i = 0; i < count; i++) {
        jobs[i].port = argv[i + 1];
        jobs[i].threaded = pthread_create(&threads[i], NULL, read_printer, &jobs[i]) == 0;
        /* No thread to spare: this printer is read right here. */
        if (!jobs[i].threaded) read_printer(&jobs[i]);
    }
    for (int i = 0; i < count; i++) {
        if (jobs[i].threaded) pthread_join(threads[i], NULL);
        print_line(&jobs[i]);
        if (jobs[i].code != ORVY_API_OK) failures++;
    }
    free(threads);
    free(jobs);
    return failures == 0 ? 0 : 1;
}
