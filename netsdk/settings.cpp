#include "netsdk/settings.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "netsdk/net/socket_io.h"

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

bool ApplyKey(std::string_view key, std::string_view value, Settings& s) {
    int number = 0;
    if (key == "discovery_port") {
        if (!ParseInt(value, 1, 65535, number)) return false;
        s.discoveryPort = static_cast<std::uint16_t>(number);
        return true;
    }
    if (key == "targets") return ParseTargets(value, s);
    if (key == "bind_address") return ParseAddress(value, s.bindAddress);
    if (key == "user" || key == "password") {
        const std::size_t limit = key == "user" ? 31 : 15;
        if (value.size() > limit || value.find('\0') != std::string_view::npos) return false;
        (key == "user" ? s.user : s.password) = std::string(value);
        return true;
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
        {"connect_timeout_ms", 10, 600000, &Settings::connectTimeoutMs},
        {"io_timeout_ms", 10, 600000, &Settings::ioTimeoutMs},
        {"modify_timeout_ms", 50, 600000, &Settings::modifyTimeoutMs},
    };
    for (const IntKey& entry : kIntKeys) {
        if (key == entry.name) {
            if (!ParseInt(value, entry.low, entry.high, number)) return false;
            s.*entry.field = number;
            return true;
        }
    }
    return false;
}

// A '#' after white space starts a comment that runs to the end of the
// line, so a value may be followed by one; a '#' inside a value stays.
std::string_view StripComment(std::string_view line) {
    for (std::size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '#' && (line[i - 1] == ' ' || line[i - 1] == '\t')) return line.substr(0, i);
    }
    return line;
}

}  // namespace

bool ParseSettings(std::string_view text, Settings& settings, std::string& error) {
    Settings result = settings;
    int lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const auto line = Trim(StripComment(text.substr(pos, end - pos)));
        pos = end + 1;
        ++lineNumber;
        if (line.empty() || line.front() == '#') continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos ||
            !ApplyKey(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), result)) {
            error = "line " + std::to_string(lineNumber) + ": cannot use \"" + std::string(line) + "\"";
            return false;
        }
    }
    settings = std::move(result);
    return true;
}

Settings LoadSettingsFromEnvironment(std::string& error) {
    Settings settings;
    const char* path = std::getenv(kSettingsVariable);
    if (path == nullptr || *path == '\0') return settings;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    if (in) content << in.rdbuf();
    std::string parseError;
    if (!in || !ParseSettings(content.str(), settings, parseError)) {
        error = std::string(path) + ": " + (in ? parseError : "cannot be read");
        Settings closed;
        closed.autoTargets = false;
        closed.targets.clear();
        return closed;
    }
    return settings;
}

}  // namespace netsdk
