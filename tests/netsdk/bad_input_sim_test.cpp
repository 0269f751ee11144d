// Hostile datagrams at the SDK's discovery socket during a run. A fake
// responder sits beside a real fleet as a second target; once it sees the
// run's probe it fires garbage, spoofed, oversized and truncated answers.
// Forgers that learn the run's token from its probe answer with devices
// that do not exist, by the thousand or as a flood.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "netsdk/discovery.h"
#include "netsdk/wire/header.h"
#include "netsdk/wire/messages.h"
#include "sim_support.h"

namespace {

using namespace std::chrono_literals;

// Waits up to 10 s for one datagram on `fd` that is a probe; false when none
// came or it was not one.
bool ReceiveProbe(int fd, wire::Probe& probe, sockaddr_in& from) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 10000) != 1) return false;
    std::uint8_t buffer[2048];
    socklen_t length = sizeof from;
    const ssize_t got = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
    wire::Header header;
    std::span<const std::uint8_t> body;
    return got > 0 && wire::OpenDatagram({buffer, static_cast<std::size_t>(got)}, header, body) &&
           wire::Decode(body, probe);
}

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
        wire::Probe probe;
        sockaddr_in from{};
        if (!ReceiveProbe(fd_, probe, from)) return -1;
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

// Answers a run's probes with devices that do not exist, each with a serial
// number of its own ("<prefix>-<n>"), from its own loopback address.
class Forger {
public:
    explicit Forger(std::uint32_t address) : address_(address) {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(address);
        socklen_t length = sizeof addr;
        bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &length);
        port_ = ntohs(addr.sin_port);
    }
    ~Forger() { close(fd_); }
    netsdk::Target target() const { return {address_, port_}; }

    // Waits for the run's `probe`-th probe (1-based), then sends `count`
    // forged answers, pausing briefly every hundred so the socket keeps up.
    // Returns how many were sent.
    int Forge(int probe, int count, const std::string& prefix) {
        if (!WaitForProbe(probe)) return 0;
        int sent = 0;
        for (int i = 0; i < count; ++i) {
            sent += Send(prefix, i);
            if (i % 100 == 99) poll(nullptr, 0, 1);
        }
        return sent;
    }

    // Once the first probe came: forged answers as fast as the socket takes
    // them, on four threads (more than the SDK's reader can keep up with),
    // until `stop`, ten seconds or three million in all.
    void Flood(const std::atomic<bool>& stop, std::atomic<long>& sent) {
        if (!WaitForProbe(1)) return;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        auto blast = [&](int lane) {
            for (long i = lane; !stop.load() && i < 3000000; i += kLanes) {
                if (i % 1024 < 2 && std::chrono::steady_clock::now() > end) return;
                sent += Send("FLOOD", static_cast<int>(i));
            }
        };
        std::vector<std::thread> lanes;
        for (int lane = 1; lane < kLanes; ++lane) lanes.emplace_back(blast, lane);
        blast(0);
        for (std::thread& lane : lanes) lane.join();
    }

private:
    bool WaitForProbe(int number) {
        for (int seen = 0; seen < number;) {
            pollfd entry{fd_, POLLIN, 0};
            if (poll(&entry, 1, 10000) != 1) return false;
            sockaddr_in from{};
            if (ReceiveProbe(fd_, probe_, from)) {
                to_ = from;
                ++seen;
            }
        }
        return true;
    }

    int Send(const std::string& prefix, int index) {
        wire::Answer answer;
        answer.token = probe_.token;
        std::snprintf(answer.record.sn, sizeof answer.record.sn, "%s-%d", prefix.c_str(), index);
        std::snprintf(answer.record.model, sizeof answer.record.model, "%s", "NVR-FORGED");
        std::snprintf(answer.record.eth0.ip, sizeof answer.record.eth0.ip, "%s", "127.99.0.1");
        const wire::Bytes bytes = wire::Encode(answer);
        return sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to_), sizeof to_) > 0;
    }

    static constexpr int kLanes = 4;
    std::uint32_t address_;
    int fd_ = -1;
    std::uint16_t port_ = 0;
    wire::Probe probe_;
    sockaddr_in to_{};
};

// The lines of `text` that start with `prefix`.
int LinesStartingWith(const std::string& text, const std::string& prefix) {
    int count = 0;
    for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, prefix.size(), prefix) == 0) ++count;
        const std::size_t end = text.find('\n', at);
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return count;
}

struct ForgeryCase {
    const char* name;
    int forgers;     // each from its own address
    int perForger;   // forged devices each sends
    int onProbe;     // the probe they answer
    bool capReached;
};

// 5000 forged devices per run: at most 4096 devices are delivered, one
// address gets no more than its burst and rate allow, and the fleet's own
// devices are delivered whether the forgeries come with them or after them.
TEST(BadInputSim, ForgedDevicesAreCappedPerRunAndRateLimitedPerAddress) {
    const ForgeryCase cases[] = {
        {"one address, with the fleet's answers", 1, 5000, 1, false},
        {"four addresses, after the fleet's answers", 4, 1250, 2, true},
    };
    const devsim::Fleet fleet = sim::SmallFleet(100);
    auto server = sim::StartFleet(fleet);
    ASSERT_TRUE(server);
    for (const ForgeryCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::unique_ptr<Forger>> forgers;
        netsdk::Settings settings = sim::LoopbackSettings(server->discoveryPort(), 1500);
        settings.receiveBufferBytes = 64 * 1024 * 1024;
        for (int i = 0; i < c.forgers; ++i) {
            forgers.push_back(std::make_unique<Forger>(0x7F000042u + static_cast<std::uint32_t>(i)));
            settings.targets.push_back(forgers.back()->target());
        }
        netsdk::ApplySettings(settings);

        sim::Collector collector;
        std::vector<std::future<int>> attacks;
        for (int i = 0; i < c.forgers; ++i) {
            attacks.push_back(std::async(std::launch::async, [&, i] {
                return forgers[static_cast<std::size_t>(i)]->Forge(c.onProbe, c.perForger, "FORGED" + std::to_string(i));
            }));
        }
        testing::internal::CaptureStderr();
        const auto start = std::chrono::steady_clock::now();
        Q9_NET_DVR_StartDiscoveryIPC();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const std::string messages = testing::internal::GetCapturedStderr();
        for (auto& attack : attacks) EXPECT_EQ(attack.get(), c.perForger);

        const auto records = collector.Take();
        std::map<char, int> forgedFrom;  // by forger
        std::set<std::string> serials;
        for (const DeviceRecord& record : records) {
            serials.insert(record.sn);
            if (std::strncmp(record.sn, "FORGED", 6) == 0) ++forgedFrom[record.sn[6]];
        }
        EXPECT_EQ(serials.size(), records.size());
        EXPECT_LE(records.size(), 4096u);
        const auto stats = netsdk::LastDiscoveryStats();
        if (c.capReached) {
            EXPECT_EQ(records.size(), 4096u);
            EXPECT_GT(stats.overCap, 0);
        } else {
            EXPECT_GT(stats.rateLimited, 0);
        }
        for (const auto& device : fleet.devices) EXPECT_NE(sim::FindBySerial(records, device.record.sn), nullptr);
        const netsdk::Settings defaults;
        for (const auto& [forger, count] : forgedFrom) {
            EXPECT_LE(count, defaults.sourceBurst + static_cast<int>(defaults.sourceRate * seconds) + 1) << forger;
        }
        EXPECT_EQ(LinesStartingWith(messages, "netsdk: discovery"), 1) << messages;
        EXPECT_NE(messages.find("dropped"), std::string::npos) << messages;
    }
}

struct FloodCase {
    const char* name;
    int windowMs;
    bool stop;
};

void Q9_CALLCONV CountRecord(const DeviceRecord*, void* user) { ++*static_cast<std::atomic<long>*>(user); }

// A flood at the answer socket ends neither a window nor Stop later than
// they would end without it: Start returns, whatever keeps arriving.
TEST(BadInputSim, AFloodHoldsNoRunOpenPastItsWindowOrStop) {
    const FloodCase cases[] = {
        {"Stop during a one-minute window", 60000, true},
        {"the end of a short window", 300, false},
    };
    for (const FloodCase& c : cases) {
        SCOPED_TRACE(c.name);
        Forger forger(0x7F000042u);
        netsdk::Settings settings = sim::LoopbackSettings(9, c.windowMs);
        settings.targets = {forger.target()};
        netsdk::ApplySettings(settings);
        std::atomic<long> delivered{0};
        Q9_NET_DVR_SetDiscoveryCallBack(&CountRecord, &delivered);

        std::atomic<bool> stopFlood{false};
        std::atomic<long> sent{0};
        auto flood = std::async(std::launch::async, [&] { forger.Flood(stopFlood, sent); });
        auto run = std::async(std::launch::async, [] { return Q9_NET_DVR_StartDiscoveryIPC(); });
        if (c.stop) {
            for (int i = 0; i < 1000 && sent.load() < 100000; ++i) std::this_thread::sleep_for(10ms);
            EXPECT_GE(sent.load(), 100000);
            Q9_NET_DVR_StopDiscoveryIPC();
        }
        EXPECT_EQ(run.wait_for((c.stop ? 0ms : c.windowMs * 1ms) + 5s), std::future_status::ready);
        stopFlood = true;
        flood.get();
        run.get();
        Q9_NET_DVR_SetDiscoveryCallBack(nullptr, nullptr);
        EXPECT_EQ(netsdk::LastDiscoveryStats().stopped, c.stop);
    }
}

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
