// The simulator as an attacker on the same host sees it: a tarnwick-devsim
// child process, so that its memory, CPU time and descriptor limit are its
// own, and the client side of each attack: silent connections, a client
// that never reads, floods of probes. All traffic goes to 127.0.0.0/8 and
// every loop is bounded in count and time.
#pragma once

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "devsim/fleet_generator.h"
#include "devsim/fleet_xml.h"
#include "netsdk/wire/header.h"
#include "netsdk/wire/messages.h"
#include "sdk/q9_netsdk.h"

namespace attack {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

inline constexpr std::uint16_t kControlPort = 8000;

// A /24 of loopback addresses of this process's own (127.200-249.x.0), so
// that tests running side by side never share an address.
inline std::uint32_t OwnSubnet() {
    const auto pid = static_cast<std::uint32_t>(getpid());
    return 0x7F000000u | ((200u + pid % 50u) << 16) | (((pid / 50u) % 250u) << 8);
}

inline std::uint32_t AddressOf(const devsim::DeviceProfile& device) {
    in_addr parsed{};
    inet_pton(AF_INET, device.record.eth0.ip, &parsed);
    return ntohl(parsed.s_addr);
}

// `count` generated devices on hosts .1 onwards of OwnSubnet, each on port 8000.
inline devsim::Fleet OwnFleet(int count) {
    devsim::GeneratorOptions options;
    options.count = count;
    options.firstAddress = OwnSubnet() | 1u;
    options.controlPort = kControlPort;
    return devsim::GenerateFleet(options);
}

class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { Stop(); }

    // Writes the fleet file, starts `binary` on it with `args` added and
    // waits for its ready line. `openFiles`, when set, is its descriptor
    // limit, soft and hard, so that it cannot raise it.
    bool Start(const std::string& binary, const devsim::Fleet& fleet, const std::vector<std::string>& args = {},
               rlim_t openFiles = 0) {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-attack-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) return false;
        dir_ = pattern;
        const std::string fleetFile = dir_ + "/fleet.xml";
        std::string error;
        if (!devsim::SaveFleetFile(fleetFile, fleet, error)) return false;
        std::vector<std::string> words = {binary, "--fleet", fleetFile, "--bind-discovery", "127.0.0.1", "--port", "0"};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return false;
        pid_ = fork();
        if (pid_ == 0) Exec(out[1], openFiles, argv.data());
        close(out[1]);
        const bool ready = pid_ > 0 && ReadPort(out[0]);
        close(out[0]);
        return ready;
    }

    void Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        if (!dir_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(dir_, ignored);
            dir_.clear();
        }
    }

    std::uint16_t discoveryPort() const { return port_; }
    bool Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

    // Resident memory now, from /proc/<pid>/status.
    long RssKiB() const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
        }
        return -1;
    }

    // User plus system CPU time so far, in clock ticks (/proc/<pid>/stat
    // fields 14 and 15, counted after the parenthesised command name).
    long CpuTicks() const {
        std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos) return -1;
        std::istringstream fields(text.substr(close + 1));
        std::string field;
        long ticks = 0;
        for (int index = 3; index <= 15 && fields >> field; ++index) {
            if (index >= 14) ticks += std::atol(field.c_str());
        }
        return ticks;
    }

private:
    // In the forked child: only calls that are safe between fork and exec.
    [[noreturn]] static void Exec(int out, rlim_t openFiles, char** argv) {
        dup2(out, 1);
        close_range(3, ~0u, 0);  // the descriptors it starts with are its own
        if (openFiles > 0) {
            const rlimit limit{openFiles, openFiles};
            setrlimit(RLIMIT_NOFILE, &limit);
        }
        execv(argv[0], argv);
        _exit(127);
    }

    // The ready line ends with the discovery port: "...discovery on 127.0.0.1:PORT".
    bool ReadPort(int fd) {
        char line[256] = {};
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 20000) != 1 || read(fd, line, sizeof line - 1) <= 0) return false;
        const char* colon = std::strrchr(line, ':');
        port_ = static_cast<std::uint16_t>(colon ? std::atoi(colon + 1) : 0);
        return port_ != 0;
    }

    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
    std::string dir_;
};

inline sockaddr_in Endpoint(std::uint32_t address, std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(address);
    addr.sin_port = htons(port);
    return addr;
}

// --- control connections ---

// A connection that never sends a byte; -1 if it cannot be made.
inline int SilentConnection(std::uint32_t address, std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const sockaddr_in to = Endpoint(address, port);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
        close(fd);
        return -1;
    }
    return fd;
}

inline std::vector<int> SilentConnections(const devsim::Fleet& fleet, int perDevice) {
    std::vector<int> fds;
    for (int i = 0; i < perDevice; ++i) {
        for (const devsim::DeviceProfile& device : fleet.devices) {
            const int fd = SilentConnection(AddressOf(device), device.record.privatePort);
            if (fd >= 0) fds.push_back(fd);
        }
    }
    return fds;
}

inline void CloseAll(std::vector<int>& fds) {
    for (int fd : fds) close(fd);
    fds.clear();
}

// Whether the other end has closed (or reset, or refused) the connection.
inline bool ClosedByPeer(int fd) {
    char byte = 0;
    const ssize_t got = recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOTCONN);
}

// Waits until the other end has closed every connection, at most `limit`;
// returns how many are still open.
inline std::size_t OpenAfter(const std::vector<int>& fds, Clock::duration limit) {
    const auto end = Clock::now() + limit;
    for (;;) {
        std::size_t open = 0;
        for (int fd : fds) open += ClosedByPeer(fd) ? 0 : 1;
        if (open == 0 || Clock::now() >= end) return open;
        std::this_thread::sleep_for(100ms);
    }
}

inline bool LogsIn(const devsim::DeviceProfile& device) {
    const std::int32_t handle =
        Q9_NET_DVR_Login(device.record.eth0.ip, device.record.privatePort, "admin", "tarnwick", nullptr);
    return handle != -1 && Q9_NET_DVR_Logout(handle) != 0;
}

// How many devices log in, each tried again until it does or until `limit`.
inline std::size_t DevicesLoggingIn(const devsim::Fleet& fleet, Clock::duration limit) {
    const auto end = Clock::now() + limit;
    std::size_t done = 0;
    for (const devsim::DeviceProfile& device : fleet.devices) {
        bool in = LogsIn(device);
        while (!in && Clock::now() < end) {
            std::this_thread::sleep_for(200ms);
            in = LogsIn(device);
        }
        done += in ? 1 : 0;
    }
    return done;
}

// A duplicate of the SDK's own connection to address:port (a handle that
// has just logged in), found among this process's descriptors. The test
// drives a logged-in connection this way without performing a login itself.
inline int SdkConnection(std::uint32_t address, std::uint16_t port) {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    int found = -1;
    while (const dirent* entry = readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        if (fd > 2 && getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
            peer.sin_family == AF_INET && ntohl(peer.sin_addr.s_addr) == address && ntohs(peer.sin_port) == port) {
            found = dup(fd);
            break;
        }
    }
    closedir(dir);
    return found;
}

// Sends up to `count` configuration requests on `fd` and never reads an
// answer; stops once the other end has taken nothing for a second.
// Returns how many went out.
inline int RequestsWithoutReading(int fd, int count) {
    const wire::Bytes request = wire::Encode(wire::ConfigRequest{Q9_GET_SENSOR_CONFIG, 0});
    int sent = 0;
    std::size_t offset = 0;
    auto progress = Clock::now();
    while (sent < count && Clock::now() - progress < 1s) {
        const ssize_t n = send(fd, request.data() + offset, request.size() - offset, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            progress = Clock::now();
            offset += static_cast<std::size_t>(n);
            if (offset == request.size()) {
                offset = 0;
                ++sent;
            }
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            break;
        } else {
            std::this_thread::sleep_for(5ms);
        }
    }
    return sent;
}

// --- discovery port ---

inline wire::Bytes PaddedProbe() {
    wire::Probe probe;
    probe.token.fill(0x3C);
    return wire::Encode(probe);
}

// A probe without padding: header and token only.
inline wire::Bytes UnpaddedProbe() {
    wire::Bytes probe = PaddedProbe();
    probe.resize(wire::kHeaderSize + sizeof(wire::Token));
    probe[8] = sizeof(wire::Token);  // the header's body length, little-endian
    probe[9] = probe[10] = probe[11] = 0;
    return probe;
}

// A UDP socket bound to `address`, any port.
inline int UdpSocket(std::uint32_t address) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in local = Endpoint(address, 0);
    if (fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends one datagram to the discovery port from 127.0.0.1 and returns the
// size of every datagram that comes back until none has for half a second.
inline std::vector<std::size_t> AnswerSizes(std::uint16_t port, const wire::Bytes& datagram) {
    std::vector<std::size_t> sizes;
    const int fd = UdpSocket(0x7F000001u);
    if (fd < 0) return sizes;
    const sockaddr_in to = Endpoint(0x7F000001u, port);
    sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    std::uint8_t buffer[2048];
    pollfd entry{fd, POLLIN, 0};
    while (sizes.size() < 10000 && poll(&entry, 1, 500) == 1) {
        const ssize_t got = recv(fd, buffer, sizeof buffer, MSG_TRUNC);
        if (got > 0) sizes.push_back(static_cast<std::size_t>(got));
    }
    close(fd);
    return sizes;
}

// Sends `count` datagrams to the discovery port, taking `datagrams` in turn,
// from `sources` addresses of this process's subnet (hosts .101 onwards).
// Paced so that the simulator's socket is not simply overrun.
inline int Flood(std::uint16_t port, const std::vector<wire::Bytes>& datagrams, int count, int sources) {
    std::vector<int> fds;
    for (int i = 0; i < sources; ++i) fds.push_back(UdpSocket(OwnSubnet() | static_cast<std::uint32_t>(101 + i)));
    const sockaddr_in to = Endpoint(0x7F000001u, port);
    const auto end = Clock::now() + 20s;
    int sent = 0;
    for (int i = 0; i < count && Clock::now() < end; ++i) {
        const wire::Bytes& datagram = datagrams[static_cast<std::size_t>(i) % datagrams.size()];
        const int fd = fds[static_cast<std::size_t>(i % sources)];
        if (fd >= 0 && sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                              sizeof to) > 0) {
            ++sent;
        }
        if (i % 50 == 49) std::this_thread::sleep_for(1ms);
    }
    for (int fd : fds) {
        if (fd >= 0) close(fd);
    }
    return sent;
}

}  // namespace attack
