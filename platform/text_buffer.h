// Copying a text into a caller's fixed buffer, the way window-text reads do.
#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>

namespace platform {

// Copies at most size - 1 bytes of `text` and a NUL; returns the bytes copied.
inline int CopyToBuffer(std::string_view text, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return 0;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

}  // namespace platform
