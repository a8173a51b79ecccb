#include "expected_output.h"

#include "hex_text.h"

#include <cctype>
#include <cstdio>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace orvy::test::inquiry {

const std::vector<ExpectedRecord> &expected_records()
{
    static const std::vector<ExpectedRecord> kRecords{
        {0x01,
         "printer_status",
         14,
         {{"printer_status.dwStatus", 0, 4, 'x'},
          {"printer_status.ubPrintJobId", 4, 1, 'x'},
          {"printer_status.siPrintHeadTempC", 5, 2, 's'},
          {"printer_status.wBoardVoltageTv", 7, 2, 'd'},
          {"printer_status.ubState", 9, 1, 'x'},
          {"printer_status.wError", 10, 2, 'x'}}},
        {0x02,
         "printer_information",
         109,
         {{"printer_info.ubProtocolRevision", 0, 1, 'd'},
          {"printer_info.szPartNr", 1, 17, 't'},
          {"printer_info.szSerialNr", 18, 17, 't'},
          {"printer_info.szDateOfManuf", 35, 17, 't'},
          {"printer_info.dwSysConfig", 52, 4, 'x'},
          {"printer_info.dwSysSensor", 56, 4, 'x'},
          {"printer_info.dwSysFeature", 60, 4, 'x'},
          {"printer_info.szFwPartNr", 64, 17, 't'},
          {"printer_info.szFwVersion", 81, 11, 't'},
          {"printer_info.szFwDate", 92, 13, 't'},
          {"printer_info.dwFwPatch", 105, 4, 'x'}}},
        {0x04,
         "printer_sensor",
         35,
         {{"printer_sensor.ubProtocolRevision", 0, 1, 'd'},
          {"printer_sensor.ubAdcMeasurement", 1, 16, 'x'},
          {"printer_sensor.wDigitalInput", 17, 2, 'x'},
          {"printer_sensor.siPrintHeadTempC", 19, 2, 's'},
          {"printer_sensor.wBoardVoltageTv", 21, 2, 'd'},
          {"printer_sensor.ubPaperPreEndSensorState", 23, 1, 'x'},
          {"printer_sensor.ubPaperEntrySensor1State", 24, 1, 'x'},
          {"printer_sensor.ubPaperEntrySensor2State", 25, 1, 'x'},
          {"printer_sensor.ubHeadUpSensorState", 26, 1, 'x'},
          {"printer_sensor.ubCutterSensor1State", 27, 1, 'x'},
          {"printer_sensor.ubCutterSensor2State", 28, 1, 'x'},
          {"printer_sensor.ubPaperExitSensorState", 29, 1, 'x'},
          {"printer_sensor.ubAuxiliarySensorState", 30, 1, 'x'},
          {"printer_sensor.ubPresenterSensor1State", 31, 1, 'x'},
          {"printer_sensor.ubPresenterSensor2State", 32, 1, 'x'}}},
        {0x08,
         "printer_flash",
         163,
         {{"printer_flash.ubProtocolRevision", 0, 1, 'd'},
          {"printer_flash.szInfo", 1, 126, 'T'},
          {"printer_flash.wCrc16", 127, 24, 'g'},
          {"printer_flash.ubState", 151, 6, 'g'}}},
        {0x10,
         "printer_present",
         26,
         {{"printer_present.ubProtocolRevision", 0, 1, 'd'},
          {"printer_present.ubType", 1, 1, 'd'},
          {"printer_present.wStatus", 2, 2, 'x'},
          {"printer_present.ubState", 4, 1, 'x'},
          {"printer_present.ubNrOfLoadedPages", 5, 1, 'd'},
          {"printer_present.dwNrOfProcessedPages", 6, 4, 's'},
          {"printer_present.dwNrOfEjectedPages", 10, 4, 's'},
          {"printer_present.dwNrOfRejectedPages", 14, 4, 's'}}},
        {0x20,
         "printer_life",
         39,
         {{"printer_life.ubProtocolRevision", 0, 1, 'd'},
          {"printer_life.dwTimePoweredS", 1, 4, 'u'},
          {"printer_life.dwDistanceSteppedMm", 5, 4, 'u'},
          {"printer_life.dwDistanceBurnedMm", 9, 4, 'u'},
          {"printer_life.dwPaperTransportedMm", 13, 4, 'u'},
          {"printer_life.dwNrOfSystemStarts", 17, 4, 'u'},
          {"printer_life.dwNrOfHardResets", 21, 4, 'u'},
          {"printer_life.dwNrOfPaperCuts", 25, 4, 'u'},
          {"printer_life.wNrOfPaperLoads", 29, 2, 'u'}}},
    };
    return kRecords;
}

const ExpectedRecord &expected_record(unsigned mask)
{
    for (const auto &record : expected_records()) {
        if (record.mask == mask) return record;
    }
    throw std::invalid_argument("no record for that mask");
}

std::string field_line(const std::string &name, const std::string &value)
{
    std::string line = name;
    if (line.size() < 50) line.append(50 - line.size(), ' ');
    return line + " = " + value + "\n";
}

namespace {

std::string hex_of(const std::vector<std::uint8_t> &bytes, int offset, int width)
{
    return "[" + orvy::test::hex_text(bytes.data() + offset, static_cast<std::size_t>(width), "") +
           "]";
}

std::string quoted_text(const std::vector<std::uint8_t> &bytes, int offset, int width)
{
    std::string text = "\"";
    for (int i = offset; i < offset + width && bytes[i] != 0; ++i) {
        text += static_cast<char>(bytes[i]);
    }
    return text + "\"";
}

std::string value_text(const ExpectedField &field, const std::vector<std::uint8_t> &bytes)
{
    long long number = 0;
    long long range = 1;
    if (field.width <= 4) {
        for (int i = field.width - 1; i >= 0; --i) number = number * 256 + bytes[field.offset + i];
        range = 1LL << (8 * field.width);
    }
    switch (field.form) {
    case 'd':
        // A 32-bit field is always signed in the decimal form.
        if (field.width == 4 && number >= range / 2) number -= range;
        return std::to_string(number);
    case 's': return std::to_string(number >= range / 2 ? number - range : number);
    case 'u': return std::to_string(number);
    case 't': return quoted_text(bytes, field.offset, field.width);
    case 'x': return hex_of(bytes, field.offset, field.width);
    case 'g':
    case 'T': {
        const int group = field.width / 6;
        std::string text;
        for (int i = 0; i < 6; ++i) {
            const int at = field.offset + i * group;
            text += field.form == 'g' ? hex_of(bytes, at, group) : quoted_text(bytes, at, group);
            if (field.form == 'T' || i < 5) text += ' ';
        }
        return text;
    }
    }
    throw std::invalid_argument("unknown form");
}

}  // namespace

std::string expected_report(const ExpectedRecord &record, const std::vector<std::uint8_t> &bytes,
                            bool verbose)
{
    if (static_cast<int>(bytes.size()) != record.size) throw std::invalid_argument("record size");
    std::string text = field_line(record.inquiry_name,
                                  std::to_string(record.mask) + hex_of(bytes, 0, record.size));
    if (!verbose) return text;
    for (const auto &field : record.fields) {
        text += field_line(field.name, value_text(field, bytes));
    }
    return text;
}

std::string test_name(const std::string &what)
{
    std::string name;
    for (const char c : what) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

std::string expected_help()
{
    return "# Usage:    Orvy_InquiryTool [-s] [-h] [-v] Printer Code \n"
           "#              [-s]            = enables silent mode\n"
           "#              [-h]            = enables help display\n"
           "#              [-v]            = enables verbose output\n"
           "#              Printer         = name of the printer port to which the printer is "
           "connected starting with \"\\\"\n"
           "#              Code            = a 2 hex digit inquiry code enclosed in square "
           "brackets \"[\" and \"]\"\n"
           "# Notes:    The hex digit inquiry code is a unsigned char bitmask that corresponds "
           "with the 2 nibbles\n"
           "#           of parameter [n] in emulation command \"GS A+[n]\"\n"
           "#           The individual bits in the inquiry code cause following inquiries:\n"
           "#              [01] = bit #0 = printer status\n"
           "#              [02] = bit #1 = general information regarding the printer (part "
           "number, firmware, etc.)\n"
           "#              [04] = bit #2 = information regarding the printer sensors\n"
           "#              [08] = bit #3 = information regarding the flash memory (contents, "
           "etc.)\n"
           "#           The inquired data is output as hex data string.\n"
           "# Examples: Orvy_InquiryTool -s \"/dev/Ttys1\" [3F]\n"
           "#           Orvy_InquiryTool -s -v \"/dev/usb/lp0\" [3F]\n";
}

std::string with_banner_marked(const std::string &output)
{
    static const std::regex kBanner(
        "# Velmora - Orvy_InquiryTool - Version R3-V1\\.04e-BETA - "
        "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) ( [1-9]|[12][0-9]|3[01]) [0-9]{4} - "
        "([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]");
    std::istringstream in(output);
    std::string marked;
    for (std::string line; std::getline(in, line);) {
        marked += std::regex_match(line, kBanner) ? "<banner>" : line;
        if (!in.eof()) marked += '\n';
    }
    return marked;
}

std::vector<std::uint8_t> bytes_of_hex_line(const std::string &output, const ExpectedRecord &record)
{
    const std::string head = field_line(record.inquiry_name, std::to_string(record.mask) + "[");
    const std::size_t at = output.find(head.substr(0, head.size() - 1));
    if (at == std::string::npos || (at > 0 && output[at - 1] != '\n')) return {};
    const std::size_t digits_at = at + head.size() - 1;
    const std::size_t digits = 2 * static_cast<std::size_t>(record.size);
    if (output.compare(digits_at + digits, 2, "]\n") != 0) return {};
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < digits; i += 2) {
        const std::string pair = output.substr(digits_at + i, 2);
        if (pair.find_first_not_of("0123456789ABCDEF") != std::string::npos) return {};
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(pair, nullptr, 16)));
    }
    return bytes;
}

}  // namespace orvy::test::inquiry
