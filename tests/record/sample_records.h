// Device records and small helpers shared by the record tests.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "sdk/device_record.h"

namespace record_testing {

// Copies `text` into a record field without a NUL of its own: the field is
// zeroed first, so shorter texts end in NUL and a text of the field's full
// width fills it.
template <std::size_t N>
void SetText(char (&field)[N], std::string_view text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size() < N ? text.size() : N);
}

template <std::size_t N>
std::string Text(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

inline void SetBlock(NetBlock& block, const char* ip, const char* mask, const char* gw, const char* dns1,
                     const char* dns2, const std::uint8_t (&mac)[6]) {
    SetText(block.ip, ip);
    SetText(block.mask, mask);
    SetText(block.gw, gw);
    SetText(block.dns1, dns1);
    SetText(block.dns2, dns2);
    std::memcpy(block.mac, mac, 6);
}

// A camera with an empty wifi block, texts that need escaping, and bytes in
// every field that a node does not carry.
inline DeviceRecord SampleCamera() {
    DeviceRecord r;
    std::memset(&r, 0, sizeof r);
    SetBlock(r.eth0, "192.168.1.64", "255.255.255.0", "192.168.1.1", "8.8.8.8", "", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
    SetBlock(r.g3, "10.64.0.2", "255.0.0.0", "10.64.0.1", "10.64.0.1", "10.64.0.9", {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54});
    std::memset(r.eth0.reserved, 0x11, sizeof r.eth0.reserved);
    std::memset(r.g3.reserved, 0x22, sizeof r.g3.reserved);
    r.privatePort = 8000;
    r.httpPort = 80;
    r.rtspPort = 554;
    r.reserved1[0] = 0x33;
    SetText(r.sn, "IPC0001&R<D");
    SetText(r.user, "admin");
    SetText(r.password, "p<w&\"d");
    SetText(r.model, "IPC-R&D <x>");
    r.softwareVersion = MakeVersion(2, 3);
    r.buildDate = MakeBuildDate(2016, 2, 29);
    std::memset(r.reserved2, 0x44, sizeof r.reserved2);
    return r;
}

// A plain recorder; `sn` and the last octet of its address tell it apart.
inline DeviceRecord SampleRecorder(const char* model, const char* sn, int octet) {
    DeviceRecord r;
    std::memset(&r, 0, sizeof r);
    const std::string ip = "10.1.1." + std::to_string(octet);
    SetBlock(r.eth0, ip.c_str(), "255.255.0.0", "10.1.0.1", "10.1.0.2", "10.1.0.3",
             {0xA0, 0xB1, 0xC2, 0xD3, 0xE4, static_cast<std::uint8_t>(octet)});
    r.privatePort = 65535;
    r.httpPort = 0;
    r.rtspPort = 1;
    SetText(r.sn, sn);
    SetText(r.user, "root");
    SetText(r.password, "");
    SetText(r.model, model);
    return r;
}

// A loaded text field: the text up to its first NUL, cut to leave room for
// a NUL, and zero after it.
template <std::size_t N>
void CopyAsLoaded(char (&to)[N], const char (&from)[N]) {
    std::memset(to, 0, N);
    std::memcpy(to, from, strnlen(from, N - 1));
}

inline void CopyBlockAsLoaded(NetBlock& to, const NetBlock& from) {
    CopyAsLoaded(to.ip, from.ip);
    CopyAsLoaded(to.mask, from.mask);
    CopyAsLoaded(to.gw, from.gw);
    CopyAsLoaded(to.dns1, from.dns1);
    CopyAsLoaded(to.dns2, from.dns2);
    std::memcpy(to.mac, from.mac, 6);
}

// What a load gives back for `r`: the carried fields, and zero in every
// field that a node does not carry.
inline DeviceRecord AsLoaded(const DeviceRecord& r) {
    DeviceRecord e;
    std::memset(&e, 0, sizeof e);
    CopyBlockAsLoaded(e.eth0, r.eth0);
    CopyBlockAsLoaded(e.wifi, r.wifi);
    CopyBlockAsLoaded(e.g3, r.g3);
    e.privatePort = r.privatePort;
    e.httpPort = r.httpPort;
    e.rtspPort = r.rtspPort;
    CopyAsLoaded(e.sn, r.sn);
    CopyAsLoaded(e.user, r.user);
    CopyAsLoaded(e.password, r.password);
    CopyAsLoaded(e.model, r.model);
    return e;
}

inline bool SameBytes(const DeviceRecord& a, const DeviceRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace record_testing
