#include "listing_output.h"

#include <cstdio>

namespace orvy::list {
namespace {

std::string json_string(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string json_string_or_null(const std::string &text)
{
    return text.empty() ? "null" : json_string(text);
}

std::string node_lines(const char *label, const std::string &node, const NodeAccess &access)
{
    char line[512];
    if (node.empty()) {
        std::snprintf(line, sizeof line, "  %-11s (none: the usblp driver is not bound)\n", label);
        return line;
    }
    std::snprintf(line, sizeof line, "  %-11s %s  (read/write: %s)\n", label, node.c_str(),
                  access.granted ? "yes" : "no");
    std::string text = line;
    if (!access.granted) text += "    why:  " + access.why + "\n    fix:  " + access.fix + "\n";
    return text;
}

std::string stable_line(const char *label, const std::string &link)
{
    char line[512];
    std::snprintf(line, sizeof line, "  %-11s %s\n", label,
                  link.empty() ? "(none: is the udev rule installed?)" : link.c_str());
    return line;
}

std::string info_line(const char *label, const std::string &value)
{
    char line[512];
    std::snprintf(line, sizeof line, "  %-11s %s\n", label,
                  value.empty() ? "(unknown)" : value.c_str());
    return line;
}

std::string trimmed_join(const std::string &make, const std::string &model)
{
    if (make.empty() || model.rfind(make + " ", 0) == 0) return model;
    return model.empty() ? make : make + " " + model;
}

}  // namespace

std::string listing_text(const std::vector<ListedPrinter> &printers)
{
    std::string text;
    for (const ListedPrinter &p : printers) {
        char head[256];
        std::snprintf(head, sizeof head, "%sPrinter %s (product id %u)\n", text.empty() ? "" : "\n",
                      p.serial.empty() ? "(no serial number)" : p.serial.c_str(), p.product_id);
        text += head;
        text += info_line("make/model:", trimmed_join(p.make, p.model));
        text += node_lines("USB:", p.usb_port, p.usb_access);
        text += node_lines("usblp:", p.lp_port, p.lp_access);
        text += stable_line("stable USB:", p.stable_usb_port);
        if (!p.lp_port.empty()) text += stable_line("stable lp:", p.stable_lp_port);
        text += info_line("CUPS URI:", p.cups_uri);
    }
    return text;
}

std::string listing_json(const std::vector<ListedPrinter> &printers)
{
    std::string json = "[";
    for (const ListedPrinter &p : printers) {
        if (json.size() > 1) json += ",";
        json += "\n  {\"serial\": " + json_string_or_null(p.serial) +
                ", \"product_id\": " + std::to_string(p.product_id) +
                ", \"usb_port\": " + json_string_or_null(p.usb_port) +
                ", \"lp_port\": " + json_string_or_null(p.lp_port) +
                ", \"stable_usb_port\": " + json_string_or_null(p.stable_usb_port) +
                ", \"stable_lp_port\": " + json_string_or_null(p.stable_lp_port) +
                ", \"usb_access\": " + (p.usb_access.granted ? "true" : "false") +
                ", \"usb_access_problem\": " + json_string_or_null(p.usb_access.why) +
                ", \"usb_access_fix\": " + json_string_or_null(p.usb_access.fix) +
                ", \"lp_access\": " + (p.lp_access.granted ? "true" : "false") +
                ", \"lp_access_problem\": " + json_string_or_null(p.lp_access.why) +
                ", \"lp_access_fix\": " + json_string_or_null(p.lp_access.fix) +
                ", \"make\": " + json_string_or_null(p.make) +
                ", \"model\": " + json_string_or_null(p.model) +
                ", \"cups_uri\": " + json_string_or_null(p.cups_uri) + "}";
    }
    return json + (printers.empty() ? "]\n" : "\n]\n");
}

}  // namespace orvy::list
