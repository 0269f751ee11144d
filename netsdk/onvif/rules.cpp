#include "netsdk/onvif/rules.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "netsdk/onvif/namespaces.h"
#include "sdk/device_record.h"

namespace onvif {
namespace {

constexpr std::size_t kModelField = sizeof(DeviceRecord::model) - 1;
constexpr std::string_view kClasses[] = {"NVR", "DVR", "IPC", "DEC"};

bool ContainsNoCase(std::string_view text, std::string_view word) {
    const auto match = std::search(text.begin(), text.end(), word.begin(), word.end(), [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
    });
    return match != text.end();
}

bool HasType(std::span<const QName> types, std::string_view local) {
    return std::any_of(types.begin(), types.end(),
                       [&](const QName& type) { return type.ns == ns::kNetwork && type.local == local; });
}

bool HasService(std::span<const Service> services, std::string_view uri) {
    return std::any_of(services.begin(), services.end(), [&](const Service& s) { return s.ns == uri; });
}

bool MentionsDvr(const ClassEvidence& evidence) {
    for (const std::string_view word : {"DVR", "XVR", "HVR"}) {
        if (ContainsNoCase(evidence.model, word)) return true;
        for (const std::string& scope : evidence.scopes) {
            if (ContainsNoCase(scope, word)) return true;
        }
    }
    return false;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The run of digits at pos; empty if there is none.
std::string_view Digits(std::string_view text, std::size_t pos) {
    std::size_t end = pos;
    while (end < text.size() && IsDigit(text[end])) ++end;
    return text.substr(pos, end - pos);
}

// A decimal number no greater than max; false for empty or larger runs.
bool Number(std::string_view digits, unsigned max, unsigned& value) {
    if (digits.empty() || digits.size() > 5) return false;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc{} && end == digits.data() + digits.size() && value <= max;
}


}  // namespace

std::string PrefixToNetmask(int prefixLength) {
    if (prefixLength < 0 || prefixLength > 32) return {};
    const std::uint32_t mask = prefixLength == 0 ? 0 : ~std::uint32_t{0} << (32 - prefixLength);
    return std::to_string(mask >> 24) + '.' + std::to_string((mask >> 16) & 0xFF) + '.' +
           std::to_string((mask >> 8) & 0xFF) + '.' + std::to_string(mask & 0xFF);
}

int NetmaskToPrefix(std::string_view netmask) {
    std::uint32_t mask = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (pos >= netmask.size() || netmask[pos++] != '.')) return -1;
        const std::string_view digits = Digits(netmask, pos);
        unsigned value = 0;
        if (digits.size() > 3 || !Number(digits, 255, value)) return -1;
        mask = (mask << 8) | value;
        pos += digits.size();
    }
    if (pos != netmask.size()) return -1;
    const std::uint32_t inverted = ~mask;
    if ((inverted & (inverted + 1)) != 0) return -1;  // ones not contiguous from the top
    int prefix = 0;
    while (prefix < 32 && (mask & (0x80000000u >> prefix)) != 0) ++prefix;
    return prefix;
}

std::uint32_t FirmwareVersion(std::string_view firmware) {
    for (std::size_t start = 0; start < firmware.size(); ++start) {
        if (!IsDigit(firmware[start]) || (start > 0 && IsDigit(firmware[start - 1]))) continue;
        const std::string_view majorText = Digits(firmware, start);
        const std::size_t dot = start + majorText.size();
        if (dot + 1 >= firmware.size() || firmware[dot] != '.' || !IsDigit(firmware[dot + 1])) continue;
        unsigned major = 0;
        unsigned minor = 0;
        if (!Number(majorText, 0xFFFF, major) || !Number(Digits(firmware, dot + 1), 0xFFFF, minor)) return 0;
        return MakeVersion(major, minor);
    }
    return 0;
}

bool ParseMac(std::string_view text, std::array<std::uint8_t, 6>& mac) {
    if (text.size() != 17) return false;
    for (std::size_t i = 0; i < 6; ++i) {
        if (i > 0 && text[3 * i - 1] != ':' && text[3 * i - 1] != '-') return false;
        const char* begin = text.data() + 3 * i;
        unsigned value = 0;
        const auto [end, error] = std::from_chars(begin, begin + 2, value, 16);
        if (error != std::errc{} || end != begin + 2) return false;
        mac[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

std::string DeviceClass(const ClassEvidence& evidence) {
    for (const std::string_view name : kClasses) {
        if (evidence.model.starts_with(name)) return std::string(name);
    }
    if (HasType(evidence.types, "NetworkVideoDisplay") || HasService(evidence.services, ns::kDisplay)) return "DEC";
    if (HasType(evidence.types, "NetworkVideoStorage") ||
        (HasService(evidence.services, ns::kRecording) && HasService(evidence.services, ns::kReceiver))) {
        return "NVR";
    }
    if (MentionsDvr(evidence)) return "DVR";
    return "IPC";
}

std::string RecordModel(const ClassEvidence& evidence) {
    const std::string deviceClass = DeviceClass(evidence);
    std::string model = evidence.model.starts_with(deviceClass) ? std::string(evidence.model)
                                                                 : deviceClass + "-" + std::string(evidence.model);
    if (model.size() > kModelField) model.resize(kModelField);
    return model;
}

}  // namespace onvif
