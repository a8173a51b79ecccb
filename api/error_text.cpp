// orvy_api_strerror: one line of English for every code of the library.
#include "Orvy_Api.h"

extern "C" const char *orvy_api_strerror(int code)
{
    switch (code) {
    case ORVY_API_OK: return "success";
    case ORVY_API_E_OPEN: return "port cannot be opened (busy, missing or no access)";
    case ORVY_API_E_NO_PRINTER: return "no printer of the family at this port";
    case ORVY_API_E_KERNEL_DRIVER: return "kernel driver cannot be detached";
    case ORVY_API_E_INTERFACE_BUSY: return "interface claimed by another program or connection";
    case ORVY_API_E_NO_CONFIGURATION: return "configuration descriptor cannot be read";
    case ORVY_API_E_NO_ALT_SETTING: return "interface has no usable alternate setting";
    case ORVY_API_E_ENDPOINTS: return "interface has too few endpoints";
    case ORVY_API_E_NO_MEMORY: return "out of memory";
    case ORVY_API_E_NO_CONNECTION: return "no connection";
    case ORVY_API_E_INVALID_ARGUMENT: return "invalid argument";
    case ORVY_API_E_GONE: return "printer is gone (unplugged)";
    default: return "unknown code";
    }
}
