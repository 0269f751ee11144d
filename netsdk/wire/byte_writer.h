// Appends little-endian integers and length-prefixed texts to a buffer, in
// the encoding that ByteReader reads back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace wire {

class ByteWriter {
public:
    void U8(std::uint8_t value) { bytes_.push_back(value); }
    void U16(std::uint16_t value);
    void U32(std::uint32_t value);
    void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
    void Bytes(const std::uint8_t* data, std::size_t size);
    void Bytes(std::span<const std::uint8_t> data) { Bytes(data.data(), data.size()); }
    // Writes the text held in a fixed array of `capacity` bytes: at most
    // capacity - 1 bytes, up to the first NUL.
    void Text(const char* text, std::size_t capacity);

    // Appends zero bytes until the buffer holds `total` bytes.
    void PadTo(std::size_t total) {
        if (bytes_.size() < total) bytes_.resize(total, 0);
    }

    // Overwrites four bytes at `offset` (used to patch a length afterwards).
    void PatchU32(std::size_t offset, std::uint32_t value);

    std::size_t size() const { return bytes_.size(); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace wire
