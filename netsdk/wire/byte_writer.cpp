#include "netsdk/wire/byte_writer.h"

#include <cstring>

namespace wire {

void ByteWriter::U16(std::uint16_t value) {
    bytes_.push_back(static_cast<std::uint8_t>(value & 0xFFu));
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
}

void ByteWriter::U32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes_.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFFu));
    }
}

void ByteWriter::Bytes(const std::uint8_t* data, std::size_t size) {
    if (size != 0) bytes_.insert(bytes_.end(), data, data + size);
}

void ByteWriter::Text(const char* text, std::size_t capacity) {
    std::size_t length = capacity == 0 ? 0 : strnlen(text, capacity - 1);
    if (length > 255) length = 255;
    U8(static_cast<std::uint8_t>(length));
    Bytes(reinterpret_cast<const std::uint8_t*>(text), length);
}

void ByteWriter::PatchU32(std::size_t offset, std::uint32_t value) {
    if (offset > bytes_.size() || bytes_.size() - offset < 4) return;
    for (int i = 0; i < 4; ++i) {
        bytes_[offset + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFu);
    }
}

}  // namespace wire
