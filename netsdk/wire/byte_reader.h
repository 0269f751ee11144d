// Bounds-checked reader over a received byte buffer. Every read checks the
// bytes left first; the first failure sticks, so a decoder can read a whole
// message and test ok() once. Integers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace wire {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool U8(std::uint8_t& out);
    bool U16(std::uint16_t& out);
    bool U32(std::uint32_t& out);
    bool I32(std::int32_t& out);
    // Copies exactly `size` bytes.
    bool Bytes(std::uint8_t* out, std::size_t size);
    // A text field: one length byte, then that many bytes, none of them NUL.
    // The length must leave room for the terminator in `capacity`; the
    // destination is zero-filled past the text, so it is always terminated.
    bool Text(char* out, std::size_t capacity);

    // Zero bytes up to the body's `total` size: padding that a sender adds so
    // that a request is never smaller than the answer it draws.
    bool ZeroPadding(std::size_t total);

    bool ok() const { return ok_; }
    std::size_t Remaining() const { return bytes_.size() - pos_; }
    // True when every byte was consumed and no read failed: a message that
    // leaves bytes over is malformed.
    bool Finished() const { return ok_ && pos_ == bytes_.size(); }

private:
    bool Take(std::size_t size, const std::uint8_t*& at);

    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace wire
