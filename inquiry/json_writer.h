// The one JSON writer of the toolkit: string literals, and objects and arrays
// laid out as each document wants them (on one line, or one member a line).
#pragma once

#include <string>
#include <string_view>

namespace orvy::json {

// Where the members of an object or array go: `open` after the opening
// bracket, `separator` between members, `close` before the closing bracket.
// An empty object or array is "{}" or "[]" whatever the layout.
struct Layout {
    std::string_view open;
    std::string_view separator;
    std::string_view close;
};
inline constexpr Layout kOneLine{"", ", ", ""};

inline constexpr std::string_view kNull = "null";

// Bytes as a string literal, quotes included: every byte that is not
// printable ASCII becomes \u00XX, so the bytes read back as Latin-1 and any
// byte from a printer gives valid JSON.
std::string bytes_string(std::string_view bytes);

// Text that should be UTF-8 (names from the kernel) as a string literal:
// valid UTF-8 passes as it is, control characters and invalid bytes become
// \u00XX.
std::string text_string(std::string_view text);

std::string number(long long value);
inline std::string boolean(bool value) { return value ? "true" : "false"; }

class Object {
public:
    explicit Object(Layout layout = kOneLine) : layout_(layout) {}
    // `value` is JSON already.
    Object &add(std::string_view key, std::string_view value);
    std::string text() const;

private:
    Layout layout_;
    std::string members_;
};

class Array {
public:
    explicit Array(Layout layout = kOneLine) : layout_(layout) {}
    Array &add(std::string_view value);
    bool empty() const { return members_.empty(); }
    std::string text() const;

private:
    Layout layout_;
    std::string members_;
};

}  // namespace orvy::json
