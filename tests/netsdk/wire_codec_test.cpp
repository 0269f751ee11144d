// The protocol's codecs: round trips, and every way a received packet can
// be broken is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

#include "netsdk/wire/auth.h"
#include "netsdk/wire/byte_reader.h"
#include "netsdk/wire/frame_assembler.h"
#include "netsdk/wire/header.h"
#include "netsdk/wire/messages.h"

namespace {

using wire::Bytes;

DeviceRecord SampleRecord() {
    DeviceRecord r{};
    std::snprintf(r.sn, sizeof r.sn, "%s", "NV08-000000000000000000000000000000000000000047");
    std::snprintf(r.model, sizeof r.model, "%s", "NVR-0804-with-a-31-char-model-x");
    std::snprintf(r.eth0.ip, sizeof r.eth0.ip, "%s", "192.168.100.100");
    std::snprintf(r.eth0.mask, sizeof r.eth0.mask, "%s", "255.255.255.0");
    std::snprintf(r.wifi.dns2, sizeof r.wifi.dns2, "%s", "8.8.4.4");
    const std::uint8_t mac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    std::memcpy(r.eth0.mac, mac, 6);
    r.g3.reserved[13] = 0x77;
    r.privatePort = 8000;
    r.rtspPort = 65535;
    r.reserved1[1] = 0x12;
    r.softwareVersion = MakeVersion(2, 3);
    r.buildDate = MakeBuildDate(2016, 2, 29);
    r.reserved2[23] = 0x99;
    return r;
}

// Opens a datagram and decodes its body as `Message`.
template <typename Message>
bool OpenAs(const Bytes& packet, wire::MsgType type, Message& out) {
    wire::Header header;
    std::span<const std::uint8_t> body;
    return wire::OpenDatagram(packet, header, body) && header.type == type && wire::Decode(body, out);
}

// Decodes a frame (stream message) the way a receiver does.
template <typename Message>
bool FrameAs(const Bytes& packet, wire::MsgType type, Message& out) {
    wire::Header header;
    if (!wire::DecodeHeader(packet, header) || header.type != type ||
        packet.size() != wire::kHeaderSize + header.bodyLength) {
        return false;
    }
    return wire::Decode(std::span<const std::uint8_t>(packet).subspan(wire::kHeaderSize), out);
}

TEST(WireCodec, AnswerRoundTripKeepsEveryFieldButTheCredentials) {
    wire::Answer answer;
    answer.token.fill(0xAB);
    answer.record = SampleRecord();
    std::snprintf(answer.record.user, sizeof answer.record.user, "%s", "admin");
    std::snprintf(answer.record.password, sizeof answer.record.password, "%s", "secret");
    const Bytes packet = wire::Encode(answer);
    ASSERT_LE(packet.size(), wire::kMaxDatagramSize);
    // The password is not on the wire at all.
    const std::string_view secret = "secret";
    EXPECT_EQ(std::search(packet.begin(), packet.end(), secret.begin(), secret.end()), packet.end());

    wire::Answer decoded;
    ASSERT_TRUE(OpenAs(packet, wire::MsgType::Answer, decoded));
    EXPECT_EQ(decoded.token, answer.token);
    DeviceRecord expected = SampleRecord();
    EXPECT_EQ(std::memcmp(&decoded.record, &expected, sizeof expected), 0);
}

TEST(WireCodec, EveryTruncationAndEveryExtensionOfAnAnswerIsRefused) {
    wire::Answer answer;
    answer.record = SampleRecord();
    const Bytes packet = wire::Encode(answer);
    wire::Answer decoded;
    for (std::size_t size = 0; size < packet.size(); ++size) {
        const Bytes cut(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(OpenAs(cut, wire::MsgType::Answer, decoded)) << size;
    }
    Bytes longer = packet;
    longer.push_back(0);
    EXPECT_FALSE(OpenAs(longer, wire::MsgType::Answer, decoded));
    // Even with the header's length agreeing, a byte left over is refused.
    longer[8] = static_cast<std::uint8_t>(longer[8] + 1);
    EXPECT_FALSE(OpenAs(longer, wire::MsgType::Answer, decoded));
}

TEST(WireCodec, HeaderFieldsAreCheckedBeforeTheBody) {
    const Bytes packet = wire::Encode(wire::Probe{});
    wire::Probe probe;
    ASSERT_TRUE(OpenAs(packet, wire::MsgType::Probe, probe));
    for (std::size_t at : {0u, 1u, 2u, 3u, 4u, 6u, 7u}) {  // magic, version, flags
        Bytes bad = packet;
        bad[at] ^= 0x01;
        EXPECT_FALSE(OpenAs(bad, wire::MsgType::Probe, probe)) << at;
    }
    for (int type : {0, 9, 15, 25, 255}) {
        Bytes bad = packet;
        bad[5] = static_cast<std::uint8_t>(type);
        wire::Header header;
        EXPECT_FALSE(wire::DecodeHeader(bad, header)) << type;
    }
    // A frame type is no datagram, even well-formed.
    wire::Header header;
    std::span<const std::uint8_t> body;
    EXPECT_FALSE(wire::OpenDatagram(wire::EncodeLogout(), header, body));
    EXPECT_FALSE(wire::OpenDatagram(Bytes(2000, 0), header, body));
}

TEST(WireCodec, FrameLengthsBeyondTheLimitAreRefused) {
    Bytes frame = wire::EncodeLogout();
    wire::Header header;
    ASSERT_TRUE(wire::DecodeHeader(frame, header));
    const std::uint32_t lengths[] = {wire::kMaxFrameBody + 1, 0x7FFFFFFFu, 0xFFFFFFFFu};
    for (std::uint32_t length : lengths) {
        for (int i = 0; i < 4; ++i) frame[8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
        EXPECT_FALSE(wire::DecodeHeader(frame, header)) << length;
    }
}

TEST(WireCodec, TextFieldsMustFitTheirArrayAndHoldNoNul) {
    const std::uint8_t fits[] = {3, 'a', 'b', 'c'};
    char field[4];
    wire::ByteReader ok(fits);
    ASSERT_TRUE(ok.Text(field, sizeof field));
    EXPECT_STREQ(field, "abc");

    wire::ByteReader tooLong(fits);
    char small[3];
    EXPECT_FALSE(tooLong.Text(small, sizeof small));  // no room for the terminator

    const std::uint8_t nul[] = {3, 'a', 0, 'c'};
    wire::ByteReader withNul(nul);
    EXPECT_FALSE(withNul.Text(field, sizeof field));

    const std::uint8_t shortBody[] = {5, 'a', 'b'};
    wire::ByteReader cut(shortBody);
    EXPECT_FALSE(cut.Text(field, sizeof field));
    EXPECT_FALSE(cut.ok());
    std::uint8_t byte = 0;
    EXPECT_FALSE(cut.U8(byte));  // failures stick
}

TEST(WireCodec, ConfigResultCarriesUpToTenEntries) {
    wire::ConfigResult result;
    result.status = wire::Status::Ok;
    result.count = 10;
    for (std::size_t i = 0; i < 10; ++i) {
        std::snprintf(result.entries[i].name, sizeof result.entries[i].name, "Name%zu", i);
        std::memset(result.entries[i].value, 'v', 255);
    }
    const Bytes packet = wire::Encode(result);
    ASSERT_LE(packet.size() - wire::kHeaderSize, wire::kMaxFrameBody);
    wire::ConfigResult decoded;
    ASSERT_TRUE(FrameAs(packet, wire::MsgType::ConfigResult, decoded));
    EXPECT_EQ(std::memcmp(decoded.entries.data(), result.entries.data(), sizeof(SensorConfigEntry) * 10), 0);

    Bytes eleven = packet;
    eleven[wire::kHeaderSize + 1] = 11;
    EXPECT_FALSE(FrameAs(eleven, wire::MsgType::ConfigResult, decoded));
    Bytes badStatus = packet;
    badStatus[wire::kHeaderSize] = 200;
    EXPECT_FALSE(FrameAs(badStatus, wire::MsgType::ConfigResult, decoded));
}

TEST(WireCodec, EveryMessageRoundTripsAndRefusesEveryTruncation) {
    wire::ModifyRequest request;
    request.token.fill(1);
    std::snprintf(request.id.sn, sizeof request.id.sn, "%s", "IC2A00000001");
    std::snprintf(request.ip, sizeof request.ip, "%s", "127.0.0.9");
    wire::ModifyConfirm confirm;
    confirm.status = wire::Status::Ok;
    confirm.confirmV[0] = 7;
    wire::LoginResult login;
    login.status = wire::Status::Ok;
    std::snprintf(login.model, sizeof login.model, "%s", "IPC-B210");
    struct Case {
        Bytes packet;
        std::function<bool(const Bytes&)> decode;
    };
    const Case cases[] = {
        {wire::Encode(wire::Probe{}), [](const Bytes& b) { wire::Probe m; return OpenAs(b, wire::MsgType::Probe, m); }},
        {wire::Encode(wire::ModifyHello{}), [](const Bytes& b) { wire::ModifyHello m; return OpenAs(b, wire::MsgType::ModifyHello, m); }},
        {wire::Encode(wire::ModifyParams{}), [](const Bytes& b) { wire::ModifyParams m; return OpenAs(b, wire::MsgType::ModifyParams, m); }},
        {wire::Encode(wire::ModifyShare{}), [](const Bytes& b) { wire::ModifyShare m; return OpenAs(b, wire::MsgType::ModifyShare, m); }},
        {wire::Encode(confirm), [](const Bytes& b) {
             wire::ModifyConfirm m;
             return OpenAs(b, wire::MsgType::ModifyConfirm, m) && m.status == wire::Status::Ok && m.confirmV[0] == 7;
         }},
        {wire::Encode(request), [&](const Bytes& b) {
             wire::ModifyRequest m;
             return OpenAs(b, wire::MsgType::ModifyRequest, m) && std::strcmp(m.ip, request.ip) == 0 &&
                    wire::SameDevice(m.id, request.id);
         }},
        {wire::Encode(wire::ModifyResult{}), [](const Bytes& b) { wire::ModifyResult m; return OpenAs(b, wire::MsgType::ModifyResult, m); }},
        {wire::Encode(wire::LoginStart{}), [](const Bytes& b) { wire::LoginStart m; return FrameAs(b, wire::MsgType::LoginStart, m); }},
        {wire::Encode(wire::LoginParams{}), [](const Bytes& b) { wire::LoginParams m; return FrameAs(b, wire::MsgType::LoginParams, m); }},
        {wire::Encode(wire::LoginShare{}), [](const Bytes& b) { wire::LoginShare m; return FrameAs(b, wire::MsgType::LoginShare, m); }},
        {wire::Encode(wire::LoginConfirm{}), [](const Bytes& b) { wire::LoginConfirm m; return FrameAs(b, wire::MsgType::LoginConfirm, m); }},
        {wire::Encode(wire::LoginFinish{}), [](const Bytes& b) { wire::LoginFinish m; return FrameAs(b, wire::MsgType::LoginFinish, m); }},
        {wire::Encode(login), [](const Bytes& b) {
             wire::LoginResult m;
             return FrameAs(b, wire::MsgType::LoginResult, m) && std::strcmp(m.model, "IPC-B210") == 0;
         }},
        {wire::Encode(wire::ConfigRequest{533, 0}), [](const Bytes& b) {
             wire::ConfigRequest m;
             return FrameAs(b, wire::MsgType::ConfigRequest, m) && m.command == 533;
         }},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.decode(c.packet)) << int(c.packet[5]);
        for (std::size_t size = 0; size < c.packet.size(); ++size) {
            EXPECT_FALSE(c.decode(Bytes(c.packet.begin(), c.packet.begin() + static_cast<std::ptrdiff_t>(size))))
                << int(c.packet[5]) << " cut at " << size;
        }
    }
}

TEST(FrameAssembler, FramesArriveInAnyPiecesAndGarbageIsFinal) {
    const Bytes a = wire::Encode(wire::ConfigRequest{533, 0});
    const Bytes b = wire::EncodeLogout();
    Bytes stream = a;
    stream.insert(stream.end(), b.begin(), b.end());
    wire::FrameAssembler assembler;
    std::vector<wire::MsgType> seen;
    for (std::uint8_t byte : stream) {
        assembler.Append({&byte, 1});
        wire::Header header;
        std::span<const std::uint8_t> body;
        while (assembler.Next(header, body) == wire::FrameAssembler::Result::Frame) seen.push_back(header.type);
    }
    EXPECT_EQ(seen, (std::vector<wire::MsgType>{wire::MsgType::ConfigRequest, wire::MsgType::Logout}));

    wire::FrameAssembler garbage;
    const std::uint8_t junk[] = {'T', 'N', 'X'};
    garbage.Append(junk);
    wire::Header header;
    std::span<const std::uint8_t> body;
    EXPECT_EQ(garbage.Next(header, body), wire::FrameAssembler::Result::Bad);
    garbage.Append(a);
    EXPECT_EQ(garbage.Next(header, body), wire::FrameAssembler::Result::Bad);
}

TEST(Proofs, HmacMatchesTheReferenceVector) {
    // RFC 4231, test case 2.
    const std::string key = "Jefe", data = "what do ya want for nothing?";
    const auto mac = wire::crypto::HmacSha256({reinterpret_cast<const std::uint8_t*>(key.data()), key.size()},
                                              {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()});
    const std::uint8_t expected[] = {0x5b, 0xdc, 0xc1, 0x46, 0xbf, 0x60, 0x75, 0x4e, 0x6a, 0x04, 0x24,
                                     0x26, 0x08, 0x95, 0x75, 0xc7, 0x5a, 0x00, 0x3f, 0x08, 0x9d, 0x27,
                                     0x39, 0x83, 0x9d, 0xec, 0x58, 0xb9, 0x64, 0xec, 0x38, 0x43};
    EXPECT_EQ(std::memcmp(mac.data(), expected, sizeof expected), 0);
}

TEST(WireCodec, PaddedRequestsAreNeverSmallerThanTheirAnswersAndThePaddingIsZero) {
    wire::ModifyConfirm confirm;
    confirm.status = wire::Status::Ok;
    std::memset(confirm.id.sn, 'S', sizeof confirm.id.sn - 1);
    wire::ModifyParams params;
    std::memset(params.id.sn, 'S', sizeof params.id.sn - 1);
    EXPECT_GE(wire::Encode(wire::ModifyHello{}).size(), wire::Encode(params).size());
    EXPECT_GE(wire::Encode(wire::ModifyShare{}).size(), wire::Encode(confirm).size());

    Bytes hello = wire::Encode(wire::ModifyHello{});
    hello.back() = 1;
    wire::ModifyHello decoded;
    EXPECT_FALSE(OpenAs(hello, wire::MsgType::ModifyHello, decoded));
}

}  // namespace
