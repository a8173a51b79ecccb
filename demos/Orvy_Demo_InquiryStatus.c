/*
 * Orvy_Demo_InquiryStatus - asks the printer for its information block
 * (inquiry GS a 2) and shows the command, the answer's header and the block.
 *
 * Usage: Orvy_Demo_InquiryStatus <port>, e.g. Orvy_Demo_InquiryStatus /dev/bus/usb/001/011
 */
#include <stdio.h>
#include <string.h>

#include "Orvy_Api.h"
#include "sample_frame.h"

#define COMMAND_SIZE 3
#define HEADER_SIZE 4 /* 1B FF <type> <size> */
#define BLOCK_SIZE 109

/* Command, answer header and information block, one after the other. */
static unsigned char buffer[COMMAND_SIZE + HEADER_SIZE + BLOCK_SIZE] = {0x1D, 0x61, 0x02};
static unsigned char *const command = buffer;
static unsigned char *const header = buffer + COMMAND_SIZE;
static unsigned char *const block = buffer + COMMAND_SIZE + HEADER_SIZE;

/* Prints bytes as "[XX] ", 16 to a line; follow-on lines are indented. */
static void print_bytes(const unsigned char *bytes, int count)
{
    for (int i = 0; i < count; i++) {
        printf("[%2.2X] ", bytes[i]);
        fflush(stdout);
        if (i > 0 && (i + 1) % 16 == 0) printf("\n\t\t\t\t\t\t");
    }
    printf("\n");
}

static int send_commands(intptr_t printer)
{
    if (orvy_api_printer_write(printer, command, COMMAND_SIZE, SAMPLE_TIMEOUT_MS) != COMMAND_SIZE) {
        printf("--- ERROR: COULD NOT SENT PRINTER STATUS INQUIRY CMD !\n");
        return 0;
    }
    printf("--- PRINTER STATUS INQUIRY CMD SENT: \t\t");
    print_bytes(command, COMMAND_SIZE);

    /* A read is done only when every byte asked for arrived in time. */
    memset(header, 0, HEADER_SIZE);
    if (orvy_api_printer_read(printer, header, HEADER_SIZE, SAMPLE_TIMEOUT_MS) != HEADER_SIZE) {
        printf("--- ERROR: COULD NOT READ PRINTER INFO HEADER DATA !\n");
        return 0;
    }
    printf("--- PRINTER INFO STATUS READ HEADER DATA: \t");
    print_bytes(header, HEADER_SIZE);

    memset(block, 0, BLOCK_SIZE);
    if (orvy_api_printer_read(printer, block, BLOCK_SIZE, SAMPLE_TIMEOUT_MS) != BLOCK_SIZE) {
        printf("--- ERROR: COULD NOT READ PRINTER INFO BODY DATA !\n");
        return 0;
    }
    printf("--- PRINTER INFO STATUS READ BODY DATA: \t");
    print_bytes(block, BLOCK_SIZE);
    return 1;
}

int main(int argc, char **argv)
{
    static const struct sample_program inquiry_status = {
        .needed_arguments = 2,
        .usage = "\nERROR: No printer path available or page length missing, "
                 "example usage : %s \"/dev/bus/usb/001/011\"\n\n",
        .read_arguments = NULL,
        .print_parameters = NULL,
        .send_commands = send_commands,
    };
    return sample_run(&inquiry_status, argc, argv);
}
