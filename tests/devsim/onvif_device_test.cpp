// The simulated ONVIF device driven without a socket: every operation read
// back by the SDK's own response parsers, both ways of authenticating with
// their failures, and the values the device refuses.
#include <gtest/gtest.h>

#include <functional>

#include "devsim/onvif/device_service.h"
#include "netsdk/onvif/envelope.h"
#include "netsdk/onvif/namespaces.h"
#include "netsdk/onvif/requests.h"
#include "netsdk/onvif/responses.h"

namespace {

using namespace devsim;
namespace o = onvif;

constexpr std::int64_t kNow = 1796718624;  // 2026-12-08T08:30:24Z by the host's clock
constexpr char kPath[] = "/onvif/device_service";

OnvifProfile Camera() {
    OnvifProfile p;
    p.manufacturer = "Maker & Co";
    p.model = "Cam<9>";
    p.firmwareVersion = "V5.4.1 build 201020";
    p.serialNumber = "SN0042";
    p.hardwareId = "HW1";
    p.user = "admin";
    p.password = "pa:ss word";
    p.network = {"eth0", "00:11:22:33:44:55", "127.0.3.7", 24, false};
    p.gateway = "127.0.3.1";
    p.dns = {"127.0.3.2", "127.0.3.3"};
    p.httpPort = 8080;
    p.rtspPort = 8554;
    return p;
}

// A token created `skew` seconds away from the device's clock.
o::UsernameToken Token(const OnvifProfile& p, std::int64_t skew = 0, std::uint8_t nonceSeed = 1) {
    o::UsernameToken t{p.user, p.password, {}, o::CreatedTime(kNow, p.behaviour.clockOffset + skew)};
    for (std::uint8_t i = 0; i < 16; ++i) t.nonce.push_back(static_cast<std::uint8_t>(nonceSeed + i));
    return t;
}

HttpRequest Post(std::string body, HttpHeaders headers = {}) {
    return HttpRequest{"POST", kPath, std::move(headers), std::move(body)};
}

o::Fault FaultOf(const HttpResponse& r) {
    o::Fault fault;
    EXPECT_EQ(o::ParseFault(r.body, fault), o::ParseStatus::Fault) << r.body;
    return fault;
}

std::string Subcode(const HttpResponse& r) { return FaultOf(r).subcode.local; }

TEST(OnvifDevice, EveryOperationIsReadBackByTheResponseParsers) {
    OnvifProfile profile = Camera();
    profile.behaviour.clockOffset = -7200;
    profile.behaviour.rebootNeeded = true;
    OnvifDeviceService device(profile, "http://127.0.0.1:8080/onvif/device_service");
    std::uint8_t seed = 0;
    auto call = [&](const std::function<std::string(const o::UsernameToken*)>& build) {
        const o::UsernameToken token = Token(profile, 0, ++seed);
        const HttpResponse r = device.Handle(Post(build(&token)), kNow);
        EXPECT_EQ(r.status, 200) << r.body;
        EXPECT_EQ(HeaderValue(r.headers, "content-type"), "application/soap+xml; charset=utf-8");
        return r.body;
    };
    auto simple = [](o::DeviceRequest request) {
        return [request](const o::UsernameToken* t) { return o::BuildRequest(request, t); };
    };

    o::DateTime utc;
    ASSERT_EQ(o::ParseSystemDateAndTime(device.Handle(Post(o::BuildRequest(o::DeviceRequest::GetSystemDateAndTime,
                                                                           nullptr)), kNow).body, utc),
              o::ParseStatus::Ok);
    EXPECT_EQ(o::UnixSeconds(utc), kNow - 7200);

    o::DeviceInformation info;
    ASSERT_EQ(o::ParseDeviceInformation(call(simple(o::DeviceRequest::GetDeviceInformation)), info),
              o::ParseStatus::Ok);
    EXPECT_EQ(info.manufacturer, "Maker & Co");
    EXPECT_EQ(info.model, "Cam<9>");
    EXPECT_EQ(info.firmwareVersion, "V5.4.1 build 201020");
    EXPECT_EQ(info.serialNumber, "SN0042");
    EXPECT_EQ(info.hardwareId, "HW1");

    std::vector<o::Service> services;
    ASSERT_EQ(o::ParseServices(call(simple(o::DeviceRequest::GetServices)), services), o::ParseStatus::Ok);
    ASSERT_EQ(services.size(), 2u);  // a camera: device and media
    EXPECT_EQ(services[0].ns, "http://www.onvif.org/ver10/device/wsdl");
    EXPECT_EQ(services[0].xaddr, "http://127.0.0.1:8080/onvif/device_service");
    EXPECT_EQ(services[1].ns, "http://www.onvif.org/ver10/media/wsdl");

    o::DnsInformation dns;
    ASSERT_EQ(o::ParseDNS(call(simple(o::DeviceRequest::GetDNS)), dns), o::ParseStatus::Ok);
    EXPECT_EQ(dns.manual, (std::vector<std::string>{"127.0.3.2", "127.0.3.3"}));

    std::vector<o::NetworkProtocol> protocols;
    ASSERT_EQ(o::ParseNetworkProtocols(call(simple(o::DeviceRequest::GetNetworkProtocols)), protocols),
              o::ParseStatus::Ok);
    ASSERT_EQ(protocols.size(), 2u);
    EXPECT_EQ(protocols[0].name, "HTTP");
    EXPECT_EQ(protocols[0].ports, std::vector<int>{8080});
    EXPECT_EQ(protocols[1].name, "RTSP");
    EXPECT_EQ(protocols[1].ports, std::vector<int>{8554});

    // Re-addressing, then reading the new values back.
    bool rebootNeeded = false;
    ASSERT_EQ(o::ParseSetNetworkInterfaces(call([](auto* t) {
                  return o::BuildSetNetworkInterfaces("eth0", "127.0.9.20", 16, t);
              }), rebootNeeded), o::ParseStatus::Ok);
    EXPECT_TRUE(rebootNeeded);
    ASSERT_EQ(o::ParseSetNetworkDefaultGateway(call([](auto* t) {
                  return o::BuildSetNetworkDefaultGateway("127.0.9.1", t);
              })), o::ParseStatus::Ok);

    std::vector<o::NetworkInterface> ifs;
    ASSERT_EQ(o::ParseNetworkInterfaces(call(simple(o::DeviceRequest::GetNetworkInterfaces)), ifs),
              o::ParseStatus::Ok);
    ASSERT_EQ(ifs.size(), 1u);
    EXPECT_EQ(ifs[0].token, "eth0");
    EXPECT_EQ(ifs[0].hwAddress, "00:11:22:33:44:55");
    EXPECT_FALSE(ifs[0].dhcp);
    ASSERT_EQ(ifs[0].manual.size(), 1u);
    EXPECT_EQ(ifs[0].manual[0].address, "127.0.9.20");
    EXPECT_EQ(ifs[0].manual[0].prefixLength, 16);

    std::vector<std::string> gateway;
    ASSERT_EQ(o::ParseNetworkDefaultGateway(call(simple(o::DeviceRequest::GetNetworkDefaultGateway)), gateway),
              o::ParseStatus::Ok);
    EXPECT_EQ(gateway, std::vector<std::string>{"127.0.9.1"});

    std::string message;
    ASSERT_EQ(o::ParseSystemReboot(call(simple(o::DeviceRequest::SystemReboot)), message), o::ParseStatus::Ok);
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(device.reboots(), 1);
}

// GetCapabilities, which clients without GetServices (or whose reading of
// it failed) use to find the service addresses: only the Device category
// exists, and asking for any other service is refused as a whole.
TEST(OnvifDevice, CapabilitiesNameTheDeviceServiceAndNoOther) {
    const struct {
        const char* name;
        const char* categories;
        int status;
        const char* innerSubcode;  // "" for success
    } cases[] = {
        {"no category", "", 200, ""},
        {"All", "<tds:Category>All</tds:Category>", 200, ""},
        {"Device", "<tds:Category>Device</tds:Category>", 200, ""},
        {"Media", "<tds:Category>Media</tds:Category>", 400, "NoSuchService"},
        {"Device and PTZ", "<tds:Category>Device</tds:Category><tds:Category>PTZ</tds:Category>", 400,
         "NoSuchService"},
    };
    constexpr char kAddress[] = "http://127.0.3.7:8080/onvif/device_service";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const OnvifProfile profile = Camera();
        OnvifDeviceService device(profile, kAddress);
        const o::UsernameToken token = Token(profile);
        std::string body = o::BuildRequest(o::DeviceRequest::GetDNS, &token);
        body.replace(body.find("<tds:GetDNS/>"), 13,
                     std::string("<tds:GetCapabilities>") + c.categories + "</tds:GetCapabilities>");
        const HttpResponse r = device.Handle(Post(body), kNow);
        EXPECT_EQ(r.status, c.status);
        const o::XmlDocument doc(r.body, 1 << 20);
        const o::XmlNode* payload = nullptr;
        if (*c.innerSubcode != '\0') {
            EXPECT_EQ(Subcode(r), "ActionNotSupported");
            EXPECT_NE(r.body.find(std::string("ter:") + c.innerSubcode), std::string::npos) << r.body;
            continue;
        }
        ASSERT_EQ(o::OpenResponse(doc, o::ns::kDevice, "GetCapabilitiesResponse", payload, nullptr),
                  o::ParseStatus::Ok) << r.body;
        const o::XmlNode* dev = o::Child(o::Child(payload, o::ns::kDevice, "Capabilities"), o::ns::kSchema, "Device");
        EXPECT_EQ(o::Text(o::Child(dev, o::ns::kSchema, "XAddr")), kAddress);
        const o::XmlNode* version =
            o::Child(o::Child(dev, o::ns::kSchema, "System"), o::ns::kSchema, "SupportedVersions");
        EXPECT_EQ(o::Integer(o::Child(version, o::ns::kSchema, "Major"), 1, 99), 2);
    }
}

struct AuthCase {
    const char* name;
    std::int64_t clockOffset;
    bool refuseLogins;
    // Builds the request; `device` lets a case send an earlier request first.
    std::function<HttpRequest(const OnvifProfile&, OnvifDeviceService& device)> request;
    int status;
    const char* subcode;  // "" for success
};

std::string Info(const o::UsernameToken* token) { return o::BuildRequest(o::DeviceRequest::GetDeviceInformation, token); }

const AuthCase kAuthCases[] = {
    {"right token", 0, false, [](auto& p, auto&) { const auto t = Token(p); return Post(Info(&t)); }, 200, ""},
    {"token on a skewed device clock", 86400, false,
     [](auto& p, auto&) { const auto t = Token(p, -250); return Post(Info(&t)); }, 200, ""},
    {"token by the host's clock, device a day ahead", 86400, false,
     [](auto& p, auto&) {
         o::UsernameToken t = Token(p);
         t.created = o::CreatedTime(kNow, 0);
         return Post(Info(&t));
     }, 400, "NotAuthorized"},
    {"wrong password", 0, false,
     [](auto& p, auto&) {
         o::UsernameToken t = Token(p);
         t.password = "pa:ss word ";
         return Post(Info(&t));
     }, 400, "NotAuthorized"},
    {"wrong user", 0, false,
     [](auto& p, auto&) {
         o::UsernameToken t = Token(p);
         t.user = "Admin";
         return Post(Info(&t));
     }, 400, "NotAuthorized"},
    {"stale created time", 0, false, [](auto& p, auto&) { const auto t = Token(p, -301); return Post(Info(&t)); },
     400, "NotAuthorized"},
    {"created in the future", 0, false, [](auto& p, auto&) { const auto t = Token(p, 301); return Post(Info(&t)); },
     400, "NotAuthorized"},
    {"replayed nonce", 0, false,
     [](auto& p, auto& device) {
         const auto t = Token(p);
         EXPECT_EQ(device.Handle(Post(Info(&t)), kNow).status, 200);
         return Post(Info(&t));
     }, 400, "NotAuthorized"},
    {"device refuses every login", 0, true, [](auto& p, auto&) { const auto t = Token(p); return Post(Info(&t)); },
     400, "NotAuthorized"},
    {"no credentials", 0, false, [](auto&, auto&) { return Post(Info(nullptr)); }, 401, "NotAuthorized"},
    {"garbage Authorization header", 0, false,
     [](auto&, auto&) { return Post(Info(nullptr), {{"Authorization", "Digest username=\"admin\", nonce="}}); }, 401,
     "NotAuthorized"},
};

TEST(OnvifDevice, UsernameTokenIsCheckedAgainstTheDeviceClockAndNonces) {
    for (const AuthCase& c : kAuthCases) {
        SCOPED_TRACE(c.name);
        OnvifProfile profile = Camera();
        profile.behaviour.clockOffset = c.clockOffset;
        profile.behaviour.refuseLogins = c.refuseLogins;
        OnvifDeviceService device(profile, "http://127.0.0.1/onvif/device_service");
        const HttpResponse r = device.Handle(c.request(profile, device), kNow);
        EXPECT_EQ(r.status, c.status);
        if (*c.subcode == '\0') {
            o::DeviceInformation info;
            EXPECT_EQ(o::ParseDeviceInformation(r.body, info), o::ParseStatus::Ok);
            continue;
        }
        const o::Fault fault = FaultOf(r);
        EXPECT_EQ(fault.code, (o::QName{"http://www.w3.org/2003/05/soap-envelope", "Sender"}));
        EXPECT_EQ(fault.subcode, (o::QName{"http://www.onvif.org/ver10/error", c.subcode}));
        // Only HTTP-level refusals carry a challenge, one per algorithm.
        std::vector<std::string> challenges;
        for (const auto& [name, value] : r.headers) {
            if (name == "WWW-Authenticate") challenges.push_back(value);
        }
        EXPECT_EQ(challenges.size(), c.status == 401 ? 2u : 0u);
    }
}

// Values from the worked example of HTTP Digest with SHA-256 and MD5
// (user Mufasa, password "Circle of Life"), computed independently.
constexpr char kRealm[] = "http-auth@example.org";
constexpr char kNonce[] = "7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v";
constexpr char kCnonce[] = "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ";

std::string Authorization(const char* algorithm, const char* response, const char* nc = "00000001",
                          const char* uri = "/dir/index.html") {
    return std::string("Digest username=\"Mufasa\", realm=\"") + kRealm + "\", uri=\"" + uri +
           "\", algorithm=" + algorithm + ", nonce=\"" + kNonce + "\", nc=" + nc + ", cnonce=\"" + kCnonce +
           "\", qop=auth, response=\"" + response + "\", opaque=\"FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS\"";
}

constexpr char kMd5[] = "8ca523f5e9506fed4657c9700eebdbec";
constexpr char kSha256[] = "753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1";

TEST(OnvifDigest, KnownResponsesPassAndEveryAlteredFieldFails) {
    const struct {
        const char* name;
        std::string header;
        std::int64_t age;  // seconds between challenge and answer
        const char* method;
        std::vector<DigestCheck> results;  // for the same header sent again and again
    } cases[] = {
        {"MD5", Authorization("MD5", kMd5), 0, "GET", {DigestCheck::Ok, DigestCheck::Refused}},
        {"SHA-256", Authorization("SHA-256", kSha256), 10, "GET", {DigestCheck::Ok, DigestCheck::Refused}},
        {"algorithm swapped", Authorization("SHA-256", kMd5), 0, "GET", {DigestCheck::Refused}},
        {"other method", Authorization("MD5", kMd5), 0, "POST", {DigestCheck::Refused}},
        {"other uri", Authorization("MD5", kMd5, "00000001", "/dir/index.htm"), 0, "GET", {DigestCheck::Refused}},
        {"nonce expired", Authorization("MD5", kMd5), HttpDigest::kNonceLifetime + 1, "GET", {DigestCheck::Stale}},
        {"not digest", "Basic TXVmYXNhOkNpcmNsZSBvZiBMaWZl", 0, "GET", {DigestCheck::Refused}},
        {"none", "", 0, "GET", {DigestCheck::Absent}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HttpDigest digest(kRealm, [] { return std::string(kNonce); });
        const std::vector<std::string> challenge = digest.Challenge(kNow);
        ASSERT_EQ(challenge.size(), 2u);
        EXPECT_NE(challenge[0].find("algorithm=SHA-256"), std::string::npos);
        EXPECT_NE(challenge[1].find(std::string("nonce=\"") + kNonce + "\""), std::string::npos);
        for (const DigestCheck expected : c.results) {
            EXPECT_EQ(digest.Check(c.method, "/dir/index.html", c.header, "Mufasa", "Circle of Life", kNow + c.age),
                      expected);
        }
    }
    // A nonce the device never issued is stale, not a password failure.
    HttpDigest fresh(kRealm, [] { return std::string("other"); });
    fresh.Challenge(kNow);
    EXPECT_EQ(fresh.Check("GET", "/dir/index.html", Authorization("MD5", kMd5), "Mufasa", "Circle of Life", kNow),
              DigestCheck::Stale);
}

TEST(OnvifDevice, DigestChallengeThenAnswerThroughTheService) {
    OnvifDeviceService device(Camera(), "http://127.0.0.1/onvif/device_service", [] { return std::string("n0nce"); });
    const HttpResponse challenge = device.Handle(Post(Info(nullptr)), kNow);
    ASSERT_EQ(challenge.status, 401);
    const std::string realm = "device@SN0042";
    auto answer = [&](const std::string& password, const char* nc) {
        const std::string ha1 = DigestHex("SHA-256", "admin:" + realm + ":" + password);
        const std::string ha2 = DigestHex("SHA-256", std::string("POST:") + kPath);
        const std::string response = DigestHex("SHA-256", ha1 + ":n0nce:" + nc + ":abc:auth:" + ha2);
        return Post(Info(nullptr), {{"authorization", "Digest username=\"admin\", realm=\"" + realm +
                                                          "\", nonce=\"n0nce\", uri=\"" + kPath +
                                                          "\", algorithm=SHA-256, qop=auth, nc=" + nc +
                                                          ", cnonce=\"abc\", response=\"" + response + "\""}});
    };
    EXPECT_EQ(device.Handle(answer("pa:ss word", "00000001"), kNow + 5).status, 200);
    EXPECT_EQ(device.Handle(answer("pa:ss word", "00000002"), kNow + 6).status, 200);
    EXPECT_EQ(device.Handle(answer("pa:ss word", "00000002"), kNow + 7).status, 401);
    EXPECT_EQ(device.Handle(answer("password", "00000003"), kNow + 8).status, 401);
    HttpRequest empty = answer("pa:ss word", "00000004");
    empty.body.clear();
    EXPECT_EQ(Subcode(device.Handle(empty, kNow + 9)), "WellFormed");
    const HttpResponse stale = device.Handle(answer("pa:ss word", "00000005"), kNow + 400);
    EXPECT_EQ(stale.status, 401);
    EXPECT_NE(HeaderValue(stale.headers, "WWW-Authenticate").find("stale=true"), std::string::npos);
}

TEST(OnvifDevice, BadValuesAndUnknownRequestsAreRefusedAndChangeNothing) {
    const struct {
        const char* name;
        std::function<std::string(const o::UsernameToken*)> build;
        int status;
        const char* subcode;
    } cases[] = {
        {"address out of range", [](auto* t) { return o::BuildSetNetworkInterfaces("eth0", "300.1.1.1", 24, t); },
         400, "InvalidArgVal"},
        {"multicast address", [](auto* t) { return o::BuildSetNetworkInterfaces("eth0", "224.0.0.9", 24, t); }, 400,
         "InvalidArgVal"},
        {"zero address", [](auto* t) { return o::BuildSetNetworkInterfaces("eth0", "0.0.0.0", 24, t); }, 400,
         "InvalidArgVal"},
        {"prefix too long", [](auto* t) { return o::BuildSetNetworkInterfaces("eth0", "127.0.9.9", 33, t); }, 400,
         "InvalidArgVal"},
        {"unknown interface", [](auto* t) { return o::BuildSetNetworkInterfaces("wlan0", "127.0.9.9", 24, t); }, 400,
         "InvalidArgVal"},
        {"gateway not an address", [](auto* t) { return o::BuildSetNetworkDefaultGateway("gw.local", t); }, 400,
         "InvalidArgVal"},
        {"broadcast gateway", [](auto* t) { return o::BuildSetNetworkDefaultGateway("255.255.255.255", t); }, 400,
         "InvalidArgVal"},
        {"unknown operation",
         [](auto* t) {
             std::string body = o::BuildRequest(o::DeviceRequest::GetDNS, t);
             return body.replace(body.find("GetDNS"), 6, "GetUsers");
         }, 400, "ActionNotSupported"},
        {"not XML, no HTTP credentials", [](auto*) { return std::string("<Envelope"); }, 401, "NotAuthorized"},
        {"SOAP 1.1 envelope",
         [](auto*) {
             return std::string("<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body>"
                                "<GetDNS xmlns=\"http://www.onvif.org/ver10/device/wsdl\"/></e:Body></e:Envelope>");
         }, 401, "NotAuthorized"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const OnvifProfile before = Camera();
        OnvifDeviceService device(before, "http://127.0.0.1/onvif/device_service");
        const o::UsernameToken token = Token(before);
        const HttpResponse r = device.Handle(Post(c.build(&token)), kNow);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(Subcode(r), c.subcode);
        EXPECT_EQ(device.profile().network.address, before.network.address);
        EXPECT_EQ(device.profile().network.prefixLength, before.network.prefixLength);
        EXPECT_EQ(device.profile().gateway, before.gateway);
    }
    OnvifDeviceService device(Camera(), "http://127.0.0.1/onvif/device_service");
    const std::string body = o::BuildRequest(o::DeviceRequest::GetSystemDateAndTime, nullptr);
    EXPECT_EQ(device.Handle(HttpRequest{"POST", "/onvif/media_service", {}, body}, kNow).status, 404);
    EXPECT_EQ(device.Handle(HttpRequest{"GET", kPath, {}, body}, kNow).status, 405);
    EXPECT_EQ(device.Handle(Post(std::string(kRequestBodyLimit + 1, ' ')), kNow).status, 413);
}

}  // namespace
