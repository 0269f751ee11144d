// Runs a program as a user would, as a child process: its exit status and
// what it wrote on stdout and stderr. Helpers to hold loopback ports the way
// another program would.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace testing_support {

struct ProgramResult {
    int status = -1;  // exit status; -1 if killed or not started
    std::string out;
    std::string err;
};

// The current environment with `changes` applied; an empty value removes
// the variable.
inline std::vector<std::string> EnvironmentWith(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (!changes.count(text.substr(0, text.find('=')))) env.push_back(text);
    }
    for (const auto& [name, value] : changes) {
        if (!value.empty()) env.push_back(name + "=" + value);
    }
    return env;
}

class Program {
public:
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {out_, err_}) {
            if (fd >= 0) close(fd);
        }
    }

    // Starts `argv` with `env` (the current environment when empty).
    explicit Program(std::vector<std::string> argv, std::vector<std::string> env = {}) {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        if (pipe2(err, O_CLOEXEC) != 0) {
            close(out[0]);
            close(out[1]);
            return;
        }
        std::vector<char*> args = Pointers(argv);
        std::vector<char*> vars = env.empty() ? std::vector<char*>{} : Pointers(env);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(err[1], 2);
            execve(args[0], args.data(), env.empty() ? environ : vars.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }

    // Reads stdout until it holds `text`, at most `limit`; false if the
    // program ends or the time passes first.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (result_.out.find(text) == std::string::npos) {
            if (!ReadSome(end)) return false;
        }
        return true;
    }

    void Signal(int signal) {
        if (pid_ > 0) kill(pid_, signal);
    }

    // Reads both streams to their end and reaps the program; one that runs
    // past `limit` is killed (status -1).
    ProgramResult Finish(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (ReadSome(end)) {
        }
        if (pid_ > 0) {
            if (out_ >= 0 || err_ >= 0) kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
            result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            pid_ = -1;
        }
        return result_;
    }

private:
    static std::vector<char*> Pointers(std::vector<std::string>& words) {
        std::vector<char*> pointers;
        for (std::string& word : words) pointers.push_back(word.data());
        pointers.push_back(nullptr);
        return pointers;
    }

    // One read from whichever stream has data; false when both have ended
    // or `end` has passed.
    bool ReadSome(std::chrono::steady_clock::time_point end) {
        if (out_ < 0 && err_ < 0) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd entries[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        if (poll(entries, 2, static_cast<int>(left.count())) <= 0) return false;
        ReadInto(entries[0], out_, result_.out);
        ReadInto(entries[1], err_, result_.err);
        return true;
    }

    static void ReadInto(const pollfd& entry, int& fd, std::string& text) {
        if (fd < 0 || entry.revents == 0) return;
        char buffer[4096];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
        } else {
            close(fd);
            fd = -1;
        }
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    ProgramResult result_;
};

inline ProgramResult RunProgram(std::vector<std::string> argv, std::vector<std::string> env = {}) {
    Program program(std::move(argv), std::move(env));
    return program.Finish();
}

// --- holding ports ---

inline sockaddr_in Loopback(const char* address, std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    inet_pton(AF_INET, address, &addr.sin_addr);
    addr.sin_port = htons(port);
    return addr;
}

// A socket bound to address:port as another program might hold it: UDP or
// a TCP listener, with SO_REUSEADDR or SO_REUSEPORT when `reuse` names one
// (0 for neither). -1 if it cannot be bound.
inline int HoldPort(int type, const char* address, std::uint16_t port, int reuse = 0) {
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int on = 1;
    if (reuse != 0) setsockopt(fd, SOL_SOCKET, reuse, &on, sizeof on);
    const sockaddr_in addr = Loopback(address, port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        (type == SOCK_STREAM && listen(fd, 4) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

inline std::uint16_t BoundPort(int fd) {
    sockaddr_in addr{};
    socklen_t length = sizeof addr;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) return 0;
    return ntohs(addr.sin_port);
}

}  // namespace testing_support
