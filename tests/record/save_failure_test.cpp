// A save that fails keeps the previous Discovery.Xml whole, leaves no
// temporary file behind, and leaves the document in memory unaffected, so
// the next append writes everything.
//
// The tests run as root, for whom file modes do not stop a write. The
// failures are made with mounts instead, inside a private mount namespace of
// a child process, on a tmpfs mounted over the test's own folder: a
// read-only remount (creating the temporary file fails), a full tmpfs
// (writing it fails) and a bind mount of Discovery.Xml onto itself (renaming
// over a mount point fails). Each breaks a different step of the save.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

#include "tests/record/child_process.h"
#include "tests/record/record_fixture.h"

namespace record_testing {
namespace {

#define CHILD_CHECK(failures, condition) \
    if (!(condition)) (failures) += std::string("line ") + std::to_string(__LINE__) + ": " #condition "\n"

class SaveFailure : public RecordTest {
protected:
    // In the child: a small tmpfs over the test's folder, entered.
    bool MountScratch() {
        const std::string here = dir().string();
        return ::mount("tarnwick-test", here.c_str(), "tmpfs", 0, "size=64k,mode=0700") == 0 &&
               ::chdir(here.c_str()) == 0;
    }

    // Appends A, breaks saving, appends B, mends saving and appends C.
    void Run(const std::function<bool()>& breakSaves, const std::function<bool()>& mendSaves) {
        const ChildOutcome outcome = RunInPrivateMountNamespace([&](std::string& failures) {
            if (!MountScratch()) {
                failures += std::string("cannot mount a tmpfs: ") + std::strerror(errno);
                return;
            }
            Scenario(breakSaves, mendSaves, failures);
        });
        if (!outcome.ran) GTEST_SKIP() << outcome.failures;
        EXPECT_EQ(outcome.failures, "");
    }

    void Scenario(const std::function<bool()>& breakSaves, const std::function<bool()>& mendSaves,
                  std::string& failures) {
        ResetDiscoveryLog(log);
        AppendAndSave(SampleRecorder("NVR", "A", 1));
        const std::string previous = ReadFile(kDiscoveryFileName);
        CHILD_CHECK(failures, SerialsInFile(previous) == std::vector<std::string>{"A"});
        CHILD_CHECK(failures, breakSaves());
        const std::vector<std::string> filesBefore = FilesHere();
        AppendAndSave(SampleRecorder("NVR", "B", 2));
        CHILD_CHECK(failures, ReadFile(kDiscoveryFileName) == previous);
        CHILD_CHECK(failures, FilesHere() == filesBefore);
        Select(AddRow("B"));
        Load();
        CHILD_CHECK(failures, Box(IDC_LOCAL_IP) == "10.1.1.2");

        CHILD_CHECK(failures, mendSaves());
        AppendAndSave(SampleRecorder("NVR", "C", 3));
        CHILD_CHECK(failures, SerialsInFile(ReadFile(kDiscoveryFileName)) == (std::vector<std::string>{"A", "B", "C"}));
        CHILD_CHECK(failures, FileMode(kDiscoveryFileName) == 0600u);
    }
};

TEST_F(SaveFailure, ReadOnlyFolder) {
    const std::string here = dir().string();
    Run(
        [&] {
            return ::mount(nullptr, here.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0 &&
                   ::open("probe", O_CREAT | O_WRONLY, 0600) < 0 && errno == EROFS;
        },
        [&] { return ::mount(nullptr, here.c_str(), nullptr, MS_REMOUNT, "size=64k") == 0; });
}

TEST_F(SaveFailure, FullDisk) {
    Run(
        [] {
            const int fd = ::open("filler", O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
            const std::string block(4096, 'f');
            errno = 0;
            for (int i = 0; i < 64 && ::write(fd, block.data(), block.size()) > 0; ++i) {
            }
            const bool full = errno == ENOSPC;
            ::close(fd);
            return fd >= 0 && full;
        },
        [] { return ::unlink("filler") == 0; });
}

TEST_F(SaveFailure, FileCannotBeReplaced) {
    Run([] { return ::mount(kDiscoveryFileName, kDiscoveryFileName, nullptr, MS_BIND, nullptr) == 0; },
        [] { return ::umount2(kDiscoveryFileName, 0) == 0; });
}

}  // namespace
}  // namespace record_testing
