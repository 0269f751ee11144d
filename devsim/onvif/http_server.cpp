#include "devsim/onvif/http_server.h"

#include <httplib.h>

#include <cerrno>
#include <ctime>

namespace devsim {

namespace {

constexpr std::size_t kWorkers = 4;
constexpr time_t kIoTimeout = 5;       // seconds a read or write may stall
constexpr time_t kKeepAlive = 2;       // seconds an idle connection is kept
constexpr std::size_t kRequestsPerConnection = 32;

// cpp-httplib sets SO_REUSEPORT by default, which would let a second
// simulator bind the same address and port and take part of the requests;
// SO_REUSEADDR alone still refuses a port another socket listens on.
void SocketOptions(int fd) {
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

}  // namespace

OnvifHttpServer::OnvifHttpServer(OnvifProfile profile) : initial_(std::move(profile)) {}

OnvifHttpServer::~OnvifHttpServer() { Stop(); }

bool OnvifHttpServer::Start(const std::string& address, int port) {
    if (http_) return false;
    http_ = std::make_unique<httplib::Server>();
    http_->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    http_->set_socket_options(SocketOptions);
    // Headers and body go out in separate writes: without this, Nagle's
    // algorithm and the client's delayed ACK hold each answer for ~40 ms.
    http_->set_tcp_nodelay(true);
    http_->set_payload_max_length(kRequestBodyLimit)
        .set_read_timeout(kIoTimeout)
        .set_write_timeout(kIoTimeout)
        .set_keep_alive_timeout(kKeepAlive)
        .set_keep_alive_max_count(kRequestsPerConnection);
    auto handler = [this](const httplib::Request& in, httplib::Response& out) {
        HttpRequest request{in.method, in.target, {}, in.body};
        for (const auto& [name, value] : in.headers) request.headers.emplace_back(name, value);
        HttpResponse response;
        Serve(request, response);
        out.status = response.status;
        for (const auto& [name, value] : response.headers) {
            if (name != "Content-Type") out.headers.emplace(name, value);
        }
        out.set_content(response.body, std::string(HeaderValue(response.headers, "Content-Type")));
    };
    http_->Post(".*", handler);
    http_->Get(".*", handler);
    const bool bound = port == 0 ? (port_ = http_->bind_to_any_port(address)) > 0
                                 : http_->bind_to_port(address, port) && (port_ = port) > 0;
    if (!bound) {
        const int error = errno;
        http_.reset();
        errno = error;
        return false;
    }
    auto service = std::make_unique<OnvifDeviceService>(
        initial_, "http://" + address + ":" + std::to_string(port_) + kDeviceServicePath);
    {
        std::lock_guard guard(lock_);
        service_ = std::move(service);
        address_ = address;
        changeSeen_ = false;
        moveDue_ = false;
    }
    thread_ = std::thread([this] { http_->listen_after_bind(); });
    // cpp-httplib's stop() does nothing before the server runs: wait for it,
    // so that a Stop() right after Start() cannot leave the thread listening.
    for (int i = 0; i < 2000 && !http_->is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void OnvifHttpServer::Stop() {
    if (!http_) return;
    http_->stop();
    if (thread_.joinable()) thread_.join();
    http_.reset();
}

OnvifProfile OnvifHttpServer::Profile() {
    std::lock_guard guard(lock_);
    return service_ ? service_->profile() : initial_;
}

bool OnvifHttpServer::MoveDue() {
    std::lock_guard guard(lock_);
    return moveDue_;
}

void OnvifHttpServer::Leave() {
    // Stopping waits for the request in progress, so the answer that moved
    // the device has been written before its listener closes.
    Stop();
    initial_ = Profile();
}

bool OnvifHttpServer::Arrive() {
    return Start(initial_.network.address, port_);
}

// Under lock_, after each request: a changed address is due once the
// device needs no reboot, or once one was accepted after the change.
void OnvifHttpServer::NoteAddressChange() {
    const OnvifProfile& profile = service_->profile();
    if (profile.network.address == address_) {
        changeSeen_ = false;
        return;
    }
    if (!changeSeen_) {
        changeSeen_ = true;
        rebootsAtChange_ = service_->reboots();
    }
    if (!profile.behaviour.rebootNeeded || service_->reboots() > rebootsAtChange_) moveDue_ = true;
}

void OnvifHttpServer::Serve(const HttpRequest& request, HttpResponse& response) {
    std::chrono::milliseconds delay{0};
    bool announce = false;
    {
        std::lock_guard guard(lock_);
        response = service_->Handle(request, static_cast<std::int64_t>(std::time(nullptr)));
        delay = service_->profile().behaviour.answerDelay;
        const bool wasDue = moveDue_;
        NoteAddressChange();
        announce = moveDue_ && !wasDue;
    }
    // A slow device: the answer waits, other connections do not.
    if (delay.count() > 0) std::this_thread::sleep_for(delay);
    if (announce && onMoveDue_) onMoveDue_();
}

}  // namespace devsim
