/*
 * Orvy_Demo_PageLength - sends a page length, then a hard reset.
 *
 * Usage: Orvy_Demo_PageLength <port> <page length in 1/10 mm>,
 *        e.g. Orvy_Demo_PageLength /dev/bus/usb/001/011 1255   (125.5 mm)
 */
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

#include "Orvy_Api.h"
#include "sample_frame.h"

/* The last two bytes (hi, lo) are filled in from the page length. */
static unsigned char page_length_command[] = {0x1B, 0xF1, 0x01, 0x03, 0x0A, 0x00, 0x00};
static unsigned char hard_reset_command[] = {0x1B, 0xF2, 0x03, 0x00};

/* Page length in tenths of a millimetre. */
static int page_length;

/* Like atoi, but a number beyond the range of int is clamped, not undefined. */
static int parse_int(const char *text)
{
    long value = strtol(text, NULL, 10);

    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return (int)value;
}

static void read_arguments(char **argv) { page_length = parse_int(argv[2]); }

static void print_parameters(void) { printf("--- Page length \t= %.1lf mm\n", page_length / 10.0); }

static int send_commands(intptr_t printer)
{
    /* The printer counts in base 255: hi = length / 255, lo = the remainder;
     * each goes out as its low 8 bits. */
    int hi = page_length / 255;
    int lo = page_length - 255 * hi;

    page_length_command[5] = (unsigned char)hi;
    page_length_command[6] = (unsigned char)lo;
    if (orvy_api_printer_write(printer, page_length_command, COMMAND_LENGTH(page_length_command),
                               SAMPLE_TIMEOUT_MS) != COMMAND_LENGTH(page_length_command)) {
        printf("--- ERROR: COULD NOT SENT PAGE LENGTH CMD !\n");
        return 0;
    }
    printf("--- PAGE LENGTH CMD SENT OK\n");

    if (orvy_api_printer_write(printer, hard_reset_command, COMMAND_LENGTH(hard_reset_command),
                               SAMPLE_TIMEOUT_MS) != COMMAND_LENGTH(hard_reset_command)) {
        printf("--- ERROR: COULD NOT SENT HARD RESET CMD !\n");
        return 0;
    }
    printf("--- HARD RESET CMD SENT OK\n");
    return 1;
}

int main(int argc, char **argv)
{
    static const struct sample_program page_length_sample = {
        .needed_arguments = 3,
        .usage = "\nERROR: No printer path available or page length missing, "
                 "example usage : %s \"/dev/bus/usb/001/011\" 1255 \n\n",
        .read_arguments = read_arguments,
        .print_parameters = print_parameters,
        .send_commands = send_commands,
    };
    return sample_run(&page_length_sample, argc, argv);
}
