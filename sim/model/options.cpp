#include "options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>

#include "hex.h"

namespace orvy::sim {
namespace {

// Decimal or 0x-hex; a leading zero does not mean octal.
std::optional<unsigned long> parse_number(const std::string &text, unsigned long max)
{
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    errno = 0;
    char *end = nullptr;
    const unsigned long value = std::strtoul(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (errno != 0 || end == text.c_str() + (hex ? 2 : 0) || *end != '\0' || value > max) {
        return std::nullopt;
    }
    return value;
}

class OptionParser {
public:
    explicit OptionParser(Options &o) : o_(o) { define(); }

    // Empty on success, otherwise the reason.
    std::string apply(const std::string &name, const std::string *value)
    {
        auto flag = flags_.find(name);
        if (flag != flags_.end()) {
            if (value) return "option " + name + " takes no value";
            flag->second();
            return {};
        }
        auto valued = valued_.find(name);
        if (valued == valued_.end()) return "unknown option " + name;
        if (!value) return "option " + name + " needs a value";
        if (!valued->second(*value)) return "bad value '" + *value + "' for " + name;
        return {};
    }
    bool takes_value(const std::string &name) const { return valued_.count(name) > 0; }

private:
    using Setter = std::function<bool(const std::string &)>;

    template <typename T>
    Setter number(T &target, unsigned long min, unsigned long max)
    {
        return [&target, min, max](const std::string &text) {
            const auto value = parse_number(text, max);
            if (!value || *value < min) return false;
            target = static_cast<T>(*value);
            return true;
        };
    }
    template <typename T>
    Setter optional_number(std::optional<T> &target, unsigned long min, unsigned long max)
    {
        return [&target, min, max](const std::string &text) {
            const auto value = parse_number(text, max);
            if (!value || *value < min) return false;
            target = static_cast<T>(*value);
            return true;
        };
    }

    void define()
    {
        constexpr unsigned long kMs = 24UL * 3600 * 1000;
        flags_["--silent"] = [this] { o_.silent = true; };
        flags_["--paper-out"] = [this] { o_.paper_out = true; };
        flags_["--no-usb"] = [this] { o_.no_usb = true; };
        flags_["--stall"] = [this] { o_.stall = true; };
        flags_["--help"] = [this] { o_.help = true; };
        flags_["-h"] = [this] { o_.help = true; };

        valued_["--log"] = [this](const std::string &v) {
            o_.log_path = v;
            return !v.empty();
        };
        valued_["--delay-ms"] = number(o_.delay_ms, 0, kMs);
        valued_["--trickle-ms"] = number(o_.trickle_ms, 0, kMs);
        valued_["--babble-ms"] = number(o_.babble_ms, 1, kMs);
        valued_["--split"] = [this](const std::string &v) { return parse_split(v); };
        valued_["--pending"] = [this](const std::string &v) {
            auto bytes = parse_hex(v);
            if (!bytes) return false;
            o_.pending = *bytes;
            return true;
        };
        valued_["--answer-esc"] = optional_number(o_.shape.esc, 0, 0xFF);
        valued_["--answer-marker"] = optional_number(o_.shape.marker, 0, 0xFF);
        valued_["--answer-type"] = optional_number(o_.shape.type, 0, 0xFF);
        valued_["--answer-size"] = optional_number(o_.shape.size, 0, 0xFF);
        valued_["--short-answer"] = optional_number(o_.shape.short_length, 0, 0xFFFF);
        valued_["--garbage"] = number(o_.shape.garbage, 0, 0xFFFF);
        valued_["--out-partial"] = optional_number(o_.out_partial, 0, 0xFFFFFF);
        valued_["--unplug-after-ms"] = optional_number(o_.unplug_after_ms, 0, kMs);
        valued_["--printers"] = number(o_.printers, 1, 8);
        valued_["--tty-name"] = [this](const std::string &v) { return set_tty_name(v); };
        valued_["--replug-after-ms"] = optional_number(o_.replug_after_ms, 0, kMs);
        valued_["--print-buffer"] = number(o_.print_buffer, 0, 1UL << 30);
        valued_["--print-rate"] = number(o_.print_rate, 0, 1UL << 30);
        constexpr unsigned long kLongestRollMm = 10UL * 1000 * 1000;  // 10 km
        valued_["--paper-mm"] = number(o_.paper_mm, 0, kLongestRollMm);
        valued_["--near-end-mm"] = number(o_.near_end_mm, 0, kLongestRollMm);
        valued_["--paper"] = [this](const std::string &v) {
            o_.paper_path = v;
            return !v.empty();
        };
        valued_["--control"] = [this](const std::string &v) {
            o_.control_path = v;
            return !v.empty();
        };
        valued_["--printer"] = [this](const std::string &v) { return add_printer_knob(v); };
        valued_["--vendor-id"] = number(o_.usb.vendor_id, 0, 0xFFFF);
        valued_["--product-id"] = number(o_.usb.product_id, 0, 0xFFFF);
        valued_["--endpoints"] = number(o_.usb.endpoints, 1, 2);
        valued_["--alt-settings"] = number(o_.usb.alt_settings, 1, 2);
        // Bulk endpoints of a full-speed device carry 8 to 64 bytes, high
        // speed up to 512; allow odd sizes too, they are what tests look for.
        valued_["--in-packet-size"] = number(o_.usb.in_packet_size, 1, 1024);
        valued_["--kernel-driver"] = [this](const std::string &v) {
            static const std::map<std::string, KernelDriver> kModes{{"none", KernelDriver::None},
                                                                    {"detachable",
                                                                     KernelDriver::Detachable},
                                                                    {"stuck", KernelDriver::Stuck}};
            auto mode = kModes.find(v);
            if (mode == kModes.end()) return false;
            o_.kernel_driver = mode->second;
            return true;
        };
        valued_["--claim-busy"] = [this](const std::string &v) {
            if (v == "always") {
                o_.claim_always_busy = true;
                return true;
            }
            const auto count = parse_number(v, std::numeric_limits<unsigned>::max());
            if (!count) return false;
            o_.claim_busy = static_cast<unsigned>(*count);
            return true;
        };
    }

    // "K:NAME[=VALUE]": a knob of printer K only, checked as the option
    // --NAME would be.
    bool add_printer_knob(const std::string &text)
    {
        const std::size_t colon = text.find(':');
        if (colon == std::string::npos) return false;
        const auto printer = parse_number(text.substr(0, colon), 8);
        if (!printer || *printer == 0) return false;
        PrinterKnob knob;
        knob.printer = static_cast<unsigned>(*printer);
        const std::string setting = text.substr(colon + 1);
        const std::size_t equals = setting.find('=');
        knob.name = setting.substr(0, equals);
        if (equals != std::string::npos) knob.value = setting.substr(equals + 1);
        if (!is_printer_knob(knob.name)) return false;
        Options scratch;
        OptionParser check(scratch);
        if (!check.apply("--" + knob.name, knob.value ? &*knob.value : nullptr).empty()) {
            return false;
        }
        o_.printer_knobs.push_back(std::move(knob));
        return true;
    }

public:
    // Options that belong to the whole run rather than to one printer.
    static bool is_printer_knob(const std::string &name)
    {
        static const char *const kRunWide[] = {"log",  "printers", "printer", "tty-name",
                                               "help", "h",        "control"};
        for (const char *option : kRunWide) {
            if (name == option) return false;
        }
        return !name.empty() && name[0] != '-';
    }

private:
    // A plain node name below /dev that names no other simulated node.
    bool set_tty_name(const std::string &name)
    {
        if (name.empty() || name.size() > 32 || name.rfind("lp", 0) == 0) return false;
        for (const char c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return false;
        }
        o_.tty_name = name;
        return true;
    }

    bool parse_split(const std::string &text)
    {
        std::vector<std::size_t> sizes;
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t comma = text.find(',', start);
            const std::string item =
                text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            const auto size = parse_number(item, 0xFFFF);
            if (!size || *size == 0) return false;
            sizes.push_back(*size);
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        o_.split = std::move(sizes);
        return true;
    }

    Options &o_;
    std::map<std::string, std::function<void()>> flags_;
    std::map<std::string, Setter> valued_;
};

}  // namespace

ParsedOptions parse_options(const std::vector<std::string> &args)
{
    ParsedOptions result;
    OptionParser parser(result.options);
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') break;  // COMMAND starts here
        std::string error;
        const std::size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            const std::string value = arg.substr(equals + 1);
            error = parser.apply(arg.substr(0, equals), &value);
        } else if (parser.takes_value(arg)) {
            if (i + 1 >= args.size()) {
                error = "option " + arg + " needs a value";
            } else {
                error = parser.apply(arg, &args[++i]);
            }
        } else {
            error = parser.apply(arg, nullptr);
        }
        if (!error.empty()) {
            result.error = error;
            return result;
        }
    }
    result.options.command.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    for (const PrinterKnob &knob : result.options.printer_knobs) {
        if (knob.printer > result.options.printers) {
            result.error = "--printer " + std::to_string(knob.printer) + ":" + knob.name +
                           ": there are only " + std::to_string(result.options.printers) +
                           " printers";
            break;
        }
    }
    return result;
}

Options options_for_printer(const Options &options, unsigned index)
{
    Options own = options;
    if (index > 0) {
        // Given for the whole run, the replug concerns the first printer.
        own.replug_after_ms.reset();
        if (!own.paper_path.empty()) own.paper_path += "." + std::to_string(index + 1);
    }
    OptionParser parser(own);
    for (const PrinterKnob &knob : options.printer_knobs) {
        if (knob.printer != index + 1) continue;
        parser.apply("--" + knob.name, knob.value ? &*knob.value : nullptr);
    }
    return own;
}

std::string usage_text()
{
    return R"(Usage: Orvy_Simulator [options] [--] [COMMAND [ARG...]]

Presents one simulated Orvy printer at
  /dev/bus/usb/001/011  USB bulk (libusb)
  /dev/usb/lp0          USB printer-class device file
  /dev/ttyS1            serial port
  /dev/orvy/by-serial/<SERIAL>/usb and .../lp   its stable names
runs COMMAND there (default: $SHELL) and exits with its exit status.
The simulator's own failures exit with status 125, and so does a run whose
--log or --paper file lost a line it could not write (said when it happens).

Options (numbers are decimal or 0x-hex):
  --log FILE             transcript: "usb > 1D 61 01", "lp < 1B FF ...", events
  --delay-ms N           answer N ms after the inquiry has arrived
  --silent               never answer
  --split N[,N...]       USB: packet sizes of each answer, the last repeats
  --trickle-ms N         send answers one byte at a time, N ms apart
  --pending HEX          bytes ready to be read at start ("AA BB CC")
  --babble-ms N          send one byte 0x55 every N ms, forever
  --answer-esc N         replace header byte 0 (1B) of every answer
  --answer-marker N      replace header byte 1 (FF)
  --answer-type N        replace header byte 2 (the block type)
  --answer-size N        replace header byte 3 (the record keeps its length)
  --short-answer N       send only the first N bytes of every answer
  --garbage N            send N bytes EE before every answer
  --paper-out            output stopped: host bytes are not taken
  --print-buffer BYTES   receive buffer (default 16384, 0: no limit); when it
                         is full the printer takes nothing more
  --print-rate BYTES_PER_S  how fast the printer prints from it
                         (default 115200, 0: at once)
  --paper-mm N           paper left on the roll (default 80000; 0: the roll
                         is out, bytes wait in the buffer)
  --near-end-mm N        the near-end sensor reports below N mm (default 5000)
  --paper FILE           write the printed receipt to FILE (FILE.2, FILE.3,
                         ... for the other printers)
  --out-partial N        USB: the first OUT transfer takes N bytes, then times out
  --unplug-after-ms N    the printers go away N ms after COMMAND starts
  --printers N           N printers (1 to 8): USB 001/011, 001/012, ...,
                         lp0, lp1, ..., ttyS1, ttyS2, ...; serial numbers
                         K80P1-26-004711, K80P1-26-004712, ...
  --printer K:KNOB[=VALUE]  a knob for printer K only, for example
                         --printer 2:paper-out, --printer 3:delay-ms=400,
                         --printer 2:paper=FILE; any knob but --log,
                         --printers, --tty-name and --control
  --control PATH         make the control FIFO at PATH (default: one in the
                         scratch directory); COMMAND finds it in
                         $ORVY_SIM_CONTROL. One command per line:
                           load K MM     a new roll of MM mm in printer K
                           paper-out K   printer K's roll ends now
                           unplug K      printer K leaves USB
                           plug K        it comes back at the next address
                           silent K      printer K answers no inquiry
                           answer K      it answers again
  --tty-name NAME        the first printer's serial port (default ttyS1),
                         for example ttyUSB0 or ttyACM0
  --replug-after-ms N    N ms after COMMAND starts the first printer (or,
                         as --printer K:replug-after-ms=N, printer K) leaves
                         USB and comes back 500 ms later at the next free
                         address; its stable links follow it
  --no-usb               no USB device (device files remain)
  --vendor-id N          USB vendor id (default the family's)
  --product-id N         USB product id (default 1)
  --kernel-driver MODE   none | detachable | stuck (usblp holds the interface)
  --claim-busy N|always  the first N claims (or all) fail with EBUSY
  --stall                the bulk IN endpoint stalls
  --endpoints 1          the interface has only its bulk IN endpoint
  --alt-settings 2       interface 0 has two alternate settings
  --in-packet-size N     max packet size of bulk IN (default 64)
  -h, --help             this text
)";
}

}  // namespace orvy::sim
