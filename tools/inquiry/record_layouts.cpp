#include "record_layouts.h"

#include <array>

namespace orvy::inquiry {
namespace {

using F = FieldForm;

constexpr std::array kStatusFields{
    FieldLayout{"printer_status.dwStatus", 0, 4, F::hex},
    FieldLayout{"printer_status.ubPrintJobId", 4, 1, F::hex},
    FieldLayout{"printer_status.siPrintHeadTempC", 5, 2, F::signed_decimal},
    FieldLayout{"printer_status.wBoardVoltageTv", 7, 2, F::decimal},
    FieldLayout{"printer_status.ubState", 9, 1, F::hex},
    FieldLayout{"printer_status.wError", 10, 2, F::hex},
};

constexpr std::array kInformationFields{
    FieldLayout{"printer_info.ubProtocolRevision", 0, 1, F::decimal},
    FieldLayout{"printer_info.szPartNr", 1, 17, F::text},
    FieldLayout{"printer_info.szSerialNr", 18, 17, F::text},
    FieldLayout{"printer_info.szDateOfManuf", 35, 17, F::text},
    FieldLayout{"printer_info.dwSysConfig", 52, 4, F::hex},
    FieldLayout{"printer_info.dwSysSensor", 56, 4, F::hex},
    FieldLayout{"printer_info.dwSysFeature", 60, 4, F::hex},
    FieldLayout{"printer_info.szFwPartNr", 64, 17, F::text},
    FieldLayout{"printer_info.szFwVersion", 81, 11, F::text},
    FieldLayout{"printer_info.szFwDate", 92, 13, F::text},
    FieldLayout{"printer_info.dwFwPatch", 105, 4, F::hex},
};

constexpr std::array kSensorFields{
    FieldLayout{"printer_sensor.ubProtocolRevision", 0, 1, F::decimal},
    FieldLayout{"printer_sensor.ubAdcMeasurement", 1, 16, F::hex},
    FieldLayout{"printer_sensor.wDigitalInput", 17, 2, F::hex},
    FieldLayout{"printer_sensor.siPrintHeadTempC", 19, 2, F::signed_decimal},
    FieldLayout{"printer_sensor.wBoardVoltageTv", 21, 2, F::decimal},
    FieldLayout{"printer_sensor.ubPaperPreEndSensorState", 23, 1, F::hex},
    FieldLayout{"printer_sensor.ubPaperEntrySensor1State", 24, 1, F::hex},
    FieldLayout{"printer_sensor.ubPaperEntrySensor2State", 25, 1, F::hex},
    FieldLayout{"printer_sensor.ubHeadUpSensorState", 26, 1, F::hex},
    FieldLayout{"printer_sensor.ubCutterSensor1State", 27, 1, F::hex},
    FieldLayout{"printer_sensor.ubCutterSensor2State", 28, 1, F::hex},
    FieldLayout{"printer_sensor.ubPaperExitSensorState", 29, 1, F::hex},
    FieldLayout{"printer_sensor.ubAuxiliarySensorState", 30, 1, F::hex},
    FieldLayout{"printer_sensor.ubPresenterSensor1State", 31, 1, F::hex},
    FieldLayout{"printer_sensor.ubPresenterSensor2State", 32, 1, F::hex},
};

constexpr std::array kFlashFields{
    FieldLayout{"printer_flash.ubProtocolRevision", 0, 1, F::decimal},
    FieldLayout{"printer_flash.szInfo", 1, 6 * 21, F::six_texts, 6},
    // Six CRC entries of four bytes each, whatever the name suggests.
    FieldLayout{"printer_flash.wCrc16", 127, 6 * 4, F::grouped_hex, 6},
    FieldLayout{"printer_flash.ubState", 151, 6 * 1, F::grouped_hex, 6},
};

constexpr std::array kPresenterFields{
    FieldLayout{"printer_present.ubProtocolRevision", 0, 1, F::decimal},
    FieldLayout{"printer_present.ubType", 1, 1, F::decimal},
    FieldLayout{"printer_present.wStatus", 2, 2, F::hex},
    FieldLayout{"printer_present.ubState", 4, 1, F::hex},
    FieldLayout{"printer_present.ubNrOfLoadedPages", 5, 1, F::decimal},
    FieldLayout{"printer_present.dwNrOfProcessedPages", 6, 4, F::signed_decimal},
    FieldLayout{"printer_present.dwNrOfEjectedPages", 10, 4, F::signed_decimal},
    FieldLayout{"printer_present.dwNrOfRejectedPages", 14, 4, F::signed_decimal},
};

constexpr std::array kLifeFields{
    FieldLayout{"printer_life.ubProtocolRevision", 0, 1, F::decimal},
    FieldLayout{"printer_life.dwTimePoweredS", 1, 4, F::unsigned_decimal},
    FieldLayout{"printer_life.dwDistanceSteppedMm", 5, 4, F::unsigned_decimal},
    FieldLayout{"printer_life.dwDistanceBurnedMm", 9, 4, F::unsigned_decimal},
    FieldLayout{"printer_life.dwPaperTransportedMm", 13, 4, F::unsigned_decimal},
    FieldLayout{"printer_life.dwNrOfSystemStarts", 17, 4, F::unsigned_decimal},
    FieldLayout{"printer_life.dwNrOfHardResets", 21, 4, F::unsigned_decimal},
    FieldLayout{"printer_life.dwNrOfPaperCuts", 25, 4, F::unsigned_decimal},
    FieldLayout{"printer_life.wNrOfPaperLoads", 29, 2, F::unsigned_decimal},
};

constexpr std::array kLayouts{
    RecordLayout{0x01, 14, kStatusFields},    RecordLayout{0x02, 109, kInformationFields},
    RecordLayout{0x04, 35, kSensorFields},    RecordLayout{0x08, 163, kFlashFields},
    RecordLayout{0x10, 26, kPresenterFields}, RecordLayout{0x20, 39, kLifeFields},
};

constexpr bool form_fits_width(const FieldLayout &field)
{
    switch (field.form) {
    case F::decimal:
    case F::unsigned_decimal:
        return field.groups == 1 && (field.width == 1 || field.width == 2 || field.width == 4);
    case F::signed_decimal: return field.groups == 1 && (field.width == 2 || field.width == 4);
    case F::text:
    case F::hex: return field.groups == 1 && field.width > 0;
    case F::grouped_hex: return field.groups > 0 && field.width % field.groups == 0;
    case F::six_texts: return field.groups == 6 && field.width % 6 == 0;
    }
    return false;
}

// Every field lies inside its record, after the one before it, in a form its
// width allows: the report then never reads outside the receive area.
constexpr bool layout_is_sound(const RecordLayout &record)
{
    std::size_t end_of_previous = 0;
    for (const FieldLayout &field : record.fields) {
        if (field.offset < end_of_previous) return false;
        if (!form_fits_width(field)) return false;
        end_of_previous = std::size_t{field.offset} + field.width;
    }
    return end_of_previous <= record.size;
}

constexpr bool all_layouts_sound()
{
    for (const RecordLayout &record : kLayouts) {
        if (!layout_is_sound(record)) return false;
    }
    return true;
}

static_assert(all_layouts_sound());

}  // namespace

const RecordLayout *record_layout_for(unsigned mask)
{
    for (const RecordLayout &record : kLayouts) {
        if (record.mask == mask) return &record;
    }
    return nullptr;
}

std::span<const RecordLayout> record_layouts() { return kLayouts; }

FieldLocation field_named(std::string_view name)
{
    for (const RecordLayout &record : kLayouts) {
        for (const FieldLayout &field : record.fields) {
            if (name == field.name) return {&record, &field};
        }
    }
    return {};
}

}  // namespace orvy::inquiry
