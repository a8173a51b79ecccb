/* The public header compiles as C and the library links from C. */
#include "Orvy_Tb.h"

#include <stdio.h>
#include <string.h>

int main(void)
{
    static const char coded[] = "[1B 40] \"ok\" // reset";
    unsigned char *raw = NULL;
    unsigned int n = 0;
    struct timespec ts;
    intptr_t cmd;
    void *mem;
    char text[] = "  trimmed  ";
    int failures = 0;

    orvy_tb_set_time_stamp(&ts);
    if (orvy_tb_calc_age_in_ms(&ts) > 60000UL) ++failures;

    cmd = orvy_tb_cmd_init_coded((unsigned char *)coded, (unsigned int)strlen(coded));
    if (cmd == 0 || orvy_tb_cmd_get_raw(cmd, &raw, &n) != 1 || n != 4 ||
        memcmp(raw, "\x1B\x40ok", 4) != 0) {
        ++failures;
    }
    orvy_tb_cmd_exit(cmd);

    mem = orvy_tb_alloc_mem_cat(orvy_tb_alloc_mem(2), "ab", 2);
    if (mem == NULL || orvy_tb_alloc_mem_size(mem) != 4) ++failures;
    orvy_tb_free(mem);

    if (strcmp(orvy_tb_trim(text), "trimmed") != 0) ++failures;

    {
        unsigned char command[ORVY_TB_COMMAND_MAX_SIZE];
        size_t size = orvy_tb_command_full_cut(command, sizeof command);
        if (size != 5 || memcmp(command, "\x1B\xF0\x06\x01\x02", 5) != 0) ++failures;
    }

    printf("%s: %d failure(s)\n", orvy_tb_get_library_info(), failures);
    return failures == 0 ? 0 : 1;
}
