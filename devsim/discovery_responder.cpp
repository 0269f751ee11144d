#include "devsim/discovery_responder.h"

#include <arpa/inet.h>

#include <cstring>

#include "devsim/address_rules.h"
#include "netsdk/wire/auth.h"
#include "netsdk/wire/header.h"

namespace devsim {
namespace {

constexpr std::chrono::seconds kChallengeLifetime{10};

bool IsLoopbackText(const char* text) {
    in_addr parsed{};
    return inet_pton(AF_INET, text, &parsed) == 1 && IsLoopback(ntohl(parsed.s_addr));
}

}  // namespace

void DiscoveryResponder::Handle(std::span<const std::uint8_t> datagram, std::uint32_t fromAddress,
                                std::uint16_t fromPort, SimClock::time_point now,
                                std::vector<Outgoing>& out) {
    wire::Header header;
    std::span<const std::uint8_t> body;
    if (!wire::OpenDatagram(datagram, header, body)) return;
    switch (header.type) {
        case wire::MsgType::Probe: return OnProbe(body, fromAddress, fromPort, out);
        case wire::MsgType::ModifyHello: return OnHello(body, fromAddress, fromPort, now, out);
        case wire::MsgType::ModifyRequest: return OnRequest(body, fromAddress, fromPort, now, out);
        default: return;  // answers and results are for the SDK, not for devices
    }
}

DeviceState* DiscoveryResponder::Find(const wire::DeviceId& id, std::size_t& index) {
    for (index = 0; index < devices_.size(); ++index) {
        if (!devices_[index].gone && wire::SameDevice(devices_[index].Id(), id)) return &devices_[index];
    }
    return nullptr;
}

void DiscoveryResponder::OnProbe(std::span<const std::uint8_t> body, std::uint32_t address,
                                 std::uint16_t port, std::vector<Outgoing>& out) {
    wire::Probe probe;
    if (!wire::Decode(body, probe)) return;
    for (const DeviceState& device : devices_) {
        if (device.gone) continue;
        wire::Answer answer;
        answer.token = probe.token;
        answer.record = device.profile.record;
        std::memset(answer.record.user, 0, sizeof answer.record.user);
        std::memset(answer.record.password, 0, sizeof answer.record.password);
        const wire::Bytes bytes = wire::Encode(answer);
        const Behaviour& b = device.profile.behaviour;
        for (int copy = 0; copy <= b.duplicateAnswers; ++copy) {
            out.push_back({address, port, b.answerDelayMs, bytes});
        }
        if (b.lateAnswerMs > 0) out.push_back({address, port, b.lateAnswerMs, bytes});
    }
}

void DiscoveryResponder::OnHello(std::span<const std::uint8_t> body, std::uint32_t address,
                                 std::uint16_t port, SimClock::time_point now, std::vector<Outgoing>& out) {
    wire::ModifyHello hello;
    std::size_t index = 0;
    if (!wire::Decode(body, hello)) return;
    DeviceState* device = Find(hello.id, index);
    if (device == nullptr) return;  // another fleet's device, or none
    PendingModify pending;
    pending.token = hello.token;
    pending.expires = now + kChallengeLifetime;
    if (!wire::crypto::RandomBytes(pending.nonce)) return;
    device->pendingModify = pending;
    wire::ModifyChallenge challenge;
    challenge.token = hello.token;
    challenge.id = hello.id;
    challenge.nonce = pending.nonce;
    out.push_back({address, port, 0, wire::Encode(challenge)});
}

void DiscoveryResponder::OnRequest(std::span<const std::uint8_t> body, std::uint32_t address,
                                   std::uint16_t port, SimClock::time_point now,
                                   std::vector<Outgoing>& out) {
    wire::ModifyRequest request;
    std::size_t index = 0;
    if (!wire::Decode(body, request)) return;
    DeviceState* device = Find(request.id, index);
    if (device == nullptr) return;
    // A repeated request (its result was lost) gets the same answer again.
    if (device->completedModify && device->completedModify->token == request.token &&
        device->completedModify->nonce == request.nonce) {
        out.push_back({address, port, 0, device->completedModify->reply});
        return;
    }
    wire::ModifyResult result;
    result.token = request.token;
    result.id = request.id;
    result.status = Decide(index, request, now);
    // By index: applying the change may have rewritten the device's record.
    result.proof = wire::MakeModifyResultProof(devices_[index].profile.password, result, request.nonce);
    const wire::Bytes reply = wire::Encode(result);
    devices_[index].completedModify = CompletedModify{request.token, request.nonce, reply};
    out.push_back({address, port, 0, reply});
}

wire::Status DiscoveryResponder::Decide(std::size_t index, const wire::ModifyRequest& request,
                                        SimClock::time_point now) {
    DeviceState& device = devices_[index];
    const std::optional<PendingModify> pending = device.pendingModify;
    device.pendingModify.reset();  // a challenge answers one request only
    if (!device.limiter.Allowed(now)) return wire::Status::RateLimited;
    const bool fresh = pending && pending->token == request.token && pending->nonce == request.nonce &&
                       now < pending->expires;
    const wire::Proof expected = wire::MakeModifyRequestProof(device.profile.password, request);
    if (!fresh || wire::FieldText(request.user) != device.profile.user ||
        !wire::ProofMatches(expected, request.proof)) {
        device.limiter.RecordFailure(now);
        return wire::Status::AuthFailed;
    }
    device.limiter.RecordSuccess();
    const bool onLoopback = IsLoopbackText(device.profile.record.eth0.ip);
    if (!ValidNetworkSettings(request.ip, request.mask, request.gw, onLoopback)) {
        return wire::Status::InvalidAddress;
    }
    return apply_(index, request) ? wire::Status::Ok : wire::Status::Failed;
}

}  // namespace devsim
