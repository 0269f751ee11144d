// Replays the committed fuzz seed corpus, plus every truncation of each
// seed, through every parser body: none may crash, hang or trip a sanitizer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/fuzz/protocol/fuzz_bodies.h"

namespace {

namespace fs = std::filesystem;

// Inputs the fuzzer found are named by their SHA-1; the seeds written by
// hand or by protocol_make_seeds have names that say what they are.
bool FoundByFuzzer(const fs::path& path) {
    const std::string name = path.filename().string();
    return name.size() == 40 && name.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// Every seed and each of its truncations, and every input the fuzzer found
// whole, through every parser.
TEST(FuzzCorpus, EverySeedAndEveryTruncationPassesEveryParser) {
    const char* root = TARNWICK_FUZZ_CORPUS;
    for (const fuzz::Target& target : fuzz::kTargets) {
        const fs::path dir = fs::path(root) / target.name;
        ASSERT_TRUE(fs::is_directory(dir)) << dir;
        int seeds = 0;
        for (const auto& entry : fs::directory_iterator(dir)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const std::size_t shortest = FoundByFuzzer(entry.path()) ? bytes.size() : 0;
            for (std::size_t size = shortest; size <= bytes.size(); ++size) {
                // Each body is also tried on the other targets' inputs.
                for (const fuzz::Target& body : fuzz::kTargets) EXPECT_EQ(body.body(bytes.data(), size), 0);
            }
            ++seeds;
        }
        EXPECT_GT(seeds, 0) << target.name;
    }
}

}  // namespace
