// An SDK of the tests' own: answers delivered when and from where a test
// says, cameras that refuse logins or block in them, and a count of every
// call, so that orderings the network makes rare can be made certain.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "discovery/discovery_sdk.h"

namespace discovery_testing {

struct FakeCamera {
    int refusals = 0;           // logins refused before one is accepted
    bool blockLogins = false;   // logins wait until ReleaseLogins
    std::vector<std::pair<std::string, std::string>> entries;  // the configuration block
    // What happened, in order.
    std::vector<std::chrono::steady_clock::time_point> logins;
    int configReads = 0;
    int logouts = 0;
};

class FakeSdk : public DiscoverySdk {
public:
    using Clock = std::chrono::steady_clock;

    void Init() override {}
    void SetDiscoveryCallBack(Q9_DiscoveryCallBack callback, void* user) override {
        std::lock_guard lock(mutex_);
        callback_ = callback;
        user_ = user;
    }
    // Runs the test's window body, then reports that the window has closed.
    void StartDiscovery() override {
        std::function<void(FakeSdk&)> body;
        {
            std::lock_guard lock(mutex_);
            body = window;
            windowOpen = true;
        }
        if (body) body(*this);
        std::lock_guard lock(mutex_);
        windowOpen = false;
        stopAsked_ = false;
        ++windowsClosed;
    }
    // Ends an open window early, as the real SDK does.
    void StopDiscovery() override {
        {
            std::lock_guard lock(mutex_);
            if (windowOpen) stopAsked_ = true;
        }
        stopped_.notify_all();
    }
    // For a window body: waits until the window is asked to stop, or `limit`.
    bool WaitForStop(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        return stopped_.wait_for(lock, limit, [&] { return stopAsked_; });
    }

    std::int32_t Login(const char* address, std::uint32_t, const char*, const char*, void*) override {
        std::unique_lock lock(mutex_);
        FakeCamera& camera = cameras[address];
        camera.logins.push_back(Clock::now());
        released_.wait(lock, [&] { return !camera.blockLogins; });
        if (static_cast<int>(camera.logins.size()) <= camera.refusals) return -1;
        handles_.push_back(address);
        return static_cast<std::int32_t>(handles_.size() - 1);
    }
    Q9_BOOL GetDVRConfig(std::int32_t handle, std::uint32_t command, std::int32_t, void* buffer, std::uint32_t size,
                         std::uint32_t* bytesReturned) override {
        std::lock_guard lock(mutex_);
        FakeCamera& camera = cameras[handles_.at(static_cast<std::size_t>(handle))];
        ++camera.configReads;
        if (command != Q9_GET_SENSOR_CONFIG || size != kSensorConfigBlockSize) return 0;
        auto* entries = static_cast<SensorConfigEntry*>(buffer);
        for (std::size_t i = 0; i < camera.entries.size() && i < kSensorConfigEntries; ++i) {
            std::strncpy(entries[i].name, camera.entries[i].first.c_str(), sizeof entries[i].name);
            std::strncpy(entries[i].value, camera.entries[i].second.c_str(), sizeof entries[i].value);
        }
        *bytesReturned = size;
        return 1;
    }
    void Logout(std::int32_t handle) override {
        std::lock_guard lock(mutex_);
        ++cameras[handles_.at(static_cast<std::size_t>(handle))].logouts;
    }

    // Calls the registered callback, as the SDK's thread would.
    void Deliver(const DeviceRecord& record) {
        Q9_DiscoveryCallBack callback;
        void* user;
        {
            std::lock_guard lock(mutex_);
            callback = callback_;
            user = user_;
        }
        if (callback) callback(&record, user);
    }
    void ReleaseLogins() {
        {
            std::lock_guard lock(mutex_);
            for (auto& [address, camera] : cameras) camera.blockLogins = false;
        }
        released_.notify_all();
    }
    // A copy of a camera's story, taken under the lock.
    FakeCamera Camera(const std::string& address) {
        std::lock_guard lock(mutex_);
        return cameras[address];
    }
    bool WindowOpen() {
        std::lock_guard lock(mutex_);
        return windowOpen;
    }
    bool CallbackRegistered() {
        std::lock_guard lock(mutex_);
        return callback_ != nullptr;
    }

    // Set before a run; guarded by the SDK's lock afterwards.
    std::function<void(FakeSdk&)> window;
    std::map<std::string, FakeCamera> cameras;
    bool windowOpen = false;
    int windowsClosed = 0;

private:
    std::mutex mutex_;
    std::condition_variable released_;
    std::condition_variable stopped_;
    bool stopAsked_ = false;
    Q9_DiscoveryCallBack callback_ = nullptr;
    void* user_ = nullptr;
    std::vector<std::string> handles_;
};

// A record of `model` with serial `sn` at a loopback address numbered `host`.
inline DeviceRecord FakeRecord(const std::string& sn, const std::string& model, unsigned host) {
    DeviceRecord r{};
    std::snprintf(r.sn, sizeof r.sn, "%s", sn.c_str());
    std::snprintf(r.model, sizeof r.model, "%s", model.c_str());
    std::snprintf(r.eth0.ip, sizeof r.eth0.ip, "127.0.%u.%u", (host / 250) % 250, host % 250 + 1);
    std::snprintf(r.eth0.mask, sizeof r.eth0.mask, "255.0.0.0");
    std::snprintf(r.user, sizeof r.user, "admin");
    r.privatePort = 8000;
    return r;
}

}  // namespace discovery_testing
