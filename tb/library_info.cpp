#include "Orvy_Tb.h"

char *orvy_tb_get_library_info(void)
{
    // The interface hands out a non-const pointer for historical callers; the
    // text itself lives in read-only storage and must never be written.
    static char *const library_info =
        const_cast<char *>("Velmora - libOrvyTb - R3-V1.04e - S417702");
    return library_info;
}
