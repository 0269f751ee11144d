// Hostile datagrams at the SDK's discovery socket during a run. A fake
// responder sits beside a real fleet as a second target; once it sees the
// run's probe it fires garbage, spoofed, oversized and truncated answers.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <random>

#include "netsdk/discovery.h"
#include "netsdk/wire/header.h"
#include "netsdk/wire/messages.h"
#include "sim_support.h"

namespace {

using namespace std::chrono_literals;

class HostileResponder {
public:
    HostileResponder() {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(sim::kLoopback);
        socklen_t length = sizeof addr;
        bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &length);
        port_ = ntohs(addr.sin_port);
    }
    ~HostileResponder() { close(fd_); }
    std::uint16_t port() const { return port_; }

    // Waits for the first probe and answers it with every kind of bad
    // datagram, then one valid answer. Returns how many bad ones it sent.
    int Attack() {
        pollfd entry{fd_, POLLIN, 0};
        if (poll(&entry, 1, 10000) != 1) return -1;
        std::uint8_t buffer[2048];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got = recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        wire::Header header;
        std::span<const std::uint8_t> body;
        wire::Probe probe;
        if (got <= 0 || !wire::OpenDatagram({buffer, static_cast<std::size_t>(got)}, header, body) ||
            !wire::Decode(body, probe)) {
            return -1;
        }
        from_ = from;
        int bad = 0;
        std::mt19937 random(7);
        for (int i = 0; i < 200; ++i) {  // random garbage of every small length
            std::vector<std::uint8_t> junk(static_cast<std::size_t>(i * 5 % 900));
            for (auto& byte : junk) byte = static_cast<std::uint8_t>(random());
            bad += Send(junk);
        }
        const wire::Bytes truncated = Answer(probe.token, "TRUNCATED0001");
        for (std::size_t size = 0; size < truncated.size(); ++size) {
            bad += Send({truncated.begin(), truncated.begin() + static_cast<std::ptrdiff_t>(size)});
        }
        wire::Bytes extra = Answer(probe.token, "TRAILING0001");
        extra.push_back(0);
        bad += Send(extra);
        // The header's length claims the extra byte too: still not one message.
        extra[8] = static_cast<std::uint8_t>(extra[8] + 1);
        bad += Send(extra);
        wire::Token other = probe.token;
        other[0] ^= 1;
        bad += Send(Answer(other, "SPOOFED0001"));  // someone else's run
        std::vector<std::uint8_t> oversized = Answer(probe.token, "OVERSIZED0001");
        oversized.resize(1500, 0x41);
        bad += Send(oversized);
        for (std::size_t at : {0u, 4u, 6u}) {  // magic, version, flags
            wire::Bytes corrupt = Answer(probe.token, "CORRUPT0001");
            corrupt[at] ^= 0x20;
            bad += Send(corrupt);
        }
        wire::Bytes probeBack = wire::Encode(probe);  // a probe is no answer
        bad += Send(probeBack);
        wire::Bytes noSerial = Answer(probe.token, "");
        bad += Send(noSerial);
        Send(Answer(probe.token, "HOSTILE-OK-01"));
        return bad;
    }

private:
    static wire::Bytes Answer(const wire::Token& token, const char* sn) {
        wire::Answer answer;
        answer.token = token;
        std::snprintf(answer.record.sn, sizeof answer.record.sn, "%s", sn);
        std::snprintf(answer.record.model, sizeof answer.record.model, "%s", "NVR-HOSTILE");
        std::snprintf(answer.record.eth0.ip, sizeof answer.record.eth0.ip, "%s", "127.99.0.1");
        return wire::Encode(answer);
    }
    int Send(const std::vector<std::uint8_t>& bytes) {
        sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&from_), sizeof from_);
        return 1;
    }

    int fd_ = -1;
    std::uint16_t port_ = 0;
    sockaddr_in from_{};
};

TEST(BadInputSim, HostileDatagramsChangeNoValidResult) {
    const devsim::Fleet fleet = sim::SmallFleet(20);
    auto server = sim::StartFleet(fleet);
    ASSERT_TRUE(server);
    HostileResponder hostile;
    netsdk::Settings settings = sim::LoopbackSettings(server->discoveryPort(), 1500);
    settings.targets.push_back({sim::kLoopback, hostile.port()});
    netsdk::ApplySettings(settings);

    sim::Collector collector;
    auto attack = std::async(std::launch::async, [&] { return hostile.Attack(); });
    Q9_NET_DVR_StartDiscoveryIPC();
    const int bad = attack.get();
    ASSERT_GT(bad, 0);

    const auto records = collector.Take();
    const auto stats = netsdk::LastDiscoveryStats();
    EXPECT_FALSE(stats.stopped);
    EXPECT_EQ(records.size(), fleet.devices.size() + 1);
    for (const auto& device : fleet.devices) EXPECT_NE(sim::FindBySerial(records, device.record.sn), nullptr);
    EXPECT_NE(sim::FindBySerial(records, "HOSTILE-OK-01"), nullptr);
    for (const char* sn : {"TRUNCATED0001", "TRAILING0001", "SPOOFED0001", "OVERSIZED0001", "CORRUPT0001"}) {
        EXPECT_EQ(sim::FindBySerial(records, sn), nullptr) << sn;
    }
    EXPECT_GE(stats.dropped, bad);
}

TEST(BadInputSim, TheFleetShrugsOffHostileDatagramsToo) {
    auto server = sim::StartFleetAndApply(sim::SmallFleet(3), 400);
    ASSERT_TRUE(server);
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(sim::kLoopback);
    to.sin_port = htons(server->discoveryPort());
    std::mt19937 random(11);
    wire::Probe probe;
    const wire::Bytes valid = wire::Encode(probe);
    for (std::size_t size = 0; size < valid.size(); ++size) {
        sendto(fd, valid.data(), size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    for (int i = 0; i < 300; ++i) {
        std::vector<std::uint8_t> junk(static_cast<std::size_t>(i * 7 % 1400));
        for (auto& byte : junk) byte = static_cast<std::uint8_t>(random());
        if (junk.size() >= 12) std::memcpy(junk.data(), wire::kMagic, 4);
        sendto(fd, junk.data(), junk.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    close(fd);
    // No truncated probe was answered, and the fleet still serves a run.
    sim::Collector collector;
    Q9_NET_DVR_StartDiscoveryIPC();
    EXPECT_EQ(collector.Take().size(), 3u);
}

}  // namespace
