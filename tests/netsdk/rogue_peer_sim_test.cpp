// Strangers on the LAN against the SDK: a rogue device that answers a
// login, and a rogue that sees a modify's hello and forges answers.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>

#include "devsim/control_session.h"
#include "netsdk/net/socket_io.h"
#include "netsdk/wire/header.h"
#include "sim_support.h"

namespace {

using namespace std::chrono_literals;

// A device of our own making on 127.0.0.1 that runs the device side of a
// login with a verifier made from `guess`, and keeps every frame type the
// client sent. Serves one connection.
class RogueDevice {
public:
    explicit RogueDevice(const std::string& guess) {
        devsim::DeviceProfile profile = sim::SmallFleet(1).devices[0];
        profile.password = guess;
        device_ = std::make_unique<devsim::DeviceState>(profile);
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(sim::kLoopback);
        socklen_t length = sizeof addr;
        EXPECT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        EXPECT_EQ(listen(listener_, 4), 0);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &length);
        port_ = ntohs(addr.sin_port);
        server_ = std::thread([this] { Serve(); });
    }
    ~RogueDevice() {
        shutdown(listener_, SHUT_RDWR);
        server_.join();
        close(listener_);
    }
    std::uint16_t port() const { return port_; }
    // The frame types received, once the connection has ended.
    std::vector<wire::MsgType> Received() {
        server_.join();
        server_ = std::thread([] {});
        return received_;
    }

private:
    void Serve() {
        const int fd = accept(listener_, nullptr, nullptr);
        if (fd < 0) return;
        timeval timeout{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        devsim::ControlSession session(*device_, sim::kLoopback);
        wire::FrameAssembler frames;
        std::uint8_t buffer[4096];
        for (;;) {
            const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            frames.Append({buffer, static_cast<std::size_t>(got)});
            wire::Header header;
            std::span<const std::uint8_t> body;
            while (frames.Next(header, body) == wire::FrameAssembler::Result::Frame) received_.push_back(header.type);
            devsim::ControlSession::Output out;
            session.OnBytes({buffer, static_cast<std::size_t>(got)}, devsim::SimClock::now(), out);
            for (const wire::Bytes& frame : out.frames) send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
            if (out.close) break;
        }
        close(fd);
    }

    std::unique_ptr<devsim::DeviceState> device_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::vector<wire::MsgType> received_;
    std::thread server_;
};

TEST(RoguePeers, ARogueDeviceGetsOneOnlineGuessPerLoginAndNothingToTestOffline) {
    netsdk::ApplySettings(sim::LoopbackSettings(1));
    using T = wire::MsgType;
    {
        // A wrong guess: the client stops after its share, which depends on
        // a fresh random scalar and so tests no password offline.
        RogueDevice rogue("guess");
        EXPECT_EQ(Q9_NET_DVR_Login("127.0.0.1", rogue.port(), "admin", "tarnwick", nullptr), -1);
        EXPECT_EQ(rogue.Received(), (std::vector<T>{T::LoginStart, T::LoginShare}));
    }
    {
        // The right guess is the one thing a rogue can learn: the client
        // goes on, as it would with the real device.
        RogueDevice rogue("tarnwick");
        const std::int32_t handle = Q9_NET_DVR_Login("127.0.0.1", rogue.port(), "admin", "tarnwick", nullptr);
        EXPECT_NE(handle, -1);
        Q9_NET_DVR_Logout(handle);
        const std::vector<T> received = rogue.Received();
        ASSERT_GE(received.size(), 3u);
        EXPECT_EQ(received[2], T::LoginFinish);
    }
}

TEST(RoguePeers, ForgedAnswersCannotTurnAModifyIntoAnotherOutcome) {
    auto server = sim::StartFleet(sim::SmallFleet(1, 0x7F1B0001u));
    ASSERT_TRUE(server);
    // The rogue is a second target, so it sees the hello with its token.
    netsdk::net::Socket rogue = netsdk::net::OpenUdp({sim::kLoopback, 0}, 0);
    ASSERT_TRUE(rogue.valid());
    sockaddr_in addr{};
    socklen_t length = sizeof addr;
    getsockname(rogue.fd(), reinterpret_cast<sockaddr*>(&addr), &length);
    netsdk::Settings settings = sim::LoopbackSettings(server->discoveryPort());
    settings.targets.push_back({sim::kLoopback, ntohs(addr.sin_port)});
    netsdk::ApplySettings(settings);

    std::atomic<int> forged{0};
    auto forger = std::async(std::launch::async, [&] {
        const auto end = netsdk::net::Clock::now() + 3s;
        std::uint8_t buffer[2048];
        while (netsdk::net::Clock::now() < end) {
            if (netsdk::net::WaitReadable(rogue, nullptr, netsdk::net::Clock::now() + 50ms) !=
                netsdk::net::WaitResult::Ready) {
                continue;
            }
            netsdk::net::Endpoint client;
            std::size_t size = 0;
            if (netsdk::net::RecvFrom(rogue, buffer, client, size) != netsdk::net::RecvResult::Datagram) continue;
            wire::Header header;
            std::span<const std::uint8_t> body;
            wire::ModifyHello hello;
            if (!wire::OpenDatagram({buffer, size}, header, body) || header.type != wire::MsgType::ModifyHello ||
                !wire::Decode(body, hello)) {
                continue;
            }
            // Every kind of answer the client could take, none of them under
            // the exchange's key, a burst per hello.
            for (int i = 0; i < 50; ++i) {
                wire::ModifyResult failure;
                failure.token = hello.token;
                failure.id = hello.id;
                failure.status = wire::Status::AuthFailed;
                wire::ModifyConfirm confirm;
                confirm.token = hello.token;
                confirm.id = hello.id;
                confirm.status = i % 2 ? wire::Status::RateLimited : wire::Status::Ok;
                wire::spake2::RandomShare(confirm.shareV);
                netsdk::net::SendTo(rogue, client, wire::Encode(failure));
                netsdk::net::SendTo(rogue, client, wire::Encode(confirm));
                forged += 2;
            }
        }
    });
    const std::string sn = server->Snapshot().devices[0].record.sn;
    DeviceRecord record = server->Snapshot().devices[0].record;
    std::memcpy(record.user, "admin", 6);
    std::memcpy(record.password, "tarnwick", 9);
    std::snprintf(record.eth0.ip, sizeof record.eth0.ip, "%s", "127.27.1.1");
    EXPECT_EQ(Q9_NET_DVR_ModifyIPC(&record), 1);
    forger.get();
    EXPECT_GT(forged.load(), 0);
    devsim::Fleet fleet = server->Snapshot();
    EXPECT_STREQ(sim::FindSpec(fleet, sn)->record.eth0.ip, "127.27.1.1");
}

}  // namespace
