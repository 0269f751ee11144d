#include "cli/cli_options.h"

#include <cctype>
#include <cstddef>
#include <iterator>
#include <map>

#include "discovery/device_class.h"

namespace {

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Splits "--name=value" and "--name value" forms; `i` moves past what it took.
bool TakeOption(const std::vector<std::string>& args, std::size_t& i, std::string& name, std::string& value,
                bool wantsValue, std::string& error) {
    name = args[i];
    const std::size_t equals = name.find('=');
    if (equals != std::string::npos) {
        value = name.substr(equals + 1);
        name.resize(equals);
        if (!wantsValue) {
            error = "option " + name + " takes no value";
            return false;
        }
        return true;
    }
    if (!wantsValue) return true;
    if (i + 1 >= args.size()) {
        error = "option " + name + " needs a value";
        return false;
    }
    value = args[++i];
    return true;
}

bool ParseClasses(const std::string& list, std::array<bool, 4>& classes, std::string& error) {
    classes.fill(false);
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.find(',', start);
        const std::string name = Upper(list.substr(start, comma == std::string::npos ? comma : comma - start));
        std::size_t k = 0;
        while (k < std::size(kDeviceClasses) && name != kDeviceClasses[k].name) ++k;
        if (k == std::size(kDeviceClasses)) {
            error = "unknown device class \"" + name + "\" (use NVR, DVR, IPC, DEC)";
            return false;
        }
        classes[k] = true;
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

bool ParseFormat(const std::string& text, OutputFormat& format, std::string& error) {
    static const std::map<std::string, OutputFormat> kFormats = {
        {"table", OutputFormat::kTable}, {"json", OutputFormat::kJson}, {"csv", OutputFormat::kCsv}};
    const auto it = kFormats.find(text);
    if (it == kFormats.end()) {
        error = "unknown format \"" + text + "\" (use table, json, csv)";
        return false;
    }
    format = it->second;
    return true;
}

bool ParseDiscover(const std::vector<std::string>& args, std::size_t i, CliOptions& options, std::string& error) {
    DiscoverOptions& d = options.discover;
    for (; i < args.size(); ++i) {
        std::string name, value;
        const bool flag = args[i].substr(0, args[i].find('=')) == "--no-camera-models";
        if (!TakeOption(args, i, name, value, !flag, error)) return false;
        if (name == "--class") {
            if (!ParseClasses(value, d.classes, error)) return false;
        } else if (name == "--format") {
            if (!ParseFormat(value, d.format, error)) return false;
        } else if (flag) {
            d.cameraModels = false;
        } else {
            error = "unknown option " + name + " for discover";
            return false;
        }
    }
    return true;
}

bool ParseModify(const std::vector<std::string>& args, std::size_t i, CliOptions& options, std::string& error) {
    ModifyOptions& m = options.modify;
    std::string mac;
    const std::map<std::string, std::string*> kTexts = {
        {"--sn", &m.serial}, {"--mac", &mac}, {"--ip", &m.address}, {"--mask", &m.netmask}, {"--gw", &m.gateway}};
    std::map<std::string, bool> seen;
    for (; i < args.size(); ++i) {
        std::string name, value;
        if (!TakeOption(args, i, name, value, true, error)) return false;
        const auto it = kTexts.find(name);
        if (it == kTexts.end()) {
            error = "unknown option " + name + " for modify";
            return false;
        }
        *it->second = value;
        seen[name] = true;
    }
    for (const auto& [name, text] : kTexts) {
        if (!seen[name]) {
            error = "modify needs " + name;
            return false;
        }
    }
    if (m.serial.empty()) {
        error = "--sn is empty";
        return false;
    }
    if (!ParseMac(mac, m.mac)) {
        error = "--mac \"" + mac + "\" is not a MAC address like 02:54:57:00:01:01";
        return false;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ParseMac(const std::string& text, std::uint8_t (&mac)[6]) {
    if (text.size() != 17) return false;
    for (std::size_t k = 0; k < 6; ++k) {
        const std::size_t at = k * 3;
        const int high = HexDigit(text[at]);
        const int low = HexDigit(text[at + 1]);
        if (high < 0 || low < 0 || (k < 5 && text[at + 2] != ':')) return false;
        mac[k] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

bool ParseCommandLine(const std::vector<std::string>& args, CliOptions& options, std::string& error) {
    if (args.empty()) {
        error = "no command given";
        return false;
    }
    for (const std::string& arg : args) {
        if (IsHelp(arg)) {
            options.command = CliCommand::kHelp;
            return true;
        }
        if (arg == "--version") {
            options.command = CliCommand::kVersion;
            return true;
        }
    }
    if (args[0] == "discover") {
        options.command = CliCommand::kDiscover;
        return ParseDiscover(args, 1, options, error);
    }
    if (args[0] == "modify") {
        options.command = CliCommand::kModify;
        return ParseModify(args, 1, options, error);
    }
    error = "unknown command \"" + args[0] + "\"";
    return false;
}
