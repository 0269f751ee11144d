#include "netsdk/wire/messages.h"

#include <cstring>
#include <string_view>

#include "netsdk/wire/byte_reader.h"
#include "netsdk/wire/byte_writer.h"
#include "netsdk/wire/header.h"

namespace wire {
namespace {

// The longest Answer: every text at its full width (a text(N) takes at most
// N bytes on the wire, like bytes(N)), credentials left out.
constexpr std::size_t kLongestAnswer = kHeaderSize + sizeof(Token) + sizeof(DeviceRecord) -
                                       sizeof(DeviceRecord::user) - sizeof(DeviceRecord::password);
static_assert(kLongestAnswer <= kProbeSize, "an answer must never outgrow the probe that draws it");
constexpr std::size_t kProbeBodySize = kProbeSize - kHeaderSize;

void PutNetBlock(ByteWriter& w, const NetBlock& block) {
    w.Text(block.ip, sizeof block.ip);
    w.Text(block.mask, sizeof block.mask);
    w.Text(block.gw, sizeof block.gw);
    w.Text(block.dns1, sizeof block.dns1);
    w.Text(block.dns2, sizeof block.dns2);
    w.Bytes(block.mac, sizeof block.mac);
    w.Bytes(block.reserved, sizeof block.reserved);
}

void GetNetBlock(ByteReader& r, NetBlock& block) {
    r.Text(block.ip, sizeof block.ip);
    r.Text(block.mask, sizeof block.mask);
    r.Text(block.gw, sizeof block.gw);
    r.Text(block.dns1, sizeof block.dns1);
    r.Text(block.dns2, sizeof block.dns2);
    r.Bytes(block.mac, sizeof block.mac);
    r.Bytes(block.reserved, sizeof block.reserved);
}

void PutRecord(ByteWriter& w, const DeviceRecord& record) {
    PutNetBlock(w, record.eth0);
    PutNetBlock(w, record.wifi);
    PutNetBlock(w, record.g3);
    w.U16(record.privatePort);
    w.U16(record.httpPort);
    w.U16(record.rtspPort);
    w.Bytes(record.reserved1, sizeof record.reserved1);
    w.Text(record.sn, sizeof record.sn);
    w.Text(record.model, sizeof record.model);
    w.U32(record.softwareVersion);
    w.U32(record.buildDate);
    w.Bytes(record.reserved2, sizeof record.reserved2);
}

void GetRecord(ByteReader& r, DeviceRecord& record) {
    record = DeviceRecord{};
    GetNetBlock(r, record.eth0);
    GetNetBlock(r, record.wifi);
    GetNetBlock(r, record.g3);
    r.U16(record.privatePort);
    r.U16(record.httpPort);
    r.U16(record.rtspPort);
    r.Bytes(record.reserved1, sizeof record.reserved1);
    r.Text(record.sn, sizeof record.sn);
    r.Text(record.model, sizeof record.model);
    r.U32(record.softwareVersion);
    r.U32(record.buildDate);
    r.Bytes(record.reserved2, sizeof record.reserved2);
}

template <std::size_t N>
void PutArray(ByteWriter& w, const std::array<std::uint8_t, N>& value) {
    w.Bytes(value.data(), value.size());
}

template <std::size_t N>
void GetArray(ByteReader& r, std::array<std::uint8_t, N>& value) {
    r.Bytes(value.data(), value.size());
}

void PutId(ByteWriter& w, const DeviceId& id) {
    w.Text(id.sn, sizeof id.sn);
    w.Bytes(id.mac, sizeof id.mac);
}

void GetId(ByteReader& r, DeviceId& id) {
    r.Text(id.sn, sizeof id.sn);
    r.Bytes(id.mac, sizeof id.mac);
}

bool GetStatus(ByteReader& r, Status& status) {
    std::uint8_t raw = 0;
    if (!r.U8(raw) || !IsKnownStatus(raw)) return false;
    status = static_cast<Status>(raw);
    return true;
}

void PutParams(ByteWriter& w, const spake2::PbkdfParams& p) {
    w.U32(p.iterations);
    PutArray(w, p.salt);
}

void GetParams(ByteReader& r, spake2::PbkdfParams& p) {
    r.U32(p.iterations);
    GetArray(r, p.salt);
}

void PutModifyRequestFields(ByteWriter& w, const ModifyRequest& m) {
    PutArray(w, m.token);
    PutId(w, m.id);
    PutArray(w, m.confirmP);
    w.Text(m.ip, sizeof m.ip);
    w.Text(m.mask, sizeof m.mask);
    w.Text(m.gw, sizeof m.gw);
}

void PutModifyResultFields(ByteWriter& w, const ModifyResult& m) {
    PutArray(w, m.token);
    PutId(w, m.id);
    w.U8(static_cast<std::uint8_t>(m.status));
}

void PutLoginResultFields(ByteWriter& w, const LoginResult& m) {
    w.U8(static_cast<std::uint8_t>(m.status));
    w.Text(m.sn, sizeof m.sn);
    w.Text(m.model, sizeof m.model);
}

// A share and a confirmation travel only with status Ok.
void PutConfirmFields(ByteWriter& w, Status status, const spake2::Share& share, const Proof& confirm) {
    w.U8(static_cast<std::uint8_t>(status));
    if (status != Status::Ok) return;
    PutArray(w, share);
    PutArray(w, confirm);
}

bool GetConfirmFields(ByteReader& r, Status& status, spake2::Share& share, Proof& confirm) {
    if (!GetStatus(r, status)) return false;
    if (status != Status::Ok) return true;
    GetArray(r, share);
    GetArray(r, confirm);
    return r.ok();
}

Bytes Labelled(std::string_view label, ByteWriter& fields) {
    ByteWriter w;
    w.Bytes(reinterpret_cast<const std::uint8_t*>(label.data()), label.size());
    w.Bytes(fields.bytes());
    return w.Take();
}

}  // namespace

bool IsKnownStatus(std::uint8_t value) { return value <= static_cast<std::uint8_t>(Status::Failed); }

bool SameDevice(const DeviceId& a, const DeviceId& b) {
    return std::strncmp(a.sn, b.sn, sizeof a.sn) == 0 && std::memcmp(a.mac, b.mac, sizeof a.mac) == 0;
}

Bytes Encode(const Probe& m) {
    ByteWriter w;
    PutArray(w, m.token);
    const std::vector<std::uint8_t> padding(kProbeBodySize - m.token.size(), 0);
    w.Bytes(padding);
    return Seal(MsgType::Probe, w);
}

Bytes Encode(const Answer& m) {
    ByteWriter w;
    PutArray(w, m.token);
    PutRecord(w, m.record);
    return Seal(MsgType::Answer, w);
}

Bytes Encode(const ModifyHello& m) {
    ByteWriter w;
    PutArray(w, m.token);
    PutId(w, m.id);
    w.Text(m.user, sizeof m.user);
    w.PadTo(kModifyPaddedBody);
    return Seal(MsgType::ModifyHello, w);
}

Bytes Encode(const ModifyParams& m) {
    ByteWriter w;
    PutArray(w, m.token);
    PutId(w, m.id);
    PutParams(w, m.params);
    return Seal(MsgType::ModifyParams, w);
}

Bytes Encode(const ModifyShare& m) {
    ByteWriter w;
    PutArray(w, m.token);
    PutId(w, m.id);
    PutArray(w, m.shareP);
    w.PadTo(kModifyPaddedBody);
    return Seal(MsgType::ModifyShare, w);
}

Bytes Encode(const ModifyConfirm& m) {
    ByteWriter w;
    PutArray(w, m.token);
    PutId(w, m.id);
    PutConfirmFields(w, m.status, m.shareV, m.confirmV);
    return Seal(MsgType::ModifyConfirm, w);
}

Bytes Encode(const ModifyRequest& m) {
    ByteWriter w;
    PutModifyRequestFields(w, m);
    PutArray(w, m.mac);
    return Seal(MsgType::ModifyRequest, w);
}

Bytes Encode(const ModifyResult& m) {
    ByteWriter w;
    PutModifyResultFields(w, m);
    PutArray(w, m.mac);
    return Seal(MsgType::ModifyResult, w);
}

Bytes Encode(const LoginStart& m) {
    ByteWriter w;
    w.Text(m.user, sizeof m.user);
    return Seal(MsgType::LoginStart, w);
}

Bytes Encode(const LoginParams& m) {
    ByteWriter w;
    PutParams(w, m.params);
    return Seal(MsgType::LoginParams, w);
}

Bytes Encode(const LoginShare& m) {
    ByteWriter w;
    PutArray(w, m.shareP);
    return Seal(MsgType::LoginShare, w);
}

Bytes Encode(const LoginConfirm& m) {
    ByteWriter w;
    PutConfirmFields(w, m.status, m.shareV, m.confirmV);
    return Seal(MsgType::LoginConfirm, w);
}

Bytes Encode(const LoginFinish& m) {
    ByteWriter w;
    PutArray(w, m.confirmP);
    return Seal(MsgType::LoginFinish, w);
}

Bytes Encode(const LoginResult& m) {
    ByteWriter w;
    PutLoginResultFields(w, m);
    PutArray(w, m.mac);
    return Seal(MsgType::LoginResult, w);
}

Bytes Encode(const ConfigRequest& m) {
    ByteWriter w;
    w.U32(m.command);
    w.I32(m.channel);
    return Seal(MsgType::ConfigRequest, w);
}

Bytes Encode(const ConfigResult& m) {
    ByteWriter w;
    w.U8(static_cast<std::uint8_t>(m.status));
    const std::size_t count = m.count <= kMaxConfigEntries ? m.count : kMaxConfigEntries;
    w.U8(static_cast<std::uint8_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        w.Text(m.entries[i].name, sizeof m.entries[i].name);
        w.Text(m.entries[i].value, sizeof m.entries[i].value);
    }
    return Seal(MsgType::ConfigResult, w);
}

Bytes EncodeLogout() { return Seal(MsgType::Logout, ByteWriter{}); }

bool Decode(Body body, Probe& out) {
    if (body.size() != kProbeBodySize) return false;  // a short probe would draw a larger answer
    ByteReader r(body.first(out.token.size()));
    GetArray(r, out.token);
    return r.Finished();
}

bool Decode(Body body, Answer& out) {
    ByteReader r(body);
    GetArray(r, out.token);
    GetRecord(r, out.record);
    return r.Finished();
}

bool Decode(Body body, ModifyHello& out) {
    ByteReader r(body);
    GetArray(r, out.token);
    GetId(r, out.id);
    r.Text(out.user, sizeof out.user);
    r.ZeroPadding(kModifyPaddedBody);
    return r.Finished();
}

bool Decode(Body body, ModifyParams& out) {
    ByteReader r(body);
    GetArray(r, out.token);
    GetId(r, out.id);
    GetParams(r, out.params);
    return r.Finished();
}

bool Decode(Body body, ModifyShare& out) {
    ByteReader r(body);
    GetArray(r, out.token);
    GetId(r, out.id);
    GetArray(r, out.shareP);
    r.ZeroPadding(kModifyPaddedBody);
    return r.Finished();
}

bool Decode(Body body, ModifyConfirm& out) {
    ByteReader r(body);
    GetArray(r, out.token);
    GetId(r, out.id);
    return GetConfirmFields(r, out.status, out.shareV, out.confirmV) && r.Finished();
}

bool Decode(Body body, ModifyRequest& out) {
    ByteReader r(body);
    GetArray(r, out.token);
    GetId(r, out.id);
    GetArray(r, out.confirmP);
    r.Text(out.ip, sizeof out.ip);
    r.Text(out.mask, sizeof out.mask);
    r.Text(out.gw, sizeof out.gw);
    GetArray(r, out.mac);
    return r.Finished();
}

bool Decode(Body body, ModifyResult& out) {
    ByteReader r(body);
    GetArray(r, out.token);
    GetId(r, out.id);
    if (!GetStatus(r, out.status)) return false;
    GetArray(r, out.mac);
    return r.Finished();
}

bool Decode(Body body, LoginStart& out) {
    ByteReader r(body);
    r.Text(out.user, sizeof out.user);
    return r.Finished();
}

bool Decode(Body body, LoginParams& out) {
    ByteReader r(body);
    GetParams(r, out.params);
    return r.Finished();
}

bool Decode(Body body, LoginShare& out) {
    ByteReader r(body);
    GetArray(r, out.shareP);
    return r.Finished();
}

bool Decode(Body body, LoginConfirm& out) {
    ByteReader r(body);
    return GetConfirmFields(r, out.status, out.shareV, out.confirmV) && r.Finished();
}

bool Decode(Body body, LoginFinish& out) {
    ByteReader r(body);
    GetArray(r, out.confirmP);
    return r.Finished();
}

bool Decode(Body body, LoginResult& out) {
    ByteReader r(body);
    if (!GetStatus(r, out.status)) return false;
    r.Text(out.sn, sizeof out.sn);
    r.Text(out.model, sizeof out.model);
    GetArray(r, out.mac);
    return r.Finished();
}

bool Decode(Body body, ConfigRequest& out) {
    ByteReader r(body);
    r.U32(out.command);
    r.I32(out.channel);
    return r.Finished();
}

bool Decode(Body body, ConfigResult& out) {
    ByteReader r(body);
    out = ConfigResult{};
    if (!GetStatus(r, out.status) || !r.U8(out.count) || out.count > kMaxConfigEntries) {
        return false;
    }
    for (std::size_t i = 0; i < out.count; ++i) {
        r.Text(out.entries[i].name, sizeof out.entries[i].name);
        r.Text(out.entries[i].value, sizeof out.entries[i].value);
    }
    return r.Finished();
}

bool DecodeLogout(Body body) { return body.empty(); }

Bytes ModifyRequestMacBytes(const ModifyRequest& message) {
    ByteWriter fields;
    PutModifyRequestFields(fields, message);
    return Labelled("modify-request", fields);
}

Bytes ModifyResultMacBytes(const ModifyResult& message) {
    ByteWriter fields;
    PutModifyResultFields(fields, message);
    return Labelled("modify-result", fields);
}

Bytes LoginResultMacBytes(const LoginResult& message) {
    ByteWriter fields;
    PutLoginResultFields(fields, message);
    return Labelled("login-result", fields);
}

}  // namespace wire
