/*
 * sample_frame.h - the frame shared by the Orvy sample programs
 *
 * Every sample runs the same way: check the arguments, print the start
 * banner, open the printer named by the first argument, print the
 * parameters, discard pending input, send the program's commands, print the
 * end banner and close the printer. A sample program only supplies its
 * texts and its command steps; all output goes to standard output and the
 * program always exits with status 0.
 */
#pragma once

#include <stdint.h>

#include "Orvy_Api.h"

/* Time-out of every write and read of the samples. */
#define SAMPLE_TIMEOUT_MS 1000UL

/* Number of bytes of a command array, as the int the library takes. */
#define COMMAND_LENGTH(command) ((int)sizeof(command))

/* The row of dashes that frames the banners and the parameter block. */
#define SAMPLE_RULE "-------------------------------------------------"

struct sample_program {
    /* Argument count that lets the sample run, program name included. */
    int needed_arguments;
    /* Written when fewer arguments are given; %s is the program name. */
    const char *usage;
    /* Optional: reads the arguments after the port, before the open. */
    void (*read_arguments)(char **argv);
    /* Optional: writes the program's own lines of the parameter block. */
    void (*print_parameters)(void);
    /* Sends the commands; writes the failing step's message and returns 0,
     * or returns 1 when every step succeeded. */
    int (*send_commands)(intptr_t printer);
};

/* Runs one sample from main's arguments; returns the exit status (always 0). */
int sample_run(const struct sample_program *program, int argc, char **argv);
