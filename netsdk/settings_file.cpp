#include "netsdk/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace netsdk {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads until end of file or until `text` holds more than the limit.
bool ReadAtMostLimitPlusOne(int fd, std::string& text) {
    text.resize(kMaxSettingsFileBytes + 1);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t got = ::read(fd, text.data() + done, text.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    text.resize(done);
    return true;
}

}  // namespace

bool ReadSettingsFile(const char* path, std::string& text, std::string& error) {
    // O_NONBLOCK: opening a FIFO without a writer must not wait.
    FileDescriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        error = std::string("cannot be read (") + std::strerror(errno) + ")";
        return false;
    }
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "not a regular file";
        return false;
    }
    if (st.st_size > static_cast<off_t>(kMaxSettingsFileBytes)) {
        error = "larger than 64 KiB";
        return false;
    }
    if (!ReadAtMostLimitPlusOne(file.get(), text)) {
        error = std::string("cannot be read (") + std::strerror(errno) + ")";
        return false;
    }
    if (text.size() > kMaxSettingsFileBytes) {
        error = "larger than 64 KiB";
        return false;
    }
    return true;
}

}  // namespace netsdk
