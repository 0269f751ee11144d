// A private temporary directory that is the fuzz target's current directory,
// so the loaders find their input under its plain relative name; removed
// when the process exits.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz_support {

inline std::string& PrivateDir() {
    static std::string dir;
    return dir;
}

inline void RemovePrivateDir() {
    std::error_code ec;
    if (!PrivateDir().empty()) std::filesystem::remove_all(PrivateDir(), ec);
}

inline void EnterPrivateDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) std::abort();
    PrivateDir() = pattern;
    std::atexit(RemovePrivateDir);
}

inline void WriteInput(const char* name, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(name, "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

}  // namespace fuzz_support
