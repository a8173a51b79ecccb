// The backend's and the filter's own logic, without CUPS or a printer.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "command_boundary.h"
#include "device_uri.h"
#include "printer_conditions.h"
#include "receipt_text.h"
#include "state_reporter.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using orvy::backend::PrinterRecords;

TEST(DeviceUri, NamesThePrinterBySerialNumber)
{
    using orvy::backend::serial_of_device_uri;
    EXPECT_EQ(orvy::backend::device_uri_from_usb_uri("usb://Velmora/Orvy%20K80?serial=A1"),
              "orvy://Velmora/Orvy%20K80?serial=A1");
    EXPECT_EQ(serial_of_device_uri("orvy://Velmora/Orvy%20K80?serial=K80P1-26-004711"),
              "K80P1-26-004711");
    EXPECT_EQ(serial_of_device_uri("orvy://M/N?x=1&serial=A%2FB%zz#frag"), "A/B%zz");
    EXPECT_EQ(serial_of_device_uri("usb://M/N?serial=A1"), "");
    EXPECT_EQ(serial_of_device_uri("orvy://M/N"), "");
}

TEST(CommandBoundary, KnowsWhereThePrintersCommandsEnd)
{
    orvy::backend::CommandBoundary boundary;
    const Bytes cut{0x1B, 0xF0, 0x06, 0x01, 0x02};
    boundary.feed(cut.data(), 2);  // a write that stopped inside the cut
    EXPECT_FALSE(boundary.at_boundary());
    EXPECT_EQ(boundary.remaining(), 3U);
    boundary.feed(cut.data() + 2, 3);
    EXPECT_TRUE(boundary.at_boundary());

    const Bytes text_then_esc{'A', 0x1B};
    boundary.feed(text_then_esc.data(), text_then_esc.size());
    EXPECT_FALSE(boundary.at_boundary());  // the next byte decides
    const Bytes other_esc{'@', 0x1D, 0x61};
    boundary.feed(other_esc.data(), other_esc.size());  // ESC @ is print data; GS a n is not
    EXPECT_EQ(boundary.remaining(), 1U);
    const Bytes n{0x01};
    boundary.feed(n.data(), n.size());
    EXPECT_TRUE(boundary.at_boundary());
}

// Records as the simulated printer sends them with its roll in.
PrinterRecords healthy()
{
    PrinterRecords r;
    r.status = {0x01, 0x00, 0x00, 0x80, 0x00, 0x1F, 0x00, 0xF1, 0x00, 0x01, 0x00, 0x00, 0, 0};
    r.sensor.assign(35, 0);
    r.sensor[24] = r.sensor[25] = 0x01;  // paper at the entry sensors
    r.sensor[27] = 0x01;
    r.presenter.assign(26, 0);
    r.presenter[4] = 0x01;
    return r;
}

std::string reasons_of(const PrinterRecords &records)
{
    std::string out;
    for (const auto &c : orvy::backend::conditions_of(records).conditions) {
        out += (out.empty() ? "" : ",") + c.reason;
    }
    return out;
}

TEST(PrinterConditions, EachRecordFieldGivesItsReason)
{
    EXPECT_EQ(reasons_of(healthy()), "");
    EXPECT_EQ(reasons_of(PrinterRecords{}), "");  // nothing read: nothing claimed

    auto out = healthy();
    out.status[0] = 0x08;  // paper out, not online
    out.status[9] = 0x02;
    out.status[10] = 0x01;
    out.sensor[23] = 0x01;
    out.sensor[24] = out.sensor[25] = 0x00;
    EXPECT_EQ(reasons_of(out), "media-empty-error");
    EXPECT_TRUE(orvy::backend::conditions_of(out).stopped());

    auto low = healthy();
    low.sensor[23] = 0x01;
    EXPECT_EQ(reasons_of(low), "media-low-report");
    EXPECT_FALSE(orvy::backend::conditions_of(low).stopped());

    auto odd = healthy();
    odd.status[3] = 0x00;   // cover open
    odd.status[11] = 0x02;  // another error bit
    odd.status[5] = 70;     // 70 C
    odd.sensor[26] = 0x01;  // head up
    odd.presenter[4] = 0x03;
    EXPECT_EQ(reasons_of(odd), "cover-open-error,other-error,other-warning");
    const auto conditions = orvy::backend::conditions_of(odd).conditions;
    EXPECT_EQ(conditions[0].message, "Cover open; Print head lifted");
    EXPECT_EQ(conditions[1].message, "Printer error 0200");
}

TEST(StateReporter, TakesBackOldReasonsOnceThenReportsOnlyChanges)
{
    char *text = nullptr;
    std::size_t size = 0;
    std::FILE *out = open_memstream(&text, &size);
    {
        orvy::backend::StateReporter reporter(out);
        reporter.show({{"media-low-report", "Paper near its end"}}, "Printing");
        reporter.show({{"media-low-report", "Paper near its end"}}, "Printing");
        reporter.show({}, "Printing");
    }
    std::fclose(out);
    const std::string lines(text, size);
    std::free(text);
    EXPECT_EQ(lines,
              "STATE: -connecting-to-device,cover-open-error,media-empty-error,offline-report,"
              "other-error,other-report,other-warning\n"
              "STATE: +media-low-report\nINFO: Paper near its end\n"
              "STATE: -media-low-report\nINFO: Printing\n");
}

TEST(ReceiptText, PrintsPlainTextAndEndsWithTheChosenCommands)
{
    orvy::filter::ReceiptText receipt({});
    const std::string text = "a\tb\r\nc\rd\x01\xC3\xBC\xFF\n\fe";
    Bytes out = receipt.feed(reinterpret_cast<const std::uint8_t *>(text.data()), text.size());
    const Bytes end = receipt.finish();
    out.insert(out.end(), end.begin(), end.end());
    const std::string expected = "a       b\nc\nd??\n\fe\n\f\x1B\xF0\x06\x01\x02";
    EXPECT_EQ(std::string(out.begin(), out.end()), expected);

    const auto options =
        orvy::filter::receipt_options("*DefaultOrvyCut: None\n*DefaultOrvyPageLength: 1255\n",
                                      {{"OrvyCut", "Full"}, {"OrvyFeed", "None"}});
    EXPECT_TRUE(options.full_cut);
    EXPECT_FALSE(options.form_feed);
    EXPECT_EQ(orvy::filter::ReceiptText(options).start(),
              (Bytes{0x1B, 0xF1, 0x01, 0x03, 0x0A, 0x04, 0xEB}));
    EXPECT_FALSE(orvy::filter::receipt_options("*DefaultOrvyPageLength: Printer\n", {})
                     .page_length.has_value());
}

}  // namespace
