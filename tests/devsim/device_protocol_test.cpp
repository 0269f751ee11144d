// The device side of the protocol driven directly, for the cases a real
// SDK never produces: frames out of turn, strangers guessing, replays,
// stale or altered exchanges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

#include "devsim/control_session.h"
#include "devsim/discovery_responder.h"
#include "devsim/fleet_generator.h"
#include "netsdk/wire/auth.h"
#include "netsdk/wire/header.h"

namespace {

using namespace std::chrono_literals;
namespace sp = wire::spake2;

constexpr std::uint32_t kAdmin = 0x7F000001u;
constexpr std::uint32_t kStranger = 0x7F000002u;

devsim::DeviceState Camera() {
    devsim::GeneratorOptions options;
    options.count = 1;
    options.camerasOnly = true;
    return devsim::DeviceState(devsim::GenerateFleet(options).devices[0]);
}

template <typename Message>
bool BodyAs(const wire::Bytes& packet, Message& out) {
    return packet.size() >= wire::kHeaderSize &&
           wire::Decode(std::span<const std::uint8_t>(packet).subspan(wire::kHeaderSize), out);
}

// A client of one control connection, as the SDK runs it, fed byte by
// byte. `finish` false: the client stops once it has the device's
// confirmation, as a guesser does.
struct LoginAttempt {
    std::optional<wire::Status> confirmStatus;  // what the confirmation said
    bool deviceProved = false;                  // its confirmation matched our keys
    std::optional<wire::Status> resultStatus;
};

LoginAttempt TryLogin(devsim::DeviceState& device, std::uint32_t peer, const char* user, const char* password,
                      devsim::SimClock::time_point now, bool finish = true) {
    LoginAttempt attempt;
    devsim::ControlSession session(device, peer);
    auto feed = [&](const wire::Bytes& frame) {
        devsim::ControlSession::Output out;
        for (std::uint8_t byte : frame) session.OnBytes({&byte, 1}, now, out);
        return out;
    };
    wire::LoginStart start;
    std::snprintf(start.user, sizeof start.user, "%s", user);
    auto out = feed(wire::Encode(start));
    wire::LoginParams params;
    if (out.frames.size() != 1 || !BodyAs(out.frames[0], params)) return attempt;
    sp::ProverSecret secret;
    sp::Prover prover;
    wire::LoginShare share;
    if (!sp::DeriveProverSecret(password, user, "", params.params, secret) || !prover.Start(secret, share.shareP)) {
        return attempt;
    }
    out = feed(wire::Encode(share));
    wire::LoginConfirm confirm;
    if (out.frames.size() != 1 || !BodyAs(out.frames[0], confirm)) return attempt;
    attempt.confirmStatus = confirm.status;
    if (confirm.status != wire::Status::Ok) return attempt;
    sp::Keys keys;
    const wire::Bytes context = wire::LoginContext(params.params);
    attempt.deviceProved = prover.Finish({context, user, ""}, confirm.shareV, keys) &&
                           sp::ConfirmV(keys, share.shareP) == confirm.confirmV;
    if (!finish) return attempt;
    wire::LoginFinish fin;
    fin.confirmP = sp::ConfirmP(keys, confirm.shareV);
    out = feed(wire::Encode(fin));
    wire::LoginResult result;
    if (out.frames.size() == 1 && BodyAs(out.frames[0], result) &&
        wire::MacOf(keys.shared, wire::LoginResultMacBytes(result)) == result.mac) {
        attempt.resultStatus = result.status;
    }
    return attempt;
}

TEST(ControlSession, FramesOutOfTurnOrGarbageCloseTheConnection) {
    const wire::Bytes inputs[] = {
        wire::Encode(wire::ConfigRequest{533, 0}),  // before login
        wire::Encode(wire::LoginShare{}),           // a share before the start
        wire::Encode(wire::LoginFinish{}),          // a confirmation without an exchange
        wire::Encode(wire::Probe{}),                // a datagram type on the stream
        wire::Bytes{'G', 'E', 'T', ' ', '/'},
    };
    for (const wire::Bytes& input : inputs) {
        devsim::DeviceState device = Camera();
        devsim::ControlSession session(device, kAdmin);
        devsim::ControlSession::Output out;
        session.OnBytes(input, devsim::SimClock::now(), out);
        EXPECT_TRUE(out.close);
        EXPECT_TRUE(out.frames.empty());
    }
}

TEST(ControlSession, TheRightPasswordLogsInEvenInSingleBytesAndTheDeviceKeepsNoPassword) {
    devsim::DeviceState device = Camera();
    EXPECT_TRUE(device.profile.password.empty());
    ASSERT_TRUE(device.profile.verifier.has_value());
    const LoginAttempt attempt = TryLogin(device, kAdmin, "admin", "tarnwick", devsim::SimClock::now());
    EXPECT_TRUE(attempt.deviceProved);
    EXPECT_EQ(attempt.resultStatus, wire::Status::Ok);
}

TEST(ControlSession, AStrangersGuessesBackOffOnlyTheStranger) {
    devsim::DeviceState device = Camera();
    const auto now = devsim::SimClock::now();
    // Guesses that stop at the device's confirmation count too: that is
    // where a guess is tested.
    for (int i = 0; i < 5; ++i) {
        const LoginAttempt guess = TryLogin(device, kStranger, "admin", "guess", now, i % 2 == 0);
        EXPECT_EQ(guess.confirmStatus, wire::Status::Ok);
        EXPECT_FALSE(guess.deviceProved);
    }
    EXPECT_EQ(TryLogin(device, kStranger, "admin", "tarnwick", now).confirmStatus, wire::Status::RateLimited);
    EXPECT_EQ(TryLogin(device, kAdmin, "admin", "tarnwick", now).resultStatus, wire::Status::Ok);
    // The back-off ends, and grows with each further failure.
    EXPECT_EQ(TryLogin(device, kStranger, "admin", "guess", now + 31s).confirmStatus, wire::Status::Ok);
    EXPECT_EQ(TryLogin(device, kStranger, "admin", "tarnwick", now + 62s).confirmStatus, wire::Status::RateLimited);
    EXPECT_EQ(TryLogin(device, kStranger, "admin", "tarnwick", now + 93s).resultStatus, wire::Status::Ok);
}

TEST(ControlSession, AnUnknownUserLooksLikeAKnownOneAndFails) {
    devsim::DeviceState device = Camera();
    const auto now = devsim::SimClock::now();
    const LoginAttempt unknown = TryLogin(device, kAdmin, "root", "tarnwick", now);
    EXPECT_EQ(unknown.confirmStatus, wire::Status::Ok);
    EXPECT_FALSE(unknown.deviceProved);
    bool known = true;
    const sp::PbkdfParams first = device.ParamsFor("root", known);
    EXPECT_FALSE(known);
    EXPECT_EQ(device.ParamsFor("root", known).salt, first.salt);  // the same at every ask
    EXPECT_NE(device.ParamsFor("guest", known).salt, first.salt);
}

// The modify exchange over datagrams, as the SDK runs it.
class ResponderTest : public ::testing::Test {
public:
    ResponderTest() { devices_.push_back(Camera()); }

    std::vector<devsim::Outgoing> Send(const wire::Bytes& datagram, devsim::SimClock::time_point now,
                                       std::uint32_t from = kAdmin) {
        std::vector<devsim::Outgoing> out;
        responder_.Handle(datagram, from, 5555, now, out);
        return out;
    }

    // Hello and share; true when the device proved the key.
    bool Exchange(devsim::SimClock::time_point now, const char* password = "tarnwick") {
        wire::ModifyHello hello;
        hello.token = token_;
        hello.id = devices_[0].Id();
        std::memcpy(hello.user, "admin", 6);
        auto out = Send(wire::Encode(hello), now);
        wire::ModifyParams params;
        if (out.size() != 1 || !BodyAs(out[0].bytes, params)) return false;
        sp::ProverSecret secret;
        wire::ModifyShare share;
        share.token = token_;
        share.id = hello.id;
        if (!sp::DeriveProverSecret(password, "admin", "", params.params, secret) ||
            !prover_.Start(secret, share.shareP)) {
            return false;
        }
        out = Send(wire::Encode(share), now);
        wire::ModifyConfirm confirm;
        if (out.size() != 1 || !BodyAs(out[0].bytes, confirm) || confirm.status != wire::Status::Ok) return false;
        const wire::Bytes context = wire::ModifyContext(params.params, token_, hello.id);
        shareV_ = confirm.shareV;
        return prover_.Finish({context, "admin", ""}, confirm.shareV, keys_) &&
               sp::ConfirmV(keys_, share.shareP) == confirm.confirmV;
    }

    wire::ModifyRequest Request(const char* ip = "127.1.2.3") const {
        wire::ModifyRequest request;
        request.token = token_;
        request.id = devices_[0].Id();
        request.confirmP = sp::ConfirmP(keys_, shareV_);
        std::snprintf(request.ip, sizeof request.ip, "%s", ip);
        std::snprintf(request.mask, sizeof request.mask, "%s", "255.0.0.0");
        std::snprintf(request.gw, sizeof request.gw, "%s", "127.0.0.1");
        request.mac = wire::MacOf(keys_.shared, wire::ModifyRequestMacBytes(request));
        return request;
    }

    // The result's status, when its MAC is under the exchange's key.
    std::optional<wire::Status> ResultOf(const std::vector<devsim::Outgoing>& out) const {
        wire::ModifyResult result;
        if (out.size() != 1 || !BodyAs(out[0].bytes, result) ||
            wire::MacOf(keys_.shared, wire::ModifyResultMacBytes(result)) != result.mac) {
            return std::nullopt;
        }
        return result.status;
    }

    std::vector<devsim::DeviceState> devices_;
    int applied_ = 0;
    devsim::DiscoveryResponder responder_{devices_, [this](std::size_t, const wire::ModifyRequest&) {
                                              ++applied_;
                                              return true;
                                          }};
    wire::Token token_{9};
    sp::Prover prover_;
    sp::Keys keys_;
    sp::Share shareV_{};
};

TEST_F(ResponderTest, ARepeatedRequestIsAnsweredAgainButAppliedOnce) {
    const auto now = devsim::SimClock::now();
    ASSERT_TRUE(Exchange(now));
    const wire::ModifyRequest request = Request();
    const auto first = Send(wire::Encode(request), now);
    EXPECT_EQ(ResultOf(first), wire::Status::Ok);
    const auto again = Send(wire::Encode(request), now);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].bytes, first[0].bytes);
    EXPECT_EQ(applied_, 1);
}

TEST_F(ResponderTest, StaleForeignOrAlteredRequestsChangeNothing) {
    const auto now = devsim::SimClock::now();
    struct Case {
        const char* what;
        std::function<std::vector<devsim::Outgoing>(ResponderTest&)> send;
    };
    const Case cases[] = {
        {"an expired exchange", [&](ResponderTest& t) { return t.Send(wire::Encode(t.Request()), now + 11s); }},
        {"from another source", [&](ResponderTest& t) { return t.Send(wire::Encode(t.Request()), now, kStranger); }},
        {"an address changed after the MAC", [&](ResponderTest& t) {
             wire::ModifyRequest request = t.Request();
             std::snprintf(request.ip, sizeof request.ip, "%s", "127.9.9.9");
             return t.Send(wire::Encode(request), now);
         }},
        {"a wrong confirmation", [&](ResponderTest& t) {
             wire::ModifyRequest request = t.Request();
             request.confirmP[0] ^= 1;
             request.mac = wire::MacOf(t.keys_.shared, wire::ModifyRequestMacBytes(request));
             return t.Send(wire::Encode(request), now);
         }},
    };
    for (const Case& c : cases) {
        token_[0] = static_cast<std::uint8_t>(token_[0] + 1);
        ASSERT_TRUE(Exchange(now)) << c.what;
        const auto out = c.send(*this);
        EXPECT_NE(ResultOf(out), wire::Status::Ok) << c.what;
    }
    // A request without any exchange draws nothing at all.
    token_.fill(0x77);
    EXPECT_TRUE(Send(wire::Encode(Request()), now).empty());
    EXPECT_EQ(applied_, 0);
}

TEST_F(ResponderTest, ABadShareLeavesNothingToFinish) {
    const auto now = devsim::SimClock::now();
    wire::ModifyHello hello;
    hello.token = token_;
    hello.id = devices_[0].Id();
    std::memcpy(hello.user, "admin", 6);
    ASSERT_EQ(Send(wire::Encode(hello), now).size(), 1u);
    wire::ModifyShare share;  // all zeros: no point of the curve
    share.token = token_;
    share.id = hello.id;
    EXPECT_TRUE(Send(wire::Encode(share), now).empty());
    // A request under the all-zero keys an unfinished exchange would hold.
    keys_ = {};
    shareV_ = {};
    EXPECT_TRUE(Send(wire::Encode(Request()), now).empty());
    EXPECT_EQ(applied_, 0);
}

TEST_F(ResponderTest, AWrongPasswordNeverSeesTheDeviceProveTheKey) {
    EXPECT_FALSE(Exchange(devsim::SimClock::now(), "guess"));
    EXPECT_EQ(applied_, 0);
}

TEST_F(ResponderTest, ProbesAreAnsweredPerBehaviourAndCarryNoCredentials) {
    devices_[0].profile.behaviour.duplicateAnswers = 2;
    devices_[0].profile.behaviour.answerDelayMs = 40;
    devices_[0].profile.behaviour.lateAnswerMs = 900;
    const auto out = Send(wire::Encode(wire::Probe{}), devsim::SimClock::now());
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].delayMs, 40);
    EXPECT_EQ(out[3].delayMs, 900);
    const std::string password = "tarnwick";
    EXPECT_EQ(std::search(out[0].bytes.begin(), out[0].bytes.end(), password.begin(), password.end()),
              out[0].bytes.end());
    devices_[0].gone = true;
    EXPECT_TRUE(Send(wire::Encode(wire::Probe{}), devsim::SimClock::now()).empty());
}

}  // namespace
