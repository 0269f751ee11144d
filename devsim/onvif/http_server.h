// The device service on a real socket: an HTTP/1.1 server (cpp-httplib) on
// one address, a small pool of threads, bounded bodies and timeouts. Every
// request goes to the same OnvifDeviceService, one at a time.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "devsim/onvif/device_service.h"

namespace httplib {
class Server;
}

namespace devsim {

class OnvifHttpServer {
public:
    explicit OnvifHttpServer(OnvifProfile profile);
    ~OnvifHttpServer();
    OnvifHttpServer(const OnvifHttpServer&) = delete;
    OnvifHttpServer& operator=(const OnvifHttpServer&) = delete;

    // Binds `address` (port 0: any free port) and serves on a thread of its
    // own; false if the address cannot be bound.
    bool Start(const std::string& address, int port);
    void Stop();
    int port() const { return port_; }
    // The device's profile as its requests have left it.
    OnvifProfile Profile();

private:
    void Serve(const HttpRequest& request, HttpResponse& response);

    OnvifProfile initial_;
    std::unique_ptr<OnvifDeviceService> service_;
    std::unique_ptr<httplib::Server> http_;
    std::mutex lock_;  // the service is driven by one request at a time
    std::thread thread_;
    int port_ = 0;
};

}  // namespace devsim
