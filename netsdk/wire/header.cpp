#include "netsdk/wire/header.h"

#include <cstring>

#include "netsdk/wire/byte_reader.h"

namespace wire {

bool IsDatagramType(MsgType type) {
    const auto value = static_cast<std::uint8_t>(type);
    return value >= 1 && value <= 8;
}

bool IsFrameType(MsgType type) {
    const auto value = static_cast<std::uint8_t>(type);
    return value >= 16 && value <= 24;
}

bool DecodeHeader(std::span<const std::uint8_t> bytes, Header& out) {
    if (bytes.size() < kHeaderSize) return false;
    ByteReader reader(bytes.first(kHeaderSize));
    std::uint8_t magic[4] = {};
    std::uint8_t version = 0;
    std::uint8_t type = 0;
    std::uint16_t flags = 0;
    std::uint32_t length = 0;
    reader.Bytes(magic, sizeof magic);
    reader.U8(version);
    reader.U8(type);
    reader.U16(flags);
    reader.U32(length);
    if (!reader.Finished()) return false;
    if (std::memcmp(magic, kMagic, sizeof magic) != 0 || version != kVersion || flags != 0) {
        return false;
    }
    const auto msgType = static_cast<MsgType>(type);
    if (IsDatagramType(msgType)) {
        if (length > kMaxDatagramSize - kHeaderSize) return false;
    } else if (IsFrameType(msgType)) {
        if (length > kMaxFrameBody) return false;
    } else {
        return false;
    }
    out.type = msgType;
    out.bodyLength = length;
    return true;
}

std::vector<std::uint8_t> Seal(MsgType type, const ByteWriter& body) {
    ByteWriter out;
    out.Bytes(kMagic, sizeof kMagic);
    out.U8(kVersion);
    out.U8(static_cast<std::uint8_t>(type));
    out.U16(0);
    out.U32(static_cast<std::uint32_t>(body.size()));
    out.Bytes(body.bytes());
    return out.Take();
}

bool OpenDatagram(std::span<const std::uint8_t> datagram, Header& header,
                  std::span<const std::uint8_t>& body) {
    if (datagram.size() > kMaxDatagramSize) return false;
    Header decoded;
    if (!DecodeHeader(datagram, decoded) || !IsDatagramType(decoded.type)) return false;
    if (decoded.bodyLength != datagram.size() - kHeaderSize) return false;
    header = decoded;
    body = datagram.subspan(kHeaderSize);
    return true;
}

}  // namespace wire
