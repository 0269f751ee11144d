// Replays the committed fuzz seed corpus, plus every truncation of each
// seed, through every parser body: none may crash, hang or trip a sanitizer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/fuzz/protocol/fuzz_bodies.h"

namespace {

namespace fs = std::filesystem;

TEST(FuzzCorpus, EverySeedAndEveryTruncationPassesEveryParser) {
    const char* root = TARNWICK_FUZZ_CORPUS;
    for (const fuzz::Target& target : fuzz::kTargets) {
        const fs::path dir = fs::path(root) / target.name;
        ASSERT_TRUE(fs::is_directory(dir)) << dir;
        int seeds = 0;
        for (const auto& entry : fs::directory_iterator(dir)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            for (std::size_t size = 0; size <= bytes.size(); ++size) {
                // Each body is also tried on the other targets' inputs.
                for (const fuzz::Target& body : fuzz::kTargets) EXPECT_EQ(body.body(bytes.data(), size), 0);
            }
            ++seeds;
        }
        EXPECT_GT(seeds, 0) << target.name;
    }
}

}  // namespace
