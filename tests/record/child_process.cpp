#include "tests/record/child_process.h"

#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace record_testing {
namespace {

constexpr int kNoNamespace = 77;

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

[[noreturn]] void RunChild(int out, const std::function<void(std::string&)>& body) {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        WriteAll(out, std::string("no private mount namespace: ") + std::strerror(errno));
        ::_exit(kNoNamespace);
    }
    std::string failures;
    body(failures);
    WriteAll(out, failures);
    ::_exit(0);
}

// Reads everything the child writes until it closes its end or time is up.
bool ReadUntilClosed(int in, std::string& text, int timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{in, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return true;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

ChildOutcome RunInPrivateMountNamespace(const std::function<void(std::string&)>& body, int timeoutSeconds) {
    ChildOutcome outcome;
    int fds[2];
    if (::pipe(fds) != 0) {
        outcome.ran = true;
        outcome.failures = "pipe failed";
        return outcome;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        RunChild(fds[1], body);
    }
    ::close(fds[1]);
    std::string text;
    const bool finished = child > 0 && ReadUntilClosed(fds[0], text, timeoutSeconds);
    ::close(fds[0]);
    if (child > 0 && !finished) ::kill(child, SIGKILL);
    int status = 0;
    if (child > 0) ::waitpid(child, &status, 0);

    outcome.ran = !(WIFEXITED(status) && WEXITSTATUS(status) == kNoNamespace);
    if (child < 0) outcome.failures = "fork failed";
    else if (!finished) outcome.failures = "the child did not finish in time";
    else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) outcome.failures = text.empty() ? "the child failed" : text;
    else outcome.failures = text;
    if (!outcome.ran) outcome.failures = text;
    return outcome;
}

}  // namespace record_testing
