// The device side of the protocol driven directly, for the cases a real
// SDK never produces: frames out of turn, replays, stale challenges.
#include <gtest/gtest.h>

#include <cstring>

#include "devsim/control_session.h"
#include "devsim/discovery_responder.h"
#include "devsim/fleet_generator.h"
#include "netsdk/wire/auth.h"
#include "netsdk/wire/header.h"

namespace {

using namespace std::chrono_literals;

devsim::DeviceState Camera() {
    devsim::GeneratorOptions options;
    options.count = 1;
    options.camerasOnly = true;
    return devsim::DeviceState(devsim::GenerateFleet(options).devices[0]);
}

TEST(ControlSession, FramesOutOfTurnOrGarbageCloseTheConnection) {
    const wire::Bytes inputs[] = {
        wire::Encode(wire::ConfigRequest{533, 0}),  // before login
        wire::Encode(wire::LoginProof{}),           // proof without a challenge
        wire::Encode(wire::Probe{}),                // a datagram type on the stream
        wire::Bytes{'G', 'E', 'T', ' ', '/'},
    };
    for (const wire::Bytes& input : inputs) {
        devsim::DeviceState device = Camera();
        devsim::ControlSession session(device);
        devsim::ControlSession::Output out;
        session.OnBytes(input, devsim::SimClock::now(), out);
        EXPECT_TRUE(out.close);
        EXPECT_TRUE(out.frames.empty());
    }
}

TEST(ControlSession, ALoginSplitIntoSingleBytesStillWorks) {
    devsim::DeviceState device = Camera();
    devsim::ControlSession session(device);
    wire::LoginStart start;
    std::memcpy(start.user, "admin", 6);
    start.clientNonce.fill(3);
    devsim::ControlSession::Output out;
    for (std::uint8_t byte : wire::Encode(start)) session.OnBytes({&byte, 1}, devsim::SimClock::now(), out);
    ASSERT_EQ(out.frames.size(), 1u);
    wire::LoginChallenge challenge;
    ASSERT_TRUE(wire::Decode(std::span<const std::uint8_t>(out.frames[0]).subspan(wire::kHeaderSize), challenge));
    wire::LoginProof proof;
    proof.proof = wire::MakeLoginProof(device.profile.password, challenge.nonce, start.clientNonce, "admin");
    devsim::ControlSession::Output result;
    session.OnBytes(wire::Encode(proof), devsim::SimClock::now(), result);
    ASSERT_EQ(result.frames.size(), 1u);
    EXPECT_EQ(result.frames[0][wire::kHeaderSize], static_cast<std::uint8_t>(wire::Status::Ok));
    EXPECT_FALSE(result.close);
}

class ResponderTest : public ::testing::Test {
protected:
    ResponderTest() {
        devices_.push_back(Camera());
    }
    std::vector<devsim::Outgoing> Send(const wire::Bytes& datagram, devsim::SimClock::time_point now) {
        std::vector<devsim::Outgoing> out;
        responder_.Handle(datagram, 0x7F000001u, 5555, now, out);
        return out;
    }
    wire::ModifyRequest Request(const wire::ModifyChallenge& challenge) {
        wire::ModifyRequest request;
        request.token = challenge.token;
        request.id = challenge.id;
        request.nonce = challenge.nonce;
        std::memcpy(request.user, "admin", 6);
        std::snprintf(request.ip, sizeof request.ip, "%s", "127.1.2.3");
        std::snprintf(request.mask, sizeof request.mask, "%s", "255.0.0.0");
        std::snprintf(request.gw, sizeof request.gw, "%s", "127.0.0.1");
        request.proof = wire::MakeModifyRequestProof(devices_[0].profile.password, request);
        return request;
    }
    wire::ModifyChallenge Hello(devsim::SimClock::time_point now) {
        wire::ModifyHello hello;
        hello.token.fill(9);
        hello.id = devices_[0].Id();
        const auto out = Send(wire::Encode(hello), now);
        wire::ModifyChallenge challenge;
        EXPECT_EQ(out.size(), 1u);
        if (!out.empty()) {
            wire::Decode(std::span<const std::uint8_t>(out[0].bytes).subspan(wire::kHeaderSize), challenge);
        }
        return challenge;
    }
    static wire::Status StatusOf(const std::vector<devsim::Outgoing>& out) {
        wire::ModifyResult result;
        EXPECT_EQ(out.size(), 1u);
        if (out.empty() || !wire::Decode(std::span<const std::uint8_t>(out[0].bytes).subspan(wire::kHeaderSize), result)) {
            return wire::Status::Failed;
        }
        return result.status;
    }

    std::vector<devsim::DeviceState> devices_;
    int applied_ = 0;
    devsim::DiscoveryResponder responder_{devices_, [this](std::size_t, const wire::ModifyRequest&) {
                                              ++applied_;
                                              return true;
                                          }};
};

TEST_F(ResponderTest, ARepeatedRequestIsAnsweredAgainButAppliedOnce) {
    const auto now = devsim::SimClock::now();
    const wire::ModifyRequest request = Request(Hello(now));
    const auto first = Send(wire::Encode(request), now);
    EXPECT_EQ(StatusOf(first), wire::Status::Ok);
    const auto again = Send(wire::Encode(request), now);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].bytes, first[0].bytes);
    EXPECT_EQ(applied_, 1);
}

TEST_F(ResponderTest, StaleOrReusedChallengesAndAlteredRequestsFail) {
    const auto now = devsim::SimClock::now();
    // Expired challenge.
    wire::ModifyRequest request = Request(Hello(now));
    EXPECT_EQ(StatusOf(Send(wire::Encode(request), now + 11s)), wire::Status::AuthFailed);
    // Signed for one address, sent with another.
    request = Request(Hello(now));
    std::snprintf(request.ip, sizeof request.ip, "%s", "127.9.9.9");
    EXPECT_EQ(StatusOf(Send(wire::Encode(request), now)), wire::Status::AuthFailed);
    // A request without any challenge.
    wire::ModifyChallenge made{};
    made.id = devices_[0].Id();
    EXPECT_EQ(StatusOf(Send(wire::Encode(Request(made)), now)), wire::Status::AuthFailed);
    EXPECT_EQ(applied_, 0);
}

TEST_F(ResponderTest, ProbesAreAnsweredPerBehaviourAndCarryNoPassword) {
    devices_[0].profile.behaviour.duplicateAnswers = 2;
    devices_[0].profile.behaviour.answerDelayMs = 40;
    devices_[0].profile.behaviour.lateAnswerMs = 900;
    const auto out = Send(wire::Encode(wire::Probe{}), devsim::SimClock::now());
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].delayMs, 40);
    EXPECT_EQ(out[3].delayMs, 900);
    const std::string password = devices_[0].profile.password;
    EXPECT_EQ(std::search(out[0].bytes.begin(), out[0].bytes.end(), password.begin(), password.end()),
              out[0].bytes.end());
    devices_[0].gone = true;
    EXPECT_TRUE(Send(wire::Encode(wire::Probe{}), devsim::SimClock::now()).empty());
}

}  // namespace
