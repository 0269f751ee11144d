#include "devsim/control_session.h"

#include <cstring>

#include "netsdk/wire/auth.h"

namespace devsim {
namespace {

template <std::size_t N>
void CopyText(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

}  // namespace

wire::DeviceId DeviceState::Id() const {
    wire::DeviceId id;
    std::memcpy(id.sn, profile.record.sn, sizeof id.sn);
    id.sn[sizeof id.sn - 1] = '\0';
    std::memcpy(id.mac, profile.record.eth0.mac, sizeof id.mac);
    return id;
}

wire::ConfigResult ConfigAnswer(const DeviceProfile& device, std::uint32_t command, std::int32_t channel) {
    wire::ConfigResult result;
    if (device.behaviour.configFails) {
        result.status = wire::Status::Failed;
        return result;
    }
    if (command != 533 || channel != 0) {
        result.status = wire::Status::Unsupported;
        return result;
    }
    const std::vector<ConfigItem> entries = ConfigEntries(device);
    result.status = wire::Status::Ok;
    result.count = static_cast<std::uint8_t>(std::min(entries.size(), wire::kMaxConfigEntries));
    for (std::size_t i = 0; i < result.count; ++i) {
        CopyText(result.entries[i].name, entries[i].name);
        CopyText(result.entries[i].value, entries[i].value);
    }
    return result;
}

void ControlSession::OnBytes(std::span<const std::uint8_t> bytes, SimClock::time_point now, Output& out) {
    if (stage_ == Stage::Closed || stage_ == Stage::Silent) return;
    assembler_.Append(bytes);
    for (;;) {
        wire::Header header;
        std::span<const std::uint8_t> body;
        const auto result = assembler_.Next(header, body);
        if (result == wire::FrameAssembler::Result::NeedMore) return;
        if (result == wire::FrameAssembler::Result::Bad) {
            stage_ = Stage::Closed;
            out.close = true;
            return;
        }
        OnFrame(header, body, now, out);
        if (stage_ == Stage::Closed || stage_ == Stage::Silent) return;
    }
}

void ControlSession::OnFrame(const wire::Header& header, std::span<const std::uint8_t> body,
                             SimClock::time_point now, Output& out) {
    using wire::MsgType;
    if (stage_ == Stage::AwaitStart && header.type == MsgType::LoginStart) return OnStart(body, out);
    if (stage_ == Stage::AwaitProof && header.type == MsgType::LoginProof) return OnProof(body, now, out);
    if (stage_ == Stage::LoggedIn && header.type == MsgType::ConfigRequest) return OnConfig(body, out);
    // A logout, or anything out of turn, ends the connection.
    stage_ = Stage::Closed;
    out.close = true;
}

void ControlSession::OnStart(std::span<const std::uint8_t> body, Output& out) {
    if (!wire::Decode(body, start_)) {
        stage_ = Stage::Closed;
        out.close = true;
        return;
    }
    if (device_.profile.behaviour.silent) {
        stage_ = Stage::Silent;
        return;
    }
    if (device_.profile.behaviour.goneMidLogin) {
        device_.gone = true;
        out.deviceGone = true;
        stage_ = Stage::Closed;
        out.close = true;
        return;
    }
    wire::LoginChallenge challenge;
    if (!wire::crypto::RandomBytes(challenge.nonce)) {
        stage_ = Stage::Closed;
        out.close = true;
        return;
    }
    nonce_ = challenge.nonce;
    out.frames.push_back(wire::Encode(challenge));
    stage_ = Stage::AwaitProof;
}

void ControlSession::OnProof(std::span<const std::uint8_t> body, SimClock::time_point now, Output& out) {
    wire::LoginProof proof;
    if (!wire::Decode(body, proof)) {
        stage_ = Stage::Closed;
        out.close = true;
        return;
    }
    const DeviceProfile& profile = device_.profile;
    ++device_.loginAttempts;
    if (device_.loginAttempts <= profile.behaviour.refuseLogins) return Finish(out, wire::Status::Refused);
    if (!device_.limiter.Allowed(now)) return Finish(out, wire::Status::RateLimited);
    const std::string_view user = wire::FieldText(start_.user);
    const wire::Proof expected = wire::MakeLoginProof(profile.password, nonce_, start_.clientNonce, user);
    if (profile.behaviour.wrongPassword || user != profile.user || !wire::ProofMatches(expected, proof.proof)) {
        device_.limiter.RecordFailure(now);
        return Finish(out, wire::Status::AuthFailed);
    }
    device_.limiter.RecordSuccess();
    wire::LoginResult result;
    result.status = wire::Status::Ok;
    result.proof = wire::MakeLoginAcceptProof(profile.password, nonce_, start_.clientNonce);
    std::memcpy(result.sn, profile.record.sn, sizeof result.sn);
    result.sn[sizeof result.sn - 1] = '\0';
    std::memcpy(result.model, profile.record.model, sizeof result.model);
    result.model[sizeof result.model - 1] = '\0';
    out.frames.push_back(wire::Encode(result));
    stage_ = Stage::LoggedIn;
}

void ControlSession::OnConfig(std::span<const std::uint8_t> body, Output& out) {
    wire::ConfigRequest request;
    if (!wire::Decode(body, request)) {
        stage_ = Stage::Closed;
        out.close = true;
        return;
    }
    out.frames.push_back(wire::Encode(ConfigAnswer(device_.profile, request.command, request.channel)));
}

void ControlSession::Finish(Output& out, wire::Status status) {
    wire::LoginResult result;
    result.status = status;
    out.frames.push_back(wire::Encode(result));
    stage_ = Stage::Closed;
    out.close = true;
}

}  // namespace devsim
