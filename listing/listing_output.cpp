#include "listing_output.h"

#include <cstdio>

#include "json_writer.h"

namespace orvy::list {
namespace {

std::string json_string_or_null(const std::string &text)
{
    return text.empty() ? std::string(json::kNull) : json::text_string(text);
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
    json::Array list(json::Layout{"\n  ", ",\n  ", "\n"});
    for (const ListedPrinter &p : printers) {
        list.add(json::Object()
                     .add("serial", json_string_or_null(p.serial))
                     .add("product_id", json::number(p.product_id))
                     .add("usb_port", json_string_or_null(p.usb_port))
                     .add("lp_port", json_string_or_null(p.lp_port))
                     .add("stable_usb_port", json_string_or_null(p.stable_usb_port))
                     .add("stable_lp_port", json_string_or_null(p.stable_lp_port))
                     .add("usb_access", json::boolean(p.usb_access.granted))
                     .add("usb_access_problem", json_string_or_null(p.usb_access.why))
                     .add("usb_access_fix", json_string_or_null(p.usb_access.fix))
                     .add("lp_access", json::boolean(p.lp_access.granted))
                     .add("lp_access_problem", json_string_or_null(p.lp_access.why))
                     .add("lp_access_fix", json_string_or_null(p.lp_access.fix))
                     .add("make", json_string_or_null(p.make))
                     .add("model", json_string_or_null(p.model))
                     .add("cups_uri", json_string_or_null(p.cups_uri))
                     .text());
    }
    return list.text() + "\n";
}

}  // namespace orvy::list
