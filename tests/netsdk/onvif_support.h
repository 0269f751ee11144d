// Reading the ONVIF fixtures of tests/netsdk/onvif.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace onvif_test {

inline std::string Fixture(const std::string& name) {
    std::ifstream in(std::filesystem::path(TARNWICK_ONVIF_FIXTURES) / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace onvif_test
