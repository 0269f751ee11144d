#include "devsim/discovery_outbox.h"

#include <arpa/inet.h>
#include <errno.h>
#include <sys/socket.h>

#include "netsdk/wire/header.h"

namespace devsim {

void DiscoveryOutbox::Post(Outgoing datagram, SimClock::time_point now) {
    if (!budget_.Take(datagram.address, now)) {
        ++counters_.datagramsDropped;
        return;
    }
    if (datagram.delayMs <= 0) return Send(std::move(datagram));
    const auto when = now + std::chrono::milliseconds(datagram.delayMs);
    if (!delayed_.Add(std::move(datagram), when)) ++counters_.datagramsDropped;
}

void DiscoveryOutbox::SendDue(SimClock::time_point now) {
    std::vector<Outgoing> due;
    delayed_.TakeDue(now, due);
    for (Outgoing& datagram : due) Send(std::move(datagram));
}

void DiscoveryOutbox::Send(Outgoing datagram) {
    if (unsent_.empty() && TrySend(datagram)) return;
    if (unsent_.size() >= unsentLimit_) {
        ++counters_.datagramsDropped;
        return;
    }
    unsent_.push_back(std::move(datagram));
}

void DiscoveryOutbox::OnWritable() {
    while (!unsent_.empty() && TrySend(unsent_.front())) unsent_.pop_front();
}

// False when the socket is full and the datagram must wait.
bool DiscoveryOutbox::TrySend(const Outgoing& datagram) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(datagram.address);
    to.sin_port = htons(datagram.port);
    for (;;) {
        const ssize_t sent = sendto(socket_, datagram.bytes.data(), datagram.bytes.size(), MSG_NOSIGNAL,
                                    reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent >= 0) {
            if (datagram.bytes.size() > wire::kHeaderSize &&
                datagram.bytes[5] == static_cast<std::uint8_t>(wire::MsgType::Answer)) {
                ++counters_.answers;
            }
            return true;
        }
        if (errno == EINTR) continue;
        return errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS;  // other errors: give up
    }
}

}  // namespace devsim
