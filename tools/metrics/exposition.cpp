#include "exposition.h"

#include <cstdio>
#include <span>
#include <string_view>
#include <vector>

#include "Orvy_Api.h"
#include "printer_connection.h"
#include "record_layouts.h"
#include "report.h"

namespace orvy::metrics {
namespace {

using inquiry::FieldForm;

// A metric read from one field of one record, scaled into its base unit.
struct FieldMetric {
    const char *name;
    const char *type;
    const char *help;
    const char *field;  // printed name of the field in the verbose report
    double scale = 1;
};

constexpr FieldMetric kFieldMetrics[] = {
    {"orvy_printer_status_word", "gauge", "Status word of the status record, as a number.",
     "printer_status.dwStatus"},
    {"orvy_printer_status_state", "gauge", "State byte of the status record.",
     "printer_status.ubState"},
    {"orvy_printer_error_word", "gauge",
     "Error word of the status record, as a number; 0 when the printer reports no error.",
     "printer_status.wError"},
    {"orvy_printer_head_temperature_celsius", "gauge", "Temperature of the print head.",
     "printer_status.siPrintHeadTempC"},
    {"orvy_printer_board_voltage_volts", "gauge", "Supply voltage of the printer board.",
     "printer_status.wBoardVoltageTv", 0.1},
    {"orvy_printer_presenter_status_word", "gauge", "Status word of the presenter, as a number.",
     "printer_present.wStatus"},
    {"orvy_printer_presenter_state", "gauge", "State byte of the presenter.",
     "printer_present.ubState"},
    {"orvy_printer_presenter_loaded_pages", "gauge", "Pages waiting in the presenter.",
     "printer_present.ubNrOfLoadedPages"},
    {"orvy_printer_presenter_processed_pages_total", "counter",
     "Pages the presenter has processed.", "printer_present.dwNrOfProcessedPages"},
    {"orvy_printer_presenter_ejected_pages_total", "counter", "Pages the presenter has ejected.",
     "printer_present.dwNrOfEjectedPages"},
    {"orvy_printer_presenter_rejected_pages_total", "counter",
     "Pages the presenter has taken back.", "printer_present.dwNrOfRejectedPages"},
    {"orvy_printer_powered_seconds_total", "counter", "Time the printer has been powered.",
     "printer_life.dwTimePoweredS"},
    {"orvy_printer_stepped_meters_total", "counter", "Distance the paper motor has stepped.",
     "printer_life.dwDistanceSteppedMm", 0.001},
    {"orvy_printer_burned_meters_total", "counter", "Distance the print head has printed.",
     "printer_life.dwDistanceBurnedMm", 0.001},
    {"orvy_printer_paper_transported_meters_total", "counter", "Paper transported.",
     "printer_life.dwPaperTransportedMm", 0.001},
    {"orvy_printer_system_starts_total", "counter", "Starts of the printer.",
     "printer_life.dwNrOfSystemStarts"},
    {"orvy_printer_hard_resets_total", "counter", "Hard resets of the printer.",
     "printer_life.dwNrOfHardResets"},
    {"orvy_printer_paper_cuts_total", "counter", "Cuts of the paper cutter.",
     "printer_life.dwNrOfPaperCuts"},
    {"orvy_printer_paper_loads_total", "counter", "Paper loads.", "printer_life.wNrOfPaperLoads"},
};

struct LabelledField {
    const char *label;
    const char *field;
};

constexpr LabelledField kSensors[] = {
    {"paper_near_end", "printer_sensor.ubPaperPreEndSensorState"},
    {"paper_entry_1", "printer_sensor.ubPaperEntrySensor1State"},
    {"paper_entry_2", "printer_sensor.ubPaperEntrySensor2State"},
    {"head_up", "printer_sensor.ubHeadUpSensorState"},
    {"cutter_1", "printer_sensor.ubCutterSensor1State"},
    {"cutter_2", "printer_sensor.ubCutterSensor2State"},
    {"paper_exit", "printer_sensor.ubPaperExitSensorState"},
    {"auxiliary", "printer_sensor.ubAuxiliarySensorState"},
    {"presenter_1", "printer_sensor.ubPresenterSensor1State"},
    {"presenter_2", "printer_sensor.ubPresenterSensor2State"},
};

constexpr LabelledField kIdentity[] = {
    {"serial_number", "printer_info.szSerialNr"},
    {"part_number", "printer_info.szPartNr"},
    {"firmware_version", "printer_info.szFwVersion"},
    {"firmware_part_number", "printer_info.szFwPartNr"},
};

// One metric family; a family without samples is left out of the text.
class Family {
public:
    Family(const char *name, const char *type, const char *help)
        : name_(name), type_(type), help_(help)
    {}

    // `labels` come after the port label, each as name="escaped value".
    void add(const std::string &port_label, const std::string &labels, double value)
    {
        char number[32];
        std::snprintf(number, sizeof number, "%.10g", value);
        samples_ += std::string(name_) + "{" + port_label + labels + "} " + number + "\n";
    }

    void append_to(std::string &text) const
    {
        if (samples_.empty()) return;
        text += std::string("# HELP ") + name_ + " " + help_ + "\n# TYPE " + name_ + " " + type_ +
                "\n" + samples_;
    }

private:
    const char *name_;
    const char *type_;
    const char *help_;
    std::string samples_;
};

struct FieldValue {
    bool present = false;
    double number = 0;
    std::string text;
};

// The field as the report shows it: hex fields as the number their bytes
// make, little-endian; decimal fields as printed; text slots as text.
FieldValue field_value(const PrinterRound &round, const char *name)
{
    const inquiry::FieldLocation location = inquiry::field_named(name);
    if (location.field == nullptr) return {};
    const auto bytes = inquiry::field_bytes(*location.field, round.record(location.record->mask));
    if (bytes.empty()) return {};
    FieldValue value;
    value.present = true;
    switch (location.field->form) {
    case FieldForm::hex: value.number = inquiry::little_endian_value(bytes); break;
    case FieldForm::text: value.text = inquiry::slot_text(bytes); break;
    default: value.number = static_cast<double>(inquiry::field_number(*location.field, bytes));
    }
    return value;
}

std::string open_comment(const PrinterRound &round)
{
    if (round.open_error == 0) return "";
    return "# open failed: error " + std::to_string(round.open_error) + ", " +
           orvy_api_strerror(static_cast<int>(round.open_error)) + "\n";
}

}  // namespace

std::string label_value(const std::string &value)
{
    std::string escaped;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            escaped += '\\';
            escaped += c;
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (byte >= 0x20 && byte < 0x7F) {
            escaped += c;
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\\\x%02X", byte);
            escaped += code;
        }
    }
    return escaped;
}

std::string exposition_text(const PrinterRound &round)
{
    const std::string port = "port=\"" + label_value(round.port) + "\"";
    std::string text = open_comment(round);

    Family up("orvy_printer_up", "gauge",
              "1 when the printer was opened and answered at least one inquiry, else 0.");
    up.add(port, "", round.up() ? 1 : 0);
    up.append_to(text);

    Family open_error("orvy_printer_open_error", "gauge",
                      "Error code of opening the printer port; 0 when it opened, -1 when it is "
                      "busy or missing, -4 when another program holds the USB interface.");
    open_error.add(port, "", static_cast<double>(round.open_error));
    open_error.append_to(text);

    Family success("orvy_printer_inquiry_success", "gauge",
                   "1 when the record of this inquiry arrived intact, else 0.");
    for (const RecordOutcome &outcome : round.records) {
        success.add(port, ",record=\"" + std::string(outcome.name) + "\"",
                    outcome.bytes.empty() ? 0 : 1);
        if (outcome.failure != nullptr) {
            text += std::string("# ") + outcome.name + " failed: " + outcome.failure + "\n";
        }
    }
    success.append_to(text);

    Family info("orvy_printer_info", "gauge",
                "Identity of the printer in its labels; the value is always 1.");
    std::string identity_labels;
    bool identified = false;
    for (const LabelledField &label : kIdentity) {
        const FieldValue value = field_value(round, label.field);
        identified = identified || value.present;
        identity_labels += std::string(",") + label.label + "=\"" + label_value(value.text) + "\"";
    }
    if (identified) info.add(port, identity_labels, 1);
    info.append_to(text);

    for (const FieldMetric &metric : kFieldMetrics) {
        Family family(metric.name, metric.type, metric.help);
        const FieldValue value = field_value(round, metric.field);
        // A counter the printer does not keep reads as -1: no sample then.
        const bool kept = std::string_view(metric.type) != "counter" || value.number >= 0;
        if (value.present && kept) family.add(port, "", value.number * metric.scale);
        family.append_to(text);
    }

    Family sensor_state("orvy_printer_sensor_state", "gauge",
                        "State byte of each sensor; paper_near_end is not 0 when the paper roll "
                        "is nearly used up.");
    for (const LabelledField &sensor : kSensors) {
        const FieldValue value = field_value(round, sensor.field);
        if (value.present) {
            sensor_state.add(port, ",sensor=\"" + std::string(sensor.label) + "\"", value.number);
        }
    }
    sensor_state.append_to(text);
    return text;
}

}  // namespace orvy::metrics
