/* sample_frame.c - the frame shared by the Orvy sample programs */
#include "sample_frame.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int sample_run(const struct sample_program *program, int argc, char **argv)
{
    /* 0 = nothing to close; after a failed open it holds the (negative)
     * error code, which close ignores. */
    intptr_t printer = 0;
    char *port = NULL;
    const char *program_name = (argc > 0 && argv[0] != NULL) ? argv[0] : "";

    if (argc < program->needed_arguments) {
        printf(program->usage, program_name);
        goto clean_up;
    }

    printf("\n" SAMPLE_RULE "\n");
    printf("--- START OF APPLICATION (%s)\n", program_name);
    printf(SAMPLE_RULE "\n");

    /* The library takes a modifiable string: open a copy of the port name. */
    port = malloc(strlen(argv[1]) + 1);
    if (port == NULL) {
        printf("--- ERROR: COULD NOT ALLOCATE MEMORY !\n");
        goto clean_up;
    }
    strcpy(port, argv[1]);

    if (program->read_arguments != NULL) program->read_arguments(argv);

    printer = orvy_api_printer_open(port);

    printf("\n" SAMPLE_RULE "\n");
    printf("--- Printer name \t= %s\n", argv[1]);
    if (program->print_parameters != NULL) program->print_parameters();
    printf("--- Printer handler \t= %lu\n", (unsigned long)printer);
    printf(SAMPLE_RULE "\n");

    if (printer < 0) {
        printf("--- ERROR: OPENING PRINTER = %s \n", argv[1]);
        goto clean_up;
    }

    orvy_api_printer_clear(printer);

    if (!program->send_commands(printer)) goto clean_up;

    printf(SAMPLE_RULE "\n");
    orvy_api_printer_close(printer);
    printer = 0;
    printf("\n" SAMPLE_RULE "\n");
    printf("--- END OF APPLICATION (%s)\n", program_name);
    printf(SAMPLE_RULE "\n");

clean_up:
    free(port);
    if (printer != 0) orvy_api_printer_close(printer);
    return 0;
}
