// libOrvyInquiry through its exported C interface, as programs outside the
// tree (and Python) call it.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Orvy_Inquiry.h"

namespace {

struct Free {
    void operator()(char *text) const { orvy_inquiry_free(text); }
};
using Text = std::unique_ptr<char, Free>;

std::string text_of(char *text)
{
    const Text owned(text);
    return owned ? std::string(owned.get()) : std::string("(null)");
}

std::size_t field_index(const orvy_inquiry_record *record, const std::string &name)
{
    for (std::size_t i = 0; i < orvy_inquiry_field_count(record); ++i) {
        if (name == orvy_inquiry_field_name(record, i)) return i;
    }
    return SIZE_MAX;
}

TEST(InquiryLibrary, FindsTheSixRecordsByIndexMaskAndEitherName)
{
    ASSERT_EQ(orvy_inquiry_record_count(), 6U);
    const std::array<const char *, 6> names{"status", "information", "sensor",
                                            "flash",  "presenter",   "life"};
    const std::array<std::size_t, 6> sizes{14, 109, 35, 163, 26, 39};
    const std::array<std::size_t, 6> fields{6, 11, 15, 4, 8, 9};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const orvy_inquiry_record *record = orvy_inquiry_record_at(i);
        EXPECT_EQ(record, orvy_inquiry_record_named(names[i]));
        EXPECT_EQ(record, orvy_inquiry_record_for_mask(1U << i));
        EXPECT_EQ(record, orvy_inquiry_record_named(orvy_inquiry_record_name(record)));
        EXPECT_EQ(orvy_inquiry_record_size(record), sizes[i]);
        EXPECT_EQ(orvy_inquiry_record_type(record), static_cast<int>(i) + 2);
        EXPECT_EQ(orvy_inquiry_field_count(record), fields[i]);
    }
    EXPECT_STREQ(orvy_inquiry_record_name(orvy_inquiry_record_named("information")),
                 "printer_information");
    EXPECT_EQ(orvy_inquiry_record_at(6), nullptr);
    EXPECT_EQ(orvy_inquiry_record_for_mask(0x40), nullptr);
    EXPECT_EQ(orvy_inquiry_record_named("printer_info"), nullptr);
    EXPECT_EQ(orvy_inquiry_field_name(nullptr, 0), nullptr);
}

TEST(InquiryLibrary, ChecksTheAnswerHeaderAsTheInquiryToolDoes)
{
    const orvy_inquiry_record *status = orvy_inquiry_record_named("status");
    const unsigned char good[] = {0x1B, 0xFF, 2, 14}, other_type[] = {0x1B, 0xFF, 3, 14},
                        other_size[] = {0x1B, 0xFF, 2, 16}, no_marker[] = {0x1B, 0x00, 2, 14};
    EXPECT_EQ(orvy_inquiry_check_header(status, good), ORVY_INQUIRY_OK);
    EXPECT_EQ(orvy_inquiry_check_header(status, other_type), ORVY_INQUIRY_ERROR_TYPE_MISMATCH);
    EXPECT_EQ(orvy_inquiry_check_header(status, other_size), ORVY_INQUIRY_ERROR_SIZE_MISMATCH);
    EXPECT_EQ(orvy_inquiry_check_header(status, no_marker), ORVY_INQUIRY_ERROR_SIZE_MISMATCH);
    std::array<unsigned char, 14> area{};
    EXPECT_EQ(orvy_inquiry_exchange(nullptr, status, area.data(), area.size()),
              ORVY_INQUIRY_ERROR_ARGUMENT);
}

TEST(InquiryLibrary, TypedValuesAreThoseOfTheReport)
{
    const orvy_inquiry_record *status = orvy_inquiry_record_named("status");
    std::vector<unsigned char> record{0x01, 0x00, 0x00, 0x80, 0x07, 0xE7, 0xFF,
                                      0xFF, 0xFF, 0x01, 0x34, 0x12, 0x00, 0x00};
    long long value = 0;
    const std::size_t temperature = field_index(status, "printer_status.siPrintHeadTempC");
    ASSERT_EQ(orvy_inquiry_field_number(status, temperature, record.data(), record.size(), &value),
              ORVY_INQUIRY_OK);
    EXPECT_EQ(value, -25);
    ASSERT_EQ(orvy_inquiry_field_number(status, temperature + 1, record.data(), record.size(),
                                        &value),
              ORVY_INQUIRY_OK);
    EXPECT_EQ(value, 65535);
    EXPECT_EQ(orvy_inquiry_field_form(status, 0), ORVY_INQUIRY_FORM_HEX);
    EXPECT_EQ(text_of(orvy_inquiry_field_text(status, 0, 0, record.data(), record.size())),
              "01000080");
    EXPECT_EQ(orvy_inquiry_field_number(status, 0, record.data(), record.size(), &value),
              ORVY_INQUIRY_ERROR_ARGUMENT);
    // A field beyond the bytes given has no value.
    EXPECT_EQ(orvy_inquiry_field_text(status, 0, 0, record.data(), 3), nullptr);
    EXPECT_EQ(text_of(orvy_inquiry_fields_json(status, record.data(), record.size())),
              "{\n  \"printer_status.dwStatus\": \"01000080\",\n"
              "  \"printer_status.ubPrintJobId\": \"07\",\n"
              "  \"printer_status.siPrintHeadTempC\": -25,\n"
              "  \"printer_status.wBoardVoltageTv\": 65535,\n"
              "  \"printer_status.ubState\": \"01\",\n"
              "  \"printer_status.wError\": \"3412\"\n}");
    EXPECT_EQ(orvy_inquiry_fields_json(status, record.data(), record.size() - 1), nullptr);

    const orvy_inquiry_record *flash = orvy_inquiry_record_named("flash");
    std::vector<unsigned char> flash_record(orvy_inquiry_record_size(flash), 0);
    flash_record[22] = 'A';
    const std::size_t info = field_index(flash, "printer_flash.szInfo");
    EXPECT_EQ(orvy_inquiry_field_groups(flash, info), 6U);
    EXPECT_EQ(text_of(orvy_inquiry_field_text(flash, info, 1, flash_record.data(),
                                              flash_record.size())),
              "A");
    EXPECT_EQ(orvy_inquiry_field_text(flash, info, 6, flash_record.data(), flash_record.size()),
              nullptr);
}

TEST(InquiryLibrary, EveryResultHasItsText)
{
    for (int code = ORVY_INQUIRY_ERROR_MEMORY; code <= ORVY_INQUIRY_OK; ++code) {
        EXPECT_STRNE(orvy_inquiry_strerror(code), orvy_inquiry_strerror(-1000)) << code;
    }
    EXPECT_STREQ(orvy_inquiry_strerror(ORVY_INQUIRY_ERROR_HEADER),
                 "Did not receive data response header");
}

}  // namespace
