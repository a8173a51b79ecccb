// Make, model and the CUPS usb backend's URI from a device ID or the USB
// strings, as the backend builds them.
#include <gtest/gtest.h>

#include "printer_identity.h"

namespace orvy::list {
namespace {

TEST(PrinterIdentity, MakeModelAndTheBackendsUri)
{
    const PrinterIdentity ours =
        identity_of("MFG:Velmora;MDL:Orvy K80 Kiosk Printer;CMD:ORVY;CLS:PRINTER;SN:X;", "", "",
                    "K80P1-26-004711");
    EXPECT_EQ(ours.make, "Velmora");
    EXPECT_EQ(ours.model, "Orvy K80 Kiosk Printer");
    EXPECT_EQ(ours.cups_uri, "usb://Velmora/Orvy%20K80%20Kiosk%20Printer?serial=K80P1-26-004711");

    // Long keys win, any case; a model that repeats the make loses it;
    // reserved characters of the host part and blanks are escaped.
    const PrinterIdentity other =
        identity_of(" manufacturer : A/B Co ; mfg:x;Model:A/B Co  K 80%;", "", "", "S N");
    EXPECT_EQ(other.make, "A/B Co");
    EXPECT_EQ(other.cups_uri, "usb://A%2FB%20Co/K%2080%25?serial=S%20N");

    // usblp not bound: the USB strings; nothing at all: what the backend says.
    EXPECT_EQ(identity_of("", "Velmora", "Orvy K80", "").cups_uri, "usb://Velmora/Orvy%20K80");
    EXPECT_EQ(identity_of("", "", "", "").cups_uri, "usb://Unknown/Printer");
    EXPECT_EQ(device_id_value("MFG:V;MDL:M", "mdl"), "M");
}

}  // namespace
}  // namespace orvy::list
