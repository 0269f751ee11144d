#include "netsdk/discovery.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <array>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "netsdk/answer_filter.h"
#include "netsdk/net/socket_io.h"
#include "netsdk/onvif_client/ws_discovery.h"
#include "netsdk/run_budget.h"
#include "netsdk/targets.h"
#include "netsdk/wire/header.h"
#include "netsdk/wire/messages.h"

namespace netsdk {
namespace {

using namespace std::chrono;

// Datagrams read per wake-up before the deadline and Stop are looked at
// again, and the time left for reading what is still queued when the
// window closes: a flood never holds a run open.
constexpr int kDrainBatch = 256;
constexpr milliseconds kFinalDrain{100};

// The run in progress, reachable by StopDiscovery.
struct ActiveRun {
    net::Waker waker;
    std::atomic<bool> stop{false};
};

std::mutex g_serial;  // one run at a time
std::mutex g_activeMutex;
ActiveRun* g_active = nullptr;
std::mutex g_statsMutex;
DiscoveryStats g_lastStats;

enum class Transport { kOwn, kOnvif };

// Accepted records, handed from the two transports' threads to the
// delivering thread. A device that both transports find (the same MAC) is
// delivered once, by whichever found it first; at most kMaxDevicesPerRun
// are delivered in all.
class Mailbox {
public:
    explicit Mailbox(int producers) : producers_(producers) {}

    // False when the record is not taken.
    bool Put(const DeviceRecord& record, Transport transport, const onvif_client::KnownDevice* known = nullptr) {
        std::lock_guard lock(mutex_);
        std::array<std::uint8_t, 6> mac{};
        std::memcpy(mac.data(), record.eth0.mac, mac.size());
        if (mac != std::array<std::uint8_t, 6>{}) {
            const auto [it, inserted] = macs_.emplace(mac, transport);
            if (!inserted && it->second != transport) {
                ++crossDuplicates_;
                return false;
            }
        }
        if (taken_ >= kMaxDevicesPerRun) {
            ++overCap_;
            return false;
        }
        ++taken_;
        // A login or modify for this device must know it speaks ONVIF by the
        // time the callback shows it.
        if (known != nullptr) onvif_client::RememberDevice(*known);
        records_.push_back(record);
        ready_.notify_one();
        return true;
    }
    // One producer has finished; the box closes with the last one, or at
    // once (and empty) when the run was stopped.
    void Done(bool discard) {
        std::lock_guard lock(mutex_);
        --producers_;
        if (discard) records_.clear();
        closed_ = closed_ || discard || producers_ <= 0;
        ready_.notify_one();
    }
    // Waits for the next record; false once closed and empty.
    bool Take(DeviceRecord& record) {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return closed_ || !records_.empty(); });
        if (records_.empty()) return false;
        record = records_.front();
        records_.pop_front();
        return true;
    }
    int crossDuplicates() {
        std::lock_guard lock(mutex_);
        return crossDuplicates_;
    }
    int overCap() {
        std::lock_guard lock(mutex_);
        return overCap_;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<DeviceRecord> records_;
    std::map<std::array<std::uint8_t, 6>, Transport> macs_;
    std::size_t taken_ = 0;
    int producers_;
    int crossDuplicates_ = 0;
    int overCap_ = 0;
    bool closed_ = false;
};

void CopyText(char* out, std::size_t capacity, const std::string& text) {
    std::memset(out, 0, capacity);
    std::memcpy(out, text.data(), std::min(text.size(), capacity - 1));
}

class Receiver {
public:
    Receiver(const Settings& settings, ActiveRun& run, Mailbox& mailbox, DiscoveryStats& stats)
        : settings_(settings), run_(run), mailbox_(mailbox), stats_(stats),
          budget_(settings.sourceBurst, settings.sourceRate) {}

    void Run() {
        const bool ok = Open();
        if (ok) Loop();
        stats_.overCap = budget_.overCap();
        stats_.rateLimited = budget_.rateLimited();
        mailbox_.Done(run_.stop.load());
    }

private:
    bool Open() {
        socket_ = net::OpenUdp({settings_.bindAddress, 0}, settings_.receiveBufferBytes);
        if (!socket_.valid() || !wire::crypto::RandomBytes(probe_.token)) return false;
        targets_ = ResolveTargets(settings_);
        return true;
    }

    void Loop() {
        const auto start = net::Clock::now();
        const auto end = start + milliseconds(settings_.windowMs);
        // Probes are spread over the first half of the window, so the last
        // one still leaves devices time to answer.
        const int repeats = settings_.probeRepeats;
        const auto interval = repeats > 1 ? milliseconds(settings_.windowMs) / (2 * (repeats - 1))
                                          : milliseconds(settings_.windowMs);
        int sent = 0;
        auto nextProbe = start;
        while (!run_.stop.load()) {
            const auto now = net::Clock::now();
            if (now >= end) break;
            if (sent < repeats && now >= nextProbe) {
                SendProbes();
                ++sent;
                nextProbe = start + interval * sent;
            }
            const auto wakeAt = sent < repeats ? std::min(nextProbe, end) : end;
            const net::WaitResult result = net::WaitReadable(socket_, &run_.waker, wakeAt);
            if (result == net::WaitResult::Woken) return;
            if (result == net::WaitResult::Error) break;
            if (result == net::WaitResult::Ready) Drain(kDrainBatch);
        }
        // Answers that arrived within the window but are still queued count,
        // as many as can be read in a short time.
        const auto drainEnd = net::Clock::now() + kFinalDrain;
        while (!run_.stop.load() && net::Clock::now() < drainEnd && Drain(kDrainBatch)) {
        }
    }

    void SendProbes() {
        const wire::Bytes probe = wire::Encode(probe_);
        for (const net::Endpoint& target : targets_) {
            if (net::SendTo(socket_, target, probe)) ++stats_.probesSent;
        }
    }

    // Reads at most `limit` queued datagrams, fewer once Stop is called.
    // True when `limit` were read: more may be waiting.
    bool Drain(int limit) {
        std::uint8_t buffer[wire::kMaxDatagramSize + 1];
        for (int read = 0; read < limit; ++read) {
            if (run_.stop.load(std::memory_order_relaxed)) return false;
            net::Endpoint from;
            std::size_t size = 0;
            if (net::RecvFrom(socket_, buffer, from, size) != net::RecvResult::Datagram) return false;
            if (size > wire::kMaxDatagramSize) {
                ++stats_.dropped;
                continue;
            }
            Handle(std::span<const std::uint8_t>(buffer, size), from.address);
        }
        return true;
    }

    void Handle(std::span<const std::uint8_t> datagram, std::uint32_t source) {
        DeviceRecord record;
        if (!ParseRunAnswer(datagram, probe_.token, record)) {
            ++stats_.dropped;
            return;
        }
        ++stats_.answers;
        std::string key(record.sn);
        key.push_back('\0');
        key.append(reinterpret_cast<const char*>(record.eth0.mac), sizeof record.eth0.mac);
        if (seen_.count(key) != 0) {
            ++stats_.duplicates;
            return;
        }
        // A device dropped here is not remembered: a later answer of it may
        // still get in, within the budget.
        if (budget_.Admit(source, net::Clock::now()) != Admission::kAdmitted) return;
        seen_.insert(std::move(key));
        // Answers never carry credentials: the SDK logs in with its own.
        CopyText(record.user, sizeof record.user, settings_.user);
        CopyText(record.password, sizeof record.password, settings_.password);
        mailbox_.Put(record, Transport::kOwn);
    }

    const Settings& settings_;
    ActiveRun& run_;
    Mailbox& mailbox_;
    DiscoveryStats& stats_;
    net::Socket socket_;
    std::vector<net::Endpoint> targets_;
    wire::Probe probe_;
    RunBudget budget_;
    std::set<std::string> seen_;  // admitted devices only, so at most kMaxDevicesPerRun
};

void ReportDrops(const DiscoveryStats& stats) {
    if (stats.overCap == 0 && stats.rateLimited == 0) return;
    std::fprintf(stderr,
                 "netsdk: discovery delivered %d devices and dropped %d answers over the limit of %zu devices "
                 "per run and %d over the rate of their source address\n",
                 stats.delivered, stats.overCap, kMaxDevicesPerRun, stats.rateLimited);
}

}  // namespace

DiscoveryStats RunDiscovery(const Settings& settings, RegisteredCallback callback) {
    std::lock_guard serial(g_serial);
    ActiveRun run;
    {
        std::lock_guard lock(g_activeMutex);
        g_active = &run;
    }
    DiscoveryStats receiverStats;
    int delivered = 0;
    onvif_client::WsDiscoveryStats onvifStats;
    int crossDuplicates = 0;
    if (run.waker.valid()) {
        Mailbox mailbox(settings.onvif ? 2 : 1);
        Receiver receiver(settings, run, mailbox, receiverStats);
        std::thread thread([&] { receiver.Run(); });
        std::thread onvif;
        if (settings.onvif) {
            onvif = std::thread([&] {
                const auto end = net::Clock::now() + milliseconds(settings.windowMs);
                onvifStats = onvif_client::RunWsDiscovery(
                    settings, end, run.stop, run.waker,
                    [&](const DeviceRecord& record, const onvif_client::KnownDevice& known) {
                        return mailbox.Put(record, Transport::kOnvif, &known);
                    });
                mailbox.Done(run.stop.load());
            });
        }
        DeviceRecord record;
        while (mailbox.Take(record)) {
            if (run.stop.load()) continue;
            if (callback.callback != nullptr) callback.callback(&record, callback.user);
            ++delivered;
        }
        thread.join();
        if (onvif.joinable()) onvif.join();
        crossDuplicates = mailbox.crossDuplicates();
        receiverStats.overCap += mailbox.overCap();
    }
    {
        std::lock_guard lock(g_activeMutex);
        g_active = nullptr;
    }
    DiscoveryStats stats = receiverStats;
    stats.delivered = delivered;
    stats.stopped = run.stop.load();
    stats.onvifProbesSent = onvifStats.probesSent;
    stats.onvifMatches = onvifStats.matches;
    stats.onvifRead = onvifStats.read;
    stats.sameMacDuplicates = crossDuplicates;
    ReportDrops(stats);
    std::lock_guard lock(g_statsMutex);
    g_lastStats = stats;
    return stats;
}

void StopDiscovery() {
    std::lock_guard lock(g_activeMutex);
    if (g_active != nullptr) {
        g_active->stop.store(true);
        g_active->waker.Wake();
    }
}

DiscoveryStats LastDiscoveryStats() {
    std::lock_guard lock(g_statsMutex);
    return g_lastStats;
}

}  // namespace netsdk
