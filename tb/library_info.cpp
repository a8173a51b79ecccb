#include "Orvy_Tb.h"

char *orvy_tb_get_library_info(void)
{
    static char library_info[] = "Velmora - libOrvyTb - R3-V1.04e - S417702";
    return library_info;
}
