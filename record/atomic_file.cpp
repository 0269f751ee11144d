#include "record/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "record/stale_temporaries.h"

namespace {

constexpr int kNameAttempts = 16;

enum class SaveResult { kSaved, kFailed, kNeedsNamedTemporary };

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// One save's temporary file in the target's folder. It is locked from its
// creation, so that no other save takes it for stale, and removed when the
// save fails after it got a name.
class Temporary {
public:
    explicit Temporary(int folderFd) : folderFd_(folderFd) {}
    ~Temporary() {
        if (!name_.empty() && !renamed_) ::unlinkat(folderFd_, name_.c_str(), 0);
        if (fd_ >= 0) ::close(fd_);
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    // An unnamed file; kNeedsNamedTemporary where the file system has none.
    SaveResult CreateUnnamed() {
        fd_ = ::openat(folderFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd_ < 0) {
            return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? SaveResult::kNeedsNamedTemporary
                                                                             : SaveResult::kFailed;
        }
        return Lock() ? SaveResult::kSaved : SaveResult::kFailed;
    }

    bool CreateNamed(std::string_view target) {
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            const std::string candidate = NewTemporaryName(target);
            fd_ = ::openat(folderFd_, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           S_IRUSR | S_IWUSR);
            if (fd_ >= 0) {
                name_ = candidate;
                return Lock();
            }
            if (errno != EEXIST) return false;
        }
        return false;
    }

    // The umask may have taken the owner's bits away: the mode is set again.
    bool Fill(std::string_view bytes) {
        return ::fchmod(fd_, S_IRUSR | S_IWUSR) == 0 && WriteAll(fd_, bytes) && ::fsync(fd_) == 0;
    }

    // Links a complete unnamed file under a temporary name; nothing to do for
    // a named one. kNeedsNamedTemporary when the system offers no way to link it.
    SaveResult Name(std::string_view target) {
        if (!name_.empty()) return SaveResult::kSaved;
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            const std::string candidate = NewTemporaryName(target);
            if (Link(candidate)) {
                name_ = candidate;
                return SaveResult::kSaved;
            }
            if (errno != EEXIST) return SaveResult::kNeedsNamedTemporary;
        }
        return SaveResult::kFailed;
    }

    bool RenameOver(std::string_view target) {
        renamed_ = ::renameat(folderFd_, name_.c_str(), folderFd_, std::string(target).c_str()) == 0;
        return renamed_;
    }

private:
    bool Lock() { return ::flock(fd_, LOCK_EX) == 0; }

    // Linking a descriptor directly needs a capability ordinary users lack;
    // its /proc entry does the same for them.
    bool Link(const std::string& candidate) {
        if (::linkat(fd_, "", folderFd_, candidate.c_str(), AT_EMPTY_PATH) == 0) return true;
        if (errno == EEXIST) return false;
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        return ::linkat(AT_FDCWD, self.c_str(), folderFd_, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0;
    }

    int folderFd_;
    int fd_ = -1;
    std::string name_;
    bool renamed_ = false;
};

SaveResult Save(int folderFd, std::string_view target, std::string_view bytes, TemporaryFile kind) {
    Temporary temporary(folderFd);
    if (kind == TemporaryFile::kNamed) {
        if (!temporary.CreateNamed(target)) return SaveResult::kFailed;
    } else if (const SaveResult created = temporary.CreateUnnamed(); created != SaveResult::kSaved) {
        return created;
    }
    if (!temporary.Fill(bytes)) return SaveResult::kFailed;
    if (const SaveResult named = temporary.Name(target); named != SaveResult::kSaved) return named;
    return temporary.RenameOver(target) ? SaveResult::kSaved : SaveResult::kFailed;
}

class Folder {
public:
    explicit Folder(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~Folder() {
        if (fd_ >= 0) ::close(fd_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, TemporaryFile temporary) {
    const std::filesystem::path target(path);
    const Folder folder(target.has_parent_path() ? target.parent_path().string() : ".");
    const std::string name = target.filename().string();
    if (folder.fd() < 0 || name.empty()) return false;
    RemoveStaleTemporaries(folder.fd(), name);
    SaveResult result = Save(folder.fd(), name, bytes, temporary);
    if (result == SaveResult::kNeedsNamedTemporary) result = Save(folder.fd(), name, bytes, TemporaryFile::kNamed);
    if (result != SaveResult::kSaved) return false;
    // Makes the rename itself durable. Best effort: the new content is
    // already in place.
    ::fsync(folder.fd());
    return true;
}
