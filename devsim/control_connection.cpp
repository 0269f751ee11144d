#include "devsim/control_connection.h"

#include <errno.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "netsdk/wire/header.h"

namespace devsim {
namespace {

constexpr std::size_t kReadSize = 4096;
// Reads per event, so that one busy client cannot keep the loop from the others.
constexpr int kReadsPerEvent = 16;
// Input reaches the session in pieces this small, so that one piece cannot
// draw much more output than the bound lets through.
constexpr std::size_t kFeedSize = 64;

// Whether the session has just accepted a login: the frame it answered is
// a LoginResult with status Ok.
bool AcceptsLogin(const wire::Bytes& frame) {
    wire::Header header;
    wire::LoginResult result;
    return wire::DecodeHeader(frame, header) && header.type == wire::MsgType::LoginResult &&
           wire::Decode(std::span<const std::uint8_t>(frame).subspan(wire::kHeaderSize), result) &&
           result.status == wire::Status::Ok;
}

}  // namespace

ControlConnection::ControlConnection(int fd, std::size_t device, DeviceState& state, std::uint32_t peer,
                                     const ServerLimits& limits,
                                     SimClock::time_point now)
    : fd_(fd), device_(device), session_(state, peer), limits_(limits), accepted_(now), lastHeard_(now) {}

ControlConnection::~ControlConnection() { close(fd_); }

std::uint32_t ControlConnection::Interest() const {
    std::uint32_t events = 0;
    // Half-closes are watched only while reading: a peer that half-closed
    // while its output waits would otherwise be reported over and over.
    if (!closing_ && inputUsed_ == input_.size() && !OutputFull()) events |= EPOLLIN | EPOLLRDHUP;
    if (!unsent_.empty()) events |= EPOLLOUT;
    return events;
}

SimClock::time_point ControlConnection::Deadline() const {
    return loggedIn_ ? lastHeard_ + limits_.idleTimeout : accepted_ + limits_.loginTimeout;
}

void ControlConnection::OnEvents(std::uint32_t events, SimClock::time_point now, bool& deviceGone) {
    if (events & (EPOLLHUP | EPOLLERR)) {
        broken_ = true;
        return;
    }
    Pump(now, deviceGone);
}

// Answers held input, writes, and reads more while the output has room.
void ControlConnection::Pump(SimClock::time_point now, bool& deviceGone) {
    for (int reads = 0;; ++reads) {
        Feed(now, deviceGone);
        Flush();
        if (Done() || closing_ || inputUsed_ < input_.size() || OutputFull()) return;
        if (reads == kReadsPerEvent || !Receive(now)) return;
    }
}

// False when nothing was read.
bool ControlConnection::Receive(SimClock::time_point now) {
    input_.resize(kReadSize);
    inputUsed_ = 0;
    for (;;) {
        const ssize_t got = recv(fd_, input_.data(), input_.size(), 0);
        if (got > 0) {
            input_.resize(static_cast<std::size_t>(got));
            lastHeard_ = now;
            return true;
        }
        input_.clear();
        if (got < 0 && errno == EINTR) continue;
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) broken_ = true;
        return false;
    }
}

void ControlConnection::Feed(SimClock::time_point now, bool& deviceGone) {
    while (inputUsed_ < input_.size() && !closing_ && !OutputFull()) {
        const std::size_t size = std::min(kFeedSize, input_.size() - inputUsed_);
        ControlSession::Output out;
        session_.OnBytes({input_.data() + inputUsed_, size}, now, out);
        inputUsed_ += size;
        for (const wire::Bytes& frame : out.frames) {
            if (!loggedIn_ && AcceptsLogin(frame)) loggedIn_ = true;
            unsent_.insert(unsent_.end(), frame.begin(), frame.end());
        }
        if (out.deviceGone) deviceGone = true;
        if (out.close) closing_ = true;
    }
    if (closing_ || inputUsed_ == input_.size()) {
        input_.clear();  // what follows a closing frame is not answered
        inputUsed_ = 0;
    }
}

void ControlConnection::Flush() {
    std::size_t done = 0;
    while (done < unsent_.size()) {
        const ssize_t sent = send(fd_, unsent_.data() + done, unsent_.size() - done, MSG_NOSIGNAL);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            unsent_.clear();
            broken_ = true;
            return;
        }
    }
    unsent_.erase(unsent_.begin(), unsent_.begin() + static_cast<std::ptrdiff_t>(done));
    if (unsent_.empty() && unsent_.capacity() > kReadSize) unsent_ = {};  // a drained backlog gives its memory back
}

}  // namespace devsim
