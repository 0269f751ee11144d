#include "netsdk/settings.h"

#include <charconv>
#include <cstdlib>

#include "netsdk/net/socket_io.h"
#include "netsdk/settings_file.h"

namespace netsdk {
namespace {

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool ParseInt(std::string_view text, int low, int high, int& out) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return false;
    }
    out = value;
    return true;
}

bool ParseAddress(std::string_view text, std::uint32_t& out) {
    if (text.size() > 15) return false;
    const std::string copy(text);
    return net::ParseIPv4(copy.c_str(), out);
}

// "a.b.c.d" or "a.b.c.d:port".
bool ParseTarget(std::string_view text, Target& target) {
    const auto colon = text.find(':');
    int port = 0;
    if (colon != std::string_view::npos && !ParseInt(text.substr(colon + 1), 1, 65535, port)) {
        return false;
    }
    if (!ParseAddress(text.substr(0, colon), target.address)) return false;
    target.port = static_cast<std::uint16_t>(port);
    return true;
}

bool ParseTargets(std::string_view text, Settings& settings) {
    if (text == "auto") {
        settings.autoTargets = true;
        settings.targets.clear();
        return true;
    }
    std::vector<Target> targets;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        auto end = text.find_first_of(", ", pos);
        if (end == std::string_view::npos) end = text.size();
        const auto item = Trim(text.substr(pos, end - pos));
        if (!item.empty()) {
            Target target;
            if (!ParseTarget(item, target)) return false;
            targets.push_back(target);
        }
        pos = end + 1;
    }
    if (targets.empty()) return false;
    settings.autoTargets = false;
    settings.targets = std::move(targets);
    return true;
}

enum class KeyResult { kApplied, kUnknownKey, kBadValue };

bool ApplyText(std::string_view key, std::string_view value, Settings& s) {
    if (key == "targets") return ParseTargets(value, s);
    if (key == "bind_address") return ParseAddress(value, s.bindAddress);
    const std::size_t limit = key == "user" ? 31 : 15;
    if (value.size() > limit || value.find('\0') != std::string_view::npos) return false;
    (key == "user" ? s.user : s.password) = std::string(value);
    return true;
}

KeyResult ApplyKey(std::string_view key, std::string_view value, Settings& s) {
    if (key == "targets" || key == "bind_address" || key == "user" || key == "password") {
        return ApplyText(key, value, s) ? KeyResult::kApplied : KeyResult::kBadValue;
    }
    if (key == "discovery_port" || key == "onvif_port") {
        int port = 0;
        if (!ParseInt(value, 1, 65535, port)) return KeyResult::kBadValue;
        (key == "onvif_port" ? s.onvifPort : s.discoveryPort) = static_cast<std::uint16_t>(port);
        return KeyResult::kApplied;
    }
    if (key == "onvif") {
        if (value != "on" && value != "off") return KeyResult::kBadValue;
        s.onvif = value == "on";
        return KeyResult::kApplied;
    }
    struct IntKey {
        std::string_view name;
        int low;
        int high;
        int Settings::*field;
    };
    static const IntKey kIntKeys[] = {
        {"window_ms", 50, 600000, &Settings::windowMs},
        {"probe_repeats", 1, 20, &Settings::probeRepeats},
        {"receive_buffer_bytes", 65536, 256 * 1024 * 1024, &Settings::receiveBufferBytes},
        {"source_burst", 1, 65536, &Settings::sourceBurst},
        {"source_rate", 0, 1000000, &Settings::sourceRate},
        {"connect_timeout_ms", 10, 600000, &Settings::connectTimeoutMs},
        {"io_timeout_ms", 10, 600000, &Settings::ioTimeoutMs},
        {"modify_timeout_ms", 50, 600000, &Settings::modifyTimeoutMs},
    };
    for (const IntKey& entry : kIntKeys) {
        if (key == entry.name) {
            return ParseInt(value, entry.low, entry.high, s.*entry.field) ? KeyResult::kApplied
                                                                           : KeyResult::kBadValue;
        }
    }
    return KeyResult::kUnknownKey;
}

// A '#' after white space starts a comment that runs to the end of the
// line, so a value may be followed by one; a '#' inside a value stays.
std::string_view StripComment(std::string_view line) {
    for (std::size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '#' && (line[i - 1] == ' ' || line[i - 1] == '\t')) return line.substr(0, i);
    }
    return line;
}

// Reads the lines over `settings`. Messages name the line and, for a bad
// value, the key (one of ours), never the line's text: it may hold a password.
bool ParseLines(std::string_view text, Settings& settings, std::string& error, bool& namedTargets) {
    Settings result = settings;
    namedTargets = false;
    int lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const auto line = Trim(StripComment(text.substr(pos, end - pos)));
        pos = end + 1;
        ++lineNumber;
        if (line.empty() || line.front() == '#') continue;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            error = where + "not a \"key = value\" line";
            return false;
        }
        const std::string_view key = Trim(line.substr(0, equals));
        switch (ApplyKey(key, Trim(line.substr(equals + 1)), result)) {
            case KeyResult::kApplied: break;
            case KeyResult::kUnknownKey: error = where + "unknown key"; return false;
            case KeyResult::kBadValue: error = where + "bad value for " + std::string(key); return false;
        }
        namedTargets = namedTargets || key == "targets";
    }
    settings = std::move(result);
    return true;
}

}  // namespace

bool ParseSettings(std::string_view text, Settings& settings, std::string& error) {
    bool namedTargets = false;
    return ParseLines(text, settings, error, namedTargets);
}

bool LoadSettingsFile(const char* path, Settings& settings, std::string& error) {
    std::string text;
    std::string why;
    Settings result = settings;
    bool namedTargets = false;
    if (!ReadSettingsFile(path, text, why) || !ParseLines(text, result, why, namedTargets)) {
        error = std::string(path) + ": " + why;
        return false;
    }
    // A file that is named must say where to probe.
    if (!namedTargets) {
        error = std::string(path) + ": names no targets";
        return false;
    }
    settings = std::move(result);
    return true;
}

Settings LoadSettingsFromEnvironment(std::string& error) {
    Settings settings;
    const char* path = std::getenv(kSettingsVariable);
    if (path == nullptr || *path == '\0') return settings;
    if (!LoadSettingsFile(path, settings, error)) {
        Settings closed;
        closed.autoTargets = false;
        closed.targets.clear();
        return closed;
    }
    return settings;
}

}  // namespace netsdk
