// The 12-byte header in front of every datagram and every stream frame:
// magic "TNWK", version, message type, flags (zero), body length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "netsdk/wire/byte_writer.h"

namespace wire {

enum class MsgType : std::uint8_t {
    // Datagrams on the discovery port.
    Probe = 1,
    Answer = 2,
    ModifyHello = 3,
    ModifyParams = 4,
    ModifyShare = 5,
    ModifyConfirm = 6,
    ModifyRequest = 7,
    ModifyResult = 8,
    // Frames on a device's control port (TCP).
    LoginStart = 16,
    LoginParams = 17,
    LoginShare = 18,
    LoginConfirm = 19,
    LoginFinish = 20,
    LoginResult = 21,
    ConfigRequest = 22,
    ConfigResult = 23,
    Logout = 24,
};

inline constexpr std::uint8_t kMagic[4] = {'T', 'N', 'W', 'K'};
inline constexpr std::uint8_t kVersion = 2;
inline constexpr std::size_t kHeaderSize = 12;
// No valid datagram is larger; anything bigger is dropped unread.
inline constexpr std::size_t kMaxDatagramSize = 1024;
// Largest frame body a receiver accepts (the configuration result is ~3 KiB).
inline constexpr std::uint32_t kMaxFrameBody = 4096;

struct Header {
    MsgType type = MsgType::Probe;
    std::uint32_t bodyLength = 0;
};

bool IsDatagramType(MsgType type);
bool IsFrameType(MsgType type);

// Reads and checks a header from the first kHeaderSize bytes: magic,
// version, zero flags, a known type and a body within the limit of its
// channel. Fails on fewer bytes.
bool DecodeHeader(std::span<const std::uint8_t> bytes, Header& out);

// Header followed by the body.
std::vector<std::uint8_t> Seal(MsgType type, const ByteWriter& body);

// Checks a whole datagram: a valid header of a datagram type whose length
// accounts for exactly the bytes received. On success `body` views the body.
bool OpenDatagram(std::span<const std::uint8_t> datagram, Header& header,
                  std::span<const std::uint8_t>& body);

}  // namespace wire
