#include "netsdk/modify.h"

#include <cstring>
#include <optional>

#include "netsdk/net/socket_io.h"
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
// it came from. Everything else is dropped.
template <typename Message, typename Accept>
std::optional<Message> Await(const net::Socket& socket, wire::MsgType type, net::Deadline deadline,
                             Accept accept, net::Endpoint& from) {
    std::uint8_t buffer[wire::kMaxDatagramSize + 1];
    while (net::WaitReadable(socket, nullptr, deadline) == net::WaitResult::Ready) {
        for (;;) {
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

class ModifyExchange {
public:
    ModifyExchange(const Settings& settings, const DeviceRecord& record)
        : settings_(settings), record_(record) {}

    bool Run() {
        socket_ = net::OpenUdp({settings_.bindAddress, 0}, 0);
        if (!socket_.valid() || !wire::crypto::RandomBytes(token_)) return false;
        CopyField(id_.sn, record_.sn);
        std::memcpy(id_.mac, record_.eth0.mac, sizeof id_.mac);
        const auto deadline = net::Clock::now() + milliseconds(settings_.modifyTimeoutMs);
        // Resend a few times within the allowed time: datagrams can be lost.
        resend_ = std::max(milliseconds(settings_.modifyTimeoutMs) / 4, milliseconds(20));
        net::Endpoint device;
        const auto challenge = Challenge(deadline, device);
        return challenge && Request(*challenge, device, deadline);
    }

private:
    std::optional<wire::ModifyChallenge> Challenge(net::Deadline deadline, net::Endpoint& device) {
        wire::ModifyHello hello;
        hello.token = token_;
        hello.id = id_;
        CopyField(hello.user, record_.user);
        const wire::Bytes packet = wire::Encode(hello);
        const auto targets = ResolveTargets(settings_);
        while (net::Clock::now() < deadline) {
            for (const net::Endpoint& target : targets) net::SendTo(socket_, target, packet);
            const auto until = std::min(deadline, net::Clock::now() + resend_);
            auto challenge = Await<wire::ModifyChallenge>(
                socket_, wire::MsgType::ModifyChallenge, until,
                [&](const wire::ModifyChallenge& m) { return m.token == token_ && wire::SameDevice(m.id, id_); },
                device);
            if (challenge) return challenge;
        }
        return std::nullopt;
    }

    bool Request(const wire::ModifyChallenge& challenge, net::Endpoint device, net::Deadline deadline) {
        wire::ModifyRequest request;
        request.token = token_;
        request.id = id_;
        request.nonce = challenge.nonce;
        CopyField(request.user, record_.user);
        CopyField(request.ip, record_.eth0.ip);
        CopyField(request.mask, record_.eth0.mask);
        CopyField(request.gw, record_.eth0.gw);
        const std::string_view password = wire::FieldText(record_.password);
        request.proof = wire::MakeModifyRequestProof(password, request);
        const wire::Bytes packet = wire::Encode(request);
        while (net::Clock::now() < deadline) {
            net::SendTo(socket_, device, packet);
            const auto until = std::min(deadline, net::Clock::now() + resend_);
            net::Endpoint from;
            // A failure needs no proof; a success without a valid one is
            // somebody else's packet and is ignored.
            const auto result = Await<wire::ModifyResult>(
                socket_, wire::MsgType::ModifyResult, until,
                [&](const wire::ModifyResult& m) {
                    if (m.token != token_ || !wire::SameDevice(m.id, id_)) return false;
                    return m.status != wire::Status::Ok ||
                           wire::ProofMatches(wire::MakeModifyResultProof(password, m, challenge.nonce), m.proof);
                },
                from);
            if (result) return result->status == wire::Status::Ok;
        }
        return false;
    }

    const Settings& settings_;
    const DeviceRecord& record_;
    net::Socket socket_;
    wire::Token token_{};
    wire::DeviceId id_;
    milliseconds resend_{100};
};

}  // namespace

bool ModifyDevice(const Settings& settings, const DeviceRecord& record) {
    if (!Terminated(record.sn) || record.sn[0] == '\0' || !Terminated(record.user) ||
        !Terminated(record.password) || !Terminated(record.eth0.ip) || !Terminated(record.eth0.mask) ||
        !Terminated(record.eth0.gw)) {
        return false;
    }
    return ModifyExchange(settings, record).Run();
}

}  // namespace netsdk
