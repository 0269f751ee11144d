// A tarnwick-devsim child running one fleet file on loopback, for the
// benchmark programs; stopped on destruction.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

extern char** environ;

class SimulatorChild {
public:
    // Starts the child and waits for its ready line; `nice` lowers its
    // priority (a simulated fleet stands for devices elsewhere on the
    // network, whose work is not this machine's). Discovery listens on
    // `port`, or on a free port when 0; WS-Discovery of the fleet's ONVIF
    // devices, if it has any, on a free port.
    bool Start(const std::string& fleet, int nice = 0, int port = 0) {
        const std::string portText = std::to_string(port);
        int out[2];
        if (pipe(out) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const char* argv[] = {TARNWICK_DEVSIM, "--fleet", fleet.c_str(), "--bind-discovery", "127.0.0.1",
                              "--port", portText.c_str(), "--onvif-port", "0", nullptr};
        const int spawned =
            posix_spawn(&pid_, TARNWICK_DEVSIM, &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        // The ONVIF line, when there is one, comes before the ready line; the
        // two may arrive in one read or in two.
        std::string text;
        const auto whole = [&text] {
            const std::size_t ready = text.find(kReady);
            return ready != std::string::npos && text.find('\n', ready) != std::string::npos;
        };
        pollfd entry{out[0], POLLIN, 0};
        while (spawned == 0 && !whole() && poll(&entry, 1, 20000) == 1) {
            char chunk[256];
            const ssize_t got = read(out[0], chunk, sizeof chunk);
            if (got <= 0) break;
            text.append(chunk, static_cast<std::size_t>(got));
        }
        close(out[0]);
        if (spawned == 0 && nice != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(pid_), nice);
        const std::size_t ready = text.find(kReady);
        port_ = ready != std::string::npos ? PortAfter(text, ready) : 0;
        const std::size_t onvif = text.find(kOnvif);
        onvifPort_ = onvif != std::string::npos ? PortAfter(text, onvif) : 0;
        return port_ > 0;
    }
    ~SimulatorChild() { Stop(SIGTERM); }
    // Ends the child with `signal` and reaps it; a later Start may run another.
    void Stop(int signal) {
        if (pid_ <= 0) return;
        peakKiB_ = PeakKiB();
        kill(pid_, signal);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    int port() const { return port_; }
    // The WS-Discovery port; 0 when the fleet has no ONVIF device.
    int onvifPort() const { return onvifPort_; }
    pid_t pid() const { return pid_; }
    // The child's own high-water mark: ru_maxrss of children would also
    // count the parent's pages that the spawn shared before exec.
    long PeakKiB() const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
        }
        return peakKiB_;
    }

private:
    static constexpr const char* kReady = " devices, discovery on ";
    static constexpr const char* kOnvif = "WS-Discovery probes on ";

    // The port after the last colon of the line that holds `from`, once
    // the line is whole.
    static int PortAfter(const std::string& text, std::size_t from) {
        const std::size_t end = text.find('\n', from);
        if (end == std::string::npos) return 0;
        const std::size_t colon = text.rfind(':', end);
        return colon != std::string::npos && colon > from ? std::atoi(text.c_str() + colon + 1) : 0;
    }

    pid_t pid_ = -1;
    int port_ = 0;
    int onvifPort_ = 0;
    long peakKiB_ = 0;
};
