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
    // `port`, or on a free port when 0.
    bool Start(const std::string& fleet, int nice = 0, int port = 0) {
        const std::string portText = std::to_string(port);
        int out[2];
        if (pipe(out) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const char* argv[] = {TARNWICK_DEVSIM, "--fleet", fleet.c_str(), "--bind-discovery", "127.0.0.1",
                              "--port", portText.c_str(), nullptr};
        const int spawned =
            posix_spawn(&pid_, TARNWICK_DEVSIM, &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        char line[256] = {};
        pollfd entry{out[0], POLLIN, 0};
        const bool ready = spawned == 0 && poll(&entry, 1, 20000) == 1 && read(out[0], line, sizeof line - 1) > 0;
        close(out[0]);
        if (spawned == 0 && nice != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(pid_), nice);
        const char* colon = std::strrchr(line, ':');
        port_ = colon ? std::atoi(colon + 1) : 0;
        return ready && port_ > 0;
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
    pid_t pid_ = -1;
    int port_ = 0;
    long peakKiB_ = 0;
};
