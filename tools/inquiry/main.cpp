// Orvy_InquiryTool: reads a printer's status and life-time data.
#include "run_control.h"

int main(int argc, char **argv)
{
    return orvy::inquiry::run_inquiry_tool(argc, argv, {__DATE__, __TIME__});
}
