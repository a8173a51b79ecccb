/*
 * A downstream C application, built only against the installed toolkit
 * through pkg-config.
 *
 *   consumer           prints both library information strings
 *   consumer PORT      also reads the printer's status block:
 *                      open, clear, inquiry 1D 61 01, header 4 + data 14, close
 *
 * Exit status: 0 success, 1 wrong library information, 3 open failed,
 * 4 the exchange failed.
 */
#include <Orvy_Api.h>
#include <Orvy_Tb.h>

#include <stdio.h>
#include <string.h>

enum { STATUS_SIZE = 14, TIMEOUT_MS = 1000 };

static int starts_with(const char *text, const char *prefix)
{
    return text != NULL && strncmp(text, prefix, strlen(prefix)) == 0;
}

static void print_hex(const char *what, const unsigned char *bytes, int count)
{
    printf("%s:", what);
    for (int i = 0; i < count; ++i) printf(" %02X", bytes[i]);
    printf("\n");
}

/* The inquiry is written in the toolbox's coded notation, so that the
 * consumer uses libOrvyTb for real and not only its information string. */
static int read_status_block(intptr_t printer)
{
    unsigned char coded[] = "[1D 61 01] // status inquiry";
    unsigned char *inquiry = NULL;
    unsigned int inquiry_size = 0;
    unsigned char header[4] = {0};
    unsigned char status[STATUS_SIZE] = {0};
    int ok = 0;

    intptr_t cmd = orvy_tb_cmd_init_coded(coded, (unsigned int)(sizeof coded - 1));
    if (!orvy_tb_cmd_get_raw(cmd, &inquiry, &inquiry_size) || inquiry_size != 3) {
        printf("coded inquiry did not convert\n");
    } else if (orvy_api_printer_write(printer, inquiry, 3, TIMEOUT_MS) != 3) {
        printf("inquiry not sent\n");
    } else if (orvy_api_printer_read(printer, header, 4, TIMEOUT_MS) != 4) {
        printf("no response header\n");
    } else if (header[0] != 0x1B || header[1] != 0xFF || header[2] != 0x02 ||
               header[3] != STATUS_SIZE) {
        print_hex("unexpected header", header, 4);
    } else if (orvy_api_printer_read(printer, status, STATUS_SIZE, TIMEOUT_MS) != STATUS_SIZE) {
        printf("no status block\n");
    } else {
        print_hex("header", header, 4);
        print_hex("status", status, STATUS_SIZE);
        ok = 1;
    }
    orvy_tb_cmd_exit(cmd);
    return ok;
}

int main(int argc, char **argv)
{
    const char *api_info = orvy_api_get_library_info();
    const char *tb_info = orvy_tb_get_library_info();
    printf("%s\n%s\n", api_info, tb_info);
    if (!starts_with(api_info, "Velmora - libOrvyApi - ") ||
        !starts_with(tb_info, "Velmora - libOrvyTb - "))
        return 1;
    if (argc < 2) return 0;

    intptr_t printer = orvy_api_printer_open(argv[1]);
    if (printer < 0) {
        printf("open %s failed: %ld\n", argv[1], (long)printer);
        return 3;
    }
    orvy_api_printer_clear(printer);
    int ok = read_status_block(printer);
    orvy_api_printer_close(printer);
    return ok ? 0 : 4;
}
