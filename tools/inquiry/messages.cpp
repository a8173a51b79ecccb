#include "messages.h"

#include <cstdarg>

namespace orvy::inquiry {

void print_banner(std::FILE *out, const BuildStamp &stamp)
{
    std::fprintf(out, "# %s - %s - Version %s%s%s - %s - %s\n", "Velmora", kProgramName, "R3-V1.04",
                 "e", "-BETA", stamp.date, stamp.time);
    std::fflush(out);
}

void print_help(std::FILE *out)
{
    std::fprintf(out, "# Usage:    %s [-s] [-h] [-v] Printer Code \n", kProgramName);
    std::fputs("#              [-s]            = enables silent mode\n"
               "#              [-h]            = enables help display\n"
               "#              [-v]            = enables verbose output\n"
               "#              Printer         = name of the printer port to which the printer "
               "is connected starting with \"\\\"\n"
               "#              Code            = a 2 hex digit inquiry code enclosed in square "
               "brackets \"[\" and \"]\"\n"
               "# Notes:    The hex digit inquiry code is a unsigned char bitmask that "
               "corresponds with the 2 nibbles\n"
               "#           of parameter [n] in emulation command \"GS A+[n]\"\n"
               "#           The individual bits in the inquiry code cause following inquiries:\n"
               "#              [01] = bit #0 = printer status\n"
               "#              [02] = bit #1 = general information regarding the printer (part "
               "number, firmware, etc.)\n"
               "#              [04] = bit #2 = information regarding the printer sensors\n"
               "#              [08] = bit #3 = information regarding the flash memory "
               "(contents, etc.)\n"
               "#           The inquired data is output as hex data string.\n",
               out);
    std::fprintf(out, "# Examples: %s -s \"/dev/Ttys1\" [3F]\n", kProgramName);
    std::fprintf(out, "#           %s -s -v \"/dev/usb/lp0\" [3F]\n", kProgramName);
    std::fflush(out);
}

void print_invalid_argument(std::FILE *out, int position, const char *argument)
{
    std::fprintf(out, "! %s: invalid argument (argument %d, \"%s\")\n", kProgramName, position,
                 argument);
    std::fflush(out);
}

void print_missing_port(std::FILE *out)
{
    std::fprintf(out, "! %s: missing printer port (e.g. \"\\dev\\usb\\lp0\")\n", kProgramName);
    std::fflush(out);
}

void print_missing_arguments(std::FILE *out)
{
    std::fprintf(out, "! %s: missing arguments\n", kProgramName);
    std::fflush(out);
}

void say(std::FILE *out, const char *format, ...)
{
    if (out == nullptr) return;
    std::va_list arguments;
    va_start(arguments, format);
    std::vfprintf(out, format, arguments);
    va_end(arguments);
    std::fflush(out);
}

}  // namespace orvy::inquiry
