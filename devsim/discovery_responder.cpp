#include "devsim/discovery_responder.h"

#include <arpa/inet.h>

#include <cstring>

#include "devsim/address_rules.h"
#include "netsdk/wire/auth.h"
#include "netsdk/wire/crypto.h"
#include "netsdk/wire/header.h"

namespace devsim {
namespace {

constexpr std::chrono::seconds kExchangeLifetime{10};

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
        case wire::MsgType::ModifyShare: return OnShare(body, fromAddress, fromPort, now, out);
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

void DiscoveryResponder::Abandon(DeviceState& device, const PendingModify& pending, SimClock::time_point now) {
    if (pending.shared) device.limiter.End(pending.source, now, false);
}

void DiscoveryResponder::OnHello(std::span<const std::uint8_t> body, std::uint32_t address,
                                 std::uint16_t port, SimClock::time_point now, std::vector<Outgoing>& out) {
    wire::ModifyHello hello;
    std::size_t index = 0;
    if (!wire::Decode(body, hello)) return;
    DeviceState* device = Find(hello.id, index);
    if (device == nullptr) return;  // another fleet's device, or none
    std::erase_if(device->pendingModifies, [&](const PendingModify& p) {
        if (now < p.expires) return false;
        Abandon(*device, p, now);
        return true;
    });
    PendingModify* pending = device->FindModify(hello.token);
    if (pending == nullptr) {
        if (device->pendingModifies.size() >= kMaxPendingModifies) {
            Abandon(*device, device->pendingModifies.front(), now);
            device->pendingModifies.pop_front();
        }
        pending = &device->pendingModifies.emplace_back();
        pending->token = hello.token;
        pending->source = address;
        pending->params = device->ParamsFor(FieldText(hello.user), pending->knownUser);
        pending->expires = now + kExchangeLifetime;
    }
    wire::ModifyParams params;
    params.token = hello.token;
    params.id = hello.id;
    params.params = pending->params;
    out.push_back({address, port, 0, wire::Encode(params)});
}

void DiscoveryResponder::OnShare(std::span<const std::uint8_t> body, std::uint32_t address,
                                 std::uint16_t port, SimClock::time_point now, std::vector<Outgoing>& out) {
    wire::ModifyShare share;
    std::size_t index = 0;
    if (!wire::Decode(body, share)) return;
    DeviceState* device = Find(share.id, index);
    if (device == nullptr) return;
    PendingModify* pending = device->FindModify(share.token);
    if (pending == nullptr || now >= pending->expires || pending->source != address) return;
    if (pending->shared) {
        // The same share again (the confirmation got lost): the same answer.
        if (share.shareP == pending->shareP) out.push_back({address, port, 0, pending->confirmReply});
        return;
    }
    wire::ModifyConfirm confirm;
    confirm.token = share.token;
    confirm.id = share.id;
    if (!device->limiter.Begin(address, now)) {
        confirm.status = wire::Status::RateLimited;
        out.push_back({address, port, 0, wire::Encode(confirm)});
        return;
    }
    const DeviceProfile& profile = device->profile;
    bool made = false;
    if (pending->knownUser) {
        const wire::Bytes context = wire::ModifyContext(pending->params, share.token, share.id);
        made = wire::spake2::Respond(profile.verifier->verifier, {context, profile.user, ""}, share.shareP,
                                     pending->shareV, pending->keys);
        if (made) confirm.confirmV = wire::spake2::ConfirmV(pending->keys, share.shareP);
    } else {
        made = wire::spake2::RandomShare(pending->shareV) && wire::crypto::RandomBytes(pending->keys.confirmP) &&
               wire::crypto::RandomBytes(pending->keys.shared) && wire::crypto::RandomBytes(confirm.confirmV);
    }
    if (!made) {
        // A share that is no point of the curve, or a degenerate one: the
        // exchange ends here, failed, and nothing of it stays to be used.
        device->limiter.End(address, now, false);
        std::erase_if(device->pendingModifies, [&](const PendingModify& p) { return p.token == share.token; });
        return;
    }
    // The exchange is open: it ends with the request, or counts as failed
    // when it expires or is pushed out.
    pending->shared = true;
    confirm.status = wire::Status::Ok;
    confirm.shareV = pending->shareV;
    pending->shareP = share.shareP;
    pending->confirmReply = wire::Encode(confirm);
    out.push_back({address, port, 0, pending->confirmReply});
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
        wire::ProofMatches(device->completedModify->requestMac, request.mac)) {
        out.push_back({address, port, 0, device->completedModify->reply});
        return;
    }
    PendingModify* found = device->FindModify(request.token);
    if (found == nullptr || !found->shared || now >= found->expires || found->source != address) return;
    // The exchange answers one request only.
    const PendingModify pending = *found;
    std::erase_if(device->pendingModifies, [&](const PendingModify& p) { return p.token == request.token; });
    wire::ModifyResult result;
    result.token = request.token;
    result.id = request.id;
    result.status = Decide(index, pending, request, now);
    result.mac = wire::MacOf(pending.keys.shared, wire::ModifyResultMacBytes(result));
    const wire::Bytes reply = wire::Encode(result);
    // By index: applying the change may have moved the device.
    devices_[index].completedModify = CompletedModify{request.token, request.mac, reply};
    out.push_back({address, port, 0, reply});
}

wire::Status DiscoveryResponder::Decide(std::size_t index, const PendingModify& pending,
                                        const wire::ModifyRequest& request, SimClock::time_point now) {
    DeviceState& device = devices_[index];
    const bool proven = pending.knownUser && !device.profile.behaviour.wrongPassword &&
                        wire::ProofMatches(wire::spake2::ConfirmP(pending.keys, pending.shareV), request.confirmP) &&
                        wire::ProofMatches(wire::MacOf(pending.keys.shared, wire::ModifyRequestMacBytes(request)),
                                           request.mac);
    device.limiter.End(pending.source, now, proven);
    if (!proven) return wire::Status::AuthFailed;
    const bool onLoopback = IsLoopbackText(device.profile.record.eth0.ip);
    if (!ValidNetworkSettings(request.ip, request.mask, request.gw, onLoopback)) {
        return wire::Status::InvalidAddress;
    }
    return apply_(index, request) ? wire::Status::Ok : wire::Status::Failed;
}

}  // namespace devsim
