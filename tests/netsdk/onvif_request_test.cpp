// The envelopes we send, read back through our own parser: well-formed,
// the right body element, escaped text recovered intact, and a UsernameToken
// whose digest matches a value computed outside this code.
#include <gtest/gtest.h>

#include <functional>

#include "netsdk/onvif/namespaces.h"
#include "netsdk/onvif/requests.h"
#include "netsdk/onvif/xml_document.h"

namespace {

using namespace onvif;

const std::vector<std::uint8_t> kNonce = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr char kCreated[] = "2026-12-08T08:30:24Z";
constexpr char kPassword[] = "s3cr&t<pw>";
// Base64(SHA-1(nonce + created + password)) for the values above, computed
// with Python's hashlib and base64.
constexpr char kDigest[] = "EiaqM6Z2h4mWhb/udsio7dkcXHc=";

TEST(OnvifUsernameToken, DigestBase64AndCreatedTimeMatchKnownValues) {
    EXPECT_EQ(PasswordDigest(kNonce, kCreated, kPassword), kDigest);
    EXPECT_EQ(Base64(kNonce), "AAECAwQFBgcICQoLDA0ODw==");
    const struct {
        std::string text;
        std::string base64;
    } vectors[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}};
    for (const auto& v : vectors) {
        EXPECT_EQ(Base64(std::vector<std::uint8_t>(v.text.begin(), v.text.end())), v.base64) << v.text;
    }
    // The device clock runs a day and a second ahead of ours.
    EXPECT_EQ(CreatedTime(1796718624, 86401), "2026-12-09T08:30:25Z");
    EXPECT_EQ(CreatedTime(1796718624, -1796718624), "1970-01-01T00:00:00Z");
    std::vector<std::uint8_t> a, b;
    ASSERT_TRUE(FreshNonce(a));
    ASSERT_TRUE(FreshNonce(b));
    EXPECT_EQ(a.size(), 16u);
    EXPECT_NE(a, b);
}

struct RequestCase {
    const char* name;
    std::function<std::string(const UsernameToken*)> build;
    const char* bodyElement;  // local name in the device namespace
};

const RequestCase kRequests[] = {
    {"date", [](auto* t) { return BuildRequest(DeviceRequest::GetSystemDateAndTime, t); }, "GetSystemDateAndTime"},
    {"info", [](auto* t) { return BuildRequest(DeviceRequest::GetDeviceInformation, t); }, "GetDeviceInformation"},
    {"ifs", [](auto* t) { return BuildRequest(DeviceRequest::GetNetworkInterfaces, t); }, "GetNetworkInterfaces"},
    {"gw", [](auto* t) { return BuildRequest(DeviceRequest::GetNetworkDefaultGateway, t); },
     "GetNetworkDefaultGateway"},
    {"dns", [](auto* t) { return BuildRequest(DeviceRequest::GetDNS, t); }, "GetDNS"},
    {"proto", [](auto* t) { return BuildRequest(DeviceRequest::GetNetworkProtocols, t); }, "GetNetworkProtocols"},
    {"services", [](auto* t) { return BuildRequest(DeviceRequest::GetServices, t); }, "GetServices"},
    {"reboot", [](auto* t) { return BuildRequest(DeviceRequest::SystemReboot, t); }, "SystemReboot"},
    {"setif", [](auto* t) { return BuildSetNetworkInterfaces("eth<0>", "192.168.7.20", 23, t); },
     "SetNetworkInterfaces"},
    {"setgw", [](auto* t) { return BuildSetNetworkDefaultGateway("192.168.6.1", t); }, "SetNetworkDefaultGateway"},
};

const XmlNode* BodyElement(const XmlDocument& doc) {
    return FirstElement(Child(doc.root(), ns::kSoap12, "Body"));
}

TEST(OnvifRequests, EveryRequestIsWellFormedWithAndWithoutToken) {
    const UsernameToken token{"ad\"min<&>'", kPassword, kNonce, kCreated};
    for (const RequestCase& c : kRequests) {
        SCOPED_TRACE(c.name);
        for (const UsernameToken* with : {static_cast<const UsernameToken*>(nullptr), &token}) {
            const std::string text = c.build(with);
            const XmlDocument doc(text, kBodyLimit);
            ASSERT_EQ(doc.status(), XmlStatus::Ok) << text;
            ASSERT_TRUE(Is(doc.root(), ns::kSoap12, "Envelope"));
            EXPECT_TRUE(Is(BodyElement(doc), ns::kDevice, c.bodyElement));
            const XmlNode* header = Child(doc.root(), ns::kSoap12, "Header");
            if (with == nullptr) {
                EXPECT_EQ(header, nullptr);
                continue;
            }
            const XmlNode* user = Child(Child(header, ns::kSecurity, "Security"), ns::kSecurity, "UsernameToken");
            EXPECT_EQ(Text(Child(user, ns::kSecurity, "Username")), token.user);
            const XmlNode* password = Child(user, ns::kSecurity, "Password");
            EXPECT_EQ(Text(password), kDigest);
            EXPECT_EQ(Attribute(password, "Type"), ns::kPasswordDigest);
            EXPECT_EQ(Text(Child(user, ns::kSecurity, "Nonce")), "AAECAwQFBgcICQoLDA0ODw==");
            EXPECT_EQ(Text(Child(user, ns::kUtility, "Created")), kCreated);
        }
    }
}

TEST(OnvifRequests, SetNetworkInterfacesCarriesManualAddressWithDhcpOff) {
    const XmlDocument doc(BuildSetNetworkInterfaces("eth<0>", "192.168.7.20", 23, nullptr), kBodyLimit);
    const XmlNode* body = BodyElement(doc);
    EXPECT_EQ(Text(Child(body, ns::kDevice, "InterfaceToken")), "eth<0>");
    const XmlNode* ipv4 = Child(Child(body, ns::kDevice, "NetworkInterface"), ns::kSchema, "IPv4");
    const XmlNode* manual = Child(ipv4, ns::kSchema, "Manual");
    EXPECT_EQ(Text(Child(manual, ns::kSchema, "Address")), "192.168.7.20");
    EXPECT_EQ(Text(Child(manual, ns::kSchema, "PrefixLength")), "23");
    EXPECT_EQ(Text(Child(ipv4, ns::kSchema, "DHCP")), "false");
    const XmlDocument gw(BuildSetNetworkDefaultGateway("10.0.0.1", nullptr), kBodyLimit);
    EXPECT_EQ(Text(Child(BodyElement(gw), ns::kDevice, "IPv4Address")), "10.0.0.1");
}

TEST(OnvifRequests, ProbeNamesOneTypeAndCarriesItsMessageId) {
    const struct {
        ProbeType type;
        const char* typeNs;
        const char* typeLocal;
    } cases[] = {{ProbeType::NetworkVideoTransmitter, ns::kNetwork, "NetworkVideoTransmitter"},
                 {ProbeType::Device, ns::kDevice, "Device"}};
    const std::string id = "urn:uuid:6d2f3a10-0000-4000-8000-00000000<&>";
    for (const auto& c : cases) {
        const XmlDocument doc(BuildProbe(id, c.type), kDatagramLimit);
        ASSERT_EQ(doc.status(), XmlStatus::Ok);
        const XmlNode* header = Child(doc.root(), ns::kSoap12, "Header");
        EXPECT_EQ(Text(Child(header, ns::kAddressing, "MessageID")), id);
        EXPECT_EQ(Text(Child(header, ns::kAddressing, "Action")), ns::kProbeAction);
        EXPECT_EQ(Text(Child(header, ns::kAddressing, "To")), ns::kProbeTo);
        const XmlNode* probe = BodyElement(doc);
        ASSERT_TRUE(Is(probe, ns::kDiscovery, "Probe"));
        const XmlNode* types = Child(probe, ns::kDiscovery, "Types");
        const std::vector<std::string> names = SplitList(Text(types));
        ASSERT_EQ(names.size(), 1u);
        const std::string prefix = names[0].substr(0, names[0].find(':'));
        EXPECT_EQ(NamespaceOf(types, prefix), c.typeNs);
        EXPECT_EQ(names[0].substr(names[0].find(':') + 1), c.typeLocal);
    }
}

}  // namespace
