/*
 * Orvy_Demo_FormFeed - feeds to the next form and cuts the paper.
 *
 * Usage: Orvy_Demo_FormFeed <port>, e.g. Orvy_Demo_FormFeed /dev/bus/usb/001/011
 */
#include <stdio.h>

#include "Orvy_Api.h"
#include "sample_frame.h"

static unsigned char form_feed_command[] = {0x0C};
static unsigned char full_cut_command[] = {0x1B, 0xF0, 0x06, 0x01, 0x02};

static int send_commands(intptr_t printer)
{
    /* A write is done only when the printer took every byte in time. */
    if (orvy_api_printer_write(printer, form_feed_command, COMMAND_LENGTH(form_feed_command),
                               SAMPLE_TIMEOUT_MS) != COMMAND_LENGTH(form_feed_command)) {
        printf("--- ERROR: COULD NOT SENT FORM FEED CMD !\n");
        return 0;
    }
    printf("--- FORM FEED CMD SENT OK\n");

    if (orvy_api_printer_write(printer, full_cut_command, COMMAND_LENGTH(full_cut_command),
                               SAMPLE_TIMEOUT_MS) != COMMAND_LENGTH(full_cut_command)) {
        printf("--- ERROR: COULD NOT SENT FULL CUT CMD !\n");
        return 0;
    }
    printf("--- FULL CUT CMD SENT OK\n");
    return 1;
}

int main(int argc, char **argv)
{
    static const struct sample_program form_feed = {
        .needed_arguments = 2,
        .usage = "\nERROR: No printer path available or page length missing, "
                 "example usage : %s \"/dev/bus/usb/001/011\"\n\n",
        .read_arguments = NULL,
        .print_parameters = NULL,
        .send_commands = send_commands,
    };
    return sample_run(&form_feed, argc, argv);
}
