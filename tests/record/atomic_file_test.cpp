// Saves killed at random moments (SIGKILL, as a crash or an impatient user
// would) leave the file whole, and the next save leaves nothing else behind:
// no temporary copy of the passwords outlives it.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "record/atomic_file.h"
#include "tests/record/record_fixture.h"

namespace record_testing {
namespace {

// A whole TREE document of about 2 MiB, told apart from others by `tag`.
std::string BigDocument(const std::string& tag) {
    std::string text = "<?xml version=\"1.0\" ?>\n<TREE>\n";
    for (int i = 0; text.size() < (2u << 20); ++i) {
        text += "  <N" + std::to_string(i) + "><SN A=\"" + tag + "-" + std::to_string(i) + "\" /></N" +
                std::to_string(i) + ">\n";
    }
    return text + "</TREE>\n";
}

unsigned ModeOf(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 ? (st.st_mode & 07777u) : 0xFFFFu;
}

struct KillCase {
    const char* name;
    TemporaryFile temporary;
};

using KilledSaves = testing_support::TempDirTest;

TEST_F(KilledSaves, LeaveTheFileWholeAndNoCopyPastTheNextSave) {
    const KillCase cases[] = {
        {"unnamed temporary where supported", TemporaryFile::kUnnamedWhereSupported},
        {"named temporary", TemporaryFile::kNamed},
    };
    const std::vector<std::string> documents = {BigDocument("first"), BigDocument("second")};
    const std::string last = BigDocument("last");
    std::mt19937 random(20240);
    for (const KillCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ReplaceFileAtomically(kDiscoveryFileName, documents[0], c.temporary));
        // The saving child runs under a umask that would leave its files
        // without their owner's write bit; the saves put 0600 back.
        const mode_t previousMask = ::umask(0277);
        for (int kill = 0; kill < 20; ++kill) {
            const pid_t child = ::fork();
            if (child == 0) {
                for (int n = 0; n < 100000; ++n) ReplaceFileAtomically(kDiscoveryFileName, documents[n % 2], c.temporary);
                ::_exit(0);
            }
            ASSERT_GT(child, 0);
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            const std::string now = ReadFile(kDiscoveryFileName);
            ASSERT_TRUE(now == documents[0] || now == documents[1]) << "kill " << kill << ": a partial file";
        }
        ::umask(previousMask);
        // Whatever the kills left is its owner's only.
        for (const std::string& name : FilesHere()) EXPECT_EQ(ModeOf(name) & 077u, 0u) << name;

        ASSERT_TRUE(ReplaceFileAtomically(kDiscoveryFileName, last, c.temporary));
        EXPECT_EQ(FilesHere(), std::vector<std::string>{kDiscoveryFileName});
        EXPECT_TRUE(ReadFile(kDiscoveryFileName) == last);
        EXPECT_EQ(ModeOf(kDiscoveryFileName), 0600u);
    }
}

}  // namespace
}  // namespace record_testing
