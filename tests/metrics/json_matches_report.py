"""Checks an Orvy_InquiryTool -j document against the -s -v report of the
same answers: every record's hex line and every field's printed value."""
import json
import sys


def printed(value):
    """The ways the verbose report may print the field: a number as it is,
    a string as text or as hex, a list as six texts or as grouped hex."""
    if isinstance(value, int):
        return [str(value)]
    if isinstance(value, list):
        return [" ".join('"' + v + '"' for v in value) + " ", " ".join("[" + v + "]" for v in value)]
    return ['"' + value + '"', "[" + value + "]"]


def main(document_path, report_path):
    document = json.load(open(document_path))
    lines = {}
    for line in open(report_path).read().splitlines():
        if len(line) > 53 and line[50:53] == " = ":
            lines[line[:50].rstrip()] = line[53:]
    errors = []
    received = [r for r in document["records"] if r["ok"]]
    if len(received) != 6:
        errors.append("expected six records, got %d" % len(received))
    fields = 0
    for record in received:
        hex_line = lines.get(record["name"])
        if hex_line != "%d[%s]" % (record["code"], record["hex"]):
            errors.append("%s: hex line %r" % (record["name"], hex_line))
        for name, value in record["fields"].items():
            fields += 1
            shown = lines.get(name)
            if shown not in printed(value):
                errors.append("%s: document %r, report %r" % (name, value, shown))
    if fields != 53:
        errors.append("expected 53 fields, got %d" % fields)
    for error in errors:
        print(error)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
