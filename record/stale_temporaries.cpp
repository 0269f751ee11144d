#include "record/stale_temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <vector>

namespace {

constexpr std::string_view kInfix = ".tmp-";
constexpr std::size_t kSuffixLength = 6;
constexpr std::string_view kSuffixCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::vector<std::string> TemporariesIn(int folderFd, std::string_view name) {
    std::vector<std::string> found;
    const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return found;
    DIR* folder = ::fdopendir(listFd);
    if (folder == nullptr) {
        ::close(listFd);
        return found;
    }
    while (const dirent* entry = ::readdir(folder)) {
        if (IsTemporaryName(entry->d_name, name)) found.emplace_back(entry->d_name);
    }
    ::closedir(folder);
    return found;
}

// Removes `candidate` if no process holds its lock, making sure the name
// still stands for the file that was found unlocked.
void RemoveIfStale(int folderFd, const std::string& candidate) {
    const int fd = ::openat(folderFd, candidate.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(folderFd, candidate.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
        ::unlinkat(folderFd, candidate.c_str(), 0);
    }
    ::close(fd);
}

}  // namespace

std::string NewTemporaryName(std::string_view name) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::string result = std::string(name) + std::string(kInfix);
    for (std::size_t i = 0; i < kSuffixLength; ++i) result += kSuffixCharacters[random() % kSuffixCharacters.size()];
    return result;
}

bool IsTemporaryName(std::string_view candidate, std::string_view name) {
    if (candidate.size() != name.size() + kInfix.size() + kSuffixLength) return false;
    if (candidate.substr(0, name.size()) != name || candidate.substr(name.size(), kInfix.size()) != kInfix) {
        return false;
    }
    return candidate.substr(name.size() + kInfix.size()).find_first_not_of(kSuffixCharacters) == std::string_view::npos;
}

void RemoveStaleTemporaries(int folderFd, std::string_view name) {
    for (const std::string& candidate : TemporariesIn(folderFd, name)) RemoveIfStale(folderFd, candidate);
}
