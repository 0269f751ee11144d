#include "netsdk/wire/byte_reader.h"

#include <cstring>

namespace wire {

bool ByteReader::Take(std::size_t size, const std::uint8_t*& at) {
    if (!ok_ || size > Remaining()) {
        ok_ = false;
        return false;
    }
    at = bytes_.data() + pos_;
    pos_ += size;
    return true;
}

bool ByteReader::U8(std::uint8_t& out) {
    const std::uint8_t* at = nullptr;
    if (!Take(1, at)) return false;
    out = at[0];
    return true;
}

bool ByteReader::U16(std::uint16_t& out) {
    const std::uint8_t* at = nullptr;
    if (!Take(2, at)) return false;
    out = static_cast<std::uint16_t>(at[0] | (at[1] << 8));
    return true;
}

bool ByteReader::U32(std::uint32_t& out) {
    const std::uint8_t* at = nullptr;
    if (!Take(4, at)) return false;
    out = static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
          (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
    return true;
}

bool ByteReader::I32(std::int32_t& out) {
    std::uint32_t raw = 0;
    if (!U32(raw)) return false;
    out = static_cast<std::int32_t>(raw);
    return true;
}

bool ByteReader::Bytes(std::uint8_t* out, std::size_t size) {
    const std::uint8_t* at = nullptr;
    if (!Take(size, at)) return false;
    if (size != 0) std::memcpy(out, at, size);
    return true;
}

bool ByteReader::Text(char* out, std::size_t capacity) {
    std::uint8_t length = 0;
    if (capacity == 0 || !U8(length)) {
        ok_ = false;
        return false;
    }
    if (length >= capacity) {
        ok_ = false;
        return false;
    }
    const std::uint8_t* at = nullptr;
    if (!Take(length, at)) return false;
    if (std::memchr(at, 0, length) != nullptr) {
        ok_ = false;
        return false;
    }
    std::memset(out, 0, capacity);
    if (length != 0) std::memcpy(out, at, length);
    return true;
}

bool ByteReader::ZeroPadding(std::size_t total) {
    if (!ok_ || pos_ > total) {
        ok_ = false;
        return false;
    }
    const std::size_t size = total - pos_;
    const std::uint8_t* at = nullptr;
    if (!Take(size, at)) return false;
    for (std::size_t i = 0; i < size; ++i) {
        if (at[i] != 0) {
            ok_ = false;
            return false;
        }
    }
    return true;
}

}  // namespace wire
