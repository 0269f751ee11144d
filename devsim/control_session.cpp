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
        if (result == wire::FrameAssembler::Result::Bad) return Close(out);
        OnFrame(header, body, now, out);
        if (stage_ == Stage::Closed || stage_ == Stage::Silent) return;
    }
}

ControlSession::~ControlSession() {
    // A connection closed after the device's confirmation has had its guess.
    if (open_) device_.limiter.End(peer_, SimClock::now(), false);
    wire::crypto::Cleanse(keys_);
}

void ControlSession::OnFrame(const wire::Header& header, std::span<const std::uint8_t> body,
                             SimClock::time_point now, Output& out) {
    using wire::MsgType;
    if (stage_ == Stage::AwaitStart && header.type == MsgType::LoginStart) return OnStart(body, out);
    if (stage_ == Stage::AwaitShare && header.type == MsgType::LoginShare) return OnShare(body, now, out);
    if (stage_ == Stage::AwaitFinish && header.type == MsgType::LoginFinish) return OnFinish(body, now, out);
    if (stage_ == Stage::LoggedIn && header.type == MsgType::ConfigRequest) return OnConfig(body, out);
    // A logout, or anything out of turn, ends the connection.
    Close(out);
}

void ControlSession::OnStart(std::span<const std::uint8_t> body, Output& out) {
    wire::LoginStart start;
    if (!wire::Decode(body, start)) return Close(out);
    if (device_.profile.behaviour.silent) {
        stage_ = Stage::Silent;
        return;
    }
    if (device_.profile.behaviour.goneMidLogin) {
        device_.gone = true;
        out.deviceGone = true;
        return Close(out);
    }
    wire::LoginParams params;
    params.params = params_ = device_.ParamsFor(FieldText(start.user), knownUser_);
    out.frames.push_back(wire::Encode(params));
    stage_ = Stage::AwaitShare;
}

void ControlSession::OnShare(std::span<const std::uint8_t> body, SimClock::time_point now, Output& out) {
    wire::LoginShare share;
    if (!wire::Decode(body, share)) return Close(out);
    ++device_.loginAttempts;
    if (device_.loginAttempts <= device_.profile.behaviour.refuseLogins) return Refuse(out, wire::Status::Refused);
    if (!device_.limiter.Begin(peer_, now)) return Refuse(out, wire::Status::RateLimited);
    open_ = true;
    wire::LoginConfirm confirm;
    confirm.status = wire::Status::Ok;
    if (knownUser_) {
        const wire::Bytes context = wire::LoginContext(params_);
        if (!wire::spake2::Respond(device_.profile.verifier->verifier, {context, device_.profile.user, ""},
                                   share.shareP, shareV_, keys_)) {
            return Close(out);  // not a point of the curve, or a degenerate one
        }
        confirm.confirmV = wire::spake2::ConfirmV(keys_, share.shareP);
    } else if (!wire::spake2::RandomShare(shareV_) || !wire::crypto::RandomBytes(keys_.confirmP) ||
               !wire::crypto::RandomBytes(keys_.shared) || !wire::crypto::RandomBytes(confirm.confirmV)) {
        return Close(out);
    }
    confirm.shareV = shareV_;
    out.frames.push_back(wire::Encode(confirm));
    stage_ = Stage::AwaitFinish;
}

void ControlSession::OnFinish(std::span<const std::uint8_t> body, SimClock::time_point now, Output& out) {
    wire::LoginFinish finish;
    if (!wire::Decode(body, finish)) return Close(out);
    const DeviceProfile& profile = device_.profile;
    wire::LoginResult result;
    const bool proven = knownUser_ && !profile.behaviour.wrongPassword &&
                        wire::ProofMatches(wire::spake2::ConfirmP(keys_, shareV_), finish.confirmP);
    device_.limiter.End(peer_, now, proven);
    open_ = false;
    if (proven) {
        result.status = wire::Status::Ok;
        std::memcpy(result.sn, profile.record.sn, sizeof result.sn);
        result.sn[sizeof result.sn - 1] = '\0';
        std::memcpy(result.model, profile.record.model, sizeof result.model);
        result.model[sizeof result.model - 1] = '\0';
    } else {
        result.status = wire::Status::AuthFailed;
    }
    result.mac = wire::MacOf(keys_.shared, wire::LoginResultMacBytes(result));
    out.frames.push_back(wire::Encode(result));
    if (!proven) return Close(out);
    stage_ = Stage::LoggedIn;
}

void ControlSession::OnConfig(std::span<const std::uint8_t> body, Output& out) {
    wire::ConfigRequest request;
    if (!wire::Decode(body, request)) return Close(out);
    out.frames.push_back(wire::Encode(ConfigAnswer(device_.profile, request.command, request.channel)));
}

// A refusal before the exchange proves nothing either way; it carries no
// share and ends the connection.
void ControlSession::Refuse(Output& out, wire::Status status) {
    wire::LoginConfirm confirm;
    confirm.status = status;
    out.frames.push_back(wire::Encode(confirm));
    Close(out);
}

void ControlSession::Close(Output& out) {
    stage_ = Stage::Closed;
    out.close = true;
}

}  // namespace devsim
