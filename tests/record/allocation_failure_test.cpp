// Every allocation of a reset and of an append is made to fail in turn, as
// running out of memory would: no exception escapes, an append that stopped
// leaves its incomplete node in the document and does not write the file,
// and the next append writes that node together with the rest.
//
// This binary replaces the global operator new, so it is not built with the
// sanitizers, whose runtimes replace it themselves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "tests/record/record_fixture.h"

namespace {

// The allocation that fails: the countdown-th from now; 0 fails none.
thread_local long failCountdown = 0;
thread_local bool failed = false;

}  // namespace

void* operator new(std::size_t size) {
    if (failCountdown > 0 && --failCountdown == 0) {
        failed = true;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// Not inlined, so that the compiler does not pair malloc and new itself.
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace record_testing {
namespace {

// Runs `operation` with its n-th allocation failing; true when it failed.
template <typename Operation>
bool WithFailingAllocation(long n, Operation operation) {
    failed = false;
    failCountdown = n;
    operation();
    failCountdown = 0;
    return failed;
}

using AllocationFailure = RecordTest;

TEST_F(AllocationFailure, ResetLeavesTheLogAbsent) {
    long n = 1;
    for (; n < 100; ++n) {
        const bool hit = WithFailingAllocation(n, [&] { ResetDiscoveryLog(log); });
        if (!hit) break;
        EXPECT_TRUE(log.IsAbsent()) << "allocation " << n;
        AppendAndSave(SampleCamera());
        EXPECT_TRUE(FilesHere().empty());
    }
    EXPECT_GT(n, 1);
    EXPECT_FALSE(log.IsAbsent());
}

TEST_F(AllocationFailure, AppendStopsAndTheNextAppendWritesTheIncompleteNode) {
    const std::vector<std::string> children = {"Eth0", "Wifi", "G3", "Port", "SN", "User", "Model"};
    long n = 1;
    for (; n < 1000; ++n) {
        ResetDiscoveryLog(log);
        AppendAndSave(SampleRecorder("NVR", "A", 1));
        const std::string before = ReadFile(kDiscoveryFileName);
        const bool hit = WithFailingAllocation(n, [&] { AppendDiscoveryNode(SampleRecorder("NVR", "B", 2), log); });
        WaitDiscoveryLogSaved(log);
        if (!hit) break;
        const std::string afterFailure = ReadFile(kDiscoveryFileName);
        AppendAndSave(SampleRecorder("NVR", "C", 3));

        TiXmlDocument saved;
        ASSERT_TRUE(saved.LoadFile(kDiscoveryFileName)) << "allocation " << n;
        std::vector<const TiXmlElement*> nodes;
        for (const TiXmlElement* e = TiXmlHandle(&saved).FirstChild("TREE").FirstChildElement().ToElement(); e;
             e = e->NextSiblingElement())
            nodes.push_back(e);
        // A and C, and between them B if its "Node" could be created, with
        // the first of its children in order, or all of them.
        ASSERT_TRUE(nodes.size() == 2 || nodes.size() == 3) << "allocation " << n;
        std::size_t k = 0;
        if (nodes.size() == 3) {
            for (const TiXmlElement* e = nodes[1]->FirstChildElement(); e; e = e->NextSiblingElement(), ++k)
                ASSERT_EQ(e->ValueStr(), children.at(k)) << "allocation " << n;
        }
        // The failed append wrote nothing, unless its node was complete and
        // only the save was stopped.
        if (k < children.size()) {
            EXPECT_EQ(afterFailure, before) << "allocation " << n;
        }
        EXPECT_EQ(SerialsInFile(ReadFile(kDiscoveryFileName)).front(), "A");
        EXPECT_EQ(SerialsInFile(ReadFile(kDiscoveryFileName)).back(), "C");
        EXPECT_EQ(FilesHere(), std::vector<std::string>{kDiscoveryFileName});
    }
    EXPECT_GT(n, 20);
}

}  // namespace
}  // namespace record_testing
