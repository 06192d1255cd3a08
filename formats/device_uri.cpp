#include "formats/device_uri.h"

#include <algorithm>
#include <charconv>
#include <tuple>

namespace nx {

namespace {

std::optional<int> integer(std::string_view text) {
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

// A value with every byte but letters, digits, "-._~/" written as %XX.
std::string percentEncoded(std::string_view text) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~' || c == '/') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        int v = 0;
        if (i + 2 >= text.size()) return std::nullopt;
        const auto [end, ec] = std::from_chars(text.data() + i + 1, text.data() + i + 3, v, 16);
        if (ec != std::errc() || end != text.data() + i + 3) return std::nullopt;
        out += static_cast<char>(v);
        i += 2;
    }
    return out;
}

}  // namespace

bool isQueueName(std::string_view name) {
    if (name.empty() || name.size() > 127) return false;
    for (unsigned char c : name)
        if (c <= ' ' || c == 127 || c == '/' || c == '\\' || c == '?' || c == '\'' || c == '"' || c == '#' ||
            c == '&' || c == '=')
            return false;
    return true;
}

std::optional<QueueDevice> parseDeviceUri(std::string_view uri, std::string& why) {
    const std::string prefix = std::string(kDeviceScheme) + ":/";
    if (uri.substr(0, prefix.size()) != prefix) {
        why = "the device is not " + prefix + "TARGET: " + std::string(uri);
        return std::nullopt;
    }
    uri.remove_prefix(prefix.size());
    while (!uri.empty() && uri.front() == '/') uri.remove_prefix(1);  // norvexa://TARGET too
    const std::size_t question = uri.find('?');
    QueueDevice d;
    d.target = std::string(uri.substr(0, question));
    if (!isQueueName(d.target)) {
        why = "no target queue in the device: " + std::string(uri);
        return std::nullopt;
    }
    std::string_view keys = question == std::string_view::npos ? std::string_view() : uri.substr(question + 1);
    while (!keys.empty()) {
        const std::size_t amp = keys.find('&');
        const std::string_view pair = keys.substr(0, amp);
        keys = amp == std::string_view::npos ? std::string_view() : keys.substr(amp + 1);
        if (pair.empty()) continue;
        const std::size_t eq = pair.find('=');
        const std::string_view key = pair.substr(0, eq);
        const std::string_view value = eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
        bool ok = true;
        if (key == "tipus") {
            const auto pins = integer(value);
            ok = pins && (*pins == 9 || *pins == 24);
            if (ok) d.keys.pins = *pins;
        } else if (key == "kodlap") {
            const auto page = integer(value);
            ok = page && isJobCodePage(*page);
            if (ok) d.keys.codePage = *page;
        } else if (key == "papir") {
            const auto paper = paperNamed(value);
            ok = paper.has_value();
            if (ok) d.keys.paper = paperName(*paper);
        } else if (key == "hatter") {
            const auto text = percentDecoded(value);
            const auto files = text ? parseBackgrounds(*text) : std::nullopt;
            // Host paths: the scheduler's backend has no drive C.
            ok = files && !files->empty() &&
                 std::all_of(files->begin(), files->end(), [](const std::string& f) { return f.front() == '/'; });
            if (ok) d.keys.backgrounds = *files;
        } else if (key == "eltolas") {
            const auto offset = parseOffset(value);
            ok = offset.has_value();
            if (ok) std::tie(d.keys.offsetX, d.keys.offsetY) = *offset;
        } else if (key == "forma") {
            ok = value == "escp" || value == "sor";
            d.lineFormat = value == "sor";
        } else {
            why = "unknown key in the device: " + std::string(key);
            return std::nullopt;
        }
        if (!ok) {
            why = "bad value in the device: " + std::string(pair);
            return std::nullopt;
        }
    }
    return d;
}

std::string deviceUri(const QueueDevice& d) {
    return std::string(kDeviceScheme) + ":/" + d.target + "?forma=" + (d.lineFormat ? "sor" : "escp") +
           "&tipus=" + std::to_string(d.keys.pins) + "&kodlap=" + std::to_string(d.keys.codePage) +
           "&papir=" + d.keys.paper + "&eltolas=" + formatOffset(d.keys.offsetX, d.keys.offsetY) +
           (d.keys.backgrounds.empty() ? std::string() : "&hatter=" + percentEncoded(formatBackgrounds(d.keys.backgrounds)));
}

JobOrigin originOf(const QueueDevice& d, const std::string& convertInto) {
    if (d.lineFormat) return {std::nullopt, convertInto};
    return {d.keys, {}};
}

}  // namespace nx
