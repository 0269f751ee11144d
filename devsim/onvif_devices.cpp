#include "devsim/onvif_devices.h"

#include <arpa/inet.h>
#include <errno.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "devsim/onvif/ws_discovery_responder.h"
#include "netsdk/onvif/probe.h"
#include "netsdk/onvif/xml_document.h"

namespace devsim {
namespace {

// Datagrams read per wake-up, so that a flood cannot keep the thread from
// sending what is due.
constexpr int kReadsPerWake = 256;
constexpr std::size_t kRecentProbes = 256;

std::string AddressText(std::uint32_t address) {
    const in_addr parsed{htonl(address)};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &parsed, text, sizeof text);
    return text;
}

bool Fail(StartFailure& failure, const std::string& what, int error) {
    failure.text = what + ": " + std::strerror(error);
    failure.addressInUse = error == EADDRINUSE;
    return false;
}

}  // namespace

OnvifDevices::OnvifDevices(const std::vector<OnvifProfile>& profiles, OnvifOptions options, ServerCounters& counters)
    : options_(std::move(options)), counters_(counters), initial_(profiles), budget_(options_.limits.answers),
      delayed_(options_.limits.delayedDatagrams, options_.limits.delayedDatagramsPerAddress) {}

OnvifDevices::~OnvifDevices() {
    Stop();
    for (int fd : {socket_, wakeFd_}) {
        if (fd >= 0) close(fd);
    }
}

bool OnvifDevices::Open(StartFailure& failure) {
    if (initial_.empty()) return true;
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) return Fail(failure, "cannot create the ONVIF devices' event", errno);
    devices_.reserve(initial_.size());
    for (const OnvifProfile& profile : initial_) {
        Device& device = devices_.emplace_back();
        device.server = std::make_unique<OnvifHttpServer>(profile);
        device.server->OnMoveDue([this] { Wake(); });
        if (!device.server->Start(profile.network.address, profile.httpPort)) {
            return Fail(failure,
                        "cannot bind the HTTP server of ONVIF device " + profile.serialNumber + " to " +
                            profile.network.address + ":" + std::to_string(profile.httpPort),
                        errno);
        }
        device.port = device.server->port();
    }
    return OpenDiscovery(failure);
}

// Like our own discovery socket, no SO_REUSEADDR or SO_REUSEPORT: a port
// another socket holds is refused rather than shared.
bool OnvifDevices::OpenDiscovery(StartFailure& failure) {
    const std::string where = AddressText(options_.discoveryAddress) + ":" + std::to_string(options_.discoveryPort);
    socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket_ < 0) return Fail(failure, "cannot create the WS-Discovery socket for " + where, errno);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(options_.discoveryAddress);
    addr.sin_port = htons(options_.discoveryPort);
    socklen_t length = sizeof addr;
    if (bind(socket_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(socket_, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        return Fail(failure, "cannot bind the WS-Discovery socket to " + where, errno);
    }
    discoveryPort_ = ntohs(addr.sin_port);
    if (options_.discoveryAddress == 0) JoinGroup();
    return true;
}

// Probes are multicast: a socket bound to every interface joins the group on
// each interface that is up and carries multicast, or on the default one if
// there is none.
void OnvifDevices::JoinGroup() {
    ip_mreqn request{};
    inet_pton(AF_INET, kWsDiscoveryGroup, &request.imr_multiaddr);
    int joined = 0;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) == 0) {
        for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
            if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
            if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_MULTICAST) == 0) continue;
            request.imr_address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr;
            request.imr_ifindex = static_cast<int>(if_nametoindex(entry->ifa_name));
            if (setsockopt(socket_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0) ++joined;
        }
        freeifaddrs(list);
    }
    if (joined == 0) {
        request.imr_address.s_addr = htonl(INADDR_ANY);
        request.imr_ifindex = 0;
        setsockopt(socket_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request);
    }
}

namespace {

std::uint32_t AddressOf(const std::string& text) {
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1 ? ntohl(address.s_addr) : 0;
}

}  // namespace

void OnvifDevices::Begin() {
    if (socket_ >= 0) thread_ = std::thread([this] { Run(); });
}

void OnvifDevices::Stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        Wake();
        thread_.join();
    }
    for (Device& device : devices_) device.server->Stop();
}

void OnvifDevices::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
}

std::vector<OnvifProfile> OnvifDevices::Snapshot() const {
    std::vector<OnvifProfile> profiles;
    std::lock_guard lock(mutex_);
    for (const Device& device : devices_) {
        profiles.push_back(device.server->Profile());
        profiles.back().httpPort = device.port;
    }
    if (devices_.empty()) return initial_;
    return profiles;
}

void OnvifDevices::Run() {
    while (!stopping_) {
        auto next = delayed_.NextDue();
        const auto arrival = NextArrival();
        if (arrival && (!next || *arrival < *next)) next = arrival;
        int timeout = -1;
        if (next) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - SimClock::now());
            timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, 60000));
        }
        pollfd fds[2] = {{socket_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (poll(fds, 2, timeout) < 0 && errno != EINTR) return;
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = read(wakeFd_, &count, sizeof count);
        }
        if ((fds[1].revents & POLLIN) || (arrival && *arrival <= SimClock::now())) MoveDevices();
        if (fds[0].revents & POLLIN) ReadProbes();
        std::vector<Outgoing> due;
        delayed_.TakeDue(SimClock::now(), due);
        for (const Outgoing& datagram : due) Send(datagram);
    }
}

void OnvifDevices::ReadProbes() {
    std::vector<char> buffer(onvif::kDatagramLimit + 1);
    for (int reads = 0; reads < kReadsPerWake; ++reads) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got = recvfrom(socket_, buffer.data(), buffer.size(), MSG_TRUNC,
                                     reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (static_cast<std::size_t>(got) > onvif::kDatagramLimit) continue;
        const std::uint32_t source = ntohl(from.sin_addr.s_addr);
        const std::uint16_t port = ntohs(from.sin_port);
        auto now = SimClock::now();
        if (!budget_.Available(source, now)) continue;  // its answers would be dropped anyway
        onvif::Probe probe;
        if (onvif::ParseProbe({buffer.data(), static_cast<std::size_t>(got)}, probe) != onvif::ParseStatus::Ok) continue;
        if (std::find(recentProbes_.begin(), recentProbes_.end(), probe.messageId) != recentProbes_.end()) continue;
        if (recentProbes_.size() >= kRecentProbes) recentProbes_.pop_front();
        recentProbes_.push_back(probe.messageId);
        ++counters_.onvifProbes;

        std::vector<OnvifProfile> profiles;
        std::vector<DiscoverableDevice> listed;
        std::vector<std::size_t> index;
        profiles.reserve(devices_.size());
        {
            std::lock_guard lock(mutex_);
            for (std::size_t i = 0; i < devices_.size(); ++i) {
                if (devices_[i].quiet) continue;
                profiles.push_back(devices_[i].server->Profile());
                index.push_back(i);
            }
        }
        for (std::size_t k = 0; k < profiles.size(); ++k) {
            const Device& device = devices_[index[k]];
            listed.push_back({&profiles[k], device.server->address(), device.port});
        }
        now = SimClock::now();
        for (ProbeAnswer& answer : AnswerProbe(probe, listed)) {
            Outgoing datagram{source, port, static_cast<int>(profiles[answer.device].behaviour.answerDelay.count()),
                              wire::Bytes(answer.datagram.begin(), answer.datagram.end()),
                              AddressOf(listed[answer.device].address)};
            if (!budget_.Take(source, now)) {
                ++counters_.datagramsDropped;
                continue;
            }
            const auto when = now + std::chrono::milliseconds(datagram.delayMs);
            if (datagram.delayMs <= 0) {
                Send(datagram);
            } else if (!delayed_.Add(std::move(datagram), when)) {
                ++counters_.datagramsDropped;
            }
        }
    }
}

// Answers go out at once or not at all: a full socket drops them, as a busy
// device would, rather than queueing without bound. Each leaves from its
// device's own address, as a real device's answer does.
void OnvifDevices::Send(const Outgoing& datagram) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(datagram.address);
    to.sin_port = htons(datagram.port);
    iovec part{const_cast<std::uint8_t*>(datagram.bytes.data()), datagram.bytes.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof to;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    if (datagram.from != 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst.s_addr = htonl(datagram.from);
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
    }
    ssize_t sent = -1;
    do {
        sent = sendmsg(socket_, &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        ++counters_.datagramsDropped;
        return;
    }
    ++counters_.onvifAnswers;
}

std::optional<SimClock::time_point> OnvifDevices::NextArrival() const {
    std::optional<SimClock::time_point> next;
    for (const Device& device : devices_) {
        if (device.arriveAt && (!next || *device.arriveAt < *next)) next = device.arriveAt;
    }
    return next;
}

// A device whose move is due leaves its old address at once and binds the
// new one after its moveDelay: between the two it answers nowhere.
void OnvifDevices::MoveDevices() {
    const auto now = SimClock::now();
    bool moved = false;
    for (Device& device : devices_) {
        if (device.quiet) continue;
        if (!device.arriveAt) {
            if (!device.server->MoveDue()) continue;
            device.server->Leave();
            device.arriveAt = now + device.server->Profile().behaviour.moveDelay;
        }
        if (*device.arriveAt > now) continue;
        device.arriveAt.reset();
        moved = true;
        if (device.server->Arrive()) {
            ++counters_.onvifMoves;
            continue;
        }
        const int error = errno;
        const OnvifProfile profile = device.server->Profile();
        {
            std::lock_guard lock(mutex_);
            device.quiet = true;
        }
        std::fprintf(stderr, "tarnwick-devsim: ONVIF device %s cannot serve at %s:%d (%s); it stays quiet\n",
                     profile.serialNumber.c_str(), profile.network.address.c_str(), device.port, std::strerror(error));
    }
    if (moved && options_.onMoved) options_.onMoved();
}

}  // namespace devsim
