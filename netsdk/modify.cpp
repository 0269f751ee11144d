#include "netsdk/modify.h"

#include <cstring>
#include <optional>

#include "netsdk/net/socket_io.h"
#include "netsdk/onvif_client/known_devices.h"
#include "netsdk/onvif_client/operations.h"
#include "netsdk/prover_secrets.h"
#include "netsdk/targets.h"
#include "netsdk/wire/auth.h"
#include "netsdk/wire/header.h"

namespace netsdk {
namespace {

using std::chrono::milliseconds;

template <std::size_t N>
bool Terminated(const char (&field)[N]) {
    return strnlen(field, N) < N;
}

template <std::size_t N, std::size_t M>
void CopyField(char (&out)[N], const char (&in)[M]) {
    static_assert(N >= M);
    std::memset(out, 0, N);
    std::memcpy(out, in, strnlen(in, M - 1));
}

// Waits until `deadline` for a datagram that `accept` takes; remembers where
// it came from. Everything else is dropped. The deadline is checked between
// datagrams, so a flood cannot keep the loop reading past it.
template <typename Message, typename Accept>
std::optional<Message> Await(const net::Socket& socket, wire::MsgType type, net::Deadline deadline,
                             Accept accept, net::Endpoint& from) {
    std::uint8_t buffer[wire::kMaxDatagramSize + 1];
    while (net::WaitReadable(socket, nullptr, deadline) == net::WaitResult::Ready) {
        while (net::Clock::now() < deadline) {
            std::size_t size = 0;
            if (net::RecvFrom(socket, buffer, from, size) != net::RecvResult::Datagram) break;
            wire::Header header;
            std::span<const std::uint8_t> body;
            Message message;
            if (size <= wire::kMaxDatagramSize &&
                wire::OpenDatagram({buffer, size}, header, body) && header.type == type &&
                wire::Decode(body, message) && accept(message)) {
                return message;
            }
        }
    }
    return std::nullopt;
}

// One modify: hello, key exchange, request. Every answer from the device
// is checked before it counts; what cannot be checked (a failure before the
// exchange, a confirmation or result under another key) is ignored, so that
// a stranger who sees the hello can neither learn a guess of the password
// nor turn the device's answer into another one. A device that never
// proves the key (a wrong password, a rogue device) costs the whole
// modify time and fails.
class ModifyExchange {
public:
    ModifyExchange(const Settings& settings, const DeviceRecord& record)
        : settings_(settings), record_(record) {}

    ~ModifyExchange() { wire::crypto::Cleanse(keys_); }

    bool Run() {
        socket_ = net::OpenUdp({settings_.bindAddress, 0}, 0);
        if (!socket_.valid() || !wire::crypto::RandomBytes(token_)) return false;
        CopyField(id_.sn, record_.sn);
        std::memcpy(id_.mac, record_.eth0.mac, sizeof id_.mac);
        const auto deadline = net::Clock::now() + milliseconds(settings_.modifyTimeoutMs);
        // Resend a few times within the allowed time: datagrams can be lost.
        resend_ = std::max(milliseconds(settings_.modifyTimeoutMs) / 4, milliseconds(20));
        net::Endpoint device;
        const auto params = Params(deadline, device);
        return params && Exchange(*params, device, deadline) && Request(device, deadline);
    }

private:
    // Sends `packet` to `to` every resend period until `accept` takes an answer.
    template <typename Message, typename Accept>
    std::optional<Message> Ask(const std::vector<net::Endpoint>& to, const wire::Bytes& packet, wire::MsgType type,
                               net::Deadline deadline, Accept accept, net::Endpoint& from) {
        while (net::Clock::now() < deadline) {
            for (const net::Endpoint& target : to) net::SendTo(socket_, target, packet);
            const auto until = std::min(deadline, net::Clock::now() + resend_);
            auto answer = Await<Message>(socket_, type, until, accept, from);
            if (answer) return answer;
        }
        return std::nullopt;
    }

    bool Ours(const wire::Token& token, const wire::DeviceId& id) const {
        return token == token_ && wire::SameDevice(id, id_);
    }

    std::optional<wire::spake2::PbkdfParams> Params(net::Deadline deadline, net::Endpoint& device) {
        wire::ModifyHello hello;
        hello.token = token_;
        hello.id = id_;
        CopyField(hello.user, record_.user);
        const auto answer = Ask<wire::ModifyParams>(
            ResolveTargets(settings_), wire::Encode(hello), wire::MsgType::ModifyParams, deadline,
            [&](const wire::ModifyParams& m) {
                return Ours(m.token, m.id) && m.params.iterations >= wire::spake2::kMinIterations &&
                       m.params.iterations <= wire::spake2::kMaxIterations;
            },
            device);
        if (!answer) return std::nullopt;
        return answer->params;
    }

    bool Exchange(const wire::spake2::PbkdfParams& params, const net::Endpoint& device, net::Deadline deadline) {
        wire::spake2::ProverSecret secret;
        wire::spake2::Prover prover;
        wire::ModifyShare share;
        share.token = token_;
        share.id = id_;
        const bool started =
            ProverSecretFor(FieldText(record_.user), FieldText(record_.password), params, secret) &&
            prover.Start(secret, share.shareP);
        wire::crypto::Cleanse(secret);
        if (!started) return false;
        const wire::Bytes context = wire::ModifyContext(params, token_, id_);
        const wire::spake2::Binding binding{context, FieldText(record_.user), ""};
        net::Endpoint from;
        const auto confirm = Ask<wire::ModifyConfirm>(
            {device}, wire::Encode(share), wire::MsgType::ModifyConfirm, deadline,
            [&](const wire::ModifyConfirm& m) {
                wire::spake2::Keys keys;
                if (!Ours(m.token, m.id) || m.status != wire::Status::Ok ||
                    !prover.Finish(binding, m.shareV, keys) ||
                    !wire::ProofMatches(wire::spake2::ConfirmV(keys, share.shareP), m.confirmV)) {
                    wire::crypto::Cleanse(keys);
                    return false;
                }
                keys_ = keys;
                shareV_ = m.shareV;
                wire::crypto::Cleanse(keys);
                return true;
            },
            from);
        return confirm.has_value();
    }

    bool Request(const net::Endpoint& device, net::Deadline deadline) {
        wire::ModifyRequest request;
        request.token = token_;
        request.id = id_;
        request.confirmP = wire::spake2::ConfirmP(keys_, shareV_);
        CopyField(request.ip, record_.eth0.ip);
        CopyField(request.mask, record_.eth0.mask);
        CopyField(request.gw, record_.eth0.gw);
        request.mac = wire::MacOf(keys_.shared, wire::ModifyRequestMacBytes(request));
        net::Endpoint from;
        const auto result = Ask<wire::ModifyResult>(
            {device}, wire::Encode(request), wire::MsgType::ModifyResult, deadline,
            [&](const wire::ModifyResult& m) {
                return Ours(m.token, m.id) &&
                       wire::ProofMatches(wire::MacOf(keys_.shared, wire::ModifyResultMacBytes(m)), m.mac);
            },
            from);
        return result && result->status == wire::Status::Ok;
    }

    const Settings& settings_;
    const DeviceRecord& record_;
    net::Socket socket_;
    wire::Token token_{};
    wire::DeviceId id_;
    wire::spake2::Keys keys_;
    wire::spake2::Share shareV_{};
    milliseconds resend_{100};
};

}  // namespace

bool ModifyDevice(const Settings& settings, const DeviceRecord& record) {
    if (!Terminated(record.sn) || record.sn[0] == '\0' || !Terminated(record.user) ||
        !Terminated(record.password) || !Terminated(record.eth0.ip) || !Terminated(record.eth0.mask) ||
        !Terminated(record.eth0.gw)) {
        return false;
    }
    // A device that discovery found by ONVIF is changed through ONVIF.
    if (const auto device = onvif_client::FindDevice(record.sn, record.eth0.mac)) {
        return onvif_client::Modify(settings, *device, record);
    }
    return ModifyExchange(settings, record).Run();
}

}  // namespace netsdk
