// Text to integer: the whole input is the text of a settings box.
//
// Checks that parseInteger and textToInteger agree, that the conversion error
// quotes the text, that the decimal and hexadecimal renderings of a parsed value
// read back as the value, and that a short run of decimal digits always parses.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "fuzz/fuzz_support.h"
#include "intake/intconv.h"

namespace {

using nx::fuzz::expect;

std::string hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", v);
    return buf;
}

void roundTrip(const std::string& text, std::int32_t value) {
    auto back = nx::parseInteger(text);
    expect(back.has_value() && *back == value, "rendering does not read back", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const std::optional<std::int32_t> parsed = nx::parseInteger(text);
    try {
        const std::int32_t value = nx::textToInteger(text);
        expect(parsed.has_value() && *parsed == value, "textToInteger and parseInteger differ",
               text);
    } catch (const nx::ConvertError& e) {
        expect(!parsed.has_value(), "textToInteger raised for a parsed text", text);
        // what() is a C string: a NUL in the text ends the message there.
        const std::string message = "'" + text + "' is not a valid integer value";
        expect(std::string(e.what()) == message.substr(0, message.find('\0')),
               "conversion message", e.what());
    }

    // Up to nine decimal digits always fit.
    bool digitsOnly = size > 0 && size <= 9;
    for (char c : text) digitsOnly = digitsOnly && c >= '0' && c <= '9';
    if (digitsOnly) {
        expect(parsed.has_value() && *parsed == std::stoi(text), "plain digits", text);
    }

    if (parsed) {
        const std::int32_t v = *parsed;
        roundTrip(std::to_string(v), v);
        roundTrip("  " + std::to_string(v), v);
        if (v >= 0) {
            roundTrip("+" + std::to_string(v), v);
            roundTrip("$" + hex(static_cast<std::uint32_t>(v)), v);
            roundTrip("0x" + hex(static_cast<std::uint32_t>(v)), v);
        } else {
            const std::uint32_t magnitude = 0u - static_cast<std::uint32_t>(v);
            roundTrip("-$" + hex(magnitude), v);
        }
        // Characters after the number make it invalid.
        expect(!nx::parseInteger(std::to_string(v) + "x").has_value(), "trailing text accepted",
               text);
    }
    return 0;
}
