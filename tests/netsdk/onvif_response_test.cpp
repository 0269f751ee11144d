// Parsing what devices send: fixtures shaped like real answers (assorted
// prefixes, extra elements, SOAP 1.1 and 1.2 faults), every truncation, size
// and depth limits, and document-type attacks.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>

#include "netsdk/onvif/namespaces.h"
#include "netsdk/onvif/responses.h"
#include "netsdk/onvif/xml_document.h"
#include "tests/netsdk/onvif_support.h"

namespace {

using namespace onvif;
using onvif_test::Fixture;

TEST(OnvifProbeMatches, FixturesWithDifferentPrefixesParseAlike) {
    ProbeMatches a;
    ASSERT_EQ(ParseProbeMatches(Fixture("probe_matches_soapenv.xml"), a), ParseStatus::Ok);
    EXPECT_EQ(a.messageId, "uuid:1419d68a-1dd2-11b2-a105-0a0b0c0d0e0f");
    EXPECT_EQ(a.relatesTo, "urn:uuid:6d2f3a10-0000-4000-8000-000000000001");
    ASSERT_EQ(a.matches.size(), 1u);
    EXPECT_EQ(a.matches[0].address, "urn:uuid:1419d68a-1dd2-11b2-a105-0a0b0c0d0e0f");
    EXPECT_EQ(a.matches[0].types, (std::vector<QName>{{ns::kNetwork, "NetworkVideoTransmitter"},
                                                      {ns::kDevice, "Device"}}));
    EXPECT_EQ(a.matches[0].scopes.size(), 4u);
    EXPECT_EQ(a.matches[0].scopes[1], "onvif://www.onvif.org/hardware/CAM-2040");
    EXPECT_EQ(a.matches[0].xaddrs, (std::vector<std::string>{"http://192.168.1.64/onvif/device_service",
                                                             "http://[fe80::1]/onvif/device_service"}));

    // Default namespaces, declarations on inner elements, a vendor header,
    // and a second match without an address (dropped).
    ProbeMatches b;
    ASSERT_EQ(ParseProbeMatches(Fixture("probe_matches_env.xml"), b), ParseStatus::Ok);
    EXPECT_EQ(b.relatesTo, "urn:uuid:6d2f3a10-0000-4000-8000-000000000002");
    ASSERT_EQ(b.matches.size(), 1u);
    EXPECT_EQ(b.matches[0].types, (std::vector<QName>{{ns::kNetwork, "NetworkVideoStorage"}}));
    EXPECT_EQ(b.matches[0].xaddrs, (std::vector<std::string>{"http://10.0.0.9:8080/onvif/device_service"}));

    const std::vector<std::string> ours = {"urn:uuid:6d2f3a10-0000-4000-8000-000000000001", "urn:uuid:x"};
    EXPECT_TRUE(AnswersProbe(a, ours));
    EXPECT_FALSE(AnswersProbe(b, ours));
    EXPECT_FALSE(AnswersProbe(ProbeMatches{}, std::vector<std::string>{""}));
}

TEST(OnvifProbeMatches, EveryTruncationFailsCleanly) {
    for (const char* name : {"probe_matches_soapenv.xml", "probe_matches_env.xml"}) {
        std::string text = Fixture(name);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
        for (std::size_t size = 0; size < text.size(); ++size) {
            ProbeMatches out;
            EXPECT_NE(ParseProbeMatches(std::string_view(text).substr(0, size), out), ParseStatus::Ok)
                << name << " cut at " << size;
            EXPECT_TRUE(out.matches.empty());
        }
    }
}

TEST(OnvifProbeMatches, RefusesWhatIsNoProbeMatch) {
    const struct {
        const char* text;
        ParseStatus status;
    } cases[] = {
        {"", ParseStatus::Malformed},
        {"<x/>", ParseStatus::NotSoap},
        // Right local names, wrong namespace: prefixes alone never match.
        {"<s:Envelope xmlns:s='urn:not-soap'><s:Body/></s:Envelope>", ParseStatus::NotSoap},
        {"<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Body><d:ProbeMatches "
         "xmlns:d='urn:other'/></s:Body></s:Envelope>",
         ParseStatus::Unexpected},
        // No RelatesTo: cannot be tied to any probe of ours.
        {"<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Body><d:ProbeMatches "
         "xmlns:d='http://schemas.xmlsoap.org/ws/2005/04/discovery'/></s:Body></s:Envelope>",
         ParseStatus::Unexpected},
    };
    for (const auto& c : cases) {
        ProbeMatches out;
        EXPECT_EQ(ParseProbeMatches(c.text, out), c.status) << c.text;
    }
}

TEST(OnvifProbeMatches, BadEncodingsFailSilently) {
    const std::string inputs[] = {
        "<?xml version='1.0' encoding='UTF-16'?><s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'/>",
        "<?xml version='1.0' encoding='no-such-charset'?><a/>",
        "<?xml version='1.0' encoding='UTF-32'?><SOAP-ENV:Envelope xmlns:SOAP-ENV='x'/>",
        "<?xml version='1.0' encoding='UCS-4'?><SOAP-ENV:Envelope xmlns:SOAP-ENV='x'/>",
        std::string("<a>\xC3\x28\xFF</a>"),
        std::string("\xFF\xFE<\0a\0/\0>\0\xD8", 11),
    };
    testing::internal::CaptureStderr();
    for (const std::string& text : inputs) {
        ProbeMatches out;
        EXPECT_NE(ParseProbeMatches(text, out), ParseStatus::Ok);
    }
    // The SDK runs inside an application: a device's bytes must not print.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Wraps content into a ProbeMatches envelope that is valid around it.
std::string ProbeMatchesWith(const std::string& inner) {
    return "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope' "
           "xmlns:a='http://schemas.xmlsoap.org/ws/2004/08/addressing'><s:Header><a:RelatesTo>r</a:RelatesTo>"
           "</s:Header><s:Body><d:ProbeMatches xmlns:d='http://schemas.xmlsoap.org/ws/2005/04/discovery'>" +
           inner + "</d:ProbeMatches></s:Body></s:Envelope>";
}

std::string Nested(int depth) {
    std::string out;
    for (int i = 0; i < depth; ++i) out += "<n>";
    for (int i = 0; i < depth; ++i) out += "</n>";
    return out;
}

TEST(OnvifLimits, SizeAndDepthLimitsHoldAtTheirEdges) {
    const std::string empty = ProbeMatchesWith("");
    const std::string fits = ProbeMatchesWith(std::string(kDatagramLimit - empty.size(), ' '));
    const std::string over = ProbeMatchesWith(std::string(kDatagramLimit - empty.size() + 1, ' '));
    ProbeMatches out;
    EXPECT_EQ(ParseProbeMatches(fits, out), ParseStatus::Ok);
    EXPECT_EQ(ParseProbeMatches(over, out), ParseStatus::TooLarge);

    // Envelope, Body and ProbeMatches take three levels.
    EXPECT_EQ(ParseProbeMatches(ProbeMatchesWith(Nested(kDepthLimit - 3)), out), ParseStatus::Ok);
    EXPECT_EQ(ParseProbeMatches(ProbeMatchesWith(Nested(kDepthLimit - 2)), out), ParseStatus::TooDeep);
    EXPECT_NE(ParseProbeMatches(ProbeMatchesWith(Nested(5000)), out), ParseStatus::Ok);

    std::string body = Fixture("system_reboot.xml");
    std::string message;
    body.insert(body.find("<s:Envelope"), kBodyLimit - body.size(), ' ');
    EXPECT_EQ(ParseSystemReboot(body, message), ParseStatus::Ok);
    body.insert(0, " ");
    EXPECT_EQ(ParseSystemReboot(body, message), ParseStatus::TooLarge);
}

TEST(OnvifLimits, DocumentTypesAreRefusedBeforeAnyEntityIsRead) {
    std::string laughs = "<?xml version='1.0'?><!DOCTYPE s:Envelope [<!ENTITY l0 'ha'>";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " '";
        for (int j = 0; j < 10; ++j) laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "'>";
    }
    laughs += "]>" + ProbeMatchesWith("<d:ProbeMatch><d:Scopes>&l9;</d:Scopes></d:ProbeMatch>");
    const std::string passwd =
        "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY x SYSTEM 'file:///etc/passwd'>]>" +
        ProbeMatchesWith("<d:ProbeMatch><d:Scopes>&x;</d:Scopes></d:ProbeMatch>");
    const std::string external = "<!DOCTYPE r SYSTEM 'file:///etc/passwd'>" + ProbeMatchesWith("");
    const std::string parameter =
        "<!DOCTYPE r [<!ENTITY % p SYSTEM 'http://127.0.0.1:9/x.dtd'> %p;]>" + ProbeMatchesWith("");
    for (const std::string* text : std::initializer_list<const std::string*>{&laughs, &passwd, &external, &parameter}) {
        ProbeMatches out;
        EXPECT_EQ(ParseProbeMatches(*text, out), ParseStatus::DocumentType) << *text;
        std::string message;
        EXPECT_EQ(ParseSystemReboot(*text, message), ParseStatus::DocumentType);
    }
    // An entity reference without a declaration is simply malformed.
    ProbeMatches out;
    EXPECT_EQ(ParseProbeMatches(ProbeMatchesWith("<d:ProbeMatch><d:Scopes>&x;</d:Scopes></d:ProbeMatch>"), out),
              ParseStatus::Malformed);
}

TEST(OnvifResponses, DeviceManagementFixtures) {
    DateTime utc;
    ASSERT_EQ(ParseSystemDateAndTime(Fixture("system_date_and_time.xml"), utc), ParseStatus::Ok);
    EXPECT_EQ(UnixSeconds(utc), 1796718624);  // the local time beside it is ignored

    DeviceInformation info;
    ASSERT_EQ(ParseDeviceInformation(Fixture("device_information.xml"), info), ParseStatus::Ok);
    EXPECT_EQ(info.manufacturer, "Example & Sons");
    EXPECT_EQ(info.model, "CAM-2040");
    EXPECT_EQ(info.firmwareVersion, "V5.5.3 build 200101");
    EXPECT_EQ(info.serialNumber, "SN0123456789");
    EXPECT_EQ(info.hardwareId, "88");

    std::vector<NetworkInterface> ifs;
    ASSERT_EQ(ParseNetworkInterfaces(Fixture("network_interfaces.xml"), ifs), ParseStatus::Ok);
    ASSERT_EQ(ifs.size(), 2u);
    EXPECT_EQ(ifs[0].token, "eth0");
    EXPECT_TRUE(ifs[0].enabled && ifs[0].ipv4Enabled);
    EXPECT_FALSE(ifs[0].dhcp);
    EXPECT_EQ(ifs[0].hwAddress, "00:1A:2b:3c:4D:5e");
    ASSERT_EQ(ifs[0].manual.size(), 1u);
    EXPECT_EQ(ifs[0].manual[0].address, "192.168.1.64");
    EXPECT_EQ(ifs[0].manual[0].prefixLength, 24);
    ASSERT_EQ(ifs[0].fromDhcp.size(), 1u);
    EXPECT_EQ(ifs[0].fromDhcp[0].prefixLength, 8);
    EXPECT_EQ(ifs[1].token, "wlan0");
    EXPECT_TRUE(!ifs[1].enabled && ifs[1].ipv4Enabled && ifs[1].dhcp && ifs[1].manual.empty());

    std::vector<std::string> gateways;
    ASSERT_EQ(ParseNetworkDefaultGateway(Fixture("network_default_gateway.xml"), gateways), ParseStatus::Ok);
    EXPECT_EQ(gateways, std::vector<std::string>{"192.168.1.1"});

    DnsInformation dns;
    ASSERT_EQ(ParseDNS(Fixture("dns.xml"), dns), ParseStatus::Ok);
    EXPECT_FALSE(dns.fromDhcp);
    EXPECT_EQ(dns.manual, (std::vector<std::string>{"8.8.8.8", "1.1.1.1"}));
    EXPECT_EQ(dns.dhcp, std::vector<std::string>{"10.0.0.53"});

    std::vector<NetworkProtocol> protocols;
    ASSERT_EQ(ParseNetworkProtocols(Fixture("network_protocols.xml"), protocols), ParseStatus::Ok);
    ASSERT_EQ(protocols.size(), 3u);
    EXPECT_EQ(protocols[0].name, "HTTP");
    EXPECT_EQ(protocols[0].ports, (std::vector<int>{80, 8080}));
    EXPECT_FALSE(protocols[1].enabled);
    EXPECT_EQ(protocols[2].name, "RTSP");
    EXPECT_EQ(protocols[2].ports, std::vector<int>{554});  // 99999 is no port

    std::vector<Service> services;
    ASSERT_EQ(ParseServices(Fixture("services.xml"), services), ParseStatus::Ok);
    ASSERT_EQ(services.size(), 3u);
    EXPECT_EQ(services[1].ns, ns::kRecording);
    EXPECT_EQ(services[1].xaddr, "http://10.0.0.9/onvif/recording");

    bool reboot = false;
    EXPECT_EQ(ParseSetNetworkInterfaces(Fixture("set_network_interfaces.xml"), reboot), ParseStatus::Ok);
    EXPECT_TRUE(reboot);
    EXPECT_EQ(ParseSetNetworkDefaultGateway(Fixture("set_network_default_gateway.xml")), ParseStatus::Ok);
    std::string message;
    EXPECT_EQ(ParseSystemReboot(Fixture("system_reboot.xml"), message), ParseStatus::Ok);
    EXPECT_EQ(message, "Rebooting in 30 seconds");
}

TEST(OnvifResponses, EachParserRefusesTheOthersAnswersAndReportsFaults) {
    const char* fixtures[] = {"system_date_and_time.xml", "device_information.xml", "network_interfaces.xml",
                              "network_default_gateway.xml", "dns.xml", "network_protocols.xml", "services.xml",
                              "set_network_interfaces.xml", "set_network_default_gateway.xml",
                              "system_reboot.xml"};
    // Parser i accepts fixture i only.
    const std::function<ParseStatus(std::string_view, Fault*)> parsers[] = {
        [](auto t, auto f) { DateTime v; return ParseSystemDateAndTime(t, v, f); },
        [](auto t, auto f) { DeviceInformation v; return ParseDeviceInformation(t, v, f); },
        [](auto t, auto f) { std::vector<NetworkInterface> v; return ParseNetworkInterfaces(t, v, f); },
        [](auto t, auto f) { std::vector<std::string> v; return ParseNetworkDefaultGateway(t, v, f); },
        [](auto t, auto f) { DnsInformation v; return ParseDNS(t, v, f); },
        [](auto t, auto f) { std::vector<NetworkProtocol> v; return ParseNetworkProtocols(t, v, f); },
        [](auto t, auto f) { std::vector<Service> v; return ParseServices(t, v, f); },
        [](auto t, auto f) { bool v; return ParseSetNetworkInterfaces(t, v, f); },
        [](auto t, auto f) { return ParseSetNetworkDefaultGateway(t, f); },
        [](auto t, auto f) { std::string v; return ParseSystemReboot(t, v, f); },
    };
    static_assert(std::size(fixtures) == std::size(parsers));
    const std::string notAuthorized = Fixture("fault_not_authorized.xml");
    const std::string soap11 = Fixture("fault_soap11.xml");
    for (std::size_t p = 0; p < std::size(parsers); ++p) {
        for (std::size_t f = 0; f < std::size(fixtures); ++f) {
            EXPECT_EQ(parsers[p](Fixture(fixtures[f]), nullptr) == ParseStatus::Ok, p == f)
                << "parser " << p << " on " << fixtures[f];
        }
        Fault fault;
        ASSERT_EQ(parsers[p](notAuthorized, &fault), ParseStatus::Fault);
        EXPECT_EQ(fault.code, (QName{ns::kSoap12, "Sender"}));
        EXPECT_EQ(fault.subcode, (QName{ns::kError, "NotAuthorized"}));
        EXPECT_EQ(fault.reason, "Sender not Authorized");
        ASSERT_EQ(parsers[p](soap11, &fault), ParseStatus::Fault);
        EXPECT_EQ(fault.code, (QName{ns::kSoap11, "Client"}));
        EXPECT_EQ(fault.subcode, QName{});
        EXPECT_EQ(fault.reason, "Method not implemented");
    }
    Fault fault;
    EXPECT_EQ(ParseFault(notAuthorized, fault), ParseStatus::Fault);
    EXPECT_EQ(ParseFault(Fixture("system_reboot.xml"), fault), ParseStatus::Ok);  // not a fault
}

TEST(OnvifResponses, OutOfRangeValuesAreRefused) {
    const std::string date = Fixture("system_date_and_time.xml");
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"<tt:Month>12</tt:Month>", "<tt:Month>13</tt:Month>"},
             {"<tt:Hour>8</tt:Hour>", "<tt:Hour>8h</tt:Hour>"},
             {"<tt:Day>8</tt:Day>", ""}}) {
        std::string text = date;
        text.replace(text.find(from), from.size(), to);
        DateTime utc;
        EXPECT_EQ(ParseSystemDateAndTime(text, utc), ParseStatus::Unexpected) << to;
    }
    std::string ifs = Fixture("network_interfaces.xml");
    const std::string prefix = "<tt:PrefixLength>24</tt:PrefixLength>";
    ifs.replace(ifs.find(prefix), prefix.size(), "<tt:PrefixLength>33</tt:PrefixLength>");
    std::vector<NetworkInterface> out;
    ASSERT_EQ(ParseNetworkInterfaces(ifs, out), ParseStatus::Ok);
    EXPECT_TRUE(out[0].manual.empty());
}

}  // namespace
