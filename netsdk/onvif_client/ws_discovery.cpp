#include "netsdk/onvif_client/ws_discovery.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "netsdk/onvif/requests.h"
#include "netsdk/onvif/responses.h"
#include "netsdk/onvif_client/device_facts.h"
#include "netsdk/run_budget.h"

namespace netsdk::onvif_client {
namespace {

using namespace std::chrono;

constexpr std::size_t kMaxDatagram = 64 * 1024;
constexpr int kDrainBatch = 64;
// SOAP-over-UDP retransmission: a first gap drawn from 50-250 ms, doubled
// each time up to 500 ms.
constexpr milliseconds kMinGap{50}, kMaxGap{250}, kUpperGap{500};

std::string FreshMessageId() {
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1) return {};
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[64];
    std::snprintf(text, sizeof text,
                  "urn:uuid:%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                  bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

milliseconds FirstGap() {
    unsigned char r[2] = {0, 0};
    RAND_bytes(r, sizeof r);
    const int spread = static_cast<int>((kMaxGap - kMinGap).count());
    return kMinGap + milliseconds(((r[0] << 8) | r[1]) % (spread + 1));
}

template <std::size_t N>
void CopyText(char (&out)[N], const std::string& text) {
    std::memset(out, 0, N);
    std::memcpy(out, text.data(), std::min(text.size(), N - 1));
}

struct Job {
    ServiceAddress service;
    onvif::ProbeMatch match;
};

// Reads found devices on up to kReadWorkers threads, started as work comes.
class ReadPool {
public:
    ReadPool(const Settings& settings, net::Deadline end, const std::atomic<bool>& stop, const Deliver& deliver)
        : settings_(settings), end_(end), stop_(stop), deliver_(deliver) {}

    ~ReadPool() { Finish(); }

    void Add(Job job) {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        if (idle_ == 0 && threads_.size() < static_cast<std::size_t>(kReadWorkers)) {
            threads_.emplace_back([this] { Work(); });
        } else {
            ready_.notify_one();
        }
    }

    // No more jobs: waits for the workers to empty the queue.
    void Finish() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
            ready_.notify_all();
        }
        for (std::thread& thread : threads_) thread.join();
        threads_.clear();
    }

    int read() const { return read_.load(); }

private:
    void Work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idle_;
            ready_.wait(lock, [&] { return closed_ || !jobs_.empty(); });
            --idle_;
            if (jobs_.empty()) return;
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            Read(job);
            lock.lock();
        }
    }

    void Read(const Job& job) {
        if (stop_.load()) return;
        DeviceFacts facts;
        KnownDevice known;
        known.service = job.service;
        if (net::Clock::now() < end_) {
            DeviceClient client(ServiceUrl(job.service), settings_.user, settings_.password, &stop_);
            facts = ReadDeviceFacts(client, end_);
        }
        if (stop_.load()) return;
        if (facts.loggedIn) ++read_;
        DeviceRecord record = MakeRecord(job.service, job.match, facts);
        known.serial = record.sn;
        std::memcpy(known.mac.data(), record.eth0.mac, known.mac.size());
        if (const auto* network = ServiceInterface(facts.interfaces, net::FormatIPv4(job.service.host))) {
            known.interfaceToken = network->token;
        }
        known.recordModel = record.model;
        // Answers never carry credentials: the SDK logs in with its own.
        CopyText(record.user, settings_.user);
        CopyText(record.password, settings_.password);
        deliver_(record, known);
        OPENSSL_cleanse(record.password, sizeof record.password);
    }

    const Settings& settings_;
    const net::Deadline end_;
    const std::atomic<bool>& stop_;
    const Deliver& deliver_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Job> jobs_;
    std::vector<std::thread> threads_;
    int idle_ = 0;
    bool closed_ = false;
    std::atomic<int> read_{0};
};

class Prober {
public:
    Prober(const Settings& settings, net::Deadline end, const std::atomic<bool>& stop, const net::Waker& waker,
           WsDiscoveryStats& stats, ReadPool& pool)
        : settings_(settings), end_(end), stop_(stop), waker_(waker), stats_(stats), pool_(pool),
          budget_(settings.sourceBurst, settings.sourceRate) {}

    void Run() {
        socket_ = net::OpenUdp({settings_.bindAddress, 0}, settings_.receiveBufferBytes);
        for (onvif::ProbeType type : {onvif::ProbeType::NetworkVideoTransmitter, onvif::ProbeType::Device}) {
            const std::string id = FreshMessageId();
            if (id.empty()) return;
            ids_.push_back(id);
            probes_.push_back(onvif::BuildProbe(id, type));
        }
        if (!socket_.valid()) return;
        Loop();
    }

private:
    void Loop() {
        auto nextSend = net::Clock::now();
        milliseconds gap = FirstGap();
        int sent = 0;
        while (!stop_.load()) {
            const auto now = net::Clock::now();
            if (now >= end_) break;
            if (sent < settings_.probeRepeats && now >= nextSend) {
                SendProbes();
                ++sent;
                nextSend = now + gap;
                gap = std::min(gap * 2, kUpperGap);
            }
            const auto wakeAt = sent < settings_.probeRepeats ? std::min(nextSend, end_) : end_;
            const net::WaitResult result = net::WaitReadable(socket_, &waker_, wakeAt);
            if (result == net::WaitResult::Woken || result == net::WaitResult::Error) return;
            if (result == net::WaitResult::Ready) Drain();
        }
    }

    void SendProbes() {
        auto send = [&](net::Endpoint to) {
            for (const std::string& probe : probes_) {
                const auto* bytes = reinterpret_cast<const std::uint8_t*>(probe.data());
                if (net::SendTo(socket_, to, {bytes, probe.size()})) ++stats_.probesSent;
            }
        };
        if (settings_.autoTargets) {
            for (std::uint32_t local : net::MulticastInterfaceAddresses()) {
                if (net::SetMulticastInterface(socket_, local)) send({kMulticastAddress, settings_.onvifPort});
            }
            send({0x7F000001u, settings_.onvifPort});
        } else {
            std::set<std::uint32_t> done;
            for (const Target& target : settings_.targets) {
                if (done.insert(target.address).second) send({target.address, settings_.onvifPort});
            }
        }
    }

    void Drain() {
        std::vector<std::uint8_t> buffer(kMaxDatagram + 1);
        for (int i = 0; i < kDrainBatch && !stop_.load(std::memory_order_relaxed); ++i) {
            net::Endpoint from;
            std::size_t size = 0;
            if (net::RecvFrom(socket_, buffer, from, size) != net::RecvResult::Datagram) return;
            onvif::ProbeMatches answer;
            if (size > kMaxDatagram ||
                onvif::ParseProbeMatches({reinterpret_cast<const char*>(buffer.data()), size}, answer) !=
                    onvif::ParseStatus::Ok ||
                !onvif::AnswersProbe(answer, ids_)) {
                ++stats_.dropped;
                continue;
            }
            for (onvif::ProbeMatch& match : answer.matches) Take(std::move(match), from.address);
        }
    }

    // A device may only point at itself: its service address must be the
    // address the answer came from, so that no host on the network can send
    // our requests (and our credentials' digests) to a third one.
    void Take(onvif::ProbeMatch match, std::uint32_t source) {
        ++stats_.matches;
        ServiceAddress service;
        bool found = false;
        for (const std::string& xaddr : match.xaddrs) {
            if (ParseServiceAddress(xaddr, service) && service.host == source) {
                found = true;
                break;
            }
        }
        if (!found) {
            ++stats_.dropped;
            return;
        }
        const std::string where = ServiceUrl(service);
        if ((!match.address.empty() && endpoints_.count(match.address) != 0) || services_.count(where) != 0) {
            ++stats_.duplicates;
            return;
        }
        if (budget_.Admit(source, net::Clock::now()) != Admission::kAdmitted) {
            ++stats_.overBudget;
            return;
        }
        if (!match.address.empty()) endpoints_.insert(match.address);
        services_.insert(where);
        pool_.Add({std::move(service), std::move(match)});
    }

    const Settings& settings_;
    const net::Deadline end_;
    const std::atomic<bool>& stop_;
    const net::Waker& waker_;
    WsDiscoveryStats& stats_;
    ReadPool& pool_;
    RunBudget budget_;
    net::Socket socket_;
    std::vector<std::string> ids_;
    std::vector<std::string> probes_;
    std::set<std::string> endpoints_;  // EndpointReference addresses seen
    std::set<std::string> services_;   // service addresses seen
};

}  // namespace

WsDiscoveryStats RunWsDiscovery(const Settings& settings, net::Deadline end, const std::atomic<bool>& stop,
                                const net::Waker& waker, const Deliver& deliver) {
    WsDiscoveryStats stats;
    ReadPool pool(settings, end, stop, deliver);
    Prober prober(settings, end, stop, waker, stats, pool);
    prober.Run();
    pool.Finish();
    stats.read = pool.read();
    return stats;
}

}  // namespace netsdk::onvif_client
