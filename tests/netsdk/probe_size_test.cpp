// A probe is padded to a fixed size that no answer exceeds, so a device on
// the discovery port never returns more bytes than it received.
#include <gtest/gtest.h>

#include <cstring>

#include "netsdk/wire/header.h"
#include "netsdk/wire/messages.h"

namespace {

using wire::Bytes;

bool DecodeProbe(const Bytes& packet, wire::Probe& out) {
    wire::Header header;
    std::span<const std::uint8_t> body;
    return wire::OpenDatagram(packet, header, body) && header.type == wire::MsgType::Probe &&
           wire::Decode(body, out);
}

template <std::size_t N>
void FillText(char (&field)[N]) {
    std::memset(field, 'x', N - 1);
    field[N - 1] = '\0';
}

void FillBlock(NetBlock& block) {
    FillText(block.ip);
    FillText(block.mask);
    FillText(block.gw);
    FillText(block.dns1);
    FillText(block.dns2);
}

// The longest answer a device can send: every text at its full width.
Bytes LongestAnswer() {
    wire::Answer answer;
    for (NetBlock* block : {&answer.record.eth0, &answer.record.wifi, &answer.record.g3}) FillBlock(*block);
    FillText(answer.record.sn);
    FillText(answer.record.model);
    FillText(answer.record.user);
    FillText(answer.record.password);
    return wire::Encode(answer);
}

TEST(ProbeSize, EveryProbeHasTheFixedSizeAndNoAnswerIsLonger) {
    wire::Probe probe;
    probe.token.fill(0x5A);
    const Bytes packet = wire::Encode(probe);
    EXPECT_EQ(packet.size(), wire::kProbeSize);
    EXPECT_LE(LongestAnswer().size(), packet.size());
}

TEST(ProbeSize, PaddingIsIgnoredButItsLengthIsNot) {
    wire::Probe probe;
    probe.token.fill(0x5A);
    const Bytes packet = wire::Encode(probe);
    Bytes noisy = packet;
    for (std::size_t i = wire::kHeaderSize + probe.token.size(); i < noisy.size(); ++i) noisy[i] = 0xA5;
    wire::Probe decoded;
    ASSERT_TRUE(DecodeProbe(noisy, decoded));
    EXPECT_EQ(decoded.token, probe.token);

    // The unpadded probe (header and token only), a probe one byte short and
    // one a byte long, each with a header length that agrees with it.
    for (std::size_t size : {wire::kHeaderSize + probe.token.size(), packet.size() - 1, packet.size() + 1}) {
        Bytes resized = packet;
        resized.resize(size, 0);
        const auto body = static_cast<std::uint32_t>(size - wire::kHeaderSize);
        for (int i = 0; i < 4; ++i) resized[8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(body >> (8 * i));
        EXPECT_FALSE(DecodeProbe(resized, decoded)) << size;
    }
}

}  // namespace
