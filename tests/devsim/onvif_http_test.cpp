// The simulated ONVIF device on a real loopback socket, asked by libcurl as
// the SDK will ask it: HTTP Digest negotiated by curl itself, the answer read
// by the SDK's parser, a re-addressing seen in the device's profile.
#include "tests/devsim/soap_post.h"
#include <gtest/gtest.h>

#include "devsim/onvif/http_server.h"
#include "netsdk/onvif/requests.h"
#include "netsdk/onvif/responses.h"

namespace {

using namespace devsim;

using soap_test::Reply;

// One POST with curl's Digest handling; status 0 if curl itself failed.
Reply PostDigest(int port, const std::string& user, const std::string& password, const std::string& body) {
    const soap_test::DigestLogin login{user, password};
    return soap_test::Post("http://127.0.0.1:" + std::to_string(port) + "/onvif/device_service", body, &login);
}

OnvifProfile Camera() {
    OnvifProfile p;
    p.manufacturer = "Maker";
    p.model = "Cam-1";
    p.firmwareVersion = "V1.2";
    p.serialNumber = "SN77";
    p.user = "admin";
    p.password = "loopback only";
    p.network = {"eth0", "00:11:22:33:44:66", "127.0.4.2", 24, false};
    p.gateway = "127.0.4.1";
    return p;
}

TEST(OnvifHttp, DigestAuthenticatedRequestsOverLoopback) {
    ASSERT_EQ(curl_global_init(CURL_GLOBAL_DEFAULT), CURLE_OK);
    OnvifHttpServer server(Camera());
    ASSERT_TRUE(server.Start("127.0.0.1", 0));
    ASSERT_GT(server.port(), 0);

    const Reply info =
        PostDigest(server.port(), "admin", "loopback only",
                   onvif::BuildRequest(onvif::DeviceRequest::GetDeviceInformation, nullptr));
    ASSERT_EQ(info.status, 200) << info.body;
    onvif::DeviceInformation parsed;
    ASSERT_EQ(onvif::ParseDeviceInformation(info.body, parsed), onvif::ParseStatus::Ok);
    EXPECT_EQ(parsed.model, "Cam-1");
    EXPECT_EQ(parsed.serialNumber, "SN77");

    const Reply refused = PostDigest(server.port(), "admin", "guess",
                                     onvif::BuildRequest(onvif::DeviceRequest::GetDeviceInformation, nullptr));
    EXPECT_EQ(refused.status, 401);
    onvif::Fault fault;
    EXPECT_EQ(onvif::ParseFault(refused.body, fault), onvif::ParseStatus::Fault);
    EXPECT_EQ(fault.subcode.local, "NotAuthorized");

    const Reply set = PostDigest(server.port(), "admin", "loopback only",
                                 onvif::BuildSetNetworkInterfaces("eth0", "127.0.4.9", 25, nullptr));
    bool rebootNeeded = true;
    ASSERT_EQ(onvif::ParseSetNetworkInterfaces(set.body, rebootNeeded), onvif::ParseStatus::Ok) << set.body;
    EXPECT_FALSE(rebootNeeded);
    EXPECT_EQ(server.Profile().network.address, "127.0.4.9");
    EXPECT_EQ(server.Profile().network.prefixLength, 25);

    // A body over the limit is refused before the handler sees it.
    const Reply large = PostDigest(server.port(), "admin", "loopback only", std::string(kRequestBodyLimit + 1, 'x'));
    EXPECT_EQ(large.status, 413);

    server.Stop();
    curl_global_cleanup();
}

}  // namespace
