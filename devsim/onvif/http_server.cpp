#include "devsim/onvif/http_server.h"

#include <httplib.h>

#include <ctime>

namespace devsim {

namespace {

constexpr std::size_t kWorkers = 4;
constexpr time_t kIoTimeout = 5;       // seconds a read or write may stall
constexpr time_t kKeepAlive = 2;       // seconds an idle connection is kept
constexpr std::size_t kRequestsPerConnection = 32;

}  // namespace

OnvifHttpServer::OnvifHttpServer(OnvifProfile profile) : initial_(std::move(profile)) {}

OnvifHttpServer::~OnvifHttpServer() { Stop(); }

bool OnvifHttpServer::Start(const std::string& address, int port) {
    if (http_) return false;
    http_ = std::make_unique<httplib::Server>();
    http_->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
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
        http_.reset();
        return false;
    }
    service_ = std::make_unique<OnvifDeviceService>(
        initial_, "http://" + address + ":" + std::to_string(port_) + kDeviceServicePath);
    thread_ = std::thread([this] { http_->listen_after_bind(); });
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

void OnvifHttpServer::Serve(const HttpRequest& request, HttpResponse& response) {
    std::chrono::milliseconds delay{0};
    {
        std::lock_guard guard(lock_);
        response = service_->Handle(request, static_cast<std::int64_t>(std::time(nullptr)));
        delay = service_->profile().behaviour.answerDelay;
    }
    // A slow device: the answer waits, other connections do not.
    if (delay.count() > 0) std::this_thread::sleep_for(delay);
}

}  // namespace devsim
