// The device service on a real socket: an HTTP/1.1 server (cpp-httplib) on
// one address, a small pool of threads, bounded bodies and timeouts. Every
// request goes to the same OnvifDeviceService, one at a time.
#pragma once

#include <functional>
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
    // own; false if the address cannot be bound (errno tells why).
    bool Start(const std::string& address, int port);
    void Stop();
    int port() const { return port_; }
    // The address the server is bound to (the profile's may differ while a
    // move waits for its reboot).
    const std::string& address() const { return address_; }
    // The device's profile as its requests have left it.
    OnvifProfile Profile();

    // Called on a server thread once the device should serve at its new
    // address: SetNetworkInterfaces was accepted and, for a device that
    // needs a reboot, SystemReboot after it. Set before Start.
    void OnMoveDue(std::function<void()> handler) { onMoveDue_ = std::move(handler); }
    bool MoveDue();
    // A move in two steps, never from a server thread. Leave stops serving
    // (the answer that caused the move has been sent by then); Arrive binds
    // the profile's new address on the same port, as a device that comes
    // back up. False, and the server stays stopped, if the new address
    // cannot be bound.
    void Leave();
    bool Arrive();

private:
    void Serve(const HttpRequest& request, HttpResponse& response);
    void NoteAddressChange();

    OnvifProfile initial_;
    std::unique_ptr<OnvifDeviceService> service_;
    std::unique_ptr<httplib::Server> http_;
    std::mutex lock_;  // the service is driven by one request at a time
    std::thread thread_;
    std::string address_;
    int port_ = 0;
    std::function<void()> onMoveDue_;
    bool changeSeen_ = false;  // the profile names another address than address_
    int rebootsAtChange_ = 0;
    bool moveDue_ = false;
};

}  // namespace devsim
