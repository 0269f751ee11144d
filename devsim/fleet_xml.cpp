#include "devsim/fleet_xml.h"

#include <tinyxml.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <span>
#include <cstdio>
#include <cstring>
#include <vector>

#include "config/xml_file.h"
#include "record/atomic_file.h"

namespace devsim {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string HexText(std::span<const std::uint8_t> bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    return text;
}

class AttributeReader {
public:
    explicit AttributeReader(const TiXmlElement& element) : element_(element) {}

    template <std::size_t N>
    void Text(const char* name, char (&field)[N], bool required = false) {
        const char* value = element_.Attribute(name);
        if (value == nullptr) {
            if (required) Fail(std::string("missing ") + name);
            return;
        }
        if (std::strlen(value) >= N) return Fail(std::string(name) + " too long");
        std::memset(field, 0, N);
        std::memcpy(field, value, std::strlen(value));
    }

    void Required(const char* name, const char* why) {
        if (element_.Attribute(name) == nullptr) Fail(std::string("missing ") + name + " (" + why + ")");
    }

    void String(const char* name, std::string& out) {
        if (const char* value = element_.Attribute(name)) out = value;
    }

    template <typename Int>
    void Number(const char* name, Int& out, long long low, long long high) {
        const char* value = element_.Attribute(name);
        if (value == nullptr) return;
        long long parsed = 0;
        if (!ParseNumber(value, parsed) || parsed < low || parsed > high) {
            return Fail(std::string(name) + " out of range");
        }
        out = static_cast<Int>(parsed);
    }

    void Flag(const char* name, bool& out) {
        const char* value = element_.Attribute(name);
        if (value == nullptr) return;
        if (std::strcmp(value, "1") == 0 || std::strcmp(value, "true") == 0) {
            out = true;
        } else if (std::strcmp(value, "0") == 0 || std::strcmp(value, "false") == 0) {
            out = false;
        } else {
            Fail(std::string(name) + " is not a flag");
        }
    }

    // Exactly 2*N hex digits.
    template <std::size_t N>
    void Hex(const char* name, std::array<std::uint8_t, N>& out) {
        const char* value = element_.Attribute(name);
        if (value == nullptr) return Fail(std::string("missing ") + name);
        if (std::strlen(value) != 2 * N) return Fail(std::string(name) + " is not " + std::to_string(N) + " bytes of hex");
        for (std::size_t i = 0; i < N; ++i) {
            const int high = HexDigit(value[2 * i]);
            const int low = HexDigit(value[2 * i + 1]);
            if (high < 0 || low < 0) return Fail(std::string(name) + " is not hex");
            out[i] = static_cast<std::uint8_t>(high << 4 | low);
        }
    }

    void Mac(const char* name, std::uint8_t (&mac)[6]) {
        const char* value = element_.Attribute(name);
        if (value == nullptr) return;
        unsigned parts[6] = {};
        char tail = 0;
        if (std::strlen(value) != 17 ||
            std::sscanf(value, "%2x:%2x:%2x:%2x:%2x:%2x%c", &parts[0], &parts[1], &parts[2], &parts[3],
                        &parts[4], &parts[5], &tail) != 6) {
            return Fail(std::string(name) + " is not a MAC address");
        }
        for (int i = 0; i < 6; ++i) mac[i] = static_cast<std::uint8_t>(parts[i]);
    }

    // The same MAC form as text, lowercase, for an ONVIF interface.
    void MacText(const char* name, std::string& out) {
        std::uint8_t mac[6] = {};
        if (element_.Attribute(name) == nullptr) return;
        Mac(name, mac);
        char text[18];
        std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                      mac[5]);
        out = text;
    }

    // Comma-separated texts, none empty.
    void List(const char* name, std::vector<std::string>& out) {
        const char* value = element_.Attribute(name);
        if (value == nullptr) return;
        out.clear();
        std::string_view rest(value);
        while (!rest.empty()) {
            const std::size_t comma = rest.find(',');
            const std::string_view item = rest.substr(0, comma);
            if (item.empty()) return Fail(std::string(name) + " has an empty entry");
            out.emplace_back(item);
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
            if (rest.empty()) return Fail(std::string(name) + " has an empty entry");
        }
    }

    template <std::size_t N>
    void Choice(const char* name, const char* const (&choices)[N], int& out) {
        const char* value = element_.Attribute(name);
        if (value == nullptr) return;
        for (std::size_t i = 0; i < N; ++i) {
            if (std::strcmp(value, choices[i]) == 0) {
                out = static_cast<int>(i);
                return;
            }
        }
        std::string known;
        for (const char* choice : choices) known += (known.empty() ? "" : "|") + std::string(choice);
        Fail(std::string(name) + " is not " + known);
    }

    // "major.minor" and "YYYY-MM-DD".
    void Version(const char* name, std::uint32_t& out) {
        const char* value = element_.Attribute(name);
        if (value == nullptr) return;
        unsigned major = 0, minor = 0;
        char tail = 0;
        if (std::sscanf(value, "%5u.%5u%c", &major, &minor, &tail) != 2 || major > 65535 || minor > 65535) {
            return Fail(std::string(name) + " is not major.minor");
        }
        out = MakeVersion(major, minor);
    }

    void Date(const char* name, std::uint32_t& out) {
        const char* value = element_.Attribute(name);
        if (value == nullptr) return;
        unsigned year = 0, month = 0, day = 0;
        char tail = 0;
        if (std::sscanf(value, "%5u-%3u-%3u%c", &year, &month, &day, &tail) != 3 || year > 65535 ||
            month > 255 || day > 255) {
            return Fail(std::string(name) + " is not YYYY-MM-DD");
        }
        out = MakeBuildDate(year, month, day);
    }

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

private:
    static bool ParseNumber(const char* text, long long& out) {
        const char* end = text + std::strlen(text);
        const auto [stop, ec] = std::from_chars(text, end, out);
        return ec == std::errc() && stop == end && stop != text;
    }
    void Fail(const std::string& what) {
        if (error_.empty()) error_ = what;
    }

    const TiXmlElement& element_;
    std::string error_;
};

// The attributes and child elements each element of a fleet file may have.
// Anything else is a misspelling, refused rather than ignored, since an
// ignored attribute or element silently changes the device.
constexpr const char* kDeviceAttributes[] = {"sn",          "model",       "user",     "password", "iterations",
                                             "salt",        "w0",          "L",        "sensorModel",
                                             "controlPort", "httpPort",    "rtspPort", "version",  "buildDate"};
constexpr const char* kNetAttributes[] = {"ip", "mask", "gw", "dns1", "dns2", "mac"};
constexpr const char* kConfigAttributes[] = {"name", "value"};
constexpr const char* kBehaviourAttributes[] = {"refuseLogins",     "wrongPassword", "configFails",
                                                "sensorModelEntries", "answerDelayMs", "duplicateAnswers",
                                                "lateAnswerMs",     "goneMidLogin",  "silent"};
constexpr const char* kNetBlocks[] = {"Eth0", "Wifi", "G3"};
constexpr const char* kOnvifAttributes[] = {"kind", "sn",  "manufacturer", "model", "firmware", "hardwareId",
                                            "user", "password",    "mac",   "ip",       "prefix",
                                            "gw",  "dns",          "httpPort", "rtspPort", "dhcp"};
constexpr const char* kOnvifBehaviourAttributes[] = {"clockOffset", "rebootNeeded", "refuseLogins", "answerDelayMs",
                                                     "moveDelayMs", "probeTypes",   "digestOnly"};
// The probeTypes values, in the order of OnvifProbeAnswer.
constexpr const char* kProbeTypes[] = {"both", "NetworkVideoTransmitter", "Device"};
// The kind values, in the order of OnvifKind.
constexpr const char* kOnvifKinds[] = {"camera", "recorder", "decoder"};
constexpr std::int64_t kMostClockOffset = 10LL * 366 * 86400;

bool IsOneOf(const char* name, std::span<const char* const> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* known) { return std::strcmp(name, known) == 0; });
}

std::string At(const TiXmlElement& element) { return "line " + std::to_string(element.Row()) + ": "; }

// The first attribute of `element` not among `known`, or null.
const char* UnknownAttribute(const TiXmlElement& element, std::span<const char* const> known) {
    for (const TiXmlAttribute* a = element.FirstAttribute(); a != nullptr; a = a->Next()) {
        if (!IsOneOf(a->Name(), known)) return a->Name();
    }
    return nullptr;
}

bool CheckAttributes(const TiXmlElement& element, std::span<const char* const> known, const std::string& who,
                     std::string& error) {
    const char* unknown = UnknownAttribute(element, known);
    if (unknown == nullptr) return true;
    error = At(element) + who + "unknown attribute \"" + unknown + "\"";
    return false;
}

// An element that holds attributes only: Eth0, Wifi, G3, Behaviour, Config.
bool CheckLeaf(const TiXmlElement& element, std::span<const char* const> known, const std::string& who,
               std::string& error) {
    if (!CheckAttributes(element, known, who, error)) return false;
    const TiXmlElement* child = element.FirstChildElement();
    if (child == nullptr) return true;
    error = At(*child) + who + "unknown element <" + child->Value() + ">";
    return false;
}

// Children of a Device: each net block and Behaviour at most once, Config
// any number of times, nothing else.
bool CheckChildren(const TiXmlElement& device, const std::string& who, std::string& error) {
    std::vector<std::string> once;
    for (const TiXmlElement* child = device.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        const char* name = child->Value();
        if (std::strcmp(name, "Config") == 0) continue;
        if (!IsOneOf(name, kNetBlocks) && std::strcmp(name, "Behaviour") != 0) {
            error = At(*child) + who + "unknown element <" + name + ">";
            return false;
        }
        if (std::find(once.begin(), once.end(), name) != once.end()) {
            error = At(*child) + who + "second <" + name + ">";
            return false;
        }
        once.emplace_back(name);
    }
    return true;
}

bool ReadNetBlock(const TiXmlElement* element, NetBlock& block, const std::string& who, std::string& error) {
    if (element == nullptr) return true;
    const std::string where = who + element->Value() + ": ";
    if (!CheckLeaf(*element, kNetAttributes, where, error)) return false;
    AttributeReader a(*element);
    a.Text("ip", block.ip);
    a.Text("mask", block.mask);
    a.Text("gw", block.gw);
    a.Text("dns1", block.dns1);
    a.Text("dns2", block.dns2);
    a.Mac("mac", block.mac);
    if (!a.ok()) error = At(*element) + where + a.error();
    return a.ok();
}

bool ReadBehaviour(const TiXmlElement* element, Behaviour& b, const std::string& who, std::string& error) {
    if (element == nullptr) return true;
    if (!CheckLeaf(*element, kBehaviourAttributes, who + "Behaviour: ", error)) return false;
    AttributeReader a(*element);
    a.Number("refuseLogins", b.refuseLogins, 0, 1000000);
    a.Flag("wrongPassword", b.wrongPassword);
    a.Flag("configFails", b.configFails);
    a.Number("sensorModelEntries", b.sensorModelEntries, 0, 2);
    a.Number("answerDelayMs", b.answerDelayMs, 0, 600000);
    a.Number("duplicateAnswers", b.duplicateAnswers, 0, 100);
    a.Number("lateAnswerMs", b.lateAnswerMs, 0, 600000);
    a.Flag("goneMidLogin", b.goneMidLogin);
    a.Flag("silent", b.silent);
    if (!a.ok()) error = At(*element) + who + "Behaviour: " + a.error();
    return a.ok();
}

bool ReadConfig(const TiXmlElement& device, std::vector<ConfigItem>& config, const std::string& who,
                std::string& error) {
    for (const TiXmlElement* item = device.FirstChildElement("Config"); item != nullptr;
         item = item->NextSiblingElement("Config")) {
        if (!CheckLeaf(*item, kConfigAttributes, who + "Config: ", error)) return false;
        ConfigItem entry;
        if (const char* name = item->Attribute("name")) entry.name = name;
        if (const char* value = item->Attribute("value")) entry.value = value;
        config.push_back(std::move(entry));
    }
    return true;
}

bool HasVerifier(const TiXmlElement& element) {
    return element.Attribute("iterations") != nullptr || element.Attribute("salt") != nullptr ||
           element.Attribute("w0") != nullptr || element.Attribute("L") != nullptr;
}

// The device's own attributes.
void ReadDeviceAttributes(const TiXmlElement& element, DeviceProfile& d, AttributeReader& a) {
    DeviceRecord& r = d.record;
    a.Text("sn", r.sn, true);
    a.Text("model", r.model);
    a.String("user", d.user);
    a.String("password", d.password);
    // A stored verifier instead of (or besides) the password: what a saved
    // fleet holds. Its four attributes come together.
    if (HasVerifier(element)) {
        StoredVerifier v;
        a.Required("iterations", "a verifier needs iterations, salt, w0 and L");
        a.Number("iterations", v.params.iterations, wire::spake2::kMinIterations, wire::spake2::kMaxIterations);
        a.Hex("salt", v.params.salt);
        a.Hex("w0", v.verifier.w0);
        a.Hex("L", v.verifier.L);
        d.verifier = v;
    }
    a.String("sensorModel", d.sensorModel);
    a.Number("controlPort", r.privatePort, 0, 65535);
    a.Number("httpPort", r.httpPort, 0, 65535);
    a.Number("rtspPort", r.rtspPort, 0, 65535);
    a.Version("version", r.softwareVersion);
    a.Date("buildDate", r.buildDate);
}

// How errors name the device: by its serial number once that is known.
std::string Who(const TiXmlElement& element) {
    const char* sn = element.Attribute("sn");
    return sn != nullptr && *sn != '\0' && std::strlen(sn) < 48 ? "device " + std::string(sn) + ": " : "Device: ";
}

bool ReadDevice(const TiXmlElement& element, DeviceProfile& d, std::string& error) {
    const std::string who = Who(element);
    if (!CheckAttributes(element, kDeviceAttributes, who, error) || !CheckChildren(element, who, error)) {
        return false;
    }
    AttributeReader a(element);
    ReadDeviceAttributes(element, d, a);
    if (!a.ok()) {
        error = At(element) + who + a.error();
        return false;
    }
    DeviceRecord& r = d.record;
    return ReadNetBlock(element.FirstChildElement("Eth0"), r.eth0, who, error) &&
           ReadNetBlock(element.FirstChildElement("Wifi"), r.wifi, who, error) &&
           ReadNetBlock(element.FirstChildElement("G3"), r.g3, who, error) &&
           ReadBehaviour(element.FirstChildElement("Behaviour"), d.behaviour, who, error) &&
           ReadConfig(element, d.config, who, error);
}

bool ReadOnvifBehaviour(const TiXmlElement* element, OnvifBehaviour& b, const std::string& who,
                        std::string& error) {
    if (element == nullptr) return true;
    if (!CheckLeaf(*element, kOnvifBehaviourAttributes, who + "Behaviour: ", error)) return false;
    AttributeReader a(*element);
    a.Number("clockOffset", b.clockOffset, -kMostClockOffset, kMostClockOffset);
    a.Flag("rebootNeeded", b.rebootNeeded);
    a.Flag("refuseLogins", b.refuseLogins);
    int delayMs = static_cast<int>(b.answerDelay.count());
    a.Number("answerDelayMs", delayMs, 0, 600000);
    b.answerDelay = std::chrono::milliseconds(delayMs);
    int moveDelayMs = static_cast<int>(b.moveDelay.count());
    a.Number("moveDelayMs", moveDelayMs, 0, 600000);
    b.moveDelay = std::chrono::milliseconds(moveDelayMs);
    int probeTypes = static_cast<int>(b.probeAnswer);
    a.Choice("probeTypes", kProbeTypes, probeTypes);
    b.probeAnswer = static_cast<OnvifProbeAnswer>(probeTypes);
    a.Flag("digestOnly", b.digestOnly);
    if (!a.ok()) error = At(*element) + who + "Behaviour: " + a.error();
    return a.ok();
}

// An ONVIF device: its attributes and at most one Behaviour inside.
bool ReadOnvifDevice(const TiXmlElement& element, OnvifProfile& d, std::string& error) {
    const char* sn = element.Attribute("sn");
    const std::string who = sn != nullptr && *sn != '\0' && std::strlen(sn) <= kOnvifSerialLimit
                                ? "ONVIF device " + std::string(sn) + ": "
                                : "OnvifDevice: ";
    if (!CheckAttributes(element, kOnvifAttributes, who, error)) return false;
    const TiXmlElement* behaviour = nullptr;
    for (const TiXmlElement* child = element.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        if (std::strcmp(child->Value(), "Behaviour") != 0 || behaviour != nullptr) {
            error = At(*child) + who + (behaviour != nullptr && std::strcmp(child->Value(), "Behaviour") == 0
                                            ? "second <Behaviour>"
                                            : "unknown element <" + std::string(child->Value()) + ">");
            return false;
        }
        behaviour = child;
    }
    d.user = "admin";
    AttributeReader a(element);
    a.Required("sn", "the serial number names the device");
    a.Required("ip", "the device service listens there");
    int kind = static_cast<int>(d.kind);
    a.Choice("kind", kOnvifKinds, kind);
    d.kind = static_cast<OnvifKind>(kind);
    a.String("sn", d.serialNumber);
    a.String("manufacturer", d.manufacturer);
    a.String("model", d.model);
    a.String("firmware", d.firmwareVersion);
    a.String("hardwareId", d.hardwareId);
    a.String("user", d.user);
    a.String("password", d.password);
    a.MacText("mac", d.network.hwAddress);
    a.String("ip", d.network.address);
    a.Number("prefix", d.network.prefixLength, 1, 32);
    a.Flag("dhcp", d.network.dhcp);
    a.String("gw", d.gateway);
    a.List("dns", d.dns);
    a.Number("httpPort", d.httpPort, 0, 65535);
    a.Number("rtspPort", d.rtspPort, 0, 65535);
    if (!a.ok()) {
        error = At(element) + who + a.error();
        return false;
    }
    return ReadOnvifBehaviour(behaviour, d.behaviour, who, error);
}

void PutText(TiXmlElement& e, const char* name, const char* text, std::size_t capacity) {
    e.SetAttribute(name, std::string(text, strnlen(text, capacity)));
}

std::string MacText(const std::uint8_t (&mac)[6]) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return text;
}

TiXmlElement* NetBlockElement(const char* name, const NetBlock& b) {
    auto* e = new TiXmlElement(name);
    PutText(*e, "ip", b.ip, sizeof b.ip);
    PutText(*e, "mask", b.mask, sizeof b.mask);
    PutText(*e, "gw", b.gw, sizeof b.gw);
    PutText(*e, "dns1", b.dns1, sizeof b.dns1);
    PutText(*e, "dns2", b.dns2, sizeof b.dns2);
    e->SetAttribute("mac", MacText(b.mac));
    return e;
}

bool IsEmptyBlock(const NetBlock& b) {
    static const NetBlock kEmpty{};
    return std::memcmp(&b, &kEmpty, sizeof b) == 0;
}

TiXmlElement* BehaviourElement(const Behaviour& b) {
    auto* e = new TiXmlElement("Behaviour");
    e->SetAttribute("refuseLogins", b.refuseLogins);
    e->SetAttribute("wrongPassword", b.wrongPassword ? 1 : 0);
    e->SetAttribute("configFails", b.configFails ? 1 : 0);
    e->SetAttribute("sensorModelEntries", b.sensorModelEntries);
    e->SetAttribute("answerDelayMs", b.answerDelayMs);
    e->SetAttribute("duplicateAnswers", b.duplicateAnswers);
    e->SetAttribute("lateAnswerMs", b.lateAnswerMs);
    e->SetAttribute("goneMidLogin", b.goneMidLogin ? 1 : 0);
    e->SetAttribute("silent", b.silent ? 1 : 0);
    return e;
}

TiXmlElement* DeviceElement(const DeviceProfile& d) {
    const DeviceRecord& r = d.record;
    auto* e = new TiXmlElement("Device");
    PutText(*e, "sn", r.sn, sizeof r.sn);
    PutText(*e, "model", r.model, sizeof r.model);
    e->SetAttribute("user", d.user);
    // Never the password: the verifier, made now if the profile has none yet.
    StoredVerifier v;
    if (d.verifier || MakeStoredVerifier(d.user, d.password, v)) {
        if (d.verifier) v = *d.verifier;
        e->SetAttribute("iterations", static_cast<int>(v.params.iterations));
        e->SetAttribute("salt", HexText(v.params.salt));
        e->SetAttribute("w0", HexText(v.verifier.w0));
        e->SetAttribute("L", HexText(v.verifier.L));
    }
    e->SetAttribute("sensorModel", d.sensorModel);
    e->SetAttribute("controlPort", r.privatePort);
    e->SetAttribute("httpPort", r.httpPort);
    e->SetAttribute("rtspPort", r.rtspPort);
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u", VersionMajor(r.softwareVersion), VersionMinor(r.softwareVersion));
    e->SetAttribute("version", text);
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", BuildYear(r.buildDate), BuildMonth(r.buildDate),
                  BuildDay(r.buildDate));
    e->SetAttribute("buildDate", text);
    e->LinkEndChild(NetBlockElement("Eth0", r.eth0));
    if (!IsEmptyBlock(r.wifi)) e->LinkEndChild(NetBlockElement("Wifi", r.wifi));
    if (!IsEmptyBlock(r.g3)) e->LinkEndChild(NetBlockElement("G3", r.g3));
    for (const ConfigItem& item : d.config) {
        auto* c = new TiXmlElement("Config");
        c->SetAttribute("name", item.name);
        c->SetAttribute("value", item.value);
        e->LinkEndChild(c);
    }
    if (!(d.behaviour == Behaviour{})) e->LinkEndChild(BehaviourElement(d.behaviour));
    return e;
}

// ONVIF devices keep their password: both of their digests are computed
// from it, so there is no verifier to write instead.
TiXmlElement* OnvifDeviceElement(const OnvifProfile& d) {
    auto* e = new TiXmlElement("OnvifDevice");
    e->SetAttribute("kind", kOnvifKinds[static_cast<int>(d.kind)]);
    e->SetAttribute("sn", d.serialNumber);
    e->SetAttribute("manufacturer", d.manufacturer);
    e->SetAttribute("model", d.model);
    e->SetAttribute("firmware", d.firmwareVersion);
    e->SetAttribute("hardwareId", d.hardwareId);
    e->SetAttribute("user", d.user);
    e->SetAttribute("password", d.password);
    if (!d.network.hwAddress.empty()) e->SetAttribute("mac", d.network.hwAddress);
    e->SetAttribute("ip", d.network.address);
    e->SetAttribute("prefix", d.network.prefixLength);
    if (!d.gateway.empty()) e->SetAttribute("gw", d.gateway);
    std::string dns;
    for (const std::string& server : d.dns) dns += (dns.empty() ? "" : ",") + server;
    if (!dns.empty()) e->SetAttribute("dns", dns);
    e->SetAttribute("httpPort", d.httpPort);
    e->SetAttribute("rtspPort", d.rtspPort);
    e->SetAttribute("dhcp", d.network.dhcp ? 1 : 0);
    const OnvifBehaviour& b = d.behaviour;
    if (!(b == OnvifBehaviour{})) {
        auto* behaviour = new TiXmlElement("Behaviour");
        behaviour->SetAttribute("clockOffset", std::to_string(b.clockOffset));
        behaviour->SetAttribute("rebootNeeded", b.rebootNeeded ? 1 : 0);
        behaviour->SetAttribute("refuseLogins", b.refuseLogins ? 1 : 0);
        behaviour->SetAttribute("answerDelayMs", static_cast<int>(b.answerDelay.count()));
        behaviour->SetAttribute("moveDelayMs", static_cast<int>(b.moveDelay.count()));
        behaviour->SetAttribute("probeTypes", kProbeTypes[static_cast<int>(b.probeAnswer)]);
        behaviour->SetAttribute("digestOnly", b.digestOnly ? 1 : 0);
        e->LinkEndChild(behaviour);
    }
    return e;
}

// Well-formed UTF-8: every lead byte followed by its continuation bytes.
bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || length > text.size() - i) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

XmlLimits FleetLimits() {
    XmlLimits limits;
    limits.bytes = kMaxFleetFileBytes;
    return limits;
}

std::string Describe(XmlLoadResult result, const TiXmlDocument& doc) {
    switch (result) {
        case XmlLoadResult::kLoaded: break;
        case XmlLoadResult::kUnreadable: return "cannot be read";
        case XmlLoadResult::kTooLarge: return "larger than " + std::to_string(kMaxFleetFileBytes >> 20) + " MiB";
        case XmlLoadResult::kTooDeep: return "elements nest deeper than " + std::to_string(kMaxXmlDepth) + " levels";
        case XmlLoadResult::kTooManyAttributes:
            return "an element has more than " + std::to_string(kMaxXmlAttributesPerElement) + " attributes";
        case XmlLoadResult::kNotWellFormed:
            return doc.Error() ? std::string("not well-formed XML: ") + doc.ErrorDesc() : "not well-formed XML";
    }
    return {};
}

bool ReadFleet(const TiXmlDocument& doc, Fleet& fleet, std::string& error) {
    const TiXmlElement* root = doc.RootElement();
    if (root == nullptr || std::strcmp(root->Value(), "Fleet") != 0) {
        error = "the root element is not Fleet";
        return false;
    }
    if (!CheckAttributes(*root, {}, "Fleet: ", error)) return false;
    if (const TiXmlElement* second = root->NextSiblingElement()) {
        error = At(*second) + "a second root element <" + second->Value() + ">";
        return false;
    }
    Fleet result;
    std::vector<int> rows, onvifRows;
    for (const TiXmlElement* e = root->FirstChildElement(); e != nullptr; e = e->NextSiblingElement()) {
        if (std::strcmp(e->Value(), "OnvifDevice") == 0) {
            OnvifProfile device;
            if (!ReadOnvifDevice(*e, device, error)) return false;
            result.onvifDevices.push_back(std::move(device));
            onvifRows.push_back(e->Row());
            continue;
        }
        if (std::strcmp(e->Value(), "Device") != 0) {
            error = At(*e) + "unknown element <" + e->Value() + "> (a Fleet holds Device and OnvifDevice elements)";
            return false;
        }
        DeviceProfile device;
        if (!ReadDevice(*e, device, error)) return false;
        result.devices.push_back(std::move(device));
        rows.push_back(e->Row());
    }
    const auto line = [&](std::size_t i) {
        return "line " + std::to_string(i < rows.size() ? rows[i] : onvifRows[i - rows.size()]);
    };
    if (!ValidateFleet(result, error, line)) return false;
    fleet = std::move(result);
    return true;
}

}  // namespace

bool ParseFleetXml(std::string_view text, Fleet& fleet, std::string& error) {
    text = text.substr(0, text.find('\0'));
    // TinyXML steps over a multi-byte character by its lead byte alone and
    // can read past the end of a truncated one: only whole UTF-8 reaches it.
    if (!IsUtf8(text)) {
        error = "not UTF-8 text";
        return false;
    }
    TiXmlDocument doc;
    const XmlLoadResult loaded = LoadXmlBytesWithin(doc, text, FleetLimits());
    if (loaded != XmlLoadResult::kLoaded) {
        error = Describe(loaded, doc);
        return false;
    }
    return ReadFleet(doc, fleet, error);
}

bool LoadFleetFile(const std::string& path, Fleet& fleet, std::string& error) {
    std::string bytes;
    const XmlLoadResult read = ReadXmlFile(path.c_str(), kMaxFleetFileBytes, bytes);
    if (read != XmlLoadResult::kLoaded) {
        error = path + ": " + Describe(read, TiXmlDocument());
        return false;
    }
    if (!ParseFleetXml(bytes, fleet, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

std::string FleetToXml(const Fleet& fleet) {
    TiXmlDocument doc;
    doc.LinkEndChild(new TiXmlDeclaration("1.0", "UTF-8", ""));
    auto* root = new TiXmlElement("Fleet");
    for (const DeviceProfile& device : fleet.devices) root->LinkEndChild(DeviceElement(device));
    for (const OnvifProfile& device : fleet.onvifDevices) root->LinkEndChild(OnvifDeviceElement(device));
    doc.LinkEndChild(root);
    TiXmlPrinter printer;
    printer.SetIndent("  ");
    doc.Accept(&printer);
    return printer.CStr();
}

bool SaveFleetFile(const std::string& path, const Fleet& fleet, std::string& error) {
    if (!ReplaceFileAtomically(path, FleetToXml(fleet))) {
        error = path + ": cannot be replaced";
        return false;
    }
    return true;
}

}  // namespace devsim
