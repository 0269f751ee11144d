// The protocol's messages and their codecs. Encode* returns a whole packet
// (header and body); Decode* reads a body that OpenDatagram or a frame
// reader has already checked, and fails unless the body is consumed exactly.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "netsdk/wire/crypto.h"
#include "netsdk/wire/spake2plus.h"
#include "sdk/device_record.h"

namespace wire {

using Token = std::array<std::uint8_t, 16>;
using Nonce = std::array<std::uint8_t, 32>;
using Proof = crypto::MacBytes;

enum class Status : std::uint8_t {
    Ok = 0,
    AuthFailed = 1,      // proof did not match the device's credentials
    InvalidAddress = 2,  // modify: the new settings are not a usable address
    RateLimited = 3,     // too many failed authentications; try later
    Refused = 4,         // the device refuses this attempt (busy)
    Unsupported = 5,     // unknown configuration command or channel
    Failed = 6,          // the device could not carry the request out
};
bool IsKnownStatus(std::uint8_t value);

// Which device a modify datagram is for: serial number and wired MAC.
struct DeviceId {
    char sn[48] = {};
    std::uint8_t mac[6] = {};
};

// Every probe datagram is exactly kProbeSize bytes: the token, then zero
// padding whose content the receiver ignores. No answer is longer (checked
// where the codecs are defined), so a device never sends more bytes than
// the probe that drew them, whatever source address the probe claims.
inline constexpr std::size_t kProbeSize = 512;

struct Probe {
    Token token{};
};

// A device's record as it travels: everything but user and password.
struct Answer {
    Token token{};
    DeviceRecord record{};
};

// Hello and share are padded to this body size, so that no answer a device
// gives before the client has proved anything is larger than what drew it.
inline constexpr std::size_t kModifyPaddedBody = 256;

// Modify runs one key exchange over datagrams. Every datagram names the
// exchange by the client's token and the device by its id.
struct ModifyHello {
    Token token{};
    DeviceId id;
    char user[32] = {};
};

// The device's key-derivation parameters for the account.
struct ModifyParams {
    Token token{};
    DeviceId id;
    spake2::PbkdfParams params;
};

struct ModifyShare {
    Token token{};
    DeviceId id;
    spake2::Share shareP{};
};

// status Ok carries the device's share and confirmation; any other status
// carries neither and proves nothing.
struct ModifyConfirm {
    Token token{};
    DeviceId id;
    Status status = Status::Failed;
    spake2::Share shareV{};
    Proof confirmV{};
};

// The client's confirmation, and the new addresses under a MAC of the
// shared key.
struct ModifyRequest {
    Token token{};
    DeviceId id;
    Proof confirmP{};
    char ip[16] = {};
    char mask[16] = {};
    char gw[16] = {};
    Proof mac{};
};

// Success or failure alike, under a MAC of the shared key.
struct ModifyResult {
    Token token{};
    DeviceId id;
    Status status = Status::Failed;
    Proof mac{};
};

struct LoginStart {
    char user[32] = {};
};

struct LoginParams {
    spake2::PbkdfParams params;
};

struct LoginShare {
    spake2::Share shareP{};
};

// As ModifyConfirm: only status Ok carries a share and a confirmation.
struct LoginConfirm {
    Status status = Status::Failed;
    spake2::Share shareV{};
    Proof confirmV{};
};

struct LoginFinish {
    Proof confirmP{};
};

// The device's answer to the client's confirmation, under a MAC of the
// shared key whatever the status.
struct LoginResult {
    Status status = Status::Failed;
    char sn[48] = {};
    char model[32] = {};
    Proof mac{};
};

struct ConfigRequest {
    std::uint32_t command = 0;
    std::int32_t channel = 0;
};

inline constexpr std::size_t kMaxConfigEntries = 10;

struct ConfigResult {
    Status status = Status::Failed;
    std::uint8_t count = 0;  // entries used, at most kMaxConfigEntries
    std::array<SensorConfigEntry, kMaxConfigEntries> entries{};
};

using Bytes = std::vector<std::uint8_t>;
using Body = std::span<const std::uint8_t>;

Bytes Encode(const Probe& message);
Bytes Encode(const Answer& message);
Bytes Encode(const ModifyHello& message);
Bytes Encode(const ModifyParams& message);
Bytes Encode(const ModifyShare& message);
Bytes Encode(const ModifyConfirm& message);
Bytes Encode(const ModifyRequest& message);
Bytes Encode(const ModifyResult& message);
Bytes Encode(const LoginStart& message);
Bytes Encode(const LoginParams& message);
Bytes Encode(const LoginShare& message);
Bytes Encode(const LoginConfirm& message);
Bytes Encode(const LoginFinish& message);
Bytes Encode(const LoginResult& message);
Bytes Encode(const ConfigRequest& message);
Bytes Encode(const ConfigResult& message);
Bytes EncodeLogout();

bool Decode(Body body, Probe& out);
bool Decode(Body body, Answer& out);
bool Decode(Body body, ModifyHello& out);
bool Decode(Body body, ModifyParams& out);
bool Decode(Body body, ModifyShare& out);
bool Decode(Body body, ModifyConfirm& out);
bool Decode(Body body, ModifyRequest& out);
bool Decode(Body body, ModifyResult& out);
bool Decode(Body body, LoginStart& out);
bool Decode(Body body, LoginParams& out);
bool Decode(Body body, LoginShare& out);
bool Decode(Body body, LoginConfirm& out);
bool Decode(Body body, LoginFinish& out);
bool Decode(Body body, LoginResult& out);
bool Decode(Body body, ConfigRequest& out);
bool Decode(Body body, ConfigResult& out);
bool DecodeLogout(Body body);

// The bytes that the shared key's MACs cover, shared by both sides.
Bytes ModifyRequestMacBytes(const ModifyRequest& message);
Bytes ModifyResultMacBytes(const ModifyResult& message);
Bytes LoginResultMacBytes(const LoginResult& message);

bool SameDevice(const DeviceId& a, const DeviceId& b);

}  // namespace wire
